#include "detrending/curve_fit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "series/console.h"
#include "series/descriptive.h"
#include "series/records.h"
#include "series/spline.h"
#include "series/tucson.h"
#include "test_series.h"

namespace dendro {
namespace {

// A console without input (a pause would end the test) and the curve of one fit, kept
// from fit to fit.
struct Fixture {
  test::TestConsole io;
  std::vector<float> c = std::vector<float>(100, 0.0f);

  // Fits y with the curve over m places (0: as many as y has values).
  CurveFit fit(std::vector<float>& y, int option, int parameter = 0, int m = 0) {
    const std::size_t places = m > 0 ? static_cast<std::size_t>(m) : y.size();
    if (c.size() < places) c.assign(places, 0.0f);
    return detrend1(y, std::span<float>(c).first(places), option, parameter, io.con);
  }
};

TEST(detrend1, negative_exponential_and_its_fall_backs) {
  Fixture f;
  // 20 values of 3·exp(-0.1 t) + 1: accepted as fitted.
  auto y = test::sampled(20, [](double t) { return 3.0 * std::exp(-0.1 * t) + 1.0; });
  CurveFit r = f.fit(y, 1);
  EXPECT_EQ(r.option, 1);
  EXPECT_NEAR(r.coef.b, 0.1, 1e-5);
  EXPECT_NEAR(r.coef.d, 1.0, 1e-4);

  // 19 values: no exponential; option 1 becomes the line of option 4 (hand: y = 9 - 0.2 t).
  y = test::sampled(19, [](double t) { return 9.0 - 0.2 * t; });
  r = f.fit(y, 1);
  EXPECT_EQ(r.option, 4);
  EXPECT_NEAR(r.coef.c, -0.2, 1e-5);
  EXPECT_NEAR(r.coef.d, 9.0, 1e-4);
  // Option 2 on the same falling series: the line with its negative slope, code 5.
  r = f.fit(y, 2);
  EXPECT_EQ(r.option, 5);
  EXPECT_EQ(r.fitted(), 5);
  EXPECT_NEAR(r.coef.c, -0.2, 1e-5);

  // A rising series: option 2 gives the horizontal mean as code 5, option 5 as code 6.
  y = test::sampled(19, [](double t) { return 1.0 + 0.5 * t; });  // mean 1 + 0.5 · 10 = 6
  r = f.fit(y, 2);
  EXPECT_EQ(r.option, 5);
  EXPECT_EQ(r.fitted(), 6);  // the curve is that of code 6
  EXPECT_EQ(r.coef.array(), (std::array<float, 7>{0, 0, 0, 0, r.coef.d, 0, 0}));
  EXPECT_FLOAT_EQ(r.coef.d, 6.0f);
  EXPECT_FLOAT_EQ(f.c[18], 6.0f);
  r = f.fit(y, 5);
  EXPECT_EQ(r.option, 6);
  EXPECT_EQ(r.coef.c, 0.0f);
  EXPECT_FLOAT_EQ(r.coef.d, 6.0f);
}

TEST(detrend1, simplex_options) {
  Fixture f;
  // Option 3 on a rising series: the fitted rate is not negative, so the line of any slope.
  auto y = test::sampled(30, [](double t) { return 1.0 + 0.1 * t + 0.05 * std::sin(t); });
  CurveFit r = f.fit(y, 3);
  EXPECT_EQ(r.option, 4);

  // Option 3 on a decline: a, |b| and d (R: nls, see the simplex tests: a = 5.0109,
  // b = -0.100383, k = 1.00215).
  y = test::sampled(
      60, [](double t) { return 5.0 * std::exp(-0.1 * t) + 1.0 + 0.05 * std::sin(1.7 * t); });
  r = f.fit(y, 3);
  EXPECT_EQ(r.option, 3);
  EXPECT_NEAR(r.coef.a, 5.0109, 0.005);
  EXPECT_NEAR(r.coef.b, 0.100383, 1e-4);
  EXPECT_NEAR(r.coef.d, 1.00215, 0.005);

  // Option 7 on an exact Hugershoff curve 2·t^0.8·exp(-0.05 t): the start values are
  // exact, the fit keeps them; the start curve comes back with the fit and the code in p(7).
  y = test::sampled(50, [](double t) { return 2.0 * std::pow(t, 0.8) * std::exp(-0.05 * t); });
  r = f.fit(y, 7);
  EXPECT_EQ(r.option, 7);
  EXPECT_NEAR(r.coef.a, 2.0, 0.02);
  EXPECT_NEAR(r.coef.b, 0.8, 0.01);
  EXPECT_NEAR(r.coef.c, 0.05, 0.001);
  EXPECT_EQ(r.coef.plot, 7.0f);
  ASSERT_EQ(r.start_curve.size(), 50u);
  EXPECT_NEAR(r.start_curve[9], y[9], 1e-4);

  // Option 8 on an exact general exponential 1.5·t·exp(-0.03 t).
  y = test::sampled(40, [](double t) { return 1.5 * t * std::exp(-0.03 * t); });
  r = f.fit(y, 8);
  EXPECT_EQ(r.option, 8);
  EXPECT_EQ(r.coef.b, 1.0f);
  EXPECT_EQ(r.coef.plot, 8.0f);
  ASSERT_EQ(r.start_curve.size(), 40u);
  EXPECT_NEAR(r.start_curve[19], y[19], 1e-4);
  EXPECT_NEAR(f.c[19], y[19], 0.02);
}

// The ring widths of series `id` of a tucson file in tests/data, as the reader gives them.
std::vector<float> ring_widths(const std::string& file, const std::string& id) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + file, std::ios::binary);
  RecordStream records(in);
  TucsonFile tucson;
  for (;;) {
    const TucsonReading r = read_tucson_series(records, TucsonMode::mr, tucson);
    if (r.series.n == kEndOfData) throw std::runtime_error(id + " not in " + file);
    if (r.series.id == id) return r.series.values;
  }
}

