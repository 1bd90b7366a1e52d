// kalder on data files of the mib pex and compact formats whose values or headers cannot
// be taken: the run stops at the reading with a message that names the line, instead of
// carrying the value into the statistics.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "harness.h"

namespace dendro::e2e {
namespace {

// A mib pex series of 1900-1939: a header record, then four decade records of ten pairs of
// a 4-column value in hundredths and a count; `odd` replaces the value field of 1915.
std::string mib_series(const char* id, int step, const char* odd = nullptr) {
  char line[96];
  std::snprintf(line, sizeof line, "%-6s%4d%4d\n", id, 1900, 1939);
  std::string text = line;
  for (int decade = 1900; decade < 1940; decade += 10) {
    std::snprintf(line, sizeof line, "%-6s%4d", id, decade);
    std::string record = line;
    for (int year = decade; year < decade + 10; ++year) {
      std::snprintf(line, sizeof line, "%4d%3d", 100 + (year * step) % 97, 1);
      std::string pair = line;
      if (odd != nullptr && year == 1915) pair.replace(0, 4, odd);
      record += pair;
    }
    text += record + "\n";
  }
  return text;
}

// An interactive run on `data` as the data file "site.txt", with the data type (option 1)
// set at the menu; plenty of Returns for the pauses.
RunResult run_on(Sandbox& box, const std::string& data, const char* data_type) {
  box.write_file("site.txt", data);
  box.write_file("f.txt", "site.txt\n");
  return box.kalder(std::string("\nf.txt\nT\nn\n1\n") + data_type + "\n\n" + std::string(40, '\n'));
}

TEST(series_formats_e2e, a_mib_pex_value_beyond_the_limit_stops_the_run_at_its_line) {
  Sandbox box;
  // The odd value is in the second series' second decade record: line 5 + 2 + 1 = 8.
  RunResult r = run_on(box, mib_series("AAA01", 7) + mib_series("AAA02", 11, "1e30"), "2");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find(" *** error reading tree-ring data in mib pex data format: series "
                          "AAA02 \n line: AAA02 1910"),
            std::string::npos)
      << r.output;
  EXPECT_NE(r.output.find(" line 8: columns 46-49 \"1e30\" is 1e+28: values must lie above "
                          "-1000000 and below 1000000"),
            std::string::npos)
      << r.output;
  // Nothing of the value reaches the statistics.
  const std::string out = box.exists("site_out.txt") ? box.read_file("site_out.txt") : "";
  EXPECT_EQ(out.find("Infinity"), std::string::npos);
  EXPECT_EQ(out.find("NaN"), std::string::npos);
  EXPECT_EQ(out.find("inf"), std::string::npos);
  EXPECT_EQ(out.find("nan"), std::string::npos);
}

TEST(series_formats_e2e, the_same_file_without_the_odd_value_runs_through) {
  Sandbox box;
  RunResult r = run_on(box, mib_series("AAA01", 7) + mib_series("AAA02", 11), "2");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("     2 series from   1900 to   1939      40 years"), std::string::npos)
      << r.output;
}

TEST(series_formats_e2e, a_compact_header_too_long_shows_its_count_whole) {
  Sandbox box;
  std::string header(80, ' ');
  header.replace(0, 22, "   12345=n    1900=i ");
  header.replace(21, 5, "LONG1");
  header.replace(68, 12, "  0(13f6.0)~");
  RunResult r = run_on(box, header + " raw\n   100   200\n", "4");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("*** series length exceeds maximum allowable length: LONG1     "
                          "12345 > 5000"),
            std::string::npos)
      << r.output;
}

}  // namespace
}  // namespace dendro::e2e
