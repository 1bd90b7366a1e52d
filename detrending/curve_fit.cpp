#include "detrending/curve_fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <vector>

#include "detrending/age_spline.h"
#include "detrending/growth_curves.h"
#include "detrending/lowess.h"
#include "detrending/running_median.h"
#include "detrending/simplex.h"
#include "detrending/super_smoother.h"
#include "series/descriptive.h"
#include "series/spline.h"

namespace dendro {
namespace {

constexpr float kMissingMarker = 0.0f;  // the start-value routines skip values equal to 0
constexpr int kFixedSpanBelow = 40;     // shorter series get the super smoother's fixed span
constexpr float kShortSeriesSpan = 0.3f;

std::size_t count(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

void fill_positions(std::span<float> w, int n) {
  for (int i = 1; i <= n; ++i) w[static_cast<std::size_t>(i - 1)] = static_cast<float>(i);
}

// The straight line of options 4 and 5, and of the fall-backs.
void fit_line(CurveFit& fit, std::span<const float> y, int m, std::span<float> c) {
  fit.coef = {};
  const Line line = trend(m, y, c);
  fit.coef.c = line.slope;
  fit.coef.d = line.intercept;
}

// The horizontal line through the mean of y.
void fit_mean(CurveFit& fit, std::span<const float> y, int m, std::span<float> c, Console& con) {
  fit.coef.d = xmean(y, con);
  std::fill(c.begin(), c.begin() + m, fit.coef.d);
}

// A fit that produced no curve: the series itself, marked in its first value.
void no_curve(std::span<const float> y, std::span<float> c) {
  std::copy(y.begin(), y.end(), c.begin());
  if (!c.empty()) c[0] = kNoCurve;
}

// Options 1 and 2: the negative exponential with b > 0 and d >= 0, else a line.
void negative_exponential(CurveFit& fit, std::span<const float> y, int m, std::span<float> c,
                          Console& con) {
  curve(m, y, c, fit.coef, con);
  if (fit.coef.b > 0 && fit.coef.d >= 0) return;
  fit_line(fit, y, m, c);
  if (fit.option == 1) {
    fit.option = 4;
  } else if (fit.coef.c <= 0) {
    fit.option = 5;
  } else {
    // A rising line is no decline: the horizontal mean, recorded as option 5.
    fit.coef = {};
    fit_mean(fit, y, m, c, con);
    fit.option = 5;
  }
}

// Options 3, 7 and 8: the simplex fit of the general curve family at t = 1..n.
void simplex_fit(CurveFit& fit, std::span<const float> y, int m, std::span<float> c,
                 std::span<float> w1, std::span<float> w2, Console& con) {
  const int n = static_cast<int>(y.size());
  const std::span<const float> t = w1.first(count(n));
  switch (fit.option) {
    case 3: {
      fill_positions(w1, n);
      const SimplexFit s = gamoeba({0, 0, 0, 0, 0}, 1, kSimplexMaxValues, m, t, y, c, con);
      fit.coef = {s.best[0], std::fabs(s.best[1]), 0, 0, s.best[2], 0, 0};
      if (s.best[1] >= 0) {
        // No decline: the line of any slope.
        fit.option = 4;
        fit_line(fit, y, m, c);
      }
      return;
    }
    case 7: {
      fill_positions(w1, n);
      hughdi(t, y, m, c, fit.coef, kMissingMarker);
      std::copy(c.begin(), c.begin() + n, w2.begin());
      fill_positions(w1, n);
      const SimplexFit s = gamoeba({fit.coef.a, fit.coef.b, fit.coef.c, 0, 0}, 3, kSimplexMaxValues,
                                   m, t, y, c, con);
      fit.coef = {s.best[0], s.best[1], std::fabs(s.best[2]), 0, s.best[4], s.best[3], 7.0f};
      return;
    }
    default: {  // 8
      gexp(y, m, c, fit.coef, kMissingMarker, con);
      std::copy(c.begin(), c.begin() + n, w2.begin());
      fill_positions(w1, n);
      // The start rate is gexp's decay rate as it stands (positive for a decline), though
      // the simplex's rate is negative for a decline: the simplex finds the sign.
      const SimplexFit s =
          gamoeba({fit.coef.a, fit.coef.b, 0, 0, 0}, 2, kSimplexMaxValues, m, t, y, c, con);
      fit.coef = {s.best[0], 1.0f, std::fabs(s.best[1]), 0, s.best[3], s.best[2], 8.0f};
      return;
    }
  }
}

// Option -1: first differences rescaled to the mean and spread of the series' ratio
// indices about a spline of a third of its length.
void first_differences(CurveFit& fit, std::span<float> y, std::span<float> c, std::span<float> w1,
                       std::span<float> w2, Console& con) {
  const int k = fit.n - 1;
  if (k < 1) {
    y[0] = kMissing;
    fit.n = 0;
    return;
  }
  for (std::size_t j = 0; j < count(k); ++j) {
    w1[j] = y[j + 1];
    w2[j] = y[j + 1] - y[j];
  }
  y[0] = kMissing;
  for (std::size_t j = 0; j < count(k); ++j) y[j + 1] = w2[j];
  fit.n = k;

  const std::span<float> series = w1.first(count(k));
  const SplineResult s = spline(series, c, k / 3, &con);
  if (s.status == SplineStatus::ok) {
    for (std::size_t j = 0; j < series.size(); ++j) series[j] /= c[j];
  } else {
    // Too short for the spline: ratios about the series' mean stand in for the ratio
    // indices, and the curve is that mean.
    const float mean = xmean(series, con);
    for (std::size_t j = 0; j < series.size(); ++j) {
      c[j] = mean;
      series[j] /= mean;
    }
  }
  const std::span<float> differences = y.subspan(1, count(k));
  const Moments d = moment(differences);
  const Moments r = moment(series);
  const bool spread = d.std_dev > 0 && r.std_dev > 0;
  for (float& v : differences) v = spread ? (v - d.mean) / d.std_dev * r.std_dev + r.mean : r.mean;
}

// Whether c holds no usable curve: a marker in its first value, or a value that is not a
// number.
bool made_no_curve(std::span<const float> c) {
  if (!c.empty() && no_curve_marker(c[0])) return true;
  return std::any_of(c.begin(), c.end(), [](float v) { return !std::isfinite(v); });
}

// A series too short for its option's curve: the horizontal mean line stands in.
void short_series_fallback(CurveFit& fit, std::span<const float> y, int m, std::span<float> c,
                           Console& con) {
  if (fit.n >= kFewestSplineValues || fit.n < 1 || !changes_fit_to(fit.option)) return;
  if (!made_no_curve(c.first(count(fit.n)))) return;
  fit.coef = {};
  fit_mean(fit, y, std::max(m, fit.n), c, con);
  fit.option = 6;
  fit.too_short = true;
}

}  // namespace

CurveFit detrend1(std::span<float> y, int n, int m, std::span<float> c, std::span<float> w1,
                  std::span<float> w2, int option, int parameter, int limit, Console& con) {
  CurveFit fit;
  fit.option = option;
  fit.n = n;
  fit.parameter = parameter;
  const std::span<float> series = y.first(count(n));
  const std::span<float> curve_n = c.first(count(n));

  if (spline_code(option)) {
    std::fill(w1.begin(), w1.begin() + n, 1.0f);
    const int stiffness = option > 9 ? option
                                     : static_cast<int>(std::fabs(static_cast<float>(option) /
                                                                  100.0f * static_cast<float>(n)));
    spline(series, curve_n, stiffness, &con);
    short_series_fallback(fit, series, m, c, con);
    return fit;
  }
  switch (option) {
    case -6:
      agedep(series, curve_n, con);
      break;
    case -5: {
      fill_positions(w1, n);
      std::copy(series.begin(), series.end(), w2.begin());
      const std::vector<float> weights(count(n), 1.0f);
      const float span = n < kFixedSpanBelow ? kShortSeriesSpan : 0.0f;
      supsmu(w1.first(count(n)), w2.first(count(n)), weights, 1, span,
             static_cast<float>(parameter), curve_n);
      break;
    }
    case -4: {
      // The window is a width in values, as the driver's window rule and the dialogue
      // give it (not a percentage of the length).
      std::copy(series.begin(), series.end(), w1.begin());
      lowess_window(w1.first(count(n)), curve_n, parameter);
      break;
    }
    case -3: {
      std::copy(series.begin(), series.end(), w1.begin());
      int window = parameter;
      const MedianSmooth r = msmoor(w1.first(count(n)), curve_n, window, limit, con);
      fit.parameter = window;
      // The pass limit leaves a usable curve; an input error leaves none.
      if (r.ier != 0 && r.ier != kMedianIterations) no_curve(series, curve_n);
      break;
    }
    case -1:
      first_differences(fit, y.first(count(n)), c, w1, w2, con);
      break;
    case 1:
    case 2:
      negative_exponential(fit, series, m, c, con);
      break;
    case 3:
    case 7:
    case 8:
      simplex_fit(fit, series, m, c, w1, w2, con);
      break;
    case 4:
      fit_line(fit, series, m, c);
      break;
    case 5:
      fit_line(fit, series, m, c);
      if (fit.coef.c > 0) {
        fit.coef.c = 0;
        fit.option = 6;
        fit_mean(fit, series, m, c, con);
      }
      break;
    case 6:
      fit_mean(fit, series, m, c, con);
      break;
    default:
      // 0, 9, -2 and -7 to -9 are not curve fits.
      no_curve(series, curve_n);
      break;
  }
  short_series_fallback(fit, series, m, c, con);
  return fit;
}

}  // namespace dendro
