#include "series/sorting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <vector>

namespace dendro {
namespace {

// Inputs that break sorts: empty, tiny, the insertion-only limit (7) and one above it,
// sorted, reversed, all equal, few distinct keys, and long random runs.
std::vector<std::vector<float>> awkward_inputs() {
  std::mt19937 gen(20240611);
  std::uniform_real_distribution<float> uniform(-5.0f, 5.0f);
  std::uniform_int_distribution<int> few(0, 3);
  std::vector<std::vector<float>> cases{{}, {1.5f}, {2, 1}, {3, 1, 2}};
  for (int n : {7, 8, 9, 16, 100, 1001, 5000}) {
    std::vector<float> r(n), keys(n), up(n), down(n), same(n, 0.25f);
    for (int i = 0; i < n; ++i) {
      r[i] = uniform(gen);
      keys[i] = static_cast<float>(few(gen));
      up[i] = static_cast<float>(i);
      down[i] = static_cast<float>(n - i);
    }
    cases.insert(cases.end(), {r, keys, up, down, same});
  }
  return cases;
}

TEST(sorting, ascending_sorts_agree_with_std_sort) {
  for (const auto& input : awkward_inputs()) {
    auto expected = input;
    std::sort(expected.begin(), expected.end());
    auto quick = input;
    qcksrt(quick);
    EXPECT_EQ(quick, expected) << "qcksrt, n = " << input.size();
    auto heap = input;
    sort(heap);
    EXPECT_EQ(heap, expected) << "sort, n = " << input.size();
  }
}

TEST(sorting, rank_sorts_descending) {
  for (const auto& input : awkward_inputs()) {
    auto expected = input;
    std::sort(expected.begin(), expected.end(), std::greater<float>());
    auto ranked = input;
    rank(ranked);
    EXPECT_EQ(ranked, expected) << "n = " << input.size();
  }
}

TEST(sorting, sorts_only_the_span_given) {
  std::vector<float> x{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  qcksrt(std::span<float>(x).subspan(2, 6));
  EXPECT_EQ(x, (std::vector<float>{9, 8, 2, 3, 4, 5, 6, 7, 1, 0}));
  std::vector<float> y{9, 8, 7, 6, 5, 4, 3, 2, 1, 0};
  sort(std::span<float>(y).subspan(1, 8));
  EXPECT_EQ(y, (std::vector<float>{9, 1, 2, 3, 4, 5, 6, 7, 8, 0}));
}

}  // namespace
}  // namespace dendro
