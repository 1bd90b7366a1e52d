// The gap-filling plot: one series with its filled years boxed.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "plots/plot_loop.h"

namespace dendro {

// A run of consecutive filled years.
struct FilledRun {
  int first;
  int last;
  bool operator==(const FilledRun&) const = default;
};

// The runs of consecutive years in an ascending list.
std::vector<FilledRun> filled_runs(std::span<const int> years);

// Draws the series (n values from `first_year`) with the growth trend that the gap filling
// passes with it, and boxes each run of filled years, drawing the run again in the fit
// colour over the trend; then runs the plot loop (items 1 to 17). `values` and `trend` hold
// at least n values. Sets `plot_flag` to 0 when the user asks for no more plots and leaves
// it otherwise.
void crnplt5(PlotSession& session, std::span<const float> values, std::span<const float> trend,
             int n, int first_year, std::string_view id, std::string_view title,
             std::string_view x_label, std::string_view y_label, std::span<const int> filled_years,
             int& plot_flag);

}  // namespace dendro
