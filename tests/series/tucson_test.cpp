#include "series/tucson.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "series/files/stop.h"
#include "series/store.h"
#include "tests/series/series_reading.h"

namespace dendro {
namespace {

// An index record: id in 1-6, year in 7-10, pairs of 4 + 3 columns from 11.
std::string ix(const char* id, int year, std::initializer_list<std::pair<int, int>> pairs) {
  char buf[128];
  int at = std::snprintf(buf, sizeof buf, "%-6s%4d", id, year);
  for (auto [v, d] : pairs) {
    at += std::snprintf(buf + at, sizeof buf - static_cast<std::size_t>(at), "%4d%3d", v, d);
  }
  return std::string(buf) + "\n";
}

struct FileReading : Reading {
  TucsonFile file;
};

FileReading read_all(const std::string& text, TucsonMode mode, int max_years = kMaxYears) {
  FileReading r;
  static_cast<Reading&>(r) = dendro::read_all(text, [&](RecordStream& records, Console& console) {
    return trrw_read(records, mode, r.file, console, nullptr, max_years);
  });
  return r;
}

// The layout note that follows the messages on a record of the wrong shape.
const std::string kColumns =
    " a tucson ring-width record holds the id in columns 1-8, the year in 9-12 and ten values of "
    "6 columns each from column 13, each value inside its own field";

void expect_values(const SeriesRead& s, std::initializer_list<double> expected) {
  ASSERT_EQ(s.n, static_cast<int>(expected.size()));
  std::size_t k = 0;
  for (double e : expected) EXPECT_NEAR(s.values[k++], e, 1e-5) << "value " << k;
}

TEST(trrw_read, both_end_markers_give_millimetres) {
  // Hand: 123 hundredths = 1.23 mm; 1230 thousandths = 1.230 mm.
  FileReading coarse = read_all(rw("ABC01", 1950, {123, 456, 7, 999}), TucsonMode::mr);
  FileReading fine = read_all(rw("ABC01", 1950, {1230, 4560, 70, -9999}), TucsonMode::mr);
  ASSERT_EQ(coarse.series.size(), 1u);
  ASSERT_EQ(fine.series.size(), 1u);
  expect_values(coarse.series[0], {1.23, 4.56, 0.07});
  expect_values(fine.series[0], {1.23, 4.56, 0.07});
  EXPECT_EQ(fine.series[0].id, "ABC01   ");
  EXPECT_EQ(fine.series[0].first_year, 1950);
  // Rings of 1000 mm or more are refused once the 999 says hundredths; in thousandths six
  // columns hold at most 999.999 mm (float spacing 6.1e-5). Columns are as written.
  expect_values(read_all(rw("BIG01", 1950, {99999, 999}), TucsonMode::mr).series.at(0), {999.99});
  EXPECT_NEAR(read_all(rw("BIG01", 1950, {999999, -9999}), TucsonMode::mr).series.at(0).values[0],
              999.999, 1e-4);
  EXPECT_EQ(read_all("BIG01 1950    12100000   999\n", TucsonMode::mr).stop,
            "*** series BIG01: line 1, columns 17-22 \"100000\" is a ring of 1000 mm read in "
            "0.01 mm: no ring is 1000 mm or wider; are the file's units right?");
  // As read, not as the product 100001 x 0.01f (1000.00995, a three-line C program's %.9g).
  EXPECT_NE(read_all(rw("BIG01", 1950, {100001, 999}), TucsonMode::mr)
                .stop.find("columns 13-18 \"100001\" is a ring of 1000.01 mm read in 0.01 mm"),
            std::string::npos);
}

TEST(trrw_read, first_record_holds_the_rest_of_its_decade) {
  // 1905: five values (1905-1909); the next record starts at 1910.
  FileReading r =
      read_all(rw("A", 1905, {1, 2, 3, 4, 5}) + rw("A", 1910, {6, 7, 999}), TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  expect_values(r.series[0], {0.01, 0.02, 0.03, 0.04, 0.05, 0.06, 0.07});
  // -15 lies in the decade -20 to -11: five values, then the record of -10.
  r = read_all(rw("NEG", -15, {1, 2, 3, 4, 5}) + rw("NEG", -10, {6, 999}), TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].first_year, -15);
  EXPECT_EQ(r.series[0].n, 6);
  // Values after the marker in the same record are not read.
  r = read_all(rw("B", 1900, {10, 999, 55, 66}), TucsonMode::mr);
  expect_values(r.series[0], {0.10});
}

TEST(trrw_read, title_records_and_header_lines) {
  const std::string text =
      "SITE   1 Some Site Name                      PSME\n"
      "\n"
      "SITE   2 Country      Species\n"
      "SITE   3 Author names\n"
      "SITE   4 a fourth title line\n" +
      rw("S1", 1900, {100, 999}) + "between the series\n" + rw("S2", 1900, {200, 999});
  FileReading r = read_all(text, TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 2u);
  EXPECT_EQ(r.series[0].text.substr(0, 25), "SITE   1 Some Site Name  ");
  EXPECT_EQ(r.series[0].text.size(), 80u);
  EXPECT_EQ(r.series[1].text.substr(0, 18), "between the series");
  // Lines 1 to 3 of the last call that met titles; the first call's lines 2 and 3 stay.
  EXPECT_EQ(r.file.header_lines[0].substr(0, 18), "between the series");
  EXPECT_EQ(r.file.header_lines[1].substr(0, 15), "SITE   2 Countr");
  EXPECT_EQ(r.file.header_lines[2].substr(0, 21), "SITE   3 Author names");
  EXPECT_EQ(r.file.header_lines[0].size(), 85u);
  EXPECT_NE(r.console.find("\n title of data:\n SITE   1 Some Site Name"), std::string::npos);
  EXPECT_NE(r.console.find(" SITE   4 a fourth title line\n"), std::string::npos);
  EXPECT_EQ(r.file.series_number, kEndOfData);
}

TEST(trrw_read, more_than_25_titles_stop_the_run) {
  std::string titles;
  for (int k = 0; k < 25; ++k) titles += "title line number " + std::to_string(k) + "\n";
  EXPECT_EQ(read_all(titles + rw("A", 1900, {1, 999}), TucsonMode::mr).series.size(), 1u);
  // The stop lists the first five title records, each with what kept it from being data.
  EXPECT_EQ(
      read_all(titles + "one more title line\n" + rw("A", 1900, {1, 999}), TucsonMode::mr).stop,
      "sbr trrw:  over 25 text lines\n"
      " 26 records were taken for title records, as they do not read as data records of "
      "the tucson ring-width format; the first of them:\n"
      "   line 1: title line number 0\n     (columns 9-12 \"ne n\" do not read as a year)\n"
      "   line 2: title line number 1\n     (columns 9-12 \"ne n\" do not read as a year)\n"
      "   line 3: title line number 2\n     (columns 9-12 \"ne n\" do not read as a year)\n"
      "   line 4: title line number 3\n     (columns 9-12 \"ne n\" do not read as a year)\n"
      "   line 5: title line number 4\n     (columns 9-12 \"ne n\" do not read as a year)\n"
      " a tucson ring-width record holds the id in columns 1-8, the year in 9-12 and ten "
      "values of 6 columns each from column 13, each value inside its own field");
  // Without the limit (pelliform's reader) the titles are shown and the series is read.
  FileReading r;
  r.file.title_limit = false;
  static_cast<Reading&>(r) = dendro::read_all(
      titles + titles + rw("A", 1900, {1, 999}), [&](RecordStream& records, Console& console) {
        return trrw_read(records, TucsonMode::mr, r.file, console, nullptr, kMaxYears);
      });
  EXPECT_EQ(r.stop, "");
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.file.header_lines[0].substr(0, 20), "title line number 0 ");
}

TEST(trrw_read, damaged_series_stop_with_a_clear_message) {
  const std::string a = rw("A", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  struct Case {
    std::string text, message;
  } cases[] = {
      {a, "*** series A (line 1): the file ends before its end marker (999 or -9999)"},
      {a + rw("B", 1900, {1, 999}), "*** series A has no end marker: line 2 begins series B"},
      {a + rw("A", 1900, {1, 999}), "*** series A: line 2 holds year 1900 where 1910 was expected"},
      {a + rw("A", 1915, {1, 999}), "*** series A: line 2 holds year 1915 where 1910 was expected"},
      {a + "a comment line\n" + rw("A", 1910, {1, 999}),
       "*** series A: line 2 interrupts the series before its end marker: columns 9-12 \"t li\" "
       "do not read as a year\n a comment line\n" +
           kColumns},
      {a + rw("A", 1910, {1, 2}), "*** series A: line 2 holds no value for the year 1912"},
      {a + "A       1910   1 2   999\n",
       "*** line 2: values are not in the fixed columns of the tucson format: columns 13-18 "
       "\"   1 2\" hold digits split by a blank\n A       1910   1 2   999\n" +
           kColumns},
      {"A       1900   1x2     3   999\n" + rw("A", 1910, {1, 999}),
       "*** series A: line 1 holds a value that cannot be read: columns 13-18 \"   1x2\" do not "
       "read as a number\n A       1900   1x2     3   999\n" +
           kColumns},
      {"", ""},
  };
  for (const Case& c : cases) {
    FileReading r = read_all(c.text, TucsonMode::mr);
    EXPECT_EQ(r.stop, c.message);
    EXPECT_TRUE(r.series.empty());
    if (!c.message.empty()) {
      EXPECT_NE(r.console.find(c.message), std::string::npos);
    }
  }
}

TEST(trrw_read, skipped_decades_read_as_missing_years) {
  // 1920-1939 have no record: twenty missing values, which stay missing after the
  // thousandths marker scales the others.
  FileReading r =
      read_all(rw("G", 1910, {1000, 2000, 3000, 4000, 5000, 6000, 7000, 8000, 9000, 1000}) +
                   rw("G", 1940, {500, -9999}),
               TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  const SeriesRead& s = r.series[0];
  ASSERT_EQ(s.n, 31);
  EXPECT_NEAR(s.values[9], 1.0, 1e-6);
  for (int k = 10; k < 30; ++k) EXPECT_EQ(s.values[static_cast<std::size_t>(k)], kMissing);
  EXPECT_NEAR(s.values[30], 0.5, 1e-6);
  EXPECT_NE(
      r.console.find("*** series G: line 2 skips the years 1920 to 1939; they are read as missing"),
      std::string::npos);
}

TEST(trrw_read, records_one_column_early_are_put_back_in_place) {
  // The year of a short id one column too early (as found in a public file): read as it
  // stands it would be 713 and every value would lose its last digit's place.
  const std::string text =
      "EGR108 1713   156   101   277   173   171   279   414\n"
      "EGR108 1720   436   279 -9999\n";
  FileReading r = read_all(text, TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].first_year, 1713);
  expect_values(r.series[0], {0.156, 0.101, 0.277, 0.173, 0.171, 0.279, 0.414, 0.436, 0.279});
  EXPECT_NE(r.console.find("*** series EGR108: line 1 is 1 column out of place; read as year 1713"),
            std::string::npos);
}

TEST(trrw_read, empty_series_and_blank_lines_are_passed_over) {
  FileReading r = read_all(
      "\n" + rw("E", 1900, {999}) + "\n\n" + rw("F", 1900, {12, 999}) + "   \n", TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].id, "F       ");
  EXPECT_NE(r.console.find("*** series E (line 2) holds no values; passed over"),
            std::string::npos);
}

TEST(trrw_read, long_series_are_counted_but_not_kept_beyond_the_limit) {
  std::string text = rw("L", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + rw("L", 1910, {11, 12, 999});
  FileReading r = read_all(text, TucsonMode::mr, 5);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].n, 12);
  EXPECT_EQ(r.series[0].values.size(), 5u);
}

