#include "series/core_save.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>

#include "series/compact.h"
#include "series/files/stop.h"
#include "series/records.h"
#include "series/tucson.h"
#include "tests/series/series_reading.h"

namespace dendro {
namespace {

// An aligned store over 1900-1904: A 1900-1903 with 1902 missing, B 1902-1904,
// and C 1901 with its save flag off.
Tsi1 three_series() {
  Tsi1 t;
  t.reshape(5, 3);
  t.ids = {"A       ", "B       ", "C       "};
  const float a[] = {1.25f, 2.5f, kMissing, 0.75f};
  for (int r = 1; r <= 4; ++r) t.at(r, 1) = a[r - 1];
  const float b[] = {0.5f, 1.5f, 3.0f};
  for (int r = 3; r <= 5; ++r) t.at(r, 2) = b[r - 3];
  t.at(2, 3) = 2.0f;
  t.year_row(1) = SeriesYears{1900, 1903, 0, 0, 0, 0, 0, 1, 1, 1};
  t.year_row(2) = SeriesYears{1902, 1904, 0, 0, 0, 0, 0, 1, 1, 2};
  t.year_row(3) = SeriesYears{1901, 1901, 0, 0, 0, 0, 0, 1, 0, 3};
  t.year_row(4) = SeriesYears{1900, 1904};
  return t;
}

struct Saved {
  std::string text, console;
};

Saved saved(Tsi1& t, int code) {
  std::istringstream keys;
  std::ostringstream out, screen;
  Console console(keys, screen);
  sis(out, t, code, "raw", console);
  return {out.str(), screen.str()};
}

TEST(sis, column_files) {
  // f8.4 of -9.99 prints " -9.9900" (gfortran 12); in space-delimited files that field
  // becomes a period in its fourth column.
  Tsi1 t = three_series();
  EXPECT_EQ(saved(t, save::spaces).text,
            "  year A        B       \n"
            "  1900   1.2500    .    \n"
            "  1901   2.5000    .    \n"
            "  1902    .       0.5000\n"
            "  1903   0.7500   1.5000\n"
            "  1904    .       3.0000\n");
  EXPECT_EQ(saved(t, save::commas).text,
            " year,A       ,B       \n"
            "  1900,  1.2500, -9.9900\n"
            "  1901,  2.5000, -9.9900\n"
            "  1902, -9.9900,  0.5000\n"
            "  1903,  0.7500,  1.5000\n"
            "  1904, -9.9900,  3.0000\n");
  const std::string tabs = saved(t, save::tabs).text;
  EXPECT_EQ(tabs.substr(0, tabs.find('\n', tabs.find('\n') + 1) + 1),
            " year\tA       \tB       \n  1900\t  1.2500\t -9.9900\n");
  // A real value that prints in eight columns stays.
  t.at(1, 1) = -19.99f;
  EXPECT_EQ(saved(t, save::spaces).text.substr(25, 24), "  1900 -19.9900    .    ");
}

TEST(sis, column_file_limit_and_nothing_flagged) {
  auto many = [](int count) {
    Tsi1 t;
    t.reshape(1, count);
    t.ids.assign(static_cast<std::size_t>(count), "S       ");
    for (int i = 1; i <= count; ++i) {
      t.year_row(i) = SeriesYears{2000, 2000, 0, 0, 0, 0, 0, 1, 1, i};
      t.at(1, i) = 1.0f;
    }
    t.year_row(count + 1) = SeriesYears{2000, 2000};
    return t;
  };
  Tsi1 fits = many(999);
  Saved s = saved(fits, save::tabs);
  const std::string line = s.text.substr(s.text.find('\n') + 1);
  EXPECT_EQ(line.size(), 8997u + 1u);  // 6 + 9 x 999 and the newline
  Tsi1 too_many = many(1000);
  too_many.year_row(1).ics = 0;  // the limit counts the set, not the flagged series
  s = saved(too_many, save::commas);
  EXPECT_EQ(s.text, "");
  EXPECT_EQ(s.console, "*** too many series to store in column mode ***\n");

  Tsi1 none = three_series();
  for (int i = 1; i <= 3; ++i) none.year_row(i).ics = 0;
  for (int code = save::tucson_rings; code <= save::commas; ++code) {
    EXPECT_EQ(saved(none, code).text, "") << code;
  }
}

std::vector<SeriesRead> read_back(const std::string& text, int code) {
  TucsonFile file;
  int number = 0;
  return read_all(text,
                  [&](RecordStream& records, Console& console) {
                    switch (code) {
                      case save::tucson_rings:
                        return trrw_read(records, TucsonMode::mr, file, console);
                      case save::tucson_index:
                        return trrw_read(records, TucsonMode::ir, file, console);
                      case save::mib_index:
                        return rinfrn(records, number, console);
                      default:
                        return cdf(records, number, console);
                    }
                  })
      .series;
}

TEST(sis, record_formats_read_back_at_their_precision) {
  for (int code = save::tucson_rings; code <= save::compact; ++code) {
    Tsi1 t = three_series();
    const std::vector<SeriesRead> back = read_back(saved(t, code).text, code);
    ASSERT_EQ(back.size(), 2u) << code;  // C is not saved
    for (int i = 1; i <= 2; ++i) {
      const SeriesRead& s = back[static_cast<std::size_t>(i - 1)];
      const SeriesYears& row = t.year_row(i);
      EXPECT_EQ(s.id.substr(0, 6), t.ids[static_cast<std::size_t>(i - 1)].substr(0, 6)) << code;
      EXPECT_EQ(s.first_year, row.ify) << code;
      ASSERT_EQ(s.n, row.ily - row.ify + 1) << code;
      for (int k = 0; k < s.n; ++k) {
        float stored = t.at(row.ify - 1900 + 1 + k, i);
        // The index formats have no room for a sign: negative values are saved as 0.
        if (code == save::tucson_index || code == save::mib_index) stored = std::max(stored, 0.0f);
        // The mib pex reader takes hundredths: the saved thousandths read ten times larger.
        const float read = code == save::mib_index ? s.values[static_cast<std::size_t>(k)] / 10
                                                   : s.values[static_cast<std::size_t>(k)];
        EXPECT_NEAR(read, stored, 0.0005 + 1e-6)
            << "code " << code << " series " << i << " value " << k;
        if (code == save::tucson_index || code == save::mib_index) {
          EXPECT_EQ(s.depth[static_cast<std::size_t>(k)], 1);
        }
      }
    }
  }
}

// Four columns of thousandths hold up to 9.989; 9.990 and up would read back as the fill
// that ends a series, 10 and up would be asterisks. Such a series is left out of the index
// saves with a message; the others are saved as ever, and the ring-width records keep it.
TEST(sis, index_saves_leave_out_a_series_that_does_not_fit) {
  for (float large : {13.055f, 9.995f}) {
    for (int code : {save::tucson_index, save::mib_index}) {
      Tsi1 t = three_series();
      t.at(4, 2) = large;  // B in 1903
      const Saved s = saved(t, code);
      const std::vector<SeriesRead> back = read_back(s.text, code);
      ASSERT_EQ(back.size(), 1u) << code;
      EXPECT_EQ(back[0].id.substr(0, 1), "A");
      EXPECT_EQ(s.text.find('*'), std::string::npos);
      char value[16];
      std::snprintf(value, sizeof value, "%.3f", large);
      EXPECT_EQ(s.console,
                " *** series B is left out of the saved series:\n"
                "     its value " +
                    std::string(value) +
                    " in 1903 does not fit the index records (-0.999 to 9.989)\n"
                    "     core series save 1 (ring-width records) or 5 to 7 (columns) "
                    "holds it\n");
    }
    Tsi1 t = three_series();
    t.at(4, 2) = large;
    const std::vector<SeriesRead> rings =
        read_back(saved(t, save::tucson_rings).text, save::tucson_rings);
    ASSERT_EQ(rings.size(), 2u);
    EXPECT_NEAR(rings[1].values[1], large, 0.0005 + 1e-6);
  }
}

TEST(sis, column_formats_read_back_at_their_precision) {
  for (int code = save::spaces; code <= save::commas; ++code) {
    Tsi1 t = three_series();
    std::istringstream text(saved(t, code).text);
    std::string line;
    std::getline(text, line);
    for (int year = 1900; std::getline(text, line); ++year) {
      for (char& c : line) c = (c == '\t' || c == ',') ? ' ' : c;
      std::istringstream fields(line);
      int y = 0;
      fields >> y;
      EXPECT_EQ(y, year);
      for (int i = 1; i <= 2; ++i) {
        std::string f;
        fields >> f;
        const float stored = t.at(year - 1900 + 1, i);
        if (f == ".") {
          EXPECT_TRUE(is_missing(stored)) << code << " " << year;
        } else {
          EXPECT_NEAR(std::stof(f), stored, 0.00005 + 1e-6) << code << " " << year;
        }
      }
    }
  }
}

// The gap report of `values` as series `number`.
std::string gap_report(const std::vector<float>& values, std::string_view id, int number,
                       int first_year) {
  std::ostringstream out;
  write_gap_report(out, mia(values, first_year, 0), number, id);
  return out.str();
}

TEST(year_columns, widen_only_for_years_that_do_not_fit) {
  // By hand: the year's sign and digits, at least `columns`; year_field adds the blank.
  EXPECT_EQ(year_columns(-9999, 5), 5);
  EXPECT_EQ(year_columns(-10000, 5), 6);
  EXPECT_EQ(year_columns(kEarliestYear, 5), 6);
  EXPECT_EQ(year_columns(kLatestYear, 4), 4);
  EXPECT_EQ(year_columns(kLatestYear + 1, 4), 5);  // the end record after 9999
  EXPECT_EQ(year_field(-9999, 6), 6);
  EXPECT_EQ(year_field(-10000, 6), 7);
  EXPECT_EQ(year_field(-10000, 5, 0), 6);
  EXPECT_EQ(year_field(1950, 4), 5);  // 9999 may follow in the field
}

TEST(mia, gaps_and_report) {
  // Missing 1901, 1902, 1903 and 1910: 4 values in 2 gaps. Report lines: gfortran 12.
  std::vector<float> v(12, 1.0f);
  v[1] = v[2] = v[3] = -1.0f;
  v[10] = -0.5f;
  MiaResult r = mia(v, 1900, 0);
  EXPECT_EQ(r.missing, 4);
  ASSERT_EQ(r.gaps.size(), 2u);
  EXPECT_EQ(r.gaps[0].first, 1901);
  EXPECT_EQ(r.gaps[0].last, 1903);
  EXPECT_EQ(r.gaps[1].first, 1910);
  EXPECT_EQ(r.gaps[1].last, 1910);
  EXPECT_EQ(r.presence, (std::vector<int>{1, 0, 0, 0, 1, 1, 1, 1, 1, 1, 0, 1}));
  EXPECT_EQ(gap_report(v, "ABC01", 3, 1900),
            "           3       ABC01          missing values found:   4 in   2 gaps\n"
            "             / 1901  1903 / 1910  1910 /\n"
            "       " +
                std::string(68, '-') + "\n");

  // A zero is present unless a transformation is chosen; a series without a gap has no report.
  const std::vector<float> zero{0.0f, -0.5f, 2.0f};
  EXPECT_EQ(mia(zero, 2000, 0).missing, 1);
  EXPECT_EQ(mia(zero, 2000, 1).missing, 2);
  EXPECT_EQ(mia(zero, 2000, 1).gaps.size(), 1u);
  EXPECT_EQ(mia(std::vector<float>{1.0f}, 2000, 1).missing, 0);
  EXPECT_EQ(gap_report({1.0f, 2.0f}, "OK", 1, 2000), "");

  // Gaps in years that five columns cannot hold: six-column year fields, by hand.
  EXPECT_EQ(gap_report(v, "EARLY1", 4, -10001),
            "           4       EARLY1         missing values found:   4 in   2 gaps\n"
            "             /-10000  -9998 / -9991  -9991 /\n"
            "       " +
                std::string(68, '-') + "\n");

  // Five gaps take two lines; more than 250 gaps and 1000 missing years are all listed.
  std::vector<float> alternate(2400, 1.0f);
  for (std::size_t k = 1; k < alternate.size(); k += 2) alternate[k] = -1.0f;
  r = mia(alternate, 0, 0);
  EXPECT_EQ(r.missing, 1200);
  EXPECT_EQ(r.gaps.size(), 1200u);
  const std::string report = gap_report(alternate, "ALT", 1, 0);
  EXPECT_EQ(report.find("           1       ALT            missing values found:1200 in1200 gaps\n"
                        "             /    1     1 /    3     3 /    5     5 /    7     7 /\n"),
            0u);
  EXPECT_NE(report.find(" 2397  2397 / 2399  2399 /\n       ---"), std::string::npos);
  EXPECT_EQ(std::count(report.begin(), report.end(), '\n'), 1 + 300 + 1);
}

}  // namespace
}  // namespace dendro
