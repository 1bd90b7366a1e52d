#include "pelliform/curve_fits.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "detrending/age_spline.h"
#include "detrending/coefficients.h"
#include "detrending/growth_curves.h"
#include "detrending/super_smoother.h"
#include "pelliform/fit_codes.h"
#include "series/console.h"
#include "series/index.h"
#include "series/store.h"

namespace dendro {
namespace {

constexpr int kTwentyYearCode = 8;  // spline1: a 20-year spline
constexpr int kTwentyYears = 20;
constexpr int kGrowingCode = 9;       // spline1: period 9 growing by one year per row
constexpr int kSmootherMinimum = 40;  // shorter series get the fixed span
constexpr float kShortSpan = 0.3f;
constexpr int kNotPeriodic = 1;

bool spline_failed(float first) { return first == kSplineTooFew || first == kSplineNotPositive; }

// Option -5: the super smoother over x = 1..n, extended to m by padding the series with
// its last smoothed value when the caller wants the curve beyond the data.
void smoother(std::span<const float> y, std::span<float> curve, float alpha) {
  const std::size_t n = y.size();
  const std::size_t m = curve.size();
  std::vector<float> x(std::max(n, m)), w(std::max(n, m), 1.0f);
  for (std::size_t i = 0; i < x.size(); ++i) x[i] = static_cast<float>(i + 1);
  const float span = static_cast<int>(n) >= kSmootherMinimum ? 0.0f : kShortSpan;
  std::vector<float> smooth(n);
  supsmu(std::span<const float>(x).first(n), y, std::span<const float>(w).first(n), kNotPeriodic,
         span, alpha, smooth);
  if (m <= n) {
    std::copy(smooth.begin(), smooth.begin() + static_cast<std::ptrdiff_t>(m), curve.begin());
    return;
  }
  std::vector<float> padded(m, smooth[n - 1]);
  std::copy(y.begin(), y.end(), padded.begin());
  supsmu(x, padded, w, kNotPeriodic, span, alpha, curve);
}

// The straight line, or the horizontal mean when it rises by more than `rising`.
void line_or_mean(std::span<const float> y, std::span<float> curve, int& option, bool falling,
                  float rising, Console& con) {
  const Line line = trend(static_cast<int>(curve.size()), y, curve);
  if (falling && line.slope > rising) {
    option = pfit::horizontal_mean;
    sf::xmean(y, curve, con);
  }
}

}  // namespace

void spline1(std::span<const float> y, std::span<float> curve, int stiffness, Console& con) {
  const int n = static_cast<int>(y.size());
  std::vector<int> periods(y.size(), stiffness);
  if (stiffness == kTwentyYearCode) {
    std::fill(periods.begin(), periods.end(), kTwentyYears);
  } else if (stiffness == kGrowingCode) {
    for (int i = 1; i <= n; ++i) periods[at(i)] = std::min(9 + i - 1, n);
  }
  spline2(y, curve, periods, con);
}

void flattened_spline(std::span<const float> y, std::span<float> curve, int start, Console& con) {
  const int n = static_cast<int>(y.size());
  std::vector<int> stiff(y.size());
  lsmake(start, stiff);
  spline2(y, curve, stiff, con);
  if (n < 4 || spline_failed(curve[0])) return;
  std::vector<float> c(curve.begin(), curve.begin() + n);
  int rises = 0;
  for (int j = n; j >= 2 && c[at(j)] > c[at(j - 1)]; --j) {
    ++rises;
  }
  // A curve that rises over its whole length has no ring before the rise to hold it at.
  if (rises == 0 || rises == n - 1) return;
  const int k = n - rises;
  for (int i = k + 1; i <= n; ++i) c[at(i)] = c[at(k)];
  spline2(c, curve, stiff, con);
}

void curvefits(std::span<const float> y, std::span<float> curve, int& option, float alpha,
               Console& con) {
  const int m = static_cast<int>(curve.size());
  const int n = static_cast<int>(y.size());
  switch (option) {
    case pfit::neg_exponential:
    case pfit::neg_exponential_or_falling_line: {
      const Coefficients coef = dendro::curve(m, y, curve, con);
      if (coef.b > kMinRate && coef.d >= kMinAsymptote) return;
      // The exponential failed or is of no use: a straight line, which for option 2 must
      // fall.
      const bool falling = option == pfit::neg_exponential_or_falling_line;
      option = falling ? pfit::falling_line : pfit::line;
      line_or_mean(y, curve, option, falling, kRisingSlope, con);
      return;
    }
    case pfit::line:
    case pfit::falling_line:
      line_or_mean(y, curve, option, option == pfit::falling_line, 0.0f, con);
      return;
    case pfit::horizontal_mean:
      sf::xmean(y, curve, con);
      return;
    case pfit::super_smoother:
      smoother(y, curve, alpha);
      return;
    case pfit::age_spline:
      agedep(y.first(static_cast<std::size_t>(std::min(n, m))), curve, con);
      return;
    default:
      break;
  }
  if (pfit::fixed_spline(option)) {
    spline1(y, curve, option, con);
  } else if (pfit::percent_spline(option)) {
    const int stiffness =
        static_cast<int>(static_cast<float>(-option) / 100.0f * static_cast<float>(n));
    spline1(y, curve, stiffness, con);
  }
}

namespace sf {

void xmean(std::span<const float> y, std::span<float> curve, Console& con) {
  const float mean = dendro::xmean(y, con);
  std::fill(curve.begin(), curve.end(), mean);
}

}  // namespace sf
}  // namespace dendro
