// The files that the programs write in a format they read, read back by the programs after
// data files whose title records number themselves in the index year columns.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// Six series over 1901-1960; read as index data the second title record holds the year 2,
// then text where the values stand, and numbers.
std::string site_file() {
  return "site1   1 Bavarian Forest                                      PCAB\n"
         "site1   2 Germany     Norway spruce     1520M  4741 1252          __    1901 1960\n" +
         similar_series("ST", 6, 1901, 60);
}

TEST(read_back, series_saves_read_back_as_the_formats_they_are) {
  // Option 18 = 1 ring widths, 2 indices, 4 compact, read back by option 1 = 1, 3, 4 and
  // saved again the same way: the same file.
  for (const auto& [save, kind] : {std::pair{"1", "1"}, {"2", "3"}, {"4", "4"}}) {
    Sandbox box;
    box.write_file("site.rwl", site_file());
    box.write_file("f.txt", "site.rwl\n");
    box.write_file("g.txt", "site.rwl_raw.txt\n");
    const std::string rest = std::string("18\n") + save + "\n\n\n" + std::string(20, '\n');
    ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n" + rest).status, 0);
    ASSERT_EQ(box.kalder("\ng.txt\nT\nn\n1\n" + std::string(kind) + "\n" + rest).status, 0);
    EXPECT_EQ(box.read_file("site.rwl_raw_raw.txt"), box.read_file("site.rwl_raw.txt")) << save;
  }
}

#ifdef PELLIFORM_PATH
TEST(read_back, chronology_files_of_both_programs_read_back_with_both_readers) {
  // kalder's error, run-wide and index files take the same title records as its
  // chronology file.
  Sandbox box;
  box.write_file("site.rwl", site_file());
  box.write_file("f.txt", "site.rwl\n");
  box.write_file("g.txt", "site.rwl_crns.txt\nsite_crns_tuc.txt\n");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n\n\n" + std::string(20, '\n')).status, 0);
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site.rwl\n" + pelliform_defaults()).status, 0);
  // kalder reads both as index data (option 1 = 3) and saves them as read (option 4 = 0,
  // "n" no plots; option 18 = 2).
  ASSERT_EQ(
      box.kalder("\ng.txt\nT\nn\n\n1\n3\n4\n0\nn\n18\n2\n\n\n" + std::string(30, '\n')).status, 0);
  for (const std::string stem : {"site.rwl_crns", "site_crns_tuc"}) {
    EXPECT_EQ(read_chronologies(box.read_file(stem + "_raw.txt")),
              read_chronologies(box.read_file(stem + ".txt")))
        << stem;
  }
  // pelliform reads its own file as index data (input format 2): its four chronologies.
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site_crns_tuc.txt\n2" + pelliform_defaults().substr(1)).status,
            0);
  EXPECT_NE(box.read_file("site_crns_tuc_out_v43ptr08.txt")
                .find("TOTAL SERIES READ IN:             4  1901  1960    60"),
            std::string::npos);
}

TEST(read_back, index_files_read_back_whatever_the_id_or_file_name) {
  // Ids and a file name with "-" as their sixth character, then a digit or a blank: in
  // the six id columns of the index records "HNG03-1" of 1901 would read back as HNG03 of
  // -1901, and the chronology id "site1-" likewise.
  std::string data = similar_series("ST", 4, 1901, 60);
  const char* ids[] = {"HNG03-1 ", "HNG03-2 ", "HNG04-  ", "HNG05-  "};
  for (std::size_t at = 0; at < data.size(); at = data.find('\n', at) + 1) {
    data.replace(at, 8, ids[data[at + 5] - '0']);
  }
  Sandbox box;
  box.write_file("site1-a.rwl", data);
  box.write_file("f.txt", "site1-a.rwl\n");
  box.write_file("g.txt", "site1-a.rwl_crns.txt\nsite1-a_crns_tuc.txt\nsite1-a.rwl_raw.txt\n");
  // kalder saves the series as index records (option 18 = 2), pelliform its chronologies.
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n18\n2\n\n\n" + std::string(20, '\n')).status, 0);
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site1-a.rwl\n" + pelliform_defaults()).status, 0);
  // The saved ring widths read back in their years: the widths of the data file (0.001 mm).
  const std::vector<std::map<int, float>> saved =
      read_chronologies(box.read_file("site1-a.rwl_raw.txt"));
  ASSERT_EQ(saved.size(), 4u);
  const std::vector<std::map<int, float>> widths = read_chronologies(data, true);
  ASSERT_EQ(widths.size(), 4u);
  for (std::size_t k = 0; k < 4; ++k) {
    for (const auto& [year, width] : widths[k]) EXPECT_NEAR(saved[k].at(year), width, 1e-6);
  }
  // kalder reads every file as index data (option 1 = 3) and saves it as read: the same
  // chronologies, year by year; pelliform reads its own as index data (input format 2).
  ASSERT_EQ(
      box.kalder("\ng.txt\nT\nn\n\n1\n3\n4\n0\nn\n18\n2\n\n\n" + std::string(30, '\n')).status, 0);
  for (const std::string stem : {"site1-a.rwl_crns", "site1-a_crns_tuc", "site1-a.rwl_raw"}) {
    const std::vector<std::map<int, float>> read = read_chronologies(box.read_file(stem + ".txt"));
    EXPECT_FALSE(read.empty()) << stem;
    for (const auto& series : read) EXPECT_EQ(series.begin()->first, 1901) << stem;
    EXPECT_EQ(read_chronologies(box.read_file(stem + "_raw.txt")), read) << stem;
  }
  ASSERT_EQ(
      box.run(PELLIFORM_PATH, "site1-a_crns_tuc.txt\n2" + pelliform_defaults().substr(1)).status,
      0);
  EXPECT_NE(box.read_file("site1-a_crns_tuc_out_v43ptr08.txt")
                .find("TOTAL SERIES READ IN:             4  1901  1960    60"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace dendro::e2e
