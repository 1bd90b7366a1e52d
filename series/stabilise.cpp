#include "series/stabilise.h"

#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "series/console.h"
#include "series/descriptive.h"
#include "series/files/stop.h"
#include "series/spline.h"

namespace dendro {
namespace {

constexpr int kPercentStiffness = -9;  // below this a stiffness is a percentage of n
constexpr int kDeepSeries = 3;         // stabit's statistics come from years deeper than this

// A stiffness given as a percentage of the series length, in years.
void percent_to_years(int& w, std::size_t n) {
  if (w < kPercentStiffness) {
    w = static_cast<int>(std::fabs(static_cast<float>(w) / 100.0f * static_cast<float>(n)));
  }
}

struct MeanSd {
  float mean = 0.0f;
  float sd = 0.0f;  // 0 when there is no spread to measure
  int count = 0;
};

// Mean and standard deviation (divisor k - 1) of the values where `use` says so.
template <typename Use>
MeanSd mean_sd(std::span<const float> x, Use use) {
  MeanSd s;
  float sum = 0.0f;
  for (std::size_t t = 0; t < x.size(); ++t) {
    if (!use(t)) continue;
    sum += x[t];
    ++s.count;
  }
  if (s.count == 0) return s;
  const float k = static_cast<float>(s.count);
  s.mean = sum / k;
  if (s.count < 2) return s;
  float ss = 0.0f;
  for (std::size_t t = 0; t < x.size(); ++t) {
    if (use(t)) ss += (x[t] - s.mean) * (x[t] - s.mean);
  }
  s.sd = std::sqrt(ss / (k - 1.0f));
  return s;
}

// The same from the sum of squares, sqrt((sum x^2 - mean^2 k) / (k - 1)), as the spline
// stabilisation over all years takes them (rounding can take the difference
// below 0, which counts as no spread).
template <typename Use>
MeanSd sum_of_squares_mean_sd(std::span<const float> x, Use use) {
  MeanSd s;
  float sum = 0.0f, squares = 0.0f;
  for (std::size_t t = 0; t < x.size(); ++t) {
    if (!use(t)) continue;
    sum += x[t];
    squares += x[t] * x[t];
    ++s.count;
  }
  if (s.count == 0) return s;
  const float k = static_cast<float>(s.count);
  s.mean = sum / k;
  const float excess = squares - s.mean * s.mean * k;
  if (s.count >= 2 && excess > 0.0f) s.sd = std::sqrt(excess / (k - 1.0f));
  return s;
}

// The deviation divided by the local spread; a curve of no spread at all leaves the year
// at the mean rather than dividing by zero.
float ratio(float deviation, float spread, bool negative) {
  if (!(spread > 0.0f)) return 0.0f;
  const float r = deviation / spread;
  return negative ? -r : r;
}

// (r - ratio mean) / ratio sd * sd + mean, not below 0; every year at the mean when the
// ratios do not vary.
float rescale(float r, float ratio_mean, float ratio_sd, float mean, float sd) {
  if (!(ratio_sd > 0.0f)) return mean;
  const float v = (r - ratio_mean) / ratio_sd * sd + mean;
  return v < 0.0f ? 0.0f : v;
}

void check_sizes(std::span<const float> x, std::span<float> curve, std::span<float> out,
                 std::span<const int> depth) {
  if (curve.size() < x.size() || out.size() < x.size() || depth.size() < x.size()) {
    throw std::invalid_argument("stabit: the buffers are shorter than the series.");
  }
}

}  // namespace

bool stabbm(std::span<const float> x, std::span<const int> depth, int first_year,
            ReferencePeriod& reference, float rbar, std::span<float> out,
            std::span<float> effective, Console* console) {
  const int n = static_cast<int>(x.size());
  if (depth.size() < x.size() || out.size() < x.size() || effective.size() < x.size()) {
    throw std::invalid_argument("stabbm: the buffers are shorter than the chronology.");
  }
  if (reference.first == 0 && reference.last == 0) {
    reference.first = first_year;
    reference.last = first_year + n - 1;
  }
  if (n < 1) throw Stop("*** time series length .le. 0 in sbr stabbm ***", kFailureStatus);
  if (reference.last - reference.first + 1 < 1) {
    throw Stop("*** reference period length .le. 0 in sbr stabbm ***", kFailureStatus);
  }
  if (!(rbar > 0.0f)) {
    if (console) console->say("*** rbar .le. 0 in sbr stabbm ***");
    return false;
  }
  auto has_depth = [&](std::size_t t) { return depth[t] > 0; };

  // Deviations scaled by the square root of the effective number of series.
  const float mean = mean_sd(x, has_depth).mean;
  std::vector<float> scaled(x.size(), 0.0f);
  for (std::size_t t = 0; t < x.size(); ++t) {
    effective[t] = 0.0f;
    if (!has_depth(t)) continue;
    const float d = static_cast<float>(depth[t]);
    effective[t] = d / ((d - 1.0f) * rbar + 1.0f);
    scaled[t] = (x[t] - mean) * std::sqrt(effective[t]);
  }

  // Level and spread of both over the reference years that have depth.
  auto in_reference = [&](std::size_t t) {
    const int year = first_year + static_cast<int>(t);
    return has_depth(t) && year >= reference.first && year <= reference.last;
  };
  const MeanSd plain = mean_sd(x, in_reference);
  const MeanSd stable = mean_sd(scaled, in_reference);
  for (std::size_t t = 0; t < x.size(); ++t) {
    if (!has_depth(t)) continue;
    if (plain.count < 2) {
      out[t] = x[t];  // a reference of one year has no spread to restore
    } else if (!(stable.sd > 0.0f)) {
      out[t] = plain.mean;
    } else {
      out[t] = (scaled[t] - stable.mean) / stable.sd * plain.sd + plain.mean;
    }
  }
  return true;
}

void stabit(std::span<float> x, std::span<float> curve, std::span<float> out,
            std::span<const int> depth, int& w, Console* console) {
  check_sizes(x, curve, out, depth);
  const std::size_t n = x.size();
  if (n == 0) return;

  // Mean and spread from the well-replicated years when there are enough of them.
  std::size_t deep = 0;
  for (std::size_t t = 0; t < n; ++t) deep += depth[t] > kDeepSeries ? 1 : 0;
  const bool deep_only = deep > n / 3;
  const MeanSd level = sum_of_squares_mean_sd(
      x, [&](std::size_t t) { return !deep_only || depth[t] > kDeepSeries; });

  // Absolute deviations, their signs kept apart.
  std::vector<bool> negative(n);
  for (std::size_t t = 0; t < n; ++t) {
    x[t] -= level.mean;
    negative[t] = x[t] < 0.0f;
    x[t] = std::fabs(x[t]);
  }
  percent_to_years(w, n);
  if (spline(x, curve, w, console).status != SplineStatus::ok) {
    // Too short or refused: the series stays as it was.
    for (std::size_t t = 0; t < n; ++t) out[t] = level.mean + (negative[t] ? -x[t] : x[t]);
    return;
  }
  for (std::size_t t = 0; t < n; ++t) out[t] = ratio(x[t], curve[t], negative[t]);
  const MeanSd r = mean_sd(out, [](std::size_t) { return true; });
  for (std::size_t t = 0; t < n; ++t) out[t] = rescale(out[t], r.mean, r.sd, level.mean, level.sd);
}

void stabit1(std::span<float> x, std::span<float> curve, std::span<float> out,
             std::span<const int> mask, int& w, Console* console) {
  check_sizes(x, curve, out, mask);
  const std::size_t n = x.size();
  auto masked = [&](std::size_t t) { return mask[t] > 0; };
  const Moments level = moment1(x, mask);
  if (level.mean == kUndefined) return;  // no year takes part
  if (level.std_dev == kUndefined) {
    // One year, or no spread: nothing to stabilise.
    for (std::size_t t = 0; t < n; ++t) {
      if (masked(t)) out[t] = x[t];
    }
    return;
  }

  std::vector<bool> negative(n);
  for (std::size_t t = 0; t < n; ++t) {
    if (!masked(t)) continue;
    x[t] -= level.mean;
    negative[t] = x[t] < 0.0f;
    x[t] = std::fabs(x[t]);
  }
  percent_to_years(w, n);
  if (spline(x, curve, w, console).status != SplineStatus::ok) {
    for (std::size_t t = 0; t < n; ++t) {
      if (masked(t)) out[t] = level.mean + (negative[t] ? -x[t] : x[t]);
    }
    return;
  }
  for (std::size_t t = 0; t < n; ++t) {
    if (masked(t)) out[t] = ratio(x[t], curve[t], negative[t]);
  }
  const Moments r = moment1(out.first(n), mask);
  const float r_sd = r.std_dev == kUndefined ? 0.0f : r.std_dev;
  for (std::size_t t = 0; t < n; ++t) {
    if (masked(t)) out[t] = rescale(out[t], r.mean, r_sd, level.mean, level.std_dev);
  }
}

}  // namespace dendro
