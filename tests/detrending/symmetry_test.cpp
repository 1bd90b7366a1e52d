#include "detrending/symmetry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "series/descriptive.h"

namespace dendro {
namespace {

// A right-skewed chronology: exp of a symmetric saw-tooth, so its logarithm (power 0) would
// be exactly symmetric.
std::vector<float> skewed(int n) {
  std::vector<float> x;
  for (int i = 0; i < n; ++i)
    x.push_back(std::exp(0.8f * static_cast<float>((i * 7) % 11 - 5) / 5.0f));
  return x;
}

TEST(mndf1, pairs_need_depth_in_both_years) {
  // Pairs (1,2), (2,4), (4,8): the second year has no depth, so only (4,8) is taken; level
  // 8 (the later value), spread 4.
  const std::vector<float> x{1, 2, 4, 8};
  const std::vector<int> depth{3, 0, 2, 1};
  const SpreadLevel p = mndf1(x, depth, kLevelLaterValue);
  ASSERT_EQ(p.count(), 1);
  EXPECT_NEAR(p.log_level[0], std::log(8.0), 1e-6);
  EXPECT_NEAR(p.log_spread[0], std::log(4.0), 1e-6);
  EXPECT_EQ(mndf1(std::vector<float>{5.0f}, std::vector<int>{4}, kLevelLaterValue).count(), 0);
}

TEST(symmetry, reduces_skewness_keeping_mean_and_spread) {
  std::vector<float> x = skewed(60);
  std::vector<int> depth(x.size(), 8);
  // Two years without depth carry values the transformation must not touch.
  x[10] = 50.0f;
  depth[10] = 0;
  x[40] = -3.0f;
  depth[40] = 0;
  std::vector<float> before = x;
  const Moments m0 = moment1(before, depth);
  ASSERT_GT(m0.skewness, 0.5f);

  const SymmetryResult r = symmetry(x, depth);
  EXPECT_GT(r.best_pass, 0);
  std::vector<float> after = x;
  const Moments m1 = moment1(after, depth);
  EXPECT_LT(std::fabs(m1.skewness), 0.5f * std::fabs(m0.skewness));
  EXPECT_NEAR(std::fabs(m1.skewness), std::fabs(r.skewness_after), 1e-3);
  // The rescaling restores the entry mean and standard deviation over the years with depth.
  EXPECT_NEAR(m1.mean, m0.mean, 1e-4);
  EXPECT_NEAR(m1.std_dev, m0.std_dev, 1e-4);
  EXPECT_EQ(x[10], 50.0f);
  EXPECT_EQ(x[40], -3.0f);
}

TEST(symmetry, symmetric_chronology_is_left_unchanged) {
  // Deviations {-1, 1, 0, 1, -1, 0} about 2 cancel exactly: skewness 0, which no pass can
  // beat (a tie keeps the earlier version).
  std::vector<float> x{1, 3, 2, 3, 1, 2};
  const std::vector<float> before = x;
  const std::vector<int> depth(x.size(), 5);
  const SymmetryResult r = symmetry(x, depth);
  EXPECT_EQ(r.best_pass, 0);
  EXPECT_EQ(x, before);

  std::vector<float> one{1.3f};
  EXPECT_EQ(symmetry(one, std::vector<int>{1}).best_pass, 0);
  EXPECT_EQ(one[0], 1.3f);
  std::vector<float> flat(5, 0.9f);
  EXPECT_EQ(symmetry(flat, std::vector<int>(5, 2)).best_pass, 0);
  EXPECT_EQ(flat, std::vector<float>(5, 0.9f));
}

}  // namespace
}  // namespace dendro
