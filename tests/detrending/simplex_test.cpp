#include "detrending/simplex.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "test_series.h"

namespace dendro {
namespace {

TEST(gamoeba, general_exponential_agrees_with_least_squares) {
  test::TestConsole io;
  // y = 5·exp(-0.1 t) + 1 + 0.05·sin(1.7 t), t = 1..60. Least-squares answer from R:
  //   t <- 1:60; y <- 5*exp(-0.1*t) + 1 + 0.05*sin(1.7*t)
  //   coef(nls(y ~ a*exp(b*t) + k, start = list(a = 3, b = -0.05, k = 5)))
  //   a = 5.01089951, b = -0.10038294, k = 1.00215120
  const auto t = test::positions(60);
  std::vector<float> y(60), yc(60);
  for (int i = 1; i <= 60; ++i) {
    y[static_cast<std::size_t>(i - 1)] =
        static_cast<float>(5.0 * std::exp(-0.1 * i) + 1.0 + 0.05 * std::sin(1.7 * i));
  }
  const SimplexFit fit = gamoeba({0, 0, 0, 0, 0}, 1, 2500, 60, t, y, yc, io.con);
  EXPECT_TRUE(fit.converged);
  EXPECT_NEAR(fit.best[0], 5.0109, 0.005);
  EXPECT_NEAR(fit.best[1], -0.100383, 1e-4);
  EXPECT_NEAR(fit.best[2], 1.00215, 0.005);
  EXPECT_NEAR(yc[0], fit.best[0] * std::exp(fit.best[1]) + fit.best[2], 1e-5);
  EXPECT_EQ(io.output(), "");
}

TEST(gamoeba, follows_the_published_simplex_steps) {
  test::TestConsole io;
  // On a weak decline the simplex from the all-zero start stops in the long valley where a
  // and k trade off, short of the least-squares minimum (25.727 by R's nls). Reference:
  // a double-precision Python transcription of Numerical Recipes' amoeba/amotry with the
  // same start vertices and ftol 1e-5, run once:
  //   ([7.439541541, -0.007183932, -0.296140126], 33.21577393, 71 evaluations)
  const auto t = test::positions(60);
  std::vector<float> yc(60);
  const SimplexFit fit = gamoeba({0, 0, 0, 0, 0}, 1, 2500, 60, t, test::kS2, yc, io.con);
  EXPECT_TRUE(fit.converged);
  EXPECT_NEAR(fit.best[0], 7.43954, 1e-3);
  EXPECT_NEAR(fit.best[1], -0.00718393, 1e-5);
  EXPECT_NEAR(fit.best[2], -0.296140, 1e-3);
  EXPECT_NEAR(fit.fmin, 33.21577, 1e-3);
  EXPECT_EQ(fit.evaluations, 71);
}

TEST(gamoeba, hugershoff_from_its_exact_start) {
  test::TestConsole io;
  // y = 2·t^0.8·exp(-0.05 t) + 0 with age offset 0: started at the answer, the fit stays
  // on it (objective near 0) and reproduces the curve.
  const auto t = test::positions(50);
  std::vector<float> y(50), yc(50);
  for (int i = 1; i <= 50; ++i) {
    y[static_cast<std::size_t>(i - 1)] =
        static_cast<float>(2.0 * std::pow(i, 0.8) * std::exp(-0.05 * i));
  }
  const SimplexFit fit = gamoeba({2.0f, 0.8f, -0.05f, 0, 0}, 3, 2500, 50, t, y, yc, io.con);
  EXPECT_LT(fit.fmin, 1e-4);
  for (std::size_t i = 0; i < 50; i += 7) EXPECT_NEAR(yc[i], y[i], 5e-3) << i;
}

TEST(gamoeba, evaluation_limit_returns_the_best_vertex_without_a_pause) {
  // All-zero data from the all-zero start: two vertices have the objective 0, so the
  // relative spread 2|fh - fl| / (|fl| + |fh|) becomes 0/0 once the simplex has shrunk onto
  // the zero plane, and the search runs to the evaluation limit. The console has no input:
  // a pause would end the test with Stop.
  test::TestConsole io;
  const auto t = test::positions(20);
  const std::vector<float> y(20, 0.0f);
  std::vector<float> yc(20);
  const SimplexFit fit = gamoeba({0, 0, 0, 0, 0}, 1, 2500, 20, t, y, yc, io.con);
  EXPECT_FALSE(fit.converged);
  EXPECT_GE(fit.evaluations, 2000);
  EXPECT_EQ(fit.fmin, 0.0f);
  EXPECT_EQ(io.output(), "itmax exceeded in amoeba\n");
}

TEST(gamoeba, more_values_than_the_objective_accepts_stop_the_program) {
  test::TestConsole io("\n");
  const auto t = test::positions(2501);
  const std::vector<float> y(2501, 1.0f);
  std::vector<float> yc(2501);
  EXPECT_THROW(gamoeba({0, 0, 0, 0, 0}, 1, 2500, 2501, t, y, yc, io.con), Stop);
  EXPECT_EQ(io.output(), "\n in gamoff ne > nemax:       2501      2500\nbye.");
  // 2500 values are accepted.
  EXPECT_GE(gamoff({1, 0, 0, 0, 0}, 1, 2500, t, std::span<const float>(y).first(2500), io.con),
            0.0f);
}

TEST(gamoeba, age_offset_never_goes_below_zero) {
  test::TestConsole io;
  // A general exponential whose best offset would be negative: y = (t-0.5)·exp(-0.1(t-0.5)).
  const auto t = test::positions(40);
  std::vector<float> y(40), yc(40);
  for (int i = 1; i <= 40; ++i) {
    const double tt = i - 0.5;
    y[static_cast<std::size_t>(i - 1)] = static_cast<float>(tt * std::exp(-0.1 * tt));
  }
  const SimplexFit fit = gamoeba({1.0f, -0.1f, 0, 0, 0}, 2, 2500, 40, t, y, yc, io.con);
  EXPECT_GE(fit.best[2], 0.0f);
}

}  // namespace
}  // namespace dendro
