#include "statistics/eigen.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <utility>

#include "series/console.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

// Machine precision of single precision (2^-24) for the QL convergence test.
constexpr float kMachineEpsilon = 5.9604645e-08f;
// Below this (2^-100) a Householder step has nothing to annihilate and is skipped.
constexpr float kHouseholderTolerance = 7.888609e-31f;

// Vectors indexed from 1, as the decomposition is written.
struct OneBased {
  std::span<float> v;
  float& operator()(int i) { return v[at(i)]; }
};

// Householder reduction of z to tridiagonal form (diagonal in d, sub-diagonal in e(2..n)),
// with the orthogonal transformation accumulated in z.
void tridiagonalise(Matrix& z, OneBased d, OneBased e) {
  const int n = z.rows;
  for (int i = n; i >= 2; --i) {
    stop_if_interrupted();  // each step works on the whole matrix
    float f = z(i, i - 1);
    float g = 0.0f;
    for (int k = 1; k <= i - 2; ++k) g += z(i, k) * z(i, k);
    float h = g + f * f;
    if (g <= kHouseholderTolerance) {
      e(i) = f;
      h = 0.0f;
    } else {
      g = std::sqrt(h);
      if (f >= 0.0f) g = -g;
      e(i) = g;
      h -= f * g;
      z(i, i - 1) = f - g;
      f = 0.0f;
      for (int j = 1; j <= i - 1; ++j) {
        z(j, i) = z(i, j) / h;
        g = 0.0f;
        for (int k = 1; k <= j; ++k) g += z(j, k) * z(i, k);
        for (int k = j + 1; k <= i - 1; ++k) g += z(k, j) * z(i, k);
        e(j) = g / h;
        f += g * z(j, i);
      }
      const float hh = f / (h + h);
      for (int j = 1; j <= i - 1; ++j) {
        f = z(i, j);
        g = e(j) - hh * f;
        e(j) = g;
        for (int k = 1; k <= j; ++k) z(j, k) = z(j, k) - f * e(k) - g * z(i, k);
      }
    }
    d(i) = h;
  }
  d(1) = 0.0f;
  e(1) = 0.0f;

  // Accumulate the transformations; d takes the diagonal of the tridiagonal form.
  for (int i = 1; i <= n; ++i) {
    stop_if_interrupted();
    if (i > 1 && d(i) != 0.0f) {
      for (int j = 1; j <= i - 1; ++j) {
        float g = 0.0f;
        for (int k = 1; k <= i - 1; ++k) g += z(i, k) * z(k, j);
        for (int k = 1; k <= i - 1; ++k) z(k, j) -= g * z(k, i);
      }
    }
    d(i) = z(i, i);
    z(i, i) = 1.0f;
    for (int j = 1; j <= i - 1; ++j) z(i, j) = z(j, i) = 0.0f;
  }
}

