#include "series/correlation.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>

namespace dendro {
namespace {

// Single precision, from the deviations about the two means.
PearsnResult correlate(std::span<const float> x, std::span<const float> y,
                       std::span<const int> mask, bool masked) {
  if (y.size() < x.size() || (masked && mask.size() < x.size())) {
    throw std::invalid_argument("pearsn: the series differ in length.");
  }
  auto takes_part = [&](std::size_t j) { return !masked || mask[j] > 0; };
  PearsnResult fit;
  int count = 0;
  float sum_x = 0.0f, sum_y = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!takes_part(j)) continue;
    sum_x += x[j];
    sum_y += y[j];
    ++count;
  }
  if (count == 0) return fit;
  const float m = static_cast<float>(count);
  const float mean_x = sum_x / m;
  const float mean_y = sum_y / m;

  float sxx = 0.0f, syy = 0.0f, sxy = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!takes_part(j)) continue;
    const float dx = x[j] - mean_x;
    const float dy = y[j] - mean_y;
    sxx += dx * dx;
    syy += dy * dy;
    sxy += dx * dy;
  }
  fit.intercept = mean_y;
  if (!(sxx > 0.0f) || !(syy > 0.0f)) return fit;  // no spread: r and slope stay 0

  // Rounding can put |r| a hair above 1, which later square roots would not survive.
  fit.r = std::clamp(sxy / std::sqrt(sxx * syy), -1.0f, 1.0f);
  fit.slope = std::sqrt(syy / (m - 1.0f)) / std::sqrt(sxx / (m - 1.0f)) * fit.r;
  fit.intercept = mean_y - fit.slope * mean_x;
  return fit;
}

}  // namespace

PearsnResult pearsn(std::span<const float> x, std::span<const float> y) {
  return correlate(x, y, {}, false);
}

PearsnResult pearsn1(std::span<const float> x, std::span<const float> y,
                     std::span<const int> mask) {
  return correlate(x, y, mask, true);
}

}  // namespace dendro
