// Symmetric positive definite band systems by banded Cholesky factorisation (the
// Martin-Wilkinson band method): work and storage grow linearly with the order.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace dendro {

// The lower band of a symmetric matrix: row i (1-based) holds columns i - width to i.
// Cells left of column 1 exist in storage and are never read.
struct BandMatrix {
  BandMatrix(int order, int width)
      : order(order),
        width(width),
        cells(static_cast<std::size_t>(order) * static_cast<std::size_t>(width + 1), 0.0) {}

  // Element (i, j) for i - width <= j <= i.
  double& at(int i, int j) {
    return cells[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(width + 1) +
                 static_cast<std::size_t>(width - (i - j))];
  }
  double at(int i, int j) const { return const_cast<BandMatrix&>(*this).at(i, j); }

  int order;
  int width;  // number of sub-diagonals
  std::vector<double> cells;
};

// Error code of a factorisation that met a pivot it could not accept.
inline constexpr int kNotPositiveDefinite = 129;

// Determinant as mantissa * 2^exponent (mantissa between 1/16 and 1) and the error code.
struct BandFactor {
  double mantissa = 1.0;
  int exponent = 0;
  int error = 0;  // 0 or kNotPositiveDefinite
};

// Factorises the matrix in place into L (with L L' = A): the sub-diagonal elements of L
// replace those of A and each diagonal element holds 1 / L(i, i). A pivot is refused when
// adding 1/(16 order) of it to the unreduced diagonal element does not increase that
// element, which catches zero, negative and vanishing pivots alike.
BandFactor ludapb(BandMatrix& a);

// Solves L L' x = b with a factor from ludapb. Leading zeros of b are skipped in the
// forward substitution. x may be the same storage as b.
void luelpb(const BandMatrix& factor, std::span<const double> b, std::span<double> x);

// Factorises `a` in place and, when that succeeds, replaces b by the solution of A x = b.
BandFactor leq1pb(BandMatrix& a, std::span<double> b);

}  // namespace dendro
