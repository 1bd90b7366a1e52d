#include "series/band.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "series/index.h"

namespace dendro {
namespace {

constexpr double kMantissaHigh = 1.0;
constexpr double kMantissaLow = 0.0625;  // 1/16
constexpr int kExponentStep = 4;         // a factor of 16

// Multiplies the determinant by a pivot, keeping the mantissa in [1/16, 1).
void scale_determinant(BandFactor& f, double pivot) {
  f.mantissa *= pivot;
  // A finite double has an exponent within +-1100, so these loops end after ~280 steps.
  while (std::fabs(f.mantissa) >= kMantissaHigh) {
    f.mantissa *= kMantissaLow;
    f.exponent += kExponentStep;
  }
  while (f.mantissa != 0.0 && std::fabs(f.mantissa) < kMantissaLow) {
    f.mantissa /= kMantissaLow;
    f.exponent -= kExponentStep;
  }
}

}  // namespace

BandFactor ludapb(BandMatrix& a) {
  BandFactor f;
  const int n = a.order;
  const int m = a.width;
  const double tol = 1.0 / (16.0 * n);
  for (int i = 1; i <= n; ++i) {
    const int first = std::max(1, i - m);
    for (int j = first; j <= i; ++j) {
      // Reduce element (i, j) by the products of the factor's earlier columns.
      double s = a.at(i, j);
      for (int k = std::max(first, j - m); k < j; ++k) s -= a.at(i, k) * a.at(j, k);
      if (j < i) {
        a.at(i, j) = s * a.at(j, j);  // the diagonal holds 1 / L(j, j)
        continue;
      }
      const double unreduced = a.at(i, i);
      if (!(unreduced + tol * s > unreduced)) {
        f.error = kNotPositiveDefinite;
        return f;
      }
      scale_determinant(f, s);
      a.at(i, i) = 1.0 / std::sqrt(s);
    }
  }
  return f;
}

void luelpb(const BandMatrix& factor, std::span<const double> b, std::span<double> x) {
  const int n = factor.order;
  const int m = factor.width;
  if (b.size() < static_cast<std::size_t>(n) || x.size() < static_cast<std::size_t>(n)) {
    throw std::invalid_argument("luelpb: the right side is shorter than the system.");
  }
  auto bv = [&](int i) { return b[at(i)]; };
  auto xv = [&](int i) -> double& { return x[at(i)]; };

  // Forward substitution L z = b, from the first non-zero element of b.
  int start = 1;
  while (start <= n && bv(start) == 0.0) xv(start++) = 0.0;
  for (int i = start; i <= n; ++i) {
    double s = bv(i);
    for (int k = std::max(start, i - m); k < i; ++k) s -= factor.at(i, k) * xv(k);
    xv(i) = s * factor.at(i, i);
  }
  // Back substitution L' x = z.
  for (int i = n; i >= 1; --i) {
    double s = xv(i);
    for (int k = i + 1; k <= std::min(n, i + m); ++k) s -= factor.at(k, i) * xv(k);
    xv(i) = s * factor.at(i, i);
  }
}

BandFactor leq1pb(BandMatrix& a, std::span<double> b) {
  const BandFactor f = ludapb(a);
  if (f.error == 0) luelpb(a, b, b);
  return f;
}

}  // namespace dendro
