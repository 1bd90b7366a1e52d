// The chronology and error files at the limits of their records: sample depths above what
// three columns hold, chronologies whose twin cannot be written, and data files named with
// a folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "series/tucson.h"

namespace dendro::e2e {
namespace {

// Counts the places where `part` stands in `text`.
// The sample depth fields (3 columns after each 4-column value) of the index records of
// a chronology or error file: year -> depth, over every block of the file.
std::vector<std::vector<std::pair<int, std::string>>> depth_fields(
    const std::vector<std::string>& lines) {
  std::vector<std::vector<std::pair<int, std::string>>> blocks;
  bool in_block = false;
  for (const std::string& line : lines) {
    // Title records hold text where the records hold the year.
    const bool record = line.size() == 85 &&
                        line.substr(6, 4).find_first_not_of(" -0123456789") == std::string::npos;
    if (!record) {
      in_block = false;
      continue;
    }
    if (!in_block) blocks.emplace_back();
    in_block = true;
    const int year = std::stoi(line.substr(6, 4));
    const int decade = year - year % 10;
    for (int slot = 0; slot < 10; ++slot) {
      const std::string value = line.substr(10 + 7 * static_cast<std::size_t>(slot), 4);
      if (value == "9990") continue;
      blocks.back().emplace_back(decade + slot,
                                 line.substr(14 + 7 * static_cast<std::size_t>(slot), 3));
    }
  }
  return blocks;
}

// 998 series over 1901-1920 and 6 over 1905-1924: 998 series in 1901-1904, 1004 in
// 1905-1920 and 6 in 1921-1924.
TEST(ChronologyFiles, depths_above_999_are_written_as_999_and_kept_in_the_table) {
  Sandbox box;
  box.write_file("big.rwl",
                 similar_series("BG", 998, 1901, 20) + similar_series("LT", 6, 1905, 20));
  box.write_file("f.txt", "big.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string note =
      " *** sample depths above 999 are written as 999 in the chronology and error files:\n"
      "     the raw chronology's largest sample depth is 1004 in 1905\n"
      "     the true depths are kept in big.rwl_tabs.txt\n";
  EXPECT_EQ(count_of(r.output, note), 1u) << r.output;
  const std::string out = box.read_file("big.rwl_out.txt");
  EXPECT_EQ(count_of(out, note), 1u);
  EXPECT_EQ(out.find("not written"), std::string::npos);

  // Four chronologies and four error series, each with the capped depths.
  for (const char* name : {"big.rwl_crns.txt", "big.rwl_errs.txt"}) {
    const std::string text = box.read_file(name);
    EXPECT_EQ(text.find('*'), std::string::npos) << name;
    const auto blocks = depth_fields(box.read_lines(name));
    ASSERT_EQ(blocks.size(), 4u) << name;
    for (const auto& block : blocks) {
      ASSERT_EQ(block.size(), 24u) << name;
      for (const auto& [year, depth] : block) {
        const char* want = year < 1905 ? "998" : year <= 1920 ? "999" : "  6";
        EXPECT_EQ(depth, want) << name << " " << year;
      }
    }
  }
  const std::string table = box.read_file("big.rwl_tabs.txt");
  EXPECT_EQ(table_column(table, 1).at(1905), 1004.0);
  EXPECT_EQ(table_column(table, 1).at(1904), 998.0);
}

// keny002.rwl: the raw chronology reaches 13.055 mm in 1943; its error series fits the
// records but goes with it, so that the two files pair block for block.
TEST(ChronologyFiles, a_chronology_left_out_takes_its_error_series_with_it) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  box.copy_data("co021.rwl");
  box.write_file("f.txt", "keny002.rwl\nco021.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n" + std::string(10, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count_of(r.output, "not written to"), 1u) << r.output;
  EXPECT_NE(r.output.find(" *** the raw chronology and its error series are not written to "
                          "keny002.rwl_crns.txt, crns_raw.txt, keny002.rwl_errs.txt and "
                          "crns_raw_err.txt:\n"),
            std::string::npos)
      << r.output;
  EXPECT_EQ(read_chronologies(box.read_file("keny002.rwl_crns.txt")).size(), 3u);
  EXPECT_EQ(read_chronologies(box.read_file("keny002.rwl_errs.txt")).size(), 3u);
  // The run-wide raw files hold co021's block only; the others hold both data files'.
  const std::pair<const char*, std::size_t> files[] = {
      {"crns_raw.txt", 1},     {"crns_raw_err.txt", 1}, {"crns_std.txt", 2},
      {"crns_std_err.txt", 2}, {"crns_kld.txt", 2},     {"crns_kld_err.txt", 2}};
  for (const auto& [name, blocks] : files) {
    const auto chronologies = read_chronologies(box.read_file(name));
    ASSERT_EQ(chronologies.size(), blocks) << name;
    EXPECT_EQ(chronologies.back().begin()->first, 1176) << name;  // co021: 1176-1963
  }
}

// A data file named with a folder: its output files go to that folder, and every title
// record and id of the chronology files, its own and the run-wide ones, comes from its own
// name.
TEST(ChronologyFiles, ids_and_titles_leave_out_the_folder_of_the_data_file) {
  Sandbox box;
  std::filesystem::create_directories(box.dir() / "sub");
  box.write_file("sub/x.rwl", similar_series("XX", 5, 1950, 40));
  box.write_file("y.rwl", similar_series("YY", 5, 1960, 40));
  box.write_file("f.txt", "sub/x.rwl\ny.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n" + std::string(10, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  std::vector<std::string> names{"sub/x.rwl_crns.txt", "sub/x.rwl_errs.txt"};
  for (const char* kind : {"raw", "std", "res", "kld"}) {
    names.push_back(std::string("crns_") + kind + ".txt");
    names.push_back(std::string("crns_") + kind + "_err.txt");
  }
  for (const std::string& name : names) {
    const std::vector<std::string> lines = box.read_lines(name);
    ASSERT_FALSE(lines.empty()) << name;
    int titles = 0, records = 0;
    for (const std::string& line : lines) {
      EXPECT_EQ(line.find("sub"), std::string::npos) << name << ": " << line;
      if (line.starts_with("x.rwl -- no data title --")) ++titles;
      if (line.starts_with("x.rwl_")) ++records;
    }
    EXPECT_GE(titles, 3) << name;
    // 1950-1989: four decades and a record of fill, for each of the data file's four
    // chronologies, or its one block of a run-wide file.
    EXPECT_EQ(records, name.starts_with("sub/") ? 20 : 5) << name;
  }
}

// The regional curve's block of a data file named with a folder, or with a name shorter
// than an id: its id is the other blocks' (the log file name's first six characters).
TEST(ChronologyFiles, regional_curve_block_takes_the_id_of_the_other_blocks) {
  for (const std::string data : {"sub/x.rwl", "ab"}) {
    Sandbox box;
    std::filesystem::create_directories(box.dir() / "sub");
    box.write_file(data, similar_series("XX", 5, 1950, 40));
    box.write_file("f.txt", data + "\n");
    box.write_file("pith.txt", "0\n1\n2\n3\n4\n");
    RunResult r =
        box.kalder("\nf.txt\nT\nn\n4\n-2\n\n\n\npith.txt\n\nm\nn\n" + std::string(30, '\n'));
    ASSERT_EQ(r.status, 0) << r.output;
    const std::string id = data == "ab" ? "ab_log" : "x.rwl_";
    for (const std::string& name : {data + "_crns.txt", data + "_errs.txt"}) {
      const std::string text = box.read_file(name);
      EXPECT_EQ(text.find("sub"), std::string::npos) << name;
      // Five blocks (raw, rcs, std, res, kld): all but their three title records carry the id.
      const std::vector<std::string> lines = split_lines(text);
      const auto untagged = [&](const std::string& l) { return !l.starts_with(id); };
      EXPECT_EQ(std::count_if(lines.begin(), lines.end(), untagged), 15) << name;
      EXPECT_NE(text.find("\n" + id + "   1"), std::string::npos) << name;  // the block by age
    }
  }
}

// Two data files whose output prefixes begin alike get one chronology id; the second says
// so when it gets it, in its general output file and on the console. With a menu for each
// data file, a line before each menu names its file.
TEST(ChronologyFiles, data_files_that_share_a_chronology_id_say_so) {
  Sandbox box;
  box.write_file("nm580_ew.rwl", similar_series("EW", 5, 1950, 40));
  box.write_file("nm580_lw.rwl", similar_series("LW", 5, 1950, 40));
  box.write_file("f.txt", "nm580_ew.rwl\nnm580_lw.rwl\n");
  // Start, list, title, interactive, a menu for each data file, continue.
  RunResult r = box.kalder("\nf.txt\nT\nn\nn\n\n\n\n" + std::string(10, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string menu = "\n\n |************** kalder run time menu";
  EXPECT_EQ(count_of(r.output, " ==> options for data file: nm580_ew.rwl" + menu), 1u);
  EXPECT_EQ(count_of(r.output, " ==> options for data file: nm580_lw.rwl" + menu), 1u);
  const std::string note =
      "\n *** note: data files nm580_ew.rwl and nm580_lw.rwl share the chronology id nm580_\n"
      " *** (the first six characters of their output prefixes) in the run-wide files\n";
  EXPECT_EQ(count_of(r.output, note), 1u) << r.output;
  EXPECT_EQ(count_of(box.read_file("nm580_lw.rwl_out.txt"), note), 1u);
  EXPECT_EQ(count_of(box.read_file("nm580_ew.rwl_out.txt"), "*** note"), 0u);
  // The id itself stays: both blocks of the run-wide file carry it (index records: the id
  // in columns 1-6, the decade in 7-10).
  EXPECT_EQ(count_of(box.read_file("crns_std.txt"), "\nnm580_1950"), 2u);
}

}  // namespace
}  // namespace dendro::e2e
