#include "detrending/rcs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "detrending/detrend.h"
#include "detrending/rcs_align.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/index_block.h"
#include "series/store.h"
#include "series/text.h"
#include "test_series.h"
#include "transform_fixture.h"

namespace dendro {
namespace {

using testing::make_store;
using testing::ScratchDir;
using testing::SeriesSpec;

// A growth shape by cambial age: its value at ages first..first + n - 1.
std::vector<float> by_age(int first, int n, const std::function<double(int)>& g) {
  std::vector<float> v;
  for (int a = first; a < first + n; ++a) v.push_back(static_cast<float>(g(a)));
  return v;
}

double falling_line(int age) { return 3.0 - 0.01 * age; }

// One regional curve standardization of a small set in a batch run (the offsets from the
// series year table), with the mean by age made by a plain arithmetic mean of the series
// present at each age row.
class RcsRun {
 public:
  explicit RcsRun(const std::vector<SeriesSpec>& series, const std::vector<int>& offsets)
      : tsi1(make_store(series)) {
    for (std::size_t i = 0; i < offsets.size(); ++i) tsi1.years[i].yfp = offsets[i];
    tsi2.reshape(tsi1.rows);
    commands.set_data_file(dir.path("site.txt"));
    commands.at(Commands::kBatchMode) = 'y';
    commands.set(Commands::kWriteModeFirst, Commands::kWriteModeLast, "iw");
    icommands[opt::first_detrending] = fit::regional_curve;
    icommands[opt::second_detrending] = fit::line;  // a straight line
    icommands[opt::interactive] = 1;
    icommands[opt::index_calculation] = 1;
    icommands[opt::printout] = 1;
    for (int u : {unit::out, unit::tabs, unit::crns, unit::errs, unit::crns_rcs, unit::err_rcs}) {
      units.create(u, dir.path("unit" + std::to_string(u) + ".txt"));
    }
  }

  void run(const std::string& answers = "") {
    test::TestConsole tc(answers);
    RcsIo io{icommands, commands, units, tc.con, notes, {}, {}, {}};
    io.help = [this](int page) { help_pages.push_back(page); };
    io.mean_by_age = [this](Tsi1& t, const AgeMeanColumns& c) { arithmetic_mean(t, c); };
    io.plots.page = [this](const ChronologyPlot& p, int&) {
      pages.push_back(std::string(p.upper_title) + "|" + std::string(p.z_label));
    };
    try {
      rcs(tsi1, tsi2, stats, RcsVectors{curve, depth, error, lower, upper}, offsets_out, title, io);
    } catch (...) {
      console = tc.output();
      throw;
    }
    console = tc.output();
    units.close(unit::out);
  }

  std::vector<float> series(int i) {
    const SeriesYears& y = tsi1.years[static_cast<std::size_t>(i - 1)];
    const int first = tsi1.years[static_cast<std::size_t>(tsi1.count)].ify;
    std::vector<float> v;
    for (int year = y.ify; year <= y.ily; ++year) v.push_back(tsi1.at(year - first + 1, i));
    return v;
  }
  std::vector<std::string> report() const { return dir.lines("unit11.txt"); }

  ScratchDir dir;
  Tsi1 tsi1;
  Tsi2 tsi2;
  StatsTable stats;
  Icommands icommands;
  Commands commands;
  Units units;
  IndexNotes notes;
  std::string title = std::string(85, ' ');
  std::vector<float> curve = std::vector<float>(kMaxYears, 0.0f);
  std::vector<int> depth = std::vector<int>(kMaxYears, 0);
  std::vector<float> error = std::vector<float>(kMaxYears, 0.0f);
  // Limits left by a calendar-year chronology, which the ages must not inherit.
  std::vector<float> lower = std::vector<float>(kMaxYears, 99.0f);
  std::vector<float> upper = std::vector<float>(kMaxYears, 99.0f);
  std::vector<int> offsets_out = std::vector<int>(kMaxSeriesKalder, 0);
  std::vector<int> help_pages;
  std::vector<std::string> pages;
  std::string console;
  float limit_halfwidth = 0.1f;

