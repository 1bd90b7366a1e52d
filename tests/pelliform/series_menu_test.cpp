#include "pelliform/series_menu.h"

#include <gtest/gtest.h>

#include "pelliform/pith_offsets.h"
#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::make_set;
using testing::ramp;
using testing::RunTest;

TEST(segment_stats, hinges_and_counts) {
  // Lengths 50, 60, 70, 80: median (60 + 70) / 2 = 65; with h = 2, d = 1 the hinges are
  // (50 + 60) / 2 = 55 and (70 + 80) / 2 = 75. Counts: = 50: 1; >= 55: 3; >= 65: 2;
  // >= 75: 1; = 80: 1.
  SegmentStats s =
      segment_stats(make_set({{1, ramp(50)}, {1, ramp(60)}, {1, ramp(70)}, {1, ramp(80)}}));
  EXPECT_EQ(s.stat, (std::array<int, 5>{50, 55, 65, 75, 80}));
  EXPECT_EQ(s.count, (std::array<int, 5>{1, 3, 2, 1, 1}));
  // 50, 50, 70, 80: median 60, hinges 50 and 75.
  s = segment_stats(make_set({{1, ramp(50)}, {1, ramp(50)}, {1, ramp(70)}, {1, ramp(80)}}));
  EXPECT_EQ(s.stat, (std::array<int, 5>{50, 50, 60, 75, 80}));
  EXPECT_EQ(s.count, (std::array<int, 5>{2, 4, 2, 1, 1}));
  // Halves are cut towards zero: 41, 42 gives the median 41.5 -> 41.
  s = segment_stats(make_set({{1, ramp(41)}, {1, ramp(42)}}));
  EXPECT_EQ(s.stat[2], 41);
}

class Menu : public RunTest {
 protected:
  void set_up(SeriesSet set) {
    run->set = std::move(set);
    run->set.title[0] = "SITE title";
  }
};

TEST_F(Menu, report_lines_both_ways) {
  set_up(make_set({{1, ramp(50)}, {1, ramp(60)}, {1, ramp(70)}, {1, ramp(80)}}));
  segment_report(*run, false);
  EXPECT_EQ(out.str(),
            "\nORIGINAL DATA SET               MIN   25%   MED   75%   MAX\n"
            "Segment length statistics:       50    55    65    75    80\n"
            "Series .ge. segment length:       1     3     2     1     1\n");
  EXPECT_EQ(file("report.txt"),
            "\nORIGINAL DATA SET               MIN   25%   MED   75%   MAX\n"
            "SEGMENT LENGTH STATISTICS:       50    55    65    75    80\n"
            "SERIES .GE. SEGMENT LENGTH:       1     3     2     1     1\n");
  EXPECT_EQ(run->median_length, 65);
}

TEST_F(Menu, an_empty_answer_keeps_the_set_as_read) {
  set_up(make_set({{1901, ramp(30)}, {1950, ramp(40)}}));
  answers("\n");
  series_menu(*run);
  EXPECT_EQ(run->saved.count(), 2);
  EXPECT_EQ(run->saved.values[1], ramp(40));
  EXPECT_TRUE(shows("Keep series over a COMMON PERIOD only        7   ==> "));
  EXPECT_FALSE(shows("CENSORED DATA SET"));
  EXPECT_FALSE(std::filesystem::exists(dir / "site_mnsl=30.txt"));
}

TEST_F(Menu, censoring_writes_its_file_and_reports_the_reduced_set) {
  set_up(make_set({{1901, ramp(30)}, {1950, ramp(40)}, {1960, ramp(20)}}));
  answers("maybe \n2\n25\n");  // no item: refused as typed, and the menu comes again
  series_menu(*run);
  EXPECT_TRUE(shows("==> Entry > maybe < is not a menu choice between 1 and 7\n"));
  EXPECT_EQ(run->saved.count(), 2);
  EXPECT_TRUE(std::filesystem::exists(dir / "site_mnsl=25.txt"));
  EXPECT_TRUE(shows("\nCENSORED DATA SET               MIN   25%   MED   75%   MAX\n"));
  const std::string report = file("report.txt");
  EXPECT_NE(report.find("DATA ARE CENSORED BY MINIMUM SEGMENT LENGTH:    25\n"), std::string::npos);
  EXPECT_EQ(run->set.title[0].substr(84), "MNSL");
}

TEST_F(Menu, no_series_starting_early_enough_shows_the_menu_again) {
  set_up(make_set({{1901, ramp(30)}, {1950, ramp(40)}}));
  answers("3\n1800\n\n/\n");
  EXPECT_EQ(testing::stop_of([&] { series_menu(*run); }).status, 0);
  EXPECT_TRUE(
      shows("*** Warning: No series were found that start ON or BEFORE  1800\n"
            "    Try again or quit the program.\n\nHit Return to continue"));
  EXPECT_EQ(run->set.count(), 2);
}

