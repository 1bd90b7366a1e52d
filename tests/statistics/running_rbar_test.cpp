#include "statistics/running_rbar.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "tests/statistics/test_support.h"

namespace dendro {
namespace {

using testing::make_store;
using testing::pattern_u;
using testing::pattern_v;

std::vector<float> middles(const std::vector<RunningRbarRow>& rows) {
  std::vector<float> m;
  for (const RunningRbarRow& r : rows) m.push_back(r.year);
  return m;
}

// Three series on the chronology's years whose every pair correlates.
Tsi1 covered_store(int first_year, int last_year) {
  const int n = last_year - first_year + 1;
  std::vector<float> a(n), b(n), c(n);
  for (int t = 0; t < n; ++t) {
    const float common = static_cast<float>(std::sin(0.7 * t));
    a[t] = 1.0f + common;
    b[t] = 1.0f + common + 0.3f * static_cast<float>(std::cos(1.9 * t));
    c[t] = 1.0f + common + 0.3f * static_cast<float>(std::sin(2.9 * t));
  }
  return make_store(first_year, last_year,
                    {{"A", first_year, a}, {"B", first_year, b}, {"C", first_year, c}});
}

TEST(running_rbar, windows_and_their_middle_years) {
  // 1653-1852, window 50, overlap 25: step 25, 8 windows tried; the second starts at the
  // decade after the first year plus one step; those from 1810 on end after 1852.
  const Tsi1 a = covered_store(1653, 1852);
  EXPECT_EQ(middles(running_rbar(series_view(a), 1653, 1852, 200, 50, 25)),
            (std::vector<float>{1678, 1710, 1735, 1760, 1785, 1810}));
  // A first year on a decade still moves on to the next one: 1650, then 1660 + 25.
  const Tsi1 b = covered_store(1650, 1849);
  EXPECT_EQ(middles(running_rbar(series_view(b), 1650, 1849, 200, 50, 25)),
            (std::vector<float>{1675, 1710, 1735, 1760, 1785, 1810}));
  // Negative years: -53 gives the decade -50, and the windows start -25, 0, 25, ...
  const Tsi1 c = covered_store(-53, 146);
  EXPECT_EQ(middles(running_rbar(series_view(c), -53, 146, 200, 50, 25)),
            (std::vector<float>{-28, 0, 25, 50, 75, 100}));
  // An overlap not below the window gives no step and no windows.
  EXPECT_TRUE(running_rbar(series_view(a), 1653, 1852, 200, 50, 50).empty());
  EXPECT_TRUE(running_rbar(series_view(a), 1653, 1852, 200, 0, -5).empty());
}

// A = u, B = u from 1901, C = v from 1902 (test_support.h), window 24, no overlap:
// 1901-1924 is covered by A and B only (r = 1); C's 23 values there still count toward the
// mean series number, (24 + 24 + 23) / 24 = 2.958333. 1934-1957 is covered by all three:
// r = 1, 0, 0, so rbar = 1/3, sd = sqrt((1 - 3/9) / 2) = sqrt(1/3) = 0.577350, se = 1/3,
// and EPS = 3 (1/3) / (1 + 2 (1/3)) = 0.6.
Tsi1 two_window_store() {
  return make_store(
      1901, 1960,
      {{"A", 1901, pattern_u(60)}, {"B", 1901, pattern_u(60)}, {"C", 1902, pattern_v(59)}});
}

TEST(running_rbar, window_statistics_and_eps) {
  const Tsi1 tsi1 = two_window_store();
  const std::vector<RunningRbarRow> rows = running_rbar(series_view(tsi1), 1901, 1960, 60, 24, 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].year, 1913.0f);
  EXPECT_EQ(rows[0].corrs, 1.0f);
  EXPECT_NEAR(rows[0].rbar, 1.0, 1e-6);
  EXPECT_EQ(rows[0].sdev, 0.0f);  // a single correlation has no spread
  EXPECT_EQ(rows[0].serr, 0.0f);
  EXPECT_NEAR(rows[0].cores, 71.0 / 24.0, 1e-6);
  EXPECT_NEAR(rows[0].eps, 1.0, 1e-6);  // rbar 1 gives EPS 1 whatever the series number
  EXPECT_EQ(rows[1].year, 1946.0f);
  EXPECT_EQ(rows[1].corrs, 3.0f);
  EXPECT_NEAR(rows[1].rbar, 1.0 / 3.0, 1e-6);
  EXPECT_NEAR(rows[1].sdev, 0.577350, 1e-6);
  EXPECT_NEAR(rows[1].serr, 1.0 / 3.0, 1e-6);
  EXPECT_NEAR(rows[1].cores, 3.0, 1e-6);
  EXPECT_NEAR(rows[1].eps, 0.6, 1e-6);
}

TEST(eps, from_rbar_and_series_number) {
  EXPECT_NEAR(eps(0.25f, 5.0f, kUndefined), 1.25 / 2.0, 1e-6);  // n r / (1 + (n - 1) r)
  EXPECT_NEAR(eps(0.5f, 1.0f, kUndefined), 0.5, 1e-6);          // one series: EPS is rbar
  EXPECT_NEAR(eps(1.0f, 2.7f, kUndefined), 1.0, 1e-6);
  EXPECT_EQ(eps(0.0f, 3.0f, kUndefined), 0.0f);         // no common signal: EPS 0
  EXPECT_EQ(eps(-1.0f, 2.0f, kUndefined), kUndefined);  // 2 (-1) / (1 - 1) has no value
}

// A negative mean correlation has no EPS: the formula gives -20.5 for rbar -0.47 over
// 2.5 series (hand: -1.175 / (1 - 1.5 * 0.47)) and divides by 0 at -1 / (n - 1).
TEST(eps, undefined_for_a_negative_rbar) {
  EXPECT_EQ(eps(-0.47f, 2.5f, kRbarUndefined), kRbarUndefined);
  EXPECT_EQ(eps(-0.5f, 3.0f, kRbarUndefined), kRbarUndefined);
  EXPECT_EQ(eps(-1e-6f, 40.0f, kUndefined), kUndefined);
  EXPECT_EQ(eps(0.3f, 0.0f, kUndefined), kUndefined);  // no series
}

TEST(rrbar, undefined_windows) {
  const Tsi1 tsi1 = two_window_store();
  const SeriesView view = series_view(tsi1);
  const WindowCorrelations none = rrbar(view, 1890, 24);  // before every series
  EXPECT_EQ(none.count, 0);
  EXPECT_FALSE(none.defined());
  EXPECT_EQ(none.rbar, kRbarUndefined);
  EXPECT_EQ(none.se, kRbarUndefined);
  // A caller that wants three correlations at least gets none from one.
  const WindowCorrelations one = rrbar(view, 1901, 24, 3);
  EXPECT_EQ(one.count, 1);
  EXPECT_FALSE(one.defined());
  EXPECT_TRUE(rrbar(view, 1934, 24, 3).defined());
  // One series has no pair.
  const Tsi1 single = make_store(1901, 1960, {{"A", 1901, pattern_u(60)}});
  EXPECT_FALSE(rrbar(series_view(single), 1901, 24).defined());
}

// rbar and sd against the mean and the standard deviation (divisor n - 1) of every pair's
// r from its definition, for 5 to 11 series that cover the window (groups of four and
// each remainder), among them one that starts too late and one without spread, which
// take no part.
TEST(rrbar, every_pair_of_many_series) {
  std::uint64_t state = 17;
  const auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<float>(static_cast<double>(state >> 11) * 0x1.0p-53 - 0.5);
  };
  for (int covering = 5; covering <= 11; ++covering) {
    std::vector<testing::TestSeries> series;
    for (int i = 0; i < covering; ++i) {
      std::vector<float> v(80);
      for (int t = 0; t < 80; ++t) v[t] = 1.0f + 0.4f * std::sin(0.9f * t) + next();
      series.push_back({"S" + std::to_string(i), 1801, v});
      if (i == 2) series.push_back({"LATE", 1830, std::vector<float>(51, 1.0f)});
      if (i == 3) series.push_back({"FLAT", 1801, std::vector<float>(80, 0.7f)});
    }
    const Tsi1 tsi1 = make_store(1801, 1880, series);
    const SeriesView view = series_view(tsi1);
    std::vector<double> r;
    for (int i = 1; i <= view.count(); ++i) {
      for (int j = i + 1; j <= view.count(); ++j) {
        const auto left_out = [&](int k) {
          return series[k - 1].id == "LATE" || series[k - 1].id == "FLAT";
        };
        if (left_out(i) || left_out(j)) continue;
        r.push_back(testing::pearson(view.values(i, 1811, 51), view.values(j, 1811, 51)));
      }
    }
    double mean = 0, squares = 0;
    for (double v : r) mean += v / static_cast<double>(r.size());
    for (double v : r) squares += (v - mean) * (v - mean);
    const WindowCorrelations w = rrbar(view, 1811, 51);
    EXPECT_EQ(w.count, covering * (covering - 1) / 2);
    EXPECT_NEAR(w.rbar, mean, 1e-6) << covering << " series";
    EXPECT_NEAR(w.sd, std::sqrt(squares / static_cast<double>(r.size() - 1)), 1e-5)
        << covering << " series";
  }
}