 private:
  // The mean of the values present at each age row; limits as the mean chronology builder
  // sets them: mean -/+ the half width with more than five series, the mean with one to
  // five, untouched without any.
  void arithmetic_mean(Tsi1& t, const AgeMeanColumns& c) {
    const SeriesYears& span = t.years[static_cast<std::size_t>(t.count + 1)];
    const int rows = span.ily - span.ify + 1;
    ASSERT_EQ(static_cast<std::size_t>(rows), c.mean.size());
    for (int r = 1; r <= rows; ++r) {
      const auto j = static_cast<std::size_t>(r - 1);
      int n = 0;
      double sum = 0.0;
      for (int i = 1; i <= t.count; ++i) {
        if (is_missing(t.at(r, i))) continue;
        ++n;
        sum += t.at(r, i);
      }
      c.depth[j] = n;
      c.mean[j] = n > 0 ? static_cast<float>(sum / n) : 0.0f;
      if (n > 5) {
        c.lower[j] = c.mean[j] - limit_halfwidth;
        c.upper[j] = c.mean[j] + limit_halfwidth;
      } else if (n > 0) {
        c.lower[j] = c.upper[j] = c.mean[j];
      }
    }
  }
};

TEST(align_by_age, rows_follow_the_pith_offsets_and_return) {
  // Offsets 3, 10 and 0: the smallest is 0, so series i starts at age row p_i + 1; the
  // aligned length is max(p_i + n_i) - 0 = max(3 + 4, 10 + 3, 0 + 5) = 13.
  Tsi1 t = make_store(
      {{"A", 1902, {1, 2, 3, 4}}, {"B", 1900, {5, 6, 7}}, {"C", 1903, {8, 9, 10, 11, 12}}});
  const Tsi1 before = t;
  test::TestConsole tc;
  const AgeAlignment a = align_by_age(t, std::vector<int>{3, 10, 0}, -2, tc.con);
  EXPECT_EQ(a.smallest_offset, 0);
  EXPECT_EQ(a.length, 13);
  EXPECT_EQ(t.rows, 13);  // longer than the calendar span of 8 years
  EXPECT_EQ(t.at(4, 1), 1.0f);
  EXPECT_EQ(t.at(7, 1), 4.0f);
  EXPECT_EQ(t.at(3, 1), kMissing);
  EXPECT_EQ(t.at(11, 2), 5.0f);
  EXPECT_EQ(t.at(13, 2), 7.0f);
  EXPECT_EQ(t.at(1, 3), 8.0f);
  EXPECT_EQ(t.at(6, 3), kMissing);
  // Cambial ages of the first and last rings; the aligned span in the two rows after.
  EXPECT_EQ(t.years[0].ify, 4);
  EXPECT_EQ(t.years[0].ily, 7);
  EXPECT_EQ(t.years[1].ify, 11);
  EXPECT_EQ(t.years[1].yfp, 10);
  EXPECT_EQ(t.years[1].idt, -2);
  EXPECT_EQ(t.years[3].ify, 1);
  EXPECT_EQ(t.years[3].ily, 13);
  EXPECT_EQ(t.years[4].ily, 13);

  restore_calendar(t, a);
  EXPECT_EQ(t.matrix, before.matrix);
  EXPECT_EQ(t.years[2].ify, 1903);
  EXPECT_EQ(t.years[3].ify, 1900);
  EXPECT_EQ(t.years[3].ily, 1907);
  EXPECT_EQ(t.years[0].yfp, 3);
  EXPECT_EQ(t.years[4].ify, 1);  // the aligned span stays in the row below

  // Offsets of 40 and 45: age rows start at 1 and 6, cambial ages at 41 and 46.
  Tsi1 u = make_store({{"D", 1950, {1, 2, 3}}, {"E", 1950, {4, 5}}});
  const AgeAlignment b = align_by_age(u, std::vector<int>{40, 45}, -2, tc.con);
  EXPECT_EQ(b.length, 7);
  EXPECT_EQ(u.years[1].ify, 46);
  EXPECT_EQ(u.at(6, 2), 4.0f);
  EXPECT_EQ(u.years[2].ify, 41);

  Tsi1 far = make_store({{"F", 1950, {1, 2}}, {"G", 1950, {3, 4}}});
  test::TestConsole bye("\n");
  EXPECT_THROW(align_by_age(far, std::vector<int>{0, 5000}, -2, bye.con), Stop);
  EXPECT_NE(bye.output().find("span more than 5000 years"), std::string::npos);
}

TEST(rcs, identical_age_shapes_give_their_shape_and_indices_of_one) {
  // Three series on one straight growth line by age, 3 - 0.01 age, at offsets 0, 20 and 5
  // (ages 1-50, 21-80 and 6-45), in different calendar years. The mean by age is the line,
  // the fitted line is the line, and every index is 1.
  RcsRun r({{"A", 1900, by_age(1, 50, falling_line)},
            {"B", 1850, by_age(21, 60, falling_line)},
            {"C", 1960, by_age(6, 40, falling_line)}},
           {0, 20, 5});
  r.run();
  for (int age = 1; age <= 80; ++age) {
    EXPECT_NEAR(r.tsi2.at(age, 10), falling_line(age), 1e-5) << age;
    EXPECT_NEAR(r.curve[static_cast<std::size_t>(age - 1)], falling_line(age), 1e-4) << age;
    EXPECT_NEAR(r.tsi2.at(age, 12), falling_line(age), 1e-4) << age;
    EXPECT_EQ(r.tsi2.at(age, 8), static_cast<float>(age));
  }
  // Sample depth by age (hand): 1-5 A; 6-20 A, C; 21-45 A, B, C; 46-50 A, B; 51-80 B.
  EXPECT_EQ(r.tsi2.at(5, 9), 1.0f);
  EXPECT_EQ(r.tsi2.at(6, 9), 2.0f);
  EXPECT_EQ(r.tsi2.at(45, 9), 3.0f);
  EXPECT_EQ(r.tsi2.at(46, 9), 2.0f);
  EXPECT_EQ(r.tsi2.at(80, 9), 1.0f);
  for (int i = 1; i <= 3; ++i) {
    for (float v : r.series(i)) EXPECT_NEAR(v, 1.0, 1e-5) << i;
  }
  // Back in calendar years: the store spans 1850-1999, series B from 1850 to 1909.
  EXPECT_EQ(r.tsi1.rows, 150);
  EXPECT_EQ(r.tsi1.years[1].ify, 1850);
  EXPECT_EQ(r.tsi1.years[1].ily, 1909);
  EXPECT_EQ(r.tsi1.years[1].yfp, 20);
  EXPECT_EQ(r.tsi1.years[1].idt, -2);
  EXPECT_EQ(r.tsi1.at(61, 2), kMissing);
  EXPECT_EQ(r.tsi1.years[3].ify, 1850);
  EXPECT_EQ(r.tsi1.years[4].ify, 1);  // the aligned span
  EXPECT_EQ(r.tsi1.years[4].ily, 80);
  EXPECT_EQ(r.offsets_out[1], 20);
  EXPECT_NEAR(r.tsi1.overlay[79], 1.0, 1e-5);  // indices of the mean
  EXPECT_TRUE(r.help_pages.empty());           // a batch run opens no pith offset file
}

TEST(rcs, offsets_shifted_together_change_nothing_but_the_offsets) {
  // A growth shape with curvature, fitted by a negative exponential.
  auto shape = [](int age) { return 0.4 + 2.0 * std::exp(-age / 30.0) + 0.05 * std::sin(age); };
  const std::vector<SeriesSpec> set{{"A", 1900, by_age(1, 70, shape)},
                                    {"B", 1910, by_age(11, 60, shape)},
                                    {"C", 1905, by_age(4, 80, shape)}};
  RcsRun base(set, {0, 10, 3});
  base.icommands[opt::second_detrending] = fit::general_neg_exponential;
  base.run();
  RcsRun shifted(set, {25, 35, 28});
  shifted.icommands[opt::second_detrending] = fit::general_neg_exponential;
  shifted.run();
  for (int i = 1; i <= 3; ++i) EXPECT_EQ(base.series(i), shifted.series(i)) << i;
  EXPECT_EQ(base.tsi1.years[0].yfp + 25, shifted.tsi1.years[0].yfp);
}

TEST(rcs, files_titles_and_the_chronology_by_age) {
  RcsRun r({{"A", 1900, by_age(1, 30, falling_line)}, {"B", 1910, by_age(5, 30, falling_line)}},
           {0, 4});
  r.commands.set_data_file("ab.rw");  // shorter than the six characters of an id
  r.run();
  // The title of the data names the chronology; characters 54-80 say what it is.
  EXPECT_EQ(r.title.substr(0, 40), "ab.rw -- no data title line provided -- ");
  EXPECT_EQ(r.title.substr(53, 27), " age-aligned rcs chronology");
  EXPECT_EQ(r.title.size(), 85u);
  // Chronology and error files: three header lines tagged "  rcs", then the mean by age
  // from age 1 under the id of the other blocks, from the log file name "ab.rw_log.txt".
  for (const char* name : {"unit13.txt", "unit17.txt", "unit34.txt", "unit39.txt"}) {
    r.units.close(std::stoi(std::string(name).substr(4, 2)));
    const std::vector<std::string> lines = r.dir.lines(name);
    ASSERT_GE(lines.size(), 4u) << name;
    EXPECT_EQ(lines[0].substr(80), "  rcs") << name;
    EXPECT_EQ(lines[2].substr(80), "  rcs") << name;
    EXPECT_EQ(lines[3].substr(0, 8), "ab.rw_  ") << name;
  }
  // Option 18 at 0: no series files.
  EXPECT_FALSE(std::filesystem::exists("ab.rw_rcs_raw.txt"));
  const std::vector<std::string> report = r.report();
  ASSERT_GE(report.size(), 3u);
  EXPECT_EQ(report[1], " " + std::string(80, '='));
  EXPECT_EQ(report[2], " regional curve estimation");

  // Write mode qz: no header lines; a title of its own keeps its first 53 characters.
  RcsRun q({{"A", 1900, by_age(1, 30, falling_line)}}, {0});
  q.commands.set(Commands::kWriteModeFirst, Commands::kWriteModeLast, "qz");
  q.title = field("my site title", 85);
  q.run();
  EXPECT_EQ(q.title.substr(0, 14), "my site title ");
  q.units.close(unit::crns);
  EXPECT_LT(q.dir.lines("unit13.txt").front().size(), 81u);
}

TEST(rcs, series_files_by_option_18) {
  RcsRun r({{"A", 1900, by_age(1, 30, falling_line)}, {"B", 1910, by_age(5, 30, falling_line)}},
           {0, 4});
  r.icommands[opt::core_series_save] = 1;
  r.run();
  const std::vector<std::string> raw = r.dir.lines("site_rcs_raw.txt");
  const std::vector<std::string> ind = r.dir.lines("site_rcs_ind1.txt");
  ASSERT_GE(raw.size(), 4u);
  ASSERT_GE(ind.size(), 4u);
  EXPECT_EQ(raw[0].substr(80), "  rcs");
  EXPECT_EQ(ind[0].substr(80), " rcs ");
  EXPECT_EQ(ind[1].size(), 85u);

  RcsRun c({{"A", 1900, by_age(1, 30, falling_line)}}, {0});
  c.icommands[opt::core_series_save] = 5;  // columns: no header lines
  c.run();
  ASSERT_TRUE(c.dir.exists("site_rcs_raw.txt"));
  EXPECT_EQ(c.dir.lines("site_rcs_raw.txt").front().find("rcs"), std::string::npos);
}

TEST(rcs, bootstrap_limits_by_age) {
  // Six series over ages 1-30 and one over 1-40, then a gap (ages 41-50 without series) and
  // a series over 51-55: limits from the bootstrap on the first 30 ages (k = 30 rows with
  // more than five series), the mean for both limits elsewhere, the gap included. The
  // shape is a line, which a cubic smoothing spline reproduces exactly.
  std::vector<SeriesSpec> set;
  std::vector<int> offsets;
  for (int i = 0; i < 6; ++i) {
    set.push_back({"S" + std::to_string(i), 1900 + i, by_age(1, 30, falling_line)});
    offsets.push_back(0);
  }
  set.push_back({"LONG", 1900, by_age(1, 40, falling_line)});
  offsets.push_back(0);
  set.push_back({"LATE", 1950, by_age(51, 5, falling_line)});
  offsets.push_back(50);
  RcsRun r(set, offsets);
  r.icommands[opt::bootstrap_limits] = 1;
  r.icommands[opt::bootstrap_spline] = 20;
  r.run();
  const std::vector<std::string> lines = r.dir.lines("site_rcs_95%cl.txt");
  ASSERT_EQ(lines.size(), 56u);
  EXPECT_EQ(lines[0], "  year    nc     std    2.5%   97.5%     spl    2.5%   97.5%");
  // Age 10: 3 - 0.1 = 2.9, limits 2.8 and 3.0, their splines over the first 30 rows the
  // same. (The spline of the mean runs over the gap and is no longer the line.)
  EXPECT_EQ(lines[10].substr(0, 36), "    10     7   2.900   2.800   3.000");
  EXPECT_EQ(lines[10].substr(44), "   2.800   3.000");
  // Age 35: one series, no spline of the limits beyond the first 30 rows.
  EXPECT_EQ(lines[35].substr(0, 36), "    35     1   2.650   2.650   2.650");
  EXPECT_EQ(lines[35].substr(44), "   0.000   0.000");
  // Age 45: no series; the builder's 0 is taken for the mean, not the leftover 99.
  EXPECT_EQ(lines[45].substr(0, 36), "    45     0   0.000   0.000   0.000");
  EXPECT_EQ(r.lower[44], 0.0f);
}

TEST(rcs, percent_window_of_running_medians) {
  // A percent parameter of -50 for running medians on 301 ages: 150, lowered to 149.
  RcsRun r({{"A", 1700, by_age(1, 301, [](int a) { return 2.0 + 1.0 / a; })}}, {0});
  r.icommands[opt::second_detrending] = fit::running_median;
  r.icommands[opt::second_detrending_parameter] = -50;
  r.icommands[opt::printout] = 2;
  r.run();
  bool found = false;
  for (const std::string& line : r.report()) {
    found =
        found || line == "   all     rcs    -3    149   median smoothed rcs curve and window width";
  }
  EXPECT_TRUE(found);
}

// A convex decline whose straight line goes below 0 at the old ages.
std::vector<SeriesSpec> steep_decline() {
  return {{"A", 1900, by_age(1, 60, [](int a) { return 0.05 + 3.0 * std::exp(-a / 8.0); })}};
}

TEST(rcs, negative_curve_is_shown_and_changed) {
  RcsRun r(steep_decline(), {0});
  // The pause, no truncation, change to the horizontal mean (option 6).
  r.run("\nn\ny\n6\n");
  EXPECT_NE(r.console.find("*** rcs growth curve goes negative! ***\nyear: "), std::string::npos);
  EXPECT_NE(r.console.find("enter new option (h for help)"), std::string::npos);
  ASSERT_EQ(r.pages.size(), 1u);
  EXPECT_EQ(r.pages[0], " rcs growth trend|indices (z)");
  // The mean of the one series is the curve: its indices are the values over their mean.
  const std::vector<float> v = by_age(1, 60, [](int a) { return 0.05 + 3.0 * std::exp(-a / 8.0); });
  double mean = 0.0;
  for (float x : v) mean += x;
  mean /= 60.0;
  EXPECT_NEAR(r.series(1)[0], v[0] / mean, 1e-4);
  EXPECT_NEAR(r.curve[59], mean, 1e-5);
}

TEST(rcs, keeping_a_negative_curve_ends_the_run) {
  RcsRun r(steep_decline(), {0});
  // No change; "n" to the stop question shows the fit again; then no change and stop.
  EXPECT_THROW(r.run("\nn\nn\nn\nn\n\ny\n"), NegativeCurveStop);
  EXPECT_NE(r.console.find("okay, hasta la vista, baby!"), std::string::npos);
  EXPECT_EQ(r.pages.size(), 2u);
  // The files are the run driver's to settle: still open.
  EXPECT_TRUE(r.units.is_open(unit::crns));
  EXPECT_TRUE(r.units.is_open(unit::crns_rcs));
}

TEST(rcs, truncated_fit_keeps_the_curve_over_every_age) {
  // A line over ages 1-30, then values below it: truncated to 30 ages, the fitted line is
  // the first part's line, extended to age 50: 3 - 0.01 * 50 = 2.5.
  auto bent = [](int a) { return a <= 30 ? falling_line(a) : 2.0; };
  RcsRun r({{"A", 1900, by_age(1, 50, bent)}}, {0});
  r.icommands[opt::interactive] = 2;  // show the fit
  r.run("y\n0\n30\nh\nn\n");
  EXPECT_NE(r.console.find("new length must be <  50 years"), std::string::npos);
  EXPECT_NE(r.console.find("you can change the current curve fit"), std::string::npos);
  EXPECT_NEAR(r.curve[49], 2.5, 1e-4);
  EXPECT_NEAR(r.series(1)[29], 1.0, 1e-5);
  EXPECT_NEAR(r.series(1)[49], 2.0 / 2.5, 1e-5);
  bool noted = false;
  for (const std::string& line : r.report()) {
    noted = noted || line == std::string(16, ' ') +
                                 "*** rcs curve and data truncated for fitting at age:    30";
  }
  EXPECT_TRUE(noted);
}

}  // namespace
}  // namespace dendro
