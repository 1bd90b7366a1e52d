#include "series/autoregression.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

#include "series/index.h"
#include "series/store.h"

namespace dendro {
namespace {

// Positions taking part: all of them, or those with depth above 0.
struct Years {
  std::span<const int> depth;
  bool masked = false;
  bool operator()(std::size_t j) const { return !masked || depth[j] > 0; }
};

Autocorrelation undefined_acf(int lags) {
  const auto n = static_cast<std::size_t>(lags);
  return {std::vector<float>(n, kUndefined), std::vector<float>(n, kUndefined),
          std::vector<float>(n, kUndefined)};
}

Autocorrelation autocorrelate(std::span<float> x, Years uses, int m) {
  const int lags = std::max(m + 1, 0);
  if (uses.masked && uses.depth.size() < x.size()) {
    throw std::invalid_argument("acf1: the depth is shorter than the series.");
  }

  // Standardise in place with the population variance of the years taking part.
  int count = 0;
  float sum = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (uses(j)) {
      sum += x[j];
      ++count;
    }
  }
  if (count == 0) return undefined_acf(lags);
  const float big_n = static_cast<float>(count);
  const float mean = sum / big_n;
  float ss = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (uses(j)) ss += (x[j] - mean) * (x[j] - mean);
  }
  const float sd = std::sqrt(ss / big_n);
  if (!(sd > 0.0f)) return undefined_acf(lags);
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (uses(j)) x[j] = (x[j] - mean) / sd;
  }

  Autocorrelation a;
  a.r.assign(static_cast<std::size_t>(lags), 0.0f);
  for (int k = 1; k <= lags; ++k) {
    float s = 0.0f;
    for (std::size_t j = static_cast<std::size_t>(k); j < x.size(); ++j) {
      if (uses(j) && uses(j - static_cast<std::size_t>(k)))
        s += x[j] * x[j - static_cast<std::size_t>(k)];
    }
    a.r[at(k)] = s / big_n;
  }

  // Partial autocorrelations by the Durbin-Levinson recursion; coef holds the
  // autoregressive coefficients of the order before.
  auto r = [&](int k) { return a.r[at(k)]; };
  a.partial.assign(static_cast<std::size_t>(lags), 0.0f);
  std::vector<float> coef(static_cast<std::size_t>(lags) + 1, 0.0f), before = coef;
  for (int k = 1; k <= lags; ++k) {
    float num = r(k), den = 1.0f;
    for (int j = 1; j < k; ++j) {
      num -= coef[static_cast<std::size_t>(j)] * r(k - j);
      den -= coef[static_cast<std::size_t>(j)] * r(j);
    }
    const float phi = den != 0.0f ? num / den : 0.0f;  // 0 once the series is predicted exactly
    a.partial[at(k)] = phi;
    before = coef;
    for (int j = 1; j < k; ++j) {
      coef[static_cast<std::size_t>(j)] =
          before[static_cast<std::size_t>(j)] - phi * before[static_cast<std::size_t>(k - j)];
    }
    coef[static_cast<std::size_t>(k)] = phi;
  }

  // Two standard errors: 2 / sqrt(N) at lag 1, widened by the lower lags beyond.
  a.limits.assign(static_cast<std::size_t>(lags), 0.0f);
  const float root_n = std::sqrt(big_n);
  float squares = 0.0f;
  for (int k = 1; k <= lags; ++k) {
    a.limits[at(k)] = 2.0f * std::sqrt(1.0f + 2.0f * squares) / root_n;
    squares += r(k) * r(k);
  }

  for (std::size_t j = 0; j < x.size(); ++j) {
    if (uses(j)) x[j] = x[j] * sd + mean;
  }
  return a;
}

