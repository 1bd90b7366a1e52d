#include "pelliform/censored_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "pelliform_session.h"
#include "series/records.h"
#include "series/tucson.h"

namespace dendro {
namespace {

using testing::make_set;
using testing::PSession;

TEST(censored_file_name, value_fields) {
  EXPECT_EQ(censored_file_name('2', 25, 25, "site.rwl"), "site_mnsl=25.txt");
  EXPECT_EQ(censored_file_name('2', 5, 5, "site.rwl"), "site_mnsl= 5.txt");
  EXPECT_EQ(censored_file_name('2', 99, 99, "site.rwl"), "site_mnsl=99.txt");
  EXPECT_EQ(censored_file_name('2', 100, 100, "site.rwl"), "site_mnsl=100.txt");
  EXPECT_EQ(censored_file_name('2', 1000, 1000, "site.rwl"), "site_mnsl=1000.txt");
  EXPECT_EQ(censored_file_name('3', 1750, 1750, "site.rwl"), "site_mxsy=1750.txt");
  EXPECT_EQ(censored_file_name('4', 850, 850, "site.rwl"), "site_mnsy= 850.txt");
  EXPECT_EQ(censored_file_name('5', 999, 999, "site.rwl"), "site_trunb=999.txt");
  EXPECT_EQ(censored_file_name('6', 1990, 1990, "site"), "site_truna=1990.txt");
  EXPECT_EQ(censored_file_name('7', 1850, 1990, "a.b.c"), "a.b_comm=1850-1990.txt");
  EXPECT_EQ(censored_file_name('5', -50, -50, "site.rwl"), "site_trunb=-50.txt");  // widened
  EXPECT_EQ(censored_file_name('3', -1500, 0, "site.rwl"), "site_mxsy=-1500.txt");
}

// Reads a tucson ring-width file back with the shared reader.
std::vector<SeriesRead> read_back(const std::string& name, TucsonFile& file) {
  std::ifstream in(name);
  RecordStream records(in);
  std::istringstream no_input;
  std::ostringstream shown;
  Console con(no_input, shown);
  std::vector<SeriesRead> series;
  for (;;) {
    SeriesRead s = trrw_read(records, TucsonMode::mr, file, con);
    if (s.n == kEndOfData) return series;
    series.push_back(s);
  }
}

TEST(savcen, round_trip_through_the_tucson_reader) {
  const auto dir = std::filesystem::temp_directory_path() / "savcen_test";
  std::filesystem::create_directories(dir);
  const std::string data_file = (dir / "site.rwl").string();
  SeriesSet set = make_set({{1905, {1.234f, 0.5f, 2.0f}}, {-5, std::vector<float>(12, 0.75f)}});
  set.title[0] = "SITE 1 A title line";
  PSession s;
  Units units;
  const std::string name = savcen('7', 1850, 1990, set, data_file, units, 11, s.con);
  EXPECT_EQ(name, (dir / "site_comm=1850-1990.txt").string());
  EXPECT_TRUE(s.shows("\nFile for censored data created: " + name + "\n"));
  for (const std::string& line : set.title) EXPECT_EQ(line.substr(84), "COMM");

  std::ifstream in(name);
  std::string first, second;
  std::getline(in, first);
  EXPECT_EQ(first.size(), 88u);
  EXPECT_EQ(first.substr(0, 19), "SITE 1 A title line");
  EXPECT_EQ(first.substr(84), "COMM");

  TucsonFile file;
  const std::vector<SeriesRead> back = read_back(name, file);
  ASSERT_EQ(back.size(), 2u);
  EXPECT_EQ(back[0].id, "S1      ");
  EXPECT_EQ(back[0].first_year, 1905);
  ASSERT_EQ(back[0].n, 3);
  EXPECT_NEAR(back[0].values[0], 1.234, 1e-6);  // written in 0.001 mm
  EXPECT_NEAR(back[0].values[2], 2.0, 1e-6);
  EXPECT_EQ(back[1].first_year, -5);
  EXPECT_EQ(back[1].n, 12);
  EXPECT_NEAR(back[1].values[11], 0.75, 1e-6);
  std::filesystem::remove_all(dir);
}

}  // namespace
TEST(savcen, a_set_the_ring_width_records_cannot_hold_is_not_saved) {
  // 150 mm is 150000 thousandths: six digits that run into the value before them.
  const auto dir = std::filesystem::temp_directory_path() / "savcen_misfit_test";
  std::filesystem::create_directories(dir);
  const std::string data_file = (dir / "site.rwl").string();
  SeriesSet set = make_set({{1905, {1.234f, 0.5f}}, {1900, {1.0f, 2.0f, 150.0f}}});
  PSession s;
  Units units;
  EXPECT_EQ(savcen('4', 1900, 1900, set, data_file, units, 11, s.con), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "site_mnsy=1900.txt"));
  EXPECT_TRUE(s.shows("\n *** the censored set is not saved to " +
                      (dir / "site_mnsy=1900.txt").string() +
                      ": series S2 in 1902 holds 150.000,\n     and its records hold -9.998 to "
                      "99.999\n"));
  std::filesystem::remove_all(dir);
}

}  // namespace dendro
