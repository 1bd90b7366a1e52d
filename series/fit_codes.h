// kalder's curve-fit option codes: the first and second detrending options, the batch
// detail file's per-series detrending code and the refit dialogues all use them.
#pragma once

namespace dendro::fit {

inline constexpr int age_spline = -6;      // age-dependent spline
inline constexpr int super_smoother = -5;  // parameter: alpha 0 to 9
inline constexpr int lowess = -4;          // parameter: window width in values
inline constexpr int running_median = -3;  // parameter: odd window
inline constexpr int regional_curve = -2;  // regional curve standardization
inline constexpr int first_differences = -1;
inline constexpr int none = 0;                             // no detrending
inline constexpr int neg_exponential = 1;                  // k > 0, else a line of any slope
inline constexpr int neg_exponential_or_falling_line = 2;  // k > 0, else a falling line
inline constexpr int general_neg_exponential = 3;          // any k
inline constexpr int line = 4;                             // linear regression, any slope
inline constexpr int falling_line = 5;                     // linear regression, negative slope only
inline constexpr int horizontal_mean = 6;                  // horizontal line through the mean
inline constexpr int hugershoff = 7;
inline constexpr int general_exponential = 8;

// Codes above 9 fit a smoothing spline of that many years, codes below -9 one of that
// percentage of the series length.
inline constexpr bool spline_code(int code) { return code > 9 || code < -9; }
inline constexpr bool fixed_spline(int code) { return code > 9; }
inline constexpr bool percent_spline(int code) { return code < -9; }

}  // namespace dendro::fit
