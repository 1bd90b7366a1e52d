#include "detrending/curve_fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <stdexcept>
#include <vector>

#include "detrending/age_spline.h"
#include "detrending/growth_curves.h"
#include "detrending/lowess.h"
#include "detrending/running_median.h"
#include "detrending/simplex.h"
#include "detrending/super_smoother.h"
#include "series/blocks.h"
#include "series/descriptive.h"
#include "series/index.h"
#include "series/spline.h"

namespace dendro {
namespace {

constexpr float kMissingMarker = 0.0f;  // the start-value routines skip values equal to 0
constexpr int kFixedSpanBelow = 40;     // shorter series get the super smoother's fixed span
constexpr float kShortSeriesSpan = 0.3f;

// The positions 1..n as abscissae.
std::vector<float> positions(int n) {
  std::vector<float> t(count(n));
  for (int i = 1; i <= n; ++i) t[at(i)] = static_cast<float>(i);
  return t;
}

// The straight line of options 4 and 5, and of the fall-backs.
void fit_line(CurveFit& fit, std::span<const float> y, std::span<float> c) {
  fit.coef = {};
  const Line line = trend(static_cast<int>(c.size()), y, c);
  fit.coef.c = line.slope;
  fit.coef.d = line.intercept;
}

// The horizontal line through the mean of y.
void fit_mean(CurveFit& fit, std::span<const float> y, std::span<float> c, Console& con) {
  fit.coef.d = xmean(y, con);
  std::fill(c.begin(), c.end(), fit.coef.d);
}

// A fit that produced no curve: the series itself, marked in its first value.
void no_curve(std::span<const float> y, std::span<float> c) {
  std::copy(y.begin(), y.end(), c.begin());
  if (!c.empty()) c[0] = kNoCurve;
}

// Options 1 and 2: the negative exponential with b > 0 and d >= 0, else a line.
void negative_exponential(CurveFit& fit, std::span<const float> y, std::span<float> c,
                          Console& con) {
  fit.coef = curve(static_cast<int>(c.size()), y, c, con);
  if (fit.coef.b > 0 && fit.coef.d >= 0) return;
  fit_line(fit, y, c);
  if (fit.option == fit::neg_exponential) {
    fit.option = fit::line;
  } else if (fit.coef.c <= 0) {
    fit.option = fit::falling_line;
  } else {
    // A rising line is no decline: the horizontal mean, reported as a falling line.
    fit.coef = {};
    fit_mean(fit, y, c, con);
    fit.option = fit::falling_line;
    fit.mean_as_falling_line = true;
  }
}

// Options 3, 7 and 8: the simplex fit of the general curve family at t = 1..n.
void simplex_fit(CurveFit& fit, std::span<const float> y, std::span<float> c, Console& con) {
  const int n = static_cast<int>(y.size());
  const int m = static_cast<int>(c.size());
  const std::vector<float> t = positions(n);
  switch (fit.option) {
    case fit::general_neg_exponential: {
      const SimplexFit s = gamoeba({0, 0, 0, 0, 0}, 1, kSimplexMaxValues, m, t, y, c, con);
      fit.coef = {s.best[0], std::fabs(s.best[1]), 0, 0, s.best[2], 0, 0};
      if (s.best[1] >= 0) {
        // No decline: the line of any slope.
        fit.option = fit::line;
        fit_line(fit, y, c);
      }
      return;
    }
    case fit::hugershoff: {
      fit.coef = hughdi(t, y, m, c, kMissingMarker);
      fit.start_curve.assign(c.begin(), c.begin() + n);
      const SimplexFit s = gamoeba({fit.coef.a, fit.coef.b, fit.coef.c, 0, 0}, 3, kSimplexMaxValues,
                                   m, t, y, c, con);
      fit.coef = {s.best[0], s.best[1], std::fabs(s.best[2]), 0, s.best[4], s.best[3], 7.0f};
      return;
    }
    default: {  // the general exponential
      fit.coef = gexp(y, m, c, kMissingMarker, con);
      fit.start_curve.assign(c.begin(), c.begin() + n);
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
void first_differences(CurveFit& fit, std::span<float> y, std::span<float> c, Console& con) {
  const int k = fit.n - 1;
  if (k < 1) {
    // One value has no difference: like any series too short for its curve, it gets the
    // horizontal line through its mean and keeps its value.
    fit_mean(fit, y, c, con);
    fit.option = fit::horizontal_mean;
    fit.too_short = true;
    return;
  }
  std::vector<float> series(y.begin() + 1, y.end());
  for (std::size_t j = count(k); j >= 1; --j) y[j] -= y[j - 1];
  y[0] = kMissing;
  fit.n = k;

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
void short_series_fallback(CurveFit& fit, std::span<const float> y, std::span<float> c,
                           Console& con) {
  if (fit.n >= kFewestSplineValues || fit.n < 1 || !changes_fit_to(fit.option)) return;
  if (!made_no_curve(c.first(count(fit.n)))) return;
  fit.coef = {};
  fit_mean(fit, y, c, con);
  fit.option = fit::horizontal_mean;
  fit.too_short = true;
}

// The smoothers: each fits the n values at 1..n.
void smooth(CurveFit& fit, std::span<const float> y, std::span<float> curve, Console& con) {
  const int n = static_cast<int>(y.size());
  switch (fit.option) {
    case fit::age_spline:
      agedep(y, curve, con);
      return;
    case fit::super_smoother: {
      const std::vector<float> weights(y.size(), 1.0f);
      const float span = n < kFixedSpanBelow ? kShortSeriesSpan : 0.0f;
      supsmu(positions(n), y, weights, 1, span, static_cast<float>(fit.parameter), curve);
      return;
    }
    case fit::lowess:
      // The window is a width in values, as the driver's window rule and the dialogue
      // give it (not a percentage of the length).
      lowess_window(y, curve, fit.parameter);
      return;
    default: {                                      // running medians
      std::vector<float> work(y.begin(), y.end());  // the smoother works on a copy
      const MedianSmooth r = msmoor(work, curve, fit.parameter, kMaxYears, con);
      fit.parameter = r.window;
      // The pass limit leaves a usable curve; an input error leaves none.
      if (r.ier != 0 && r.ier != kMedianIterations) no_curve(y, curve);
      return;
    }
  }
}

}  // namespace

bool may_fall_back_to(int option, int code) {
  switch (code) {
    case fit::line:
      return option == fit::neg_exponential || option == fit::general_neg_exponential;
    case fit::falling_line:
      return option == fit::neg_exponential_or_falling_line;
    case fit::horizontal_mean:
      return option != fit::none && option != fit::regional_curve;
    default:
      return false;
  }
}

CurveFit detrend1(std::span<float> y, std::span<float> curve, int option, int parameter,
                  Console& con) {
  if (curve.size() < y.size()) throw std::invalid_argument("detrend1: the curve is too short");
  CurveFit fit;
  fit.option = option;
  fit.n = static_cast<int>(y.size());
  fit.parameter = parameter;
  const std::span<float> curve_n = curve.first(y.size());

  if (fit::spline_code(option)) {
    spline(y, curve_n, spline_stiffness(option, fit.n), &con);
    short_series_fallback(fit, y, curve, con);
    return fit;
  }
  switch (option) {
    case fit::age_spline:
    case fit::super_smoother:
    case fit::lowess:
    case fit::running_median:
      smooth(fit, y, curve_n, con);
      break;
    case fit::first_differences:
      first_differences(fit, y, curve, con);
      break;
    case fit::neg_exponential:
    case fit::neg_exponential_or_falling_line:
      negative_exponential(fit, y, curve, con);
      break;
    case fit::general_neg_exponential:
    case fit::hugershoff:
    case fit::general_exponential:
      simplex_fit(fit, y, curve, con);
      break;
    case fit::line:
      fit_line(fit, y, curve);
      break;
    case fit::falling_line:
      fit_line(fit, y, curve);
      if (fit.coef.c > 0) {
        fit.coef.c = 0;
        fit.option = fit::horizontal_mean;
        fit_mean(fit, y, curve, con);
      }
      break;
    case fit::horizontal_mean:
      fit_mean(fit, y, curve, con);
      break;
    default:
      // No detrending, regional curve standardization and the unused codes are not curve
      // fits.
      no_curve(y, curve_n);
      break;
  }
  short_series_fallback(fit, y, curve, con);
  return fit;
}

}  // namespace dendro
