// Cubic smoothing splines on unit spacing (one value per year), the system's low-pass
// filter. The stiffness is the wavelength in years at which the spline keeps 50% of a
// sinusoid's amplitude.
#pragma once

#include <span>

namespace dendro {

class Console;

enum class SplineStatus { ok, too_few, not_positive_definite };

struct SplineResult {
  float p = 0.0f;  // smoothing parameter: larger is more flexible
  SplineStatus status = SplineStatus::ok;
};

// The shortest wavelength the splines accept: two years is the Nyquist period of annual
// values, where the fit is most flexible; shorter (or negative) stiffnesses are taken as 2.
inline constexpr int kSplineShortestWavelength = 2;

// The smoothing parameter of a stiffness w: p = 6 (cos t - 1)^2 / (cos t + 2), t = 2 pi / w.
double spline_parameter(int w, double two_pi);

// Equally weighted smoothing spline of x into fitted (at least as long as x). Fewer than 4
// values put kSplineTooFew into fitted[0]; a refused system shows ">> sbr spline: matrix
// not positive definite" on the console (when given) and puts kSplineNotPositive into
// fitted[0]. More than 5000 values end the program (Stop).
SplineResult spline(std::span<const float> x, std::span<float> fitted, int w,
                    Console* console = nullptr);

// Smoothing spline of y with a standard error per value: delta is replaced by its squares
// (callers that refit take the square roots again). A point with a large error (999) has
// almost no pull, so the curve bridges it smoothly. A refused system shows "in spl2w ier
// from leq1pb =" with the code, pauses (when a console is given) and leaves fitted as it
// was. One or two values are their own curve.
SplineResult spl2w(std::span<const float> y, std::span<float> delta, std::span<float> fitted, int w,
                   Console* console = nullptr);

}  // namespace dendro
