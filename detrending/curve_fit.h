// One growth curve fitted to one series by a curve-fit option code (series/fit_codes.h):
// the dispatcher behind every curve fit of kalder, with the fall-back rules of the
// exponential and linear options and the first-difference option.
#pragma once

#include <cmath>
#include <span>
#include <vector>

#include "detrending/coefficients.h"
#include "options/detrending_codes.h"
#include "series/fit_codes.h"
#include "series/store.h"

namespace dendro {

class Console;

// First curve value of a fit that produced no curve (a code that is not a curve fit, or a
// running-median window the smoother refused); like a spline failure it is not a positive
// curve, so the detrending driver will not accept it.
inline constexpr float kNoCurve = kSplineNotPositive;

// True for the first curve value of a fit that made no curve: the spline's markers.
inline constexpr bool no_curve_marker(float v) { return v == kSplineTooFew || v == kNoCurve; }

// The value that a negative-curve warning shows for curve value v: a marker of a fit that
// made no curve is shown as the cleared curve's 0, not as a value.
inline constexpr float shown_curve_value(float v) { return no_curve_marker(v) ? 0.0f : v; }

// Largest series the simplex fits accept (options 3, 7 and 8).
inline constexpr int kSimplexMaxValues = 2500;

// True for a code that a dialogue may change a fit to: a code the detrending lists offer,
// but not regional curve standardization, first differences or no detrending, which fit no
// curve of their own series.
inline constexpr bool changes_fit_to(long long code) {
  return offered_detrending_code(code) && code != fit::regional_curve &&
         code != fit::first_differences && code != fit::none;
}

// The smoothers whose parameter is a window of values (a negative one a percentage of the
// series length).
inline constexpr bool window_code(int code) {
  return code == fit::running_median || code == fit::lowess;
}

// The curves that the simplex fits, whose coefficients include a pith offset p.
inline constexpr bool simplex_code(int code) {
  return code == fit::general_neg_exponential || code == fit::hugershoff ||
         code == fit::general_exponential;
}

// The curves whose simplex starts from a linearized fit, which the fit page draws too.
inline constexpr bool has_start_curve(int code) {
  return code == fit::hugershoff || code == fit::general_exponential;
}

// The stiffness of a spline code's smoothing spline for a series of n values: the code's
// years, or its percentage of n.
inline int spline_stiffness(int code, int n) {
  return fit::fixed_spline(code) ? code
                                 : static_cast<int>(std::fabs(static_cast<float>(code) / 100.0f *
                                                              static_cast<float>(n)));
}

struct CurveFit {
  int option = 0;     // the code after the fit, as the report gives it (changed by the fall-backs)
  int n = 0;          // values of the series after the fit (one fewer for first differences)
  int parameter = 0;  // the parameter as the fit used it (an even median window lowered)
  Coefficients coef;  // a, b, c, d, p and the plot parameter as the option fills them
  // The series was too short for the option's curve: the horizontal mean (option 6) stands in.
  bool too_short = false;
  // Options 7 and 8: the linearized fit the simplex started from, at t = 1..n.
  std::vector<float> start_curve;
  // Option 2 whose line rose: the curve is the horizontal mean, though the code is 5.
  bool mean_as_falling_line = false;

  // The code of the curve actually fitted, which a batch run fits again.
  int fitted() const { return mean_as_falling_line ? fit::horizontal_mean : option; }
};

// True when a fit of `option` may end in the curve of `code` (CurveFit::fitted) by a
// fall-back: the line after an exponential, the mean after option 2 or 5, or the mean
// that stands in for any curve of a series too short for it.
bool may_fall_back_to(int option, int code);

// Fewest values that a smoothing spline (and so the age-dependent spline) can fit.
inline constexpr int kFewestSplineValues = 4;

// Fits the curve of `option` to the n values of y and writes it to `curve` (m values, at
// least n): the parametric curves at t = 1..m, the smoothers and splines at 1..n, first
// differences at 1..n-1; the rest of `curve` is left as it was. Option -1 rewrites y: y(1)
// becomes the missing marker and y(2..n) the first differences rescaled to the mean and
// spread of the ratio indices about a spline. A series of fewer than 4 values whose option
// makes no curve of it (a spline's marker, or a value that is not a number, as a line
// through one value gives, or first differences of one value) gets the horizontal line
// through its mean at all m places instead: option 6, with `too_short` set. Throws
// std::invalid_argument when `curve` is shorter than y.
CurveFit detrend1(std::span<float> y, std::span<float> curve, int option, int parameter,
                  Console& con);

}  // namespace dendro