TEST(detrend1, simplex_fits_end_where_the_independent_walk_ends) {
  // End points of bench/simplex_walk.py, a walk of the simplex fits written apart from this
  // code, in single precision as the program keeps the simplex, on the values as read:
  //   build/bench_simplex_fits tests/data/FILE | grep '^series ID' | cut -d' ' -f4- |
  //     python3 bench/simplex_walk.py OPTION
  // The walk's end turns on the last bits of its arithmetic (the order in which the vertex
  // sums are updated, the start's rounding), so every step must round as the walk's do.
  Fixture f;
  struct Case {
    const char* file;
    const char* id;
    int option;
    double ss, a, b, c, d, p;  // the walk's end as the coefficients hold it
  };
  const Case cases[] = {
      // rib3_17a, option 8: "4.884061 497 True 0.08080336 -0.02110314 57.67303 0.2995091",
      // near the least-squares fit, 4.884046 (R: y <- widths / 100; t <- seq_along(y);
      // nls(y ~ a*(t+c)*exp(b*(t+c)) + k, start = list(a=.0808, b=-.0211, c=57.7, k=.3)))
      {"rib3_17a.rwl", "rib3_17a", 8, 4.884061, 0.08080336, 1.0, 0.02110314, 0.2995091, 57.67303},
      // TWM32a, option 7, whose end turns on the last bit of the start's scale (its rescaling
      // sums in double): "12.92409 641 True 8.350086 -0.0172517 0.0005740784 1.449443
      // -7.675418"
      {"TWM_TMS.rwl", "TWM32a  ", 7, 12.92409, 8.350086, -0.0172517, 0.0005740784, -7.675418,
       1.449443},
  };
  for (const Case& k : cases) {
    const std::vector<float> values = ring_widths(k.file, k.id);
    std::vector<float> y = values;
    const CurveFit r = f.fit(y, k.option);
    double ss = 0;
    for (std::size_t i = 0; i < y.size(); ++i) ss += std::pow(f.c[i] - values[i], 2);
    auto near = [](double expected) { return 2e-6 * std::fabs(expected) + 1e-7; };
    EXPECT_EQ(r.option, k.option) << k.id;
    EXPECT_NEAR(ss, k.ss, near(k.ss)) << k.id;
    EXPECT_NEAR(r.coef.a, k.a, near(k.a)) << k.id;
    EXPECT_NEAR(r.coef.b, k.b, near(k.b)) << k.id;
    EXPECT_NEAR(r.coef.c, k.c, near(k.c)) << k.id;
    EXPECT_NEAR(r.coef.d, k.d, near(k.d)) << k.id;
    EXPECT_NEAR(r.coef.p, k.p, near(k.p)) << k.id;
  }
}