TEST_F(Menu, truncation_keeps_the_values_of_the_kept_years) {
  // 1901-1930 holds 1..30; truncated before 1911 it keeps 20 values, 11..30.
  set_up(make_set({{1901, ramp(30)}, {1915, ramp(40)}}));
  answers("5\n1911\n");
  series_menu(*run);
  const SeriesSet& s = run->saved;
  EXPECT_EQ(s.rows[0].first, 1911);
  EXPECT_EQ(s.rows[0].count, 20);
  EXPECT_EQ(s.values[0].size(), 20u);
  EXPECT_EQ(s.values[0].front(), 11.0f);
  EXPECT_EQ(s.values[1], ramp(40));  // starts after 1911: unchanged
  EXPECT_EQ(s.summary.first, 1911);
  EXPECT_TRUE(std::filesystem::exists(dir / "site_trunb=1911.txt"));
  EXPECT_NE(file("report.txt").find("DATA ARE TRUNCATED BEFORE MINIMUM START YEAR:  1911\n"),
            std::string::npos);
}

TEST_F(Menu, truncation_leaving_a_short_series_ends_the_run) {
  set_up(make_set({{1901, ramp(30)}}));
  const Stop stop = testing::stop_of([&] { truncate_before(1920, *run); });
  EXPECT_EQ(std::string(stop.what()), " Review your truncation choice!");
  EXPECT_NE(stop.status, 0);
  EXPECT_TRUE(
      shows("\nSeries  S1        truncation before 1920 only leaves   11  values for analysis.\n\n"
            "Please evaluate your truncation choice and see if it is\n"));
  set_up(make_set({{1901, ramp(30)}}));
  EXPECT_THROW(truncate_after(1915, *run), Stop);
  EXPECT_TRUE(shows("truncation after 1915 only leaves   15  values"));
}

TEST_F(Menu, truncation_after_a_year_and_before_every_first_year) {
  set_up(make_set({{1901, ramp(30)}, {1905, ramp(40)}}));
  truncate_after(1925, *run);
  EXPECT_EQ(run->set.rows[1].last, 1925);
  EXPECT_EQ(run->set.values[1].back(), 21.0f);  // 1925 is ring 21 of a series from 1905
  EXPECT_EQ(run->set.summary.last, 1925);
  truncate_before(1800, *run);  // changes nothing but the report line
  EXPECT_EQ(run->set.rows[0].first, 1901);
  EXPECT_EQ(run->set.summary.first, 1901);
}

TEST_F(Menu, common_period_asks_again_for_an_end_before_the_start) {
  set_up(make_set({{1901, ramp(30)}, {1905, ramp(40)}}));
  answers("7\n1920\n1910\n1910\n1925\n");
  series_menu(*run);
  EXPECT_TRUE(shows("*** The common end year comes before the common start year."));
  EXPECT_EQ(run->saved.summary.first, 1910);
  EXPECT_EQ(run->saved.summary.last, 1925);
  EXPECT_TRUE(std::filesystem::exists(dir / "site_comm=1910-1925.txt"));
  EXPECT_NE(
      file("report.txt").find("DATA ARE CENSORED BY COMMON START AND END YEARS:  1910  1925\n"),
      std::string::npos);
}

TEST_F(Menu, pith_offsets_follow_their_series_through_every_item) {
  // Series 1900/80 rings, 1910/70, 1920/50, 1905/60 and 1930/50, with the offsets 5, 0,
  // 12, 3 and 20 given in data-file order. A series kept takes the offset of its place; one
  // cut at its start keeps its age: truncated before 1915, the first two gain 15 and 5
  // rings and the fourth 10; cut to 1930-1964 they gain 30, 20, 10, 25 and 0.
  const std::vector<int> read{5, 0, 12, 3, 20};
  const std::vector<std::pair<std::string, std::vector<int>>> cases{
      {"2\n55\n", {5, 0, 3}},           {"3\n1905\n", {5, 3}},
      {"4\n1910\n", {0, 12, 20}},       {"5\n1915\n", {20, 5, 12, 13, 20}},
      {"6\n1960\n", {5, 0, 12, 3, 20}}, {"7\n1930\n1964\n", {35, 20, 22, 28, 20}}};
  const SeriesSet five = make_set(
      {{1900, ramp(80)}, {1910, ramp(70)}, {1920, ramp(50)}, {1905, ramp(60)}, {1930, ramp(50)}});
  for (const auto& [item, offsets] : cases) {
    set_up(five);
    answers(item);
    series_menu(*run);
    EXPECT_EQ(offsets_by_series(run->saved, read), offsets) << item;
  }
  // Without a file every offset is 0 before the cut.
  set_up(five);
  answers("5\n1915\n");
  series_menu(*run);
  EXPECT_EQ(offsets_by_series(run->saved, {}), (std::vector<int>{15, 5, 0, 10, 0}));
  // Offsets read for another count of series (a data file changed before a retry).
  EXPECT_THROW(offsets_by_series(run->saved, std::vector<int>{1, 2, 3, 4}), Stop);
}

}  // namespace
}  // namespace dendro
