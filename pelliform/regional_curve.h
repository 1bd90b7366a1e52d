// The regional curve: every series aligned by biological age (ring number plus pith
// offset), the yearly values of each age averaged, and the mean curve fitted by the
// regional-curve option.
//
// Option codes (`pfit::rc`): -5 super smoother (alpha), -4 lowess (window percent), -3 running
// medians (window from alpha), -2 age-dependent spline from 10 years, -1 first differences, 1 and 2
// negative exponential, 3 general negative exponential, 4 line, 5 falling line, 6 mean,
// 7 Hugershoff, 8 general exponential, >= 10 spline of that many years, <= -10 spline of
// that percentage of the fitted length.
#pragma once

#include <span>
#include <vector>

#include "detrending/coefficients.h"
#include "pelliform/engine_args.h"

namespace dendro {

class Console;

namespace sf {

// kalder's regional-curve stage has a class of the same name; this one lives in
// namespace sf.
struct RegionalCurve {
  std::vector<float> rc;   // mean by age: rc[a - 1] is age a; `fill` where no series reaches
  std::vector<float> frc;  // fitted curve by age; `fill` where nothing was fitted
  int ages = 0;            // the highest age reached
  int min_offset = 0;      // smallest pith offset (0 without pith offsets)
  Coefficients params;
};

}  // namespace sf

// Builds and fits the regional curve of series 1..spans.size() of x (ring-position layout:
// row k of column i is ring k of series i), whose pith offsets are 0 or more. `option`,
// `alpha` and `window` are the caller's variables: a fall-back rewrites the option, option
// -4 leaves its lowess fraction in alpha and option -3 its median window in window. A
// non-zero `trunc` fits only ages 1..trunc and holds the fitted curve flat beyond it.
sf::RegionalCurve rcurve(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                         std::span<const int> pith, float fill, int& option, float& alpha,
                         int& window, bool pith_flag, int trunc, Console& con);

// Fits rc[0..nfit-1] into frc by `option`; the parametric curves are evaluated over all
// of frc. Option -1 replaces rc by the rescaled first differences (rc[0] = kEmptyCell) and
// lowers nfit by one.
Coefficients detrend2(std::span<float> rc, std::span<float> frc, int& nfit, int& option,
                      int& window, float& alpha, Console& con);

// The mean of y; no values end the run with "error in xmean2: n=0" (Stop).
float xmean2(std::span<const float> y, Console& con);

}  // namespace dendro
