#include "pelliform/loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "pelliform_session.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::data_path;
using testing::PSession;

constexpr int kUnit = 10;

struct Loaded {
  LoadStatus status;
  SeriesSet set;
};

Loaded load(const std::string& path, PSession& s) {
  Units units;
  EXPECT_TRUE(units.open_old(kUnit, path));
  Loaded r{LoadStatus::failed, {}};
  r.status = loaddat(s.con, units, kUnit, r.set);
  return r;
}

TEST(loaddat, tucson_ring_widths_of_a_real_file) {
  // keny002.rwl: 13 series, 1935-1994 (the data README's table, from a fixed-column scan).
  PSession s("1\n");
  const Loaded r = load(data_path("keny002.rwl"), s);
  ASSERT_EQ(r.status, LoadStatus::loaded);
  EXPECT_EQ(r.set.count(), 13);
  EXPECT_EQ(r.set.summary.first, 1935);
  EXPECT_EQ(r.set.summary.last, 1994);
  EXPECT_EQ(r.set.ids[0], "RAG29A  ");
  EXPECT_EQ(r.set.rows[0].first, 1953);
  EXPECT_FLOAT_EQ(r.set.values[0][0], 7.38f);  // "RAG29A  1953   738" in 0.01 mm
  EXPECT_EQ(r.set.title[0].substr(0, 30), "RAG    1 Ragati Forest Station");
  EXPECT_EQ(r.set.title[0].size(), 88u);
  EXPECT_TRUE(s.shows("                  __ Input Data Format Menu __\n"));
  EXPECT_TRUE(s.shows("\nEnter a value between [0-4] or [Q]uit            ==> "));
  EXPECT_TRUE(s.shows("\nInput data read successfully\n"));
}

TEST(loaddat, tucson_indices_of_real_files) {
  // Title records of the files: "... 1370 1988" (Tucson1.crn) and "... 1814 1995"
  // (Tucson2.crn); first records "1070001370 567  1" and "REAMSS1814...01055  1".
  struct Case {
    const char* file;
    int first, last;
    float first_value;
  };
  for (const Case& c :
       {Case{"Tucson1.crn", 1370, 1988, 0.567f}, Case{"Tucson2.crn", 1814, 1995, 1.055f}}) {
    PSession s("2\n");
    const Loaded r = load(data_path(c.file), s);
    ASSERT_EQ(r.status, LoadStatus::loaded) << c.file;
    ASSERT_EQ(r.set.count(), 1) << c.file;
    EXPECT_EQ(r.set.rows[0].first, c.first) << c.file;
    EXPECT_EQ(r.set.rows[0].last, c.last) << c.file;
    EXPECT_EQ(r.set.rows[0].count, c.last - c.first + 1) << c.file;
    EXPECT_FLOAT_EQ(r.set.values[0][0], c.first_value) << c.file;
  }
}

TEST(loaddat, column_layouts_after_header_lines) {
  PSession s("4\n0\n14\n*\n");
  const Loaded r = load(data_path("keny002_cols.txt"), s);
  ASSERT_EQ(r.status, LoadStatus::loaded);
  EXPECT_EQ(r.set.count(), 13);
  EXPECT_TRUE(
      s.shows("Enter number of file header lines to skip\n"
              "before reading data or columns. If none then\n"
              "enter a zer[0] for none                          ==> "));
  // Two header lines skipped put the reader on the first id record.
  const auto dir = std::filesystem::temp_directory_path() / "loaddat_test";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "one.txt").string();
  std::ofstream(path) << "a header\nanother\nA1\n1901\n0.5\n0.7\n";
  PSession t("3\n2\n");
  const Loaded one = load(path, t);
  ASSERT_EQ(one.status, LoadStatus::loaded);
  ASSERT_EQ(one.set.count(), 1);
  EXPECT_EQ(one.set.ids[0], "A1      ");
  EXPECT_EQ(one.set.rows[0].last, 1902);
  std::filesystem::remove_all(dir);
}

