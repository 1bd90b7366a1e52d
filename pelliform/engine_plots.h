// The pages of the signal-free engine beyond the line plot: the regional curve and its
// fit, the first indices, one series with its curve, the regional curves of all
// iterations, and the many-series pages. Each runs the plot loop (plot_loop.h) except
// `linguine2`, which shows its page once, on the screen only.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pelliform/engine_args.h"
#include "pelliform/plot_loop.h"
#include "pelliform/sigfree.h"

namespace dendro {

inline constexpr int kMaxCurvePages = 20;  // plt4 draws at most this many curves

// The regional curve (blue) and its fit (red) against biological age 1..n; values equal to
// `missing` are left out. Saved as "fig11.ps".
PlotExit plt1(PlotSession& session, std::span<const float> rc, std::span<const float> frc, int n,
              float missing, std::string_view title);

// The first indices of every series (by ring position) against calendar years, and their
// yearly average below (0 in a year no series covers). The title names the page where no
// screen shows it. Saved as "fig11.ps".
PlotExit plt2(PlotSession& session, const EngineMatrix& indices, std::span<const SeriesSpan> spans,
              float missing, std::string_view title);

// One series by biological age with the fitted regional curve, and by calendar year below;
// "n" answers no_more_plots. Saved as "fig1".
struct SeriesPage {
  std::span<const float> by_ring;  // the series by ring position
  std::span<const float> by_year;  // the values shown against calendar years
  int first_year = 0;
  int pith_offset = 0;
  std::string id;
};
PlotExit plt3(PlotSession& session, const SeriesPage& series, std::span<const float> frc, int n,
              float missing, std::string_view title);

// The layout of plt4's subpages for a number of curves (nothing above 20).
PageShape curve_grid(int entries);

// Every stored regional curve and its fit on a subpage of its own ("fig1"); more than 20
// curves are not drawn (a console note and a pause instead).
PlotExit plt4(PlotSession& session, std::span<const RegionalCurvePair> curves, int n,
              float missing);

// All stored regional curves on one page: the first blue, the last red ("fig1").
PlotExit plt5(PlotSession& session, std::span<const RegionalCurvePair> curves, int n,
              float missing);

// The columns 1..nseries of rows 1..n of `m` against years first_year, ...: the first
// blue, the last red, the others black; cells of -999.0 stay out of the limits. Saved
// under the title's name.
PlotExit spaghetti(PlotSession& session, const EngineMatrix& m, int n, int nseries,
                   std::span<const float> reference, int first_year, const LineTexts& texts);

// Every series of two ring-position matrices over its own years, the first in blue and
// the second in red, with a reference series over the set's years. Shown once on the
// screen (nothing without one); no menu.
void linguine2(PlotSession& session, const EngineMatrix& first, const EngineMatrix& second,
               std::span<const float> reference, std::span<const SeriesSpan> spans,
               const LineTexts& texts);

}  // namespace dendro
