#include "detrending/age_spline.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "series/console.h"
#include "series/layout.h"
#include "series/stop.h"
#include "series/store.h"

namespace dendro {
namespace {

constexpr double kPi = 3.1415926535897936;

std::size_t at(int i) { return static_cast<std::size_t>(i - 1); }

bool failed(float first) { return first == kSplineTooFew || first == kSplineNotPositive; }

// Smoothing parameter of a 50% cutoff at `period` years.
double smoothing_parameter(int period) {
  const double c = std::cos(2.0 * kPi / period);
  return 6.0 * (c - 1.0) * (c - 1.0) / (c + 2.0);
}

}  // namespace

void lsmake(int start, std::span<int> stiff) {
  for (std::size_t i = 0; i < stiff.size(); ++i) stiff[i] = start + static_cast<int>(i);
}

void spline2(std::span<const float> y, std::span<float> yc, std::span<const int> stiff,
             Console& con) {
  const int n = static_cast<int>(y.size());
  if (n < 4) {
    if (!yc.empty()) yc[0] = kSplineTooFew;
    return;
  }
  if (n > kMaxSplinePoints) {
    const std::string message = Layout(
        "(/1x,'*** series too long for spline subroutine ***'/1x,"
        "' *** enlarge mxy parameter in subroutine ***'/)").write();
    con.say(message);
    throw Stop("*** series too long for spline subroutine ***", kFailureStatus);
  }

  // The band of the (n-2)-square system, row i: second and first sub-diagonal and the
  // diagonal, each row with its own smoothing parameter; the right side is the second
  // difference of y.
  const int rows = n - 2;
  std::vector<double> sub2(static_cast<std::size_t>(rows)), sub1(sub2.size()), diag(sub2.size()),
      rhs(sub2.size());
  for (int i = 1; i <= rows; ++i) {
    const double p = smoothing_parameter(stiff[at(i)]);
    diag[at(i)] = 6.0 + 4.0 / 3.0 * p;
    sub1[at(i)] = i >= 2 ? -4.0 + p / 3.0 : 0.0;
    sub2[at(i)] = i >= 3 ? 1.0 : 0.0;
    rhs[at(i)] = static_cast<double>(y[at(i)]) - 2.0 * y[at(i + 1)] + y[at(i + 2)];
  }

  // Banded Cholesky factorisation L·L', row by row (Martin and Wilkinson's band method).
  // The diagonal of L is kept as reciprocals, so that the later steps multiply. A pivot is
  // refused when it adds nothing to its diagonal element at the scale tol: that catches
  // zero, negative and vanishing pivots alike.
  const double tol = 1.0 / (16.0 * rows);
  std::vector<double> l2(sub2.size()), l1(sub2.size()), rdiag(sub2.size());
  for (int i = 1; i <= rows; ++i) {
    l2[at(i)] = i >= 3 ? sub2[at(i)] * rdiag[at(i - 2)] : 0.0;
    l1[at(i)] = i >= 2 ? (sub1[at(i)] - (i >= 3 ? l2[at(i)] * l1[at(i - 1)] : 0.0)) * rdiag[at(i - 1)]
                       : 0.0;
    const double s = diag[at(i)] - l2[at(i)] * l2[at(i)] - l1[at(i)] * l1[at(i)];
    if (diag[at(i)] + tol * s <= diag[at(i)]) {
      con.say(">> sbr spline: matrix not positive definite");
      yc[0] = kSplineNotPositive;
      return;
    }
    rdiag[at(i)] = 1.0 / std::sqrt(s);
  }

  // Forward substitution L·z = r, then back substitution L'·u = z.
  std::vector<double> u(rhs);
  for (int i = 1; i <= rows; ++i) {
    double v = u[at(i)];
    if (i >= 2) v -= l1[at(i)] * u[at(i - 1)];
    if (i >= 3) v -= l2[at(i)] * u[at(i - 2)];
    u[at(i)] = v * rdiag[at(i)];
  }
  for (int i = rows; i >= 1; --i) {
    double v = u[at(i)];
    if (i + 1 <= rows) v -= l1[at(i + 1)] * u[at(i + 1)];
    if (i + 2 <= rows) v -= l2[at(i + 2)] * u[at(i + 2)];
    u[at(i)] = v * rdiag[at(i)];
  }

  // The curve: the data less the second differences of u (u is 0 outside 1..n-2).
  auto uk = [&](int k) { return (k >= 1 && k <= rows) ? u[at(k)] : 0.0; };
  for (int i = 1; i <= n; ++i) {
    const double q = uk(i - 2) - 2.0 * uk(i - 1) + uk(i);
    yc[at(i)] = static_cast<float>(y[at(i)] - q);
  }
}

void agedep(std::span<const float> y, std::span<float> yc, Console& con) {
  constexpr int kShortSeries = 100;
  const int n = static_cast<int>(y.size());
  std::vector<int> stiff(y.size());
  lsmake(n < kShortSeries ? 20 : 50, stiff);
  spline2(y, yc, stiff, con);
  if (n < 1 || failed(yc[0])) return;

  // Rising-tail rule: walk back from the end while the curve strictly rises; the point
  // where the walk stops is the lowest point before the rise.
  std::vector<float> w(yc.begin(), yc.begin() + n);
  int low = n;
  while (low > 1 && w[at(low)] > w[at(low - 1)]) --low;
  // No rise at the end: the first fit stands. A curve that rises over its whole length
  // has no lowest point inside the series and no tail apart from its body: it stands too.
  if (low == n || low == 1) return;
  for (int i = low + 1; i <= n; ++i) w[at(i)] = w[at(low)];
  spline2(w, yc, stiff, con);
}

}  // namespace dendro
