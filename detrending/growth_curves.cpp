#include "detrending/growth_curves.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "series/console.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"

namespace dendro {
namespace {

// One trial rate of the exponential search: the least-squares a and d for that rate and
// the error sum they leave.
struct Trial {
  bool ok = false;
  double b = 0, a = 0, d = 0, sse = 0;
};

// Largest t·|b| whose exponential stays well inside single precision.
constexpr double kMaxExponent = 112.8;
// Regression sums outside these bounds make the two-parameter solve meaningless.
constexpr double kSumHigh = 1.0e15, kSumLow = 1.0e-15;

Trial exponential_trial(std::span<const float> y, double b, std::vector<double>& x) {
  Trial trial;
  trial.b = b;
  const std::size_t n = y.size();
  if (static_cast<double>(n) * std::fabs(b) > kMaxExponent) return trial;
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < n; ++i) {
    x[i] = std::exp(-b * static_cast<double>(i + 1));
    sx += x[i];
    sy += y[i];
    sxx += x[i] * x[i];
    sxy += x[i] * y[i];
  }
  if (sx > kSumHigh || sxx > kSumHigh || sx < kSumLow || sxx < kSumLow) return trial;
  const double dn = static_cast<double>(n);
  trial.d = (sxx * sy - sx * sxy) / (dn * sxx - sx * sx);
  trial.a = (sy - dn * trial.d) / sx;
  for (std::size_t i = 0; i < n; ++i) {
    const double e = y[i] - trial.d - trial.a * x[i];
    trial.sse += e * e;
  }
  trial.ok = true;
  return trial;
}

void fail_exponential(std::span<float> yc, Coefficients& coef) {
  coef.b = kFitFailed;
  if (!yc.empty()) yc[0] = kFitFailed;
}

double mean_of(std::span<const float> v) {
  double s = 0;
  for (float x : v) s += x;
  return s / static_cast<double>(v.size());
}

}  // namespace

Coefficients curve(int m, std::span<const float> y, std::span<float> yc, Console& con) {
  Coefficients coef;
  constexpr int kMinValues = 20;
  constexpr int kMaxIterations = 34;
  constexpr double kConverged = 5.0e-7;
  const int n = static_cast<int>(y.size());
  if (n < kMinValues) {
    con.say(Layout("('>> sbr curve:  only',i3,' values, no exponential curve fit')").write(n));
    fail_exponential(yc, coef);
    return coef;
  }

  // Start from the decline between the means of the first and the last ten values. Means
  // that are not positive (possible after a transformation) give no logarithm: the search
  // then starts as for a series that does not decline.
  const double y1 = mean_of(y.first(10));
  const double y2 = mean_of(y.last(10));
  double b = (y1 > 0 && y2 > 0) ? (std::log(y1) - std::log(y2)) / (n - 10) : 0.0;
  if (b <= 0) b = 1.0e-8;
  double delta = 0.0005;
  bool bracketed = false;

  std::vector<double> x(static_cast<std::size_t>(n));
  Trial centre;
  int iteration = 1;
  bool converged = false;
  for (; iteration <= kMaxIterations; ++iteration) {
    // The centre is always the best trial so far, so only its first error sum is computed.
    const Trial lower = exponential_trial(y, b - delta, x);
    if (iteration == 1) centre = exponential_trial(y, b, x);
    const Trial upper = exponential_trial(y, b + delta, x);
    if (!lower.ok || !centre.ok || !upper.ok) {
      fail_exponential(yc, coef);
      return coef;
    }
    // Move the centre: the lower trial first, so that on a tie the lower rate wins.
    bool moved = false;
    if (lower.sse < centre.sse) {
      centre = lower;
      moved = true;
    }
    if (upper.sse < centre.sse) {
      centre = upper;
      moved = true;
    }
    b = centre.b;
    // Step control: widen the step until the minimum is bracketed, then halve it.
    if (!moved) bracketed = true;
    if (!moved || bracketed) {
      delta *= 0.5;
      if (delta <= kConverged) {
        converged = true;
        break;
      }
    } else {
      delta *= 2.0;
    }
  }
  if (!converged) {
    con.say(">> sbr curve: over 34 iterations");
    fail_exponential(yc, coef);
    return coef;
  }

  // a and d are those of the final rate itself (its own least-squares solve), so that the
  // three coefficients describe one curve.
  double a = centre.a, d = centre.d;
  if (d > 9999 || a <= 0 || b < 0) b = 0;
  double sy = 0;
  for (float v : y) sy += v;
  coef.a = static_cast<float>(a);
  coef.b = static_cast<float>(b);
  coef.d = static_cast<float>(d);
  coef.p = static_cast<float>(iteration);
  coef.plot = static_cast<float>(sy);
  for (int t = 1; t <= m; ++t) {
    yc[at(t)] = static_cast<float>(a * std::exp(-b * t) + d);
  }
  return coef;
}

Line trend(int m, std::span<const float> y, std::span<float> yc) {
  const double n = static_cast<double>(y.size());
  double sx = 0, sy = 0, sxx = 0, sxy = 0;
  for (std::size_t i = 0; i < y.size(); ++i) {
    const double t = static_cast<double>(i + 1);
    sx += t;
    sy += y[i];
    sxx += t * t;
    sxy += t * y[i];
  }
  const double slope = (sxy - sy * sx / n) / (sxx - sx * sx / n);
  const double intercept = sy / n - slope * sx / n;
  for (int t = 1; t <= m; ++t) {
    yc[at(t)] = static_cast<float>(slope * t + intercept);
  }
  return {static_cast<float>(slope), static_cast<float>(intercept)};
}

