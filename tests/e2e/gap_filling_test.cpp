// A real ring-width file with missing values (negative measurements inside a series) runs
// through gap filling end to end.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "harness.h"

namespace dendro::e2e {
namespace {

// Column `column` (1 = first series) of a space-delimited series file, by year; "." (no
// value) is left out.
std::map<int, double> column_values(const std::string& text, int column) {
  std::map<int, double> values;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // head: year and the ids
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int year = 0;
    fields >> year;
    std::string v;
    for (int k = 1; k <= column && fields >> v; ++k) {
      if (k == column && v != ".") values[year] = std::stod(v);
    }
  }
  return values;
}

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

  const auto raw = column_values(box.read_file("co021_gaps.rwl_raw.txt"), 1);
  const auto gap = column_values(box.read_file("co021_gaps.rwl_gap.txt"), 1);
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
