// pelliform's curve-fit option codes, as its general curve-fit menu offers them. They
// differ from kalder's: here 3 and 4 are straight lines and 8 the age-dependent spline.
#pragma once

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

}  // namespace dendro::pfit