class RunrReport : public testing::ReportTest {
 protected:
  std::vector<RunningRbarRow> run(const Tsi1& tsi1, int length, int window, int overlap) {
    Icommands icommands;
    icommands[opt::running_rbar_window] = window;
    icommands[opt::running_rbar_overlap] = overlap;
    return run_reporting([&](Console& con, Units& units) {
      return runr(tsi1, length, icommands, con, units, unit::out);
    });
  }
  int report_lines() const {
    return static_cast<int>(std::count(report_.begin(), report_.end(), '\n'));
  }
};

// Expected lines from gfortran 12 writing the same layouts and values.
TEST_F(RunrReport, console_and_table) {
  run(two_window_store(), 60, 24, 0);
  EXPECT_EQ(console_.str(),
            " window length:         24\n"
            " window overlap:         0\n"
            " segments calculated:    2\n");
  EXPECT_EQ(report_,
            "\n"
            " |--------------------------- running rbar statistics --------------------------|\n"
            "\n"
            "    year   1913.  1946.\n"
            "    corr      1.     3.\n"
            "    rbar  1.000  0.333\n"
            "    sdev  0.000  0.577\n"
            "    serr  0.000  0.333\n"
            "    eps   1.000  0.600\n"
            "    nss     3.0    3.0\n");
}

