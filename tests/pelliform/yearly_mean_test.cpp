#include "pelliform/yearly_mean.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

#include "engine_fixture.h"
#include "series/biweight.h"
#include "series/console.h"
#include "series/descriptive.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::Quiet;

EngineMatrix columns(const std::vector<std::vector<float>>& cols) {
  EngineMatrix m;
  m.reshape(static_cast<int>(cols[0].size()), static_cast<int>(cols.size()));
  for (std::size_t j = 0; j < cols.size(); ++j) {
    for (std::size_t k = 0; k < cols[j].size(); ++k) {
      m.at(static_cast<int>(k) + 1, static_cast<int>(j) + 1) = cols[j][k];
    }
  }
  return m;
}

TEST(robsum, arithmetic_mean_depth_and_empty_years) {
  Quiet q;
  const float e = kEmptyCell;
  // Year 1: 1, 2, 3 (mean 2, sd 1); year 2: only 4; year 3: no series at all.
  const EngineMatrix x = columns({{1, 4, e}, {2, e, e}, {3, e, e}});
  const YearlyMean m = sf::robsum(x, 3, 3, kArithmeticMeanType, q.con);
  EXPECT_FLOAT_EQ(m.mean[0], 2.0f);
  EXPECT_FLOAT_EQ(m.spread[0], 1.0f);
  EXPECT_FLOAT_EQ(m.efficiency[0], 1.0f);
  EXPECT_EQ(m.depth[0], 3);
  EXPECT_FLOAT_EQ(m.mean[1], 4.0f);
  EXPECT_EQ(m.depth[1], 1);
  // A year without values is skipped, not a stop of the run.
  EXPECT_EQ(m.mean[2], kEmptyCell);
  EXPECT_EQ(m.depth[2], 0);
}

TEST(robsum, weight_summary_from_six_values) {
  Quiet q;
  // Five values: weights summarised as 1.0; six values with one far outlier: the biweight
  // gives the outlier weight 0, so the minimum weight is 0 and the median is high.
  const EngineMatrix five = columns({{1}, {2}, {3}, {4}, {5}});
  const YearlyMean a = sf::robsum(five, 1, 5, kBiweightMeanType, q.con);
  for (int c = 1; c <= 4; ++c) EXPECT_FLOAT_EQ(a.weights.at(1, c), 1.0f);
  const EngineMatrix six = columns({{1.0f}, {1.1f}, {0.9f}, {1.05f}, {0.95f}, {50.0f}});
  const YearlyMean b = sf::robsum(six, 1, 6, kBiweightMeanType, q.con);
  EXPECT_FLOAT_EQ(b.weights.at(1, 1), 0.0f);
  EXPECT_GT(b.weights.at(1, 3), 0.8f);
  EXPECT_NEAR(b.mean[0], 1.0f, 0.02f);  // the outlier does not pull the robust mean
}

// The years go in runs to the threads, each year's values gathered series by series: every
// year (across the runs' ends, with gaps, ties, and years of fewer than six values or none)
// gets exactly the biweight of its own values in series order and mfs's weight summary.
TEST(robsum, every_year_as_its_own_biweight) {
  Quiet q;
  const float e = kEmptyCell;
  const int years = 50, series = 40;
  std::vector<std::vector<float>> cols(series, std::vector<float>(years, e));
  for (int j = 0; j < series; ++j) {
    for (int k = j % 7; k < years - j % 5; ++k) {
      if ((k + j) % 11 == 0) continue;                                       // a gap
      cols[j][k] = 1.0f + 0.125f * static_cast<float>((k * 7 + j * 3) % 9);  // many ties
    }
  }
  for (int j = 0; j < series; ++j) cols[j][20] = j < 4 ? 1.0f + static_cast<float>(j) : e;
  for (int j = 0; j < series; ++j) cols[j][33] = e;
  const EngineMatrix x = columns(cols);
  const YearlyMean m = sf::robsum(x, years, series, kBiweightMeanType, q.con);
  for (int k = 0; k < years; ++k) {
    std::vector<float> values;
    for (int j = 0; j < series; ++j) {
      if (cols[j][k] != e) values.push_back(cols[j][k]);
    }
    EXPECT_EQ(m.depth[k], static_cast<int>(values.size())) << "year " << k + 1;
    if (values.empty()) {
      EXPECT_EQ(m.mean[k], kEmptyCell);
      continue;
    }
    BiwgtResult b = biwgt(values, kBiweightTuning, 2);
    EXPECT_EQ(m.mean[k], b.location) << "year " << k + 1;
    EXPECT_EQ(m.spread[k], b.scale) << "year " << k + 1;
    if (values.size() < 6) continue;
    const FiveNumbers f = mfs(b.weights);
    EXPECT_EQ(m.weights.at(k + 1, 1), f.minimum) << "year " << k + 1;
    EXPECT_EQ(m.weights.at(k + 1, 2), f.lower_hinge) << "year " << k + 1;
    EXPECT_EQ(m.weights.at(k + 1, 3), f.median) << "year " << k + 1;
    EXPECT_EQ(m.weights.at(k + 1, 4), f.upper_hinge) << "year " << k + 1;
  }
}

