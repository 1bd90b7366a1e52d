#include "chronology/qn.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

namespace dendro {
namespace {

// The definition: the k-th smallest of the pairwise distances, k = h(h-1)/2, h = n/2 + 1.
double brute_force_raw_qn(const std::vector<float>& x) {
  std::vector<float> d;
  for (std::size_t i = 0; i < x.size(); ++i) {
    for (std::size_t j = i + 1; j < x.size(); ++j) d.push_back(std::fabs(x[i] - x[j]));
  }
  const std::size_t h = x.size() / 2 + 1;
  const std::size_t k = h * (h - 1) / 2;
  std::sort(d.begin(), d.end());
  return d[k - 1];
}

double factor(std::size_t n) {
  const double table[] = {0.399, 0.994, 0.512, 0.844, 0.611, 0.857, 0.669, 0.872};
  if (n <= 9) return table[n - 2];
  return n % 2 == 1 ? n / (n + 1.4) : n / (n + 3.8);
}

TEST(qn, small_samples_by_hand) {
  EXPECT_NEAR(qn(std::vector<float>{3.0f, 1.0f}), 0.399 * 2.2219 * 2.0, 1e-6);
  // n = 3: h = 2, k = 1, the smallest of the distances 1, 3, 4.
  EXPECT_NEAR(qn(std::vector<float>{0.0f, 1.0f, 4.0f}), 0.994 * 2.2219 * 1.0, 1e-6);
  // Fewer than two values have no distance.
  EXPECT_EQ(qn(std::vector<float>{5.0f}), 0.0f);
  EXPECT_EQ(qn(std::vector<float>{}), 0.0f);
}

TEST(qn, factors_for_n_9_10_11) {
  // 0..n-1 has distance d exactly n - d times: sorted distances 1 (n-1 times), 2 (n-2 times)...
  // n = 9: k = 10, distances 1 x8, 2 x7: the 10th is 2.
  // n = 10: k = 15, 1 x9, 2 x8: the 15th is 2.  n = 11: k = 15, 1 x10, 2 x9: the 15th is 2.
  auto ramp = [](int n) {
    std::vector<float> x;
    for (int i = 0; i < n; ++i) x.push_back(static_cast<float>(i));
    return x;
  };
  EXPECT_NEAR(qn(ramp(9)), 0.872 * 2.2219 * 2, 1e-5);
  EXPECT_NEAR(qn(ramp(10)), 10.0 / 13.8 * 2.2219 * 2, 1e-5);
  EXPECT_NEAR(qn(ramp(11)), 11.0 / 12.4 * 2.2219 * 2, 1e-5);
}

TEST(qn, equals_the_brute_force_kth_distance) {
  std::mt19937 gen(2024);
  std::normal_distribution<float> normal(0.0f, 1.0f);
  for (std::size_t n : {4u, 7u, 12u, 25u, 50u, 101u, 400u, 1001u}) {
    for (int trial = 0; trial < 3; ++trial) {
      std::vector<float> x(n);
      for (float& v : x) v = normal(gen);
      if (trial == 2) {
        // Heavy ties: values on a coarse grid.
        for (float& v : x) v = std::round(v * 2.0f) / 2.0f;
      }
      const std::vector<float> before = x;
      EXPECT_NEAR(qn(x), factor(n) * 2.2219 * brute_force_raw_qn(x), 1e-5) << "n " << n;
      EXPECT_EQ(x, before);
    }
  }
}

TEST(qn, enough_ties_give_zero) {
  // n = 8: k = 10 of 28 distances; seven equal values give 21 zero distances.
  EXPECT_EQ(qn(std::vector<float>{2, 2, 2, 2, 2, 2, 2, 9}), 0.0f);
  EXPECT_EQ(qn(std::vector<float>(50, 1.5f)), 0.0f);
}

TEST(qn_helpers, whimed_pull_sortq) {
  // Weights 1, 1, 5 on 1, 2, 3: half the total is 3.5, first exceeded at 3.
  EXPECT_EQ(whimed(std::vector<float>{2, 1, 3}, std::vector<long long>{1, 1, 5}), 3.0f);
  // Equal weights on 1..4: cumulative 1, 2, 3, 4 exceeds 2 first at 3 (the high median).
  EXPECT_EQ(whimed(std::vector<float>{4, 1, 3, 2}, std::vector<long long>{1, 1, 1, 1}), 3.0f);
  EXPECT_EQ(whimed(std::vector<float>{7}, std::vector<long long>{2}), 7.0f);
  EXPECT_EQ(pull(std::vector<float>{5, 1, 4, 1, 3}, 1), 1.0f);
  EXPECT_EQ(pull(std::vector<float>{5, 1, 4, 1, 3}, 2), 1.0f);
  EXPECT_EQ(pull(std::vector<float>{5, 1, 4, 1, 3}, 5), 5.0f);
  EXPECT_EQ(sortq(std::vector<float>{3, -1, 2, 2}), (std::vector<float>{-1, 2, 2, 3}));
}

}  // namespace
}  // namespace dendro
