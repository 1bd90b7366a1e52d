#include "statistics/pair_correlations.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <numeric>

#include "series/correlation.h"
#include "tests/statistics/test_support.h"

namespace dendro {
namespace {

// 40 series of 120 years (1701-1820) with a shared signal, from a fixed generator.
Tsi1 random_store() {
  std::uint64_t state = 99;
  const auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<float>(static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5);
  };
  std::vector<float> signal(120);
  for (float& s : signal) s = next();
  std::vector<testing::TestSeries> series;
  for (int i = 0; i < 40; ++i) {
    std::vector<float> v(120);
    for (int t = 0; t < 120; ++t) v[t] = 1.0f + signal[t] + 0.8f * next();
    series.push_back({"S" + std::to_string(i), 1701, v});
  }
  return testing::make_store(1701, 1820, series);
}

TEST(pair_correlator, every_partner_block_and_gather) {
  const Tsi1 tsi1 = random_store();
  const SeriesView view = series_view(tsi1);
  PairCorrelator correlator(view);
  // Partner counts that, with series i in the first lane, leave lanes of a block of eight
  // empty, fill it, and run over into further blocks: runs of consecutive series, read
  // where they stand up to the last series (and the zeros after it), and scattered ones,
  // copied. Every list over the same spans again, the means then known from before.
  std::vector<std::vector<int>> lists;
  for (int count : {1, 7, 8, 9, 17, 39}) {
    std::vector<int> run(count);
    std::iota(run.begin(), run.end(), 41 - count);
    lists.push_back(run);
  }
  lists.push_back({2, 3, 5, 8, 13, 21, 34});
  lists.push_back({1, 40});
  for (int round = 1; round <= 2; ++round) {
    for (const auto& partners : lists) {
      for (const auto& [start, length] :
           {std::pair{1701, 120}, std::pair{1701, 50}, std::pair{1750, 21}, std::pair{1711, 100}}) {
        const int i = partners.front() == 1 ? 20 : 1;
        std::vector<float> r(partners.size());
        correlator.correlate(i, partners, start, length, r);
        for (std::size_t k = 0; k < partners.size(); ++k) {
          const auto x = view.values(i, start, length), y = view.values(partners[k], start, length);
          EXPECT_NEAR(r[k], testing::pearson(x, y), 5e-6)
              << "series " << i << " with " << partners[k];
          // The same operations in the same order as the shared routine: the same float.
          EXPECT_EQ(r[k], pearsn(x, y).r) << "series " << i << " with " << partners[k];
        }
      }
    }
  }
}

TEST(pair_correlator, bounds_of_r) {
  // x and 2x + 1 correlate exactly; the single-precision sums could leave r a hair above 1.
  std::vector<float> x(50), y(50), z(50);
  for (int t = 0; t < 50; ++t) {
    x[t] = 0.37f * static_cast<float>(t % 7) + 0.011f * static_cast<float>(t);
    y[t] = 2.0f * x[t] + 1.0f;
    z[t] = -x[t];
  }
  const Tsi1 tsi1 = testing::make_store(1, 50, {{"X", 1, x}, {"Y", 1, y}, {"Z", 1, z}});
  const SeriesView view = series_view(tsi1);
  PairCorrelator correlator(view);
  const std::vector<int> partners{2, 3};
  std::vector<float> r(2);
  correlator.correlate(1, partners, 1, 50, r);
  EXPECT_NEAR(r[0], 1.0, 1e-6);
  EXPECT_LE(r[0], 1.0f);
  EXPECT_NEAR(r[1], -1.0, 1e-6);
  EXPECT_GE(r[1], -1.0f);
}

}  // namespace
}  // namespace dendro
