// Autocorrelation functions and autoregressive models by Burg's maximum-entropy method.
#pragma once

#include <span>
#include <vector>

namespace dendro {

// Lags 1 to m + 1; kUndefined throughout for a series without variance or without years.
struct Autocorrelation {
  std::vector<float> r;        // autocorrelations, divisor N at every lag
  std::vector<float> partial;  // partial autocorrelations (Durbin-Levinson)
  std::vector<float> limits;   // two standard errors by Bartlett's formula
};

// Autocorrelations of x up to lag m + 1. The series is standardised in place and restored,
// so it comes back equal up to single-precision rounding.
Autocorrelation acf(std::span<float> x, int m);

// The same over the years whose depth is above 0: a lag product counts when both years
// have depth, and every sum is divided by the number N of years with depth.
Autocorrelation acf1(std::span<float> x, std::span<const int> depth, int m);

struct BurgFit {
  int order = 0;
  float explained = 0.0f;           // fraction of the variance, 1 - p / p0
  std::vector<float> coefficients;  // one per order, 1 to `order`
};

// Order modes: below 1 the order with the first minimum of the corrected Akaike criterion
// (order 0 when no model beats white noise), 1 or above the fixed order m - 1.
inline constexpr int kOrderByCriterion = 0;
inline constexpr int kFixedOrder = 1;

// Burg estimate of an autoregressive model of order at most m - 1: callers pass the
// highest order wanted plus one. The explained variance is that of the order computed last
// (one above the reported order). The series is left centred on its mean. Series too short
// for order m (N - m - 2 must stay above 0) are fitted up to the highest order they allow;
// a series without variance gives order 0.
BurgFit memcof(std::span<float> x, int m, int mode);

// The same over the years whose depth is above 0; the series comes back unchanged.
BurgFit memcof1(std::span<float> x, std::span<const int> depth, int m, int mode);

}  // namespace dendro