// Burg's recursion (after Numerical Recipes' memcof) on a series already centred on the
// years taking part, with N of them and mean square p0.
BurgFit burg(std::span<const float> x, Years uses, int count, float p0, int m, int mode) {
  BurgFit fit;
  const std::size_t n = x.size();
  const float big_n = static_cast<float>(count);
  // The criterion's correction 2(k+1)(k+2)/(N-k-2) needs N - k - 2 > 0.
  const int highest = std::min(m, count - 3);
  if (highest < 1 || !(p0 > 0.0f) || n < 2) return fit;

  // Forward and backward prediction errors.
  std::vector<float> f(x.begin(), x.end() - 1), b(x.begin() + 1, x.end());
  std::vector<float> kept;  // coefficients of the order before
  float p = p0;
  const float a0 = big_n * std::log(p0) + 2.0f;
  float a_before = a0;
  for (int k = 1; k <= highest; ++k) {
    const std::size_t span = n - static_cast<std::size_t>(k);
    float num = 0.0f, den = 0.0f;
    for (std::size_t j = 0; j < span; ++j) {
      if (!uses(j)) continue;
      num += f[j] * b[j];
      den += f[j] * f[j] + b[j] * b[j];
    }
    // |d| <= 1 in exact arithmetic; no error left to explain means no reflection.
    const float d = den > 0.0f ? std::clamp(2.0f * num / den, -1.0f, 1.0f) : 0.0f;
    p *= 1.0f - d * d;
    const float kf = static_cast<float>(k);
    const float criterion = big_n * std::log(p) + 2.0f * (kf + 1.0f) +
                            2.0f * (kf + 1.0f) * (kf + 2.0f) / (big_n - kf - 2.0f);
    std::vector<float> a(static_cast<std::size_t>(k));
    for (int i = 1; i < k; ++i) {
      a[at(i)] = kept[at(i)] - d * kept[static_cast<std::size_t>(k - i - 1)];
    }
    a[at(k)] = d;

    if (mode < kFixedOrder && k > 1 && criterion > a_before) {
      // The criterion rose at order k: the order before is chosen, unless white noise
      // did better still.
      if (a_before > a0) return fit;
      fit.order = k - 1;
      fit.explained = 1.0f - p / p0;
      fit.coefficients = kept;
      return fit;
    }
    if (k == highest) break;
    kept = a;
    for (std::size_t j = 0; j + 1 < span; ++j) {
      if (!uses(j) || !uses(j + 1)) continue;
      f[j] -= d * b[j];
      b[j] = b[j + 1] - d * f[j + 1];
    }
    a_before = criterion;
  }
  fit.order = highest - 1;
  fit.explained = 1.0f - p / p0;
  fit.coefficients = kept;
  return fit;
}

struct Centred {
  float mean = 0.0f;
  float p0 = 0.0f;
  int count = 0;
};

// Subtracts the mean of the years taking part from them, in place.
Centred centre(std::span<float> x, Years uses) {
  Centred c;
  float sum = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (uses(j)) {
      sum += x[j];
      ++c.count;
    }
  }
  if (c.count == 0) return c;
  c.mean = sum / static_cast<float>(c.count);
  float squares = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!uses(j)) continue;
    x[j] -= c.mean;
    squares += x[j] * x[j];
  }
  c.p0 = squares / static_cast<float>(c.count);
  return c;
}

}  // namespace

Autocorrelation acf(std::span<float> x, int m) { return autocorrelate(x, Years{}, m); }

Autocorrelation acf1(std::span<float> x, std::span<const int> depth, int m) {
  return autocorrelate(x, Years{depth, true}, m);
}

BurgFit memcof(std::span<float> x, int m, int mode) {
  const Years all{};
  const Centred c = centre(x, all);
  return burg(x, all, c.count, c.p0, m, mode);
}

BurgFit memcof1(std::span<float> x, std::span<const int> depth, int m, int mode) {
  if (depth.size() < x.size())
    throw std::invalid_argument("memcof1: the depth is shorter than the series.");
  const Years with_depth{depth, true};
  const Centred c = centre(x, with_depth);
  BurgFit fit = burg(x, with_depth, c.count, c.p0, m, mode);
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (with_depth(j)) x[j] += c.mean;
  }
  return fit;
}

}  // namespace dendro