TEST(trrw_read, index_series) {
  // 1905: slots 1-5 are fill, 1905 in slot 6; the series ends at the first 9990.
  const std::string text = ix("CRN", 1905,
                              {{9990, 0},
                               {9990, 0},
                               {9990, 0},
                               {9990, 0},
                               {9990, 0},
                               {1000, 3},
                               {950, 4},
                               {1100, 5},
                               {870, 5},
                               {1020, 6}}) +
                           ix("CRN", 1910, {{999, 6}, {9990, 0}, {9990, 0}});
  FileReading r = read_all(text, TucsonMode::ir);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].id, "CRN     ");
  EXPECT_EQ(r.series[0].first_year, 1905);
  expect_values(r.series[0], {1.0, 0.95, 1.1, 0.87, 1.02, 0.999});
  EXPECT_EQ(r.series[0].depth, (std::vector<int>{3, 4, 5, 5, 6, 6}));
  // A last decade that is full needs no fill record: the series ends with the file, or
  // where the next series begins.
  const std::string full =
      ix("ONE", 1900,
         {{1, 1}, {2, 1}, {3, 1}, {4, 1}, {5, 1}, {6, 1}, {7, 1}, {8, 1}, {9, 1}, {10, 1}});
  r = read_all(full + ix("TWO", 1950, {{500, 2}, {9990, 0}}) + full + "a title line\n" + full,
               TucsonMode::ir);
  ASSERT_EQ(r.series.size(), 4u);
  EXPECT_EQ(r.series[0].n, 10);
  EXPECT_EQ(r.series[1].id.substr(0, 3), "TWO");
  EXPECT_EQ(r.series[2].n, 10);
  EXPECT_TRUE(r.stop.empty());
}

