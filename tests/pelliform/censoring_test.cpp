#include "pelliform/censoring.h"

#include <gtest/gtest.h>

#include "pelliform_session.h"

namespace dendro {
namespace {

using testing::make_set;
using testing::PSession;
using testing::ramp;

TEST(censoring, boundaries_keep_the_series) {
  // Lengths 40, 50, 60 starting in 1900, 1910, 1920.
  SeriesSet set = make_set({{1900, ramp(40)}, {1910, ramp(50)}, {1920, ramp(60)}});
  PSession s;
  cenbyseg(50, set, s.con);  // the length equal to the minimum stays
  ASSERT_EQ(set.count(), 2);
  EXPECT_EQ(set.ids[0], "S2      ");
  EXPECT_EQ(set.summary.first, 1910);
  EXPECT_EQ(set.summary.last, 1979);

  SeriesSet a = make_set({{1900, ramp(40)}, {1910, ramp(50)}, {1920, ramp(60)}});
  ASSERT_TRUE(cenayify(1910, a, s.con));  // a first year equal to the minimum stays
  EXPECT_EQ(a.count(), 2);
  SeriesSet b = make_set({{1900, ramp(40)}, {1910, ramp(50)}, {1920, ramp(60)}});
  ASSERT_TRUE(cenbyify(1910, b, s.con));  // and equal to the maximum
  ASSERT_EQ(b.count(), 2);
  EXPECT_EQ(b.ids[1], "S2      ");
  EXPECT_EQ(b.values[1], ramp(50));
}

TEST(censoring, dropping_an_edge_series_shortens_the_set) {
  // Spans 1700-1990 and 1800-1990, minimum start year 1750: 1800-1990 is left, 100 years
  // shorter; cenayify also prints last year, first year and span in free format (3i12,
  // as gfortran's list-directed output writes three default integers).
  SeriesSet set = make_set({{1700, ramp(291)}, {1800, ramp(191)}});
  PSession s;
  ASSERT_TRUE(cenayify(1750, set, s.con));
  EXPECT_EQ(set.summary.first, 1800);
  EXPECT_EQ(set.summary.last, 1990);
  EXPECT_EQ(set.summary.span(), 191);
  EXPECT_EQ(s.out.str(),
            "        1990        1800         191\n"
            "\n"
            "Total chronology length shortened:    100  years\n"
            "\n"
            "                                 NS   IFY   ILY   NYR\n"
            "Min starting year series:         1  1800  1990   191  Years total time span\n");
}

TEST(censoring, no_passing_series) {
  SeriesSet set = make_set({{1900, ramp(40)}, {1910, ramp(50)}});
  PSession s;
  EXPECT_FALSE(cenayify(1911, set, s.con));
  EXPECT_FALSE(cenbyify(1899, set, s.con));
  EXPECT_EQ(set.count(), 2);  // unchanged
  EXPECT_EQ(s.out.str(), "");
  cenbyseg(51, set, s.con);  // cenbyseg has no such test: the set becomes empty
  EXPECT_EQ(set.count(), 0);
}

TEST(censoring, years_before_minus_9999_keep_a_blank_before_them) {
  SeriesSet set = make_set({{-10020, ramp(120)}, {-10010, ramp(40)}});
  PSession s;
  cenbyseg(100, set, s.con);
  EXPECT_TRUE(s.shows("\n" + std::string(33, ' ') + "NS    IFY    ILY   NYR\n"));
  EXPECT_TRUE(s.shows("series:        1 -10020  -9901   120  Years total time span\n"));
}

TEST(censoring, common_period_cuts_every_kept_series_to_it) {
  // 1900-1950, 1910-1960, and 1920-1949, which ends one year before the common end.
  SeriesSet set = make_set({{1900, ramp(51)}, {1910, ramp(51)}, {1920, ramp(30)}});
  PSession s;
  cenbycom(1910, 1950, set, s.con);
  ASSERT_EQ(set.count(), 2);
  EXPECT_EQ(set.summary.first, 1910);
  EXPECT_EQ(set.summary.last, 1950);
  for (int k = 0; k < 2; ++k) {
    EXPECT_EQ(set.rows[static_cast<std::size_t>(k)].first, 1910);
    EXPECT_EQ(set.rows[static_cast<std::size_t>(k)].count, 41);
    EXPECT_EQ(set.values[static_cast<std::size_t>(k)].size(), 41u);
  }
  EXPECT_EQ(set.values[0].front(), 11.0f);  // ring 11 of a series from 1900 is 1910
  EXPECT_EQ(set.values[0].back(), 51.0f);
  EXPECT_EQ(set.values[1].front(), 1.0f);
  EXPECT_EQ(set.values[1].back(), 41.0f);
  // Span before 1900-1960 (61 years), common length 41.
  EXPECT_TRUE(s.shows("\nTotal chronology length shortened:     20  years\n"));
  EXPECT_TRUE(
      s.shows("\n" + std::string(34, ' ') + "2  1910  1950    41  Years total time span\n"));
}

TEST(censoring, common_period_equal_to_the_set_still_reports_the_shortening) {
  SeriesSet set = make_set({{1900, ramp(51)}});
  PSession s;
  cenbycom(1900, 1950, set, s.con);
  EXPECT_EQ(set.count(), 1);
  EXPECT_TRUE(s.shows("Total chronology length shortened:      0  years"));
}

}  // namespace
}  // namespace dendro
