// Runs whose steps have more rows to keep than the chronology has years (ages of the
// regional curve, series of a transformation): the chronology keeps its years and depth,
// the later stages run to the end, and the table file holds every age row.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// One series in tucson ring widths from `first` (decade records, 999 at the end).
std::string tucson_series(const std::string& id, std::vector<int> widths, int first = 1950) {
  widths.push_back(999);
  std::string text;
  auto right = [](int v, std::size_t width) {
    const std::string s = std::to_string(v);
    return std::string(width - s.size(), ' ') + s;
  };
  for (std::size_t k = 0; k < widths.size(); k += 10) {
    std::string line = id + std::string(8 - id.size(), ' ') + right(first + static_cast<int>(k), 4);
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

// Three declining series of 20 rings, from 1950, 1950 + step and 1950 + 2 step, detrended
// by the regional curve with the pith offsets of `offsets` (one per line). The answers: the
// menu (option 4 = -2), the offset file, the pager's "more" and "m", "n" to reformatting,
// free-form reading. Ring k of series i is 200 - 4k + 10 ((7k + 3i) mod 5), in 0.01 mm.
RunResult regional_curve_run(Sandbox& box, const std::string& offsets, int step = 0) {
  std::string data;
  for (int i = 1; i <= 3; ++i) {
    std::vector<int> widths;
    for (int k = 0; k < 20; ++k) widths.push_back(200 - 4 * k + 10 * ((7 * k + 3 * i) % 5));
    data += tucson_series("SMALL" + std::to_string(i), widths, 1950 + (i - 1) * step);
  }
  box.write_file("s.rwl", data);
  box.write_file("f.txt", "s.rwl\n");
  box.write_file("pith.txt", offsets);
  return box.kalder("\nf.txt\nT\nn\n4\n-2\n\n\n\npith.txt\n\nm\nn\n" + std::string(30, '\n'));
}

// The table's row of an age past the chronology's years, to the regional curve's `sig`:
// eight blank calendar fields, then age, depth, mean and spread.
std::string age_row(const std::string& age_depth_mean_sig) {
  std::string row = "       \t     ";
  for (int c = 0; c < 6; ++c) row += "\t        ";
  return row + age_depth_mean_sig;
}

TEST(chronology_table, regional_curve_rows_hold_every_age) {
  // Offsets 50, 0, 0 give an age axis of 70 rows against a chronology of 20 years; 0, 1,
  // 2 give 22 rows. The chronology's years and depth do not depend on the offsets, and
  // the table goes on by age with blank calendar fields to the last age.
  Sandbox small, large;
  const RunResult a = regional_curve_run(small, "0\n1\n2\n");
  ASSERT_EQ(a.status, 0) << a.output;
  const RunResult b = regional_curve_run(large, "50\n0\n0\n");
  ASSERT_EQ(b.status, 0) << b.output;
  const std::vector<std::string> want = years_and_depth(small, "s.rwl_tabs.txt");
  ASSERT_EQ(want.size(), 23u);  // the head, 20 years and 2 more ages
  EXPECT_EQ(want[1], "   1950\t   3.");
  EXPECT_EQ(want[20], "   1969\t   3.");
  EXPECT_EQ(want[21], "       \t     ");
  const std::vector<std::string> large_table = large.read_lines("s.rwl_tabs.txt");
  ASSERT_EQ(large_table.size(), 71u);  // the head and 70 ages
  const std::vector<std::string> large_years = years_and_depth(large, "s.rwl_tabs.txt");
  EXPECT_TRUE(std::equal(want.begin(), want.begin() + 21, large_years.begin()));
  // Ages 21 to 50 hold no series; 51 to 70 only SMALL1, whose last ring is 134 (hand).
  EXPECT_TRUE(large_table[21].starts_with(age_row("\t  21.000\t   0.000\t   0.000\t   0.000\t")));
  EXPECT_TRUE(large_table[70].starts_with(age_row("\t  70.000\t   1.000\t   1.340\t   0.000\t")));
  // Age 22 holds only SMALL3 (offset 2), whose last ring is 144 (hand).
  EXPECT_TRUE(small.read_lines("s.rwl_tabs.txt")[22].starts_with(
      age_row("\t  22.000\t   1.000\t   1.440\t   0.000\t")));
  // The rcs block of the chronology file (the second) runs to the table's last age.
  for (Sandbox* box : {&small, &large}) {
    const auto blocks = read_chronologies(box->read_file("s.rwl_crns.txt"));
    ASSERT_EQ(blocks.size(), 5u);
    EXPECT_EQ(blocks[1].rbegin()->first,
              static_cast<int>(box->read_lines("s.rwl_tabs.txt").size()) - 1);
  }
}

TEST(chronology_table, batch_runs_take_the_offsets_from_the_detail_file) {
  // The interactive run's offsets 50, 0, 0 stand in the detail file's yfp column: a batch
  // run writes the same table. With robust autoregression (option 9 = 2 in the log file)
  // the four tally fields of an age row stay blank as well.
  Sandbox box;
  ASSERT_EQ(regional_curve_run(box, "50\n0\n0\n").status, 0);
  const std::string table = box.read_file("s.rwl_tabs.txt");
  const RunResult again = box.kalder("\nf.txt\nT\ny\n" + std::string(20, '\n'));
  ASSERT_EQ(again.status, 0) << again.output;
  EXPECT_EQ(box.read_file("s.rwl_tabs.txt"), table);

  std::vector<std::string> log = box.read_lines("s.rwl_log.txt");
  log.at(9).replace(0, 1, "2");
  std::string text;
  for (const std::string& line : log) text += line + "\n";
  box.write_file("s.rwl_log.txt", text);
  const RunResult robust = box.kalder("\nf.txt\nT\ny\n" + std::string(20, '\n'));
  ASSERT_EQ(robust.status, 0) << robust.output;
  const std::vector<std::string> rows = box.read_lines("s.rwl_tabs.txt");
  ASSERT_EQ(rows.size(), 71u);
  EXPECT_TRUE(rows[0].ends_with("\tcrv\tnabs\tpabs\tnpct\tppct"));
  EXPECT_TRUE(rows[70].starts_with(age_row("\t  70.000\t   1.000\t   1.340\t   0.000\t")));
  // The last blank field of a row is empty: the layout's trailing 8x writes nothing.
  EXPECT_TRUE(rows[70].ends_with("\t        \t        \t        \t")) << rows[70];
}

TEST(chronology_table, regional_curve_with_fewer_ages_than_years) {
  // Series from 1950, 1960 and 1970 without offsets: 20 ages in a chronology of 40 years;
  // the years after the last age hold -9.99 in the regional curve's fields.
  Sandbox box;
  const RunResult r = regional_curve_run(box, "0\n0\n0\n", 10);
  ASSERT_EQ(r.status, 0) << r.output;
  const std::vector<std::string> table = box.read_lines("s.rwl_tabs.txt");
  ASSERT_EQ(table.size(), 41u);  // the head and 40 years
  EXPECT_NE(table[20].find("\t  20.000\t   3.000\t"), std::string::npos) << table[20];
  const std::string none = "\t  -9.990\t  -9.990\t  -9.990\t  -9.990\t  -9.990";
  EXPECT_TRUE(table[21].starts_with("   1970\t   2.\t") && table[21].ends_with(none)) << table[21];
  EXPECT_TRUE(table[40].starts_with("   1989\t   1.\t") && table[40].ends_with(none)) << table[40];
  EXPECT_EQ(read_chronologies(box.read_file("s.rwl_crns.txt"))[1].rbegin()->first, 20);
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
