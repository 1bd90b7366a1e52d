#include "detrending/super_smoother.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "series/index.h"

namespace dendro {
namespace {

// Weighted means of x and y and the weighted sums of squares and cross-products about them,
// updated one point at a time.
struct RunningLine {
  double xm = 0, ym = 0, var = 0, cvar = 0, fbw = 0;

  void add(double x, double y, double wt) {
    const double fbo = fbw;
    fbw += wt;
    if (fbw > 0) {
      xm = (fbo * xm + wt * x) / fbw;
      ym = (fbo * ym + wt * y) / fbw;
    }
    const double tmp = fbo > 0 ? fbw * wt * (x - xm) / fbo : 0.0;
    var += tmp * (x - xm);
    cvar += tmp * (y - ym);
  }
  void remove(double x, double y, double wt) {
    const double fbo = fbw;
    fbw -= wt;
    const double tmp = fbw > 0 ? fbo * wt * (x - xm) / fbw : 0.0;
    var -= tmp * (x - xm);
    cvar -= tmp * (y - ym);
    if (fbw > 0) {
      xm = (fbo * xm - wt * x) / fbw;
      ym = (fbo * ym - wt * y) / fbw;
    }
  }
};

// Seven work columns of n values, numbered 1 to 7 as the algorithm names them.
class WorkColumns {
 public:
  explicit WorkColumns(std::size_t n) : n_(n), data_(7 * n) {}
  std::span<float> operator()(int k) { return std::span<float>(data_).subspan(at(k) * n_, n_); }

