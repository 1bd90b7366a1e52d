#include "statistics/common_period.h"

#include <gtest/gtest.h>

#include <cmath>

#include "series/layout.h"
#include "tests/statistics/period_data.h"

namespace dendro {
namespace {

using period_test::has;
using period_test::number_trees;
using period_test::period_options;
using period_test::Session;
using period_test::single_cores;
using period_test::two_trees;

TEST(comper, two_trees_of_two_cores) {
  Session s("two_trees");
  Tsi1 tsi1 = two_trees();
  number_trees(tsi1);
  StatsTable stats;
  const CommonPeriodResult r =
      comper(tsi1, stats, 3, period_options(2), (s.dir / "site").string(), s.units, s.plots);
  ASSERT_TRUE(r.analysed);
  EXPECT_EQ(r.selected_ids,
            (std::vector<std::string>{"ABC01A  ", "ABC01B  ", "ABC02A  ", "ABC02B  "}));
  // Hand, from the variances in two_trees(): rbar (2 * 5/6 + 4 * 1/6) / 6 = 7/18.
  EXPECT_NEAR(r.all.mean, 7.0 / 18, 1e-5);
  EXPECT_NEAR(r.within.mean, 5.0 / 6, 1e-5);
  EXPECT_NEAR(r.between.mean, 1.0 / 6, 1e-5);
  EXPECT_EQ(r.trees, 2);
  EXPECT_NEAR(r.ceff, 2.0, 1e-6);
  EXPECT_NEAR(r.reff, 2.0 / 11, 1e-5);  // (1/6) / ((1/6) / 2 + 5/6)
  EXPECT_NEAR(r.snr, 28.0 / 11, 1e-4);  // 4 (7/18) / (11/18)
  EXPECT_NEAR(r.eps, 28.0 / 39, 1e-5);  // (7/18) / ((11/18) / 4 + 7/18)
  ASSERT_EQ(r.sss.size(), 4u);
  EXPECT_NEAR(r.sss[0], 39.0 / 72, 1e-5);  // (39/18) / 4
  EXPECT_NEAR(r.sss[1], 0.78, 1e-5);       // 2 (39/18) / (4 (25/18))
  EXPECT_NEAR(r.sss[3], 1.0, 1e-6);
  // The correlation matrix (1/6) [[6,5,1,1],[5,6,1,1],[1,1,6,5],[1,1,5,6]] has the
  // eigenvalues 13/6, 9/6, 1/6, 1/6; only the first lies above 1 by its broken stick plus
  // error? 13/6 - 13/6 sqrt(2/100) = 1.860 < 2.083: no, so the count is raised to 1.
  EXPECT_NEAR(r.components.eigenvalues[0], 13.0 / 6, 1e-5);
  EXPECT_NEAR(r.components.eigenvalues[1], 1.5, 1e-5);
  EXPECT_EQ(r.components.kaiser, 2);
  EXPECT_EQ(r.components.kept, 1);

  // Statistics over the period: every series has mean 10 and sd sqrt(300 / 99) = 1.741;
  // the table's columns come back sorted.
  EXPECT_EQ(stats.at(4, 1), 100.0f);
  EXPECT_NEAR(stats.at(1, 3), std::sqrt(300.0 / 99), 1e-5);
  EXPECT_LE(stats.at(1, 4), stats.at(4, 4));

  const auto lines = s.report();
  EXPECT_TRUE(has(lines,
                  "     3  ABC02A    1901   2000    100  10.000   1.741  0.626  2.484  "
                  "0.029   0.924"));
  EXPECT_TRUE(has(lines,
                  " standard deviation              -99   0.000   0.000  0.404  0.322  "
                  "0.006   0.008"));
  EXPECT_TRUE(has(lines,
                  " interquartile range               0   0.000   0.000  0.626  0.526  "
                  "0.010   0.013"));
  EXPECT_TRUE(has(lines,
                  "   minimum correlation:  0.167   series  ABC01A     and  ABC02B      "
                  "100 years"));
  EXPECT_TRUE(has(lines,
                  "      2    0.833     0.000      0.000  -99.000    -99.000     0.833  "
                  "   0.833"));
  EXPECT_TRUE(has(lines, "                    all series rbar:       6     0.389    0.344"));
  EXPECT_TRUE(has(lines, "                   effective number of cores  -  ceff:    2.000"));
  EXPECT_TRUE(has(lines, "                 effective chronology signal  -  reff:    0.182"));
  EXPECT_TRUE(has(lines, "                       signal-to-noise ratio  -   snr:    2.545"));
  EXPECT_TRUE(has(lines, "            1     2     3     4"));
  EXPECT_TRUE(has(lines, "  sss:   0.542 0.780 0.914 1.000"));
  EXPECT_TRUE(has(lines, "  eps:   0.389 0.560 0.656 0.718"));
  EXPECT_FALSE(has(lines, "  ABC03A  "));
}

TEST(comper, single_cores_and_sample_size_tables) {
  Session s("single_cores");
  Tsi1 tsi1 = single_cores(25, 1.0f);
  number_trees(tsi1);
  StatsTable stats;
  const CommonPeriodResult r =
      comper(tsi1, stats, 1, period_options(1), (s.dir / "x").string(), s.units, s.plots);
  EXPECT_EQ(r.trees, 25);
  EXPECT_EQ(r.between.count, 300);
  EXPECT_NEAR(r.eps, 25 * 0.5 / (1 + 24 * 0.5), 1e-5);
  const auto lines = s.report();
  // Printout 1: no per-series table, but the summary and all after it.
  EXPECT_FALSE(has(lines,
                   " |----------------------- statistics of the common period "
                   "----------------------|"));
  EXPECT_TRUE(has(lines, "                             no within-tree series found"));
  EXPECT_TRUE(has(lines, "                  within-trees rbar:       0     0.000    0.000"));
  EXPECT_FALSE(has(lines, "                   effective number of cores  -  ceff:    0.000"));
  // 25 sizes: blocks of 12, 12 and 1; SSS(25) = 1, so the last eps is the EPS.
  EXPECT_TRUE(has(lines, "           25"));
  EXPECT_TRUE(has(lines, "  sss:   1.000"));
  EXPECT_TRUE(has(lines, Layout("(t2,' eps:',t9,f6.3)").write(r.eps)));
}
TEST(comper, uncorrelated_pairs_and_tree_gaps) {
  Session s("gaps");
  // Without the common wave every pair is uncorrelated: SNR 0, EPS 0, SSS(n) = n / N.
  Tsi1 tsi1 = single_cores(7, 0.0f);
  // Trees 1 (two series), 2 (left out), 3 (one), 4 (three): ceff = 3 / (1/2 + 1 + 1/3).
  const int tree[] = {1, 1, 0, 3, 4, 4, 4};
  for (int i = 1; i <= 7; ++i) tsi1.year_row(i).cpa = tree[i - 1];
  StatsTable stats;
  const CommonPeriodResult r =
      comper(tsi1, stats, 2, period_options(), (s.dir / "x").string(), s.units, s.plots);
  EXPECT_NEAR(r.ceff, 18.0 / 11, 1e-5);
  EXPECT_EQ(r.within.count, 1 + 3);
  EXPECT_EQ(r.between.count, 2 * 1 + 2 * 3 + 1 * 3);
  EXPECT_NEAR(r.snr, 0.0, 1e-5);
  EXPECT_NEAR(r.eps, 0.0, 1e-5);
  EXPECT_NEAR(r.sss[1], 2.0 / 7, 1e-5);
}

// A and A2 share one tree and are equal; B = -w1 + w3 and C = -w2 + w3 against A = w1 + w2
// (orthogonal waves of variance 1/2 each). Hand: r(A, B) = r(A, C) = -1/2, r(B, C) = 1/2,
// r(A, A2) = 1, so rbar = (1 - 2 + 1/2) / 6 = -1/12 and the between-tree rbar is
// (-2 + 1/2) / 5 = -0.3. A negative rbar expresses no common signal: EPS, SNR, reff, SSS
// and the EPS by sample size are all the undefined marker, written with a blank before
// each value (EPS was -1/3 / ((13/12) / 4 - 1/12), out of 0..1, before).
TEST(comper, negative_rbar_leaves_eps_and_sss_undefined) {
  Session s("negative");
  const std::vector<std::string> ids{"A1      ", "A2      ", "B1      ", "C1      "};
  Tsi1 tsi1 =
      period_test::store(ids, 1901, 2000, {{1901, 2000}, {1901, 2000}, {1901, 2000}, {1901, 2000}},
                         [](int i, int year) {
                           const int t = year - 1901;
                           const float w1 = period_test::wave(1, t, 100);
                           const float w2 = period_test::wave(2, t, 100);
                           const float w3 = period_test::wave(3, t, 100);
                           if (i <= 2) return 5.0f + w1 + w2;
                           return i == 3 ? 5.0f - w1 + w3 : 5.0f - w2 + w3;
                         });
  const int tree[] = {1, 1, 2, 3};
  for (int i = 1; i <= 4; ++i) tsi1.year_row(i).cpa = tree[i - 1];
  StatsTable stats;
  const CommonPeriodResult r =
      comper(tsi1, stats, 1, period_options(), (s.dir / "x").string(), s.units, s.plots);
  ASSERT_TRUE(r.analysed);
  EXPECT_NEAR(r.all.mean, -1.0 / 12, 1e-5);
  EXPECT_NEAR(r.between.mean, -0.3, 1e-5);
  EXPECT_EQ(r.eps, kUndefined);
  EXPECT_EQ(r.snr, kUndefined);
  EXPECT_EQ(r.reff, kUndefined);
  for (float v : r.sss) EXPECT_EQ(v, kUndefined);
  const std::vector<std::string> lines = s.report();
  EXPECT_TRUE(has(lines, std::string(23, ' ') + "signal-to-noise ratio  -   snr:  -99.000"));
  EXPECT_TRUE(has(lines, std::string(17, ' ') + "expressed population signal  -   eps:  -99.000"));
  EXPECT_TRUE(has(lines, "  sss:   -99.0 -99.0 -99.0 -99.0"));
  EXPECT_TRUE(has(lines, "  eps:   -99.0 -99.0 -99.0 -99.0"));
  for (const std::string& line : lines) EXPECT_EQ(line.find("**"), std::string::npos) << line;
}

// Identical series have no noise: the signal-to-noise ratio has no finite value and is
// written as the marker, not as "Infinity".
TEST(comper, identical_series_have_no_finite_snr) {
  Session s("identical");
  Tsi1 tsi1 = single_cores(3, 1.0f);
  for (int i = 1; i <= 3; ++i) {
    for (int t = 1; t <= tsi1.rows; ++t) tsi1.at(t, i) = tsi1.at(t, 1);
  }
  StatsTable stats;
  const CommonPeriodResult r =
      comper(tsi1, stats, 1, period_options(), (s.dir / "x").string(), s.units, s.plots);
  EXPECT_EQ(r.snr, kUndefined);
  EXPECT_NEAR(r.eps, 1.0, 1e-6);
}

TEST(comper, too_few_series) {
  auto report = [](Tsi1 tsi1) {
    Session s("few");
    StatsTable stats;
    EXPECT_FALSE(comper(tsi1, stats, 1, period_options(), (s.dir / "x").string(), s.units, s.plots)
                     .analysed);
    return s.report();
  };
  EXPECT_EQ(report(single_cores(1, 1.0f)),
            (std::vector<std::string>{"",
                                      "         *** number of series < 2, no common period "
                                      "analysis performed ***"}));
  // A series starting one year late is not selected.
  Tsi1 late = single_cores(2, 1.0f);
  late.year_row(2).ify = 1902;
  EXPECT_EQ(report(late).back(),
            "              *** only one series found in common analysis period ***");
  late.year_row(1).ily = 1999;
  EXPECT_EQ(report(late).back(),
            "                 *** no series found in common analysis period ***");
}

TEST(comper, two_series_and_repeated_heads) {
  // Two series: a single correlation has no spread; the components table has two columns.
  Session s("two");
  StatsTable stats;
  const CommonPeriodResult r = comper(single_cores(2, 1.0f), stats, 4, period_options(),
                                      (s.dir / "x").string(), s.units, s.plots);
  EXPECT_EQ(r.all.count, 1);
  EXPECT_EQ(r.all.sd, 0.0f);
  EXPECT_EQ(r.all.skewness, kUndefined);
  const auto lines = s.report();
  EXPECT_TRUE(has(lines, " brokn stck: 1.500  0.500 "));  // 1 + 1/2, 1/2
  EXPECT_TRUE(has(lines,
                  "      1    0.500     0.000      0.000  -99.000    -99.000     0.500  "
                  "   0.500"));

  // 40 series with the per-series table: its head stands before rows 1, 20 and 40.
  Session t("forty");
  Tsi1 forty = single_cores(40, 1.0f);
  number_trees(forty);
  comper(forty, stats, 1, period_options(2), (t.dir / "x").string(), t.units, t.plots);
  const auto table = t.report();
  std::vector<std::size_t> heads;
  for (std::size_t k = 0; k < table.size(); ++k) {
    if (table[k].starts_with(" series   ident")) heads.push_back(k);
  }
  ASSERT_EQ(heads.size(), 3u);
  EXPECT_EQ(table[heads[1] + 1].substr(0, 15), "    20   S020A ");
  EXPECT_EQ(table[heads[2] + 1].substr(0, 15), "    40   S040A ");
}

}  // namespace
}  // namespace dendro
