#include "series/index_block.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/records.h"
#include "series/store.h"
#include "series/tucson.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The index records hold thousandths from -999 to 9989 and depths up to 999.
TEST(index_misfit, values_and_depths_at_the_ends_of_their_fields) {
  const std::vector<int> depth{1, 999, 3};
  EXPECT_FALSE(index_misfit(std::vector<float>{9.989f, -0.999f, 1.0f}, depth));
  // 9.9896 rounds to 9990, the fill that ends a series; -0.9996 to -1000, five columns.
  EXPECT_EQ(index_misfit(std::vector<float>{1.0f, 9.9896f, 1.0f}, depth), 1u);
  EXPECT_EQ(index_misfit(std::vector<float>{1.0f, 1.0f, 13.055f}, depth), 2u);
  EXPECT_EQ(index_misfit(std::vector<float>{-0.9996f, 1.0f, 1.0f}, depth), 0u);
  EXPECT_EQ(index_misfit(std::vector<float>{1.0f, std::nanf(""), 1.0f}, depth), 1u);
  EXPECT_EQ(index_misfit(std::vector<float>{1.0f, 1.0f, 1.0f}, std::vector<int>{1, 1000, 1}), 1u);
  // Depths that the writer replaces by 1 are not checked.
  EXPECT_FALSE(index_misfit(std::vector<float>{1.0f, 1.0f}, std::vector<int>{0, 5000}));
  EXPECT_FALSE(index_misfit(std::vector<float>{1.0f}, {}));
}

class IndexBlockFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::path(::testing::TempDir()) /
           ("index_block_" +
            std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    units.create(unit::out, path("out.txt"));
    units.create(unit::crns, path("crns.txt"));
    units.create(unit::crns_raw, path("crns_raw.txt"));
    units.create(unit::errs, path("errs.txt"));
    units.create(unit::err_raw, path("crns_raw_err.txt"));
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::string read(const std::string& name) {
    for (int u : {unit::out, unit::crns, unit::crns_raw, unit::errs, unit::err_raw}) {
      units.close(u);
    }
    std::ifstream in(path(name));
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  bool write(const std::vector<float>& values, std::string_view kept_in = {}) {
    block.values = values;
    block.depth = depth;
    const int targets[] = {unit::crns, unit::crns_raw};
    const int error_targets[] = {unit::errs, unit::err_raw};
    return write_index_pair(units, con, unit::out, {block, targets, error, error_targets}, notes,
                            kept_in);
  }

  fs::path dir_;
  Units units;
  std::istringstream in;
  std::ostringstream console;
  Console con{in, console};
  IndexNotes notes;
  std::vector<int> depth{2, 3};
  std::vector<float> error{0.125f, 0.5f};
  IndexBlock block{"raw chronology", TucsonMode::iw, "site01", 1997, {}, {}, "raw", {"title"}};
};

TEST_F(IndexBlockFiles, a_pair_that_fits_goes_to_every_file_with_its_titles) {
  EXPECT_TRUE(write({1.5f, 0.25f}));
  EXPECT_EQ(console.str(), "");
  // gfortran: write(*,'(a6,i4,10(i4,i3),2x,a)') 'site01', 1997, (9990, 0, j=1,7),
  //   1500, 2, 250, 3, 9990, 0, 'raw'
  const std::string expected =
      "title\nsite0119979990  09990  09990  09990  09990  09990  09990  01500  2 250  39990  0  "
      "raw\n";
  EXPECT_EQ(read("crns_raw.txt"), expected);
  EXPECT_EQ(read("crns.txt"), expected);
  // The error series under the same id, years, depths and titles, tagged "err".
  const std::string errors =
      "title\nsite0119979990  09990  09990  09990  09990  09990  09990  0 125  2 500  39990  0  "
      "err\n";
  EXPECT_EQ(read("errs.txt"), errors);
  EXPECT_EQ(read("crns_raw_err.txt"), errors);
  EXPECT_EQ(read("out.txt"), "");
}

TEST_F(IndexBlockFiles, a_chronology_that_does_not_fit_leaves_out_its_error_series_too) {
  EXPECT_FALSE(write({1.5f, 13.055f}, "site_tabs.txt"));
  const std::string warning = " *** the raw chronology and its error series are not written to " +
                              path("crns.txt") + ", " + path("crns_raw.txt") + ", " +
                              path("errs.txt") + " and " + path("crns_raw_err.txt") +
                              ":\n     its value 13.055 in 1998 does not fit the index records "
                              "(-0.999 to 9.989)\n     its values are kept in site_tabs.txt\n";
  EXPECT_EQ(console.str(), warning);
  EXPECT_EQ(read("out.txt"), warning);
  for (const char* name : {"crns.txt", "crns_raw.txt", "errs.txt", "crns_raw_err.txt"}) {
    EXPECT_EQ(read(name), "") << name;
  }
}

TEST_F(IndexBlockFiles, an_error_series_that_does_not_fit_leaves_out_its_chronology_too) {
  error = {0.125f, -1.25f};
  EXPECT_FALSE(write({1.5f, 1.0f}));
  EXPECT_NE(
      console.str().find(
          "\n     its error -1.250 in 1998 does not fit the index records (-0.999 to 9.989)\n"),
      std::string::npos)
      << console.str();
  EXPECT_EQ(console.str().find("kept"), std::string::npos);
  for (const char* name : {"crns.txt", "crns_raw.txt", "errs.txt", "crns_raw_err.txt"}) {
    EXPECT_EQ(read(name), "") << name;
  }
}

// Depths above 999 are written as 999 and said once, with the largest and its year.
TEST_F(IndexBlockFiles, depths_above_999_are_written_as_999_and_said_once) {
  depth = {1004, 1200};
  EXPECT_TRUE(write({1.5f, 1.0f}, "site_tabs.txt"));
  const std::string note =
      " *** sample depths above 999 are written as 999 in the chronology and error files:\n"
      "     the raw chronology's largest sample depth is 1200 in 1998\n"
      "     the true depths are kept in site_tabs.txt\n";
  EXPECT_EQ(console.str(), note);
  // A second pair of the same data file is written without a second note.
  block.what = "standard chronology";
  EXPECT_TRUE(write({1.25f, 1.0f}, "site_tabs.txt"));
  EXPECT_EQ(console.str(), note);
  EXPECT_EQ(read("out.txt"), note);
  // 1997 and 1998 fill slots 8 and 9 (columns 60-73): i4 values, i3 depths capped at 999.
  const std::vector<std::string> lines = split(read("crns.txt"));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3].substr(59, 14), "12509991000999");
  for (const std::string& line : split(read("errs.txt"))) {
    if (line == "title") continue;
    EXPECT_EQ(line.substr(63, 3), "999") << line;
  }
}

