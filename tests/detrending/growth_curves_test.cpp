#include "detrending/growth_curves.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "test_series.h"

namespace dendro {
namespace {

TEST(curve, recovers_an_exact_negative_exponential) {
  test::TestConsole io;
  // y = 2·exp(-0.05 t) + 0.5: the closed form is the answer.
  const auto y = test::sampled(60, [](double t) { return 2.0 * std::exp(-0.05 * t) + 0.5; });
  std::vector<float> yc(70);
  Coefficients coef = curve(70, y, yc, io.con);
  EXPECT_NEAR(coef.b, 0.05, 2e-6);
  EXPECT_NEAR(coef.a, 2.0, 1e-4);
  EXPECT_NEAR(coef.d, 0.5, 1e-4);
  EXPECT_NEAR(yc[0], 2.0 * std::exp(-0.05) + 0.5, 1e-5);
  EXPECT_NEAR(yc[69], 2.0 * std::exp(-3.5) + 0.5, 1e-5);  // m > n extends the curve
  double sum = 0;
  for (float v : y) sum += v;
  EXPECT_NEAR(coef.plot, sum, 1e-3);
  EXPECT_EQ(io.output(), "");
}

TEST(curve, converges_no_earlier_than_the_tenth_iteration) {
  test::TestConsole io;
  // With d = 0 the last ten values are the first ten times exp(-b(n-10)), so the start
  // value is the answer and the centre never moves: the step 0.0005 is halved ten times
  // to 4.9e-7, the first step at or below 5e-7.
  const auto y = test::sampled(50, [](double t) { return 3.0 * std::exp(-0.02 * t); });
  std::vector<float> yc(50);
  Coefficients coef = curve(50, y, yc, io.con);
  EXPECT_EQ(coef.p, 10.0f);
  EXPECT_NEAR(coef.b, 0.02, 1e-6);
}

TEST(curve, failures_mark_rate_and_first_value) {
  test::TestConsole io;
  std::vector<float> yc(30, 1.0f);
  Coefficients coef;
  const auto y19 = test::sampled(19, [](double t) { return 10.0 - 0.1 * t; });
  coef = curve(19, y19, yc, io.con);
  EXPECT_EQ(io.output(), ">> sbr curve:  only 19 values, no exponential curve fit\n");
  EXPECT_EQ(coef.b, kFitFailed);
  EXPECT_EQ(yc[0], kFitFailed);

  // A start rate near 6 on 20 values puts n·|b| above 112.8: the fit ends silently.
  io.out.str("");
  const auto steep = test::sampled(20, [](double t) { return std::exp(70.0 - 6.0 * t); });
  coef = curve(20, steep, yc, io.con);
  EXPECT_EQ(coef.b, kFitFailed);
  EXPECT_EQ(io.output(), "");

  // Twenty values are enough to be fitted.
  const auto y20 = test::sampled(20, [](double t) { return 2.0 * std::exp(-0.1 * t) + 1.0; });
  coef = curve(20, y20, yc, io.con);
  EXPECT_NEAR(coef.b, 0.1, 1e-5);
}

TEST(curve, an_unusable_fit_comes_back_flat) {
  test::TestConsole io;
  // A rising series: the best exponential has a < 0 (a rising approach to an asymptote),
  // which the fit reports as b = 0 with a complete curve.
  const auto y = test::sampled(40, [](double t) { return 5.0 - 4.0 * std::exp(-0.05 * t); });
  std::vector<float> yc(40);
  Coefficients coef = curve(40, y, yc, io.con);
  EXPECT_EQ(coef.b, 0.0f);
  EXPECT_FLOAT_EQ(yc[0], coef.a + coef.d);
  EXPECT_FLOAT_EQ(yc[39], coef.a + coef.d);
}

TEST(trend, exact_line_and_parameters_only) {
  const std::vector<float> y{2.5f, 2.0f, 1.5f, 1.0f, 0.5f};  // y = 3 - 0.5 t
  std::vector<float> yc(7, 42.0f);
  Line line = trend(0, y, yc);
  EXPECT_NEAR(line.slope, -0.5, 1e-7);
  EXPECT_NEAR(line.intercept, 3.0, 1e-6);
  EXPECT_EQ(yc[0], 42.0f);  // m = 0: the curve is not written
  line = trend(7, y, yc);
  EXPECT_NEAR(yc[6], -0.5, 1e-6);  // t = 7 beyond the data
}

TEST(xmean, mean_and_empty_input) {
  test::TestConsole io("\n");
  const std::vector<float> y{1.0f, 2.0f, 4.0f};
  EXPECT_FLOAT_EQ(xmean(y, io.con), 7.0f / 3.0f);
  try {
    xmean(std::span<const float>(), io.con);
    FAIL() << "no Stop";
  } catch (const Stop& stop) {
    EXPECT_STREQ(stop.what(), " error in xmean: n=0");
    EXPECT_NE(stop.status, 0);
  }
  EXPECT_EQ(io.output(), "\n error in xmean: n=0\nHit Return to Continue");
}

TEST(hughdi, exact_curve_and_skipped_points) {
  // y = 2·t^0.8·exp(-0.05 t): ln y is exactly linear in ln t and t.
  auto y = test::sampled(40, [](double t) { return 2.0 * std::pow(t, 0.8) * std::exp(-0.05 * t); });
  std::vector<float> t(40), yc(40);
  for (int i = 0; i < 40; ++i) t[static_cast<std::size_t>(i)] = static_cast<float>(i + 1);
  Coefficients coef = hughdi(t, y, 40, yc, 0.0f);
  EXPECT_NEAR(coef.a, 2.0, 1e-4);
  EXPECT_NEAR(coef.b, 0.8, 1e-5);
  EXPECT_NEAR(coef.c, -0.05, 1e-6);
  EXPECT_NEAR(yc[9], y[9], 1e-4);

  // A zero, a missing marker and a negative value take part in neither the regression nor
  // the rescaling: the rest still lies exactly on the curve.
  y[4] = 0.0f;
  y[10] = -9.99f;
  y[20] = -1.0f;
  coef = hughdi(t, y, 40, yc, -9.99f);
  EXPECT_NEAR(coef.a, 2.0, 1e-4);
  EXPECT_NEAR(coef.b, 0.8, 1e-5);
  EXPECT_NEAR(yc[4], 2.0 * std::pow(5.0, 0.8) * std::exp(-0.25), 1e-4);
}

TEST(gexp, exact_curve_one_point_and_no_point) {
  test::TestConsole io("\n");
  const auto y = test::sampled(30, [](double t) { return 1.5 * t * std::exp(-0.03 * t); });
  std::vector<float> yc(30);
  Coefficients coef = gexp(y, 30, yc, 0.0f, io.con);
  EXPECT_NEAR(coef.a, 1.5, 1e-5);
  EXPECT_NEAR(coef.b, 0.03, 1e-6);  // the decay rate: minus the regression slope
  EXPECT_NEAR(yc[29], y[29], 1e-5);

  // One usable point: no decay, and the curve passes through it (4 = 3·a, a = 4/3).
  const std::vector<float> single{0.0f, 0.0f, 4.0f, 0.0f};
  coef = gexp(single, 4, yc, 0.0f, io.con);
  EXPECT_NEAR(coef.a, 4.0 / 3.0, 1e-6);
  EXPECT_EQ(coef.b, 0.0f);
  EXPECT_NEAR(yc[2], 4.0, 1e-5);

  const std::vector<float> none{0.0f, -1.0f};
  EXPECT_THROW(gexp(none, 2, yc, 0.0f, io.con), Stop);
  EXPECT_EQ(io.output(), "\n *** n1 .le. 0 in sbr gexp ***\n\nHit Return to Continue");
}

}  // namespace
}  // namespace dendro
