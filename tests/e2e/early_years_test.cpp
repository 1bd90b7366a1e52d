// Runs on series before -9999: both programs read them, give the set the span of its
// series and write chronology files that read back with the same years.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "series/tucson.h"

namespace dendro::e2e {
namespace {

// Ring widths in mm with a declining trend and a yearly wiggle, rounded to the 0.001 mm of
// the file.
std::vector<float> widths(int n, float phase) {
  std::vector<float> w(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) {
    const auto x = static_cast<float>(t);
    w[static_cast<std::size_t>(t)] = std::round(1000.0f * (0.6f + 1.2f * std::exp(-0.02f * x) +
                                                           0.2f * std::sin(0.9f * x + phase))) /
                                     1000.0f;
  }
  return w;
}

// LONG01 -10020 to -9901 (120 years), SHORT1 -10000 to -9921 and SHORT2 -10010 to -9911.
std::string early_file(int series) {
  std::ostringstream out;
  out << "EARLY  1 Series before the year -9999\n";
  trrw_write(out, TucsonMode::mw, "LONG01", -10020, widths(120, 0.0f), {}, "   ");
  trrw_write(out, TucsonMode::mw, "SHORT1", -10000, widths(80, 1.3f), {}, "   ");
  if (series > 2) trrw_write(out, TucsonMode::mw, "SHORT2", -10010, widths(100, 2.1f), {}, "   ");
  return out.str();
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  for (const std::string& l : lines) {
    if (l == line) return true;
  }
  return false;
}

// Each chronology of the file runs over exactly the years `first` to `last`.
void expect_years(const std::string& text, std::size_t chronologies, int first, int last,
                  const std::string& name) {
  const auto series = read_chronologies(text);
  ASSERT_EQ(series.size(), chronologies) << name;
  for (const auto& s : series) {
    ASSERT_FALSE(s.empty()) << name;
    EXPECT_EQ(s.begin()->first, first) << name;
    EXPECT_EQ(s.rbegin()->first, last) << name;
    EXPECT_EQ(s.size(), static_cast<std::size_t>(last - first + 1)) << name;
  }
}

TEST(early_years_e2e, kalder_default_run_writes_chronologies_of_the_true_years) {
  Sandbox box;
  box.write_file("early.rwl", early_file(2));
  box.write_file("f.txt", "early.rwl\n");
  const RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("     2 series from -10020 to  -9901     120 years"), std::string::npos)
      << r.output;
  EXPECT_EQ(r.output.find("total series length"), std::string::npos);
  for (const char* name : {"early.rwl_crns.txt", "early.rwl_errs.txt", "early.rwl_tabs.txt"}) {
    EXPECT_EQ(box.read_file(name).find('*'), std::string::npos) << name;  // no field overflows
  }

  // The raw, standard, residual and kalder chronologies and their errors, over the 120
  // years; the first record is headed by -10020 in columns 5-10 after 4 id columns.
  const std::string crns = box.read_file("early.rwl_crns.txt");
  expect_years(crns, 4, -10020, -9901, "crns");
  expect_years(box.read_file("early.rwl_errs.txt"), 4, -10020, -9901, "errs");
  const std::vector<std::string> lines = split_lines(crns);
  std::size_t first_record = 0;
  while (first_record < lines.size() &&
         (lines[first_record].size() < 17 || lines[first_record].compare(4, 6, "-10020") != 0)) {
    ++first_record;
  }
  ASSERT_LT(first_record, lines.size()) << crns;
  // -10020 to -10001 hold LONG01 alone: the raw chronology is its width, depth 1.
  const auto raw = read_chronologies(crns)[0];
  const std::vector<float> long01 = widths(120, 0.0f);
  EXPECT_NEAR(raw.at(-10020), long01[0], 0.0006);
  EXPECT_NEAR(raw.at(-10001), long01[19], 0.0006);
  EXPECT_EQ(lines[first_record].substr(14, 3), "  1");

  const std::vector<std::string> table = box.read_lines("early.rwl_tabs.txt");
  ASSERT_EQ(table.size(), 121u);  // head and one row per year
  EXPECT_EQ(table[1].substr(0, 8), " -10020\t");
  EXPECT_EQ(table[120].substr(0, 8), "  -9901\t");
  EXPECT_TRUE(has_line(box.read_lines("early.rwl_out.txt"),
                       " number of series read in:    2   from -10020  to  -9901     120 years"));
}

#ifdef PELLIFORM_PATH

// The demo's answers: tucson ring widths, ratios, every default, "c" at every plot page.
std::string pelliform_demo(const std::string& file) {
  std::string input = file + "\n1\nR\n" + std::string(12, '\n');
  constexpr int kPageAnswers = 400;  // more than the run shows pages
  for (int k = 0; k < kPageAnswers; ++k) input += "c\n";
  return input;
}

TEST(early_years_e2e, pelliform_demo_run_writes_chronologies_of_the_true_years) {
  Sandbox box;
  box.write_file("early.rwl", early_file(3));
  const RunResult r = box.run(PELLIFORM_PATH, pelliform_demo("early.rwl"));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("Total series read in:             3 -10020  -9901   120"),
            std::string::npos)
      << r.output;

  // The standard and signal-free chronologies and their stabilised forms, 120 years each.
  expect_years(box.read_file("early_crns_tuc.txt"), 4, -10020, -9901, "crns_tuc");
  const std::vector<std::string> columns = box.read_lines("early_crns_col.txt");
  ASSERT_EQ(columns.size(), 121u);
  EXPECT_EQ(columns[1].substr(0, 12), "-10020     1");
  EXPECT_EQ(columns[10].substr(0, 12), "-10011     1");
  EXPECT_EQ(columns[11].substr(0, 12), "-10010     2");
  EXPECT_EQ(columns[21].substr(0, 12), "-10000     3");
  EXPECT_EQ(columns[120].substr(0, 12), " -9901     1");
}

#endif

}  // namespace
}  // namespace dendro::e2e
