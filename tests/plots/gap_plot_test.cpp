#include "plots/gap_plot.h"

#include <gtest/gtest.h>

#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

TEST(filled_runs, consecutive_years) {
  using Runs = std::vector<FilledRun>;
  EXPECT_EQ(filled_runs(std::vector<int>{1850, 1851, 1852}), (Runs{{1850, 1852}}));
  EXPECT_EQ(filled_runs(std::vector<int>{1850, 1851, 1860}), (Runs{{1850, 1851}, {1860, 1860}}));
  EXPECT_EQ(filled_runs(std::vector<int>{1850, 1855}), (Runs{{1850, 1850}, {1855, 1855}}));
  EXPECT_EQ(filled_runs(std::vector<int>{1850}), (Runs{{1850, 1850}}));
  EXPECT_EQ(filled_runs(std::vector<int>{}), Runs{});
  EXPECT_EQ(filled_runs(std::vector<int>{1, 2, 4, 5, 6, 9}), (Runs{{1, 2}, {4, 6}, {9, 9}}));
}

struct Gap {
  std::vector<float> values, trend;
  std::vector<int> filled;
  int first = 1832;
  int flag = 1;
  std::string console;

  void run(const std::string& script) {
    Scripted s(script);
    crnplt5(s.session, values, trend, static_cast<int>(values.size()), first, "ABC01   ",
            " in-filled growth trend", "years", "measurements (y)", filled, flag);
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
    "| fit  color         [5]  max. y          [16] |",
    "| line style         [6]  min. y          [17] |",
    "| curve width        [7]                  [  ] |",
    "| major ticks x      [8]                  [  ] |",
    "| minor ticks x      [9]                  [  ] |",
    "| major ticks y     [10]                  [  ] |",
    "|                                              |",
    "|            reset plot options  [99]          |",
    "|----------------------------------------------|",
    "|    [s]ave   <[c]ontinue>  [n]o more plots    |",
    "|______________________________________________|",
};

TEST(crnplt5, limits_leave_the_trend_out) {
  Gap g;
  g.values.assign(158, 1.0f);  // 1832 to 1989
  g.values[10] = 2.2f;
  g.trend.assign(158, 9.0f);  // above every value: cut off at the top of the frame
  g.filled = {1850, 1851};
  g.run("14\n0\n15\n0\n16\n0\n17\n0\nc\n");
  // Hand: 1832 goes down to 1830, 1989 up to 1990; the largest value 2.2 is raised to 2.5.
  EXPECT_EQ(shown(g.console, "change x axis min value from: "), "1830.000");
  EXPECT_EQ(shown(g.console, "change x axis max value from: "), "1990.000");
  EXPECT_EQ(shown(g.console, "change y axis max value from: "), "   2.500");
  EXPECT_EQ(shown(g.console, "change y axis min value from: "), "   0.000");
  EXPECT_EQ(g.flag, 1);
  EXPECT_EQ(g.console.find(menu_text(kMenu)), plot_test::after_lines(g.console, 2));
  EXPECT_EQ(plot_test::line_of(g.console, 2), " page: ABC01 in-filled growth trend");

  Gap h;
  h.first = 1901;
  h.values.assign(90, 1.0f);  // to 1990
  h.trend.assign(90, 1.0f);
  h.run("14\n0\nc\n");
  EXPECT_EQ(shown(h.console, "change x axis max value from: "), "2000.000");
}

TEST(crnplt5, plot_flag) {
  Gap g;
  g.values.assign(50, 1.0f);
  g.trend.assign(50, 1.0f);
  g.filled = {1840};
  g.flag = 7;
  g.run("18\n99\n0\nc\n");  // 18 is refused here; a continue leaves the flag as passed
  EXPECT_EQ(g.flag, 7);
  EXPECT_NE(g.console.find("\n             Unknown option re-enter a valid request\n"),
            std::string::npos);
  g.run("n\n");
  EXPECT_EQ(g.flag, 0);
}

TEST(crnplt5, saved_page_with_runs) {
  const auto dir = scratch("crnplt5");
  Gap g;
  g.first = 1935;
  for (int j = 0; j < 60; ++j) {
    g.values.push_back(3.0f + static_cast<float>((j * 7) % 11) / 4.0f);
    g.trend.push_back(4.5f - static_cast<float>(j) / 30.0f);
  }
  // A run at the very first year has no year before it; the page draws what there is.
  g.filled = {1935, 1936, 1950, 1951, 1952, 1970, 1994};
  g.run("5\n3\ns\n" + (dir / "page.ps").string() + "\nc\n");
  EXPECT_EQ(g.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
