#include "plots/components_plot.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "page_test_support.h"
#include "plot_test_support.h"
#include "ps_page.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

TEST(component_label, fields) {
  EXPECT_EQ(component_label(1, 1, 34.56f), "PC_1 34.56 %     ");
  EXPECT_EQ(component_label(2, 3, 5.5f), "VF_3  5.50 %     ");
  // Two digits fill characters 4 and 5, directly followed by the share.
  EXPECT_EQ(component_label(1, 10, 12.25f), "PC_1012.25 %     ");
  EXPECT_EQ(component_label(1, 2, 100.0f), "PC_2 ***** %     ");
}

TEST(flag_after_no_more_plots, levels) {
  EXPECT_EQ(flag_after_no_more_plots(1), 0);
  EXPECT_EQ(flag_after_no_more_plots(5), 0);
  EXPECT_EQ(flag_after_no_more_plots(6), 5);
  EXPECT_EQ(flag_after_no_more_plots(7), 7);
}

// Loadings of n series on four components by column, and scores of the years by column.
struct Components {
  int n;
  std::vector<float> loadings;
  std::vector<float> scores;
  int first = 1901, last = 1980;
  ComponentPanels panels;
  int flag = 3;
  std::string console;

  explicit Components(int series = 8) : n(series) {
    for (int k = 1; k <= 4; ++k) {
      for (int i = 1; i <= n; ++i) loadings.push_back(std::cos(0.7f * static_cast<float>(i * k)));
      for (int y = first; y <= last; ++y) {
        scores.push_back(2.0f * std::sin(0.37f * static_cast<float>(y * k)) + 0.1f * k);
      }
    }
    panels.shares = {34.56f, 20.1f, 11.0f, 6.25f};
    panels.retained = 4;
  }
  void loads(const std::string& script, int data_kind = 1) {
    Scripted s(script);
    loads1(s.session, {loadings, n}, n, " raw measurements common period principal components",
           flag, data_kind, panels);
    console = s.out.str();
  }
  void score(const std::string& script) {
    Scripted s(script);
    scores1(s.session, {scores, last - first + 1}, first, last,
            "raw measurements common period pc scores", flag, panels);
    console = s.out.str();
  }
};

const std::vector<std::string> kScoresMenu{
    "|************* plot options menu **************|",
    "| replot             [0]  minor ticks y   [11] |",
    "| background color   [1]  max. x          [14] |",
    "| frame color        [2]  min. x          [15] |",
    "| text color         [3]  max. y          [16] |",
    "| line color         [4]  min. y          [17] |",
    "| curve  color       [5]                       |",
    "| line style         [6]                       |",
    "| curve width        [7]                       |",
    "| major ticks x      [8]                       |",
    "| minor ticks x      [9]                       |",
    "| major ticks y     [10]                       |",
    "|                                              |",
    "|              reset options  [99]             |",
    "|----------------------------------------------|",
    "|    [s]ave   <[c]ontinue>  [n]o more plots    |",
    "|______________________________________________|",
};

TEST(loads1, menu_answers_and_flag) {
  Components c;
  c.loads("8\n-1\n42\n123 \nxy\n7\n3\n99\n0\nc\n");
  EXPECT_EQ(c.console.find(menu_text(plot_test::kShortMenu)), plot_test::after_lines(c.console, 2));
  EXPECT_EQ(plot_test::line_of(c.console, 2),
            " page: raw measurements common period principal components");
  // A number the menu does not offer is refused with the answer as it was typed.
  EXPECT_NE(c.console.find("> \n             Unknown option 8 re-enter a valid choise\n"),
            std::string::npos);
  EXPECT_NE(c.console.find("> \n             Unknown option -1 re-enter a valid choise\n"),
            std::string::npos);
  EXPECT_NE(c.console.find("> \n             Unknown option 42 re-enter a valid choise\n"),
            std::string::npos);
  // The field reads 12 of "123 "; the refusal repeats the whole answer, trimmed.
  EXPECT_NE(c.console.find("> \n             Unknown option 123 re-enter a valid choise\n"),
            std::string::npos);
  EXPECT_NE(c.console.find("> \n             Unknown option re-enter a valid choise\n"),
            std::string::npos);
  EXPECT_NE(c.console.find("select new curve width: [0-8]  : "), std::string::npos);
  EXPECT_EQ(c.flag, 3);
  // [n]o more plots, not on this menu, is taken all the same.
  c.loads("n\n");
  EXPECT_EQ(c.flag, 0);
  c.flag = 6;
  c.loads("N\n");
  EXPECT_EQ(c.flag, 5);
}

