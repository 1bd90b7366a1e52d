#include "options/pager.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/text.h"
#include "session.h"

namespace dendro {
namespace {

using testing::lines_of;
using testing::Session;

const std::string kRuler =
    "     .........1.........2.........3.........4.........5.........6.........7.........8";

// Opens a file of `lines` numbered lines ("line 1", ...) on the scratch unit.
std::string numbered_file(Units& units, int lines, const std::string& name) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream out(path);
  for (int k = 1; k <= lines; ++k) out << "line " << k << '\n';
  out.close();
  EXPECT_TRUE(units.open_old(unit::scratch, path));
  return path;
}

std::string shown(int number, const std::string& text, int width = 80) {
  std::string n = std::to_string(number);
  return " " + std::string(3 - n.size(), ' ') + n + " " + field(text, width);
}

TEST(snoop, short_file) {
  Units units;
  numbered_file(units, 3, "snoop3.txt");
  Session s("m\n");
  snoop(units, unit::scratch, s.con, kSnoopWidthKalder);
  auto lines = lines_of(s.out.str());
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "");
  EXPECT_EQ(lines[1], " snooping in the data file (first 80 characters/line):");
  EXPECT_EQ(lines[2], kRuler);
  EXPECT_EQ(lines[3], shown(1, "line 1"));
  EXPECT_EQ(lines[5], shown(3, "line 3"));
  EXPECT_EQ(lines[6], "");
  EXPECT_EQ(lines[7], " end-of-snoop:     3 lines read");
  EXPECT_EQ(lines[8], "");
  EXPECT_EQ(lines[9], " more <ret> or return to main program <m> ");
  EXPECT_EQ(s.count("more <ret>, read to end"), 0);
  std::string first;
  ASSERT_TRUE(units.read_record(unit::scratch, first));  // rewound for the caller
  EXPECT_EQ(first, "line 1");
}

TEST(snoop, read_to_end_shows_the_last_five_lines) {
  Units units;
  numbered_file(units, 12, "snoop12.txt");
  Session s("\ne\nm\n");
  snoop(units, unit::scratch, s.con, kSnoopWidthKalder);
  auto lines = lines_of(s.out.str());
  // Lines 1-5, the question, the ruler, lines 6-10, the question; then only the end.
  EXPECT_EQ(lines[3], shown(1, "line 1"));
  EXPECT_EQ(lines[9], " more <ret>, read to end <e>, return to main program <m> " + kRuler);
  EXPECT_EQ(lines[10], shown(6, "line 6"));
  EXPECT_EQ(s.count("line 11"), 1);
  const std::string tail = "\n last 5 lines in file (first 80 characters):\n" + kRuler + "\n" +
                           shown(8, "line 8") + "\n" + shown(9, "line 9") + "\n" +
                           shown(10, "line 10") + "\n" + shown(11, "line 11") + "\n" +
                           shown(12, "line 12") + "\n\n end-of-snoop:    12 lines read\n";
  EXPECT_EQ(s.count(tail), 1);
}

TEST(snoop, a_data_file_at_the_limits_counts_its_lines) {
  // 1500 series of 5000 years fill 751,500 decade records; 99,999 lines is the most that
  // five columns after "end-of-snoop: " hold.
  for (const auto& [lines, end] : {std::pair{99999, " end-of-snoop: 99999 lines read\n"},
                                   std::pair{751500, " end-of-snoop: 751500 lines read\n"}}) {
    Units units;
    numbered_file(units, lines, "snoop_limit.txt");
    Session s("e\nm\n");
    snoop(units, unit::scratch, s.con, kSnoopWidthKalder);
    EXPECT_EQ(s.count(end), 1) << s.out.str().substr(0, 2000);
  }
}

TEST(snoop, return_at_a_question_and_listing_again) {
  Units units;
  numbered_file(units, 7, "snoop7.txt");
  Session back("m\n");
  snoop(units, unit::scratch, back.con, kSnoopWidthKalder);
  EXPECT_EQ(back.count(" end-of-snoop:     5 lines read"), 1);

  // Any answer but "m" at the end lists the file again from its first line.
  Session again("\n\n\nm\n");
  snoop(units, unit::scratch, again.con, kSnoopWidthKalder);
  EXPECT_EQ(again.count(shown(1, "line 1")), 2);
  EXPECT_EQ(again.count(" end-of-snoop:     7 lines read"), 2);
}

TEST(snoop, widths_and_tabs) {
  const std::string path = ::testing::TempDir() + "snoop_wide.txt";
  std::ofstream(path) << "a\tb" << std::string(120, 'x') << "\n";
  Units units;
  ASSERT_TRUE(units.open_old(unit::scratch, path));
  Session kalder("m\n");
  snoop(units, unit::scratch, kalder.con, kSnoopWidthKalder);
  EXPECT_EQ(lines_of(kalder.out.str())[3], "   1 a b" + std::string(77, 'x'));
  Session pelliform("m\n");
  snoop(units, unit::scratch, pelliform.con, kSnoopWidthPelliform);
  auto lines = lines_of(pelliform.out.str());
  EXPECT_EQ(lines[1], " snooping in the data file (first 100 characters/line):");
  EXPECT_EQ(lines[2], kRuler + ".........9.........10");
  EXPECT_EQ(lines[3], "   1 a b" + std::string(97, 'x'));
}

TEST(snoop, end_of_input_stops) {
  Units units;
  numbered_file(units, 6, "snoop6.txt");
  Session s("");
  EXPECT_THROW(snoop(units, unit::scratch, s.con, kSnoopWidthKalder), Stop);
}

TEST(openit, asks_until_the_file_opens) {
  Units units;
  const std::string path = numbered_file(units, 1, "openit_old.txt");
  units.close(unit::scratch);
  const std::string missing = ::testing::TempDir() + "openit_missing.txt";
  std::filesystem::remove(missing);
  Session s("\n" + missing + "\n" + path + "\n");
  EXPECT_EQ(openit(units, s.con, 'O', unit::scratch), path);
  EXPECT_EQ(s.count("\n *** file cannot be opened. try again or bailout ***\n"), 2);
  EXPECT_EQ(s.count(" file name (/ to exit)                      ==> "), 3);
  std::string record;
  EXPECT_TRUE(units.read_record(unit::scratch, record));

  // A new file must not exist yet.
  Session fresh(path + "\n" + missing + "\n");
  EXPECT_EQ(openit(units, fresh.con, 'n', unit::scratch), missing);
  units.close(unit::scratch);
  EXPECT_TRUE(std::filesystem::exists(missing));
}

TEST(openit, slash_and_unknown_kinds_stop) {
  Units units;
  Session slash("/\n");
  try {
    openit(units, slash.con, 'u', unit::scratch);
    FAIL() << "expected Stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 0);
  }
  Session kind("name\n");
  EXPECT_THROW(openit(units, kind.con, 'x', unit::scratch), Stop);
  EXPECT_EQ(kind.out.str(), "\n *** incorrect file type ***\n\n");
}

}  // namespace
}  // namespace dendro
