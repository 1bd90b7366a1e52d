#include "detrending/rcs_pith.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/index_block.h"
#include "series/store.h"
#include "test_series.h"
#include "transform_fixture.h"

namespace dendro {
namespace {

using testing::make_store;
using testing::ScratchDir;

// The pith offsets of a three-series set, with the answers given up front.
struct PithRun {
  explicit PithRun(char batch = 'n')
      : tsi1(make_store({{"SITE01A", 1900, {1, 2, 3}},
                         {"SITE01B", 1901, {1, 2, 3}},
                         {"SITE02A", 1902, {1, 2, 3}}})) {
    commands.at(Commands::kBatchMode) = batch;
    icommands[opt::printout] = 2;
    units.create(unit::out, dir.path("out.txt"));
  }

  std::vector<int> run(const std::string& answers) {
    test::TestConsole tc(answers);
    RcsIo io{icommands, commands, units, tc.con, notes, {}, {}, {}};
    io.help = [this](int page) { help_pages.push_back(page); };
    try {
      std::vector<int> p = pith_offsets(tsi1, io);
      console = tc.output();
      units.close(unit::out);
      return p;
    } catch (...) {
      console = tc.output();
      throw;
    }
  }

  ScratchDir dir;
  Tsi1 tsi1;
  Icommands icommands;
  Commands commands;
  Units units;
  IndexNotes notes;
  std::vector<int> help_pages;
  std::string console;
};

TEST(offset_listing, groups_of_eight) {
  std::vector<std::string> ids;
  std::vector<int> offsets;
  for (int i = 1; i <= 10; ++i) {
    ids.push_back("TREE" + std::to_string(1000 + i).substr(1));
    offsets.push_back(i * 11);
  }
  const std::vector<std::string> lines = offset_listing(ids, offsets);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "  id:  TREE001  TREE002  TREE003  TREE004  TREE005  TREE006  TREE007  TREE008 ");
  EXPECT_EQ(lines[1],
            "          11       22       33       44       55       66       77       88");
  EXPECT_EQ(lines[2], "  id:  TREE009  TREE010 ");
  EXPECT_EQ(lines[3], "          99      110");
}

TEST(pith_offsets, file_with_a_title_line_read_free_form) {
  PithRun r;
  r.dir.write("pith.txt", "pith offsets of site 01\n 5\n\n12\n  0 extra\n");
  // A missing file first: the message, then the question again; the pager ends with "m";
  // no reformatting; free form.
  const std::vector<int> p = r.run("nowhere.txt\n" + r.dir.path("pith.txt") + "\nm\n\n\n");
  EXPECT_EQ(p, (std::vector<int>{5, 12, 0}));
  EXPECT_NE(r.console.find("*** error opening rcs pith offset file: nowhere.txt"),
            std::string::npos);
  EXPECT_NE(r.console.find("*** pith offset title:\npith offsets of site 01"), std::string::npos);
  EXPECT_NE(r.console.find("pith offset values read:     3"), std::string::npos);
  EXPECT_EQ(r.help_pages, std::vector<int>{8});
  const std::vector<std::string> report = r.dir.lines("out.txt");
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[1].substr(0, 43), "         rcs pith offset file processed:  /");
  EXPECT_EQ(report[3], "  id:  SITE01A  SITE01B  SITE02A ");
  EXPECT_EQ(report[4], "           5       12        0");
}

TEST(pith_offsets, report_names_the_file_left_justified) {
  // The name is a 40-character field, of which "(/9x,'rcs pith offset file processed:  ',
  // a30/)" writes the first 30 characters: a short name stands at column 43, blank-filled.
  PithRun r;
  r.dir.write("po.txt", "1\n2\n3\n");
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(r.dir.path(""));
  std::vector<int> p;
  try {
    p = r.run("po.txt\nm\n\n\n");
  } catch (...) {
    std::filesystem::current_path(before);
    throw;
  }
  std::filesystem::current_path(before);
  EXPECT_EQ(p, (std::vector<int>{1, 2, 3}));
  const std::vector<std::string> report = r.dir.lines("out.txt");
  ASSERT_GE(report.size(), 2u);
  EXPECT_EQ(report[1], "         rcs pith offset file processed:  po.txt" + std::string(24, ' '));
}

TEST(pith_offsets, typed_layout_reads_blanks_as_zero) {
  PithRun r;
  r.dir.write("pith.txt", "   17\n\n    3\n");
  EXPECT_EQ(r.run(r.dir.path("pith.txt") + "\nm\nn\n(i5)\n"), (std::vector<int>{17, 0, 3}));
}

