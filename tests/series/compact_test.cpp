#include "series/compact.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "series/files/stop.h"
#include "tests/series/series_reading.h"

namespace dendro {
namespace {

enum class Reader { cdf, rinfrn, datar, datr };

Reading read_all(const std::string& text, Reader reader, int max_years = kMaxYears) {
  int number = 0;
  std::string title(80, ' ');
  return dendro::read_all(
      text,
      [&](RecordStream& records, Console& console) {
        switch (reader) {
          case Reader::cdf:
            return cdf(records, number, console, max_years);
          case Reader::rinfrn:
            return rinfrn(records, number, console, max_years);
          case Reader::datar:
            return datar(records, title, console, max_years);
          default:
            return datr(records, console, max_years);
        }
      },
      true);
}

std::string written(std::string_view id, const std::vector<float>& values, int first = 1900) {
  std::ostringstream out;
  datw(out, id, values, first, "raw");
  return out.str();
}

TEST(datw, scale_width_and_exponent) {
  // Hand: M = 1.234 (-0.02 counts as 0.2); 1.234e5 < 999999.5 <= 1.234e6 gives e = 5; the
  // integers 123400, 50000, -2000 are multiples of 100, not of 1000: W = 4, k = 1234, 500,
  // -20, p = -3. Header line: gfortran 12 writing the same layout.
  EXPECT_EQ(written("ABC01", {1.234f, 0.5f, -0.02f}),
            "       3=n    1900=i ABC01                                           -3(20f4.0)~ raw\n"
            "1234 500 -20\n");
  // All zeros: every integer is a multiple of 10^6, W = 1, 80 per record, p = 0.
  const std::string zeros = written("Z", std::vector<float>(81, 0.0f));
  EXPECT_EQ(zeros.substr(68, 12), "  0(80f1.0)~");
  EXPECT_EQ(zeros.substr(zeros.find('\n') + 1), std::string(80, '0') + "\n0\n");
  // A negative value counts ten times: M = 50, e = 4, k = -50000 and 10000 share 10^4,
  // W = 2, k = -5 and 1, p = 0.
  EXPECT_EQ(written("N", {-5.0f, 1.0f}).substr(68), "  0(40f2.0)~ raw\n-5 1\n");
  // Large values keep six digits: 123456.7 gives e = 0, k = 123457, W = 6.
  EXPECT_EQ(written("L", {123456.7f}).substr(68), "  0(13f6.0)~ raw\n123457\n");
  EXPECT_EQ(written("X", {}), "");
}

TEST(datw_cdf, round_trip_at_the_format_precision) {
  std::mt19937 random(20240611);
  std::uniform_real_distribution<float> unit(0.0f, 1.0f);
  // Rings of 1000 mm and more are refused as read (below).
  const float scales[] = {1e-4f, 0.01f, 1.0f, 3.0f, 250.0f, 1000.0f};
  for (float scale : scales) {
    std::vector<float> values;
    for (int k = 0; k < 37; ++k) values.push_back(scale * (unit(random) - 0.05f));
    Reading r = read_all(written("RT000001", values, -1234), Reader::cdf);
    ASSERT_EQ(r.series.size(), 1u) << scale;
    const SeriesRead& s = r.series[0];
    EXPECT_EQ(s.id, "RT000001");
    EXPECT_EQ(s.first_year, -1234);
    ASSERT_EQ(s.n, 37);
    // Six digits of the largest magnitude (at least 1.0) are kept: the error is at most
    // half a unit of the scale, M / 10^5 at the coarsest.
    float largest = 1.0f;
    for (float v : values) largest = std::max(largest, std::max(v, -10.0f * v));
    for (std::size_t k = 0; k < values.size(); ++k) {
      EXPECT_NEAR(s.values[k], values[k], largest * 1e-5 + std::fabs(values[k]) * 1e-6) << scale;
    }
  }
}

TEST(cdf, titles_blank_lines_and_failures) {
  const std::string series = written("S1", {1.5f, 2.5f});
  Reading r = read_all("first title\nsecond title\n\nthird title\n" + series, Reader::cdf);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].text.substr(0, 12), "first title ");
  EXPECT_NE(r.console.find("\n title of data:\n first title\n second title\n third title\n"),
            std::string::npos);
  EXPECT_EQ(read_all("title one\ntitle two\ntitle three\ntitle four\n" + series, Reader::cdf)
                .stop.substr(0, 39),
            "*** header line read error in sbr cdf: ");
  EXPECT_EQ(read_all(written("LONG", std::vector<float>(6, 1.0f)), Reader::cdf, 5).stop,
            "*** series length exceeds maximum allowable length: LONG         6 >    5");
  // The values end early, or hold text.
  const std::string header = series.substr(0, series.find('\n') + 1);
  EXPECT_EQ(read_all(header, Reader::cdf).stop.substr(0, 35),
            "*** error reading data in sbr cdf: ");
  r = read_all(header + "15 x5\n", Reader::cdf);
  EXPECT_EQ(r.stop,
            "*** error reading data in sbr cdf: \n S1        1900     2  (40f2.0)\n 15 x5\n"
            " line 2: columns 3-4 \" x\" do not read as a number");
  // A record marked as a header ("=n", "=i") that does not read as one is not a title:
  // its series would be lost.
  std::string damaged = header;
  damaged[5] = 'x';
  r = read_all("a title\n" + damaged + series.substr(header.size()) + series, Reader::cdf);
  EXPECT_TRUE(r.series.empty());
  EXPECT_NE(r.stop.find(" line 2: columns 2-8 \"    x 2\" do not read as a number: a record "
                        "marked =n and =i is a series header"),
            std::string::npos)
      << r.stop;
  // A header with no values is passed over; a negative count is refused.
  std::string empty = header;
  empty.replace(0, 8, "       0");
  r = read_all(empty + series, Reader::cdf);
  EXPECT_EQ(r.series.size(), 1u);
  EXPECT_NE(r.console.find("*** series S1 holds no values; passed over"), std::string::npos);
  empty.replace(0, 8, "      -2");
  EXPECT_EQ(read_all(empty + series, Reader::cdf).stop.substr(0, 35),
            "*** error reading data in sbr cdf: ");
}