TEST(trrw_read, header_driven_series_in_a_decadal_file) {
  // A record with "#" in column 80 hands the series to the header-driven reader.
  std::string marked(80, ' ');
  marked.replace(0, 23, "HDR01 two-column series");
  marked[79] = '#';
  marked += "\n";
  const std::string text = marked + "n        3      1950  (3f8.3)\n   1.500   2.250   0.125\n";
  FileReading r = read_all(text, TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].id, "HDR01 tw");
  EXPECT_EQ(r.series[0].first_year, 1950);
  expect_values(r.series[0], {1.5, 2.25, 0.125});
}

// One call of the reading without a console, on `text`.
struct OneReading {
  TucsonFile file;
  TucsonReading reading;
  std::optional<std::string> next_record;  // what the stream gives after the call
  int next_number = 0;
};

OneReading read_one(const std::string& text, TucsonMode mode = TucsonMode::mr) {
  OneReading r;
  std::istringstream data(text);
  RecordStream records(data);
  r.reading = read_tucson_series(records, mode, r.file);
  r.next_record = records.next();
  r.next_number = records.number();
  return r;
}

using Kind = TucsonMessage::Kind;

TEST(read_tucson_series, titles_and_notes_come_back_in_the_order_met) {
  const std::string text =
      "SITE   1 Some Site Name\n"
      "SITE   2 Country\n" +
      rw("G", 1910, {100, 200, 300, 400, 500, 600, 700, 800, 900, 100}) + "G\n" +
      rw("G", 1930, {50, 999}) + rw("H", 1900, {1, 999});
  OneReading r = read_one(text);
  EXPECT_EQ(r.reading.end, TucsonEnd::series);
  ASSERT_EQ(r.reading.messages.size(), 4u);
  EXPECT_EQ(r.reading.messages[0].kind, Kind::data_title);
  EXPECT_EQ(r.reading.messages[0].text, "SITE   1 Some Site Name");
  EXPECT_EQ(r.reading.messages[1].kind, Kind::title);
  EXPECT_EQ(r.reading.messages[1].text, "SITE   2 Country");
  EXPECT_EQ(r.reading.messages[2].kind, Kind::note);
  EXPECT_EQ(r.reading.messages[2].text, "*** line 4 passed over: its year field is blank");
  EXPECT_EQ(r.reading.messages[3].text,
            "*** series G: line 5 skips the years 1920 to 1929; they are read as missing");
  // 1910-1919, ten missing years, 1930.
  ASSERT_EQ(r.reading.series.n, 21);
  EXPECT_EQ(r.reading.series.values[10], kMissing);
  EXPECT_NEAR(r.reading.series.values[20], 0.5, 1e-6);
  EXPECT_EQ(r.file.header_lines[1].substr(0, 17), "SITE   2 Country ");
  // The next series stays in the stream.
  EXPECT_EQ(r.next_record, rw("H", 1900, {1, 999}).substr(0, 24));
}

TEST(read_tucson_series, a_fault_ends_the_reading_with_what_came_before_it) {
  OneReading ragged = read_one("SITE   1 Some Site Name\nA       1910   1 2   999\n");
  EXPECT_EQ(ragged.reading.end, TucsonEnd::refused);
  ASSERT_EQ(ragged.reading.messages.size(), 1u);
  EXPECT_EQ(ragged.reading.messages[0].kind, Kind::data_title);
  EXPECT_EQ(ragged.reading.text,
            "*** line 2: values are not in the fixed columns of the tucson format: columns 13-18 "
            "\"   1 2\" hold digits split by a blank\n A       1910   1 2   999\n" +
                kColumns);

  std::string titles;
  for (int k = 1; k <= 26; ++k) titles += "title line number " + std::to_string(k) + "\n";
  OneReading limit = read_one(titles + rw("A", 1900, {1, 999}));
  EXPECT_EQ(limit.reading.end, TucsonEnd::title_limit);
  // The 26th title record stops the reading before it is shown.
  ASSERT_EQ(limit.reading.messages.size(), 25u);
  EXPECT_EQ(limit.reading.messages[24].text, "title line number 25");
  EXPECT_TRUE(limit.reading.text.starts_with("sbr trrw:  over 25 text lines\n 26 records"));
}