TEST(detrend1, smoothers_take_their_parameters) {
  Fixture f;
  // -5: fewer than 40 values use the fixed span 0.3 (R: supsmu(1:30, s2[1:30], span = 0.3));
  // 60 values the variable span (R: supsmu(1:60, s2, bass = 0)).
  std::vector<float> y(test::kS2.begin(), test::kS2.begin() + 30);
  f.fit(y, -5, 0);
  EXPECT_NEAR(f.c[14], 6.23818, 2e-4);
  y = test::kS2;
  f.fit(y, -5, 0);
  EXPECT_NEAR(f.c[39], 5.24615, 2e-4);

  // -4: the parameter is a window of 12 values (R: lowess(1:50, s1, f = 12/50, iter = 2,
  // delta = 0)).
  y = test::kS1;
  f.fit(y, -4, 12);
  EXPECT_NEAR(f.c[13], 10.03486, 2e-4);
  EXPECT_NEAR(f.c[41], 15.56450, 2e-4);

  // -3: an even window is lowered and returned.
  y = test::kS1;
  const CurveFit r = f.fit(y, -3, 6);
  EXPECT_EQ(r.parameter, 5);
  EXPECT_FLOAT_EQ(f.c[6], 12.42f);  // R: repeated runmed(k = 5), see the smoother tests
}

TEST(detrend1, spline_stiffness_from_the_code) {
  Fixture f;
  std::vector<float> y(250), want(250);
  for (int t = 1; t <= 250; ++t)
    y[static_cast<std::size_t>(t - 1)] = test::kS2[static_cast<std::size_t>(t % 60)];
  // -12 on 250 values: 30 years (hand: 0.12 · 250).
  f.fit(y, -12);
  spline(y, want, 30);
  EXPECT_EQ(std::vector<float>(f.c.begin(), f.c.begin() + 250), want);
  // -15 on 99 values: 14.85 truncated to 14 years.
  std::vector<float> y99(y.begin(), y.begin() + 99), want99(99);
  f.fit(y99, -15);
  spline(y99, want99, 14);
  EXPECT_EQ(std::vector<float>(f.c.begin(), f.c.begin() + 99), want99);
  // 40: a 40-year spline.
  f.fit(y99, 40);
  spline(y99, want99, 40);
  EXPECT_EQ(std::vector<float>(f.c.begin(), f.c.begin() + 99), want99);
}

TEST(detrend1, first_differences) {
  Fixture f;
  std::vector<float> y(100);
  for (int t = 1; t <= 100; ++t)
    y[static_cast<std::size_t>(t - 1)] = test::kS2[static_cast<std::size_t>(t % 60)];
  const std::vector<float> original = y;
  const CurveFit r = f.fit(y, -1);
  EXPECT_EQ(r.option, -1);
  EXPECT_EQ(r.n, 99);
  EXPECT_EQ(y[0], kMissing);
  // The curve is a 33-year spline of the series from its second value (hand: 99 / 3).
  std::vector<float> tail(original.begin() + 1, original.end()), want(99);
  spline(tail, want, 33);
  EXPECT_EQ(std::vector<float>(f.c.begin(), f.c.begin() + 99), want);
  // The rescaled differences keep their shape and take the ratios' mean and spread.
  std::vector<float> ratios(99), diffs(y.begin() + 1, y.end());
  for (std::size_t j = 0; j < 99; ++j) ratios[j] = tail[j] / want[j];
  const Moments mr = moment(ratios), md = moment(diffs);
  EXPECT_NEAR(md.mean, mr.mean, 1e-5);
  EXPECT_NEAR(md.std_dev, mr.std_dev, 1e-5);
  EXPECT_NEAR((y[2] - y[1]) / (y[3] - y[2]),
              ((original[2] - original[1]) - (original[1] - original[0])) /
                  ((original[3] - original[2]) - (original[2] - original[1])),
              1e-3);
}

TEST(detrend1, codes_without_a_curve_are_marked) {
  Fixture f;
  std::vector<float> y(test::kS1.begin(), test::kS1.begin() + 20);
  for (int code : {0, 9, -2, -7, -8, -9}) {
    f.fit(y, code);
    EXPECT_EQ(f.c[0], kNoCurve) << code;
  }
  // A running-median window the smoother refuses (0 becomes -1): no curve either.
  test::TestConsole io("\n");
  detrend1(y, std::span<float>(f.c).first(20), -3, 0, io.con);
  EXPECT_EQ(f.c[0], kNoCurve);
  EXPECT_EQ(io.output(), "\n input error 3 in msmoor.\nHit Return to Continue");
}