TEST(cdf, values_and_exponents_that_cannot_be_measurements) {
  // The header is line 2 (after a title), the values line 3.
  const std::string series = "a title\n" + written("S1", {1.5f, 2.5f});
  const std::string head =
      "*** error reading data in sbr cdf: \n S1        1900     2  (40f2.0)\n ";
  auto with_exponent = [&](const char* p) {
    std::string text = series;
    text.replace(8 + 68, 3, p);
    return text;
  };
  EXPECT_EQ(read_all(with_exponent(" 30"), Reader::cdf).stop,
            head + "line 2: scale exponent 30 cannot scale a measurement");
  EXPECT_EQ(read_all(with_exponent("999"), Reader::cdf).stop,
            head + "line 2: scale exponent 999 cannot scale a measurement");
  EXPECT_EQ(read_all(with_exponent("-38"), Reader::cdf).stop,
            head + "line 2: scale exponent -38 cannot scale a measurement");
  // 10^5 is taken; 15 x 10^5 = 1.5e6 is no measurement, 25 x 10^-37 is one.
  EXPECT_EQ(read_all(with_exponent("  5"), Reader::cdf).stop,
            head +
                "line 3, columns 1-2 \"15\" is 1500000: values must lie above -1000000 and below "
                "1000000");
  // The values 15 and 25 times 10^2 mm: the first is a ring of 1500 mm.
  EXPECT_EQ(read_all(with_exponent("  2"), Reader::cdf).stop,
            head +
                "line 3, columns 1-2 \"15\" is a ring of 1500 mm read in 100 mm: no ring is "
                "1000 mm or wider; are the file's units right?");
  const Reading small = read_all(with_exponent("-37"), Reader::cdf);
  ASSERT_EQ(small.series.size(), 1u);
  EXPECT_NEAR(small.series[0].values[1], 2.5e-36, 1e-41);
  // What the writer scales down to six digits past a million (k = 4, p = 8) is refused on
  // the way back.
  const std::string large = written("RT000001", {4.0e8f});
  EXPECT_EQ(read_all(large, Reader::cdf).stop,
            "*** error reading data in sbr cdf: \n RT000001  1900     1  (80f1.0)\n "
            "line 1: scale exponent 8 cannot scale a measurement");
}

