// The robust-weights plot: by year, the median, the lower hinge and the largest of the
// biweight weights that the mean chronology gave its series, on a fixed 0-to-1 scale.
#pragma once

#include <span>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// Draws the three curves (each holding at least as many years as `median`, from
// `first_year`) under the title "<data file> <title>" and runs the plot loop (items 1 to
// 17) until the user continues; [n]o more plots returns in the same way, as the caller keeps
// no flag for these pages.
void crnplt7(PlotSession& session, std::span<const float> median,
             std::span<const float> lower_hinge, std::span<const float> largest, int first_year,
             std::string_view data_file, std::string_view title, std::string_view x_label,
             std::string_view y_label);

}  // namespace dendro