TEST(loaddat, menu_answers) {
  PSession quit("Q\n");  // quits at once: nothing else is asked
  EXPECT_EQ(load(data_path("keny002.rwl"), quit).status, LoadStatus::failed);
  EXPECT_FALSE(quit.shows("header lines"));

  // 0: the help menu, its single-column page (with the advice on ids before the example),
  // left with 0; then the format menu again.
  PSession help("0\n3\n\n0\n1\n");
  const Loaded h = load(data_path("keny002.rwl"), help);
  EXPECT_EQ(h.status, LoadStatus::loaded);
  EXPECT_TRUE(help.shows("Select a file type to see an example."));
  EXPECT_TRUE(help.shows(" Single Column\n Give every id a letter."));

  // 5: header lines are asked and skipped, a line says why 5 is refused, a pause, and the
  // menu again; the next choice reads the file from its start. A blank and a header count
  // that is no number are refused too, and asked again.
  PSession five("5\n\n  x y \n4\n\n1\n");
  const Loaded f = load(data_path("keny002.rwl"), five);
  ASSERT_EQ(f.status, LoadStatus::loaded);
  EXPECT_EQ(f.set.count(), 13);
  EXPECT_TRUE(
      five.shows("==> An empty entry is not a whole number of header lines\n"
                 "enter a zer[0] for none"));
  EXPECT_TRUE(
      five.shows("==> Entry > x y < is not a whole number of header lines\n"
                 "Enter number of file header lines to skip\n"));
  EXPECT_TRUE(
      five.shows("==> Entry > 5 < is not a choice between [0-4] or [Q]uit\n"
                 "             Hit RETURN to Continue"));

  PSession none("");
  EXPECT_THROW(load(data_path("keny002.rwl"), none), Stop);
}

TEST(loaddat, missing_title_lines_are_marked) {
  const auto dir = std::filesystem::temp_directory_path() / "loaddat_titles";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "bare.rwl").string();
  std::ofstream(path) << "AB01    1901   100   200   300   999\n";
  PSession s("1\n");
  const Loaded r = load(path, s);
  ASSERT_EQ(r.status, LoadStatus::loaded);
  const std::string gap(36, ' ');
  EXPECT_EQ(r.set.title[0],
            "1st itrdb line missing" + gap + "1st itrdb line missing" + std::string(8, ' '));
  EXPECT_EQ(r.set.title[2].substr(58, 22), "3rd itrdb line missing");
  std::filesystem::remove_all(dir);
}

TEST(loaddat, any_number_of_title_lines) {
  // kalder's reader stops at the 26th title line of a series; pelliform's reads on.
  const auto dir = std::filesystem::temp_directory_path() / "loaddat_many_titles";
  std::filesystem::create_directories(dir);
  const std::string path = (dir / "notes.rwl").string();
  {
    std::ofstream out(path);
    for (int k = 1; k <= 30; ++k) out << "site note line number " << k << "\n";
    out << "AB01    1901   100   200   300   999\n";
  }
  PSession s("1\n");
  const Loaded r = load(path, s);
  ASSERT_EQ(r.status, LoadStatus::loaded);
  EXPECT_EQ(r.set.count(), 1);
  EXPECT_EQ(r.set.title[1].substr(0, 24), "site note line number 2 ");
  std::filesystem::remove_all(dir);
}

// A file of `text` in a fresh folder, loaded as tucson ring widths.
Loaded load_text(const std::string& name, const std::string& text, PSession& s) {
  const auto dir = std::filesystem::temp_directory_path() / ("loaddat_" + name);
  std::filesystem::create_directories(dir);
  const std::string path = (dir / name).string();
  std::ofstream(path) << text;
  Loaded r = load(path, s);
  std::filesystem::remove_all(dir);
  return r;
}

TEST(loaddat, hyphenated_ids_and_loose_fields_read_whole) {
  // Ids with "-" in column 7 (no negative year) and values one column early; every series
  // is read, none dropped as a title.
  PSession s("1\n");
  const Loaded r = load_text("hyphen.rwl",
                             "SITE   1 a site\n"
                             "10ALAN-A1886   123   456   789   101\n"
                             "10ALAN-A1890    11   999\n"
                             "10ALAN-B1890  090   095  999 \n",
                             s);
  ASSERT_EQ(r.status, LoadStatus::loaded) << s.out.str();
  ASSERT_EQ(r.set.count(), 2);
  EXPECT_EQ(r.set.ids[0], "10ALAN-A");
  EXPECT_EQ(r.set.rows[0].first, 1886);
  EXPECT_EQ(r.set.rows[0].last, 1890);
  EXPECT_EQ(r.set.ids[1], "10ALAN-B");
  EXPECT_FLOAT_EQ(r.set.values[1][1], 0.95f);
}

