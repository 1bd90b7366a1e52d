// Robust locally weighted regression (lowess), after W. S. Cleveland, "Robust locally
// weighted regression and smoothing scatterplots", JASA 74 (1979), with two robustness
// iterations and no skipping of points.
#pragma once

#include <span>

namespace dendro {

// Smooths y(1..n) at the abscissae 1..n with windows of max(2, min(n, int(f·n))) points;
// the result goes to ys (at least n values). A single point is returned unchanged.
void lowess(std::span<const float> y, std::span<float> ys, float f);

// The same with the window given as a number of points (at least 2, at most n), for
// callers that hold a window width rather than a fraction.
void lowess_window(std::span<const float> y, std::span<float> ys, int ns);

struct LocalFit {
  bool ok = false;  // false when every weight was zero
  double ys = 0;
};
// One local weighted straight-line fit at abscissa xs over the points nleft..nright
// (1-based) and further right while they stay within the bandwidth. w receives the
// local weights; rw are the robustness weights, used when `userw` is set. The work is
// done in double precision: in single precision the rounding noise of the residuals of a
// smooth series is enough to make the robustness weights of a straight line erratic.
LocalFit lowest(std::span<const double> x, std::span<const float> y, double xs, int nleft,
                int nright, std::span<double> w, bool userw, std::span<const double> rw);

}  // namespace dendro
