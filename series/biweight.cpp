#include "series/biweight.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "series/descriptive.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/option_values.h"
#include "series/sorting.h"

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

// The median absolute deviation about the median: the mean of the deviations at the two
// middle ranks. On sorted values that sort alike about a finite median the deviations grow
// outward from the median on both sides, so merging the two sides gives them in ascending
// order, half of them being enough; any other values are selected as a whole.
float median_deviation(std::span<const float> sorted, float median) {
  const std::size_t count = sorted.size(), h = (count + 1) / 2;
  const auto deviation = [&](std::size_t i) { return std::fabs(sorted[i] - median); };
  float low = 0.0f, high = 0.0f;  // at 0-based ranks h - 1 and count - h
  if (std::isfinite(median) && sorts_alike(sorted)) {
    std::size_t right = static_cast<std::size_t>(
        std::lower_bound(sorted.begin(), sorted.end(), median) - sorted.begin());
    std::size_t left = right;  // the next deviation on the left is at left - 1
    for (std::size_t rank = 0; rank <= count - h; ++rank) {
      const bool from_left =
          left > 0 && (right == count || deviation(left - 1) <= deviation(right));
      const float d = from_left ? deviation(--left) : deviation(right++);
      if (rank == h - 1) low = d;
      high = d;
    }
  } else {
    std::vector<float> all(count);
    for (std::size_t i = 0; i < count; ++i) all[i] = deviation(i);
    const std::size_t middle[] = {h - 1, count - h};
    select(all, middle);
    low = all[h - 1];
    high = all[count - h];
  }
  return (high + low) * 0.5f;
}

// How the location of sorted values came: a percentile, the median of nearly constant
// values or of few values, or the iterated biweight whose last pass is `last`.
enum class Fit { percentile, constant, small, iterated };

struct SortedFit {
  Fit how = Fit::percentile;
  float location = 0.0f;
  float mad = 0.0f;
  Pass last{0.0, 0.0};
};

// The location of sorted values (at least two) by a percentile (kind below 0) or the
// biweight; the biweight's last three passes write the weights when `weights` is not empty.
SortedFit fit_sorted(std::span<const float> sorted, float c, int kind, std::span<float> weights) {
  SortedFit fit;
  const FiveNumbers f = summary_of_sorted(sorted);
  if (kind < 0) {
    fit.location = percentile(sorted, f, -kind);
    return fit;
  }

  // Biweight: median and median absolute deviation.
  if (!(c > 0.0f)) throw std::invalid_argument("biwgt: the tuning constant must be above 0.");
  const std::size_t count = sorted.size();
  fit.location = f.median;
  fit.mad = median_deviation(sorted, f.median);
  if (fit.mad < kMadFloor && count > kSmallSample) {
    fit.how = Fit::constant;
    return fit;
  }
  if (count <= kSmallSample) {
    fit.how = Fit::small;
    return fit;
  }

  // Iterate from the median with the standardising scale fixed at c * MAD: one pass, then
  // three that also record the weights.
  const double cm = static_cast<double>(c) * static_cast<double>(fit.mad);
  Pass p = biweight_pass(sorted, f.median, cm, {});
  for (int pass = 0; pass < kFurtherPasses; ++pass)
    p = biweight_pass(sorted, p.centre, cm, weights);
  fit.how = Fit::iterated;
  fit.location = static_cast<float>(p.centre);
  fit.last = p;
  return fit;
}

// The scale, standard error, efficiency and iterations that go with the fit of n values of
// sample variance `variance` (none for a percentile).
void set_spread(BiwgtResult& b, const SortedFit& fit, double n, double variance) {
  switch (fit.how) {
    case Fit::percentile:
      break;
    case Fit::constant:
      // Nearly constant values: the median stands. The efficiency is reported as 1 (neither
      // gain nor loss against the mean), as the scale of the biweight is not defined here.
      b.scale = fit.mad;
      b.std_error = static_cast<float>(fit.mad / std::sqrt(n));
      b.efficiency = 1.0f;
      break;
    case Fit::small:
      b.scale = kSmallSampleScale * fit.mad;
      b.std_error = static_cast<float>(kSmallSampleScale * fit.mad / std::sqrt(n));
      b.efficiency = 1.0f;
      break;
    case Fit::iterated: {
      const double scale = fit.last.scale;
      b.scale = static_cast<float>(scale);
      b.std_error = static_cast<float>(scale / std::sqrt(n));
      b.iterations = kFurtherPasses;
      b.efficiency = scale > 0.0 ? static_cast<float>(variance / (scale * scale)) : 1.0f;
      break;
    }
  }
}

void check_not_empty(std::size_t count) {
  if (count < 1) throw Stop("fatal error in biwgt: n is zero or negative", kFailureStatus);
}

}  // namespace

BiwgtResult biwgt(std::span<float> values, float c, int kind) {
  BiwgtResult b;
  const std::size_t count = values.size();
  check_not_empty(count);
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

  qcksrt(values);
  const SortedFit fit = fit_sorted(values, c, kind, b.weights);
  b.location = fit.location;
  set_spread(b, fit, n, variance);
  return b;
}

float sorted_location(std::span<const float> sorted, float c, int kind) {
  check_not_empty(sorted.size());
  if (sorted.size() == 1) return sorted[0];
  return fit_sorted(sorted, c, kind, {}).location;
}

}  // namespace dendro
