#include "plots/transform_plot.h"

#include <gtest/gtest.h>

#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;

const std::vector<std::string> kMenu{
    "|************** plot options menu *************|",
    "| replot            [0] line color         [4] |",
    "| background color  [1] bar fill  color   [21] |",
    "| frame color       [2] curve style        [6] |",
    "| text color        [3] curve width        [7] |",
    "|                                              |",
    "|           reset plot options   [99]          |",
    "|----------------------------------------------|",
    "|              [s]ave  [c]ontinue              |",
    "|______________________________________________|",
};

TEST(power1_axes, start_values_and_tick_passes) {
  const std::vector<float> values{3.7f, 1.0f};
  // Hand: the first panel raises its maximum after each value: 3.7 to 4.0, then 4.0 again
  // to 4.5 (a whole number goes up by half a step); from 0, 4 units take ticks of 1.0.
  const BarAxes first = power1_axes(values, 1, Axis{});
  EXPECT_FLOAT_EQ(first.y.min, 0.0f);
  EXPECT_FLOAT_EQ(first.y.max, 4.5f);
  EXPECT_FLOAT_EQ(first.y.major, 1.0f);
  EXPECT_EQ(first.y.minor, 4);
  EXPECT_FLOAT_EQ(first.x.min, 1.0f);
  EXPECT_FLOAT_EQ(first.x.max, 2.0f);
  // After the transformation the range starts at the smallest value and is raised once.
  const BarAxes after = power1_axes(values, 3, Axis{});
  EXPECT_FLOAT_EQ(after.y.min, 1.0f);
  EXPECT_FLOAT_EQ(after.y.max, 4.0f);
  // Correlations all negative: the minimum starts at 0 and the maximum at -9999, so the
  // top is the largest value raised to the next half step: -0.3 + (0.5 - (-0.3)) = 0.5.
  const BarAxes correlation = power1_axes(std::vector<float>{-0.3f, -0.6f}, 2, Axis{});
  EXPECT_FLOAT_EQ(correlation.y.min, -0.6f);
  EXPECT_FLOAT_EQ(correlation.y.max, 0.5f);
  // One series: the bar's value is its own median and hinges; the x axis is 1 to 1.
  const BarAxes one = power1_axes(std::vector<float>{-0.25f}, 4, Axis{});
  EXPECT_FLOAT_EQ(one.y.min, -0.25f);
  EXPECT_FLOAT_EQ(one.y.max, 0.5f);
  EXPECT_FLOAT_EQ(one.x.max, 1.0f);
}

struct Statistics {
  Tsi2 tsi2;
  std::string console;

  explicit Statistics(int n) {
    tsi2.reshape(n);
    for (int i = 1; i <= n; ++i) {
      const float f = static_cast<float>(i);
      tsi2.at(i, 1) = 0.2f + 0.15f * f;         // skewness before
      tsi2.at(i, 2) = 0.9f - 0.05f * f;         // spread against level before
      tsi2.at(i, 3) = 0.5f;                     // the power: not drawn
      tsi2.at(i, 4) = 0.1f * (f - 4.5f);        // skewness after
      tsi2.at(i, 5) = 0.3f * ((i % 3) - 1.0f);  // spread against level after
    }
  }
  void run(const std::string& script, int n) {
    Scripted s(script);
    power1(s.session, tsi2, n);
    console = s.out.str();
  }
};

TEST(power1, menu_answers) {
  Statistics st(8);
  // 5 is not listed, but edits the curve colour of the hinge lines; 22 is refused.
  st.run("5\n3\n22\n99\n0\nc\n", 8);
  EXPECT_EQ(st.console.find(menu_text(kMenu)), plot_test::after_lines(st.console, 2));
  EXPECT_EQ(plot_test::line_of(st.console, 2), " page: DATA TRANSFORM STATISTICS");
  EXPECT_NE(st.console.find("             select new curve color: [0-15] : "), std::string::npos);
  EXPECT_NE(st.console.find("> \n             Unknown option re-enter a valid number or letter\n"),
            std::string::npos);
  // The menu offers no [n]o more plots; an "n" leaves as a continue does.
  st.run("n\n", 8);
  EXPECT_EQ(st.console.substr(st.console.size() - 23), " enter option number > ");
}

TEST(power1, saved_pages_render) {
  const auto dir = scratch("power1");
  Statistics st(12);
  st.run(
      "s\n" + (dir / "page.ps").string() + "\n21\n13\ns\n" + (dir / "again.ps").string() + "\nc\n",
      12);
  EXPECT_EQ(st.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
  // The second page draws the bars in the same order, in another colour.
  EXPECT_GT(render_png(dir / "again.ps", dir / "again.png"), 0);

  Statistics one(1);
  one.run("s\n" + (dir / "one.ps").string() + "\nc\n", 1);
  EXPECT_EQ(one.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "one.ps", dir / "one.png"), 0);
}

}  // namespace
}  // namespace dendro