TEST(loaddat, ring_of_999_thousandths_and_years_before_minus_9999) {
  PSession s("1\n");
  const Loaded r = load_text("fine.rwl", "FINE    1900  1234   999   567 -9999\n", s);
  ASSERT_EQ(r.status, LoadStatus::loaded) << s.out.str();
  ASSERT_EQ(r.set.count(), 1);
  EXPECT_EQ(r.set.rows[0].last, 1902);
  EXPECT_FLOAT_EQ(r.set.values[0][1], 0.999f);
  // -12000 and -11995 in the six year columns of their layout: the set spans the years of
  // its series, -12000 to -11995, not a year more.
  PSession early("1\n");
  const Loaded e =
      load_text("early.rwl", "OLD   -12000  1000  2000 -9999\nNEW   -11995  1500 -9999\n", early);
  ASSERT_EQ(e.status, LoadStatus::loaded) << early.out.str();
  ASSERT_EQ(e.set.count(), 2);
  EXPECT_EQ(e.set.rows[0].first, -12000);
  EXPECT_EQ(e.set.rows[0].last, -11999);
  EXPECT_FLOAT_EQ(e.set.values[1][0], 1.5f);
  EXPECT_EQ(e.set.summary.first, -12000);
  EXPECT_EQ(e.set.summary.last, -11995);
  EXPECT_EQ(e.set.summary.span(), 6);
  // A header-driven series from -100000, which no file of the programs can write.
  PSession deep("1\n");
  const std::string text = "DEEP" + std::string(75, ' ') + "#\nn        1   -100000  (f8.2)\n1.\n";
  EXPECT_EQ(load_text("deep.rwl", text, deep).status, LoadStatus::failed);
  EXPECT_TRUE(deep.shows("*** series DEEP: years -100000 to -100000 lie outside -99999 to 9999"));
}

TEST(loaddat, records_of_series_never_vanish_as_titles) {
  // With no limit on title lines, a damaged record of a series would otherwise pass as a
  // title: the load fails and says which record (after a pause).
  PSession s("1\n\n");
  const Loaded r = load_text("damaged.rwl",
                             "AB01    1901   100   200   999\n"
                             "AB02    1901   1x0   200   999\n",
                             s);
  EXPECT_EQ(r.status, LoadStatus::failed);
  EXPECT_TRUE(
      s.shows("*** series AB02: line 2 holds a value that cannot be read: columns 13-18 "
              "\"   1x0\" do not read as a number\n"));
}

TEST(loaddat, files_without_ring_width_series_say_why) {
  PSession empty("1\n");
  EXPECT_EQ(load_text("empty.rwl", "", empty).status, LoadStatus::failed);
  EXPECT_TRUE(
      empty.shows(" *** no series were read from the data file\n"
                  " the file holds no tucson ring-width series: it is empty\n"));
  // A chronology given as ring widths: pelliform's words for the index reading.
  PSession crn("1\n\n");
  EXPECT_EQ(load(data_path("Tucson3.crn"), crn).status, LoadStatus::failed);
  EXPECT_TRUE(
      crn.shows("\n the record reads as a tucson index (chronology) record: the file "
                "looks like a chronology, not ring widths; choose "
                "\"Chronologies (Index)\" [2] at the input data format menu to read it"))
      << crn.out.str();
}

TEST(loaddat, a_tucson_file_the_reader_cannot_place_fails_the_load) {
  // min.rwl: values separated by single blanks, not in the fixed columns.
  PSession s("1\n\n");
  EXPECT_EQ(load(data_path("min.rwl"), s).status, LoadStatus::failed);
}

TEST(SeriesSet, the_span_comes_from_the_series_with_values) {
  // Sets wholly before -9999 and wholly after 9998: the starting years of the search are
  // never the set's; a series without values counts for nothing.
  SeriesSet before;
  before.add("A", -10220, std::vector<float>(120, 1.0f));
  before.add("B", -10300, {});
  before.add("C", -10200, std::vector<float>(3, 1.0f));
  EXPECT_EQ(before.span_of_series().first, -10220);
  EXPECT_EQ(before.span_of_series().last, -10101);
  EXPECT_EQ(before.span_of_series().span(), 120);
  SeriesSet late;
  late.add("A", 9999, {1.0f});
  EXPECT_EQ(late.span_of_series().first, 9999);
  EXPECT_EQ(late.span_of_series().last, 9999);
}

}  // namespace
}  // namespace dendro
