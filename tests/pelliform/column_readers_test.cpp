#include "pelliform/column_readers.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "pelliform_session.h"
#include "series/blocks.h"
#include "series/store.h"

namespace dendro {
namespace {

using testing::data_path;
using testing::PSession;

// A file a reader refuses, and the message it shows.
struct Case {
  const char* file;
  const char* message;
};

// keny002_1col.txt and keny002_cols.txt hold the 13 series of keny002.rwl in the two
// column layouts. They were made once by a short Python scan of the fixed tucson columns
// of keny002.rwl (values / 100, end marker 999), which printed the spans checked here:
// 13 series, 1935-1994; RAG29A 1953-1994 (42 values), RAG30A 1935-1994 (60), RAG32B
// 1946-1985 (40), RAG38B 1953-1994 (42). First values from the rwl records
// "RAG29A  1953   738 ..." and "RAG30A  1935   460 ...".
void expect_keny002(const SeriesSet& set) {
  ASSERT_EQ(set.count(), 13);
  EXPECT_EQ(set.summary.first, 1935);
  EXPECT_EQ(set.summary.last, 1994);
  EXPECT_EQ(set.ids[0], "RAG29A  ");
  EXPECT_EQ(set.rows[0].first, 1953);
  EXPECT_EQ(set.rows[0].last, 1994);
  EXPECT_EQ(set.rows[0].count, 42);
  EXPECT_EQ(set.rows[1].count, 60);
  EXPECT_EQ(set.ids[6], "RAG32B  ");
  EXPECT_EQ(set.rows[6].first, 1946);
  EXPECT_EQ(set.rows[6].last, 1985);
  EXPECT_EQ(set.rows[12].count, 42);
  EXPECT_FLOAT_EQ(set.values[0][0], 7.38f);
  EXPECT_FLOAT_EQ(set.values[1][0], 4.60f);
  for (int s = 0; s < set.count(); ++s) {
    EXPECT_EQ(set.values[static_cast<std::size_t>(s)].size(),
              static_cast<std::size_t>(set.rows[static_cast<std::size_t>(s)].count));
  }
}

TEST(rd1col, reads_a_real_file_converted_to_one_column) {
  std::ifstream file(data_path("keny002_1col.txt"));
  RecordStream in(file);
  PSession s;
  SeriesSet set;
  ASSERT_TRUE(rd1col(in, s.con, set));
  expect_keny002(set);
}

TEST(rdmcol, reads_a_real_file_converted_to_columns) {
  std::ifstream file(data_path("keny002_cols.txt"));
  RecordStream in(file);
  PSession s("14\n*\n");  // the file pads with "*******"; the prompt asks for "*"
  SeriesSet set;
  ASSERT_TRUE(rdmcol(in, s.con, set));
  expect_keny002(set);
  EXPECT_TRUE(s.shows("[Program assumes Col_1 contains the X values] : "));
  EXPECT_TRUE(s.shows("pad the records [can not be spaces, if ******* enter *] : "));
}

TEST(rd1col, values_end_at_the_first_record_that_is_not_a_number) {
  // "123" after the values of A reads as a further value, not as an id.
  std::istringstream file("A\n1901\n0.5\n\n1.5\n123\nB2\n1950\n2\n3\n");
  RecordStream in(file);
  PSession s;
  SeriesSet set;
  ASSERT_TRUE(rd1col(in, s.con, set));
  ASSERT_EQ(set.count(), 2);
  EXPECT_EQ(set.values[0], (std::vector<float>{0.5f, 1.5f, 123.0f}));
  EXPECT_EQ(set.rows[0].last, 1903);
  EXPECT_EQ(set.ids[1], "B2      ");
  EXPECT_EQ(set.rows[1].first, 1950);
  EXPECT_EQ(set.rows[1].count, 2);
  EXPECT_EQ(set.summary.first, 1901);
  EXPECT_EQ(set.summary.last, 1951);
}

TEST(rd1col, unreadable_first_year_fails_with_its_message) {
  std::istringstream file("A\n1901\n0.5\nB\nnineteen\n1\n");
  RecordStream in(file);
  PSession s("\n");
  SeriesSet set;
  EXPECT_FALSE(rd1col(in, s.con, set));
  EXPECT_TRUE(
      s.shows("Rd1col: Error reading series IYR value\n"
              "        line 5, columns 1-8 \"nineteen\"\n"
              "        Series: B        Number:     2\n"
              " Hit return to continue"));
}

TEST(rd1col, a_series_past_the_year_limit_is_refused) {
  std::string text = "LONG\n1\n";
  for (int k = 0; k < kMaxYears + 2; ++k) text += "1.0\n";
  std::istringstream file(text);
  RecordStream in(file);
  PSession s;
  SeriesSet set;
  EXPECT_FALSE(rd1col(in, s.con, set));
  EXPECT_TRUE(s.shows(
      "*** series read in exceeds maximum allowable length: LONG       5002 >  5000 max ***"));
}

TEST(rd1col, years_and_values_no_series_can_hold_are_refused_with_their_line) {
  // First years past either limit (2147483647 would overflow the last year, 4294969196
  // would wrap to 1900), a last year past 9999, and values no measurement can have, named
  // as read: 999999.99 is 1000000 in single precision (neighbours 999999.9375 and 1e6).
  const Case cases[] = {
      {"A\n2147483647\n1.0\n", "Rd1col: line 2: year 2147483647 lies outside -99999 to 9999"},
      {"A\n-2147483648\n1.0\n", "Rd1col: line 2: year -2147483648 lies outside -99999 to 9999"},
      {"A\n4294969196\n1.0\n", "Rd1col: line 2: year 4294969196 lies outside -99999 to 9999"},
      {"A\n9998\n1.0\n2.0\n3.0\n", "Rd1col: line 5: year 10000 lies outside -99999 to 9999"},
      {"A\n1900\n1.0\n1e39\n",
       "Rd1col: line 4, columns 1-4 \"1e39\" is 1e+39: values must lie above -1000000 and below "
       "1000000"},
      {"A\n1900\n999999.9\n 1e6\n",
       "Rd1col: line 4, columns 2-4 \"1e6\" is 1000000: values must lie above -1000000 and below "
       "1000000"},
      {"A\n1900\n999999.99\n",
       "Rd1col: line 3, columns 1-9 \"999999.99\" is 999999.99, held in single precision as "
       "1000000: values must lie above -1000000 and below 1000000"},
  };
  for (const Case& c : cases) {
    std::istringstream file(c.file);
    RecordStream in(file);
    PSession s("\n");
    SeriesSet set;
    EXPECT_FALSE(rd1col(in, s.con, set)) << c.file;
    EXPECT_TRUE(s.shows(std::string(c.message) +
                        "\n        Series: A        Number:     1\n Hit return to continue"))
        << c.file;
  }
  // The limits themselves are years; the layout has no units, so micrometres and values up
  // to the limit are taken.
  std::istringstream ends("A\n-99999\n1.0\nB\n9998\n1774\n-999999.9\n");
  RecordStream in(ends);
  PSession s;
  SeriesSet set;
  ASSERT_TRUE(rd1col(in, s.con, set));
  EXPECT_EQ(set.summary.first, -99999);
  EXPECT_EQ(set.summary.last, 9999);
  EXPECT_EQ(set.values[1], (std::vector<float>{1774.0f, -999999.9f}));
}

TEST(rd1col, refusals_name_the_line_the_columns_and_the_text) {
  const Case cases[] = {
      // A year with a letter in it, indented and followed by a comment item.
      {"A\n1901\n0.5\nB\n  19x5  first\n1\n",
       "Rd1col: Error reading series IYR value\n"
       "        line 5, columns 3-6 \"19x5\"\n"
       "        Series: B        Number:     2\n"},
      // A first year with a decimal point: a whole number is wanted.
      {"A\n1901\n0.5\nB\n\n1901.\n", "        line 6, columns 1-5 \"1901.\"\n"},
      // A value with a damaged character where whole values run on: read as an id, the
      // value after it would be the first year of another series.
      {"A\n1901\n738\n6x0\n535\n302\n",
       "Rd1col: line 4, columns 1-3 \"6x0\" is a value that cannot be read, or the id of a new "
       "series\n"},
      // A value whose first character is damaged into "/", which ends a record: passed over
      // as blank, every value after it would move a year.
      {"A\n1901\n7.38\n/.70\n5.35\n",
       "Rd1col: line 4: a \"/\" in column 1 ends the record "
       "before its item\n"},
      // The file ends after an id: there is no text to show, only the id's line.
      {"A\n1901\n0.5\nB\n\n",
       "Rd1col: Error reading series IYR value\n"
       "        the file ends after the id on line 4\n"
       "        Series: B        Number:     2\n"},
  };
  for (const Case& c : cases) {
    std::istringstream file(c.file);
    RecordStream in(file);
    PSession s("\n");
    SeriesSet set;
    EXPECT_FALSE(rd1col(in, s.con, set)) << c.file;
    EXPECT_TRUE(s.shows(c.message)) << c.file << "\n" << s.out.str();
  }
}

TEST(rd1col, ids_made_of_digits_start_their_series) {
  // Values with a decimal point: a record of as many digits as the id, followed by a year,
  // starts the next series.
  std::istringstream file("101\n1900\n0.5\n0.7\n102\n1950\n1.5\n2.5\n\n103\n1960\n1e-1\n");
  RecordStream in(file);
  PSession s;
  SeriesSet set;
  ASSERT_TRUE(rd1col(in, s.con, set)) << s.out.str();
  ASSERT_EQ(set.count(), 3);
  EXPECT_EQ(set.ids[1], "102     ");
  EXPECT_EQ(set.values[0], (std::vector<float>{0.5f, 0.7f}));
  EXPECT_EQ(set.rows[0].last, 1901);
  EXPECT_EQ(set.values[1], (std::vector<float>{1.5f, 2.5f}));
  EXPECT_EQ(set.rows[1].first, 1950);
  EXPECT_EQ(set.ids[2], "103     ");
  EXPECT_EQ(set.rows[2].count, 1);
  EXPECT_EQ(set.summary.first, 1900);
  EXPECT_EQ(set.summary.last, 1960);

  // Ids of letters, of digits of the same width, of another width before a year (no ring).
  std::istringstream mixed("CEB302\n1900\n0.5\n303011\n1950\n0.7\n12\n1960\n0.9\n");
  RecordStream in3(mixed);
  PSession u;
  SeriesSet three;
  ASSERT_TRUE(rd1col(in3, u.con, three)) << u.out.str();
  ASSERT_EQ(three.count(), 3);
  EXPECT_EQ(three.ids[1], "303011  ");
  EXPECT_EQ(three.ids[2], "12      ");
  EXPECT_EQ(three.rows[2].first, 1960);

  // Whole values stay values where no year follows them, and the last record of the file
  // is a value: one series.
  std::istringstream whole("641114\n1300\n0.5\n1\n0.6\n2\n0.7\n641\n");
  RecordStream in2(whole);
  PSession t;
  SeriesSet one;
  ASSERT_TRUE(rd1col(in2, t.con, one)) << t.out.str();
  ASSERT_EQ(one.count(), 1);
  EXPECT_EQ(one.values[0], (std::vector<float>{0.5f, 1.0f, 0.6f, 2.0f, 0.7f, 641.0f}));
  // Under an id with letters a digit id and its year are two more whole values (help page 3).
  std::istringstream taken("AB1\n1900\n12\n15\n202\n1950\n13\n");
  RecordStream in4(taken);
  SeriesSet merged;
  ASSERT_TRUE(rd1col(in4, t.con, merged)) << t.out.str();
  EXPECT_EQ(merged.values[0], (std::vector<float>{12.0f, 15.0f, 202.0f, 1950.0f, 13.0f}));
}

TEST(rd1col, values_that_read_like_digit_ids_are_refused_with_their_line) {
  const char* advice =
      "\n        with ids made only of digits, write every value with a decimal point and every "
      "id with as many digits, or give the ids a letter\n"
      "        Series: ";
  const Case cases[] = {
      // Whole values (hundredths of a millimetre): 98 and 107 could be an id and its year.
      {"641114\n1300\n67\n98\n107\n641121\n1350\n107\n",
       "Rd1col: line 4, columns 1-2 \"98\" is a value, or the id of a new series with its "
       "first year on line 5"},
      // Ids that change width among values with a decimal point: 10 and 950 could be an id
      // and its year or two whole values.
      {"9\n1900\n0.5\n  10\n950\n0.4\n",
       "Rd1col: line 4, columns 3-4 \"10\" is a value, or the id of a new series with its "
       "first year on line 5"},
      // A year after a record of digits among values of 1000 or more can be a value too.
      {"A\n1900\n1774.5\n1800\n1801\n",
       "Rd1col: line 4, columns 1-4 \"1800\" is a value, or the id of a new series with its "
       "first year on line 5"},
      // Two whole values among values with a decimal point, a blank record between them.
      {"641114\n1300\n0.5\n1\n\n2\n0.7\n",
       "Rd1col: line 4, column 1 \"1\" is a value, or the id of a new series with its first "
       "year on line 6"},
  };
  for (const Case& c : cases) {
    std::istringstream file(c.file);
    RecordStream in(file);
    PSession s("\n");
    SeriesSet set;
    EXPECT_FALSE(rd1col(in, s.con, set)) << c.file;
    EXPECT_TRUE(s.shows(std::string(c.message) + advice)) << c.file << "\n" << s.out.str();
  }
}

TEST(rdmcol, sentinels_at_the_ends_are_left_out_and_inside_become_missing_years) {
  std::istringstream file(
      "YEAR A B C\n"
      "1941 -9.9 1.0 -9.9\n"
      "1942 2.5 -9.9 -9.9\n"
      "1943 3.5 2.0 -9.9\n"
      "1944 4.5 -9.9 -9.9\n");
  RecordStream in(file);
  PSession s("4\n-9.9\n");
  SeriesSet set;
  ASSERT_TRUE(rdmcol(in, s.con, set));
  ASSERT_EQ(set.count(), 3);
  EXPECT_EQ(set.values[0], (std::vector<float>{2.5f, 3.5f, 4.5f}));
  EXPECT_EQ(set.rows[0].first, 1942);
  EXPECT_EQ(set.rows[0].last, 1944);
  // B has a value in 1941 and 1943: 1942 is missing, its 1943 value stays in 1943.
  EXPECT_EQ(set.values[1], (std::vector<float>{1.0f, kMissing, 2.0f}));
  EXPECT_EQ(set.rows[1].last, 1943);
  // C holds only sentinels: a series without values, not counted in the set's span.
  EXPECT_EQ(set.rows[2].count, 0);
  EXPECT_EQ(set.summary.first, 1941);
  EXPECT_EQ(set.summary.last, 1944);
}

TEST(rdmcol, unreadable_fields_fail_with_their_message) {
  const Case cases[] = {
      {"YEAR A\n1941 1.0\n1942 x.5\n", "Error reading y values check sentinel if ******* enter *"},
      {"YEAR A\n1941 1.0\n194x 1.5\n", "Error reading time steps"},
      {"YEAR A\n1942 1.0\n1941 1.5\n", "Error reading time steps"},  // years go back
      {"YEAR A\n1941\n", "fewer fields than columns"},
      {"YEAR A\n1941 1.0\n/942 1.5\n1943 1.5\n", "Error reading record 3: fewer fields"},
      // A field split by a damaged character: every field after it would move a column.
      {"YEAR A\n1941 1.0\n1942 1. 5\n", "Error reading record 3: more fields than columns"},
      {"YEAR\n1941 1.0\n",
       "\nError reading the heading record: fewer ids than columns (ids read: 1, columns given: "
       "2; the first id heads the years)\n line 1: \"YEAR\"\n"},
      {"\n\n",
       "(ids read: 0, columns given: 2; the first id heads the years)\n"
       " the file ends before a heading record\n"},
      // A value or a year that no series can hold, named with its line.
      {"YEAR A\n1941 1.0\n\n1942 1e39\n", "\nline 4, columns 6-9 \"1e39\" is 1e+39: values must"},
      {"YEAR A\n1941 1.0\n1942 -1.0e6\n", "\nline 3, columns 6-11 \"-1.0e6\" is -1000000: "},
      // A field is read in its first eight characters.
      {"YEAR A\n1941 12345678901\n", "\nline 2, columns 6-16 \"12345678901\" is 12345678: "},
      {"YEAR A\n-100000 1.0\n", "\nline 2: year -100000 lies outside -99999 to 9999\n"},
      {"YEAR A\n9999 1.0\n10000 1.0\n", "\nline 3: year 10000 lies outside -99999 to 9999\n"},
  };
  for (const Case& c : cases) {
    std::istringstream file(c.file);
    RecordStream in(file);
    PSession s("2\n*\n");
    SeriesSet set;
    EXPECT_FALSE(rdmcol(in, s.con, set)) << c.file;
    EXPECT_TRUE(s.shows(c.message)) << c.file;
  }
}

TEST(rdmcol, unreadable_fields_are_named_with_their_line_columns_and_text) {
  const Case cases[] = {
      {"YEAR A\n1941 1.0\n1942  1.x0\n",
       "\nError reading y values check sentinel if ******* enter *\n line 3, columns 7-10 "
       "\"1.x0\"\n"},
      // Commas and tabs separate items; the text shown is the whole item, although only its
      // first eight characters are read.
      {"YEAR,A\n1941,1.0\n1942,\t1.234x6789\n", "\n line 3, columns 7-16 \"1.234x6789\"\n"},
      {"YEAR A\n1941 1.0\n19x5 1.5\n",
       "\nError reading time steps\n line 3, columns 1-4 \"19x5\"\n"},
      {"YEAR A\n1941 1.0\n1942 2.0\n 1941 1.5\n",
       "\nError reading time steps\n line 4, columns 2-5 \"1941\": the years must rise, and "
       "the column's last value is of 1942\n"},
  };
  for (const Case& c : cases) {
    std::istringstream file(c.file);
    RecordStream in(file);
    PSession s("2\n*\n");
    SeriesSet set;
    EXPECT_FALSE(rdmcol(in, s.con, set)) << c.file;
    EXPECT_TRUE(s.shows(c.message)) << c.file << "\n" << s.out.str();
  }
}

TEST(rdmcol, one_column_gives_no_series_and_too_many_columns_are_refused) {
  std::istringstream file("YEAR\n1941\n");
  RecordStream in(file);
  PSession s("   1\n*\n");
  SeriesSet set;
  EXPECT_TRUE(rdmcol(in, s.con, set));
  EXPECT_EQ(set.count(), 0);

  std::istringstream wide("YEAR\n");
  RecordStream in2(wide);
  PSession t("4502\n*\n");
  EXPECT_FALSE(rdmcol(in2, t.con, set));
  EXPECT_TRUE(t.shows("*** number of series exceeds maximum allowed: 4500 max ***"));
}

TEST(rdmcol, sentinel_comparison) {
  EXPECT_TRUE(is_sentinel("******* ", "*       "));
  EXPECT_TRUE(is_sentinel("-9.9    ", "-9.9    "));
  EXPECT_FALSE(is_sentinel("-9.90   ", "-9.9    "));
  EXPECT_FALSE(is_sentinel("1.0     ", "*       "));
}

}  // namespace
}  // namespace dendro
