#include "series/autoregression.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "series/store.h"

namespace dendro {
namespace {

// Gaussian noise by Box-Muller from mt19937's raw words (fully specified by the standard),
// so the simulated series are the same on every platform.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : gen_(seed) {}
  double next() {
    const double u1 = (gen_() + 1.0) / 4294967297.0;
    const double u2 = gen_() / 4294967296.0;
    return std::sqrt(-2.0 * std::log(u1)) * std::cos(6.283185307179586 * u2);
  }

 private:
  std::mt19937 gen_;
};

// x_t = phi1 x_{t-1} + phi2 x_{t-2} + e_t around the level 1, after a burn-in of 200.
std::vector<float> ar2(int n, double phi1, double phi2, std::uint32_t seed) {
  Noise e(seed);
  double x1 = 0, x2 = 0;
  std::vector<float> x;
  for (int t = 0; t < n + 200; ++t) {
    const double v = phi1 * x1 + phi2 * x2 + 0.2 * e.next();
    x2 = x1;
    x1 = v;
    if (t >= 200) x.push_back(static_cast<float>(1.0 + v));
  }
  return x;
}

TEST(acf, small_series_against_r) {
  // R: x <- c(1,2,4,3,5); acf(x, lag.max=4)$acf gives 0.1 0 -0.2 -0.4 after lag 0;
  //    pacf(x, lag.max=4)$acf gives 0.1 -0.0101010101 -0.2010204082 -0.3790954990.
  // Limits by hand: 2/sqrt(5), then 2 sqrt(1 + 2 sum r^2)/sqrt(5) over the lower lags.
  std::vector<float> x{1, 2, 4, 3, 5};
  const Autocorrelation a = acf(x, 3);
  ASSERT_EQ(a.r.size(), 4u);
  const double r[] = {0.1, 0.0, -0.2, -0.4};
  const double p[] = {0.1, -0.0101010101, -0.2010204082, -0.3790954990};
  const double l[] = {0.894427191, 0.903327183, 0.903327183, 0.938083152};
  for (int k = 0; k < 4; ++k) {
    EXPECT_NEAR(a.r[k], r[k], 1e-6) << "lag " << k + 1;
    EXPECT_NEAR(a.partial[k], p[k], 1e-6) << "lag " << k + 1;
    EXPECT_NEAR(a.limits[k], l[k], 1e-6) << "lag " << k + 1;
  }
  const float given[] = {1, 2, 4, 3, 5};
  for (int j = 0; j < 5; ++j) EXPECT_NEAR(x[j], given[j], 1e-6);
}

TEST(acf1, years_without_depth_and_undefined_series) {
  // The same values with a year of no depth in between: the pair across it does not
  // count, and N stays 5. Hand: d = -2, -1 | 1, 0, 2; lag 1 products 2 + 0 + 0 = 2 (the
  // pair -1, 1 spans the empty year), / (2 * 5) = 0.2.
  std::vector<float> x{1, 2, -9.99f, 4, 3, 5};
  const std::vector<int> depth{3, 1, 0, 2, 2, 4};
  const Autocorrelation a = acf1(x, depth, 0);
  ASSERT_EQ(a.r.size(), 1u);
  EXPECT_NEAR(a.r[0], 0.2, 1e-6);
  EXPECT_NEAR(a.limits[0], 2 / std::sqrt(5.0), 1e-6);
  EXPECT_EQ(x[2], -9.99f);

  std::vector<float> flat(8, 1.5f);
  const Autocorrelation f = acf(flat, 2);
  EXPECT_EQ(f.r, std::vector<float>(3, kUndefined));
  EXPECT_EQ(f.limits, std::vector<float>(3, kUndefined));
  EXPECT_EQ(flat, std::vector<float>(8, 1.5f));
  EXPECT_EQ(acf1(x, std::vector<int>(6, 0), 2).partial, std::vector<float>(3, kUndefined));
}

TEST(memcof, hand_worked_orders) {
  // Hand: x = 1, 2, 4, 3, 5 centred to -2, -1, 1, 0, 2; p0 = 2. Order 1: f = -2 -1 1 0,
  // b = -1 1 0 2, d1 = 2 * 1 / 12 = 1/6, p1 = 2 (1 - 1/36). Errors after order 1:
  // f = -11/6 -7/6 1, b = 7/6 -1/6 2; d2 = 2 (2/36) / (400/36) = 0.01, p2 = p1 * 0.9999.
  std::vector<float> x{1, 2, 4, 3, 5};
  const BurgFit fixed = memcof(x, 2, kFixedOrder);
  EXPECT_EQ(fixed.order, 1);
  ASSERT_EQ(fixed.coefficients.size(), 1u);
  EXPECT_NEAR(fixed.coefficients[0], 1.0 / 6.0, 1e-6);
  EXPECT_NEAR(fixed.explained, 1 - (35.0 / 36.0) * 0.9999, 1e-6);
  EXPECT_EQ(x, (std::vector<float>{-2, -1, 1, 0, 2}));  // left centred

  // Criterion: A0 = 5 ln 2 + 2 = 5.47; A1 = 5 ln p1 + 4 + 12/2 = 13.32; A2 = 5 ln p2 + 6 +
  // 24/1 = 33.32 rises, so order 1 would be chosen, but A1 > A0: order 0.
  std::vector<float> y{1, 2, 4, 3, 5};
  const BurgFit chosen = memcof(y, 2, kOrderByCriterion);
  EXPECT_EQ(chosen.order, 0);
  EXPECT_EQ(chosen.explained, 0.0f);
  EXPECT_TRUE(chosen.coefficients.empty());
}

TEST(memcof, fixed_order_three_against_r) {
  // R: y <- (the 60 values below); ar.burg(y, aic=FALSE, order.max=3, demean=TRUE)$ar
  //    gives 0.50354885898 -0.26893085310 0.05845551415.
  std::vector<float> y{
      -0.256f, 0.383f,  0.042f,  -0.460f, -1.096f, -0.615f, 1.041f,  0.910f,  1.057f,  0.712f,
      0.616f,  0.491f,  -1.463f, 0.100f,  1.093f,  0.723f,  -1.638f, -2.561f, -1.534f, -0.795f,
      -0.144f, -0.186f, 0.312f,  -0.459f, -0.052f, 0.568f,  -0.453f, 1.310f,  1.461f,  1.444f,
      -0.075f, -0.918f, -0.492f, -0.092f, 0.550f,  0.453f,  -0.404f, -1.185f, -0.901f, 1.045f,
      -0.252f, -0.375f, 0.524f,  -1.166f, -0.767f, 1.377f,  -1.329f, -1.553f, -0.208f, -0.721f,
      -0.111f, 0.057f,  -1.547f, 0.015f,  1.152f,  1.208f,  1.702f,  1.081f,  0.391f,  -1.088f};
  const BurgFit fit = memcof(y, 4, kFixedOrder);
  ASSERT_EQ(fit.order, 3);
  EXPECT_NEAR(fit.coefficients[0], 0.50354885898, 2e-5);
  EXPECT_NEAR(fit.coefficients[1], -0.26893085310, 2e-5);
  EXPECT_NEAR(fit.coefficients[2], 0.05845551415, 2e-5);
}

TEST(memcof, simulated_processes_within_sampling_error) {
  // AR(1) with 0.6, n = 2000: standard error sqrt((1 - 0.36) / 2000) = 0.018; the
  // explained variance of an AR(1) is phi^2 = 0.36.
  auto x = ar2(2000, 0.6, 0.0, 11);
  const BurgFit one = memcof(x, 11, kOrderByCriterion);
  EXPECT_EQ(one.order, 1);
  EXPECT_NEAR(one.coefficients[0], 0.6, 0.055);
  EXPECT_NEAR(one.explained, 0.36, 0.05);

  // AR(2) with 0.5 and -0.3, fixed order 2: standard errors about 0.021.
  auto z = ar2(2000, 0.5, -0.3, 5);
  const BurgFit two = memcof(z, 3, kFixedOrder);
  ASSERT_EQ(two.order, 2);
  EXPECT_NEAR(two.coefficients[0], 0.5, 0.065);
  EXPECT_NEAR(two.coefficients[1], -0.3, 0.065);

  // The criterion still falling at order m: order m - 1 with its own coefficients, which
  // are the order-1 fit and not the start of the order-2 model.
  auto w = ar2(2000, 0.5, -0.3, 5);
  const BurgFit capped = memcof(w, 2, kOrderByCriterion);
  EXPECT_EQ(capped.order, 1);
  auto v = ar2(2000, 0.5, -0.3, 5);
  EXPECT_EQ(capped.coefficients, memcof(v, 2, kFixedOrder).coefficients);
  EXPECT_NEAR(capped.coefficients[0], 0.5 / 1.3, 0.05);  // lag-1 autocorrelation of the AR(2)

  // White noise of 100 values: the corrected criterion keeps order 0 for most series
  // (15 of these 20), and order 0 always reports no explained variance.
  int zeros = 0;
  for (std::uint32_t seed = 1; seed <= 20; ++seed) {
    auto noise = ar2(100, 0.0, 0.0, seed);
    const BurgFit none = memcof(noise, 11, kOrderByCriterion);
    if (none.order != 0) continue;
    ++zeros;
    EXPECT_EQ(none.explained, 0.0f);
    EXPECT_TRUE(none.coefficients.empty());
  }
  EXPECT_GE(zeros, 12);
}

TEST(memcof1, depth_mask_and_restored_series) {
  auto x = ar2(600, 0.6, 0.0, 21);
  std::vector<int> depth(x.size(), 4);
  for (int t = 0; t < 5; ++t) depth[t] = 0;  // leading years without series
  const auto before = x;
  const BurgFit fit = memcof1(x, depth, 2, kFixedOrder);
  EXPECT_EQ(fit.order, 1);
  EXPECT_NEAR(fit.coefficients[0], 0.6, 0.1);
  for (std::size_t t = 0; t < x.size(); ++t) EXPECT_NEAR(x[t], before[t], 1e-5);
}

TEST(memcof, degenerate_series) {
  std::vector<float> flat(50, 2.0f);
  const BurgFit f = memcof(flat, 11, kOrderByCriterion);
  EXPECT_EQ(f.order, 0);
  EXPECT_EQ(f.explained, 0.0f);
  std::vector<float> tiny{1, 3, 2};
  EXPECT_EQ(memcof(tiny, 11, kFixedOrder).order, 0);
  // Seven values allow orders up to 4 (N - k - 2 > 0): fixed order 10 becomes order 3.
  std::vector<float> short_series{1, 3, 2, 5, 4, 6, 2};
  const BurgFit s = memcof(short_series, 11, kFixedOrder);
  EXPECT_EQ(s.order, 3);
  EXPECT_TRUE(std::isfinite(s.explained));
  std::vector<float> none;
  EXPECT_EQ(memcof(none, 3, kFixedOrder).order, 0);
  EXPECT_EQ(memcof1(flat, std::vector<int>(50, 0), 3, kFixedOrder).order, 0);
}

}  // namespace
}  // namespace dendro