// Fewer than 4 values: a spline (the age-dependent one too) makes no curve, a line through
// one value none that is a number, and one value has no first difference; the horizontal
// mean stands in as option 6. A fit that makes a curve of so few values keeps it.
TEST(detrend1, series_too_short_for_its_curve_get_the_mean_line) {
  Fixture f;
  for (int code : {-6, 20, -50, 1, 3, 4, 5, -1}) {
    std::vector<float> y{1.2f};
    const CurveFit r = f.fit(y, code, 0, 3);
    EXPECT_TRUE(r.too_short) << code;
    EXPECT_EQ(r.option, 6) << code;
    EXPECT_EQ(r.n, 1) << code;
    EXPECT_EQ(y[0], 1.2f) << code;  // the value stays as it was measured
    EXPECT_EQ(r.coef.array(), (std::array<float, 7>{0, 0, 0, 0, 1.2f, 0, 0})) << code;
    // The parametric curves' length m: every place gets the mean.
    EXPECT_EQ(f.c[0], 1.2f) << code;
    EXPECT_EQ(f.c[2], 1.2f) << code;
  }
  for (int code : {-6, 15}) {
    std::vector<float> y{1.0f, 2.0f, 4.5f};  // mean 2.5
    const CurveFit r = f.fit(y, code);
    EXPECT_TRUE(r.too_short) << code;
    EXPECT_EQ(r.option, 6);
    EXPECT_FLOAT_EQ(f.c[1], 2.5f);
  }
  // Three values: a line is a curve (hand: y = 0.5 + t, line 1.5, 2.5, 3.5).
  std::vector<float> y{1.5f, 2.5f, 3.5f};
  CurveFit r = f.fit(y, 4);
  EXPECT_FALSE(r.too_short);
  EXPECT_EQ(r.option, 4);
  EXPECT_NEAR(f.c[2], 3.5f, 1e-5);
  // Four values reach the spline.
  y = {1.0f, 2.0f, 1.5f, 1.8f};
  r = f.fit(y, -6);
  EXPECT_FALSE(r.too_short);
  EXPECT_EQ(r.option, -6);
  EXPECT_GT(f.c[0], 0.0f);
  // Codes that are no curve fit stay marked, however short the series.
  y = {1.0f, 2.0f};
  r = f.fit(y, 0);
  EXPECT_FALSE(r.too_short);
  EXPECT_EQ(f.c[0], kNoCurve);
}

TEST(shown_curve_value, markers_show_as_the_cleared_curve) {
  EXPECT_EQ(shown_curve_value(kSplineTooFew), 0.0f);
  EXPECT_EQ(shown_curve_value(kNoCurve), 0.0f);
  EXPECT_EQ(shown_curve_value(-0.124f), -0.124f);
  EXPECT_EQ(shown_curve_value(0.0f), 0.0f);
}

TEST(changes_fit_to, only_codes_that_fit_a_curve_of_their_own) {
  // The codes that detrend1 marks as no curve above, and first differences (which rewrite
  // the series): a dialogue never changes a fit to them.
  for (int code : {0, 9, -1, -2, -7, -8, -9}) EXPECT_FALSE(changes_fit_to(code)) << code;
  for (int code : {-6, -5, -4, -3, 1, 2, 3, 4, 5, 6, 7, 8, 10, -10}) {
    EXPECT_TRUE(changes_fit_to(code)) << code;
  }
}

TEST(detrend1, parametric_curves_extend_to_m) {
  Fixture f;
  std::vector<float> y{2.5f, 2.0f, 1.5f, 1.0f, 0.5f};  // y = 3 - 0.5 t
  f.c.assign(10, 9.0f);
  f.fit(y, 4, 0, 8);
  EXPECT_NEAR(f.c[7], -1.0, 1e-5);  // t = 8
  f.c.assign(10, 9.0f);
  f.fit(y, 6, 0, 8);
  EXPECT_FLOAT_EQ(f.c[7], 1.5f);
  EXPECT_EQ(f.c[8], 9.0f);
}

// The smoothers and splines fit the n values only: the regional curve relies on the places
// beyond them keeping what they held (its cleared 0, which the guard then refuses).
TEST(detrend1, smoothers_leave_the_places_beyond_the_series) {
  Fixture f;
  for (int code : {-6, -5, -4, -3, 20}) {
    std::vector<float> y(test::kS1.begin(), test::kS1.begin() + 30);
    f.c.assign(40, 0.0f);
    const CurveFit r = f.fit(y, code, code == -4 || code == -3 ? 9 : 0, 40);
    EXPECT_GT(f.c[29], 0.0f) << code;
    EXPECT_EQ(f.c[30], 0.0f) << code;
    EXPECT_EQ(f.c[39], 0.0f) << code;
    EXPECT_TRUE(r.start_curve.empty()) << code;  // only options 7 and 8 have one
  }
}

// A curve shorter than the series is a caller's error, not a write past its end.
TEST(detrend1, refuses_a_curve_shorter_than_the_series) {
  test::TestConsole io;
  std::vector<float> y(test::kS1.begin(), test::kS1.begin() + 10), c(9);
  EXPECT_THROW(detrend1(y, c, 4, 0, io.con), std::invalid_argument);
}

}  // namespace
}  // namespace dendro
