#include "series/spline.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "series/band.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/store.h"

namespace dendro {
namespace {

// The two routines carry their own digits of 2 pi.
constexpr double kTwoPiSpline = 2.0 * 3.1415926535897936;
constexpr double kTwoPiWeighted = 6.2831853076;
constexpr int kSplineFewest = 4;
constexpr int kBandWidth = 2;  // second differences couple each unknown to two neighbours

// Fitted value i = value i - scale_i * (u(i-2) - 2 u(i-1) + u(i)), with u taken as 0
// outside 1..n-2 (Reinsch: the curve is the data less the second differences of u).
double correction(std::span<const double> u, int i) {
  const int m = static_cast<int>(u.size());
  auto uv = [&](int k) { return (k >= 1 && k <= m) ? u[at(k)] : 0.0; };
  return uv(i - 2) - 2.0 * uv(i - 1) + uv(i);
}

double second_difference(std::span<const float> y, int i) {
  auto yv = [&](int k) { return static_cast<double>(y[at(k)]); };
  return yv(i) - 2.0 * yv(i + 1) + yv(i + 2);
}

}  // namespace

double spline_parameter(int w, double two_pi) {
  const double theta = two_pi / std::max(w, kSplineShortestWavelength);
  const double c = std::cos(theta);
  return 6.0 * (c - 1.0) * (c - 1.0) / (c + 2.0);
}

SplineResult spline(std::span<const float> x, std::span<float> fitted, int w, Console* console) {
  const int n = static_cast<int>(x.size());
  if (fitted.size() < x.size()) throw std::invalid_argument("spline: the output is too short.");
  SplineResult r;
  const double p = spline_parameter(w, kTwoPiSpline);
  r.p = static_cast<float>(p);
  if (n < kSplineFewest) {
    if (!fitted.empty()) fitted[0] = kSplineTooFew;
    r.status = SplineStatus::too_few;
    return r;
  }
  if (n > kMaxYears) {
    throw Stop(
        "*** series too long for spline subroutine ***\n"
        " *** enlarge mxy parameter in subroutine ***",
        kFailureStatus);
  }

  // Q'Q + p R for the n - 2 second differences, with their right side.
  const int rows = n - 2;
  BandMatrix a(rows, kBandWidth);
  std::vector<double> u(static_cast<std::size_t>(rows));
  for (int i = 1; i <= rows; ++i) {
    if (i > 2) a.at(i, i - 2) = 1.0;
    if (i > 1) a.at(i, i - 1) = -4.0 + p / 3.0;
    a.at(i, i) = 6.0 + 4.0 * p / 3.0;
    u[at(i)] = second_difference(x, i);
  }
  if (leq1pb(a, u).error != 0) {
    if (console) console->say(">> sbr spline: matrix not positive definite");
    fitted[0] = kSplineNotPositive;
    r.status = SplineStatus::not_positive_definite;
    return r;
  }
  for (int i = 1; i <= n; ++i) {
    const auto k = at(i);
    fitted[k] = static_cast<float>(x[k] - correction(u, i));
  }
  return r;
}

SplineResult spl2w(std::span<const float> y, std::span<float> delta, std::span<float> fitted, int w,
                   Console* console) {
  const int n = static_cast<int>(y.size());
  if (delta.size() < y.size() || fitted.size() < y.size()) {
    throw std::invalid_argument("spl2w: the errors or the output are shorter than the values.");
  }
  SplineResult r;
  const double p = spline_parameter(w, kTwoPiWeighted);
  r.p = static_cast<float>(p);
  for (int i = 0; i < n; ++i)
    delta[static_cast<std::size_t>(i)] *= delta[static_cast<std::size_t>(i)];
  if (n < 3) {  // no second differences: the data are their own (straight) curve
    std::copy(y.begin(), y.end(), fitted.begin());
    return r;
  }

  // Q'D^2 Q + p R with D the standard errors.
  auto d2 = [&](int k) { return static_cast<double>(delta[at(k)]); };
  const int rows = n - 2;
  BandMatrix a(rows, kBandWidth);
  std::vector<double> u(static_cast<std::size_t>(rows));
  for (int i = 1; i <= rows; ++i) {
    if (i > 2) a.at(i, i - 2) = d2(i);
    if (i > 1) a.at(i, i - 1) = -2.0 * (d2(i) + d2(i + 1)) + p / 3.0;
    a.at(i, i) = d2(i) + 4.0 * d2(i + 1) + d2(i + 2) + 4.0 * p / 3.0;
    u[at(i)] = second_difference(y, i);
  }
  const BandFactor f = leq1pb(a, u);
  if (f.error != 0) {
    if (console) {
      console->pause(Layout("(a,i5,a)").write("in spl2w ier from leq1pb =", f.error, "."));
    }
    r.status = SplineStatus::not_positive_definite;
    return r;
  }
  for (int i = 1; i <= n; ++i) {
    const auto k = at(i);
    fitted[k] = static_cast<float>(y[k] - d2(i) * correction(u, i));
  }
  return r;
}

}  // namespace dendro
