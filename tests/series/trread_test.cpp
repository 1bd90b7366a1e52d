#include "series/trread.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "series/compact.h"
#include "series/descriptive.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/text.h"
#include "tests/series/series_reading.h"

namespace dendro {
namespace {

struct TrreadRun {
  Tsi1 tsi1;
  StatsTable stats;
  Commands commands;
  Icommands icommands;
  TrreadResult result;
  std::string out, console, stop;
};

// Runs trread over `text` with the per-file reset of the year table already done.
TrreadRun read(const std::string& text, const char* kind = "mr", int max_years = kMaxYears,
               int max_series = kMaxSeriesKalder, std::function<void(TrreadRun&)> prepare = {}) {
  TrreadRun r;
  r.commands.set_data_kind(kind);
  for (int i = 1; i <= 10; ++i) {
    SeriesYears& row = r.tsi1.year_row(i);
    row.icu = row.ics = 1;
    row.cpa = i;
  }
  if (prepare) prepare(r);
  std::istringstream data(text), keys("\n\n");
  std::ostringstream out, screen;
  Console console(keys, screen);
  try {
    r.result =
        trread(data, r.tsi1, r.stats, r.commands, r.icommands, out, console, max_years, max_series);
  } catch (const Stop& s) {
    r.stop = s.what();
  }
  r.out = out.str();
  r.console = screen.str();
  return r;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Three series: A 1950-1953 (1, 2, 3, 4 mm), B 1951-1954 with 1952 missing (0.5, -, 1.5,
// 1.0), C 1952-1955 (3 mm each).
const std::string kThree =
    "SITE   1 Three little series\n" + rw("A", 1950, {100, 200, 300, 400, 999}) +
    rw("B", 1951, {50, -100, 150, 100, 999}) + rw("C", 1952, {300, 300, 300, 300, 999});

TEST(trread, fills_the_store_from_row_one) {
  TrreadRun r = read(kThree);
  ASSERT_EQ(r.stop, "");
  EXPECT_EQ(r.tsi1.count, 3);
  EXPECT_EQ(r.tsi1.rows, 4);
  EXPECT_EQ(r.tsi1.ids[1], "B       ");
  EXPECT_NEAR(r.tsi1.at(1, 2), 0.5, 1e-6);
  EXPECT_NEAR(r.tsi1.at(2, 2), -1.0, 1e-6);  // a missing value keeps the number read
  EXPECT_EQ(r.tsi1.year_row(3).ify, 1952);
  EXPECT_EQ(r.tsi1.year_row(3).ily, 1955);
  EXPECT_EQ(r.tsi1.year_row(4).ify, 1950);  // the set
  EXPECT_EQ(r.tsi1.year_row(4).ily, 1955);
  EXPECT_EQ(r.result.title.substr(0, 29), "SITE   1 Three little series ");
  EXPECT_EQ(r.result.title.size(), 85u);
  EXPECT_EQ(r.result.series_with_gaps, 1);
  EXPECT_EQ(r.result.current_id, "        ");
  EXPECT_EQ(r.result.presence, (std::vector<int>{1, 1, 1}));
  EXPECT_EQ(r.commands.header_line(1).substr(0, 28), "SITE   1 Three little series");
  EXPECT_TRUE(has(r.console, "     3 series from   1950 to   1955       6 years\n"));
  EXPECT_TRUE(
      has(r.out, " number of series read in:    3   from   1950  to   1955       6 years\n"));
  // The header line is written in its whole 85-character field.
  const std::string header = "SITE   1 Three little series";
  EXPECT_TRUE(has(r.out, " data header lines:\n  " + header + std::string(85 - header.size(), ' ') +
                             "\n |------------ series gaps found"));
  EXPECT_TRUE(has(r.out,
                  "           2       B              missing values found:   1 in   1 gaps\n"
                  "             / 1952  1952 /\n"));

  align_on_chronology(r.tsi1);
  EXPECT_EQ(r.tsi1.rows, 6);
  EXPECT_NEAR(r.tsi1.at(3, 3), 3.0, 1e-6);  // C's first year 1952 is row 3
  EXPECT_EQ(r.tsi1.at(2, 3), kMissing);
  EXPECT_NEAR(r.tsi1.at(2, 2), 0.5, 1e-6);
  EXPECT_EQ(r.tsi1.at(6, 1), kMissing);
}

TEST(trread, summary_of_the_series_statistics) {
  // Means 2.5, 1.0, 3.0 (B over its three present values). Hand: mean 6.5 / 3 = 2.1667;
  // deviations 0.3333, -1.1667, 0.8333, squares summing to 2.1667, variance 1.0833,
  // standard deviation 1.0408; sorted 1.0, 2.5, 3.0: median 2.5, hinge depth 2 gives
  // hinges (1.0 + 2.5) / 2 = 1.75 and (2.5 + 3.0) / 2 = 2.75. Counts 4, 3, 4: mean 3.667,
  // shown rounded as 4; minimum 3.
  TrreadRun r = read(kThree);
  EXPECT_NEAR(r.stats.at(1, 2), 2.16667, 1e-5);
  EXPECT_NEAR(r.stats.at(2, 2), 1.04083, 1e-5);
  EXPECT_NEAR(r.stats.at(3, 2), 2.5, 1e-6);
  EXPECT_NEAR(r.stats.at(4, 2), 1.0, 1e-6);
  EXPECT_NEAR(r.stats.at(5, 2), 1.0, 1e-6);
  EXPECT_NEAR(r.stats.at(6, 2), 1.75, 1e-6);
  EXPECT_NEAR(r.stats.at(7, 2), 2.75, 1e-6);
  EXPECT_NEAR(r.stats.at(8, 2), 3.0, 1e-6);
  ASSERT_TRUE(r.result.largest_mean);
  EXPECT_NEAR(*r.result.largest_mean, 3.0, 1e-6);
  // Each summary row holds the statistic over every column: the means' column here.
  EXPECT_TRUE(has(r.out, " arithmetic mean                   4   2.167"));
  EXPECT_TRUE(has(r.out, " standard deviation                0   1.041"));
  EXPECT_TRUE(has(r.out, " minimum value                     3   1.000"));
  EXPECT_TRUE(
      has(r.out,
          "                                year    mean   stdev   skew   kurt   sens   ac(1)\n"));
}

TEST(trread, one_series_keeps_its_own_statistics) {
  TrreadRun r = read(rw("A", 1950, {100, 200, 300, 400, 999}));
  EXPECT_EQ(r.tsi1.count, 1);
  EXPECT_NEAR(r.stats.at(1, 1), 4.0, 1e-6);
  EXPECT_NEAR(r.stats.at(1, 2), 2.5, 1e-6);      // mean of 1, 2, 3, 4
  EXPECT_NEAR(r.stats.at(1, 3), 1.29099, 1e-5);  // sqrt(5 / 3)
  EXPECT_FALSE(r.result.largest_mean);
  EXPECT_FALSE(has(r.out, "summary of raw"));
  EXPECT_TRUE(has(r.out, "                            --- no gaps in data found ---\n"));
}

TEST(trread, statistics_table_by_the_printout_option) {
  std::string text;
  for (int i = 1; i <= 21; ++i) {
    text += rw(("S" + std::to_string(i)).c_str(), 1900, {100 + i, 200, 999});
  }
  TrreadRun r = read(text, "mr", kMaxYears, kMaxSeriesKalder,
                     [](TrreadRun& run) { run.icommands[opt::printout] = 2; });
  const std::string head =
      " series   ident   frst   last   year    mean   stdev   skew   kurt   sens   ac(1)\n";
  std::size_t heads = 0;
  for (std::size_t at = r.out.find(head); at != std::string::npos; at = r.out.find(head, at + 1))
    ++heads;
  EXPECT_EQ(heads, 2u);  // before series 1 and series 20
  EXPECT_TRUE(has(r.out, head + "    20   S20      1900   1901      2   1.600"));
  EXPECT_FALSE(has(read(text).out, head));
}

TEST(trread, limits_stop_the_run_with_their_messages) {
  TrreadRun r =
      read(rw("LONG", 1900, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) + rw("LONG", 1910, {999}), "mr", 9);
  EXPECT_EQ(r.stop,
            "*** series read in exceeds maximum allowable length: LONG         10 >     9 max ***");
  r = read(kThree, "mr", kMaxYears, 2);
  EXPECT_EQ(r.stop, "*** number of series exceeds maximum allowed:    2 max ***");
  r = read(rw("A", 1950, {1, 2, 3, 999}) + rw("B", 1960, {1, 2, 999}), "mr", 5);
  EXPECT_EQ(r.stop,
            "*** total series length exceeds maximum allowable length:     12 >      5 max ***");
  std::ostringstream late;
  datw(late, "LATE", std::vector<float>{1.0f, 2.0f}, 9999, "raw");
  r = read(late.str(), "cd");
  EXPECT_EQ(r.stop,
            "*** series LATE: years 9999 to 10000 lie outside -99999 to 9999, the years "
            "that the programs take");
  // The compact format holds years that no decadal year field can.
  std::ostringstream early;
  datw(early, "EARLY", std::vector<float>{1.0f, 2.0f}, -100000, "raw");
  r = read(early.str(), "cd");
  EXPECT_EQ(r.stop,
            "*** series EARLY: years -100000 to -99999 lie outside -99999 to 9999, the years "
            "that the programs take");
  r = read(kThree, "xx");
  EXPECT_EQ(r.stop, "*** data kind code \"xx\" is none of mr, ir, qz, cd");
}

TEST(trread, years_before_minus_9999_give_the_set_its_own_span) {
  // Records built by hand in the layout of years below -9999 (id in 1-6, year in 7-12):
  // E1 -12000 to -11991, E2 -11995 to -11988 (0.01 mm).
  auto early = [](const char* id, int year, std::initializer_list<int> values) {
    char buf[128];
    int at = std::snprintf(buf, sizeof buf, "%-6s%6d", id, year);
    for (int v : values) {
      at += std::snprintf(buf + at, sizeof buf - static_cast<std::size_t>(at), "%6d", v);
    }
    return std::string(buf) + "\n";
  };
  const std::string text = early("E1", -12000, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}) +
                           early("E1", -11990, {999}) + early("E2", -11995, {5, 5, 5, 5, 5}) +
                           early("E2", -11990, {5, 5, 5, 999});
  // A limit of 20 years: the span of 13 years passes, as it would not from -9999.
  TrreadRun r = read(text, "mr", 20);
  ASSERT_EQ(r.stop, "");
  EXPECT_EQ(r.tsi1.count, 2);
  EXPECT_EQ(r.tsi1.year_row(2).ify, -11995);
  EXPECT_EQ(r.tsi1.year_row(2).ily, -11988);
  EXPECT_EQ(r.tsi1.year_row(3).ify, -12000);
  EXPECT_EQ(r.tsi1.year_row(3).ily, -11988);
  EXPECT_TRUE(has(r.console, "     2 series from -12000 to -11988      13 years"));
  EXPECT_TRUE(has(r.out, " number of series read in:    2   from -12000  to -11988      13 years"));
  align_on_chronology(r.tsi1);
  EXPECT_EQ(r.tsi1.rows, 13);
  EXPECT_FLOAT_EQ(r.tsi1.at(10, 1), 0.10f);  // -11991
  EXPECT_EQ(r.tsi1.at(11, 1), kMissing);
  EXPECT_FLOAT_EQ(r.tsi1.at(6, 2), 0.05f);  // -11995
  EXPECT_EQ(r.tsi1.at(5, 2), kMissing);
}

TEST(trread, published_quirks_read_into_the_store) {
  // An id with "-" in column 7, values one column early, a 999 ring in a series in
  // thousandths, and a real year below -999: each series whole, in its own years.
  const std::string text =
      "10ALAN-A1886   123   456   789   101\n"
      "10ALAN-A1890    11   999\n"
      "155011  1810  090   095  999 \n"
      "FINE    1900  1234   999   567 -9999\n"
      "HLL569 -1017   233   408   999\n";
  TrreadRun r = read(text);
  ASSERT_EQ(r.stop, "") << r.console;
  ASSERT_EQ(r.tsi1.count, 4);
  EXPECT_EQ(r.tsi1.ids[0], "10ALAN-A");
  EXPECT_EQ(r.tsi1.year_row(1).ify, 1886);
  EXPECT_EQ(r.tsi1.year_row(1).ily, 1890);
  EXPECT_NEAR(r.tsi1.at(2, 2), 0.95, 1e-6);
  EXPECT_EQ(r.tsi1.year_row(3).ily, 1902);
  EXPECT_NEAR(r.tsi1.at(2, 3), 0.999, 1e-6);
  EXPECT_EQ(r.tsi1.ids[3], "HLL569  ");
  EXPECT_EQ(r.tsi1.year_row(4).ify, -1017);
  EXPECT_EQ(r.tsi1.year_row(5).ify, -1017);  // the set
  EXPECT_EQ(r.tsi1.year_row(5).ily, 1902);
}

TEST(trread, files_without_series_say_why) {
  // The message keeps its first line; the reader's account of the file follows.
  TrreadRun r = read("");
  EXPECT_EQ(r.stop,
            " *** nc .le. 0 after reading tree-ring data\n"
            " the file holds no tucson ring-width series: it is empty");
  r = read("only a title line\n");
  const std::string titles_only =
      " *** nc .le. 0 after reading tree-ring data\n"
      " the file holds no tucson ring-width series: its 1 line holds 1 title record; the first "
      "title records";
  EXPECT_EQ(r.stop.substr(0, titles_only.size()), titles_only);
  EXPECT_TRUE(has(r.stop, "\n   line 1: only a title line\n"));
  // A chronology given as ring widths: kalder's words for the index reading.
  std::ifstream in(std::string(TEST_DATA_DIR) + "/Tucson1.crn", std::ios::binary);
  std::stringstream crn;
  crn << in.rdbuf();
  r = read(crn.str());
  EXPECT_TRUE(
      r.stop.ends_with("\n the record reads as a tucson index (chronology) record: the "
                       "file looks like a chronology, not ring widths; set "
                       "option 1 \"tree-ring data type\" to 3 (tucson tree-ring index "
                       "format) to read it"))
      << r.stop;
  EXPECT_TRUE(has(r.console, r.stop));  // shown before the pause
}

TEST(trread, a_series_length_beyond_five_digits_is_printed_whole) {
  // A header-driven series whose header gives 123456 values.
  std::string marked(80, ' ');
  marked.replace(0, 4, "HUGE");
  marked[79] = '#';
  TrreadRun r = read(marked + "\nn   123456      1950  (3f8.3)\n   1.500   2.250   0.125\n");
  EXPECT_EQ(
      r.stop,
      "*** series read in exceeds maximum allowable length: HUGE      123456 >  5000 max ***");
  EXPECT_EQ(series_too_long("AAA", 5001, 5000),
            "*** series read in exceeds maximum allowable length: AAA        5001 >  5000 max ***");
}

TEST(trread, limits_at_their_real_values) {
  std::string many;
  for (int i = 1; i <= 1501; ++i) many += rw(("T" + std::to_string(i)).c_str(), 1900, {100, 999});
  TrreadRun r = read(many);
  EXPECT_EQ(r.stop, "*** number of series exceeds maximum allowed: 1500 max ***");
  // Years 1 and 5001 make a set of 5001 years.
  r = read(rw("EARLY", 1, {100, 999}) + rw("LATE", 5001, {100, 999}));
  EXPECT_EQ(r.stop,
            "*** total series length exceeds maximum allowable length:   5001 >   5000 max ***");
  r = read(rw("EARLY", 1, {100, 999}) + rw("LATE", 5000, {100, 999}));
  EXPECT_EQ(r.stop, "");
}

TEST(trread, batch_run_leaves_out_unused_series) {
  TrreadRun r = read(kThree, "MR", kMaxYears, kMaxSeriesKalder, [](TrreadRun& run) {
    run.commands.at(Commands::kBatchMode) = 'y';
    run.tsi1.year_row(2).icu = 0;
    run.tsi1.year_row(2).idt = 5;
    run.tsi1.year_row(3).idt = 7;
    run.tsi1.year_row(3).cpa = 9;
  });
  ASSERT_EQ(r.tsi1.count, 2);
  EXPECT_EQ(r.tsi1.ids[1], "C       ");
  EXPECT_EQ(r.tsi1.year_row(2).idt, 7);  // C's own settings moved up with it
  EXPECT_EQ(r.tsi1.year_row(2).cpa, 9);
  EXPECT_EQ(r.tsi1.year_row(2).ify, 1952);
  ASSERT_EQ(r.tsi1.dropped.size(), 1u);
  EXPECT_EQ(r.tsi1.dropped[0].position, 2);
  EXPECT_EQ(r.tsi1.dropped[0].id, "B       ");
  EXPECT_EQ(r.tsi1.dropped[0].row.idt, 5);
  EXPECT_EQ(r.tsi1.dropped[0].row.ify, 1951);
  EXPECT_EQ(r.tsi1.year_row(3).ify, 1950);  // the set of the two series used
  EXPECT_EQ(r.tsi1.year_row(3).ily, 1955);
  EXPECT_EQ(r.result.series_with_gaps, 0);  // B's gap is not reported
}

TEST(trread, batch_rows_beyond_the_detail_file_take_the_reset_values) {
  // A detail file of one record for three series: the others are used and saved, with
  // the data transformation and their row numbers as tree numbers.
  TrreadRun r = read(kThree, "mr", kMaxYears, kMaxSeriesKalder, [](TrreadRun& run) {
    run.commands.at(Commands::kBatchMode) = 'y';
    run.icommands[opt::transformation] = 2;
    run.tsi1.years.assign(1, SeriesYears{0, 0, 0, 2, 9, 0, 0, 1, 1, 1});
  });
  ASSERT_EQ(r.tsi1.count, 3);
  EXPECT_EQ(r.tsi1.year_row(1).idt, 9);
  const SeriesYears& third = r.tsi1.year_row(3);
  EXPECT_EQ(third.itn, 2);
  EXPECT_EQ(third.icu, 1);
  EXPECT_EQ(third.ics, 1);
  EXPECT_EQ(third.cpa, 3);
  EXPECT_EQ(third.idt, 0);
}

TEST(trread, other_formats_and_notes) {
  std::ostringstream compact;
  datw(compact, "COMPACT1", std::vector<float>{1.5f, 2.25f}, 1800, "raw");
  datw(compact, "COMPACT2", std::vector<float>{0.5f}, 1801, "raw");
  TrreadRun r = read(compact.str(), "CD");
  ASSERT_EQ(r.tsi1.count, 2);
  EXPECT_NEAR(r.tsi1.at(2, 1), 2.25, 1e-6);
  EXPECT_FALSE(has(r.out, "data header lines:"));

  TrreadRun same = read(rw("TWIN", 1900, {100, 999}) + rw("TWIN", 1950, {100, 999}));
  EXPECT_EQ(same.tsi1.count, 2);
  EXPECT_TRUE(has(same.console, "*** series 2 has the id of series 1: TWIN\n"));

  TrreadRun index = read("CRN   19001000  1 900  19990  0\n", "ir");
  EXPECT_EQ(index.tsi1.count, 1);
  EXPECT_EQ(index.result.current_id, "********");

  TrreadRun zeros = read(rw("Z", 1900, {0, 100, 999}), "mr", kMaxYears, kMaxSeriesKalder,
                         [](TrreadRun& run) { run.icommands[opt::transformation] = 1; });
  EXPECT_TRUE(has(zeros.out,
                  "      *** when data are transformed, zeros are also treated as missing ***\n"));
  EXPECT_EQ(zeros.result.series_with_gaps, 1);
}

// A series as a reader returns it.
SeriesRead series(const char* id, int first_year, std::vector<float> values) {
  SeriesRead s;
  s.id = field(id, 8);
  s.first_year = first_year;
  s.n = static_cast<int>(values.size());
  s.values = std::move(values);
  s.text = field(std::string("title of ") + id, 80);
  return s;
}

struct Intake {
  Tsi1 tsi1;
  StatsTable stats;
};

TEST(SeriesIntake, kept_series_take_their_rows_ids_and_statistics) {
  Intake in;
  SeriesIntake intake(in.tsi1, in.stats, {});
  SeriesTaken a = intake.take(series("A", 1950, {1, 2, 3, 4}), 1);
  EXPECT_EQ(a.fate, SeriesTaken::Fate::kept);
  EXPECT_EQ(a.position, 1);
  EXPECT_EQ(a.message, "");
  EXPECT_EQ(a.gaps.missing, 0);
  SeriesTaken b = intake.take(series("B", 1951, {0.5f, -1, 1.5f, 1}), 2);
  EXPECT_EQ(b.position, 2);
  ASSERT_EQ(b.gaps.gaps.size(), 1u);
  EXPECT_EQ(b.gaps.gaps[0].first, 1952);
  SeriesTaken twin = intake.take(series("A", 1948, {2, 2}), 3);
  EXPECT_EQ(twin.fate, SeriesTaken::Fate::kept);
  EXPECT_EQ(twin.message, "*** series 3 has the id of series 1: A");
  EXPECT_EQ(intake.count(), 3);
  EXPECT_EQ(in.tsi1.ids[2], "A       ");
  EXPECT_EQ(in.tsi1.year_row(2).ify, 1951);
  EXPECT_EQ(in.tsi1.year_row(2).ily, 1954);
  // B: three present values 0.5, 1.5, 1.0, mean 1.0 (hand).
  EXPECT_NEAR(in.stats.at(2, 1), 3.0, 1e-6);
  EXPECT_NEAR(in.stats.at(2, 2), 1.0, 1e-6);

  const SetRead set = intake.finish();
  EXPECT_EQ(set.count, 3);
  EXPECT_EQ(set.first_year, 1948);
  EXPECT_EQ(set.last_year, 1954);
  EXPECT_EQ(set.years(), 7);
  EXPECT_EQ(set.title.substr(0, 12), "title of A  ");
  EXPECT_EQ(set.title.size(), 85u);
  EXPECT_EQ(set.series_with_gaps, 1);
  EXPECT_EQ(set.presence, (std::vector<int>{1, 1}));  // the last series kept
  EXPECT_EQ(set.too_long, "");
  EXPECT_EQ(in.tsi1.rows, 4);
  EXPECT_EQ(in.tsi1.at(2, 2), -1.0f);
  EXPECT_EQ(in.tsi1.at(3, 3), kMissing);  // the two-value series ends at row 2
  EXPECT_EQ(in.tsi1.year_row(4).ify, 1948);
  EXPECT_EQ(in.tsi1.year_row(4).ily, 1954);
}

TEST(SeriesIntake, series_beyond_the_limits_are_refused_and_change_nothing) {
  Intake in;
  SeriesIntake intake(in.tsi1, in.stats, {0, false, 3, 2});
  struct Case {
    SeriesRead s;
    int number;
    std::string message;
  } cases[] = {
      {series("LONG", 1900, {1, 2, 3, 4}), 1,
       "*** series read in exceeds maximum allowable length: LONG          4 >     3 max ***"},
      {series("C", 1900, {1}), 3, "*** number of series exceeds maximum allowed:    2 max ***"},
      {series("OLD", -100000, {1, 2}), 1,
       "*** series OLD: years -100000 to -99999 lie outside -99999 to 9999, the years that the "
       "programs take"},
  };
  for (Case& c : cases) {
    SeriesTaken t = intake.take(std::move(c.s), c.number);
    EXPECT_EQ(t.fate, SeriesTaken::Fate::refused);
    EXPECT_EQ(t.message, c.message);
  }
  EXPECT_EQ(intake.count(), 0);
  EXPECT_TRUE(in.tsi1.years.empty());
  EXPECT_TRUE(in.tsi1.dropped.empty());
}

TEST(SeriesIntake, series_left_out_keep_their_detail_rows) {
  Intake in;
  in.tsi1.years = {SeriesYears{0, 0, 0, 0, 5, 0, 0, 0, 1, 1},  // use flag 0
                   SeriesYears{0, 0, 0, 0, 7, 0, 0, 1, 1, 9}};
  SeriesIntake intake(in.tsi1, in.stats, {1, true, kMaxYears, kMaxSeriesKalder});
  SeriesTaken unused = intake.take(series("U", 1900, {1, 2}), 1);
  EXPECT_EQ(unused.fate, SeriesTaken::Fate::left_out);
  EXPECT_EQ(unused.message, "");
  SeriesTaken kept = intake.take(series("K", 1905, {1}), 2);
  EXPECT_EQ(kept.position, 1);
  // With a transformation a zero is missing: no value is left.
  SeriesTaken empty = intake.take(series("Z", 1900, {0, -1}), 3);
  EXPECT_EQ(empty.fate, SeriesTaken::Fate::left_out);
  EXPECT_EQ(empty.message, "*** series 3 (Z): every value is missing; the series is left out");
  ASSERT_EQ(in.tsi1.dropped.size(), 2u);
  EXPECT_EQ(in.tsi1.dropped[0].position, 1);
  EXPECT_EQ(in.tsi1.dropped[0].row.idt, 5);
  EXPECT_EQ(in.tsi1.dropped[0].row.ily, 1901);
  // A series beyond the detail file's rows takes the per-file reset's row.
  EXPECT_EQ(in.tsi1.dropped[1].position, 3);
  EXPECT_EQ(in.tsi1.dropped[1].row.itn, 1);
  EXPECT_EQ(in.tsi1.dropped[1].row.cpa, 3);
  // The kept series' detail row moves up with it.
  EXPECT_EQ(in.tsi1.year_row(1).idt, 7);
  EXPECT_EQ(in.tsi1.year_row(1).cpa, 9);
  EXPECT_EQ(in.tsi1.year_row(1).ify, 1905);
}

// First differences need two values: a series of one present value is left out, and a
// series of two (one difference) is kept.
TEST(SeriesIntake, one_value_is_left_out_when_a_pass_takes_first_differences) {
  Intake in;
  SeriesIntake intake(in.tsi1, in.stats, {0, false, kMaxYears, kMaxSeriesKalder, true});
  SeriesTaken one = intake.take(series("ONE", 1960, {5}), 1);
  EXPECT_EQ(one.fate, SeriesTaken::Fate::left_out);
  EXPECT_EQ(one.message,
            "*** series 1 (ONE): one value has no first difference; the series is left out");
  SeriesTaken gap = intake.take(series("GAP", 1960, {-1, 4, -1}), 2);
  EXPECT_EQ(gap.fate, SeriesTaken::Fate::left_out);
  SeriesTaken two = intake.take(series("TWO", 1960, {5, 6}), 3);
  EXPECT_EQ(two.fate, SeriesTaken::Fate::kept);
  EXPECT_EQ(intake.count(), 1);
  ASSERT_EQ(in.tsi1.dropped.size(), 2u);
  EXPECT_EQ(in.tsi1.dropped[0].row.ify, 1960);
  // Without first differences one value is a series like any other.
  Intake plain;
  SeriesIntake other(plain.tsi1, plain.stats, {});
  EXPECT_EQ(other.take(series("ONE", 1960, {5}), 1).fate, SeriesTaken::Fate::kept);
}

TEST(SeriesIntake, a_set_longer_than_the_limit_is_refused_at_the_end) {
  Intake one;
  SeriesIntake alone(one.tsi1, one.stats, {0, false, 3, 10});
  alone.take(series("A", 1900, {1, 2, 3}), 1);
  EXPECT_EQ(alone.finish().too_long, "");
  Intake two;
  SeriesIntake pair(two.tsi1, two.stats, {0, false, 3, 10});
  pair.take(series("A", 1900, {1, 2, 3}), 1);
  pair.take(series("B", 1901, {1, 2, 3}), 2);
  EXPECT_EQ(pair.finish().too_long,
            "*** total series length exceeds maximum allowable length:      4 >      3 max ***");
}

TEST(SeriesIntake, the_set_spans_the_true_years_of_its_series) {
  // Sets that lie wholly before -9999 or wholly after 0: their first and last years are
  // those of the series, whatever the sign, and their span is tested on them alone.
  struct Case {
    int first_a, n_a, first_b, n_b;
    int first, last;
  } cases[] = {
      {-10020, 120, -10000, 50, -10020, -9901},
      {-12000, 3, -11998, 3, -12000, -11996},
      {-99999, 2, -99990, 2, -99999, -99989},
      {9990, 10, 9995, 5, 9990, 9999},
  };
  for (const Case& c : cases) {
    Intake in;
    SeriesIntake intake(in.tsi1, in.stats, {0, false, 120, 10});
    intake.take(series("A", c.first_a, std::vector<float>(count(c.n_a), 1.0f)), 1);
    intake.take(series("B", c.first_b, std::vector<float>(count(c.n_b), 2.0f)), 2);
    const SetRead set = intake.finish();
    EXPECT_EQ(set.first_year, c.first) << c.first_a;
    EXPECT_EQ(set.last_year, c.last) << c.first_a;
    EXPECT_EQ(set.too_long, "") << c.first_a;
    EXPECT_EQ(in.tsi1.year_row(3).ify, c.first);
    EXPECT_EQ(in.tsi1.year_row(3).ily, c.last);
  }
}

TEST(summarise_statistics, rows_one_to_eight_summarise_every_column) {
  // Column 2 holds 2.5, 1.0, 3.0 (hand): mean 2.1667, standard deviation 1.0408, median
  // 2.5, hinges 1.75 and 2.75, spread 1.0, minimum 1.0, maximum 3.0.
  StatsTable stats;
  const float means[] = {2.5f, 1.0f, 3.0f};
  for (int i = 1; i <= 3; ++i) {
    for (int c = 1; c <= 8; ++c) stats.at(i, c) = static_cast<float>(10 * i + c);
    stats.at(i, 2) = means[i - 1];
  }
  stats.at(9, 1) = 99.0f;
  summarise_statistics(stats, 3);
  const float expected[] = {2.16667f, 1.04083f, 2.5f, 1.0f, 1.0f, 1.75f, 2.75f, 3.0f};
  for (int r = 1; r <= 8; ++r) EXPECT_NEAR(stats.at(r, 2), expected[r - 1], 1e-5) << r;
  // Column 1 holds 11, 21, 31: mean 21, minimum 11.
  EXPECT_NEAR(stats.at(1, 1), 21.0f, 1e-5);
  EXPECT_NEAR(stats.at(5, 1), 11.0f, 1e-6);
  EXPECT_EQ(stats.at(1, 8), 18.0f);  // column 8 is no statistic of the summary
  EXPECT_EQ(stats.at(9, 1), 99.0f);
}

// A header-driven series of 49 values of 1.00 mm and one of 999.99 mm, the widest ring
// read. Hand: mean 1048.99 / 50 = 20.9798, in f8.3 "  20.980"; each field keeps a blank
// before it.
TEST(trread, statistics_row_of_the_widest_ring) {
  std::string marked(80, ' ');
  marked.replace(0, 5, "HUGE1");
  marked[79] = '#';
  std::string text = marked + "\nn       50      1950  (10f8.2)\n";
  for (int line = 0; line < 5; ++line) {
    for (int k = 0; k < 10; ++k) text += line == 2 && k == 4 ? "  999.99" : "    1.00";
    text += "\n";
  }
  TrreadRun r = read(text, "mr", kMaxYears, kMaxSeriesKalder,
                     [](TrreadRun& run) { run.icommands[opt::printout] = 2; });
  ASSERT_EQ(r.stop, "");
  const std::size_t at_row = r.out.find("\n     1   HUGE1    1950   1999     50") + 1;
  ASSERT_NE(at_row, 0u) << r.out;
  const std::string row = r.out.substr(at_row, r.out.find('\n', at_row) - at_row);
  EXPECT_EQ(row.find('*'), std::string::npos) << row;
  EXPECT_EQ(row.substr(36, 8), "  20.980");
  for (std::size_t column : {44u, 52u, 59u, 66u, 73u}) EXPECT_EQ(row[column], ' ') << row;
}

// The lengths' summary reads the lengths after their moments: 194 stays 194 in the
// minimum row (it printed 193 when the moments rewrote the column in place).
TEST(summarise_statistics, lengths_survive_their_moments) {
  StatsTable stats;
  const float lengths[] = {194, 512, 536, 459, 464, 517};
  for (int i = 1; i <= 6; ++i) stats.at(i, 1) = lengths[i - 1];
  summarise_statistics(stats, 6);
  EXPECT_EQ(stats.at(5, 1), 194.0f);
  const std::vector<std::string> lines = summary_table_lines(stats);
  EXPECT_EQ(lines.at(5).substr(0, 36), " minimum value                   194");
}

TEST(trread, public_file) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/co021.rwl", std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  TrreadRun r = read(text.str());
  EXPECT_EQ(r.stop, "");
  // 35 series, 1176-1963 by the awk scan of the tucson test.
  EXPECT_TRUE(has(r.console, "    35 series from   1176 to   1963     788 years\n"));
  align_on_chronology(r.tsi1);
  EXPECT_EQ(r.tsi1.rows, 788);
}

}  // namespace
}  // namespace dendro