// Without the weights' summary each year's mean, spread and depth stay what they are with
// it, and every weight of the summary stays 1.0.
TEST(robsum, leaving_out_the_weight_summary_changes_no_mean) {
  Quiet q;
  std::vector<std::vector<float>> cols(12, std::vector<float>(30));
  for (int j = 0; j < 12; ++j) {
    for (int k = 0; k < 30; ++k)
      cols[j][k] = 1.0f + 0.01f * static_cast<float>((k * 13 + j * 7) % 17);
  }
  const EngineMatrix x = columns(cols);
  const YearlyMean with = sf::robsum(x, 30, 12, kBiweightMeanType, q.con);
  const YearlyMean without = sf::robsum(x, 30, 12, kBiweightMeanType, q.con, false);
  EXPECT_EQ(without.mean, with.mean);
  EXPECT_EQ(without.spread, with.spread);
  EXPECT_EQ(without.depth, with.depth);
  EXPECT_NE(with.weights.cells, std::vector<float>(with.weights.cells.size(), 1.0f));
  EXPECT_EQ(without.weights.cells, std::vector<float>(without.weights.cells.size(), 1.0f));
}

TEST(robsum, more_than_4500_series_stop) {
  Quiet q;
  EngineMatrix x;
  x.reshape(1, 4501, 1.0f);
  EXPECT_THROW(sf::robsum(x, 1, 4501, 1, q.con), Stop);
  EXPECT_NE(q.out.str().find("Maximum allowed:  4500     Number sent:  4501"), std::string::npos);
  EngineMatrix ok;
  ok.reshape(1, 4500, 1.0f);
  EXPECT_FLOAT_EQ(sf::robsum(ok, 1, 4500, 1, q.con).mean[0], 1.0f);
}

TEST(small_statistics, median_mad_and_mnsd) {
  std::vector<float> v{4, 1, 3, 2};
  EXPECT_FLOAT_EQ(mdian1(v), 2.5f);
  EXPECT_EQ(v, (std::vector<float>{1, 2, 3, 4}));
  const std::vector<float> w{1, 2, 3, 4, 10};
  EXPECT_FLOAT_EQ(xmad(w, 3.0f), 1.0f);  // |d| = 2 1 0 1 7 -> median 1
  const MeanSd s = mnsd(std::vector<float>{2, 4, 4, 4, 5, 5, 7, 9});
  EXPECT_FLOAT_EQ(s.mean, 5.0f);
  EXPECT_NEAR(s.sd, 2.13809f, 1e-5);  // sqrt(32 / 7)
}

TEST(small_statistics, xbiwt_small_and_constant_samples_fall_back) {
  std::vector<float> five{1, 2, 3, 4, 100};
  XbiwtResult r = xbiwt(five);
  EXPECT_FLOAT_EQ(r.t, 3.0f);
  EXPECT_FLOAT_EQ(r.s, 1.5f);  // 1.5 x MAD (MAD of 2 1 0 1 97 is 1)
  EXPECT_FLOAT_EQ(r.t1, 3.0f);
  std::vector<float> flat{2, 2, 2, 2, 2, 9};
  r = xbiwt(flat);
  EXPECT_FLOAT_EQ(r.t, 2.0f);
  EXPECT_FLOAT_EQ(r.s, 0.0f);
  // A symmetric sample keeps its centre through every step.
  std::vector<float> sym{-3, -2, -1, 0, 1, 2, 3};
  r = xbiwt(sym);
  EXPECT_NEAR(r.t, 0.0f, 1e-6);
  EXPECT_NEAR(r.t1, 0.0f, 1e-6);
}

TEST(small_statistics, mean_with_depth_skips_empty_years) {
  const std::vector<float> x{5, 1, 2, 3};
  const std::vector<int> depth{1, 0, 2, 2};
  EXPECT_FLOAT_EQ(mean_with_depth(x, depth, 1, 4), 10.0f / 3.0f);
  EXPECT_FLOAT_EQ(mean_with_depth(x, depth, 3, 4), 2.5f);
  EXPECT_FLOAT_EQ(mean_with_depth(x, depth, 2, 2), 0.0f);
}

}  // namespace
}  // namespace dendro