// QL iterations with implicit shifts on the tridiagonal form, rotating the columns of z.
bool diagonalise(Matrix& z, OneBased d, OneBased e) {
  const int n = z.rows;
  for (int i = 2; i <= n; ++i) e(i - 1) = e(i);
  e(n) = 0.0f;
  float f = 0.0f;
  float b = 0.0f;  // largest negligible off-diagonal size met so far
  for (int l = 1; l <= n; ++l) {
    int iterations = 0;
    float h = kMachineEpsilon * (std::fabs(d(l)) + std::fabs(e(l)));
    b = std::max(b, h);
    int m = l;  // e(n) = 0 ends the search
    while (m < n && std::fabs(e(m)) > b) ++m;
    if (m > l) {
      do {
        if (iterations == kQlIterationLimit) return false;
        ++iterations;
        stop_if_interrupted();  // a sweep rotates whole columns
        // Shift from the leading 2 x 2 block.
        float g = d(l);
        float p = (d(l + 1) - g) / (2.0f * e(l));
        float r = std::sqrt(p * p + 1.0f);
        d(l) = p >= 0.0f ? e(l) / (p + r) : e(l) / (p - r);
        h = g - d(l);
        for (int i = l + 1; i <= n; ++i) d(i) -= h;
        f += h;
        // One QL sweep by plane rotations, from m - 1 up to l.
        p = d(m);
        float c = 1.0f;
        float s = 0.0f;
        for (int i = m - 1; i >= l; --i) {
          g = c * e(i);
          h = c * p;
          if (std::fabs(p) >= std::fabs(e(i))) {
            c = e(i) / p;
            r = std::sqrt(c * c + 1.0f);
            e(i + 1) = s * p * r;
            s = c / r;
            c = 1.0f / r;
          } else {
            c = p / e(i);
            r = std::sqrt(c * c + 1.0f);
            e(i + 1) = s * e(i) * r;
            s = 1.0f / r;
            c = c / r;
          }
          p = c * d(i) - s * g;
          d(i + 1) = h + s * (c * g + s * d(i));
          for (int k = 1; k <= n; ++k) {
            h = z(k, i + 1);
            z(k, i + 1) = s * z(k, i) + c * h;
            z(k, i) = c * z(k, i) - s * h;
          }
        }
        e(l) = s * p;
        d(l) = c * p;
      } while (std::fabs(e(l)) > b);
    }
    d(l) += f;
  }
  return true;
}

// Descending order by selection; of equal values the later one is taken first.
void order_descending(Matrix& z, OneBased d) {
  const int n = z.rows;
  for (int i = 1; i <= n - 1; ++i) {
    int k = i;
    float p = d(i);
    for (int j = i + 1; j <= n; ++j) {
      if (d(j) >= p) {
        k = j;
        p = d(j);
      }
    }
    if (k != i) {
      d(k) = d(i);
      d(i) = p;
      std::swap_ranges(z.column(i).begin(), z.column(i).end(), z.column(k).begin());
    }
  }
}

}  // namespace

Eigenvalues htdql(Matrix& z) {
  const int n = z.rows;
  if (z.cols != n) throw std::invalid_argument("htdql: the matrix is not square.");
  Eigenvalues result;
  result.values.assign(count(n), 0.0f);
  if (n == 0) return result;
  std::vector<float> work(count(n), 0.0f);
  const OneBased dv{result.values}, ev{work};
  tridiagonalise(z, dv, ev);
  result.converged = diagonalise(z, dv, ev);
  if (result.converged) order_descending(z, dv);
  return result;
}

std::vector<int> gmas(Matrix& z, int cols) {
  std::vector<int> sign(static_cast<std::size_t>(cols), 1);
  for (int j = 1; j <= cols; ++j) {
    float positive = 0.0f, negative = 0.0f;
    for (float v : z.column(j)) (v >= 0.0f ? positive : negative) += v * v;
    if (positive < negative) {
      sign[at(j)] = -1;
      for (float& v : z.column(j)) v = -v;
    }
  }
  return sign;
}

namespace {

// The criterion of the Kaiser-normalised loadings: the summed variances of the squared
// loadings of each factor, in double precision.
double varimax_criterion(const Matrix& b, int nf) {
  const double n = b.rows;
  double total = 0.0;
  for (int j = 1; j <= nf; ++j) {
    double fourth = 0.0, second = 0.0;
    for (float x : b.column(j)) {
      const double x2 = static_cast<double>(x) * x;
      second += x2;
      fourth += x2 * x2;
    }
    total += (n * fourth - second * second) / (n * n);
  }
  return total;
}

// Rotates columns j and k of m by the angle with cosine c and sine s.
void rotate_pair(Matrix& m, int j, int k, float c, float s) {
  for (int i = 1; i <= m.rows; ++i) {
    const float x = m(i, j);
    const float y = m(i, k);
    m(i, j) = c * x + s * y;
    m(i, k) = c * y - s * x;
  }
}

// Varimax constants (Kaiser 1959): a quarter of the angle's arctangent, the smallest
// numerator-plus-denominator worth an angle, the smallest angle applied, the relative gain
// of the criterion that counts as none, and the passes allowed.
constexpr float kQuarter = 0.25f;
constexpr float kMinimumTerms = 0.0001f;
constexpr float kMinimumAngle = kQuarter * kMinimumTerms;
constexpr double kNoGain = 0.001;
constexpr int kPassLimit = 30;
constexpr int kSmallGainLimit = 2;

}  // namespace

