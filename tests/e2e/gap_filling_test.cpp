// A real ring-width file with missing values (negative measurements inside a series) runs
// through gap filling end to end.
#include <gtest/gtest.h>

#include "harness.h"

namespace dendro::e2e {
namespace {

TEST(gap_filling_e2e, filled_values_are_positive_and_within_the_series_range) {
  Sandbox box;
  // co021 with three years of series 641114 set to -1 (1311-1313) and one to -5 (1675).
  box.copy_data("co021_gaps.rwl");
  box.write_file("f.txt", "co021_gaps.rwl\n");
  // Option 18 = 5 saves every stage as space-delimited columns.
  RunResult r = box.kalder("\nf.txt\nT\nn\n18\n5\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("fill in missing data gaps now"), std::string::npos);

  const std::string out = box.read_file("co021_gaps.rwl_out.txt");
  EXPECT_NE(out.find("missing values found:   4 in   2 gaps"), std::string::npos);
  EXPECT_NE(out.find("/ 1311  1313 / 1675  1675 /"), std::string::npos);

  const auto raw = space_delimited_series(box.read_file("co021_gaps.rwl_raw.txt")).at(0);
  const auto gap = space_delimited_series(box.read_file("co021_gaps.rwl_gap.txt")).at(0);
  double low = 1e9, high = -1e9;
  for (const auto& [year, v] : raw) {
    if (v < 0) continue;
    low = std::min(low, v);
    high = std::max(high, v);
  }
  for (int year : {1311, 1312, 1313, 1675}) {
    ASSERT_TRUE(gap.count(year)) << year;
    EXPECT_LT(raw.at(year), 0.0) << year;  // missing as read
    EXPECT_GT(gap.at(year), 0.0) << year;
    EXPECT_GE(gap.at(year), low) << year;
    EXPECT_LE(gap.at(year), high) << year;
  }
  EXPECT_DOUBLE_EQ(gap.at(1310), raw.at(1310));  // present values are kept as read
  EXPECT_FALSE(box.exists("curves.dat"));
}

}  // namespace
}  // namespace dendro::e2e
