// The main time-series plot of kalder: two (or three) panels over one year axis.
#pragma once

#include <span>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// One page of crnplt1. The curves hold n values each (a curve that the kind does not use
// may be empty); their roles depend on the kind:
//   1 a series, its fitted curve, -, its indices, their smooth, the start curve of the fit
//   2 a series and its smooth, the transformed series and its smooth
//   3 two chronologies with their smooths, and the sample depth
//   4 mean segment length and mean tree age with their smooths
//   5 running rbar (x: the window middle years in curve 2), -, EPS, standard errors of rbar
//   6 the regional growth trend and residuals with their curves
//   7 counts and fractions of outliers (y from curves 1 and 2, z from curves 4 and 5)
//   8 residuals and their mean, outliers and the impulse response
//   9 bootstrap limits: the mean and its limits (curves 1 to 3 and 4 to 6)
struct ChronologyPlot {
  std::span<const float> c1, c2, c3, c4, c5, c6;
  std::span<const int> depth;    // sample depth per year (kind 3)
  int n = 0;                     // number of points
  int first_year = 0;            // the abscissa of point i is first_year + i - 1 (not kind 5)
  int page = 1;                  // 1 measurements (reference line at the mean), 2+ indices
  std::string_view name;         // output prefix or series id
  std::string_view upper_title;  // appended to the name for the upper title
  std::string_view lower_title;  // appended to the name for the lower title
  std::string_view y_label;      // upper panel's value axis
  std::string_view lower_x_label = "years";
  std::string_view z_label;    // lower panel's value axis
  int kind = 3;                // 1 to 9
  std::span<const float> fit;  // fit parameters p(1..7) (kind 1)
};

// Draws the page and runs the plot loop with the full menu (on the kind-3 page also the
// sample-depth limits, items 22 and 23). Sets `plot_flag` to 0 when the user asks for no
// more plots. On a kind-1 page a negative-exponential option (1 to 3) whose fit came out as
// a straight line is set to 4 (linear regression) in `fit_option`.
void crnplt1(PlotSession& session, const ChronologyPlot& plot, int& plot_flag, int& fit_option);

// The same for a page that shows no fitted option to correct.
void crnplt1(PlotSession& session, const ChronologyPlot& plot, int& plot_flag);

// The texts and kind of a page: the titles that follow its name and the value axes' labels.
struct PageTexts {
  std::string_view top_title, bottom_title, y_label, z_label;
  int page;  // as ChronologyPlot::page
  int kind;  // as ChronologyPlot::kind
};

// Sets the name, the texts and the kind of `plot`.
void set_texts(ChronologyPlot& plot, std::string_view name, const PageTexts& texts);

// A page of two curves in each panel, c1 and c2 above and c4 and c5 below, of n points from
// first_year; the second form also sets its name and texts.
ChronologyPlot two_panels(std::span<const float> c1, std::span<const float> c2,
                          std::span<const float> c4, std::span<const float> c5, int n,
                          int first_year);
ChronologyPlot two_panels(std::span<const float> c1, std::span<const float> c2,
                          std::span<const float> c4, std::span<const float> c5, int n,
                          int first_year, std::string_view name, const PageTexts& texts);

// The name of the growth curve of a curve-fit option, as the kind-1 page shows it.
std::string_view curve_name(int fit_option);

}  // namespace dendro