TEST(pith_offsets, bad_files_end_the_run) {
  PithRun second;
  second.dir.write("pith.txt", "title\n4\nbad record\n7\n");
  EXPECT_THROW(second.run(second.dir.path("pith.txt") + "\nm\n\n\n\n"), Stop);
  EXPECT_NE(
      second.console.find("*** error reading rcs pith offset file\n*** error in line number:    1"),
      std::string::npos);

  // An offset past the regional curve's ages (4294967296 would wrap to 0 in an integer).
  PithRun wide;
  wide.dir.write("pith.txt", "4999\n-4999\n4294967296\n");
  EXPECT_THROW(wide.run(wide.dir.path("pith.txt") + "\nm\n\n\n\n"), Stop);
  EXPECT_NE(wide.console.find("*** error reading rcs pith offset file\n"
                              "*** line 3: pith offset 4294967296 lies outside -4999 to 4999"),
            std::string::npos);

  PithRun short_file;
  short_file.dir.write("pith.txt", "4\n7\n");
  EXPECT_THROW(short_file.run(short_file.dir.path("pith.txt") + "\nm\n\n\n\n"), Stop);
  EXPECT_NE(short_file.console.find("*** pith offset values read .ne. number of series. oops!"),
            std::string::npos);

  PithRun bail;
  try {
    bail.run("/\n");
    FAIL() << "no stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, 0);
  }
}

// A typed layout that is no layout, or that has no field for the offset, cannot read any
// record: the user learns why once, before the records are reported as unreadable.
TEST(pith_offsets, faulty_typed_layouts_are_named) {
  for (const char* layout : {"(q5)", "(2x)"}) {
    PithRun r;
    r.dir.write("pith.txt", "   17\n    3\n    5\n");
    EXPECT_THROW(r.run(r.dir.path("pith.txt") + "\nm\nn\n" + layout + "\n"), Stop) << layout;
    const std::string named = std::string("layout \"") + layout + "\"";
    const std::size_t first =
        r.console.find("*** " + std::string(layout[1] == 'q' ? "bad " : "") + named);
    EXPECT_NE(first, std::string::npos) << r.console;
    const std::size_t after = r.console.find(named, first) + named.size();
    EXPECT_EQ(r.console.find(named, after), std::string::npos) << "said twice";
    EXPECT_NE(r.console.find("*** error in line number:"), std::string::npos);
  }
}

TEST(pith_offsets, no_file_means_zero_offsets) {
  PithRun blank;
  EXPECT_EQ(blank.run("\n"), (std::vector<int>{0, 0, 0}));
  PithRun zero;
  EXPECT_EQ(zero.run("0\n"), (std::vector<int>{0, 0, 0}));
  EXPECT_TRUE(zero.help_pages.empty());
}

TEST(pith_offsets, reformatting_a_column_of_first_ages) {
  // Three columns; the second holds the first cambial age present, so age A becomes the
  // offset A - 1; the title line fails the read and is skipped.
  PithRun r;
  r.dir.write("pith.txt", "tree  age  year\n1 5 1901\n2 12 1899\n3 1 1950\n");
  // Columns asked again after a read error and a column beyond the count.
  const std::vector<int> p = r.run(r.dir.path("pith.txt") + "\nm\ny\nx\n3\n4\n2\n3\n2\n\n");
  EXPECT_EQ(p, (std::vector<int>{4, 11, 0}));
  EXPECT_NE(r.console.find("reformatted pith offset data:     3 values"), std::string::npos);
  EXPECT_EQ(r.dir.lines("pith.txt"), (std::vector<std::string>{"    4", "   11", "    0"}));
  const std::vector<std::string> saved = r.dir.lines("pith.txt_save");
  ASSERT_EQ(saved.size(), 4u);
  EXPECT_EQ(saved[1], testing::pad("1 5 1901", 85));
}

TEST(pith_offsets, batch_run_takes_the_year_table_column) {
  PithRun r('y');
  r.tsi1.years[0].yfp = 7;
  r.tsi1.years[2].yfp = 2;
  EXPECT_EQ(r.run(""), (std::vector<int>{7, 0, 2}));
  const std::vector<std::string> report = r.dir.lines("out.txt");
  ASSERT_EQ(report.size(), 5u);
  EXPECT_EQ(report[1],
            std::string(16, ' ') + "rcs pith offset data read in from batch detail file");
  EXPECT_EQ(report[4], "           7        0        2");

  PithRun zeros('y');
  EXPECT_EQ(zeros.run(""), (std::vector<int>{0, 0, 0}));
  const std::vector<std::string> warned = zeros.dir.lines("out.txt");
  ASSERT_EQ(warned.size(), 4u);
  EXPECT_EQ(warned[3], std::string(20, ' ') + "***   all pith offset data are zero   ***");
}

}  // namespace
}  // namespace dendro
