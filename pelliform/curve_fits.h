// Per-series growth curves of the signal-free engine, by the general curve-fit option of
// pelliform, and the two spline helpers that the engine also calls directly.
#pragma once

#include <span>

namespace dendro {

class Console;

// Thresholds of the per-series negative exponential: the fit stands when its rate and
// asymptote are clearly positive.
inline constexpr float kMinRate = 1e-6f;
inline constexpr float kMinAsymptote = 1e-6f;
// Option 2's fall-back line must fall by more than this per ring (option 4's by more than 0).
inline constexpr float kRisingSlope = 1e-6f;

// Fits the curve of option `option` to y (the n measurements) and writes it at positions
// 1..m of `curve` (m = curve.size(), at least n for the extended smoother). A failed fit
// rewrites the option to its fall-back (1 -> 3, 2 -> 4 -> 6, 4 -> 6); options without a
// method here (0, 5, 7, 9, -1 to -4, -6 to -9) leave the curve as it was. `alpha` is the
// super smoother's bass control.
void curvefits(std::span<const float> y, std::span<float> curve, int& option, float alpha,
               Console& con);

// Cubic smoothing spline of y into curve (y.size() values) with a stiffness in years for
// every row; stiffness 8 stands for a 20-year spline, 9 for a period of 9 years at the
// first row growing by one year per row up to n. Fewer than 4 values put kSplineTooFew
// into curve[0]; more than 5000 end the run (Stop).
void spline1(std::span<const float> y, std::span<float> curve, int stiffness, Console& con);

// The age-dependent spline from stiffness `start` (one year more per point), refitted after
// the rising tail is flattened: the consecutive rises at the end of the curve are set to
// the value before them. A curve that rises over its whole length stands as fitted.
void flattened_spline(std::span<const float> y, std::span<float> curve, int start, Console& con);

namespace sf {

// The mean of y written into every position of curve. No values end the run with "error
// in xmean: n=0" (Stop).
void xmean(std::span<const float> y, std::span<float> curve, Console& con);

}  // namespace sf
}  // namespace dendro
