#include "kalder/detail.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "series/trread.h"

namespace dendro {
namespace {

// A file name as a 40-character name field shows it: blanks after a short name.
std::string in_name_field(std::string name) {
  if (name.size() < 40) name.append(40 - name.size(), ' ');
  return name;
}

// The head of every detail file: legend texts at columns 2 and 39 (37 on line 1), the
// warning from column 20, and the column head whose words end in their fields' last
// columns (layout (i4,2x,a8,10i6)).
const std::string kHead =
    " num = number of series             ident = series identification\n"
    " ify = first year of time series      ily = last year of time series\n"
    " yfp = years from pith for rcs        itn = transform (>3 = power*1000)\n"
    " idt = series detrending options      ips = series ar model order options\n"
    " isb = stabilize variance options     icu = use (1) or do not use (0)\n"
    " ics = save (1) or do not save (0)    cpa = common period analysis series\n"
    "                   -- do not delete these lines --\n"
    " num  ident      ify   ily   yfp   itn   idt   ips   isb   icu   ics   cpa\n";

Tsi1 two_series() {
  Tsi1 t;
  t.count = 2;
  t.ids = {"ABC01   ", "ABC02   "};
  t.year_row(1) = SeriesYears{1950, 1990, 12, 1, -1, 2, 0, 1, 1, 1};
  t.year_row(2) = SeriesYears{-15, 2000, 0, 2500, 32, 0, 1, 1, 0, 2};
  t.year_row(3) = SeriesYears{-15, 2000};
  return t;
}

TEST(write_detail, head_and_records) {
  Tsi1 t = two_series();
  std::ostringstream out;
  write_detail(out, t, 6);
  EXPECT_EQ(out.str(),
            kHead +
                "   1  ABC01     1950  1990    12     1    -1     2     0     1     1     1\n"
                "   2  ABC02      -15  2000     0  2500    32     0     1     1     0     2\n");
  // First differences: every first year is lowered in the table before it is written.
  std::ostringstream differenced;
  write_detail(differenced, t, -1);
  EXPECT_EQ(t.year_row(1).ify, 1949);
  EXPECT_NE(differenced.str().find("   1  ABC01     1949  1990"), std::string::npos);
  Tsi1 empty;
  std::ostringstream nothing;
  write_detail(nothing, empty, 6);
  EXPECT_EQ(nothing.str(), kHead);
}

TEST(read_detail, records_until_a_blank_line) {
  Tsi1 t = two_series();
  std::ostringstream out;
  write_detail(out, t, 6);
  Tsi1 back;
  std::istringstream in(
      out.str() + "\n   3  NOTREAD   1900  1950     0     0     0     0     0     1     1     3\n");
  DetailRead r = read_detail(in, back);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.rows, 2);
  EXPECT_EQ(back.detail_rows, 2);
  EXPECT_EQ(back.ids[1], "ABC02   ");
  EXPECT_EQ(back.year_row(2).itn, 2500);
  EXPECT_EQ(back.year_row(2).idt, 32);
  EXPECT_EQ(back.year_row(1).yfp, 12);