// A header refused for its own fields: every number shows whole, and the message names the
// line, the columns and their text and why, below the header record.
TEST(cdf, refused_headers_name_their_line_and_show_numbers_whole) {
  const std::string series = written("S1", {1.5f, 2.5f});
  const std::string header = series.substr(0, series.find('\n'));
  auto with = [&](std::size_t column, const std::string& text) {
    std::string h = header;
    h.replace(column - 1, text.size(), text);
    return h;
  };
  // 12345 values against a limit of 5000: the count takes five columns of its four.
  EXPECT_EQ(read_all(with(1, "   12345") + "\n", Reader::cdf).stop,
            "*** series length exceeds maximum allowable length: S1        12345 > 5000");
  // A negative count, on line 2 after a title: seven columns in the facts line. The header
  // shows as the reader takes it, its first 80 columns.
  const std::string negative = with(1, " -999999");
  EXPECT_EQ(read_all("a title\n" + negative + "\n", Reader::cdf).stop,
            "*** error reading data in sbr cdf: \n S1        1900 -999999  (40f2.0)\n " +
                negative.substr(0, 80) +
                "\n line 2: columns 2-8 \"-999999\" give a count of values below 0");
  // A first year of eight digits stays apart from the count.
  EXPECT_EQ(read_all(with(11, "12345678") + "\n", Reader::cdf).stop.substr(35, 35),
            "\n S1       12345678     2  (40f2.0)");
  // A scale exponent that is no number, and a value layout that reads no numbers.
  const std::string letters = with(69, " x3");
  EXPECT_EQ(read_all(letters + "\n15 25\n", Reader::cdf).stop,
            "*** error reading data in sbr cdf: \n S1        1900     2  (40f2.0)\n " +
                letters.substr(0, 80) +
                "\n line 1: columns 69-71 \" x3\" do not read as a scale exponent");
  EXPECT_EQ(read_all(with(72, "(40a2)  ") + "\n15 25\n", Reader::cdf).stop,
            "*** error reading data in sbr cdf: \n S1        1900     2  (40a2)  \n"
            " line 1: the value layout \"(40a2)\" cannot read numbers");
  // The file ends after the header.
  EXPECT_EQ(read_all(header + "\n", Reader::cdf).stop,
            "*** error reading data in sbr cdf: \n S1        1900     2  (40f2.0)\n"
            " the file ends after line 1, before the last of the 2 values that the header on "
            "line 1 announces");
}

// A value that does not read, or values that end early, are named by the file's line (the
// values may run over several records), their columns and text.
TEST(datar, refusals_name_the_line_columns_and_text) {
  EXPECT_EQ(
      read_all("title\nn        2      1950  (2f8.3)\n   1.500   1.x34\n", Reader::datar).stop,
      ">> sbr datar:  error reading data\n    1.500   1.x34\n"
      " line 3: columns 9-16 \"   1.x34\" do not read as a number");
  EXPECT_EQ(
      read_all("n        3      1950  (2f8.3)\n   1.500   2.000\n   1.x34\n", Reader::datar).stop,
      ">> sbr datar:  error reading data\n    1.x34\n"
      " line 3: columns 1-8 \"   1.x34\" do not read as a number");
  EXPECT_EQ(read_all("n        3      1950  (2f8.3)\n   1.500   2.000\n", Reader::datar).stop,
            ">> sbr datar:  unexpected end reading data\n"
            " the file ends after line 2, before the last of the 3 values that the header on "
            "line 1 announces");
}

