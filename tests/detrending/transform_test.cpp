#include "detrending/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/files/units.h"
#include "series/store.h"
#include "test_series.h"
#include "transform_fixture.h"

namespace dendro {
namespace {

using test::TestConsole;
using testing::make_store;
using testing::ScratchDir;
using testing::SeriesSpec;

// A series whose every later value v has the spread c * v^b to the value before it: going
// backwards from `top`, x(i) = x(i+1) - c * x(i+1)^b. With the later value as the level,
// log spread = log c + b log level exactly, so the slope of the spread-versus-level line is
// b and the power of the adaptive transformation 1 - b.
std::vector<float> chain(double top, int n, double c, double b) {
  std::vector<double> x(static_cast<std::size_t>(n));
  x.back() = top;
  for (int i = n - 2; i >= 0; --i) {
    const double later = x[static_cast<std::size_t>(i + 1)];
    x[static_cast<std::size_t>(i)] = later - c * std::pow(later, b);
  }
  return std::vector<float>(x.begin(), x.end());
}

struct TransformRun {
  Tsi1 tsi1;
  StatsTable stats;
  Tsi2 tsi2;
  std::vector<std::string> report;
  std::string console;
};

// The chronology table has the years of the set, as the run driver gives it.
TransformRun run_trnfrm(const std::vector<SeriesSpec>& series, int option, int printout,
                        char batch = 'n', std::vector<int> itn = {}, const StagePlots& plots = {}) {
  TransformRun r;
  r.tsi1 = make_store(series);
  r.tsi2.reshape(r.tsi1.rows);
  for (std::size_t i = 0; i < itn.size(); ++i) r.tsi1.years[i].itn = itn[i];
  Icommands icommands;
  icommands[opt::transformation] = option;
  icommands[opt::printout] = printout;
  Commands commands;
  commands.at(Commands::kBatchMode) = batch;
  if (plots.transform_summary) icommands[opt::summary_plots] = 2;  // the summary page is drawn
  ScratchDir dir;
  TestConsole tc;
  {
    Units units;
    units.create(unit::out, dir.path("out.txt"));
    trnfrm(r.tsi1, r.stats, r.tsi2, icommands, commands, units, tc.con, plots);
    units.close(unit::out);
  }
  r.report = dir.lines("out.txt");
  r.console = tc.output();
  return r;
}

std::vector<float> values_of(Tsi1& t, int series) {
  const SeriesYears& y = t.years[static_cast<std::size_t>(series - 1)];
  const int first = t.years[static_cast<std::size_t>(t.count)].ify;
  std::vector<float> v;
  for (int year = y.ify; year <= y.ily; ++year) v.push_back(t.at(year - first + 1, series));
  return v;
}

TEST(transform_values, closed_forms) {
  std::vector<float> x{2.7182817f, 0.0f, -1.0f};
  transform_values(x, transform_code::log, 0.0f);
  EXPECT_NEAR(x[0], 1.0, 1e-6);
  EXPECT_FLOAT_EQ(x[1], -4.6051702f);  // ln 0.01 stands for ln 0
  EXPECT_FLOAT_EQ(x[2], -4.6051702f);

  std::vector<float> sixth{1.0f, 0.0f};
  transform_values(sixth, transform_code::log_sixth, 0.0f);
  EXPECT_NEAR(sixth[0], 0.15415068, 1e-6);  // ln(7/6)
  EXPECT_NEAR(sixth[1], -1.7917595, 1e-6);  // ln(1/6)

  std::vector<float> hyper{0.75f, 0.0f};
  transform_values(hyper, transform_code::asinh, 0.0f);
  EXPECT_NEAR(hyper[0], 0.69314718, 1e-6);  // asinh(3/4) = ln(3/4 + 5/4) = ln 2
  EXPECT_EQ(hyper[1], 0.0f);

  std::vector<float> logged{1.0f, 0.0f, -3.0f};
  transform_values(logged, transform_code::power, 0.0f);  // p = 0: the logarithm
  EXPECT_EQ(logged[0], 0.0f);
  EXPECT_FLOAT_EQ(logged[1], -2.9957323f);  // ln 0.05
  EXPECT_FLOAT_EQ(logged[2], -2.9957323f);

  std::vector<float> rooted{4.0f, 0.0001f, 0.0f};
  transform_values(rooted, 500, 0.5f);  // a stored code of 500 is the power family too
  EXPECT_NEAR(rooted[0], 2.0, 1e-6);
  EXPECT_NEAR(rooted[1], 0.1, 1e-6);  // raised to 0.01 first
  EXPECT_NEAR(rooted[2], 0.1, 1e-6);

  std::vector<float> kept{3.5f, -1.0f};
  transform_values(kept, transform_code::none, 0.5f);
  EXPECT_EQ(kept, (std::vector<float>{3.5f, -1.0f}));
}

TEST(adaptive_power, one_minus_slope_within_limits) {
  EXPECT_NEAR(adaptive_power(0.5f), 0.5, 1e-7);
  EXPECT_EQ(adaptive_power(0.97f), 0.0f);  // p = 0.03 is below 0.05: the logarithm
  EXPECT_EQ(adaptive_power(1.4f), 0.0f);   // a negative p as well
  EXPECT_EQ(adaptive_power(-0.5f), 1.0f);  // p = 1.5 is cut to 1
  EXPECT_NEAR(adaptive_power(0.9f), 0.1, 1e-6);
  EXPECT_EQ(transform_title(4, 0.456f), " transformed series, p = 0.46");
  EXPECT_EQ(transform_title(2, 0.0f), " transformed series, ln(rt+1/6)");
}

TEST(mndf, pairs_of_positive_level_and_spread) {
  // Hand: pairs (1,3) level 2 or 3, spread 2; (3,3) no spread; (3,0.5) level 1.75 or 0.5,
  // spread 2.5; (0.5,-2) level -0.75 (mode 1) or -2 (mode 2): left out.
  const std::vector<float> x{1, 3, 3, 0.5f, -2};
  const SpreadLevel mean_level = mndf(x, kLevelPairMean);
  ASSERT_EQ(mean_level.count(), 2);
  EXPECT_NEAR(mean_level.log_level[0], std::log(2.0), 1e-6);
  EXPECT_NEAR(mean_level.log_spread[0], std::log(2.0), 1e-6);
  EXPECT_NEAR(mean_level.log_level[1], std::log(1.75), 1e-6);
  EXPECT_NEAR(mean_level.log_spread[1], std::log(2.5), 1e-6);
  const SpreadLevel later = mndf(x, kLevelLaterValue);
  ASSERT_EQ(later.count(), 2);
  EXPECT_NEAR(later.log_level[0], std::log(3.0), 1e-6);
  EXPECT_NEAR(later.log_level[1], std::log(0.5), 1e-6);
  EXPECT_EQ(mndf(std::vector<float>{4.0f}, kLevelPairMean).count(), 0);
  EXPECT_EQ(mndf(std::vector<float>{}, kLevelLaterValue).count(), 0);
}

TEST(trnfrm, adaptive_power_follows_the_spread_versus_level_slope) {
  const std::vector<float> root = chain(100.0, 12, 1.0, 0.5);     // slope 0.5: p = 0.5
  const std::vector<float> flat = chain(100.0, 12, 0.1, 0.97);    // slope 0.97: p = 0
  const std::vector<float> falling = chain(10.0, 12, 1.0, -0.5);  // slope -0.5: p = 1
  TransformRun r =
      run_trnfrm({{"ROOT0001", 1901, root}, {"FLAT0001", 1905, flat}, {"FALL0001", 1903, falling}},
                 transform_code::power, 1);
  EXPECT_NEAR(r.tsi2.at(1, 3), 0.5, 1e-4);
  EXPECT_EQ(r.tsi2.at(2, 3), 0.0f);
  EXPECT_EQ(r.tsi2.at(3, 3), 1.0f);
  EXPECT_NEAR(r.tsi1.years[0].itn, 500, 1);  // thousandths of p
  EXPECT_EQ(r.tsi1.years[1].itn, 4);         // the logarithm chosen by p = 0
  EXPECT_EQ(r.tsi1.years[2].itn, 1000);
  EXPECT_NEAR(r.tsi2.at(1, 2), 1.0, 1e-5);  // corr1: spreads lie on the line exactly

  // p = 0.5 and p = 0 in closed form: the transformed values rescaled to the untransformed
  // minimum and maximum; p = 1 leaves the series as it was.
  auto rescaled = [](const std::vector<float>& x, double (*f)(double)) {
    const double lo = x.front(), hi = x.back();  // the chains rise
    std::vector<double> y;
    for (float v : x) y.push_back((f(v) - f(lo)) / (f(hi) - f(lo)) * (hi - lo) + lo);
    return y;
  };
  const std::vector<double> want_root = rescaled(root, [](double v) { return std::sqrt(v); });
  const std::vector<double> want_log = rescaled(flat, [](double v) { return std::log(v); });
  const std::vector<float> got_root = values_of(r.tsi1, 1);
  const std::vector<float> got_log = values_of(r.tsi1, 2);
  const std::vector<float> got_same = values_of(r.tsi1, 3);
  for (std::size_t k = 0; k < root.size(); ++k) {
    EXPECT_NEAR(got_root[k], want_root[k], 2e-3) << k;
    EXPECT_NEAR(got_log[k], want_log[k], 2e-3) << k;
    EXPECT_NEAR(got_same[k], falling[k], 1e-4) << k;
  }
  // The rows outside each series stay missing.
  EXPECT_EQ(r.tsi1.at(1, 2), kMissing);
  EXPECT_EQ(r.tsi1.at(16, 1), kMissing);
}

TEST(trnfrm, logarithm_of_zero_and_the_range_kept) {
  // ln gives {ln 0.01, 0, 1}; rescaled to [0, e] the middle value is
  // 4.6051702 / 5.6051702 * e = 2.2333221 (python3: (4.6051702/5.6051702)*math.e).
  TransformRun r =
      run_trnfrm({{"ZERO0001", 1950, {0.0f, 1.0f, 2.7182817f}}}, transform_code::log, 1);
  const std::vector<float> y = values_of(r.tsi1, 1);
  EXPECT_NEAR(y[0], 0.0, 1e-6);
  EXPECT_NEAR(y[1], 2.2333221, 1e-5);
  EXPECT_NEAR(y[2], 2.7182817, 1e-6);
  EXPECT_EQ(r.tsi1.years[0].itn, 1);
}

TEST(trnfrm, batch_run_takes_each_series_code_and_keeps_it) {
  // Series 1 carries code 3 (inverse hyperbolic sine), series 2 code 0 (left alone), while
  // option 3 asks for the logarithm.
  const std::vector<float> x{0.75f, 2.0f, 1.0f};
  TransformRun r = run_trnfrm({{"HYPE0001", 1800, x}, {"KEEP0001", 1800, x}}, transform_code::log,
                              1, 'y', {3, 0});
  // asinh: {ln 2, 1.4436355, 0.8813736} rescaled to [0.75, 2]: the last value is
  // (0.8813736 - 0.6931472) / (1.4436355 - 0.6931472) * 1.25 + 0.75 = 1.0635066
  // (python3: a = math.asinh; (a(1) - a(.75)) / (a(2) - a(.75)) * 1.25 + .75).
  EXPECT_NEAR(values_of(r.tsi1, 1)[2], 1.0635066, 2e-6);
  EXPECT_EQ(values_of(r.tsi1, 2), x);
  EXPECT_EQ(r.tsi1.years[0].itn, 3);
  EXPECT_EQ(r.tsi1.years[1].itn, 0);
}

TEST(trnfrm, degenerate_series_stay_finite) {
  // A constant series has no range to rescale by: it keeps its value. A single value has
  // no spread-versus-level pair.
  TransformRun r =
      run_trnfrm({{"FLAT0002", 1900, {2.0f, 2.0f, 2.0f, 2.0f}}, {"ONE00001", 1900, {1.5f}}},
                 transform_code::asinh, 1);
  EXPECT_EQ(values_of(r.tsi1, 1), (std::vector<float>{2.0f, 2.0f, 2.0f, 2.0f}));
  EXPECT_EQ(values_of(r.tsi1, 2), (std::vector<float>{1.5f}));
  // Pair counts 0 and 0: their mean, in row 1 of column 7 after the summary.
  EXPECT_EQ(r.stats.at(1, 7), 0.0f);
}

TEST(trnfrm, more_series_than_years_leave_the_chronology_table_its_years) {
  // Three series over two years: the chronology table keeps its two rows (the later
  // stages read it against the chronology's sample depth) and the summary page gets a
  // row for each of the three series.
  int plotted = 0;
  int plotted_rows = 0;
  StagePlots plots;
  plots.transform_summary = [&](const Tsi2& per_series, int count, std::string_view,
                                std::string_view) {
    plotted = count;
    plotted_rows = per_series.rows;
  };
  TransformRun r = run_trnfrm({{"A0000001", 1900, {1.0f, 2.0f}},
                               {"B0000001", 1900, {2.0f, 1.0f}},
                               {"C0000001", 1900, {3.0f, 4.0f}}},
                              transform_code::log, 1, 'n', {}, plots);
  EXPECT_EQ(r.tsi2.rows, 2);
  for (const auto& column : r.tsi2.columns) EXPECT_EQ(column.size(), 2u);
  EXPECT_EQ(plotted, 3);
  EXPECT_EQ(plotted_rows, 3);
}

TEST(trnfrm, report_rows_and_summary) {
  // {1, 2, 4, 8} under ln is linear: rescaled {1, 3.333, 5.667, 8}, mean 4.5, standard
  // deviation (7/3) sqrt(20/12) = 3.012; spread versus level before: spreads = levels / 1.5,
  // corr1 1 and slope 1, so p = 0. (After, the spreads are equal but for rounding, so
  // corr2 is not fixed.)
  const std::vector<float> doubling{1, 2, 4, 8};
  std::vector<SeriesSpec> many;
  for (int i = 1; i <= 21; ++i) many.push_back({"SER000" + std::to_string(10 + i), 1900, doubling});
  TransformRun r = run_trnfrm(many, transform_code::log, 2);
  const std::string head =
      " series   ident    mean   sdev    skew   kurt   sens  ac(1)  corr1   corr2  power";
  ASSERT_GE(r.report.size(), 6u);
  EXPECT_EQ(r.report[0], "");
  EXPECT_EQ(r.report[1],
            " |------------------ statistics of transformed tree-ring data ------------------|");
  EXPECT_EQ(r.report[2], "");
  EXPECT_EQ(r.report[3], std::string(60, ' ') + "spread vs level tests");
  EXPECT_EQ(r.report[4], head);
  const std::string& row = r.report[5];
  EXPECT_EQ(row.substr(0, 30), "     1  SER00011  4.500  3.012");
  EXPECT_EQ(row.substr(row.size() - 22, 7), "  1.000");  // corr1
  EXPECT_EQ(row.substr(row.size() - 7), "  0.000");      // power
  // The head again before series 20, after a blank line, and nowhere else.
  int heads = 0;
  for (std::size_t k = 0; k < r.report.size(); ++k) {
    if (r.report[k] != head) continue;
    ++heads;
    if (heads == 2) {
      EXPECT_EQ(r.report[k - 1], "");
      EXPECT_EQ(r.report[k + 1].substr(0, 7), "    20 ");
    }
  }
  EXPECT_EQ(heads, 2);
  EXPECT_NE(r.console.find("     1  SER00011"), std::string::npos);

  // The summary: title, the spread line, the head from column 16 and eight rows. Every
  // series alike: the mean row shows each series' values, the interquartile row 0.
  const std::size_t s = r.report.size() - 13;
  EXPECT_EQ(r.report[s + 1],
            " |------------- summary of transformed tree-ring series statistics -------------|");
  EXPECT_EQ(r.report[s + 3], std::string(60, ' ') + "spread vs level tests");
  EXPECT_EQ(
      r.report[s + 4],
      std::string(15, ' ') + "   mean   sdev    skew   kurt   sens  ac(1)  corr1   corr2   power");
  EXPECT_EQ(r.report[s + 5].substr(0, 29), " arith mean      4.500  3.012");
  EXPECT_EQ(r.report[s + 5].substr(r.report[s + 5].size() - 23, 7), "  1.000");
  EXPECT_EQ(r.report[s + 5].substr(r.report[s + 5].size() - 8), "   0.000");
  EXPECT_EQ(r.report[s + 8].substr(0, 29), " interquartile   0.000  0.000");
  EXPECT_EQ(r.report[s + 12].substr(0, 14), " maximum value");
}

TEST(trnfrm, summary_over_series_of_different_powers) {
  // Powers 0, 0.5 and 1 (the constructed chains above): mean 0.5, median 0.5, minimum 0,
  // maximum 1; hinges of three values (mfs depth rule, N = 3, m = 2, d = 1): 0.25 and 0.75.
  TransformRun r = run_trnfrm({{"FLAT0001", 1905, chain(100.0, 12, 0.1, 0.97)},
                               {"ROOT0001", 1901, chain(100.0, 12, 1.0, 0.5)},
                               {"FALL0001", 1903, chain(10.0, 12, 1.0, -0.5)}},
                              transform_code::power, 1);
  EXPECT_NEAR(r.stats.at(1, 10), 0.5, 1e-4);
  EXPECT_NEAR(r.stats.at(3, 10), 0.5, 1e-4);
  EXPECT_EQ(r.stats.at(5, 10), 0.0f);
  EXPECT_NEAR(r.stats.at(6, 10), 0.25, 1e-4);
  EXPECT_NEAR(r.stats.at(7, 10), 0.75, 1e-4);
  EXPECT_EQ(r.stats.at(8, 10), 1.0f);
  const std::string& max_row = r.report.back();
  EXPECT_EQ(max_row.substr(max_row.size() - 8), "   1.000");
  EXPECT_EQ(r.report.size(), 13u);  // printout 1: the summary only
}

}  // namespace
}  // namespace dendro
