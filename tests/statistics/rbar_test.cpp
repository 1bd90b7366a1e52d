#include "statistics/rbar.h"

#include <gtest/gtest.h>

#include "tests/statistics/test_support.h"

namespace dendro {
namespace {

using testing::make_store;
using testing::pattern_u;
using testing::pattern_v;

TEST(rbar_statistics, identical_series_correlate_fully) {
  const std::vector<float> x{1.2f, 0.8f, 1.5f, 0.9f, 1.1f, 0.7f, 1.3f, 1.0f, 0.6f, 1.4f, 1.2f,
                             0.9f, 1.6f, 0.8f, 1.0f, 1.1f, 0.5f, 1.3f, 0.9f, 1.2f, 1.0f, 0.8f};
  const Tsi1 tsi1 = make_store(1901, 1922, {{"A", 1901, x}, {"B", 1901, x}});
  const RbarResult r = rbar_statistics(series_view(tsi1), 22);
  EXPECT_EQ(r.stats.count, 1);
  EXPECT_NEAR(r.stats.mean, 1.0, 1e-6);
  EXPECT_EQ(r.stats.sd, 0.0f);  // one correlation: no spread
  EXPECT_EQ(r.stats.se, 0.0f);
  EXPECT_EQ(r.stats.skewness, kUndefined);
  EXPECT_EQ(r.stats.kurtosis, kUndefined);
  // Both extremes name the only pair, also when r is exactly 1.
  EXPECT_EQ(r.stats.smallest.first, 1);
  EXPECT_EQ(r.stats.smallest.second, 2);
  EXPECT_EQ(r.stats.largest.years, 22);
}

// Four equal series, one of them as read from 0.001 mm units (whole thousandths times
// 0.001 against whole hundredths times 0.01, which differ in the last bit): the six
// correlations are 1 to single precision, their spread (3e-8) rounding noise. Skewness
// and kurtosis of that noise are undefined, not ratios of rounding errors (a skewness of
// -2e7, which filled both fields with asterisks).
TEST(rbar_statistics, equal_series_in_other_units_have_no_shape) {
  testing::Noise noise(7);
  std::vector<float> a, b;
  for (int t = 0; t < 120; ++t) {
    const int h = 20 + noise.below(300);
    a.push_back(static_cast<float>(h) * 0.01f);
    b.push_back(static_cast<float>(h * 10) * 0.001f);
  }
  const Tsi1 tsi1 =
      make_store(1801, 1920, {{"A", 1801, a}, {"B", 1801, a}, {"C", 1801, a}, {"D", 1801, b}});
  const CorrelationStatistics s = rbar_statistics(series_view(tsi1), 120).stats;
  EXPECT_EQ(s.count, 6);
  EXPECT_NEAR(s.mean, 1.0, 1e-6);
  EXPECT_GT(s.sd, 0.0f);  // the rounding noise is there
  EXPECT_EQ(s.skewness, kUndefined);
  EXPECT_EQ(s.kurtosis, kUndefined);
  const std::string row = correlation_block_row(s);
  EXPECT_EQ(row.find('*'), std::string::npos) << row;
  EXPECT_EQ(row.size(), 77u);
}

// Series a = u, b = u, c = v, d = -u (see test_support.h): the six correlations are
// 1, 0, -1, 0, -1, 0 (pairs ab, ac, ad, bc, bd, cd). Hand: S1 = -1, S2 = 3, S3 = -1,
// S4 = 3, m = 6: mean = -1/6, sd = sqrt((3 - 6/36) / 5) = sqrt(17/30) = 0.752773,
// se = sd / sqrt(6) = 0.307318, skewness = (-6 + 9 - 2/6) / (20 sd^3) = 0.312570,
// kurtosis = 5 (18 - 4 + 3 - 3/36) / (60 sd^4) = 4.390138.
Tsi1 four_pattern_store() {
  return make_store(1801, 1824,
                    {{"SER01", 1801, pattern_u(24)},
                     {"SER02", 1801, pattern_u(24)},
                     {"SER03", 1801, pattern_v(24)},
                     {"SER04", 1801, pattern_u(24, -1.0f)}});
}

TEST(rbar_statistics, distribution_of_known_correlations) {
  const Tsi1 tsi1 = four_pattern_store();
  const RbarResult r = rbar_statistics(series_view(tsi1), 24);
  const CorrelationStatistics& s = r.stats;
  EXPECT_EQ(s.count, 6);
  EXPECT_NEAR(s.mean, -1.0 / 6.0, 1e-6);
  EXPECT_NEAR(s.sd, 0.752773, 1e-6);
  EXPECT_NEAR(s.se, 0.307318, 1e-6);
  EXPECT_NEAR(s.skewness, 0.312570, 1e-6);
  EXPECT_NEAR(s.kurtosis, 4.390138, 1e-6);
  // -1 comes twice (ad, bd): the pair met first stays.
  EXPECT_EQ(s.smallest.first, 1);
  EXPECT_EQ(s.smallest.second, 4);
  EXPECT_EQ(s.largest.second, 2);
  EXPECT_NEAR(r.shares.pairs, 100.0, 1e-4);
  EXPECT_NEAR(r.shares.years, 100.0, 1e-4);
}

TEST(rbar_statistics, pairs_need_more_than_twenty_common_years) {
  // Series 2 shares 21 years with series 1 (1900-1920), series 3 exactly 20 (1960-1979)
  // and series 2 and 3 none at all.
  const std::vector<float> u = pattern_u(80);
  const Tsi1 tsi1 = make_store(
      1900, 1979, {{"A", 1900, u}, {"B", 1900, pattern_u(21)}, {"C", 1960, pattern_u(20)}});
  const RbarResult r = rbar_statistics(series_view(tsi1), 80);
  EXPECT_EQ(r.stats.count, 1);
  EXPECT_EQ(r.stats.largest.second, 2);
  EXPECT_EQ(r.stats.largest.years, 21);
  // Hand: 1 pair of 3 is 33.33 percent; 21 years of 3 x 80 possible is 8.75 percent.
  EXPECT_NEAR(r.shares.pairs, 100.0 / 3.0, 1e-4);
  EXPECT_NEAR(r.shares.years, 8.75, 1e-4);
}

TEST(rbar_statistics, series_without_spread_is_left_out) {
  const Tsi1 tsi1 = make_store(1801, 1824,
                               {{"A", 1801, pattern_u(24)},
                                {"B", 1801, std::vector<float>(24, 1.0f)},
                                {"C", 1801, pattern_u(24)}});
  const RbarResult r = rbar_statistics(series_view(tsi1), 24);
  EXPECT_EQ(r.stats.count, 1);  // only A with C
  EXPECT_NEAR(r.stats.mean, 1.0, 1e-6);
}

TEST(rbar_shares, largest_sets_stay_within_bounds) {
  // 1500 series over 5000 years: every pair correlated over the whole span is 100 percent
  // of 1124250 pairs and of 5.62e9 years, beyond 32-bit integers.
  const std::int64_t pairs = 1500LL * 1499 / 2;
  const RbarShares all = rbar_shares(static_cast<int>(pairs), pairs * 5000, 1500, 5000);
  EXPECT_NEAR(all.pairs, 100.0, 1e-3);
  EXPECT_NEAR(all.years, 100.0, 1e-3);
  const RbarShares half = rbar_shares(static_cast<int>(pairs), pairs * 2500, 1500, 5000);
  EXPECT_NEAR(half.years, 50.0, 1e-3);
  EXPECT_EQ(rbar_shares(0, 0, 1, 100).pairs, 0.0f);  // one series: nothing possible

  CorrelationSums sums;  // the common-year total of as many pairs
  for (std::int64_t p = 0; p < pairs; ++p) sums.add({0.5f, 1, 2, 5000});
  EXPECT_EQ(sums.total_years(), pairs * 5000);
}

// Expected lines from gfortran 12 writing the same layouts and values.
TEST(correlation_block_row, keeps_its_width_from_a_thousand_on) {
  CorrelationStatistics s{
      999, 0.25f, 0.125f, 0.004f, -0.5f, 3.25f, {-0.125f, 1, 2, 30}, {0.875f, 1, 3, 30}};
  EXPECT_EQ(correlation_block_row(s),
            "    999    0.250     0.125      0.004   -0.500      3.250    -0.125     0.875");
  s.count = 1000;
  EXPECT_EQ(correlation_block_row(s),
            "    1000   0.250     0.125      0.004   -0.500      3.250    -0.125     0.875");
  EXPECT_EQ(correlation_block_row(CorrelationSums().statistics()),
            "      0  -99.000   -99.000    -99.000  -99.000    -99.000   -99.000   -99.000");
}

class RbarReport : public testing::ReportTest {
 protected:
  float run(const Tsi1& tsi1) {
    return run_reporting(
        [&](Console& con, Units& units) { return rbar(tsi1, con, units, unit::out); });
  }
};

// Expected lines from gfortran 12 writing the same layouts and values.
TEST_F(RbarReport, console_and_report_lines) {
  EXPECT_NEAR(run(four_pattern_store()), -1.0 / 6.0, 1e-6);
  EXPECT_EQ(console_.str(),
            "\n"
            " all possible series rbar: -0.1667  +/-   0.7528 1sd\n"
            " percent of all possible cross-correlations:    100.00\n"
            " percent of all possible tree-ring years used:  100.00\n");
  EXPECT_EQ(report_,
            "\n"
            " |-------------------- all possible series rbar statistics ---------------------|\n"
            "\n"
            "   total    mean   standard   standard  skewess   kurtosis   minimum   maximum\n"
            "   corrs    rbar   deviation    error    coeff      coeff      corr      corr\n"
            "      6   -0.167     0.753      0.307    0.313      4.390    -1.000     1.000\n"
            "\n"
            "   minimum correlation: -1.000   series  SER01      and  SER04        24 years\n"
            "   maximum correlation:  1.000   series  SER01      and  SER02        24 years\n"
            "\n"
            "       percent of all possible correlations used (n>20 years):     100.00\n"
            "       percent of all possible tree-ring years used in rbar:       100.00\n");
}

TEST_F(RbarReport, no_pair_to_correlate) {
  const Tsi1 tsi1 =
      make_store(1801, 1850, {{"A", 1801, pattern_u(25)}, {"B", 1826, pattern_u(25)}});
  EXPECT_EQ(run(tsi1), kUndefined);
  EXPECT_NE(console_.str().find("no two series share more than 20 years"), std::string::npos);
  EXPECT_NE(report_.find("      0  -99.000"), std::string::npos);
  EXPECT_EQ(report_.find("minimum correlation"), std::string::npos);  // no pair to name
  EXPECT_NE(report_.find("(n>20 years):       0.00"), std::string::npos);
}

}  // namespace
}  // namespace dendro