TEST(loads1, saved_pages_render) {
  const auto dir = scratch("loads1");
  Components c;
  c.loads("s\n" + (dir / "page.ps").string() + "\nc\n");
  EXPECT_EQ(c.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);

  // 11 series take the computed ticks; a zero share hides its panel and every later one;
  // transformed data keep the axis from -0.5 to 1.0.
  Components many(11);
  many.panels.shares[2] = 0.0f;
  many.loads("s\n" + (dir / "hidden.ps").string() + "\nc\n", 2);
  EXPECT_EQ(many.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "hidden.ps", dir / "hidden.png"), 0);
}

TEST(scores1, fixed_score_axis_and_year_axis) {
  Components c;
  c.score("14\n0\n15\n0\n16\n0\n17\n0\n8\n0\nc\n");
  EXPECT_EQ(c.console.find(menu_text(kScoresMenu)), plot_test::after_lines(c.console, 2));
  EXPECT_EQ(plot_test::line_of(c.console, 2), " page: raw measurements common period pc scores");
  EXPECT_EQ(shown(c.console, "change x axis min value from: "), "1901.000");
  EXPECT_EQ(shown(c.console, "change x axis max value from: "), "1980.000");
  EXPECT_EQ(shown(c.console, "change y axis max value from: "), "   3.000");
  EXPECT_EQ(shown(c.console, "change y axis min value from: "), "  -3.000");
  // A span of 79 years takes major ticks of 20.
  EXPECT_EQ(shown(c.console, "change x axis major tics from: "), "   20.");

  // The year axis is set once per call: a reset keeps an edited end and chooses the ticks
  // from it (1901 to 2200: 299 years, ticks of 50).
  c.score("14\n2200\n99\n14\n0\n8\n0\n18\nc\n");
  const auto second = c.console.rfind("change x axis max value from: ");
  EXPECT_EQ(c.console.substr(second + 30, 8), "2200.000");
  EXPECT_EQ(shown(c.console, "change x axis major tics from: "), "   50.");
  EXPECT_NE(c.console.find("> \n             unknown option. please enter a valid request\n"),
            std::string::npos);
  EXPECT_EQ(c.flag, 3);
  c.score("n\n");
  EXPECT_EQ(c.flag, 0);
}

TEST(scores1, saved_page_renders) {
  const auto dir = scratch("scores1");
  Components c;
  c.panels.retained = 1;  // panel 1 and three empty subpages
  c.score("s\n" + (dir / "one.ps").string() + "\nc\n");
  EXPECT_EQ(c.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "one.ps", dir / "one.png"), 0);
  Components all;
  all.panels.kind = 2;
  all.score("s\n" + (dir / "page.ps").string() + "\nc\n");
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);

  // The page title stands above every line of the panels, the first panel's frame among
  // them, and each panel's score axis is the fixed -3 to 3.
  for (const char* name : {"one.ps", "page.ps"}) {
    const plot_test::PsPage ps = plot_test::read_ps(plot_test::read_file(dir / name));
    const auto title = std::find_if(ps.texts.begin(), ps.texts.end(), [](const auto& t) {
      return t.text.find("raw measurements common period pc scores") != std::string::npos;
    });
    ASSERT_NE(title, ps.texts.end()) << name;
    for (const plot_test::PsSegment& line : ps.segments) {
      EXPECT_LT(std::max(line.y0, line.y1), title->y) << name;
    }
    for (const plot_test::ValueAxis& axis : plot_test::value_axes(ps)) {
      EXPECT_NEAR(axis.low, -3.0, 0.01);
      EXPECT_NEAR(axis.high, 3.0, 0.01);
    }
  }
}

}  // namespace
}  // namespace dendro
