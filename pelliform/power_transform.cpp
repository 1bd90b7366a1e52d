#include "pelliform/power_transform.h"

#include <algorithm>
#include <cmath>

#include "series/correlation.h"
#include "series/files/interrupts.h"

namespace dendro {
namespace {

constexpr float kSmallestPower = 0.05f;  // powers below this become the logarithm

float power_of(float slope) {
  const float p = 1.0f - slope;
  if (p < kSmallestPower) return 0.0f;
  return std::min(p, 1.0f);
}

float transformed(float x, float p) {
  if (p > 0.0f) return std::pow(std::max(x, kPowerFloor), p);
  return x > 0.0f ? std::log(x) : kLogOfNothing;
}

// Transforms one series with power p and rescales it into its old range.
void transform_series(std::vector<float>& v, float p) {
  if (v.empty()) return;
  const auto [lo, hi] = std::minmax_element(v.begin(), v.end());
  const float minimum = *lo, range = *hi - *lo;
  std::vector<float> t(v.size());
  for (std::size_t i = 0; i < v.size(); ++i) t[i] = transformed(v[i], p);
  const auto [tlo, thi] = std::minmax_element(t.begin(), t.end());
  const float t_minimum = *tlo, t_range = *thi - *tlo;
  if (t_range == 0.0f) return;  // nothing to rescale: the series stays as it was
  for (std::size_t i = 0; i < v.size(); ++i) {
    v[i] = (t[i] - t_minimum) * range / t_range + minimum;
  }
}

}  // namespace

Line trend2(std::span<const float> x, std::span<const float> y) {
  const auto n = static_cast<float>(x.size());
  if (x.empty()) return {};
  float sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  const float ssx = sxx - sx * sx / n;
  Line line;
  line.slope = ssx != 0.0f ? (sxy - sx * sy / n) / ssx : 0.0f;
  line.intercept = sy / n - line.slope * sx / n;
  return line;
}

PowerTransformResult slpt1(SeriesSet& set) {
  PowerTransformResult r;
  float power_sum = 0;
  for (std::vector<float>& v : set.values) {
    stop_if_interrupted();
    // Pairs of level (the later value) and spread (its step from the earlier one).
    sf::SpreadLevel sl;
    for (std::size_t i = 0; i + 1 < v.size(); ++i) {
      const float level = v[i + 1], spread = std::fabs(v[i + 1] - v[i]);
      if (level <= 0.0f || spread <= 0.0f) continue;
      sl.log_level.push_back(std::log(level));
      sl.log_spread.push_back(std::log(spread));
    }
    sl.fit = trend2(sl.log_level, sl.log_spread);
    const float p = power_of(sl.fit.slope);
    power_sum += p;
    transform_series(v, p);
    r.pooled_level.insert(r.pooled_level.end(), sl.log_level.begin(), sl.log_level.end());
    r.pooled_spread.insert(r.pooled_spread.end(), sl.log_spread.begin(), sl.log_spread.end());
    r.power.push_back(p);
    r.series.push_back(std::move(sl));
  }
  if (set.count() > 0) r.mean_power = power_sum / static_cast<float>(set.count());
  const PearsnResult pooled = pearsn(r.pooled_level, r.pooled_spread);
  r.pooled_r = pooled.r;
  r.pooled = Line{pooled.slope, pooled.intercept};
  return r;
}

}  // namespace dendro
