#include "chronology/ar_filters.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "chronology/pool.h"
#include "series/blocks.h"
#include "series/files/stop.h"
#include "series/store.h"

namespace dendro {
namespace {

// A series of n values of x_t = phi x_{t-1} + e_t (unit normal shocks) about `level`, after a
// burn-in of 200 values; the generator is seeded so that the series is fixed.
std::vector<float> ar1_series(int n, float phi, float level, unsigned seed) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> shock(0.0f, 1.0f);
  std::vector<float> x;
  float v = 0.0f;
  for (int t = 0; t < n + 200; ++t) {
    v = phi * v + shock(gen);
    if (t >= 200) x.push_back(v + level);
  }
  return x;
}

float lag1_autocorrelation(const std::vector<float>& x) {
  double mean = 0;
  for (float v : x) mean += v;
  mean /= static_cast<double>(x.size());
  double num = 0, den = 0;
  for (std::size_t t = 0; t < x.size(); ++t) {
    den += (x[t] - mean) * (x[t] - mean);
    if (t > 0) num += (x[t] - mean) * (x[t - 1] - mean);
  }
  return static_cast<float>(num / den);
}

TEST(bckcst, backcasts_run_the_model_backwards) {
  // Hand: shifted [_, 1, 2, 3]; w(1) = 0.5 * 1.
  std::vector<float> w{1, 2, 3, 0};
  const std::vector<float> ar1{0.5f};
  bckcst(w, 3, ar1, 1);
  EXPECT_EQ(w, (std::vector<float>{0.5f, 1, 2, 3}));
  // Hand: shifted [_, _, 4, 8]; w(2) = 0.5*4 + 0.25*8 = 4; w(1) = 0.5*4 + 0.25*4 = 3.
  std::vector<float> v{4, 8, 0, 0};
  const std::vector<float> ar2{0.5f, 0.25f};
  bckcst(v, 2, ar2, 2);
  EXPECT_EQ(v, (std::vector<float>{3, 4, 4, 8}));
  // Order 0 leaves the array alone.
  std::vector<float> u{7, 8};
  bckcst(u, 2, {}, 0);
  EXPECT_EQ(u, (std::vector<float>{7, 8}));
}

TEST(bckcst, work_array_must_hold_the_backcasts) {
  const std::vector<float> ar2{0.5f, 0.25f};
  std::vector<float> exact(7, 1.0f);  // n + s = 7 is accepted
  EXPECT_NO_THROW(bckcst(exact, 5, ar2, 2));
  std::vector<float> short_by_one(6, 1.0f);
  try {
    bckcst(short_by_one, 5, ar2, 2);
    FAIL() << "expected Stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(std::string(stop.what()), "\n *** no room in array for backcasts ***");
    EXPECT_NE(stop.status, 0);
  }
}

TEST(albino, residuals_by_hand) {
  // Hand: mean 3, centred [-2, -1, 0, 3], backcast 0.5 * -2 = -1; residuals -2 - 0.5*-1 =
  // -1.5, -1 - 0.5*-2 = 0, 0 - 0.5*-1 = 0.5, 3 - 0 = 3; plus the mean.
  std::vector<float> x{1, 2, 3, 6};
  const std::vector<float> phi{0.5f};
  albino(x, phi);
  EXPECT_EQ(x, (std::vector<float>{1.5f, 3.0f, 3.5f, 6.0f}));
}

TEST(commie, rebuilds_by_hand) {
  // Hand: mean 1, centred [-1, 1, 0], backcast 0.5 * -1 = -0.5; rebuilt -1 + 0.5*-0.5 = -1.25,
  // 1 + 0.5*-1.25 = 0.375, 0 + 0.5*0.375 = 0.1875; plus the mean.
  std::vector<float> x{0, 2, 1};
  const std::vector<float> phi{0.5f};
  commie(x, phi);
  EXPECT_EQ(x, (std::vector<float>{-0.25f, 1.375f, 1.1875f}));
  // commie2 centres on 1.0 whatever the mean: the same series about 1 gives the same shape.
  std::vector<float> y{0, 2, 1};
  commie2(y, phi);
  EXPECT_EQ(y, (std::vector<float>{-0.25f, 1.375f, 1.1875f}));
  std::vector<float> z{1, 1, 3};  // centred [0, 0, 2], backcast 0; rebuilt 0, 0, 2
  commie2(z, phi);
  EXPECT_EQ(z, (std::vector<float>{1, 1, 3}));
}

TEST(ar_filters, order_zero_changes_only_thin_years) {
  const std::vector<float> x{0.8f, 1.2f, 0.0f, 1.1f};
  const std::vector<int> depth{3, 4, 0, 2};
  const std::vector<int> count{6, 7, 5, 9};
  std::vector<float> a = x, b = x, c = x, d = x, e = x, f = x;
  albino(a, {});
  commie(b, {});
  commie2(c, {});
  albino1(d, depth, {});
  commie1(e, depth, {});
  commie3(f, count, {});
  for (std::size_t i = 0; i < x.size(); ++i) {
    EXPECT_FLOAT_EQ(a[i], x[i]);
    EXPECT_FLOAT_EQ(b[i], x[i]);
    EXPECT_FLOAT_EQ(c[i], x[i]);
  }
  EXPECT_EQ(d, (std::vector<float>{0.8f, 1.2f, 1.0f, 1.1f}));
  EXPECT_EQ(e, (std::vector<float>{0.8f, 1.2f, 1.0f, 1.1f}));
  EXPECT_EQ(f, (std::vector<float>{0.8f, 1.2f, 0.0f, 1.1f}));
}

TEST(ar_filters, thin_years_hold_the_level) {
  // Level over the years with depth: (2 + 4) / 2 = 3, centred [-1, 0 (thin), 1].
  // albino1: backcast 0.5*-1 = -0.5; residuals -1 + 0.25 = -0.75, thin, 1 - 0 = 1.
  std::vector<float> x{2, 9, 4};
  const std::vector<int> depth{1, 0, 5};
  const std::vector<float> phi{0.5f};
  albino1(x, depth, phi);
  EXPECT_EQ(x, (std::vector<float>{2.25f, 1.0f, 4.0f}));
  // commie1: rebuilt -1 + 0.5*-0.5 = -1.25, thin stays 0, 1 + 0 = 1.
  std::vector<float> y{2, 9, 4};
  commie1(y, depth, phi);
  EXPECT_EQ(y, (std::vector<float>{1.75f, 1.0f, 4.0f}));
  // commie3 counts below 6 as thin: level 4 over the last year only, centred [0, 0, 0].
  std::vector<float> z{2, 9, 4};
  commie3(z, std::vector<int>{5, 0, 6}, phi);
  EXPECT_EQ(z, (std::vector<float>{0.0f, 0.0f, 4.0f}));
  // No year with depth: every year is thin.
  std::vector<float> none{2, 9};
  albino1(none, std::vector<int>{0, 0}, phi);
  EXPECT_EQ(none, (std::vector<float>{1.0f, 1.0f}));
}

TEST(ar_filters, kMaxYears_long_chronology_is_filtered) {
  // A chronology as long as the store allows, with an order-10 model: the work array is
  // sized to the data and the model, so nothing stops.
  std::vector<float> x = ar1_series(kMaxYears, 0.5f, 1.0f, 11);
  const std::vector<int> depth(x.size(), 10);
  std::vector<float> phi(10, 0.0f);
  phi[0] = 0.5f;
  EXPECT_NO_THROW(albino1(x, depth, phi));
  EXPECT_NO_THROW(commie1(x, depth, phi));
  EXPECT_EQ(x.size(), static_cast<std::size_t>(kMaxYears));
}

TEST(ar_filters, commie1_after_albino1_restores_the_chronology) {
  // The persistence filter inverts the prewhitening but for its start: its backcasts come
  // from the residuals, not from the chronology. For AR(1) with centred first value w1 the
  // prewhitening backcast is phi w1 and the first residual e1 = w1 (1 - phi^2); the rebuilt
  // first value is e1 (1 + phi^2) = w1 - phi^4 w1, and the error phi^(t+3) w1 of year t then
  // decays with the model. The residuals' own mean (of order 1/n) moves the level a little.
  const std::vector<float> original = ar1_series(400, 0.6f, 1.0f, 3);
  std::vector<int> depth(original.size(), 8);
  depth[100] = 0;  // a year without series inside the chronology
  std::vector<float> chronology = original;
  chronology[100] = 1.0f;
  double level = 0;
  for (std::size_t t = 0; t < chronology.size(); ++t) level += t == 100 ? 0.0 : chronology[t];
  level /= static_cast<double>(chronology.size() - 1);
  const double w1 = chronology[0] - level;
  std::vector<float> x = chronology;
  const std::vector<float> phi{0.6f};
  albino1(x, depth, phi);
  commie1(x, depth, phi);
  for (std::size_t t = 0; t < x.size(); ++t) {
    const double start_error = t < 100 ? -std::pow(0.6, static_cast<double>(t) + 4.0) * w1 : 0.0;
    EXPECT_NEAR(x[t], chronology[t] + start_error, 2e-3) << "year " << t + 1;
  }
  EXPECT_EQ(x[100], 1.0f);
}

TEST(albino, prewhitened_ar1_has_no_lag1_autocorrelation) {
  // The fitted model of a simulated AR(1) series (phi = 0.7, n = 500) whitens it: the lag-1
  // autocorrelation of the residuals lies within two standard errors (2 / sqrt(500) = 0.089)
  // of 0, while the series itself has about 0.7.
  std::vector<float> x = ar1_series(500, 0.7f, 1.0f, 5);
  EXPECT_GT(lag1_autocorrelation(x), 0.6f);
  Tsi1 store;
  store.reshape(500, 1);
  std::copy(x.begin(), x.end(), store.matrix.begin());
  store.year_row(1) = SeriesYears{.ify = 1, .ily = 500};
  store.year_row(2) = SeriesYears{.ify = 1, .ily = 500};
  const PooledFit fit = fit_pooled(pooled_cross_products(store, 1, std::vector<int>{1}), 500, 0);
  ASSERT_GE(fit.order, 1);
  albino(x, fit.coefficients);
  EXPECT_LT(std::fabs(lag1_autocorrelation(x)), 2.0f / std::sqrt(500.0f));
}

}  // namespace
}  // namespace dendro
