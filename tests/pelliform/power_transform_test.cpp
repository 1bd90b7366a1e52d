#include "pelliform/power_transform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "pelliform_session.h"

namespace dendro {
namespace {

using testing::make_set;

// Series whose spread is exactly c * level^b, level = the later value of a pair and
// spread = its step from the earlier one. The steps alternate up and down; each new level
// L' solves |L' - L| = c L'^b in closed form:
//   b = 0: L' = L +- c;
//   b = 1: L' = L / (1 - c) up, L / (1 + c) down;
//   b = 1/2: sqrt(L') = (+-c + sqrt(c^2 + 4 L)) / 2.
std::vector<float> spread_level_series(double b, double c, double start, int n) {
  std::vector<float> v{static_cast<float>(start)};
  double level = start;
  for (int k = 1; k < n; ++k) {
    const double sign = k % 2 == 1 ? 1.0 : -1.0;
    if (b == 0.0) {
      level += sign * c;
    } else if (b == 1.0) {
      level = level / (1.0 - sign * c);
    } else {
      const double root = (sign * c + std::sqrt(c * c + 4.0 * level)) / 2.0;
      level = root * root;
    }
    v.push_back(static_cast<float>(level));
  }
  return v;
}

// Three values whose two pairs lie on a line of the given slope: levels 1 and e, spreads
// (e - 1) e^-slope and e - 1.
std::vector<float> two_pairs_of_slope(double slope) {
  const double e = std::exp(1.0);
  return {static_cast<float>(1.0 + (e - 1.0) * std::exp(-slope)), 1.0f, static_cast<float>(e)};
}

TEST(trend2, known_lines) {
  const std::vector<float> x{1, 2, 3, 4}, y{5, 8, 11, 14};  // y = 2 + 3x
  const Line l = trend2(x, y);
  EXPECT_NEAR(l.slope, 3.0, 1e-6);
  EXPECT_NEAR(l.intercept, 2.0, 1e-5);
  const std::vector<float> same{2, 2, 2}, z{1, 5, 9};  // x does not vary: slope 0
  EXPECT_EQ(trend2(same, z).slope, 0.0f);
  EXPECT_NEAR(trend2(same, z).intercept, 5.0, 1e-6);
}

TEST(slpt1, power_is_one_minus_the_spread_level_slope) {
  SeriesSet set = make_set({{1900, spread_level_series(1.0, 0.5, 1.0, 40)},
                            {1900, spread_level_series(0.5, 0.3, 4.0, 40)},
                            {1900, spread_level_series(0.0, 0.7, 3.0, 40)}});
  const PowerTransformResult r = slpt1(set);
  ASSERT_EQ(r.power.size(), 3u);
  EXPECT_NEAR(r.series[0].fit.slope, 1.0, 1e-4);
  EXPECT_EQ(r.power[0], 0.0f);  // slope 1: the logarithm
  EXPECT_NEAR(r.series[1].fit.slope, 0.5, 1e-3);
  EXPECT_NEAR(r.power[1], 0.5, 1e-3);
  EXPECT_NEAR(r.series[2].fit.slope, 0.0, 1e-4);
  EXPECT_NEAR(r.power[2], 1.0, 1e-4);
  EXPECT_NEAR(r.mean_power, 0.5, 1e-3);  // (0 + 0.5 + 1) / 3
  EXPECT_EQ(r.pooled_level.size(), 3u * 39u);
}

TEST(slpt1, powers_are_clamped_to_zero_or_one) {
  SeriesSet set = make_set(
      {{1, two_pairs_of_slope(0.96)}, {1, two_pairs_of_slope(0.9)}, {1, two_pairs_of_slope(-0.5)}});
  const PowerTransformResult r = slpt1(set);
  EXPECT_EQ(r.power[0], 0.0f);         // 1 - 0.96 = 0.04 is below 0.05
  EXPECT_NEAR(r.power[1], 0.1, 1e-5);  // 1 - 0.9
  EXPECT_EQ(r.power[2], 1.0f);         // 1 + 0.5, capped
}

TEST(slpt1, transformed_series_keep_their_range) {
  const std::vector<float> before = spread_level_series(1.0, 0.5, 1.0, 40);
  SeriesSet set = make_set({{1900, before}});
  slpt1(set);
  const std::vector<float>& after = set.values[0];
  const auto [lo, hi] = std::minmax_element(before.begin(), before.end());
  EXPECT_NEAR(*std::min_element(after.begin(), after.end()), *lo, 1e-5);
  EXPECT_NEAR(*std::max_element(after.begin(), after.end()), *hi, 1e-4);
  // The logarithm rescaled: x -> (ln x - ln m) (M - m) / (ln M - ln m) + m.
  const double m = *lo, big = *hi, x = before[5];
  EXPECT_NEAR(after[5], (std::log(x) - std::log(m)) * (big - m) / (std::log(big) - std::log(m)) + m,
              1e-4);
}

TEST(slpt1, zero_rings_give_no_pair_and_are_raised_before_the_power) {
  // Pairs (level 2, spread 2) and (3, 1); level 0 gives none. Slope
  // (ln 1 - ln 2) / (ln 3 - ln 2) = -1.7095, so p = 1: the 0 becomes 0.01, then
  // (t - 0.01) * 3 / 2.99 rescales into 0..3.
  SeriesSet set = make_set({{1900, {1.0f, 0.0f, 2.0f, 3.0f}}});
  const PowerTransformResult r = slpt1(set);
  EXPECT_EQ(r.series[0].log_level.size(), 2u);
  EXPECT_NEAR(r.series[0].fit.slope, -1.70951, 1e-4);
  EXPECT_EQ(r.power[0], 1.0f);
  EXPECT_NEAR(set.values[0][0], 0.99 * 3.0 / 2.99, 1e-5);
  EXPECT_NEAR(set.values[0][1], 0.0, 1e-6);
  EXPECT_NEAR(set.values[0][2], 1.99 * 3.0 / 2.99, 1e-5);
  EXPECT_NEAR(set.values[0][3], 3.0, 1e-6);
}

TEST(slpt1, series_without_pairs_or_range_stay_as_they_were) {
  SeriesSet set = make_set({{1900, {2.0f, 2.0f, 2.0f}}, {1900, {0.0f, 0.0f}}});
  const PowerTransformResult r = slpt1(set);
  EXPECT_EQ(r.power[0], 1.0f);  // no pair: slope 0
  EXPECT_EQ(set.values[0], (std::vector<float>{2.0f, 2.0f, 2.0f}));
  EXPECT_EQ(set.values[1], (std::vector<float>{0.0f, 0.0f}));
}

}  // namespace
}  // namespace dendro
