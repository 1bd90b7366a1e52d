#include "detrending/decade_plot.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "series/console.h"
#include "series/files/units.h"
#include "test_series.h"

namespace dendro {
namespace {

// n values in blocks of ten, each block constant at the given level.
std::vector<float> blocks(const std::vector<float>& levels, int n) {
  std::vector<float> v(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i)
    v[static_cast<std::size_t>(i)] = levels[static_cast<std::size_t>(i / 10)];
  return v;
}

TEST(pltdec1, blocks_labels_marks_and_columns) {
  // First year 1953, 47 values, k = 10: y0 = 1950, m = 50, a multiple of 10, so 4 rows
  // labelled 1950..1980 with the means of 1953-1962, ..., 1983-1992. Scales by hand:
  // levels 0.5..2.0 give 1.5/32 per position, indices 0.8..1.2 give 0.02; 1.0 falls on
  // position int(0.2/0.02 + 34.5) = 44. Expected rows printed by gfortran with the same
  // layout and the hand-placed marks:
  //   write(*,'(t2,i5,2f6.2,t54,f6.2,t21,33a1,t62,21a1)') 1950, 2.0, 1.8, 1.2, l(1:33), l(34:54)
  const auto m = blocks({2.0f, 1.5f, 1.0f, 0.5f, 0.5f}, 47);
  const auto c = blocks({1.8f, 1.4f, 1.1f, 0.6f, 0.6f}, 47);
  const auto x = blocks({1.2f, 1.0f, 0.9f, 0.8f, 0.8f}, 47);
  const std::vector<std::string> want{
      "\n         *** 10-year means of measurements, curve fit (x), and indices ***",
      "\n        msmt curve                                    index",
      "  year means means                                    means\n",
      "  1950  2.00  1.80                              x   5  1.20            |         5",
      "  1960  1.50  1.40                     x 6             1.00            6          ",
      "  1970  1.00  1.10             7 x                     0.90       7    |          ",
      "  1980  0.50  0.60  8 x                                0.80  8         |          "};
  EXPECT_EQ(pltdec1_lines(m, c, x, 1953, 10), want);
}

TEST(pltdec1, block_count_rules) {
  const std::vector<float> v(50, 1.0f);
  // 1950 + 50 values: m = 50 is a multiple of 10, so the last full block is dropped.
  EXPECT_EQ(pltdec1_lines(v, v, v, 1950, 10).size(), 3u + 4u);
  // Last year 1990 (41 values from 1950): m = 41 gives 4 blocks, one fewer for the last
  // year being a multiple of 10.
  const std::vector<float> v41(41, 1.0f);
  EXPECT_EQ(pltdec1_lines(v41, v41, v41, 1950, 10).size(), 3u + 3u);
  // Too short for one block: the heading alone.
  const std::vector<float> v9(9, 1.0f);
  EXPECT_EQ(pltdec1_lines(v9, v9, v9, 1953, 10).size(), 3u);
}

TEST(pltdec1, equal_means_and_years_before_zero_stay_on_the_line) {
  // All means equal: no range on either scale, every mark on the scale's first position;
  // the index mean is 1.0, so its digit sits where the reference mark would.
  const std::vector<float> one(25, 1.0f);
  const auto lines = pltdec1_lines(one, one, one, -23, 5);
  ASSERT_EQ(lines.size(), 3u + 4u);
  // Labels from y0 = (-23 / 5) * 5 = -20 (truncated towards zero); the digit is that of
  // the label's magnitude, 2 for -20.
  EXPECT_EQ(lines[3].substr(0, 6), "   -20");
  EXPECT_EQ(lines[3][20], '2');
  EXPECT_EQ(lines[6].substr(0, 6), "    -5");
  for (std::size_t r = 3; r < lines.size(); ++r) {
    EXPECT_EQ(lines[r].size(), 82u);
    EXPECT_EQ(lines[r].find_first_of("x|"), std::string::npos) << lines[r];
  }
}

TEST(pltdec1, means_of_100000_or_more_are_printed_whole) {
  // Means of 123456.78 and 100000.0 take no decimal in six columns: after a blank the whole
  // numbers "123457." and "100000." need 8 each, and the rest of the line moves 4 columns
  // right. The curve sits at position 1 (x), the measurement at 33; the indices have no
  // range, so their digit sits on 34.
  const std::vector<float> m(25, 123456.78f), c(25, 100000.0f), x(25, 1.0f);
  const auto lines = pltdec1_lines(m, c, x, 1950, 5);
  ASSERT_EQ(lines.size(), 3u + 4u);
  EXPECT_EQ(lines[3], "  1950 123457. 100000.  x" + std::string(31, ' ') + "5  1.00  5" +
                          std::string(20, ' '));
}

TEST(pltdec1, destination_by_print_option) {
  test::TestConsole io;
  Units units;
  const std::vector<float> v(30, 1.0f);
  pltdec1(v, v, v, 1901, 10, units, 11, 5, 2, io.con);  // option 5, mode 2: the console
  EXPECT_NE(io.output().find("10-year means"), std::string::npos);
  io.out.str("");
  pltdec1(v, v, v, 1901, 10, units, 11, 5, 1, io.con);  // nowhere
  EXPECT_EQ(io.output(), "");
}

}  // namespace
}  // namespace dendro
