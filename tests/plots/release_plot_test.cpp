#include "plots/release_plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

// Running means of w values, their standard errors, and the change from each window to the
// one that starts w values later, as the release detection forms them.
struct Growth {
  std::vector<float> means, errors, change;
};

Growth running(const std::vector<float>& x, int w) {
  Growth g;
  const int windows = static_cast<int>(x.size()) - w + 1;
  for (int j = 0; j < windows; ++j) {
    double sum = 0.0, squares = 0.0;
    for (int i = j; i < j + w; ++i) sum += x[static_cast<std::size_t>(i)];
    const double mean = sum / w;
    for (int i = j; i < j + w; ++i) squares += std::pow(x[static_cast<std::size_t>(i)] - mean, 2);
    g.means.push_back(static_cast<float>(mean));
    g.errors.push_back(static_cast<float>(std::sqrt(squares / (w - 1)) / std::sqrt(w)));
  }
  for (int k = 0; k + w < windows; ++k) {
    const auto at = static_cast<std::size_t>(k);
    g.change.push_back((g.means[at + static_cast<std::size_t>(w)] - g.means[at]) / g.means[at]);
  }
  return g;
}

struct Release {
  std::vector<float> series;
  Growth growth;
  ReleasePage page;
  int flag = 1;
  int returned = 0;
  std::string console;
  // What the page handed to its release search, and what the search answers.
  std::vector<std::vector<float>> searched;
  int searched_year = 0;
  std::vector<int> releases;

  Release(std::vector<float> x, int first_year, int w, int k) : series(std::move(x)) {
    growth = running(series, w);
    page.first_year = first_year;
    page.window = w;
    page.percent = 25;
    page.errors = k;
    page.smoothing = 'y';
    page.id = "COL01   ";
    page.top_title = " running mean growth series";
    page.bottom_title = " % growth change (blue) and raw data (red)";
    page.top_y_label = "running growth";
    page.bottom_x_label = "years";
    page.bottom_y_label = "relative growth";
  }
  void run(const std::string& script) {
    page.series = series;
    page.means = growth.means;
    page.mean_errors = growth.errors;
    const auto w = static_cast<std::size_t>(page.window);
    page.later_means = std::span<const float>(growth.means).subspan(w);
    page.later_errors = std::span<const float>(growth.errors).subspan(w);
    page.change = growth.change;
    Scripted s(script);
    const ReleaseSearch search = [this](std::span<const float> g, std::span<const float> gs,
                                        std::span<const float> h, std::span<const float> hs,
                                        std::span<const float> p, int year) {
      searched = {{g.begin(), g.end()},
                  {gs.begin(), gs.end()},
                  {h.begin(), h.end()},
                  {hs.begin(), hs.end()},
                  {p.begin(), p.end()}};
      searched_year = year;
      return releases;
    };
    returned = crnplt11(s.session, page, search, flag);
    console = s.out.str();
  }
};

const std::vector<std::string> kMenu{
    "|************* plot options menu **************|",
    "| replot             [0]  minor ticks y   [11] |",
    "| background color   [1]  major ticks z   [12] |",
    "| frame color        [2]  minor ticks z   [13] |",
    "| text color         [3]  max. x          [14] |",
    "| line color         [4]  min. x          [15] |",
    "| gap fill  color    [5]  max. y          [16] |",
    "| line style         [6]  min. y          [17] |",
    "| curve width        [7]  max. z          [18] |",
    "| major ticks x      [8]  min. z          [19] |",
    "| minor ticks x      [9]                  [  ] |",
    "| major ticks y     [10]                  [  ] |",
    "|                                              |",
    "|           reset plot options  [99]           |",
    "|----------------------------------------------|",
    "|    [s]ave   <[c]ontinue>  [n]o more plots    |",
    "|______________________________________________|",
};

const std::string kLimits = "14\n0\n15\n0\n16\n0\n17\n0\n18\n0\n19\n0\n";

TEST(crnplt11, limits_of_both_panels) {
  // Values 1 to 8 from 1901, windows of 2: means 1.5 to 7.5, each with standard error 0.5,
  // changes 2 / M(k) for k = 1 to 5 (1.3333, 0.8, 0.5714, 0.4444, 0.3636).
  Release r({1, 2, 3, 4, 5, 6, 7, 8}, 1901, 2, 1);
  r.run(kLimits + "c\n");
  EXPECT_EQ(r.returned, 1902);  // each window mean stands at the last year of its window
  EXPECT_EQ(shown(r.console, "change x axis min value from: "), "1900.000");
  EXPECT_EQ(shown(r.console, "change x axis max value from: "), "1910.000");
  // Hand: the highest bar is that of the later mean H(5) = M(7) = 7.5 plus one error of 0.5,
  // then 0.5 of headroom: 8.5, already on a half step.
  EXPECT_EQ(shown(r.console, "change y axis max value from: "), "   8.500");
  EXPECT_EQ(shown(r.console, "change y axis min value from: "), "   0.000");
  // Hand (checked with python3's statistics module): the changes have mean 0.702569 and
  // standard deviation 0.389249, the series 4.5 and sqrt(6); the scaled first value is
  // (1 - 4.5) / sqrt(6) * 0.389249 + 0.702569 = 0.146383, the lowest of the first five.
  // The largest change, 1.3333, is raised to 1.5.
  EXPECT_EQ(shown(r.console, "change z axis min value from: "), "   0.146");
  EXPECT_EQ(shown(r.console, "change z axis max value from: "), "   1.500");
  EXPECT_EQ(r.console.find(menu_text(kMenu)), plot_test::after_lines(r.console, 2));
  EXPECT_EQ(plot_test::line_of(r.console, 2), " page: COL01 running mean growth series");
  EXPECT_TRUE(r.searched.empty());  // no page was drawn
  EXPECT_EQ(r.flag, 1);

  // A series from 1781 to 1993 with a 10-year window: 1780 to 2000, first mean at 1790.
  std::vector<float> long_series;
  for (int j = 0; j < 213; ++j) long_series.push_back(1.0f + 0.1f * static_cast<float>(j % 7));
  Release l(long_series, 1781, 10, 2);
  l.run(kLimits + "c\n");
  EXPECT_EQ(l.returned, 1790);
  EXPECT_EQ(shown(l.console, "change x axis min value from: "), "1780.000");
  EXPECT_EQ(shown(l.console, "change x axis max value from: "), "2000.000");
}

