// The two plots of a detrending pass, behind an interface of their own: the run driver
// hands in the plot layer, tests hand in recorders, and without either each page is
// replaced by a one-line note.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace dendro {

class Console;
class PlotSession;
struct Commands;
struct Icommands;
struct Tsi1;

// The series page of one fit: the measurements with the fitted curve, the indices with
// their smooth.
struct FitPage {
  std::span<const float> measurements;
  std::span<const float> curve;
  std::span<const float> start_curve;  // options 7 and 8: the curve the simplex started from
  std::span<const float> indices;
  std::span<const float> smooth;      // the indices' smooth; first value 0: none
  std::span<const float> start_flag;  // first value -999: no start curve to draw
  std::span<const int> plot_vector;   // handed on unchanged (the presence mask)
  int first_year = 0;
  std::string name;        // the series id without blanks
  std::string pass_label;  // " detrending      ", " 1st detrending  " or " 2nd detrending  "
  std::span<const float> coefficients;  // the seven fit coefficients
};

// Every series of the store with the mean overlay vector (crnplt3).
using AllSeriesPlot =
    std::function<void(const Tsi1& tsi1, std::string_view title, std::string_view x_label,
                       std::string_view y_label, int kind)>;

// The all-series page of the session.
AllSeriesPlot all_series_layer(PlotSession& session, const Icommands& icommands,
                               const Commands& commands);

struct DetrendPlots {
  // Draws the page and runs its plot loop; sets plot_flag to 0 for "no more plots" and may
  // change the option code (an exponential fit that came out as a straight line).
  std::function<void(const FitPage& page, int& plot_flag, int& option)> fit_page;
  // The curves of the pass.
  AllSeriesPlot all_series;
};

// Page kinds of the all-series plot for the curves of the first and second pass.
inline constexpr int kFirstDetrendingCurves = 6;
inline constexpr int kSecondDetrendingCurves = 7;

// The pass's plots drawn by the plot layer: the kind-1 series page and the all-series page
// of the session.
DetrendPlots plot_layer(PlotSession& session, const Icommands& icommands, const Commands& commands);

}  // namespace dendro
