// Robust locally weighted regression (lowess), after W. S. Cleveland, "Robust locally
// weighted regression and smoothing scatterplots", JASA 74 (1979), with two robustness
// iterations and no skipping of points.
#pragma once

#include <span>

namespace dendro {

// Smooths y(1..n) at the abscissae 1..n with windows of max(2, min(n, int(f·n))) points;
// the result goes to ys (at least n values). A single point is returned unchanged.
void lowess(std::span<const float> y, std::span<float> ys, float f);

struct LocalFit {
  bool ok = false;  // false when every weight was zero
  float ys = 0;
};
// One local weighted straight-line fit at abscissa xs over the points nleft..nright
// (1-based) and further right while they stay within the bandwidth. w receives the
// local weights; rw are the robustness weights, used when `userw` is set.
LocalFit lowest(std::span<const float> x, std::span<const float> y, float xs, int nleft,
                int nright, std::span<float> w, bool userw, std::span<const float> rw);

}  // namespace dendro
