#include "detrending/indices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "series/files/units.h"
#include "series/store.h"

namespace dendro {
namespace {

TEST(calind, ratios) {
  const std::vector<float> c{2.0f, 4.0f, 0.5f, 3.0f};
  std::vector<float> y = c;
  calind(y, c, 1);
  EXPECT_EQ(y, (std::vector<float>{1, 1, 1, 1}));  // a series equal to its curve
  for (int mode : {0, 1}) {
    y = {4.0f, 8.0f, 1.0f, 6.0f};  // twice the curve
    calind(y, c, mode);
    EXPECT_EQ(y, (std::vector<float>{2, 2, 2, 2})) << mode;
  }
}

TEST(calind, residuals_take_the_ratios_mean_and_spread) {
  // Hand: y = 3 4 6 5, c = 2 2 4 4. Ratios 1.5 2 1.5 1.25: mean 1.5625, sd 0.314576
  // (sum of squares 0.296875 over 3). Residuals 1 2 2 1: mean 1.5, sd 0.577350. Indices
  // (r - 1.5) / 0.577350 · 0.314576 + 1.5625: 1.290069 for r = 1, 1.834931 for r = 2.
  const std::vector<float> c{2, 2, 4, 4};
  std::vector<float> y{3, 4, 6, 5};
  calind(y, c, 2);
  EXPECT_NEAR(y[0], 1.290069, 1e-5);
  EXPECT_NEAR(y[1], 1.834931, 1e-5);
  EXPECT_NEAR(y[2], 1.834931, 1e-5);
  EXPECT_NEAR(y[3], 1.290069, 1e-5);

  // No spread: a series equal to its curve has residuals of 0 and constant ratios; a
  // series twice its curve has constant ratios but varying residuals. Both give the
  // ratios' mean, not a value scaled by the undefined marker.
  y = c;
  calind(y, c, 2);
  EXPECT_EQ(y, (std::vector<float>{1, 1, 1, 1}));
  y = {4, 4, 8, 8};
  calind(y, c, 2);
  EXPECT_EQ(y, (std::vector<float>{2, 2, 2, 2}));
}

// A store of series with the given lengths, all starting in 1901, values 1, 2, ... n.
Tsi1 store(const std::vector<int>& lengths) {
  Tsi1 t;
  int longest = 0;
  for (int n : lengths) longest = std::max(longest, n);
  t.reshape(longest, static_cast<int>(lengths.size()));
  for (int i = 1; i <= t.count; ++i) {
    const int n = lengths[static_cast<std::size_t>(i - 1)];
    for (int r = 1; r <= n; ++r) t.at(r, i) = static_cast<float>(r);
    t.year_row(i) = SeriesYears{1901, 1900 + n};
    t.ids.push_back("ABC" + std::string(i < 10 ? "0" : "") + std::to_string(i) + "   ");
  }
  t.year_row(t.count + 1) = SeriesYears{1901, 1900 + longest};
  return t;
}

std::vector<std::string> lines_of(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

struct OutFile {
  // One file per test and process. One run at a time holds the folder: a test's second
  // file is written once the first one's run has ended.
  std::string path = ::testing::TempDir() + "sstat_out_" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + "_" +
                     std::to_string(::getpid()) + ".txt";
  Units units;
  OutFile() { units.create(11, path); }
  std::vector<std::string> close() {
    units.close(11);
    return lines_of(path);
  }
};

TEST(sstat, series_rows_and_summary) {
  OutFile out;
  StatsTable stats;
  Tsi1 t = store({10, 20, 30, 40});
  sstat(t, stats, out.units, 11, 2);
  const auto lines = out.close();
  // Series 1 holds 1..10. Hand: mean 5.5, sd 3.02765; kurtosis 1208.625 / (9.16667² · 10)
  // times 100·11 / (8·9·7) = 3.13929; mean sensitivity (2/3 + 2/5 + ... + 2/19) / 9 =
  // 0.251834; autocorrelation 57.75 / 8.25 / 10 = 0.7. Row printed by gfortran:
  //   write(*,'(t2,i5,2x,a8,i6,2i7,2f8.3,3f7.3,f8.3)') 1, 'ABC01   ', 1901, 1910, 10, &
  //     5.5, 3.02765, 0.0, 3.13929, 0.251834, 0.7
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1],
            " |-------------------- statistics of single tree-ring series -------------------|");
  EXPECT_EQ(lines[3],
            " series   ident   frst   last   year    mean   stdev   skew   kurt   sens   ac(1)");
  EXPECT_EQ(lines[4],
            "     1  ABC01     1901   1910     10   5.500   3.028  0.000  3.139  0.252   0.700");
  // Summary of the lengths 10, 20, 30, 40: mean 25, median 25, hinges 15 and 35,
  // interquartile range 20, extremes 10 and 40 (hand, by the depth rule of the hinges).
  EXPECT_FLOAT_EQ(stats.at(1, 1), 25.0f);
  EXPECT_FLOAT_EQ(stats.at(3, 1), 25.0f);
  EXPECT_FLOAT_EQ(stats.at(4, 1), 20.0f);
  EXPECT_FLOAT_EQ(stats.at(5, 1), 10.0f);
  EXPECT_FLOAT_EQ(stats.at(6, 1), 15.0f);
  EXPECT_FLOAT_EQ(stats.at(7, 1), 35.0f);
  EXPECT_FLOAT_EQ(stats.at(8, 1), 40.0f);
  const std::vector<std::string> tail(lines.end() - 12, lines.end());
  EXPECT_EQ(tail[0], "");
  EXPECT_EQ(tail[1],
            " |---------------- summary of single tree-ring series statistics ---------------|");
  EXPECT_EQ(tail[2], "");
  EXPECT_EQ(tail[3],
            "                                year    mean   stdev   skew   kurt   sens   ac(1)");
  EXPECT_EQ(tail[4].substr(0, 36), " arithmetic mean                  25");
  EXPECT_EQ(tail[7].substr(0, 36), " interquartile range              20");
  EXPECT_EQ(tail[11].substr(0, 36), " maximum value                    40");
}

TEST(sstat, length_rounding_and_printout_one) {
  StatsTable stats;
  {
    OutFile out;
    Tsi1 t = store({99, 100});  // mean length 99.5: shown as 100
    sstat(t, stats, out.units, 11, 1);
    const auto lines = out.close();
    // Printout 1: no series rows, the summary alone.
    ASSERT_EQ(lines.size(), 12u);
    EXPECT_EQ(lines[4].substr(0, 36), " arithmetic mean                 100");
    EXPECT_EQ(lines[6].substr(0, 36), " median (50th quantile)           99");  // 99.5 truncated
  }
  OutFile out2;
  Tsi1 t2 = store({99, 99, 99, 99, 101});  // mean 99.4: shown as 99
  sstat(t2, stats, out2.units, 11, 1);
  EXPECT_EQ(out2.close()[4].substr(0, 36), " arithmetic mean                  99");
}

TEST(sstat, one_series_and_repeated_heads) {
  StatsTable stats;
  {
    OutFile out;
    Tsi1 t = store({10});
    sstat(t, stats, out.units, 11, 2);
    EXPECT_EQ(out.close().size(), 5u);      // heading, column head and one row; no summary
    EXPECT_FLOAT_EQ(stats.at(1, 2), 5.5f);  // the series' own values stay
  }
  OutFile out45;
  Tsi1 t45 = store(std::vector<int>(45, 10));
  sstat(t45, stats, out45.units, 11, 3);
  const auto lines = out45.close();
  int heads = 0;
  for (const auto& l : lines) heads += l.starts_with(" series   ident");
  EXPECT_EQ(heads, 3);                                  // before series 1, 20 and 40
  EXPECT_EQ(lines[4 + 19 + 2].substr(0, 6), "    20");  // after 19 rows, a blank and the head
}

}  // namespace
}  // namespace dendro