TEST(datar, header_driven_series) {
  const std::string text =
      "A title line\n"
      "n        3      1950  (3f8.3)\n   1.500   2.250   0.125\n"
      "second series\n"
      "n        2      1980  (2f5.1)\n  1.5  2.5\n";
  Reading r = read_all(text, Reader::datar);
  ASSERT_EQ(r.series.size(), 2u);
  EXPECT_EQ(r.series[0].first_year, 1950);
  EXPECT_EQ(r.series[0].text.substr(0, 13), "A title line ");
  EXPECT_NEAR(r.series[0].values[1], 2.25, 1e-6);
  EXPECT_EQ(r.series[1].first_year, 1980);
  EXPECT_EQ(r.series[1].text.substr(0, 14), "second series ");
  EXPECT_EQ(read_all("n        3      1950  (3f8.3)\n   1.500\n", Reader::datar).stop,
            ">> sbr datar:  unexpected end reading data\n    1.500\n"
            " line 2 ends before value 2 of the 3 values that the header on line 1 announces");
  EXPECT_EQ(read_all("n        2      1950  (2f8.3)\n   1.500   x\n", Reader::datar).stop,
            ">> sbr datar:  error reading data\n    1.500   x\n"
            " line 2: columns 9-16 \"   x    \" do not read as a number");
  EXPECT_EQ(read_all("n        2      1950  (f8.3)\n   1.500\n  1.0e20\n", Reader::datar).stop,
            ">> sbr datar:  line 3, columns 1-8 \"  1.0e20\" is 1e+20: values must lie above "
            "-1000000 and below 1000000");
  EXPECT_EQ(read_all("n        2      1950  (f8.2)\n  999.99\n 1000.00\n", Reader::datar).stop,
            ">> sbr datar:  line 3, columns 1-8 \" 1000.00\" is a ring of 1000 mm read in mm: no "
            "ring is 1000 mm or wider; are the file's units right?");
  // Two implied decimals place the point of "100001": 1000.01 mm as read.
  EXPECT_EQ(read_all("n        1      1950  (f8.2)\n  100001\n", Reader::datar).stop,
            ">> sbr datar:  line 2, columns 1-8 \"  100001\" is a ring of 1000.01 mm read in mm: "
            "no ring is 1000 mm or wider; are the file's units right?");
  // A line begun "n  " or with a layout in columns 23-30 is a header, never a title: a
  // damaged one would lose its series.
  EXPECT_EQ(
      read_all("n        3      19x0  (3f8.3)\n   1.500   2.250   0.125\n", Reader::datar).stop,
      ">> sbr datar:  header read error\n n        3      19x0  (3f8.3)\n"
      " line 1: columns 13-20 \"    19x0\" do not read as a number");
  EXPECT_EQ(read_all("x        3      19x0  (3f8.3)\n   1.500   2.250   0.125\n", Reader::datar)
                .stop.substr(0, 32),
            ">> sbr datar:  header read error");
  EXPECT_EQ(
      read_all("n        3      1950  (3f8.3\n   1.500   2.250   0.125\n", Reader::datar).stop,
      ">> sbr datar:  header read error\n n        3      1950  (3f8.3\n"
      " line 1: columns 23-30 \"(3f8.3  \" hold no value layout in parentheses");
  // A count beyond the limit comes back without values for the caller to report.
  r = read_all("n       20      1950  (2f8.3)\n", Reader::datar, 10);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].n, 20);
  EXPECT_TRUE(r.series[0].values.empty());
}

