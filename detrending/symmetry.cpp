#include "detrending/symmetry.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "series/correlation.h"
#include "series/descriptive.h"

namespace dendro {
namespace {

constexpr int kPasses = 10;

// The next power from the current skewness g and the spread-versus-level slope b.
float next_power(float g, float b, float last) {
  if (g == 0.0f || b == 0.0f) return last;
  const bool same_sign = (g > 0.0f) == (b > 0.0f);
  return same_sign ? 1.0f - b : 1.0f + b;
}

}  // namespace

SymmetryResult symmetry(std::span<float> x, std::span<const int> depth) {
  std::vector<float> y(x.begin(), x.end());
  std::vector<float> best = y;
  const Moments entry = moment1(y, depth);
  SymmetryResult result;
  result.skewness_before = entry.skewness;
  result.skewness_after = entry.skewness;
  float g = entry.skewness;
  float smallest = std::fabs(g);
  float p = 1.0f;

  for (int k = 0; k < kPasses; ++k) {
    const SpreadLevel pairs = mndf1(y, depth, kLevelLaterValue);
    const float b = pearsn(pairs.log_level, pairs.log_spread).slope;
    p = next_power(g, b, p);
    for (std::size_t j = 0; j < y.size(); ++j) {
      if (depth[j] > 0) y[j] = std::pow(std::max(y[j], 0.0f), p);
    }
    g = moment1(y, depth).skewness;
    // Strictly smaller: a tie keeps the earlier version.
    if (std::fabs(g) < smallest) {
      smallest = std::fabs(g);
      result.best_pass = k + 1;
      result.skewness_after = g;
      best = y;
    }
  }
  if (result.best_pass == 0) return result;

  // A version or a chronology without spread has no scale to carry over; x then stays.
  const Moments kept = moment1(best, depth);
  if (!(kept.std_dev > 0.0f) || !(entry.std_dev > 0.0f)) {
    result.best_pass = 0;
    result.skewness_after = entry.skewness;
    return result;
  }
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (depth[j] > 0) x[j] = (best[j] - kept.mean) / kept.std_dev * entry.std_dev + entry.mean;
  }
  return result;
}

}  // namespace dendro