  std::istringstream zero(
      kHead + "   0  X         1900  1950     0     0     0     0     0     1     1     3\n");
  // A record numbered 0 that is not blank is a damaged row, not the end: it is refused as
  // a record that cannot be read.
  r = read_detail(zero, back);
  EXPECT_EQ(r.rows, 0);
  EXPECT_FALSE(r.ok);
  // A record that cannot be read: the rows before it stay.
  std::istringstream bad(out.str() + "   3  X         19x0\n");
  r = read_detail(bad, back);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(r.rows, 2);
  // Fewer than the eight head lines: nothing to read.
  std::istringstream short_file(" num = number of series\n");
  EXPECT_FALSE(read_detail(short_file, back).ok);
  EXPECT_EQ(back.detail_rows, 0);
  // Never past the table's limit.
  std::istringstream long_file(out.str() + out.str().substr(kHead.size()));
  EXPECT_EQ(read_detail(long_file, back, 3).rows, 3);
}

TEST(detail_file, dropped_series_keep_their_records_from_run_to_run) {
  // A batch run: the user turned off series 2 of 3 and gave series 3 its own detrending.
  // Its record must stay at position 3 when the file is written back, or the next batch
  // run would give series 2 the settings of series 3 (and use it again).
  const std::string data =
      "A       1950   100   200   999\n"
      "B       1951    50   150   999\n"
      "C       1952   300   300   999\n";
  std::string detail =
      kHead +
      "   1  A         1950  1951     0     0     0     0     0     1     1     1\n"
      "   2  B         1951  1952     0     0     5     0     0     0     1     2\n"
      "   3  C         1952  1953    40     0     7     0     0     1     1     3\n";
  for (int run = 1; run <= 2; ++run) {
    Tsi1 t;
    StatsTable stats;
    Commands commands;
    Icommands icommands;
    commands.set_data_kind("mr");
    commands.at(Commands::kBatchMode) = 'y';
    std::istringstream detail_in(detail);
    ASSERT_TRUE(read_detail(detail_in, t).ok);
    std::istringstream data_in(data), keys;
    std::ostringstream out, screen;
    Console console(keys, screen);
    trread(data_in, t, stats, commands, icommands, out, console);
    ASSERT_EQ(t.count, 2) << run;
    EXPECT_EQ(t.ids[1], "C       ") << run;
    EXPECT_EQ(t.year_row(2).idt, 7) << run;
    EXPECT_EQ(t.year_row(2).yfp, 40) << run;
    std::ostringstream written;
    write_detail(written, t, 6);
    detail = written.str();
    EXPECT_EQ(detail,
              kHead +
                  "   1  A         1950  1951     0     0     0     0     0     1     1     1\n"
                  "   2  B         1951  1952     0     0     5     0     0     0     1     2\n"
                  "   3  C         1952  1953    40     0     7     0     0     1     1     3\n")
        << run;
  }
}

TEST(detail_file, through_the_unit_table) {
  const auto dir = std::filesystem::temp_directory_path() / "detail_test_units";
  std::filesystem::create_directories(dir);
  const std::string prefix = (dir / "site").string();
  std::remove(detail_file_name(prefix).c_str());
  Units units;
  std::istringstream keys;
  std::ostringstream screen;
  Console console(keys, screen);
  units.create(unit::out, (dir / "site_out.txt").string());
  Tsi1 t;
  DetailRead r = read_detail(units, prefix, t, console);
  EXPECT_FALSE(r.ok);
  EXPECT_EQ(screen.str(),
            "\n *** batch detail data file either not found or\n"
            " *** error in reading in data. defaults are used.\n");

  screen.str("");
  Tsi1 two = two_series();
  say_detail_saved(console, write_detail(units, prefix, two, 6));
  // The name stands in its 40-character field.
  EXPECT_EQ(screen.str(),
            "\n batch detail file saved: " + in_name_field(prefix + "_detail.txt") + "\n");
  screen.str("");
  r = read_detail(units, prefix, t, console);
  EXPECT_TRUE(r.ok);
  EXPECT_EQ(r.rows, 2);
  EXPECT_EQ(screen.str(),
            "\n batch detail file opened:  " + in_name_field(prefix + "_detail.txt") + "\n");
  units.close(unit::out);
  std::ifstream out((dir / "site_out.txt").string());
  std::stringstream text;
  text << out.rdbuf();
  EXPECT_EQ(text.str(),
            " batch detail file processed:     " + in_name_field(prefix + "_detail.txt") + "\n\n");
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace dendro

namespace dendro {
namespace {

TEST(detail_code_note, counts_each_code_in_order_and_names_the_column) {
  EXPECT_TRUE(detail_code_note("a_detail.txt", "transformation", "itn", 1, {}).empty());
  const std::vector<std::string> note =
      detail_code_note("site_detail.txt", "second detrending", "idt", 20, {-6, 6, -6, -6});
  ASSERT_EQ(note.size(), 3u);
  EXPECT_EQ(note[0], " *** batch detail file site_detail.txt: the second detrending of 4 series");
  EXPECT_EQ(
      note[1],
      " *** follows their own codes there, not the log file's option 20: codes -6 (3), 6 (1)");
  EXPECT_EQ(note[2], " *** to change them, edit the idt column of that file");
}

}  // namespace
}  // namespace dendro