 private:
  std::size_t n_;
  std::vector<float> data_;
};

}  // namespace

void smooth(std::span<const float> x, std::span<const float> y, std::span<const float> w,
            float span, int iper, float vsmlsq, std::span<float> smo, std::span<float> acvr) {
  const int n = static_cast<int>(y.size());
  if (n < 1) return;
  int ibw = static_cast<int>(0.5f * span * static_cast<float>(n) + 0.5f);
  if (ibw < 2) ibw = 2;
  // A periodic window must not wrap onto itself: a series shorter than one window is
  // smoothed as an ordinary one.
  const bool periodic = std::abs(iper) == 2 && 2 * ibw + 1 <= n;
  // The first window: 2·ibw + 1 points, or the whole of a shorter series.
  const int it = periodic ? 2 * ibw + 1 : std::min(2 * ibw + 1, n);

  RunningLine line;
  for (int i = 1; i <= it; ++i) {
    int j = periodic ? i - ibw - 1 : i;
    double xj = 0;
    if (j < 1) {
      j += n;
      xj = x[at(j)] - 1.0;
    } else {
      xj = x[at(j)];
    }
    line.add(xj, y[at(j)], w[at(j)]);
  }

  for (int j = 1; j <= n; ++j) {
    int out = j - ibw - 1, in = j + ibw;
    // Near the ends the ordinary mode keeps the first and last full windows.
    if (periodic || (out >= 1 && in <= n)) {
      double xto = 0, xti = 0;
      if (out < 1) {
        out += n;
        xto = x[at(out)] - 1.0;
        xti = x[at(in)];
      } else if (in > n) {
        in -= n;
        xti = x[at(in)] + 1.0;
        xto = x[at(out)];
      } else {
        xto = x[at(out)];
        xti = x[at(in)];
      }
      line.remove(xto, y[at(out)], w[at(out)]);
      line.add(xti, y[at(in)], w[at(in)]);
    }
    const double a = line.var > vsmlsq ? line.cvar / line.var : 0.0;
    smo[at(j)] = static_cast<float>(a * (x[at(j)] - line.xm) + line.ym);
    if (iper > 0) {
      // Cross-validated residual: the residual inflated by the point's leverage.
      double h = line.fbw > 0 ? 1.0 / line.fbw : 0.0;
      if (line.var > vsmlsq) h += (x[at(j)] - line.xm) * (x[at(j)] - line.xm) / line.var;
      const double d = 1.0 - w[at(j)] * h;
      if (d > 0) {
        acvr[at(j)] = static_cast<float>(std::fabs(y[at(j)] - smo[at(j)]) / d);
      } else {
        acvr[at(j)] = j > 1 ? acvr[at(j - 1)] : 0.0f;
      }
    }
  }

  // Points with equal abscissae share the weighted mean of their smooth values.
  for (int j = 1; j <= n; ++j) {
    const int j0 = j;
    double sy = smo[at(j)] * w[at(j)], fbw = w[at(j)];
    while (j < n && x[at(j + 1)] <= x[at(j)]) {
      ++j;
      sy += w[at(j)] * smo[at(j)];
      fbw += w[at(j)];
    }
    if (j > j0) {
      const float a = fbw > 0 ? static_cast<float>(sy / fbw) : 0.0f;
      for (int i = j0; i <= j; ++i) smo[at(i)] = a;
    }
  }
}

void supsmu(std::span<const float> x, std::span<const float> y, std::span<const float> w, int iper,
            float span, float alpha, std::span<float> smo) {
  using C = SmootherConstants;
  using S = SmootherSpans;
  const int n = static_cast<int>(y.size());
  if (n < 1) return;

  // A constant abscissa: the weighted mean everywhere.
  if (x[at(n)] <= x[at(1)]) {
    double sy = 0, sw = 0;
    for (std::size_t j = 0; j < y.size(); ++j) {
      sy += w[j] * y[j];
      sw += w[j];
    }
    const float a = sw > 0 ? static_cast<float>(sy / sw) : 0.0f;
    std::fill(smo.begin(), smo.begin() + n, a);
    return;
  }

  // Scale of the abscissae from the middle half of the points, widened until it is
  // positive (it is at the latest at the full range, which is positive here). The search
  // starts at position 1 at least, so that short series are covered.
  int i = std::max(n / 4, 1);
  int j = std::min(3 * i, n);
  float scale = x[at(j)] - x[at(i)];
  while (scale <= 0) {
    if (j < n) ++j;
    if (i > 1) --i;
    scale = x[at(j)] - x[at(i)];
  }
  const float vsmlsq = (C::eps * scale) * (C::eps * scale);

  int jper = iper;
  if (iper == 2 && (x[at(1)] < 0 || x[at(n)] > 1)) jper = 1;
  if (jper < 1 || jper > 2) jper = 1;

  WorkColumns sc(y.size());
  if (span > 0) {
    smooth(x, y, w, span, jper, vsmlsq, smo, sc(1));
    return;
  }

  // The three smooths and their smoothed cross-validated residuals.
  const float spans[3] = {S::tweeter, S::midrange, S::woofer};
  std::vector<float> unused(y.size());
  for (int k = 1; k <= 3; ++k) {
    smooth(x, y, w, spans[k - 1], jper, vsmlsq, sc(2 * k - 1), sc(7));
    smooth(x, sc(7), w, S::midrange, -jper, vsmlsq, sc(2 * k), unused);
  }

  // Per point, the span with the smallest residual (the smaller span on a tie), pulled
  // towards the woofer by the bass control.
  for (int p = 1; p <= n; ++p) {
    float resmin = C::big;
    for (int k = 1; k <= 3; ++k) {
      if (sc(2 * k)[at(p)] < resmin) {
        resmin = sc(2 * k)[at(p)];
        sc(7)[at(p)] = spans[k - 1];
      }
    }
    const float woofer_residual = sc(6)[at(p)];
    if (alpha > 0 && alpha <= 10 && resmin < woofer_residual && resmin > 0) {
      sc(7)[at(p)] += (S::woofer - sc(7)[at(p)]) *
                      std::pow(std::max(C::sml, resmin / woofer_residual), 10.0f - alpha);
    }
  }
  smooth(x, sc(7), w, S::midrange, -jper, vsmlsq, sc(2), unused);

  // Blend the neighbouring smooths by the smoothed span.
  for (int p = 1; p <= n; ++p) {
    float& s = sc(2)[at(p)];
    if (s <= S::tweeter) s = S::tweeter;
    if (s >= S::woofer) s = S::woofer;
    float f = s - S::midrange;
    if (f >= 0) {
      f /= S::woofer - S::midrange;
      sc(4)[at(p)] = (1.0f - f) * sc(3)[at(p)] + f * sc(5)[at(p)];
    } else {
      f = -f / (S::midrange - S::tweeter);
      sc(4)[at(p)] = (1.0f - f) * sc(3)[at(p)] + f * sc(1)[at(p)];
    }
  }
  smooth(x, sc(4), w, S::tweeter, -jper, vsmlsq, smo, unused);
}

}  // namespace dendro