VarimaxResult varimax(const Matrix& a, int nf) {
  if (nf < 0 || nf > a.cols) throw std::invalid_argument("varimax: bad factor count.");
  const int n = a.rows;
  VarimaxResult out;
  out.rotation = Matrix::identity(nf);
  out.rotated = Matrix(n, nf);
  out.communality_root.assign(static_cast<std::size_t>(n), 0.0f);
  out.variance.assign(static_cast<std::size_t>(nf), 0.0f);
  Matrix& b = out.rotated;
  Matrix& t = out.rotation;

  // Kaiser normalisation: every row to unit length.
  for (int i = 1; i <= n; ++i) {
    float sum = 0.0f;
    for (int j = 1; j <= nf; ++j) sum += a(i, j) * a(i, j);
    const float h = std::sqrt(sum);
    out.communality_root[at(i)] = h;
    const float scale = h > 0.0f ? 1.0f / h : 0.0f;
    for (int j = 1; j <= nf; ++j) b(i, j) = a(i, j) * scale;
  }

  const int pairs = nf * (nf - 1) / 2;
  const float rows = static_cast<float>(n);
  int pass = 1, small_gains = 0, skipped = 0, error = 0;
  double v = 0.0;
  bool done = false;
  while (!done) {
    ++pass;
    const double criterion = varimax_criterion(b, nf);
    if (nf < 2) break;
    if (pass > kPassLimit) {
      error = kVarimaxNoConvergence;
      break;
    }
    // The small-gain count is not reset: the second pass with little gain ends the call.
    if (criterion - v <= kNoGain * v && ++small_gains == kSmallGainLimit) break;
    v = criterion;
    for (int j = 1; j <= nf - 1 && !done; ++j) {
      for (int k = j + 1; k <= nf && !done; ++k) {
        float sa = 0.0f, sb = 0.0f, sc = 0.0f, sd = 0.0f;
        for (int i = 1; i <= n; ++i) {
          const float x = b(i, j), y = b(i, k);
          const float u = (x - y) * (x + y);
          const float w = 2.0f * x * y;
          sa += u;
          sb += w;
          sc += (u - w) * (u + w);
          sd += u * w;
        }
        const float numerator = 2.0f * sd - 2.0f * sa * sb / rows;
        const float denominator = sc - (sa - sb) * (sa + sb) / rows;
        const float phi = kQuarter * std::atan2(numerator, denominator);
        if (std::fabs(numerator) + std::fabs(denominator) > kMinimumTerms &&
            std::fabs(phi) >= kMinimumAngle) {
          const float c = std::cos(phi), s = std::sin(phi);
          rotate_pair(b, j, k, c, s);
          rotate_pair(t, j, k, c, s);
          skipped = 0;
        } else if (++skipped == pairs) {
          done = true;  // a full round of pairs without a rotation
        }
      }
    }
  }
  out.passes = pass - 1;

  // Undo the normalisation; each factor's share of the total variance.
  for (int i = 1; i <= n; ++i) {
    const float h = out.communality_root[at(i)];
    for (int j = 1; j <= nf; ++j) b(i, j) *= h;
  }
  for (int j = 1; j <= nf; ++j) {
    double sum = 0.0;
    for (float x : b.column(j)) sum += static_cast<double>(x) * x;
    out.variance[at(j)] = static_cast<float>(sum / n);
  }
  if (error != 0) {
    throw Stop("\n" + Layout("(' >> sbr varimax: error',i6)").write(error), kFailureStatus);
  }
  return out;
}

namespace {
// Replaces a zero pivot so that the decomposition can go on (Numerical Recipes' TINY).
constexpr double kTinyPivot = 1.0e-20;
}  // namespace

