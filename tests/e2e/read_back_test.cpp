// Files that the programs write in a format they read, read back by the programs whatever
// title records the data file had.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// Six series over 1901-1960 after title records numbered in columns 7-10 and with numbers
// after the text, as many published files have them: as tucson index data the second
// reads the year 2, then text where the values stand.
std::string site_file() {
  return "site1   1 Bavarian Forest                                      PCAB\n"
         "site1   2 Germany     Norway spruce     1520M  4741 1252          __    1901 1960\n"
         "site1   3 Schweingruber\n" +
         similar_series("ST", 6, 1901, 60);
}

void expect_same_values(const std::vector<std::map<int, float>>& read,
                        const std::vector<std::map<int, float>>& written, const std::string& what) {
  ASSERT_EQ(read.size(), written.size()) << what;
  for (std::size_t k = 0; k < read.size(); ++k) {
    ASSERT_EQ(read[k].size(), written[k].size()) << what;
    for (const auto& [year, value] : written[k]) {
      EXPECT_NEAR(read[k].at(year), value, 1e-5) << what << " " << year;
    }
  }
}

TEST(read_back, series_saves_read_back_as_the_formats_they_are) {
  // Option 18 = 1 tucson ring widths, 2 tucson indices, 4 compact; read back by option 1 =
  // 1, 3 and 4 and saved again the same way, they give the same file.
  const std::vector<std::pair<std::string, std::string>> formats{
      {"1", "1"}, {"2", "3"}, {"4", "4"}};
  for (const auto& [save, kind] : formats) {
    Sandbox box;
    box.write_file("site.rwl", site_file());
    box.write_file("f.txt", "site.rwl\n");
    ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n18\n" + save + "\n\n\n" + std::string(20, '\n')).status,
              0);
    box.write_file("g.txt", "site.rwl_raw.txt\n");
    const RunResult again = box.kalder("\ng.txt\nT\nn\n1\n" + kind + "\n18\n" + save + "\n\n\n" +
                                       std::string(20, '\n'));
    ASSERT_EQ(again.status, 0) << again.output;
    EXPECT_EQ(box.read_file("site.rwl_raw_raw.txt"), box.read_file("site.rwl_raw.txt")) << save;
  }
}

#ifdef PELLIFORM_PATH
TEST(read_back, chronology_files_of_both_programs_read_back_with_both_readers) {
  Sandbox box;
  box.write_file("site.rwl", site_file());
  box.write_file("twin.rwl", site_file());  // a second data file keeps the run-wide files
  box.write_file("f.txt", "site.rwl\ntwin.rwl\n");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n\n\n\n" + std::string(20, '\n')).status, 0);
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site.rwl\n" + pelliform_defaults()).status, 0);
  // The chronologies as printed in the table: raw, std, res and kld in columns 4 to 7.
  const auto crns = read_chronologies(box.read_file("site.rwl_crns.txt"));
  ASSERT_EQ(crns.size(), 4u);
  for (std::size_t k = 0; k < crns.size(); ++k) {
    const auto column = table_column(box.read_file("site.rwl_tabs.txt"), 4 + static_cast<int>(k));
    for (const auto& [year, value] : crns[k]) EXPECT_NEAR(value, column.at(year), 5e-4) << year;
  }

  // kalder reads each file as tucson index data (option 1 = 3), leaves the series as they
  // are (option 4 = 0, "n": no plots) and saves what it read as such (option 18 = 2). A
  // run-wide file would be the run's own output: a copy is read.
  box.write_file("wide_std.txt", box.read_file("crns_std.txt"));
  const std::vector<std::pair<std::string, std::string>> files{
      {"site.rwl_crns.txt", "site.rwl_crns_raw.txt"},
      {"site.rwl_errs.txt", "site.rwl_errs_raw.txt"},
      {"wide_std.txt", "wide_std_raw.txt"},
      {"site_crns_tuc.txt", "site_crns_tuc_raw.txt"}};
  std::string list;
  for (const auto& f : files) list += f.first + "\n";
  box.write_file("g.txt", list);
  const RunResult r =
      box.kalder("\ng.txt\nT\nn\n\n1\n3\n4\n0\nn\n18\n2\n\n\n" + std::string(30, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  for (const auto& [file, saved] : files) {
    expect_same_values(read_chronologies(box.read_file(saved)),
                       read_chronologies(box.read_file(file)), file);
  }

  // pelliform reads its own file as tucson index data (input format 2); the first pass's
  // data file holds the values read, as ring widths, which write 0.999 as 1.000 (999 would
  // end the series).
  Sandbox own;
  own.write_file("site_crns_tuc.txt", box.read_file("site_crns_tuc.txt"));
  ASSERT_EQ(own.run(PELLIFORM_PATH, "site_crns_tuc.txt\n2" + pelliform_defaults().substr(1)).status,
            0);
  auto written = read_chronologies(own.read_file("site_crns_tuc.txt"));
  for (auto& series : written) {
    for (auto& [year, value] : series) {
      if (std::lround(value * 1000.0f) == 999) value = 1.0f;
    }
  }
  expect_same_values(
      read_chronologies(own.read_file("site_crns_tuc_STD_RAW_Data.txt"), TucsonMode::mr), written,
      "pelliform");
}
#endif

}  // namespace
}  // namespace dendro::e2e
