// Runs whose steps have more rows to keep than the chronology has years (ages of the
// regional curve, series of a transformation): the chronology keeps its years and depth,
// and the later stages run to the end.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// One series in tucson ring widths from 1950 (decade records, 999 at the end).
std::string tucson_series(const std::string& id, std::vector<int> widths) {
  widths.push_back(999);
  std::string text;
  auto right = [](int v, std::size_t width) {
    const std::string s = std::to_string(v);
    return std::string(width - s.size(), ' ') + s;
  };
  for (std::size_t k = 0; k < widths.size(); k += 10) {
    std::string line = id + std::string(8 - id.size(), ' ') + right(1950 + static_cast<int>(k), 4);
    for (std::size_t j = k; j < widths.size() && j < k + 10; ++j) line += right(widths[j], 6);
    text += line + "\n";
  }
  return text;
}

// Year and sample depth, the first two fields of every line of the table file.
std::vector<std::string> years_and_depth(const Sandbox& box, const std::string& name) {
  std::vector<std::string> out;
  for (const std::string& line : box.read_lines(name)) {
    out.push_back(line.substr(0, line.find('\t', line.find('\t') + 1)));
  }
  return out;
}

// Three declining series over 1950-1969, detrended by the regional curve with the pith
// offsets of `offsets` (one per line). The answers: the menu (option 4 = -2), the offset
// file, the pager's "more" and "m", "n" to reformatting, free-form reading.
RunResult regional_curve_run(Sandbox& box, const std::string& offsets) {
  std::string data;
  for (int i = 1; i <= 3; ++i) {
    std::vector<int> widths;
    for (int k = 0; k < 20; ++k) widths.push_back(200 - 4 * k + 10 * ((7 * k + 3 * i) % 5));
    data += tucson_series("SMALL" + std::to_string(i), widths);
  }
  box.write_file("s.rwl", data);
  box.write_file("f.txt", "s.rwl\n");
  box.write_file("pith.txt", offsets);
  return box.kalder("\nf.txt\nT\nn\n4\n-2\n\n\n\npith.txt\n\nm\nn\n" + std::string(30, '\n'));
}

TEST(chronology_table, regional_curve_with_offsets_longer_than_the_chronology) {
  // Offsets 50, 0, 0 give an age axis of 70 rows against a chronology of 20 years; 0, 1,
  // 2 give 22 rows. The chronology's years and depth do not depend on the offsets.
  Sandbox small, large;
  const RunResult a = regional_curve_run(small, "0\n1\n2\n");
  ASSERT_EQ(a.status, 0) << a.output;
  const RunResult b = regional_curve_run(large, "50\n0\n0\n");
  ASSERT_EQ(b.status, 0) << b.output;
  const std::vector<std::string> want = years_and_depth(small, "s.rwl_tabs.txt");
  ASSERT_EQ(want.size(), 21u);  // the head and 20 years
  EXPECT_EQ(want[1], "   1950\t   3.");
  EXPECT_EQ(want[20], "   1969\t   3.");
  EXPECT_EQ(years_and_depth(large, "s.rwl_tabs.txt"), want);
}

TEST(chronology_table, transformation_of_more_series_than_years) {
  // Five series over 1950-1953 with the logarithm (option 3 = 1, no plots).
  Sandbox box;
  std::string data;
  for (int i = 1; i <= 5; ++i) {
    std::vector<int> widths;
    for (int k = 0; k < 4; ++k) widths.push_back(100 + 7 * ((3 * k + 5 * i) % 11));
    data += tucson_series("T" + std::to_string(i), widths);
  }
  box.write_file("t.rwl", data);
  box.write_file("f.txt", "t.rwl\n");
  const RunResult r = box.kalder("\nf.txt\nT\nn\n3\n1\nn\n" + std::string(20, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::vector<std::string> table = years_and_depth(box, "t.rwl_tabs.txt");
  ASSERT_EQ(table.size(), 5u);  // the head and 4 years
  EXPECT_EQ(table[4], "   1953\t   5.");
}

}  // namespace
}  // namespace dendro::e2e
