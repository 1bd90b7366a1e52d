#include "statistics/pair_correlations.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "series/correlation.h"
#include "tests/statistics/test_support.h"

namespace dendro {
namespace {

// Every pair that correlate_pairs hands on, by (i, j), in the order it came.
struct Pairs {
  std::vector<CorrelationPair> list;
  std::map<std::pair<int, int>, CorrelationPair> by_series;

  Pairs(const SeriesView& view, int threads) {
    correlate_pairs(
        view, 21,
        [&](const CorrelationPair& p) {
          list.push_back(p);
          by_series[{p.first, p.second}] = p;
        },
        threads);
  }
  int years(int i, int j) const {
    const auto p = by_series.find({i, j});
    return p == by_series.end() ? 0 : p->second.years;
  }
  float r(int i, int j) const { return by_series.at({i, j}).r; }
};

using testing::Noise;

// 29 series (not a multiple of the lanes) on 1701-1820 with a shared signal and spans of
// every kind: the whole range, staggered starts and ends, overlaps of exactly 20 and 21
// years with series 1, values on a coarse grid (many ties), a constant series, and one
// constant over its first 21 years only.
Tsi1 awkward_store() {
  Noise noise(99);
  std::vector<float> signal(120);
  for (float& s : signal) s = noise.next();
  std::vector<testing::TestSeries> series;
  auto add = [&](int first, int length, float grid) {
    std::vector<float> v(static_cast<std::size_t>(length));
    for (int t = 0; t < length; ++t) {
      const float value =
          1.0f + signal[static_cast<std::size_t>(first - 1701 + t)] + 0.8f * noise.next();
      v[static_cast<std::size_t>(t)] = grid > 0 ? std::round(value / grid) * grid : value;
    }
    series.push_back({"S" + std::to_string(series.size() + 1), first, v});
  };
  add(1701, 60, 0);  // series 1: 1701-1760
  add(1740, 81, 0);  // 1740-1820: 21 years with series 1
  add(1741, 80, 0);  // 1741-1820: 20 years with series 1
  for (int k = 0; k < 20; ++k) {
    const int first = 1701 + noise.below(70);
    add(first, std::min(1820 - first + 1, 21 + noise.below(100)), k % 3 == 0 ? 0.25f : 0.0f);
  }
  add(1701, 120, 0);
  series.push_back({"FLAT", 1701, std::vector<float>(120, 1.5f)});
  std::vector<float> late(120, 2.0f);
  for (int t = 21; t < 120; ++t) late[static_cast<std::size_t>(t)] += noise.next();
  series.push_back({"LATE", 1701, late});
  add(1780, 41, 0.5f);
  add(1701, 120, 0);
  return testing::make_store(1701, 1820, series);
}

TEST(pair_correlations, every_pair_is_pearsn_over_its_common_years) {
  const Tsi1 tsi1 = awkward_store();
  const SeriesView view = series_view(tsi1);
  const int n = view.count();
  const Pairs pairs(view, 1);
  int correlated = 0, too_short = 0, flat = 0;
  for (int i = 1; i < n; ++i) {
    for (int j = i + 1; j <= n; ++j) {
      const int start = std::max(view.first[i - 1], view.first[j - 1]);
      const int length = std::min(view.last[i - 1], view.last[j - 1]) - start + 1;
      if (length < 21) {
        EXPECT_EQ(pairs.years(i, j), 0) << i << " " << j;
        ++too_short;
        continue;
      }
      const auto x = view.values(i, start, length), y = view.values(j, start, length);
      if (!has_spread(x) || !has_spread(y)) {
        EXPECT_EQ(pairs.years(i, j), 0) << i << " " << j;
        ++flat;
        continue;
      }
      EXPECT_EQ(pairs.years(i, j), length) << i << " " << j;
      // The same operations in the same order as the shared routine: the same float.
      EXPECT_EQ(pairs.r(i, j), pearsn(x, y).r) << i << " " << j;
      EXPECT_NEAR(pairs.r(i, j), testing::pearson(x, y), 5e-6) << i << " " << j;
      ++correlated;
    }
  }
  // The data reach every case: the 20-year pair, the flat series, and plenty correlated.
  EXPECT_GT(too_short, 0);
  EXPECT_EQ(pairs.years(1, 3), 0);
  EXPECT_EQ(pairs.years(1, 2), 21);
  EXPECT_GT(flat, 25);
  EXPECT_GT(correlated, 250);
  // In the order of the first series, then the second.
  for (std::size_t k = 1; k < pairs.list.size(); ++k) {
    const CorrelationPair &a = pairs.list[k - 1], &b = pairs.list[k];
    EXPECT_TRUE(a.first < b.first || (a.first == b.first && a.second < b.second)) << k;
  }
}

TEST(pair_correlations, same_results_on_any_number_of_threads) {
  const Tsi1 tsi1 = awkward_store();
  const SeriesView view = series_view(tsi1);
  const Pairs one(view, 1);
  for (int threads : {2, 3, 8, 40}) {
    const Pairs many(view, threads);
    ASSERT_EQ(many.list.size(), one.list.size()) << threads << " threads";
    for (std::size_t k = 0; k < one.list.size(); ++k) {
      const CorrelationPair &a = many.list[k], &b = one.list[k];
      EXPECT_TRUE(a.r == b.r && a.first == b.first && a.second == b.second && a.years == b.years)
          << threads << " threads, pair " << k;
    }
  }
}

TEST(pair_correlations, bounds_of_r) {
  // x and 2x + 1 correlate exactly; the single-precision sums could leave r a hair above 1.
  std::vector<float> x(50), y(50), z(50);
  for (int t = 0; t < 50; ++t) {
    x[t] = 0.37f * static_cast<float>(t % 7) + 0.011f * static_cast<float>(t);
    y[t] = 2.0f * x[t] + 1.0f;
    z[t] = -x[t];
  }
  const Tsi1 tsi1 = testing::make_store(1, 50, {{"X", 1, x}, {"Y", 1, y}, {"Z", 1, z}});
  const Pairs pairs(series_view(tsi1), 1);
  EXPECT_NEAR(pairs.r(1, 2), 1.0, 1e-6);
  EXPECT_LE(pairs.r(1, 2), 1.0f);
  EXPECT_NEAR(pairs.r(1, 3), -1.0, 1e-6);
  EXPECT_GE(pairs.r(1, 3), -1.0f);
}

TEST(pair_correlations, fewer_than_two_series_have_no_pairs) {
  const Tsi1 tsi1 = testing::make_store(1, 30, {{"X", 1, std::vector<float>(30, 1.0f)}});
  EXPECT_TRUE(Pairs(series_view(tsi1), 4).list.empty());
}

}  // namespace
}  // namespace dendro