TEST(read_tucson_series, a_header_driven_series_is_given_back_to_the_stream) {
  std::string marked(80, ' ');
  marked.replace(0, 5, "HDR01");
  marked[79] = '#';
  OneReading r = read_one("a title of the file\n" + marked + "\nn        1      1950  (f8.3)\n");
  EXPECT_EQ(r.reading.end, TucsonEnd::header_driven);
  EXPECT_EQ(r.reading.text, marked);
  ASSERT_EQ(r.reading.messages.size(), 1u);
  EXPECT_EQ(r.reading.messages[0].text, "a title of the file");
  EXPECT_EQ(r.next_record, marked);
  EXPECT_EQ(r.next_number, 2);
}

TEST(read_tucson_series, the_end_of_the_data_and_the_reading_modes) {
  OneReading r = read_one("\n");
  EXPECT_EQ(r.reading.end, TucsonEnd::series);
  EXPECT_EQ(r.reading.series.n, kEndOfData);
  EXPECT_EQ(r.file.series_number, kEndOfData);
  EXPECT_TRUE(r.reading.messages.empty());
  EXPECT_THROW(read_one("", TucsonMode::mw), std::invalid_argument);
}

TEST(trrw_read, fields_read_by_their_columns_with_blanks_ignored) {
  // Each value written one column early, as in a public file ("155011  1810  090   095"):
  // the fixed columns 13-18 hold "  090 ", which is 90 hundredths.
  const std::string text =
      "155011  1810  090   095   028   100   120   130   140   150   160   170 \n"
      "155011  1820  201  999 \n";
  FileReading r = read_all(text, TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  EXPECT_EQ(r.series[0].first_year, 1810);
  expect_values(r.series[0], {0.90, 0.95, 0.28, 1.00, 1.20, 1.30, 1.40, 1.50, 1.60, 1.70, 2.01});
  // Not index fields: there a blank after the digits is a damaged digit, which would turn
  // the fill "9990" into the index "999 ", 0.999.
  r = read_all("CRN   1900 998  31002  3999   0\n", TucsonMode::ir);
  EXPECT_TRUE(
      r.stop.starts_with("*** line 1: values are not in the fixed columns of the tucson "
                         "format: columns 25-28 \"999 \" hold digits that do not end in "
                         "the last column of their field"))
      << r.stop;
}

TEST(trrw_read, a_hyphen_in_an_id_is_not_a_negative_year) {
  // Ids with "-" in column 7 or 8 and the year in columns 9-12; beside them series of
  // real years below -999 (written here with the layouts of those years).
  std::ostringstream negative;
  trrw_write(negative, TucsonMode::mw, "HLL569", -1001, std::vector<float>{1.5f, 2.5f}, {}, "raw");
  trrw_write(negative, TucsonMode::mw, "HLL570", -1000, std::vector<float>{0.25f}, {}, "raw");
  const std::string text =
      "10ALAN-A1886   123   456   789   101\n"
      "10ALAN-A1890    11   999\n"
      "ABCDEF- 1886    50   999\n"
      "ABCDEF-X1900    60   999\n" +
      negative.str();
  for (bool limit : {true, false}) {  // kalder's reader and pelliform's
    FileReading r;
    r.file.title_limit = limit;
    static_cast<Reading&>(r) = dendro::read_all(text, [&](RecordStream& records, Console& console) {
      return trrw_read(records, TucsonMode::mr, r.file, console, nullptr, kMaxYears);
    });
    ASSERT_EQ(r.series.size(), 5u) << r.stop;
    EXPECT_EQ(r.series[0].id, "10ALAN-A");
    EXPECT_EQ(r.series[0].first_year, 1886);
    expect_values(r.series[0], {1.23, 4.56, 7.89, 1.01, 0.11});
    EXPECT_EQ(r.series[1].id, "ABCDEF- ");
    EXPECT_EQ(r.series[1].first_year, 1886);
    EXPECT_EQ(r.series[2].id, "ABCDEF-X");
    EXPECT_EQ(r.series[3].first_year, -1001);
    expect_values(r.series[3], {1.5, 2.5});
    EXPECT_EQ(r.series[4].first_year, -1000);
    EXPECT_EQ(r.file.title_count, 0);
  }
  // Index records: "-" in column 5 with a letter after it belongs to the id.
  FileReading ix_read = read_all(
      ix("ABCD-E", 1886,
         {{9990, 0}, {9990, 0}, {9990, 0}, {9990, 0}, {9990, 0}, {9990, 0}, {1010, 2}, {9990, 0}}),
      TucsonMode::ir);
  ASSERT_EQ(ix_read.series.size(), 1u) << ix_read.stop;
  EXPECT_EQ(ix_read.series[0].id, "ABCD-E  ");
  EXPECT_EQ(ix_read.series[0].first_year, 1886);
}

TEST(trrw_read, years_before_minus_9999_read_from_the_six_year_columns) {
  // Records built by hand: ring widths with the year in columns 7-12 after a 6-column id,
  // indices with the year in columns 5-10 after a 4-column id.
  FileReading r = read_all(
      "SITE   1 title\n"
      "OLD   -12000  1000  2000 -9999\n"
      "DEEP  -99999   100   200   300   400   500   600   700   800   900\n"
      "DEEP  -99990   110   999\n",
      TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 2u) << r.stop;
  EXPECT_EQ(r.series[0].id, "OLD     ");
  EXPECT_EQ(r.series[0].first_year, -12000);
  expect_values(r.series[0], {1.0, 2.0});
  // -99999 is slot 2 of the decade -100000 to -99991: nine values, then -99990.
  EXPECT_EQ(r.series[1].first_year, -99999);
  expect_values(r.series[1], {1.0, 2.0, 3.0, 4.0, 5.0, 6.0, 7.0, 8.0, 9.0, 1.1});

  // -10015 is slot 6 of the decade -10020 to -10011; the next record is headed -10010.
  r = read_all(
      "OLD -100159990  09990  09990  09990  09990  01000  21100  31200  41300  51400  6\n"
      "OLD -100101500  79990  0\n",
      TucsonMode::ir);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  EXPECT_EQ(r.series[0].id, "OLD     ");
  EXPECT_EQ(r.series[0].first_year, -10015);
  expect_values(r.series[0], {1.0, 1.1, 1.2, 1.3, 1.4, 1.5});
  EXPECT_EQ(r.series[0].depth, (std::vector<int>{2, 3, 4, 5, 6, 7}));
}

TEST(trrw_read, a_999_inside_a_series_in_thousandths_is_a_ring) {
  // 999 followed by more values up to -9999: a ring of 0.999 mm.
  FileReading r = read_all(rw("F", 1900, {1234, 999, 999, 567, -9999}), TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  expect_values(r.series[0], {1.234, 0.999, 0.999, 0.567});
  // In the last slot of a record, with the series going on in the next one.
  r = read_all(rw("G", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 999}) + rw("G", 1910, {500, -9999}),
               TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  ASSERT_EQ(r.series[0].n, 11);
  EXPECT_NEAR(r.series[0].values[9], 0.999, 1e-6);
  EXPECT_NEAR(r.series[0].values[10], 0.5, 1e-6);
  // In 9999, with the marker in the record of 10000 as trrw_write writes it.
  r = read_all(rw("G", 9990, {1, 2, 3, 4, 5, 6, 7, 8, 9, 999}) + "G      10000 -9999\n",
               TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  EXPECT_NEAR(r.series[0].values[9], 0.999, 1e-6);
  // A series in hundredths: its 999 ends it, whatever follows. The next series of the
  // same id, the values after the marker and the record read ahead are read as before,
  // and a later message names its own line.
  r = read_all(rw("H", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 999}) + rw("H", 1910, {5, 999}) +
                   rw("J", 1900, {100, 999, 7, 999}) + rw("K", 1900, {5, 999}) +
                   "K2      1900   1 2   999\n",
               TucsonMode::mr);
  ASSERT_EQ(r.series.size(), 4u);
  EXPECT_EQ(r.series[0].n, 9);
  EXPECT_EQ(r.series[1].first_year, 1910);
  expect_values(r.series[2], {1.00});
  expect_values(r.series[3], {0.05});
  EXPECT_EQ(r.stop.substr(0, 11), "*** line 5:");
}

TEST(trrw_read, numbered_title_records_are_titles_and_damaged_records_of_a_series_are_not) {
  // A title numbered in the year columns, then text and numbers, comes before a series;
  // a damaged record reads as numbers in its value columns, or the next record continues
  // it, or an index series goes on in it.
  const std::string title = "Germany     Norway spruce     1520M  4741 1252\n";
  const std::string unread = "*** series B: line 2 holds a value that cannot be read: columns 1";
  const std::string ten = std::string(10, ' ');
  const std::string full = ix(
      "B", 1900, {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}});
  struct Case {
    std::string text;
    TucsonMode mode;
    std::string stop;
  } cases[] = {
      {"bgpc1      2 " + title + rw("B", 1900, {1, 999}), TucsonMode::mr, ""},
      {"bgpc1   2 " + title + ix("B", 1900, {{1000, 1}}), TucsonMode::ir, ""},
      // BONall.rwl's third title record, as the index files of both programs copy it: a
      // word and a number far apart in the index value columns.
      {"ebe96c64   KH" + std::string(62, ' ') + "201601\n" + ix("B", 1900, {{1000, 1}}),
       TucsonMode::ir, ""},
      {rw("A", 1900, {1, 999}) + "B       1900   1x2     3   999\n", TucsonMode::mr, unread},
      {rw("A", 1900, {1, 999}) + "B       1900   1x2" + ten + "3\n" + rw("B", 1910, {1, 999}),
       TucsonMode::mr, unread},
      {ix("A", 1900, {{1000, 1}}) + "B     19001x00  19990  0\n", TucsonMode::ir, unread},
      {ix("A", 1900, {{1000, 1}}) + "B     19001x00  1\n" + ix("B", 1910, {{1000, 1}}),
       TucsonMode::ir, unread},
      {ix("B", 1900,
          {{1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}, {1, 1}}) +
           "B     19101x00  1\n",
       TucsonMode::ir, unread},
      // Value columns that read as numbers, whatever the id and year: a series of one
      // record with a damaged end marker, a first record of one value, a damaged year.
      {rw("A", 1900, {1, 999}) + "B       1850   123   145   9x9\n", TucsonMode::mr,
       "*** series B: line 2 holds a value that cannot be read: columns 25-30 \"   9x9\""},
      {"B       1859   3x3\n" + rw("B", 1860, {1, 999}), TucsonMode::mr,
       "*** series B: line 1 holds a value that cannot be read: columns 13-18"},
      {"B       18x0   1x2   999\n", TucsonMode::mr,
       "*** series B: line 1 holds a year that cannot be read: columns 9-12 \"18x0\""},
      {full + "B     1B70 998  1\n" + ix("B", 1920, {{1000, 1}, {9990, 0}}), TucsonMode::ir,
       "*** series B: line 2 holds a year that cannot be read: columns 7-10 \"1B70\""},
      // Records of the right shape whose values stand outside the years they carry.
      {rw("B", 1951, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + rw("B", 1960, {1, 999}), TucsonMode::mr,
       "*** series B: line 1 holds a value after the years 1951 to 1959 that its year leaves in "
       "its decade: columns 67-72 \"    10\""},
      {ix("B", 1906, {{9990, 0}, {9990, 0}, {9990, 0}, {9990, 0}, {9990, 0}, {1000, 1}}),
       TucsonMode::ir,
       "*** series B: line 1 holds a value before the years 1906 to 1909 that its year leaves in "
       "its decade: columns 46-49 \"1000\""},
      {ix("B", 1900, {{1000, 1}, {9990, 0}, {1000, 1}}), TucsonMode::ir,
       "*** series B: line 1 holds a value after the fill 9990 that ends the series: columns "
       "25-28 \"1000\""},
      {full + ix("C", 1910, {{1000, 1}, {9990, 0}}), TucsonMode::ir,
       "*** series B: line 2 carries the id C where the series goes on in 1910"},
      {rw("B", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + rw("B", 1930, {-9999}), TucsonMode::mr,
       "*** series B: line 2 holds year 1930 where 1910 was expected"},
  };
  for (const Case& c : cases) {
    const FileReading r = read_all(c.text, c.mode);
    EXPECT_TRUE(c.stop.empty() ? r.stop.empty() && r.series.size() == 1
                               : r.stop.starts_with(c.stop))
        << c.text << r.stop;
  }
}

TEST(trrw_read, index_records_read_as_ring_widths_point_to_the_index_reading) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/Tucson2.crn", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  FileReading r = read_all(text.str(), TucsonMode::mr);
  EXPECT_TRUE(r.series.empty());
  // "REAMSS18149990  09990": read as ring widths, year 1499 and columns 13-18 "90  09".
  const std::string first_line =
      "*** line 4: values are not in the fixed columns of the tucson format: columns 13-18 "
      "\"90  09\" hold digits split by a blank\n";
  EXPECT_EQ(r.stop.substr(0, first_line.size()), first_line);
  EXPECT_TRUE(r.stop.ends_with(
      "\n the record reads as a tucson index (chronology) record: the file looks like a "
      "chronology, not ring widths; read the file as tucson index data"))
      << r.stop;
}

TEST(tucson_no_series_note, says_why_a_file_gave_no_series) {
  auto note = [](const std::string& text) {
    FileReading r = read_all(text, TucsonMode::mr);
    EXPECT_TRUE(r.series.empty());
    return tucson_no_series_note(r.file, TucsonMode::mr);
  };
  const std::string head = " the file holds no tucson ring-width series: ";
  EXPECT_EQ(note(""), head + "it is empty");
  EXPECT_EQ(note("\n  \n\n"), head + "it holds only blank lines");
  EXPECT_EQ(note("Some notes on a site\n\n" + rw("E", 1900, {999})),
            head +
                "its 3 lines hold 1 title record and 1 series without values; the first "
                "title records, each with what kept it from being a data record:\n"
                "   line 1: Some notes on a site\n"
                "     (columns 9-12 \"es o\" do not read as a year)\n" +
                kColumns);
  FileReading index = read_all("", TucsonMode::ir);
  EXPECT_EQ(tucson_no_series_note(index.file, TucsonMode::ir),
            " the file holds no tucson index series: it is empty");
}

TEST(trrw_write, records_match_the_fixed_layouts) {
  // Expected lines: gfortran 12 writing the same layouts with single-precision
  // nint(v * 1000.0) (0.0015 gives 2 and 0.9995 gives 1000 in single precision).
  const std::vector<float> rings{1.234f, 0.5f, 0.999f, 2.0f, 0.0015f, 0.1f, 0.2f, 0.3f,
                                 0.4f,   0.5f, 0.6f,   0.7f, 0.8f,    0.9f, 1.0f};
  std::ostringstream out;
  trrw_write(out, TucsonMode::mw, "ABC01", 1905, rings, {}, "raw");
  EXPECT_EQ(out.str(),
            "ABC01   1905  1234   500  1000  2000     2\n"
            "ABC01   1910   100   200   300   400   500   600   700   800   900  1000  raw\n"
            "ABC01   1920 -9999\n");

  const std::vector<float> index{0.5f, 1.0f, 1.5f, 0.9995f, 2.0f};
  const std::vector<int> depth{3, 4, 5, 6, 7};
  std::ostringstream iw, qz;
  trrw_write(iw, TucsonMode::iw, "CRN", 1905, index, depth, "std");
  trrw_write(qz, TucsonMode::qz, "CRN", 1905, index, depth, "std");
  const std::string first =
      "CRN   19059990  09990  09990  09990  09990  0 500  31000  41500  51000  62000  7  std\n";
  EXPECT_EQ(iw.str(), first +
                          "CRN   19109990  09990  09990  09990  09990  09990  09990  09990  09990  "
                          "09990  0  std\n");
  EXPECT_EQ(qz.str(), "CRN   19051909\n" + first);

  std::ostringstream one;
  trrw_write(one, TucsonMode::iw, "CRN", -1000, std::vector<float>{1.5f, 1.5f}, std::vector<int>{0},
             "std");
  EXPECT_EQ(
      one.str(),
      "CRN  -10001500  11500  19990  09990  09990  09990  09990  09990  09990  09990  0  std\n");
  std::ostringstream header;
  trrw_write(header, TucsonMode::qz, "CRN", -1005, std::vector<float>(5, 1.0f), {}, "std");
  EXPECT_EQ(header.str().substr(0, header.str().find('\n')), "CRN    -1005 -1001");

  std::ostringstream none;
  trrw_write(none, TucsonMode::mw, "X", 1900, {}, {}, "raw");
  trrw_write(none, TucsonMode::qz, "X", 1900, {}, {}, "raw");
  EXPECT_EQ(none.str(), "");
}

TEST(trrw_write, negative_year_layouts) {
  // gfortran 12: the same layouts and values.
  auto written = [](int year, std::size_t n) {
    std::ostringstream out;
    trrw_write(out, TucsonMode::mw, "ABC01", year, std::vector<float>(n, 1.5f), {}, "raw");
    return out.str();
  };
  EXPECT_EQ(written(-1000, 3), "ABC01  -1000  1500  1500  1500 -9999\n");
  EXPECT_EQ(written(-999, 1), "ABC01   -999  1500 -9999\n");
  EXPECT_EQ(written(-9999, 1), "ABC01  -9999  1500 -9999\n");
  EXPECT_EQ(written(-10000, 1), "ABC01 -10000  1500 -9999\n");
  EXPECT_EQ(written(-1001, 1).substr(0, 19), "ABC01  -1001  1500\n");
  // Years below -9999 (by hand from the layouts): the id keeps 6 columns, the year takes
  // 7-12. -10021 ends its decade: one value, then the record of -10020.
  EXPECT_EQ(written(-10020, 3), "ABC01 -10020  1500  1500  1500 -9999\n");
  EXPECT_EQ(written(-10021, 2), "ABC01 -10021  1500\nABC01 -10020  1500 -9999\n");
  EXPECT_EQ(written(-99999, 1), "ABC01 -99999  1500 -9999\n");
  // A series from -10005 to -9990: the layout follows each record's year.
  std::string ten;
  for (int k = 0; k < 10; ++k) ten += "  1500";
  EXPECT_EQ(written(-10005, 16), "ABC01 -10005" + ten.substr(0, 30) + "\nABC01 -10000" + ten +
                                     "  raw\nABC01  -9990  1500 -9999\n");
}

TEST(trrw_write, index_and_mib_pex_layouts_before_minus_9999) {
  // By hand from the layouts: the id keeps 4 columns ("CRN0"), the year takes 5-10; the first
  // record of -10015 fills slots 1-5 and is headed by the year itself.
  const std::string fill = "9990  0";
  std::ostringstream iw, qz;
  trrw_write(iw, TucsonMode::iw, "CRN01", -10015, std::vector<float>(6, 1.5f), {}, "std");
  EXPECT_EQ(iw.str(), "CRN0-10015" + fill + fill + fill + fill + fill +
                          "1500  11500  11500  11500  11500  1  std\n"
                          "CRN0-100101500  1" +
                          fill + fill + fill + fill + fill + fill + fill + fill + fill + "  std\n");
  // The mib pex header widens its years to seven columns below -9999.
  trrw_write(qz, TucsonMode::qz, "CRN01", -10020, std::vector<float>(2, 1.5f), {}, "std");
  EXPECT_EQ(qz.str(), "CRN01  -10020 -10019\nCRN0-100201500  11500  1" + fill + fill + fill + fill +
                          fill + fill + fill + fill + "  std\n");
  std::ostringstream last;
  trrw_write(last, TucsonMode::qz, "CRN01", -99999, std::vector<float>(1, 1.0f), {}, "std");
  EXPECT_EQ(last.str().substr(0, last.str().find('\n')), "CRN01  -99999 -99999");
}

TEST(trrw_write, series_ending_in_slot_ten) {
  const std::vector<float> ten(10, 0.25f);  // 1900-1909 fill one record exactly
  std::ostringstream mw, iw, qz;
  trrw_write(mw, TucsonMode::mw, "T", 1900, ten, {}, "ind");
  trrw_write(iw, TucsonMode::iw, "T", 1900, ten, {}, "ind");
  trrw_write(qz, TucsonMode::qz, "T", 1900, ten, {}, "ind");
  const std::string m = mw.str(), i = iw.str(), q = qz.str();
  EXPECT_EQ(m.substr(m.find('\n') + 1), "T       1910 -9999\n");
  EXPECT_EQ(std::count(i.begin(), i.end(), '\n'), 2);
  EXPECT_EQ(i.substr(i.find('\n') + 1, 14), "T     19109990");
  EXPECT_EQ(std::count(q.begin(), q.end(), '\n'), 2);  // header and one record

  // Ending in 9999, the record of 10000 takes a column of the id, as five-column years do
  // (by hand from the layouts (a7,i5,10i6) and (a5,i5,10(i4,i3),2x,a)).
  std::ostringstream late;
  trrw_write(late, TucsonMode::mw, "T", 9990, ten, {}, "ind");
  trrw_write(late, TucsonMode::iw, "T", 9990, ten, {}, "ind");
  EXPECT_NE(late.str().find("\nT      10000 -9999\nT     9990 250  1"), std::string::npos);
  EXPECT_EQ(late.str().substr(late.str().rfind("\nT") + 1, 24), "T    100009990  09990  0");
}

TEST(trrw_round_trip, every_year_layout_and_id_reads_back_at_the_format_precision) {
  // 9977 ends in 9999: the reader takes the end record of 10000 with the series. An id
  // with "-" before the year columns must not lend the year its sign: "HNG03-1790" is
  // HNG03 of -1790, "HNG0-11790" HNG0 of -11790, as index records.
  const int years[] = {1790,  1905,  0,      -1,     -15,    -999,   -1000, -1001,
                       -1017, -9999, -10000, -10001, -10020, -99999, 9977};
  const char* ids[] = {"RT000001", "HNG03-1", "HNG03-", "HNG0-1", "ABCDEFG-", "ABCDEF-1"};
  for (const char* id : ids) {
    for (int year : years) {
      std::vector<float> values;
      for (int k = 0; k < 23; ++k) values.push_back(0.0015f * static_cast<float>(k * k) + 0.0004f);
      std::ostringstream rings, index;
      trrw_write(rings, TucsonMode::mw, id, year, values, {}, "raw");
      trrw_write(index, TucsonMode::iw, id, year, values, {}, "std");
      for (auto [text, mode] :
           {std::pair{rings.str(), TucsonMode::mr}, std::pair{index.str(), TucsonMode::ir}}) {
        FileReading r = read_all(text, mode);
        ASSERT_EQ(r.series.size(), 1u) << id << " " << year << r.stop;
        const std::size_t shown = record_id_columns(mode == TucsonMode::mr, year);
        EXPECT_EQ(r.series[0].id.substr(0, shown),
                  written_id(id, mode == TucsonMode::mr).substr(0, shown));
        EXPECT_EQ(r.series[0].first_year, year) << id;
        ASSERT_EQ(r.series[0].n, 23) << id << " " << year;
        for (std::size_t k = 0; k < values.size(); ++k) {
          EXPECT_NEAR(r.series[0].values[k], values[k], 0.0005 + 1e-6) << year << " value " << k;
        }
      }
    }
  }
  // Only a "-" that the reader would take for a sign changes.
  EXPECT_EQ(written_id("HNG03-1", false), "HNG03_1 ");
  EXPECT_EQ(written_id("HNG03-1", true), "HNG03-1 ");
  EXPECT_EQ(written_id("HNG0-1", false), "HNG0_1  ");
  EXPECT_EQ(written_id("HNG0-A", false), "HNG0-A  ");
  EXPECT_EQ(written_id("ABCDEF-1", true), "ABCDEF_1");
  EXPECT_EQ(written_id("ABCDEFG-", true), "ABCDEFG_");
}

TEST(tucson_mode, codes) {
  EXPECT_EQ(tucson_mode("MR"), TucsonMode::mr);
  EXPECT_EQ(tucson_mode("qz"), TucsonMode::qz);
  EXPECT_FALSE(tucson_mode("cd"));
  EXPECT_FALSE(tucson_mode("m"));
  EXPECT_EQ(decade_slots(1905), 5);
  EXPECT_EQ(decade_slots(-15), 5);
  EXPECT_EQ(decade_slots(-10), 10);
  EXPECT_EQ(decade_slots(0), 10);
}

// Public files: series count and the first and last year that hold a value, from an
// independent awk scan of the fixed columns (scan.awk: series end at 999 or -9999; years
// of the values before the marker), e.g. `awk -f scan.awk co021.rwl`.
TEST(tucson_real_files, every_series_with_its_span) {
  struct Expected {
    const char* file;
    int series, first, last;
  } files[] = {
      {"co021.rwl", 35, 1176, 1963},
      {"cana165.rwl", 11, -1041, -666},
      {"fran010.rwl", 16, 933, 1963},
      {"TWM_TMS.rwl", 142, 1600, 2021},
      {"BONall.rwl", 12, 1879, 2015},
      {"cana7rw.rwl", 9, 1938, 1994},
      {"keny002.rwl", 13, 1935, 1994},
      // The scan reads EGR108 as 713 (its records are one column early); by its later
      // records' years it begins in 1713, and the other 21 series span 1735-2001.
      {"cana209.rwl", 22, 1713, 2001},
  };
  for (const Expected& e : files) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + e.file, std::ios::binary);
    ASSERT_TRUE(in) << e.file;
    std::stringstream text;
    text << in.rdbuf();
    FileReading r = read_all(text.str(), TucsonMode::mr);
    EXPECT_EQ(r.stop, "") << e.file;
    ASSERT_EQ(static_cast<int>(r.series.size()), e.series) << e.file;
    int first = r.series[0].first_year, last = first;
    for (const SeriesRead& s : r.series) {
      first = std::min(first, s.first_year);
      last = std::max(last, s.first_year + s.n - 1);
    }
    EXPECT_EQ(first, e.first) << e.file;
    EXPECT_EQ(last, e.last) << e.file;
  }
}

