// Pearson correlation and the least-squares line of one series on another.
#pragma once

#include <span>

namespace dendro {

// y = intercept + slope * x, fitted by least squares; r is the correlation of x and y.
struct PearsnResult {
  float r = 0.0f;
  float intercept = 0.0f;
  float slope = 0.0f;
};

// Correlation and line over all pairs (x[i], y[i]); y must be at least as long as x. A
// series without spread has no correlation: r and the slope are 0 and the line is the
// mean of y (the least-squares line when only x varies, the natural level when x does
// not). Without pairs everything is 0.
PearsnResult pearsn(std::span<const float> x, std::span<const float> y);

// The same over the positions whose mask is above 0.
PearsnResult pearsn1(std::span<const float> x, std::span<const float> y, std::span<const int> mask);

}  // namespace dendro
