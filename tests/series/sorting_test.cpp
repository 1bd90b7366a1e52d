#include "series/sorting.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
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

// The bits of the values, so that a -0 and a +0 (equal as numbers) tell apart.
std::vector<std::uint32_t> bits(const std::vector<float>& x) {
  std::vector<std::uint32_t> b(x.size());
  std::memcpy(b.data(), x.data(), x.size() * sizeof(float));
  return b;
}

// Zeros of both signs sort in the order the partition-exchange sort leaves them: qcksrt
// keeps that order (its own sort), and still sorts and keeps every value.
TEST(sorting, zeros_of_both_signs_keep_the_partition_sort) {
  EXPECT_TRUE(sorts_alike(std::vector<float>{0.0f, 1.0f, 0.0f}));
  EXPECT_TRUE(sorts_alike(std::vector<float>{-0.0f, 1.0f, -0.0f}));
  EXPECT_FALSE(sorts_alike(std::vector<float>{0.0f, 1.0f, -0.0f}));
  EXPECT_FALSE(sorts_alike(std::vector<float>{2.0f, std::nanf("")}));
  // Seven values go to straight insertion, which never moves a value past an equal one:
  // by hand, the zeros keep their order.
  std::vector<float> few{1.0f, -0.0f, 0.0f, -1.0f, -0.0f, 0.0f, 2.0f};
  qcksrt(few);
  EXPECT_EQ(bits(few), bits({-1.0f, -0.0f, 0.0f, -0.0f, 0.0f, 1.0f, 2.0f}));
  std::mt19937 gen(7);
  std::uniform_int_distribution<int> pick(-2, 2);
  std::vector<float> many(500);
  for (float& v : many) {
    const int k = pick(gen);
    v = k == 0 ? 0.0f : k == 1 ? -0.0f : static_cast<float>(k);
  }
  std::vector<float> sorted = many;
  qcksrt(sorted);
  EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
  auto a = bits(many), b = bits(sorted);
  std::sort(a.begin(), a.end());
  std::sort(b.begin(), b.end());
  EXPECT_EQ(a, b);
}

// A selection puts at each position asked for the very value qcksrt's sorted array holds
// there, on every awkward input and on zeros of both signs.
TEST(sorting, selection_agrees_with_the_sort) {
  auto inputs = awkward_inputs();
  std::vector<float> zeros(40);
  for (std::size_t k = 0; k < zeros.size(); ++k)
    zeros[k] = k % 3 == 0 ? -0.0f : k % 3 == 1 ? 0.0f : -1.0f;
  inputs.push_back(zeros);
  for (const auto& input : inputs) {
    if (input.empty()) continue;
    auto sorted = input;
    qcksrt(sorted);
    const std::size_t n = input.size();
    const std::vector<std::size_t> positions{0, (n - 1) / 2, n / 2, n / 2, n - 1};
    auto selected = input;
    select(selected, positions);
    for (std::size_t p : positions) {
      EXPECT_EQ(bits({selected[p]}), bits({sorted[p]})) << "n = " << n << ", position " << p;
    }
  }
}

// Long arrays go to the radix sort, which orders the values by their bits: the ends of
// the float range, subnormals, zeros of one sign, and values whose high bytes are all the
// same (a byte pass left out) must come out as the comparison sort leaves them.
TEST(sorting, long_arrays_of_special_values_sort_as_by_comparison) {
  const float inf = std::numeric_limits<float>::infinity();
  const float tiny = std::numeric_limits<float>::denorm_min();
  const float big = std::numeric_limits<float>::max();
  const std::vector<float> specials{inf,  -inf,   tiny,    -tiny, big,
                                    -big, 1e-38f, -1e-38f, 1.0f,  -1.0f};
  std::mt19937 gen(7);
  std::uniform_int_distribution<std::size_t> pick(0, specials.size() - 1);
  std::uniform_real_distribution<float> near_one(1.0f, 1.0078125f);  // one high byte pattern
  std::vector<std::vector<float>> cases;
  for (float zero : {0.0f, -0.0f}) {
    std::vector<float> mixed(300), ones(300);
    for (std::size_t i = 0; i < mixed.size(); ++i) {
      mixed[i] = i % 5 == 0 ? zero : specials[pick(gen)];
      ones[i] = near_one(gen);
    }
    cases.push_back(mixed);
    cases.push_back(ones);
  }
  for (const auto& input : cases) {
    auto expected = input;
    std::sort(expected.begin(), expected.end());
    auto quick = input;
    qcksrt(quick);
    EXPECT_EQ(bits(quick), bits(expected));
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