TEST(tucson_real_files, known_values_and_refusal) {
  auto read_file = [](const char* name, TucsonMode mode) {
    std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return read_all(text.str(), mode);
  };
  // co021 line 1: "641114  1270   148   233": 1.48 and 2.33 mm from 1270.
  FileReading co = read_file("co021.rwl", TucsonMode::mr);
  EXPECT_EQ(co.series[0].first_year, 1270);
  EXPECT_NEAR(co.series[0].values[1], 2.33, 1e-5);
  // BONall: an id with a blank ("BONNew E"), no newline after the last record.
  FileReading bon = read_file("BONall.rwl", TucsonMode::mr);
  bool found = false;
  for (const SeriesRead& s : bon.series) found = found || s.id == "BONNew E";
  EXPECT_TRUE(found);
  // fran010: series 606425 has no record for 1770-1779.
  FileReading fran = read_file("fran010.rwl", TucsonMode::mr);
  EXPECT_NE(fran.console.find("*** series 606425: line 736 skips the years 1770 to 1779"),
            std::string::npos);
  // min.rwl separates its values by single blanks: not the tucson columns.
  FileReading min = read_file("min.rwl", TucsonMode::mr);
  EXPECT_TRUE(min.series.empty());
  EXPECT_EQ(min.stop.substr(0, 69),
            "*** line 1: values are not in the fixed columns of the tucson format:");
  // Chronologies: the first record's slots before 1814 (1454) are fill; Tucson3 ends
  // without a fill record after its full last decade.
  FileReading t2 = read_file("Tucson2.crn", TucsonMode::ir);
  ASSERT_EQ(t2.series.size(), 1u);
  EXPECT_EQ(t2.series[0].first_year, 1814);
  EXPECT_EQ(t2.series[0].first_year + t2.series[0].n - 1, 1995);
  EXPECT_NEAR(t2.series[0].values[0], 1.055, 1e-6);
  EXPECT_EQ(t2.series[0].depth[0], 1);
  FileReading t3 = read_file("Tucson3.crn", TucsonMode::ir);
  ASSERT_EQ(t3.series.size(), 1u);
  EXPECT_EQ(t3.series[0].first_year, 1454);
  EXPECT_EQ(t3.series[0].first_year + t3.series[0].n - 1, 1769);
}

}  // namespace
// Thousandths from -9998 to 99999 leave a blank before each six-column value; -9999 is the
// end marker.
TEST(ring_misfit, values_at_the_ends_of_the_records) {
  EXPECT_FALSE(ring_misfit(std::vector<float>{99.999f, -9.998f, 0.0f}));
  EXPECT_EQ(ring_misfit(std::vector<float>{1.0f, 100.0f}), 1u);
  EXPECT_EQ(ring_misfit(std::vector<float>{1.0f, 1.0f, -9.999f}), 2u);
  EXPECT_EQ(ring_misfit(std::vector<float>{20000.0f}), 0u);
  EXPECT_EQ(ring_misfit(std::vector<float>{1.0f, std::nanf("")}), 1u);
  EXPECT_FALSE(ring_misfit(std::vector<float>{}));
}

}  // namespace dendro
