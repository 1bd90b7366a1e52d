#include "series/gap_filling.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <numbers>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/spline.h"
#include "series/trread.h"
#include "tests/series/aligned_store.h"

namespace dendro {
namespace {

// A common high-frequency signal (periods 3.3 and 2.4 years), which a 20-year trend
// does not follow, so that the trend of a series stays its level.
double common_signal(int year) {
  const double two_pi = 2.0 * std::numbers::pi;
  return 1.0 + 0.2 * std::sin(two_pi * year / 3.3) + 0.1 * std::cos(two_pi * year / 2.4);
}

struct Series {
  int first_year;
  std::vector<float> values;
};

// The store of the series, aligned on the set's years, ids "SER001  " and so on.
Tsi1 store_of(const std::vector<Series>& set) {
  std::vector<testing::StoreSeries> named;
  for (const Series& s : set) {
    named.push_back({"SER00" + std::to_string(named.size() + 1) + "  ", s.first_year, s.values});
  }
  return testing::aligned_store(named);
}

// Series values of `t` over its own years.
std::vector<float> own_years(Tsi1& t, int i) {
  const SeriesYears y = t.year_row(i);
  const int set_first = t.year_row(t.count + 1).ify;
  auto col = t.column(i).subspan(static_cast<std::size_t>(y.ify - set_first),
                                 static_cast<std::size_t>(y.ily - y.ify + 1));
  return {col.begin(), col.end()};
}

// `level` times the common signal over the years.
Series signal_series(int first_year, int n, float level) {
  Series s{first_year, {}};
  for (int j = 0; j < n; ++j)
    s.values.push_back(level * static_cast<float>(common_signal(first_year + j)));
  return s;
}

void set_missing(Series& s, int first, int last) {
  for (int y = first; y <= last; ++y) s.values[static_cast<std::size_t>(y - s.first_year)] = -9.99f;
}

// Every page the gap filling draws; the plot then leaves `answer` in the flag (-1: as it is).
struct PlotRecorder {
  struct Page {
    std::vector<float> values, curve;
    std::vector<int> years;
    int flag;  // as the page received it
  };
  std::vector<Page> pages;
  int answer = -1;

