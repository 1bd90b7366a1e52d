// One growth curve fitted to one series by a curve-fit option code: the dispatcher behind
// every curve fit of kalder, with the fall-back rules of the exponential and linear
// options and the first-difference option.
//
// Codes: -6 age-dependent spline, -5 super smoother (parameter: alpha 0..9), -4 lowess
// (parameter: window width in values), -3 running medians (parameter: odd window), -1 first
// differences, 1 and 2 negative exponential (falling back to a line), 3 general negative
// exponential, 4 line of any slope, 5 line of negative slope, 6 horizontal mean, 7
// Hugershoff, 8 general exponential, above 9 a spline of that many years, below -9 a spline
// of that percentage of the series length.
#pragma once

#include <span>

#include "detrending/coefficients.h"
#include "options/detrending_codes.h"
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

// Codes above 9 and below -9 fit a smoothing spline (of that many years, or of that
// percentage of the series length).
inline constexpr bool spline_code(int code) { return code > 9 || code < -9; }

// True for a code that a dialogue may change a fit to: a code the detrending lists offer,
// but not regional curve standardization (-2), first differences (-1) or no detrending (0),
// which fit no curve of their own series.
inline constexpr bool changes_fit_to(long long code) {
  return offered_detrending_code(code) && code != -2 && code != -1 && code != 0;
}

struct CurveFit {
  int option = 0;     // the code of the curve actually fitted (changed by the fall-backs)
  int n = 0;          // values of the series after the fit (one fewer for first differences)
  int parameter = 0;  // the parameter as the fit used it (an even median window lowered)
  Coefficients coef;  // a, b, c, d, p and the plot parameter as the option fills them
  // The series was too short for the option's curve: the horizontal mean (option 6) stands in.
  bool too_short = false;
};

// Fewest values that a smoothing spline (and so the age-dependent spline) can fit.
inline constexpr int kFewestSplineValues = 4;

// Fits the curve of `option` to y(1..n) and writes it to c: the parametric curves at
// t = 1..m, the smoothers and splines at 1..n, first differences at 1..n-1. w1 and w2 are
// work vectors of at least max(m, n) values; for options 7 and 8 w2 returns the start
// curve. Option -1 rewrites y: y(1) becomes the missing marker and y(2..n) the first
// differences rescaled to the mean and spread of the ratio indices about a spline.
// `limit` is the longest series the running medians accept. A series of fewer than 4 values
// whose option makes no curve of it (a spline's marker, or a value that is not a number, as
// a line through one value gives) gets the horizontal line through its mean instead:
// option 6, with `too_short` set.
CurveFit detrend1(std::span<float> y, int n, int m, std::span<float> c, std::span<float> w1,
                  std::span<float> w2, int option, int parameter, int limit, Console& con);

}  // namespace dendro
