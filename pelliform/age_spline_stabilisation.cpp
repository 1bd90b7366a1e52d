#include "pelliform/age_spline_stabilisation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "detrending/super_smoother.h"
#include "pelliform/curve_fits.h"
#include "pelliform/yearly_mean.h"
#include "series/console.h"
#include "series/store.h"

namespace dendro::sf {
namespace {

constexpr int kSmootherMinimum = 40;  // fewer well-replicated years get the fixed span
constexpr float kShortSpan = 0.3f;
constexpr int kNotPeriodic = 1;
constexpr int kSplineMinimum = 4;

struct Rule {
  MeanSd stats;
  int replicated = 0;  // q: years of depth >= 5
};

// Mean and spread by the rule: the well-replicated years when there are more than n/3 of
// them, else every year with a series.
Rule statistics(std::span<const float> v, std::span<const int> depth) {
  std::vector<float> all, replicated;
  for (std::size_t k = 0; k < v.size(); ++k) {
    if (depth[k] > 0) all.push_back(v[k]);
    if (depth[k] >= kWellReplicated) replicated.push_back(v[k]);
  }
  const int n = static_cast<int>(v.size());
  Rule r;
  r.replicated = static_cast<int>(replicated.size());
  r.stats = r.replicated <= n / 3 ? mnsd(all) : mnsd(replicated);
  return r;
}

}  // namespace

void stabit(std::span<float> x, std::span<float> smooth, std::span<float> y,
            std::span<const int> depth, Console& con) {
  const std::size_t n = x.size();
  std::copy(x.begin(), x.end(), y.begin());
  if (static_cast<int>(n) < kSplineMinimum) return;

  // Steps 1 and 2: the statistics, the signs and the absolute deviations.
  const Rule rule = statistics(x, depth);
  const float m = rule.stats.mean, s = rule.stats.sd;
  std::vector<bool> negative(n);
  for (std::size_t k = 0; k < n; ++k) {
    const float d = depth[k] > 0 ? x[k] - m : 0.0f;
    negative[k] = d < 0;
    x[k] = std::fabs(d);
  }

  // Steps 3 and 4: super smoother of the absolute deviations, then the age-dependent
  // spline of that smooth with its rising tail flattened.
  std::vector<float> years(n), weights(n, 1.0f), smoothed(n);
  for (std::size_t k = 0; k < n; ++k) years[k] = static_cast<float>(k + 1);
  supsmu(years, x, weights, kNotPeriodic, rule.replicated >= kSmootherMinimum ? 0.0f : kShortSpan,
         kStabiliseAlpha, smoothed);
  flattened_spline(smoothed, smooth, kStabiliseSplineStart, con);
  if (smooth[0] == kSplineTooFew || smooth[0] == kSplineNotPositive) return;

  // Steps 5 to 7: standardised deviations, rescaled to the chronology's mean and spread.
  // A year whose smooth is not positive has no deviation to scale.
  std::vector<float> z(n);
  for (std::size_t k = 0; k < n; ++k) {
    z[k] = smooth[k] > 0.0f ? x[k] / smooth[k] : 0.0f;
    if (negative[k]) z[k] = -z[k];
  }
  const MeanSd zs = statistics(z, depth).stats;
  for (std::size_t k = 0; k < n; ++k) {
    if (depth[k] <= 0) continue;
    const float v = zs.sd > 0.0f ? (z[k] - zs.mean) / zs.sd * s + m : m;
    y[k] = std::max(v, 0.0f);
  }
}

}  // namespace dendro::sf