TEST(crnplt11, changes_out_of_range_leave_the_bottom_panel_empty) {
  Release r({1, 2, 3, 4, 5, 6, 7, 8}, 1901, 2, 1);
  r.growth.change[2] = 25.0f;  // above 20
  r.run(kLimits + "s\n" + (scratch("crnplt11_unable") / "page.ps").string() + "\nc\n");
  // The bottom panel takes the top panel's range, and no release is searched for.
  EXPECT_EQ(shown(r.console, "change z axis min value from: "), "   0.000");
  EXPECT_EQ(shown(r.console, "change z axis max value from: "), "   8.500");
  EXPECT_TRUE(r.searched.empty());
  EXPECT_EQ(r.console.find("*** PLplot"), std::string::npos);

  Release low({1, 2, 3, 4, 5, 6, 7, 8}, 1901, 2, 1);
  low.growth.change[0] = -10.5f;  // below -10
  low.run(kLimits + "c\n");
  EXPECT_EQ(shown(low.console, "change z axis max value from: "), "   8.500");
}

TEST(crnplt11, search_sees_the_shifted_means) {
  const auto dir = scratch("crnplt11_search");
  Release r({1, 2, 3, 4, 5, 6, 7, 8}, 1901, 2, 1);
  r.releases = {1904};
  r.run("s\n" + (dir / "page.ps").string() + "\n0\ns\n" + (dir / "again.ps").string() + "\nc\n");
  ASSERT_EQ(r.searched.size(), 5u);
  // The earlier means gain 0.01 and the later ones 0.005 before the search, at every drawing
  // afresh (a second save shifts them no further).
  EXPECT_NEAR(r.searched[0][0], 1.51, 1e-6);
  EXPECT_NEAR(r.searched[2][0], 3.505, 1e-6);
  EXPECT_NEAR(r.searched[1][0], 0.5, 1e-6);
  EXPECT_NEAR(r.searched[4][0], 4.0 / 3.0, 1e-6);
  EXPECT_EQ(r.searched[0].size(), 5u);
  EXPECT_EQ(r.searched_year, 1902);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
  EXPECT_EQ(plot_test::read_file(dir / "page.ps").size(),
            plot_test::read_file(dir / "again.ps").size());
}

TEST(crnplt11, menu_answers_and_flag) {
  Release r({1, 2, 3, 4, 5, 6, 7, 8}, 1901, 2, 1);
  r.run("20\n19\n-1\n19\n-1\nc\n");
  EXPECT_NE(r.console.find("> \n             unknown option re-enter a valid number\n"),
            std::string::npos);
  // 19 edits the bottom panel's minimum.
  const auto second = r.console.rfind("change z axis min value from: ");
  EXPECT_EQ(r.console.substr(second + 30, 8), "  -1.000");
  EXPECT_EQ(r.flag, 1);
  r.run("n\n");
  EXPECT_EQ(r.flag, 0);
}

TEST(release_dates_lines, ten_years_to_a_line) {
  using Lines = std::vector<std::string>;
  EXPECT_EQ(release_dates_lines({}), Lines{"Release dates:"});
  std::vector<int> years;
  for (int y = 1801; y <= 1810; ++y) years.push_back(y);
  EXPECT_EQ(release_dates_lines(years),
            Lines{"Release dates: 1801 1802 1803 1804 1805 1806 1807 1808 1809 1810"});
  years.push_back(1850);
  EXPECT_EQ(release_dates_lines(years),
            (Lines{"Release dates: 1801 1802 1803 1804 1805 1806 1807 1808 1809 1810",
                   "               1850"}));
  EXPECT_EQ(release_dates_lines(std::vector<int>{950}), Lines{"Release dates:  950"});
  // Years that four columns cannot hold widen every date of the lines, a blank before each.
  EXPECT_EQ(release_dates_lines(std::vector<int>{-1200, 1950}),
            Lines{"Release dates: -1200  1950"});
  EXPECT_EQ(release_dates_lines(std::vector<int>{-10000, -9990}),
            Lines{"Release dates: -10000  -9990"});
}

TEST(crnplt11, real_series_page) {
  // Series 641114 of co021.rwl (ring widths in 0.01 mm) from its first year.
  Tsi1 set = plot_test::read_rwl(TEST_DATA_DIR "/co021.rwl");
  const SeriesYears years = set.years[0];
  const int offset = years.ify - set.years[static_cast<std::size_t>(set.count)].ify;
  std::vector<float> x;
  for (int y = years.ify; y <= years.ily; ++y) x.push_back(set.at(y - years.ify + offset + 1, 1));
  Release r(x, years.ify, 10, 2);
  // Eleven releases: the dates take two lines.
  for (int k = 0; k < 11; ++k) r.releases.push_back(years.ify + 30 + 50 * k);
  const auto dir = scratch("crnplt11_real");
  r.run("s\n" + (dir / "page.ps").string() + "\nc\n");
  EXPECT_EQ(r.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
