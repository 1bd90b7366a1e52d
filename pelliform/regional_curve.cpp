#include "pelliform/regional_curve.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>

#include "detrending/curve_fit.h"
#include "detrending/growth_curves.h"
#include "detrending/lowess.h"
#include "pelliform/curve_fits.h"
#include "pelliform/fit_codes.h"
#include "series/console.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"

namespace dendro {
namespace {

constexpr int kRegionalSplineStart = 10;  // age spline: stiffness 10 years at age 1
constexpr int kMinMedianWindow = 3;

// The running-median window: the integer part of alpha, or, for a negative alpha, that
// percentage of the fitted length made odd.
int median_window(float alpha, int nfit) {
  int window = static_cast<int>(alpha);
  if (window >= 0) return window;
  window = static_cast<int>(std::fabs(alpha) / 100.0f * static_cast<float>(nfit));
  if (window % 2 == 0) ++window;
  return std::max(window, kMinMedianWindow);
}

}  // namespace

float xmean2(std::span<const float> y, Console& con) {
  if (y.empty()) pause_and_stop(con, Layout("(/1x,'error in xmean2: n=0')").write());
  return xmean(y, con);
}

Coefficients detrend2(std::span<float> rc, std::span<float> frc, int& nfit, int& option,
                      int& window, float& alpha, Console& con) {
  const std::span<float> fitted = rc.first(static_cast<std::size_t>(nfit));
  const std::span<float> curve = frc.first(static_cast<std::size_t>(nfit));
  // Codes without a method of their own would leave no usable curve: the mean stands in.
  if (!pfit::rc::fits(option)) option = pfit::rc::horizontal_mean;
  switch (option) {
    case pfit::rc::lowess: {
      // The window is a percentage of the length; the sign only says so.
      alpha = static_cast<float>(std::abs(window)) / 100.0f;
      lowess(std::vector<float>(fitted.begin(), fitted.end()), curve, alpha);
      return {};
    }
    case pfit::rc::age_spline:
      flattened_spline(fitted, curve, kRegionalSplineStart, con);
      return {};
    case pfit::rc::first_differences:
      if (nfit <= 1) xmean2({}, con);
      break;
    case pfit::rc::running_median:
      window = median_window(alpha, nfit);
      break;
    default:
      break;
  }
  const int parameter = option == pfit::rc::running_median ? window : static_cast<int>(alpha);
  const CurveFit fit = detrend1(fitted, frc, option, parameter, con);
  if (option == pfit::rc::running_median) {
    window = fit.parameter;
    // A window the smoother refused leaves no curve: the mean stands in.
    if (frc[0] == kNoCurve) {
      option = pfit::rc::horizontal_mean;
      std::fill(frc.begin(), frc.end(), xmean2(fitted, con));
    }
  }
  if (option == pfit::rc::first_differences) rc[0] = kEmptyCell;
  if (option != pfit::rc::running_median) option = fit.option;
  nfit = fit.n;
  return fit.coef;
}

sf::RegionalCurve rcurve(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                         std::span<const int> pith, float fill, int& option, float& alpha,
                         int& window, bool pith_flag, int trunc, Console& con) {
  const int nseries = static_cast<int>(spans.size());
  auto offset = [&](int i) { return at(i) < pith.size() ? pith[at(i)] : 0; };
  sf::RegionalCurve r;

  // Steps 1 to 3: smallest offset, then sums and counts by biological age.
  if (pith_flag && nseries > 0) {
    r.min_offset = std::numeric_limits<int>::max();
    for (int i = 1; i <= nseries; ++i) r.min_offset = std::min(r.min_offset, offset(i));
  }
  int ages = 0;
  for (int i = 1; i <= nseries; ++i) {
    // An offset counts rings (the readers refuse any below 0): every age below is 1 or more.
    if (offset(i) < 0) throw std::invalid_argument("rcurve: a pith offset below 0");
    ages = std::max(ages, offset(i) + spans[at(i)].length());
  }
  std::vector<double> sum(static_cast<std::size_t>(std::max(ages, 1)), 0.0);
  std::vector<int> count(sum.size(), 0);
  for (int i = 1; i <= nseries; ++i) {
    const int length = spans[at(i)].length();
    for (int k = 1; k <= length; ++k) {
      const int age = offset(i) + k;
      sum[at(age)] += x.at(k, i);
      ++count[at(age)];
    }
  }

  // Steps 4 and 5: the mean by age, shifted so that the smallest offset's first age comes
  // first.
  const int shifted = std::max(ages - r.min_offset, 0);
  std::vector<float> mean(static_cast<std::size_t>(std::max(shifted, 1)), fill);
  for (int a = 1; a <= shifted; ++a) {
    const int age = a + r.min_offset;
    if (count[at(age)] > 0) mean[at(a)] = static_cast<float>(sum[at(age)] / count[at(age)]);
  }

  // Steps 6 and 7: the fit over the truncation length (never beyond the ages there are).
  int nfit = trunc > 0 ? std::min(trunc, shifted) : shifted;
  std::vector<float> fit(mean.size(), fill);
  if (nfit > 0) r.params = detrend2(mean, fit, nfit, option, window, alpha, con);

  // Steps 8 and 9: back to biological ages, the fit held flat beyond the truncation.
  r.ages = ages;
  r.rc.assign(static_cast<std::size_t>(std::max(ages, 1)), fill);
  r.frc.assign(r.rc.size(), fill);
  const int held = trunc > 0 ? std::min(trunc, shifted) : 0;
  for (int a = 1; a <= shifted; ++a) {
    r.rc[at(a + r.min_offset)] = mean[at(a)];
    r.frc[at(a + r.min_offset)] = (held > 0 && a > held) ? fit[at(held)] : fit[at(a)];
  }
  return r;
}

}  // namespace dendro