// u, -u and v (test_support.h) correlate at -1, 0 and 0: rbar -1/3, where EPS was
// 3 (-1/3) / (1 - 2/3) = -3. The row holds the marker of an undefined window, which the
// table writes apart from the field before it and the file as -99.9000.
TEST_F(RunrReport, negative_rbar_gives_the_undefined_eps) {
  const Tsi1 tsi1 = make_store(
      1901, 1960,
      {{"A", 1901, pattern_u(60)}, {"B", 1901, pattern_u(60, -1.0f)}, {"C", 1901, pattern_v(60)}});
  const std::vector<RunningRbarRow> rows = run(tsi1, 60, 24, 0);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_NEAR(rows[0].rbar, -1.0 / 3.0, 1e-6);
  EXPECT_EQ(rows[0].eps, kRbarUndefined);
  EXPECT_EQ(rows[1].eps, kRbarUndefined);
  EXPECT_NE(report_.find("    rbar -0.333 -0.333\n"), std::string::npos) << report_;
  EXPECT_NE(report_.find("    eps  -99.90 -99.90\n"), std::string::npos) << report_;
}

TEST_F(RunrReport, blocks_of_ten_up_to_fifty_windows) {
  // Window 24 with step 1 from 1900: the first window starts in 1900, the others from
  // 1911 on, so a chronology ending in year L has L - 1932 windows.
  const auto store = [](int last_year) {
    return make_store(
        1900, last_year,
        {{"A", 1900, pattern_u(last_year - 1899)}, {"B", 1900, pattern_u(last_year - 1899)}});
  };
  EXPECT_EQ(run(store(1955), 56, 24, 23).size(), 23u);
  EXPECT_EQ(report_lines(), 2 + 3 * 8);  // title, two blocks of ten and one of three
  EXPECT_NE(report_.find("\n    year   1942.  1943.  1944.\n"), std::string::npos);

  EXPECT_EQ(run(store(1982), 83, 24, 23).size(), 50u);
  EXPECT_EQ(report_lines(), 2 + 5 * 8);

  EXPECT_EQ(run(store(1983), 84, 24, 23).size(), 51u);
  EXPECT_EQ(report_,
            "\n"
            " |--------------------------- running rbar statistics --------------------------|\n"
            "\n"
            "              51 running rbar segments calculated and stored in file\n");
}

TEST_F(RunrReport, overlap_not_below_window) {
  EXPECT_TRUE(run(two_window_store(), 60, 24, 24).empty());
  EXPECT_NE(console_.str().find("window overlap must be less than the window length"),
            std::string::npos);
  EXPECT_NE(console_.str().find(" segments calculated:    0\n"), std::string::npos);
  EXPECT_EQ(report_lines(), 2);  // the title alone
}

}  // namespace
}  // namespace dendro
