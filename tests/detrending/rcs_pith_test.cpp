#include "detrending/rcs_pith.h"

#include <gtest/gtest.h>

#include <array>
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
  // A blank record between offsets reads 0; those at the end of the file are passed over.
  PithRun r;
  r.dir.write("pith.txt", "   17\n\n    3\n\n\n");
  EXPECT_EQ(r.run(r.dir.path("pith.txt") + "\nm\nn\n(i5)\n"), (std::vector<int>{17, 0, 3}));
}

TEST(pith_offsets, bad_files_end_the_run) {
  PithRun second;
  second.dir.write("pith.txt", "title\n4\nbad record\n7\n");
  EXPECT_THROW(second.run(second.dir.path("pith.txt") + "\nm\n\n\n\n"), Stop);
  EXPECT_NE(
      second.console.find("*** error reading rcs pith offset file\n*** error in line number:    1\n"
                          "*** line 3: \"bad record\" holds no offset"),
      std::string::npos);

  // An offset counts rings: a whole number from 0 to 4999 (4294967296 would wrap to 0 in
  // an integer), refused naming its line.
  const std::vector<std::array<std::string, 3>> refused{
      {"4999\n0\n-1\n", "", "*** line 3: pith offset -1"},
      {"4999\n\n4294967296\n", "", "*** line 3: pith offset 4294967296"},
      {"  4.0\n  2.5\n", "(f5.1)", "*** line 2: pith offset 2.5"}};
  for (const auto& [text, layout, said] : refused) {
    PithRun r;
    r.dir.write("pith.txt", text);
    EXPECT_THROW(r.run(r.dir.path("pith.txt") + "\nm\n\n" + layout + "\n\n"), Stop);
    EXPECT_NE(r.console.find("*** error reading rcs pith offset file\n" + said +
                             " is not a whole number of rings from 0 to 4999"),
              std::string::npos)
        << r.console;
  }

  PithRun short_file;
  short_file.dir.write("pith.txt", "4\n7\n");
  EXPECT_THROW(short_file.run(short_file.dir.path("pith.txt") + "\nm\n\n\n\n"), Stop);
  EXPECT_NE(short_file.console.find(
                "*** pith offset values read .ne. number of series. oops!\n"
                "*** 2 offsets for 3 series: write one offset a record for each series of the "
                "data file, in their order (a title record may come first)\n"),
            std::string::npos);

  PithRun bail;
  try {
    bail.run("/\n");
    FAIL() << "no stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, 0);
  }
}

TEST(pith_offsets, offsets_follow_the_places_of_the_data_file) {
  // The reader left the data file's second series out: the file's four offsets are
  // counted against the four series of the data file, and the kept series take the
  // offsets of places 1, 3 and 4.
  PithRun r;
  r.tsi1.dropped.push_back({2, "GONE", {}});
  r.dir.write("pith.txt", "5\n6\n7\n8\n");
  EXPECT_EQ(r.run(r.dir.path("pith.txt") + "\nm\n\n\n"), (std::vector<int>{5, 7, 8}));
}

// A layout answer that cannot read an offset (an answer meant for the pager, a layout
// that is none, one without a field or with a text field) is said and asked again.
TEST(pith_offsets, answers_that_read_no_offset_are_asked_again) {
  PithRun r;
  r.dir.write("pith.txt", "   17\n    3\n    5\n");
  EXPECT_EQ(r.run(r.dir.path("pith.txt") + "\nm\nn\nm\n(2x)\n(a5)\n(i5)\n"),
            (std::vector<int>{17, 3, 5}));
  for (const std::string said :
       {"*** bad layout \"m\": ", "*** layout \"(2x)\" has no field for a value: ",
        "*** layout \"(a5)\" reads text, not a number: "}) {
    EXPECT_NE(r.console.find("==> " + said), std::string::npos) << said;
  }
  EXPECT_NE(r.console.find(": type a layout such as (i5), or Return to read free form\n"),
            std::string::npos);
  EXPECT_EQ(r.console.find("*** error"), std::string::npos);
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

  // An offset of the batch detail file is held to what a pith offset file's is.
  PithRun edited('y');
  edited.tsi1.years[1].yfp = -1;
  EXPECT_THROW(edited.run(""), Stop);
  EXPECT_NE(edited.console.find("*** batch detail file: series SITE01B: pith offset -1 is not a "
                                "whole number of rings from 0 to 4999"),
            std::string::npos);
}

}  // namespace
}  // namespace dendro
