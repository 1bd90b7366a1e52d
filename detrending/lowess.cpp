#include "detrending/lowess.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "series/index.h"

namespace dendro {
namespace {

constexpr int kPasses = 3;  // one fit and two robustness iterations

// Bisquare robustness weights from the residuals, scaled by six times their median
// absolute value.
void robustness_weights(std::span<const double> res, std::span<double> rw) {
  const int n = static_cast<int>(res.size());
  std::vector<double> sorted(res.size());
  for (std::size_t i = 0; i < res.size(); ++i) sorted[i] = std::fabs(res[i]);
  std::sort(sorted.begin(), sorted.end());
  const int m1 = n / 2 + 1;
  const int m2 = n - m1 + 1;
  const double cmad = 3.0 * (sorted[at(m1)] + sorted[at(m2)]);
  const double c9 = 0.999 * cmad, c1 = 0.001 * cmad;
  for (std::size_t i = 0; i < res.size(); ++i) {
    const double r = std::fabs(res[i]);
    if (r <= c1) {
      rw[i] = 1.0;
    } else if (r <= c9) {
      const double u = r / cmad;
      rw[i] = (1.0 - u * u) * (1.0 - u * u);
    } else {
      rw[i] = 0.0;
    }
  }
}

}  // namespace

LocalFit lowest(std::span<const double> x, std::span<const float> y, double xs, int nleft,
                int nright, std::span<double> w, bool userw, std::span<const double> rw) {
  const int n = static_cast<int>(x.size());
  const double range = x[at(n)] - x[at(1)];
  const double h = std::max(xs - x[at(nleft)], x[at(nright)] - xs);
  const double h9 = 0.999 * h, h1 = 0.001 * h;

  // Tricube weights over the window, which runs on while the points stay within h.
  double a = 0;
  int j = nleft;
  for (; j <= n; ++j) {
    const double r = std::fabs(x[at(j)] - xs);
    w[at(j)] = 0;
    if (r <= h9) {
      if (r <= h1) {
        w[at(j)] = 1.0;
      } else {
        const double q = 1.0 - (r / h) * (r / h) * (r / h);
        w[at(j)] = q * q * q;
      }
      if (userw) w[at(j)] *= rw[at(j)];
      a += w[at(j)];
    } else if (x[at(j)] > xs) {
      break;
    }
  }
  const int nrt = j - 1;
  if (a <= 0) return {};

  for (int k = nleft; k <= nrt; ++k) w[at(k)] /= a;
  if (h > 0) {
    // A local straight line instead of a local mean, unless the points in the window are
    // too close together to give a slope.
    double xbar = 0;
    for (int k = nleft; k <= nrt; ++k) xbar += w[at(k)] * x[at(k)];
    double b = xs - xbar;
    double c = 0;
    for (int k = nleft; k <= nrt; ++k) c += w[at(k)] * (x[at(k)] - xbar) * (x[at(k)] - xbar);
    if (std::sqrt(c) > 0.001 * range) {
      b /= c;
      for (int k = nleft; k <= nrt; ++k) w[at(k)] *= b * (x[at(k)] - xbar) + 1.0;
    }
  }
  double ys = 0;
  for (int k = nleft; k <= nrt; ++k) ys += w[at(k)] * y[at(k)];
  return {true, ys};
}

void lowess(std::span<const float> y, std::span<float> ys, float f) {
  const int n = static_cast<int>(y.size());
  lowess_window(y, ys, static_cast<int>(f * static_cast<float>(n)));
}

void lowess_window(std::span<const float> y, std::span<float> ys, int ns) {
  const int n = static_cast<int>(y.size());
  if (n < 1) return;
  if (n < 2) {
    ys[0] = y[0];
    return;
  }
  std::vector<double> x(y.size()), w(y.size()), rw(y.size(), 1.0), res(y.size()), fit(y.size());
  for (int i = 1; i <= n; ++i) x[at(i)] = i;
  ns = std::max(std::min(ns, n), 2);

  for (int pass = 1; pass <= kPasses; ++pass) {
    int nleft = 1, nright = ns;
    for (int i = 1; i <= n; ++i) {
      // Move the window right while its far end is closer than its near end.
      while (nright < n && x[at(i)] - x[at(nleft)] > x[at(nright + 1)] - x[at(i)]) {
        ++nleft;
        ++nright;
      }
      const LocalFit local = lowest(x, y, x[at(i)], nleft, nright, w, pass >= 2, rw);
      fit[at(i)] = local.ok ? local.ys : y[at(i)];
    }
    for (std::size_t i = 0; i < y.size(); ++i) res[i] = y[i] - fit[i];
    if (pass < kPasses) robustness_weights(res, rw);
  }
  for (std::size_t i = 0; i < y.size(); ++i) ys[i] = static_cast<float>(fit[i]);
}

}  // namespace dendro
