// The age-dependent spline: a cubic smoothing spline whose stiffness grows with the
// position in the series, so that it follows the fast early growth of a young tree closely
// and becomes ever stiffer towards the old end.
#pragma once

#include <span>

namespace dendro {

class Console;

// Largest series the spline solvers accept.
inline constexpr int kMaxSplinePoints = 5000;

// Fits the age-dependent spline to y(1..n) into yc(1..n): stiffness 20 years at the first
// ring for n < 100, else 50, one year more per ring. A fitted curve that rises over its
// last steps is flattened from its lowest point before the rise and fitted again. A
// spline failure leaves its sentinel in yc(1).
void agedep(std::span<const float> y, std::span<float> yc, Console& con);

// The stiffness schedule: stiff(1) = start, stiff(i) = stiff(i-1) + 1.
void lsmake(int start, std::span<int> stiff);

// Cubic smoothing spline of y(1..n) with the 50% cutoff period stiff(i) at row i; the
// result in yc(1..n). Fewer than 4 values: kSplineTooFew in yc(1); a pivot that is not
// positive: a console line and kSplineNotPositive in yc(1) (the rest of yc untouched in
// both cases). More than 5000 values stops the program.
void spline2(std::span<const float> y, std::span<float> yc, std::span<const int> stiff,
             Console& con);

}  // namespace dendro