LuPivots ludcmp(MatrixD& a) {
  const int n = a.rows;
  LuPivots lu;
  lu.indx.assign(count(n), 0);
  std::vector<double> vv(count(n));
  // Implicit scaling: the reciprocal of each row's largest magnitude.
  for (int i = 1; i <= n; ++i) {
    double big = 0.0;
    for (int j = 1; j <= n; ++j) big = std::max(big, std::fabs(a(i, j)));
    if (big == 0.0) {
      lu.status = kCroutSingular;
      return lu;
    }
    vv[at(i)] = 1.0 / big;
  }
  for (int j = 1; j <= n; ++j) {
    for (int i = 1; i <= j - 1; ++i) {
      double sum = a(i, j);
      for (int k = 1; k <= i - 1; ++k) sum -= a(i, k) * a(k, j);
      a(i, j) = sum;
    }
    // The pivot: the largest scaled candidate, ties to the later row.
    double big = 0.0;
    int imax = j;
    for (int i = j; i <= n; ++i) {
      double sum = a(i, j);
      for (int k = 1; k <= j - 1; ++k) sum -= a(i, k) * a(k, j);
      a(i, j) = sum;
      const double merit = vv[at(i)] * std::fabs(sum);
      if (merit >= big) {
        big = merit;
        imax = i;
      }
    }
    if (imax != j) {
      for (int k = 1; k <= n; ++k) std::swap(a(imax, k), a(j, k));
      lu.sign = -lu.sign;
      vv[at(imax)] = vv[at(j)];
    }
    lu.indx[at(j)] = imax;
    if (j != n) {
      if (a(j, j) == 0.0) a(j, j) = kTinyPivot;
      const double pivot = a(j, j);
      for (int i = j + 1; i <= n; ++i) a(i, j) /= pivot;
    }
  }
  if (n > 0 && a(n, n) == 0.0) a(n, n) = kTinyPivot;
  return lu;
}

void lubksb(const MatrixD& lu, std::span<const int> indx, std::span<double> b) {
  const int n = lu.rows;
  auto B = [&](int i) -> double& { return b[at(i)]; };
  // Forward substitution, unscrambling the permutation; leading zeros of b are skipped.
  int first = 0;
  for (int i = 1; i <= n; ++i) {
    const int ip = indx[at(i)];
    double sum = B(ip);
    B(ip) = B(i);
    if (first != 0) {
      for (int k = first; k <= i - 1; ++k) sum -= lu(i, k) * B(k);
    } else if (sum != 0.0) {
      first = i;
    }
    B(i) = sum;
  }
  for (int i = n; i >= 1; --i) {
    double sum = B(i);
    for (int k = i + 1; k <= n; ++k) sum -= lu(i, k) * B(k);
    B(i) = sum / lu(i, i);
  }
}

CroutResult crout(Matrix& a, Console& con) {
  const int n = a.rows;
  if (a.cols != n) throw std::invalid_argument("crout: the matrix is not square.");
  CroutResult result;
  if (n > kCroutLimit) {
    con.pause("*** matrix dimension too large for crout ***");
    result.status = kCroutTooLarge;
    return result;
  }
  MatrixD lu(n, n);
  for (std::size_t k = 0; k < a.cells.size(); ++k) lu.cells[k] = a.cells[k];
  const LuPivots pivots = ludcmp(lu);
  if (pivots.status == kCroutSingular) {
    con.pause("*** singular matrix in crout ***");
    result.status = kCroutSingular;
    return result;
  }
  double det = pivots.sign;
  for (int j = 1; j <= n; ++j) det *= lu(j, j);

  // Each column of the identity becomes the same column of the inverse.
  std::vector<double> column(static_cast<std::size_t>(n));
  for (int j = 1; j <= n; ++j) {
    std::fill(column.begin(), column.end(), 0.0);
    column[at(j)] = 1.0;
    lubksb(lu, pivots.indx, column);
    for (int i = 1; i <= n; ++i) a(i, j) = static_cast<float>(column[at(i)]);
  }
  result.determinant = static_cast<float>(det);
  return result;
}

}  // namespace dendro
