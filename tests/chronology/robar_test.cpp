#include "chronology/robar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace dendro {
namespace {

// x_t = 0.5 x_{t-1} + e_t about 1.0, unit-variance normal shocks scaled by 0.1, fixed seed.
std::vector<float> ar1_series(int n, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> shock(0.0f, 0.1f);
  std::vector<float> x;
  float v = 0.0f;
  for (int t = 0; t < n + 100; ++t) {
    v = 0.5f * v + shock(gen);
    if (t >= 100) x.push_back(1.0f + v);
  }
  return x;
}

float mean_of(const std::vector<float>& x) {
  double s = 0;
  for (float v : x) s += v;
  return static_cast<float>(s / static_cast<double>(x.size()));
}

TEST(robar_psi, cleaning_function) {
  EXPECT_EQ(robar_psi(0.0f), 0.0f);
  // 0.5 exp(-exp(3 (0.5 - 3))) = 0.5 exp(-exp(-7.5)) = 0.5 * 0.999447 (hand, exp(-7.5) =
  // 5.5308e-4).
  EXPECT_NEAR(robar_psi(0.5f), 0.4997235, 1e-6);
  EXPECT_NEAR(robar_psi(-0.5f), -0.4997235, 1e-6);
  // Just inside three Qn: exp(3 (0.999 - 3)) = exp(-6.003) = 0.002470, and
  // exp(-0.002470) = 0.997533.
  EXPECT_NEAR(robar_psi(0.999f), 0.999 * 0.997533, 1e-5);
  EXPECT_EQ(robar_psi(1.0f), 0.0f);
  EXPECT_EQ(robar_psi(-3.0f), 0.0f);
  EXPECT_EQ(robar_psi(NAN), 0.0f);
}

TEST(robar, ordinary_fit_is_the_burg_fit_and_its_residuals) {
  // Expected from R 4 (Debian r-base-core):
  //   x <- sin(1:80 * 0.9) + cos(1:80 * 0.31) * 0.7 + ((1:80 * 29) %% 13) / 8
  //   ar.burg(x, aic = FALSE, order.max = 1, demean = TRUE, var.method = 1)$ar  0.560847157
  std::vector<float> x;
  for (int t = 1; t <= 80; ++t) {
    x.push_back(
        static_cast<float>(std::sin(t * 0.9) + std::cos(t * 0.31) * 0.7 + ((t * 29) % 13) / 8.0));
  }
  const std::vector<float> given = x;
  const RobarResult fit = robar(x, 2, 1, 1);
  ASSERT_EQ(fit.order, 1);
  const float phi = fit.coefficients[0];
  EXPECT_NEAR(phi, 0.560847157, 2e-5);
  EXPECT_EQ(fit.saved, given);
  EXPECT_TRUE(fit.outliers.empty());
  // Residuals by hand: centred w, backcast phi w_1, e_t = w_t - phi w_{t-1}, then centred.
  const float level = mean_of(given);
  std::vector<float> e;
  float previous = phi * (given[0] - level);
  for (float v : given) {
    e.push_back((v - level) - phi * previous);
    previous = v - level;
  }
  const float e_mean = mean_of(e);
  for (std::size_t t = 0; t < x.size(); ++t) EXPECT_NEAR(x[t], e[t] - e_mean, 1e-5);
}

TEST(robar, robust_methods_find_an_injected_outlier) {
  std::vector<float> series = ar1_series(200, 9);
  series[120] += 1.5f;  // fifteen shock deviations
  std::vector<float> keep = series, remove = series, plain = series;
  const RobarResult kept = robar(keep, 2, 1, 2);
  const RobarResult removed = robar(remove, 2, 1, 3);
  robar(plain, 2, 1, 1);
  ASSERT_EQ(kept.outliers.size(), 200u);
  // The pulse departs from 1.0 in the outlier series, and so does its echo in the next
  // year's ordinary residual (minus the fitted phi, pulled down by the pulse, times the
  // pulse); nothing else does.
  EXPECT_GT(kept.outliers[120] - 1.0f, 1.0f);
  EXPECT_LT(kept.outliers[121] - 1.0f, -0.2f);
  int departures = 0;
  for (std::size_t t = 0; t < 200; ++t) departures += std::fabs(kept.outliers[t] - 1.0f) > 0.2f;
  EXPECT_EQ(departures, 2);
  // Method 2 keeps the pulse in the residuals; method 3 takes it out.
  EXPECT_GT(keep[120], 1.0f);
  EXPECT_LT(std::fabs(remove[120]), 0.4f);
  // Both return centred residuals; the ordinary indices are the first-pass residuals + 1.
  EXPECT_NEAR(mean_of(keep), 0.0f, 1e-5);
  EXPECT_NEAR(mean_of(remove), 0.0f, 1e-5);
  for (std::size_t t = 0; t < 200; ++t) {
    EXPECT_FLOAT_EQ(kept.ordinary_indices[t], kept.first_pass[t] + 1.0f);
    EXPECT_NEAR(kept.first_pass[t], plain[t], 1e-5);
    EXPECT_FLOAT_EQ(removed.robust_indices[t], remove[t] + 1.0f);
    EXPECT_FLOAT_EQ(kept.outliers[t], kept.ordinary_indices[t] - kept.robust_indices[t] + 1.0f);
  }
}

TEST(robar, zero_scale_cleans_every_residual) {
  // Order 0 about the mean: 19 residuals of -0.2 and one of 3.8 give Qn = 0, so the cleaned
  // residuals are all 0 and the robust residuals are 0 + 1.0 everywhere; the spike stands out
  // in the outlier series by its whole residual.
  std::vector<float> x(20, 1.0f);
  x[7] = 5.0f;
  const RobarResult fit = robar(x, 1, 1, 3);
  EXPECT_EQ(fit.order, 0);
  for (std::size_t t = 0; t < 20; ++t) {
    EXPECT_NEAR(fit.robust_indices[t], 1.0f, 1e-6);
    EXPECT_NEAR(fit.outliers[t], t == 7 ? 4.8f : 0.8f, 1e-5);
  }
}

}  // namespace
}  // namespace dendro
