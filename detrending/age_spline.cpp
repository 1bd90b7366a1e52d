#include "detrending/age_spline.h"

#include <cmath>
#include <cstddef>
#include <vector>

#include "series/band.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/spline.h"
#include "series/store.h"

namespace dendro {
namespace {

constexpr double kTwoPi = 2.0 * 3.1415926535897936;

bool failed(float first) { return first == kSplineTooFew || first == kSplineNotPositive; }

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
    con.say(Layout("(/1x,'*** series too long for spline subroutine ***'/1x,"
                   "' *** enlarge mxy parameter in subroutine ***'/)")
                .write());
    throw Stop("*** series too long for spline subroutine ***", kFailureStatus);
  }

  // The equally weighted spline's band system (Reinsch on unit spacing), with the
  // smoothing parameter of each row's own period; the right side is the second difference
  // of y.
  const int rows = n - 2;
  BandMatrix a(rows, 2);
  std::vector<double> u(static_cast<std::size_t>(rows));
  for (int i = 1; i <= rows; ++i) {
    const double p = spline_parameter(stiff[at(i)], kTwoPi);
    if (i > 2) a.at(i, i - 2) = 1.0;
    if (i > 1) a.at(i, i - 1) = -4.0 + p / 3.0;
    a.at(i, i) = 6.0 + 4.0 / 3.0 * p;
    u[at(i)] = static_cast<double>(y[at(i)]) - 2.0 * y[at(i + 1)] + y[at(i + 2)];
  }
  if (leq1pb(a, u).error != 0) {
    con.say(">> sbr spline: matrix not positive definite");
    yc[0] = kSplineNotPositive;
    return;
  }

  // The curve: the data less the second differences of u (u is 0 outside 1..n-2).
  auto uk = [&](int k) { return (k >= 1 && k <= rows) ? u[at(k)] : 0.0; };
  for (int i = 1; i <= n; ++i) {
    yc[at(i)] = static_cast<float>(y[at(i)] - (uk(i - 2) - 2.0 * uk(i - 1) + uk(i)));
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