TEST(depth_above_records, first_depth_beyond_three_columns) {
  EXPECT_FALSE(depth_above_records(std::vector<int>{1, 999, 0}));
  EXPECT_EQ(depth_above_records(std::vector<int>{1, 1000, 1004, 1004}), 2u);  // first largest
  EXPECT_EQ(depth_above_records(std::vector<int>{1500}), 0u);
  // The writer puts 1 for every value when the first depth is below 1.
  EXPECT_FALSE(depth_above_records(std::vector<int>{0, 5000}));
  EXPECT_FALSE(depth_above_records({}));
}

}  // namespace
}  // namespace dendro

namespace dendro {
namespace {

// Twenty years 1935-1954 of value 1.5 and depth 2, with the given years at depth 0.
struct GapBlock {
  std::vector<float> values = std::vector<float>(20, 1.5f);
  std::vector<int> depth = std::vector<int>(20, 2);
  IndexBlock block() const {
    IndexBlock b;
    b.what = "standard chronology";
    b.id = "gap";
    b.first_year = 1935;
    b.values = values;
    b.depth = depth;
    b.tag = "std";
    b.titles = {"title"};
    return b;
  }
  void empty(int from, int to) {
    for (int y = from; y <= to; ++y) depth[static_cast<std::size_t>(y - 1935)] = 0;
  }
};

TEST(index_block_gaps, a_whole_decade_without_series_is_left_out_and_reads_back_missing) {
  GapBlock g;
  g.empty(1940, 1949);
  EXPECT_TRUE(index_block_refusal(g.block(), "f.txt").empty());
  std::ostringstream out;
  write_index_records(out, g.block());
  // 1935-1939 in slots 6-10, no record for the 1940s, 1950-1954 then the fill.
  const std::string pair = "1500  2";
  const std::string fill = "9990  0";
  std::string first = "gap   1935";
  for (int k = 0; k < 5; ++k) first += fill;
  for (int k = 0; k < 5; ++k) first += pair;
  std::string last = "gap   1950";
  for (int k = 0; k < 5; ++k) last += pair;
  for (int k = 0; k < 5; ++k) last += fill;
  EXPECT_EQ(out.str(), "title\n" + first + "  std\n" + last + "  std\n");

  std::istringstream in(out.str().substr(6));
  RecordStream records(in);
  TucsonFile file;
  std::istringstream keys;
  std::ostringstream said;
  Console con(keys, said);
  const SeriesRead s = trrw_read(records, TucsonMode::ir, file, con);
  ASSERT_EQ(s.n, 20);
  EXPECT_FLOAT_EQ(s.values[4], 1.5f);
  for (int k = 5; k < 15; ++k) EXPECT_TRUE(is_missing(s.values[static_cast<std::size_t>(k)])) << k;
  EXPECT_FLOAT_EQ(s.values[15], 1.5f);
}

TEST(index_block_gaps, years_without_series_inside_a_decade_refuse_the_block) {
  GapBlock g;
  g.empty(1941, 1949);
  EXPECT_EQ(index_block_refusal(g.block(), "f.txt", "c.txt"),
            (std::vector<std::string>{
                " *** the standard chronology is not written to f.txt:",
                "     no series covers 1941 to 1949, and the index records can leave out only "
                "whole decades",
                "     its values are kept in c.txt"}));
  GapBlock one;
  one.empty(1952, 1952);
  EXPECT_EQ(index_block_refusal(one.block(), "f.txt")[1],
            "     no series covers the year 1952, and the index records can leave out only whole "
            "decades");
  // The mib pex layout has one header per series: it leaves no decade out.
  GapBlock qz;
  qz.empty(1940, 1949);
  IndexBlock b = qz.block();
  b.mode = TucsonMode::qz;
  EXPECT_EQ(index_block_refusal(b, "f.txt").size(), 2u);
}

TEST(index_block_gaps, a_value_that_does_not_fit_is_named_after_a_gap) {
  GapBlock g;
  g.empty(1940, 1949);
  g.values[17] = 12.5f;  // 1952
  EXPECT_EQ(index_block_refusal(g.block(), "f.txt")[1],
            "     its value 12.500 in 1952 does not fit the index records (-0.999 to 9.989)");
}

}  // namespace
}  // namespace dendro