TEST(rinfrn, decade_slots_and_hundredths) {
  // First year 1905 skips 5 slots, -15 skips 5 (decade -20 to -11), -10 none. Blank
  // records between series are passed over.
  const std::string text =
      "SERIE119051907\n"
      "SERIE11900 999  1 999  1 999  1 999  1 999  1 123  2 456  3 789  4\n"
      "\n    \n"
      "NEG   -15 -11\n"
      "NEG   -20 999  1 999  1 999  1 999  1 999  1 100  1 200  1 300  1 400  1 500  1\n"
      "ZERO  -10  -9\n"
      "ZERO  -10 111  1 222  1\n";
  Reading r = read_all(text, Reader::rinfrn);
  ASSERT_EQ(r.series.size(), 3u);
  EXPECT_EQ(r.series[0].id, "SERIE1  ");
  ASSERT_EQ(r.series[0].n, 3);
  EXPECT_NEAR(r.series[0].values[0], 1.23, 1e-6);
  EXPECT_EQ(r.series[0].depth, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(r.series[1].first_year, -15);
  EXPECT_NEAR(r.series[1].values[4], 5.0, 1e-6);
  EXPECT_NEAR(r.series[2].values[1], 2.22, 1e-6);

  // The mib pex index save (index x 1000) read as hundredths gives ten times the index.
  std::ostringstream saved;
  trrw_write(saved, TucsonMode::qz, "IDX", 1998, std::vector<float>{1.0f, 0.85f, 1.2f}, {}, "std");
  r = read_all(saved.str(), Reader::rinfrn);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_NEAR(r.series[0].values[1], 8.5, 1e-5);
  EXPECT_NEAR(r.series[0].values[2], 12.0, 1e-5);
}

TEST(rinfrn, failures) {
  EXPECT_EQ(read_all("title line\ntitle line\ntitle line\ntitle line\ntitle line\ntitle line\n",
                     Reader::rinfrn)
                .stop,
            " *** too many read errors in rinfrn");
  EXPECT_EQ(read_all("BAD   19001901\nBAD   1900  1x  1\n", Reader::rinfrn).stop,
            " *** error reading tree-ring data in mib pex data format: series BAD   \n"
            " line: BAD   1900  1x  1\n"
            " line 2: columns 11-14 \"  1x\" do not read as a number");
  EXPECT_EQ(read_all("CUT   19001915\nCUT   1900   1  1\n", Reader::rinfrn).stop,
            " *** error reading tree-ring data in mib pex data format: series CUT   \n"
            " line: CUT   1900   1  1\n"
            " line 2: the record ends before column 18, where the value of 1901 would be");
  // A header with a damaged year is no title: its series would be lost.
  EXPECT_EQ(
      read_all("a title line\nBAD   19x01901\nBAD   1900 100  1 200  1\n", Reader::rinfrn).stop,
      " *** error reading tree-ring data in mib pex data format: header\n"
      " line: BAD   19x01901\n"
      " line 2: columns 7-10 \"19x0\" do not read as a number");
  EXPECT_EQ(read_all("BACK  19101900\n", Reader::rinfrn).stop,
            " *** error reading tree-ring data in mib pex data format: series BACK  \n"
            " line: BACK  19101900\n"
            " line 1: the last year 1900 comes before the first year 1910");
}

// The mib pex values are held to the same limits as the other readers' (a million units of
// the file, rings below 1000 mm): refused as read, with the line, the columns and the text.
// With two implied decimals "1e30" is 0.01e30 = 1e28, "1e08" 1e6, "1e05" 1000 (no ring),
// "9e04" 900 (taken). A slot before the first year is not part of the series, not checked.
TEST(rinfrn, values_beyond_the_measurement_limit) {
  EXPECT_EQ(read_all("BIG   19001901\nBIG   19001e30  1 150  1\n", Reader::rinfrn).stop,
            " *** error reading tree-ring data in mib pex data format: series BIG   \n"
            " line: BIG   19001e30  1 150  1\n"
            " line 2: columns 11-14 \"1e30\" is 1e+28: values must lie above -1000000 and "
            "below 1000000");
  const std::string limit =
      "LIM   19001919\nLIM   1900 150  19e04  1 150  1 150  1 150  1 150  1"
      " 150  1 150  1 150  1 150  1\nLIM   1910 150  1 150  11e08  1\n";
  EXPECT_EQ(read_all(limit, Reader::rinfrn).stop,
            " *** error reading tree-ring data in mib pex data format: series LIM   \n"
            " line: LIM   1910 150  1 150  11e08  1\n"
            " line 3: columns 25-28 \"1e08\" is 1000000: values must lie above -1000000 and "
            "below 1000000");
  EXPECT_TRUE(
      read_all("RING  19001900\nRING  19001e05  1\n", Reader::rinfrn)
          .stop.ends_with(" line 2: columns 11-14 \"1e05\" is a ring of 1000 mm read in "
                          "0.01 mm: no ring is 1000 mm or wider; are the file's units right?"));
  Reading r = read_all("SKIP  19011902\nSKIP  19009e30  1 150  19e04  1\n", Reader::rinfrn);
  ASSERT_EQ(r.series.size(), 1u) << r.stop;
  EXPECT_EQ(r.series[0].values, (std::vector<float>{1.5f, 900.0f}));
  r = read_all(limit.substr(0, limit.rfind("LIM   1910")), Reader::rinfrn);
  EXPECT_EQ(
      r.stop,
      " *** error reading tree-ring data in mib pex data format: series LIM   \n"
      " line: LIM   1900 150  19e04  1 150  1 150  1 150  1 150  1 150  1 150  1 150  1 150  1\n"
      " line 2: the file ends after this line, before the value of 1910 (the series runs to "
      "1919)");
}

TEST(datr, finds_the_header_by_its_marks) {
  std::string header = written("ABC01", {1.234f, 0.5f, -0.02f});
  header.replace(header.find("~ raw"), 5, "~");  // no label after the mark
  Reading r = read_all("x\n" + header, Reader::datr);
  ASSERT_EQ(r.series.size(), 1u);
  EXPECT_EQ(r.series[0].id, "ABC01   ");
  EXPECT_EQ(r.series[0].first_year, 1900);
  EXPECT_NEAR(r.series[0].values[0], 1.234, 1e-6);
  EXPECT_NEAR(r.series[0].values[2], -0.02, 1e-7);
}

}  // namespace
}  // namespace dendro
