// pelliform's curve-fit option codes, as its general curve-fit menu offers them. They
// differ from kalder's: here 3 and 4 are straight lines and 8 the age-dependent spline.
// The regional curve is fitted by codes of its own (`pfit::rc` below).
#pragma once

#include "series/fit_codes.h"

namespace dendro::pfit {

inline constexpr int super_smoother = -5;  // Friedman's variable span smoother, alpha 0 to 9
inline constexpr int regional_curve = -2;  // regional-curve standardisation
inline constexpr int raw_average = 0;      // no detrending, then option 6 in the iteration
inline constexpr int neg_exponential = 1;  // a negative exponential, else a line of any slope
inline constexpr int neg_exponential_or_falling_line = 2;  // ... else a falling line
inline constexpr int line = 3;                             // linear regression, any slope
inline constexpr int falling_line = 4;                     // linear regression, negative slope
inline constexpr int horizontal_mean = 6;                  // horizontal line through the mean
inline constexpr int age_spline = 8;                       // age-dependent spline, the default
inline constexpr int median_length_spline = 9;             // a spline of the median series length

// Codes of 10 and above fit a smoothing spline of that many years, codes of -10 and below
// one of that percentage of the series length.
inline constexpr bool fixed_spline(int code) { return code >= 10; }
inline constexpr bool percent_spline(int code) { return code <= -10; }

// The regional curve's fit codes: those of the regional-curve menu of a retry, and the -2
// of a first pass. They are kalder's (series/fit_codes.h), which fit the curve, except that
// -2 is the age-dependent spline from 10 years at age 1.
namespace rc {
inline constexpr int super_smoother = fit::super_smoother;  // parameter: alpha 0 to 9
inline constexpr int lowess = fit::lowess;                  // parameter: window, or percent
inline constexpr int running_median = fit::running_median;  // parameter: odd window, or percent
inline constexpr int age_spline = -2;  // = regional_curve: what a first pass fits
inline constexpr int first_differences = fit::first_differences;
inline constexpr int falling_line = fit::falling_line;
inline constexpr int horizontal_mean = fit::horizontal_mean;
inline constexpr int hugershoff = fit::hugershoff;
inline constexpr int general_exponential = fit::general_exponential;

// A code that names a fit: the others (0, -9 to -6) fall back to the horizontal mean.
inline constexpr bool fits(int code) {
  return fit::spline_code(code) ||
         (code >= super_smoother && code <= general_exponential && code != fit::none);
}
}  // namespace rc

// The general menu refuses the regional-curve codes that have no fit of their own there;
// the other codes it does not list (-9 to -6) pass and fit no curve.
inline constexpr bool refused(int code) {
  return code == rc::lowess || code == rc::running_median || code == rc::first_differences ||
         code == rc::falling_line || code == rc::hugershoff;
}

}  // namespace dendro::pfit
