// The all-series ("spaghetti") plot of the series store.
#pragma once

#include <string_view>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/store.h"

namespace dendro {

// What the series are; only the age-aligned data and the two outlier kinds draw differently.
namespace series_kind {
inline constexpr int kRaw = 1;
inline constexpr int kTransformed = 2;
inline constexpr int kIndices = 3;
inline constexpr int kResiduals = 4;
inline constexpr int kRegionalCurve = 5;  // age-aligned when the first detrending is -2
inline constexpr int kFirstDetrending = 6;
inline constexpr int kSecondDetrending = 7;
inline constexpr int kArOutliers = 12;  // split at 1.0, the y axis from the smallest value
inline constexpr int kEndogenousOutliers = 13;
}  // namespace series_kind

// Draws series 1 to tsi1.count in one frame, with the mean overlay vector over them when
// its first element is 0 or above, and runs the plot loop (items 1 to 17). Reads the first
// detrending code (option 4) and the data file name; changes nothing. "[n]o more plots"
// returns like a continue: the caller keeps no plot flag for these plots.
void crnplt3(PlotSession& session, const Tsi1& tsi1, const Icommands& icommands,
             const Commands& commands, std::string_view title, std::string_view x_label,
             std::string_view y_label, int kind);

}  // namespace dendro
