#include "series/biweight.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "series/descriptive.h"
#include "series/index.h"
#include "series/option_values.h"
#include "series/sorting.h"
#include "series/stop.h"

namespace dendro {
namespace {

constexpr float kMadFloor = 0.0001f;  // below it the values are taken as constant
constexpr int kSmallSample = 5;       // up to this many values the biweight is not iterated
constexpr float kSmallSampleScale = 1.5f;
constexpr int kFurtherPasses = 3;  // passes after the first, fixed (no convergence test)

// The value at percentile p of the sorted values x: the named summary points exactly, any
// other p the mean of the values at positions trunc(pn/100) and trunc(pn/100 + 0.5), kept
// within the values (small n and small p would otherwise point below the first).
float percentile(std::span<const float> x, const FiveNumbers& f, int p) {
  switch (p) {
    case 1:
      return f.minimum;
    case 25:
      return f.lower_hinge;
    case 50:
      return f.median;
    case 75:
      return f.upper_hinge;
    case 100:
      return f.maximum;
    default:
      break;
  }
  const int n = static_cast<int>(x.size());
  const float r = static_cast<float>(p) * static_cast<float>(n) / 100.0f;
  const int i1 = std::clamp(static_cast<int>(r), 1, n);
  const int i2 = std::clamp(static_cast<int>(r + 0.5f), 1, n);
  return (x[at(i1)] + x[at(i2)]) * 0.5f;
}

struct Pass {
  double centre;
  double scale;
};

// One biweight pass at centre t with the deviations standardised by cm = c * MAD; values
// at |u| >= 1 take no part. Writes every value's weight when `weights` is not empty.
Pass biweight_pass(std::span<const float> x, double t, double cm, std::span<float> weights) {
  double s1 = 0.0, s2 = 0.0, sum_w = 0.0, sum_wd = 0.0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    const double d = x[i] - t;
    const double u = d / cm;
    double w = 0.0;
    if (std::fabs(u) < 1.0) {
      const double v = 1.0 - u * u;
      s1 += v * v * v * v * d * d;
      s2 += v * (1.0 - 5.0 * u * u);
      w = v * v;
      sum_w += w;
      sum_wd += w * d;
    }
    if (!weights.empty()) weights[i] = static_cast<float>(w);
  }
  const double n = static_cast<double>(x.size());
  Pass p{t, 0.0};
  if (sum_w > 0.0) p.centre = t + sum_wd / sum_w;
  if (s2 != 0.0) p.scale = n / std::sqrt(n - 1.0) * std::sqrt(s1) / std::fabs(s2);
  return p;
}

}  // namespace

BiwgtResult biwgt(std::span<float> values, float c, int kind) {
  BiwgtResult b;
  const std::size_t count = values.size();
  if (count < 1) throw Stop("fatal error in biwgt: n is zero or negative", kFailureStatus);
  b.weights.assign(count, 1.0f);
  if (count == 1) {
    b.location = values[0];
    return b;
  }
  const double n = static_cast<double>(count);

  // Arithmetic mean and sample variance, needed by every kind (the efficiency).
  double sum = 0.0;
  for (float v : values) sum += v;
  const double mean = sum / n;
  double ss = 0.0;
  for (float v : values) ss += (v - mean) * (v - mean);
  const double variance = ss / (n - 1.0);
  if (kind == mean_kind::arithmetic) {
    b.location = static_cast<float>(mean);
    b.scale = static_cast<float>(std::sqrt(variance));
    b.std_error = static_cast<float>(std::sqrt(variance) / std::sqrt(n));
    b.efficiency = 1.0f;
    return b;
  }

  const FiveNumbers f = mfs(values);  // sorts the values
  if (kind < 0) {
    b.location = percentile(values, f, -kind);
    return b;
  }

  // Biweight: median and median absolute deviation.
  if (!(c > 0.0f)) throw std::invalid_argument("biwgt: the tuning constant must be above 0.");
  const float median = f.median;
  std::vector<float> deviation(count);
  for (std::size_t i = 0; i < count; ++i) deviation[i] = std::fabs(values[i] - median);
  const std::size_t h = (count + 1) / 2;
  const std::size_t middle[] = {h - 1, count - h};
  select(deviation, middle);
  const float mad = (deviation[count - h] + deviation[h - 1]) * 0.5f;
  b.location = median;
  if (mad < kMadFloor && count > kSmallSample) {
    // Nearly constant values: the median stands. The efficiency is reported as 1 (neither
    // gain nor loss against the mean), as the scale of the biweight is not defined here.
    b.scale = mad;
    b.std_error = static_cast<float>(mad / std::sqrt(n));
    b.efficiency = 1.0f;
    return b;
  }
  if (count <= kSmallSample) {
    b.scale = kSmallSampleScale * mad;
    b.std_error = static_cast<float>(kSmallSampleScale * mad / std::sqrt(n));
    b.efficiency = 1.0f;
    return b;
  }

  // Iterate from the median with the standardising scale fixed at c * MAD: one pass, then
  // three that also record the weights.
  const double cm = static_cast<double>(c) * static_cast<double>(mad);
  Pass p = biweight_pass(values, median, cm, {});
  for (int pass = 0; pass < kFurtherPasses; ++pass)
    p = biweight_pass(values, p.centre, cm, b.weights);
  b.location = static_cast<float>(p.centre);
  b.scale = static_cast<float>(p.scale);
  b.std_error = static_cast<float>(p.scale / std::sqrt(n));
  b.iterations = kFurtherPasses;
  b.efficiency = p.scale > 0.0 ? static_cast<float>(variance / (p.scale * p.scale)) : 1.0f;
  return b;
}

}  // namespace dendro