  GapPlot plot() {
    return [this](const GapPlotPage& p, int& flag) {
      EXPECT_EQ(p.title, " in-filled growth trend");
      EXPECT_EQ(p.x_label, "years");
      EXPECT_EQ(p.y_label, "measurements (y)");
      EXPECT_EQ(p.values.size(), p.curve.size());
      pages.push_back({{p.values.begin(), p.values.end()},
                       {p.curve.begin(), p.curve.end()},
                       {p.marked_years.begin(), p.marked_years.end()},
                       flag});
      ids.emplace_back(p.id);
      first_years.push_back(p.first_year);
      if (answer >= 0) flag = answer;
    };
  }
  std::vector<std::string> ids;
  std::vector<int> first_years;
};

struct FillRun {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  Icommands ic;
  explicit FillRun(std::string answers = "") : in(std::move(answers)) {}
};

// Every value present on entry is kept bit for bit; every missing one is filled with a
// finite value inside [smallest positive present value, largest present value].
void expect_filled_within_own_range(const Series& before, const std::vector<float>& after) {
  float low = 1e30f, high = -1e30f;
  for (float v : before.values) {
    if (v > 0.0f) low = std::min(low, v);
    if (v >= 0.0f) high = std::max(high, v);
  }
  for (std::size_t j = 0; j < after.size(); ++j) {
    const int year = before.first_year + static_cast<int>(j);
    if (before.values[j] > 0.0f) {
      EXPECT_EQ(after[j], before.values[j]) << year;
    } else {
      EXPECT_TRUE(std::isfinite(after[j])) << year;
      EXPECT_GE(after[j], low) << year;
      EXPECT_LE(after[j], high) << year;
    }
  }
}

TEST(find_gaps, runs_of_consecutive_years) {
  using G = std::vector<Gap>;
  EXPECT_EQ(find_gaps(std::vector<int>{1901, 1902, 1903, 1910}), (G{{1901, 1903}, {1910, 1910}}));
  EXPECT_EQ(find_gaps(std::vector<int>{1, 2, 4, 6, 7}), (G{{1, 2}, {4, 4}, {6, 7}}));
  EXPECT_EQ(find_gaps(std::vector<int>{1850}), (G{{1850, 1850}}));
  EXPECT_EQ(find_gaps(std::vector<int>{1800, 1801, 1802}), (G{{1800, 1802}}));
  EXPECT_TRUE(find_gaps(std::vector<int>{}).empty());
}

TEST(fillin, common_signal_is_recovered) {
  // Five series of one level (1.2) and one declining trend times the common signal; the
  // true values of the gaps are those before they were removed.
  std::vector<Series> set;
  for (int i = 0; i < 5; ++i) {
    Series s{1900, {}};
    for (int j = 0; j < 100; ++j) {
      const double trend = 1.2 * (1.5 - 0.01 * j);
      s.values.push_back(static_cast<float>(trend * common_signal(1900 + j)));
    }
    set.push_back(s);
  }
  const std::vector<Series> truth = set;
  set_missing(set[0], 1900, 1902);
  set_missing(set[0], 1940, 1942);
  set_missing(set[0], 1997, 1999);
  set_missing(set[2], 1960, 1961);
  Tsi1 t = store_of(set);
  FillRun run;
  fillin(t, run.ic, run.con);

  auto relative_error = [&](int i, int year) {
    const auto j = static_cast<std::size_t>(year - 1900);
    return std::fabs(own_years(t, i)[j] / truth[static_cast<std::size_t>(i - 1)].values[j] - 1.0f);
  };
  // Inside the series the 20-year trend holds the level: within 3%. At the ends the trend
  // runs on without data beyond the gap, and the tolerance widens to 4% and 10%.
  for (int y = 1940; y <= 1942; ++y) EXPECT_LT(relative_error(1, y), 0.03) << y;
  for (int y = 1960; y <= 1961; ++y) EXPECT_LT(relative_error(3, y), 0.03) << y;
  for (int y = 1900; y <= 1902; ++y) EXPECT_LT(relative_error(1, y), 0.04) << y;
  for (int y = 1997; y <= 1999; ++y) EXPECT_LT(relative_error(1, y), 0.10) << y;
  expect_filled_within_own_range(set[0], own_years(t, 1));
  // Series without gaps are not touched.
  EXPECT_EQ(own_years(t, 2), set[1].values);
  EXPECT_EQ(run.out.str(), "");  // nothing on the console without interactive filling
}

TEST(fillin, degenerate_series_stay_positive_and_within_their_range) {
  std::vector<Series> set{signal_series(1900, 40, 1.0f), signal_series(1900, 40, 1.5f)};

  // A steep fall to 0.5 and then a 30-year gap at the end: the line through the last ten
  // values (slope -0.5 a year) reaches -14.5 by the end, and so does the trend.
  Series falling{1900, std::vector<float>(40, -9.99f)};
  for (int j = 0; j < 10; ++j) falling.values[static_cast<std::size_t>(j)] = 5.0f - 0.5f * j;
  // Mostly gaps: two values in 40 years.
  Series sparse{1900, std::vector<float>(40, -9.99f)};
  sparse.values[5] = 1.0f;
  sparse.values[30] = 2.0f;
  // One value only, and no spread at all.
  Series single{1900, std::vector<float>(10, -1.0f)};
  single.values[4] = 0.7f;
  Series flat{1910, std::vector<float>(20, 0.8f)};
  set_missing(flat, 1910, 1911);
  set_missing(flat, 1920, 1922);
  set_missing(flat, 1929, 1929);
  // No value at all: nothing to estimate from.
  Series empty{1905, std::vector<float>(8, -9.99f)};
  set.insert(set.end(), {falling, sparse, single, flat, empty});

  Tsi1 t = store_of(set);
  FillRun run;
  fillin(t, run.ic, run.con);
  for (int i = 3; i <= 6; ++i) {
    SCOPED_TRACE(i);
    expect_filled_within_own_range(set[static_cast<std::size_t>(i - 1)], own_years(t, i));
  }
  EXPECT_EQ(own_years(t, 5), std::vector<float>(10, 0.7f));  // its only value
  EXPECT_EQ(own_years(t, 6), std::vector<float>(20, 0.8f));  // its only level
  EXPECT_EQ(own_years(t, 7), std::vector<float>(8, -9.99f));
  for (float v : t.matrix) EXPECT_TRUE(std::isfinite(v));
}

TEST(fillin, years_without_other_data) {
  // 1925: series 1 is missing and no other series covers the year. 1930 to 1931: every
  // series is missing.
  Series a = signal_series(1900, 50, 1.0f);
  Series b = signal_series(1900, 25, 1.1f);
  Series c = signal_series(1926, 24, 0.9f);
  set_missing(a, 1925, 1925);
  set_missing(a, 1930, 1931);
  set_missing(c, 1930, 1931);
  Tsi1 t = store_of({a, b, c});
  FillRun run;
  fillin(t, run.ic, run.con);
  expect_filled_within_own_range(a, own_years(t, 1));
  expect_filled_within_own_range(c, own_years(t, 3));

  // A set of one series borrows its index from itself.
  Series alone = signal_series(1800, 30, 2.0f);
  set_missing(alone, 1810, 1812);
  Tsi1 one = store_of({alone});
  fillin(one, run.ic, run.con);
  expect_filled_within_own_range(alone, own_years(one, 1));
}

TEST(fillin, zero_rings_by_transformation) {
  Series a = signal_series(1900, 30, 1.0f);
  a.values[10] = 0.0f;
  a.values[20] = -0.5f;
  const Series b = signal_series(1900, 30, 1.0f);

  Tsi1 kept = store_of({a, b});
  FillRun run;
  fillin(kept, run.ic, run.con);  // option 3 = 0: a zero ring is a value
  EXPECT_EQ(own_years(kept, 1)[10], 0.0f);
  EXPECT_GT(own_years(kept, 1)[20], 0.0f);

  Tsi1 filled = store_of({a, b});
  run.ic[opt::transformation] = 1;  // a transformation makes it missing
  fillin(filled, run.ic, run.con);
  EXPECT_GT(own_years(filled, 1)[10], 0.0f);
  EXPECT_GT(own_years(filled, 1)[20], 0.0f);
}

TEST(fillin, long_gaps_bridged_by_a_line) {
  // Values on the line 2 - 0.01 (year - 1900); the plot of the interactive choice shows
  // the values that the trend is fitted to.
  auto line = [](int year) { return 2.0f - 0.01f * static_cast<float>(year - 1900); };
  Series s{1900, {}};
  for (int y = 1900; y < 2000; ++y) s.values.push_back(line(y));
  Series twenty = s, longer = s, at_start = s;
  set_missing(twenty, 1940, 1959);    // 20 years: left to the spline
  set_missing(longer, 1940, 1960);    // 21 years: bridged
  set_missing(longer, 1937, 1937);    // a missing neighbour takes no part in the line
  set_missing(at_start, 1900, 1924);  // only the 10 values after it fit the line
  Tsi1 t = store_of({twenty, longer, at_start, signal_series(1900, 100, 1.0f)});
  FillRun run("\n\n\n");
  run.ic[opt::interactive] = 1;
  PlotRecorder rec;
  fillin(t, run.ic, run.con, rec.plot());

  ASSERT_EQ(rec.pages.size(), 6u);  // three pages of the choice, three of the result
  auto shown = [&](int page, int year) {
    return rec.pages[static_cast<std::size_t>(page)].values[static_cast<std::size_t>(year - 1900)];
  };
  EXPECT_EQ(shown(0, 1940), -9.99f);
  EXPECT_EQ(shown(0, 1959), -9.99f);
  for (int y = 1940; y <= 1960; ++y) EXPECT_NEAR(shown(1, y), line(y), 1e-4) << y;
  EXPECT_EQ(shown(1, 1937), -9.99f);
  for (int y = 1900; y <= 1924; ++y) EXPECT_NEAR(shown(2, y), line(y), 1e-4) << y;
}

TEST(fillin, stiffness_question) {
  Series s = signal_series(1900, 60, 1.0f);
  set_missing(s, 1920, 1922);
  Tsi1 t = store_of({s, signal_series(1900, 60, 1.2f)});
  t.ids[0] = "AB 12   ";
  FillRun run("x\n30\n\n");
  run.ic[opt::interactive] = 3;
  PlotRecorder rec;
  fillin(t, run.ic, run.con, rec.plot());

  const std::string question =
      " the default setting is a 20 year\n"
      " spline for the low-frequency gap filling\n"
      " part. hit <ret> to accept and continue or\n"
      " enter in your new spline value             ==> ";
  // Asked again after "x", which is refused, and after "30".
  EXPECT_EQ(run.out.str(), question +
                               " *** x is no answer here: enter the spline in years, or <ret> to "
                               "accept\n" +
                               question + question);

  // The series with its 20-year trend, again with its 30-year trend, then the result.
  ASSERT_EQ(rec.pages.size(), 3u);
  std::vector<float> errors(60, 1.0f), thirty(60);
  for (int y = 1920; y <= 1922; ++y) errors[static_cast<std::size_t>(y - 1900)] = 999.0f;
  spl2w(rec.pages[0].values, errors, thirty, 30);
  EXPECT_EQ(rec.pages[1].curve, thirty);  // the errors were restored before the refit
  EXPECT_NE(rec.pages[0].curve, thirty);
  EXPECT_EQ(rec.ids, std::vector<std::string>(3, "AB12"));
  EXPECT_EQ(rec.first_years, std::vector<int>(3, 1900));
  for (const auto& p : rec.pages) EXPECT_EQ(p.years, (std::vector<int>{1920, 1921, 1922}));
  EXPECT_EQ(rec.pages[2].values, own_years(t, 1));

  // End of input while the question waits ends the run.
  Tsi1 again = store_of({s, signal_series(1900, 60, 1.2f)});
  FillRun silent;
  silent.ic[opt::interactive] = 1;
  EXPECT_THROW(fillin(again, silent.ic, silent.con), Stop);
}

TEST(fillin, plot_flag) {
  std::vector<Series> set;
  for (int i = 0; i < 3; ++i) {
    set.push_back(signal_series(1900, 40, 1.0f + 0.1f * i));
    set_missing(set.back(), 1910 + i, 1911 + i);
  }
  set.push_back(signal_series(1900, 40, 1.0f));  // no gaps: never plotted
  auto pages = [&](int flag, int interactive, int answer, std::string answers = "") {
    Tsi1 t = store_of(set);
    FillRun run(std::move(answers));
    run.ic[opt::missing_data_plots] = flag;
    run.ic[opt::interactive] = interactive;
    PlotRecorder rec;
    rec.answer = answer;
    fillin(t, run.ic, run.con, rec.plot());
    return rec.pages;
  };
  EXPECT_EQ(pages(0, 0, -1).size(), 0u);
  EXPECT_EQ(pages(1, 0, -1).size(), 3u);
  EXPECT_EQ(pages(1, 0, 0).size(), 1u);   // "no more plots" after the first
  EXPECT_EQ(pages(1, 0, 7).size(), 3u);   // a flag other than 0 is not taken
  EXPECT_EQ(pages(1, 2, -1).size(), 3u);  // interactive detrending alone changes nothing
  // Interactive gap filling plots every series twice, whatever the flag says.
  const auto interactive = pages(0, 1, 0, "\n\n\n");
  ASSERT_EQ(interactive.size(), 6u);
  EXPECT_EQ(interactive[3].flag, 1);  // set back to 1 for the result pages
  EXPECT_EQ(interactive[3].years, (std::vector<int>{1910, 1911}));
  EXPECT_EQ(interactive[5].years, (std::vector<int>{1912, 1913}));

  // Without a plot nothing is drawn and the filling is the same.
  Tsi1 plotted = store_of(set), unplotted = store_of(set);
  FillRun a, b;
  a.ic[opt::missing_data_plots] = 1;
  PlotRecorder rec;
  fillin(plotted, a.ic, a.con, rec.plot());
  fillin(unplotted, b.ic, b.con);
  EXPECT_EQ(plotted.matrix, unplotted.matrix);
}

// The public Douglas fir set (35 series, strong common signal) as the reader aligns it.
Tsi1 read_co021(const Icommands& ic) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/co021.rwl", std::ios::binary);
  Tsi1 t;
  StatsTable stats;
  Commands commands;
  commands.set_data_kind("mr");
  std::istringstream none;
  std::ostringstream report, screen;
  Console con(none, screen);
  trread(in, t, stats, commands, ic, report, con);
  align_on_chronology(t);
  return t;
}

TEST(fillin, public_file) {
  // Three years out of the middle of every third series: the borrowed site signal must do
  // better than a straight line between the neighbours, which knows nothing of it.
  FillRun run;
  Tsi1 t = read_co021(run.ic);
  const std::vector<float> truth = t.matrix;
  std::vector<int> cells;  // 0-based cells of the matrix
  for (int i = 1; i <= t.count; i += 3) {
    const SeriesYears y = t.year_row(i);
    const int middle = (y.ify + y.ily) / 2 - t.year_row(t.count + 1).ify;
    for (int r = middle; r < middle + 3; ++r) {
      const int cell = (i - 1) * t.rows + r;
      if (truth[static_cast<std::size_t>(cell)] > 0.0f) cells.push_back(cell);
    }
  }
  double interpolated = 0.0;
  for (int cell : cells) {
    auto at = [&](int c) { return truth[static_cast<std::size_t>(c)]; };
    auto knocked = [&](int c) { return std::count(cells.begin(), cells.end(), c) > 0; };
    int before = cell - 1, after = cell + 1;
    while (knocked(before)) --before;
    while (knocked(after)) ++after;
    const float line = at(before) + (at(after) - at(before)) * static_cast<float>(cell - before) /
                                        static_cast<float>(after - before);
    interpolated += std::fabs(line / at(cell) - 1.0f);
    t.matrix[static_cast<std::size_t>(cell)] = -9.99f;
  }
  fillin(t, run.ic, run.con);
  double filled = 0.0;
  for (int cell : cells) {
    filled += std::fabs(
        t.matrix[static_cast<std::size_t>(cell)] / truth[static_cast<std::size_t>(cell)] - 1.0f);
  }
  ASSERT_GE(cells.size(), 30u);  // 12 series, 3 years each, less the zero rings
  EXPECT_LT(filled, 0.5 * interpolated);

  // Transformed data: every zero ring of the set is missing and gets a positive value.
  run.ic[opt::transformation] = 1;
  Tsi1 zeros = read_co021(run.ic);
  fillin(zeros, run.ic, run.con);
  for (int i = 1; i <= zeros.count; ++i) {
    for (float v : own_years(zeros, i)) EXPECT_GT(v, 0.0f);
  }
}

TEST(fillin, store_that_does_not_fit) {
  Tsi1 t = store_of({signal_series(1900, 10, 1.0f)});
  t.year_row(1).ily = 1915;  // beyond the set's last year
  FillRun run;
  EXPECT_THROW(fillin(t, run.ic, run.con), std::invalid_argument);
  Tsi1 none;
  EXPECT_NO_THROW(fillin(none, run.ic, run.con));
}

}  // namespace
}  // namespace dendro