float xmean(std::span<const float> y, Console& con) {
  if (y.empty()) pause_and_stop(con, Layout("(/1x,'error in xmean: n=0')").write());
  float sum = 0;
  for (float v : y) sum += v;
  return sum / static_cast<float>(y.size());
}

Coefficients hughdi(std::span<const float> t, std::span<const float> y, int m, std::span<float> yc,
                    float missing) {
  const std::size_t n = y.size();
  auto usable = [&](std::size_t i) { return y[i] != missing && y[i] > 0 && t[i] > 0; };

  // Step 1: normal equations of ln y = b0 + b1·ln t + b2·t.
  double s[3][3] = {}, r[3] = {};
  for (std::size_t i = 0; i < n; ++i) {
    if (!usable(i)) continue;
    const double row[3] = {1.0, std::log(static_cast<double>(t[i])), static_cast<double>(t[i])};
    const double z = std::log(static_cast<double>(y[i]));
    for (int j = 0; j < 3; ++j) {
      r[j] += row[j] * z;
      for (int k = 0; k < 3; ++k) s[j][k] += row[j] * row[k];
    }
  }
  // Solved by determinants (Cramer's rule). Fewer than three distinct points make the
  // system singular: the start is then the flat line at the level of the data (a = 1,
  // b = c = 0 before the rescaling below).
  auto det3 = [](const double q[3][3]) {
    return q[0][0] * (q[1][1] * q[2][2] - q[1][2] * q[2][1]) -
           q[0][1] * (q[1][0] * q[2][2] - q[1][2] * q[2][0]) +
           q[0][2] * (q[1][0] * q[2][1] - q[1][1] * q[2][0]);
  };
  const double det = det3(s);
  double beta[3] = {0, 0, 0};
  if (det != 0 && std::isfinite(det)) {
    for (int j = 0; j < 3; ++j) {
      double q[3][3];
      for (int a = 0; a < 3; ++a) {
        for (int b = 0; b < 3; ++b) q[a][b] = (b == j) ? r[a] : s[a][b];
      }
      beta[j] = det3(q) / det;
    }
  }

  // Steps 2 and 3: the curve a·t^b·exp(c·t).
  const double a = std::exp(beta[0]);
  auto abscissa = [&](int i) {
    return static_cast<std::size_t>(i) < t.size()
               ? static_cast<double>(t[static_cast<std::size_t>(i)])
               : static_cast<double>(i + 1);
  };
  for (int i = 0; i < m; ++i) {
    const double ti = abscissa(i);
    yc[static_cast<std::size_t>(i)] =
        static_cast<float>(a * std::pow(ti, beta[1]) * std::exp(beta[2] * ti));
  }
  Coefficients coef;
  coef.a = static_cast<float>(a);
  coef.b = static_cast<float>(beta[1]);
  coef.c = static_cast<float>(beta[2]);

  // Step 4: rescale to the level of the data over the same points as the regression. Each
  // difference is taken in double like the sums: rounded to single, it can move the scale
  // by a unit in its last place, and the simplex that starts from it may then end elsewhere.
  double sum_residual = 0, sum_curve = 0;
  const std::size_t last = std::min(n, count(m));
  for (std::size_t i = 0; i < last; ++i) {
    if (!usable(i)) continue;
    sum_residual += static_cast<double>(y[i]) - yc[i];
    sum_curve += yc[i];
  }
  const double ratio = sum_curve != 0 ? sum_residual / sum_curve + 1.0 : 0.0;
  if (ratio != 0) {
    coef.a = static_cast<float>(coef.a * ratio);
    for (int i = 0; i < m; ++i) {
      yc[static_cast<std::size_t>(i)] = static_cast<float>(yc[static_cast<std::size_t>(i)] * ratio);
    }
  }
  return coef;
}

Coefficients gexp(std::span<const float> y, int m, std::span<float> yc, float missing,
                  Console& con) {
  if (y.empty()) pause_and_stop(con, Layout("(/1x,'*** n .le. 0 in sbr gexp ***'/)").write());
  std::vector<double> t, z;
  for (std::size_t i = 0; i < y.size(); ++i) {
    if (y[i] > 0 && y[i] != missing) {
      const double ti = static_cast<double>(i + 1);
      t.push_back(ti);
      z.push_back(std::log(static_cast<double>(y[i])) - std::log(ti));
    }
  }
  if (t.empty()) pause_and_stop(con, Layout("(/1x,'*** n1 .le. 0 in sbr gexp ***'/)").write());

  // Least-squares slope of z on t. With one usable point there is no slope to estimate:
  // the start curve then passes through that point with no decay.
  const double count = static_cast<double>(t.size());
  double tbar = 0, zbar = 0;
  for (std::size_t j = 0; j < t.size(); ++j) {
    tbar += t[j];
    zbar += z[j];
  }
  tbar /= count;
  zbar /= count;
  double stz = 0, stt = 0;
  for (std::size_t j = 0; j < t.size(); ++j) {
    stz += (t[j] - tbar) * (z[j] - zbar);
    stt += (t[j] - tbar) * (t[j] - tbar);
  }
  const double beta = stt > 0 ? stz / stt : 0.0;
  const double a = std::exp(zbar - beta * tbar);
  for (int i = 1; i <= m; ++i) {
    yc[at(i)] = static_cast<float>(i * a * std::exp(beta * i));
  }
  Coefficients coef;
  coef.a = static_cast<float>(a);
  coef.b = static_cast<float>(-beta);
  return coef;
}

}  // namespace dendro
