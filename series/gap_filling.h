// Gap filling: every missing year of every series in the store gets an estimate, the
// series' own growth trend (a smoothing spline through its present values) times a
// high-frequency index borrowed from the site's robust mean chronology, rescaled to the
// series' own index mean and spread.
#pragma once

#include <functional>
#include <span>
#include <string_view>
#include <vector>

#include "series/blocks.h"
#include "series/store.h"

namespace dendro {

class Console;

// A run of consecutive missing years of one series, first and last year included.
struct Gap {
  int first = 0;
  int last = 0;
  bool operator==(const Gap&) const = default;
};

// The gaps of an ascending list of missing years: a new gap starts wherever two
// successive years differ by more than 1.
std::vector<Gap> find_gaps(std::span<const int> missing_years);

// One page of the gap-filling plot: a series over its own years with its growth trend,
// and the years to mark (the missing years before filling, the filled years after).
struct GapPlotPage {
  std::span<const float> values;
  std::span<const float> curve;
  int first_year = 0;
  std::string_view id;  // without blanks
  std::string_view title;
  std::string_view x_label;
  std::string_view y_label;
  std::span<const int> marked_years;
};

// Draws a page. It may set the plot flag to 0 (the user wants no more plots); any other
// value it leaves there is ignored.
using GapPlot = std::function<void(const GapPlotPage& page, int& plot_flag)>;

// Fills the missing values of every series of `tsi1` in place. Reads the transformation
// option (a data transformation makes a zero missing too), the interactive option (gap
// filling alone or with detrending: the user may change each series' growth-trend
// stiffness) and the gap-filling plot flag (kept for this call only). Values present on
// entry are left exactly as they were. An empty `plot` draws nothing.
void fillin(Tsi1& tsi1, const Icommands& icommands, Console& console, const GapPlot& plot = {});

}  // namespace dendro
