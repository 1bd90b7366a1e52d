#include "plots/chronology_plot.h"

#include <gtest/gtest.h>

#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

struct Page {
  std::vector<float> c1, c2, c3, c4, c5, c6;
  std::vector<int> depth;
  std::vector<float> fit = std::vector<float>(7, 0.0f);
  ChronologyPlot plot;

  // A page of n points from `first` with every curve at `level`.
  Page(int kind, int n, int first, float level = 1.0f)
      : c1(n, level),
        c2(n, level),
        c3(n, level),
        c4(n, level),
        c5(n, level),
        c6(n, level),
        depth(n, 5) {
    plot.n = n;
    plot.first_year = first;
    plot.kind = kind;
    plot.name = "site";
    plot.upper_title = " upper";
    plot.lower_title = " lower";
    plot.y_label = "measurements (y)";
    plot.lower_x_label = "years";
    plot.z_label = "indices (z)";
    bind();
  }
  void bind() {
    plot.c1 = c1, plot.c2 = c2, plot.c3 = c3, plot.c4 = c4, plot.c5 = c5, plot.c6 = c6;
    plot.depth = depth;
    plot.fit = fit;
  }
};

struct Outcome {
  std::string console;
  int flag = 1;
  int option = 0;
};

Outcome run(Page& page, const std::string& script, int option = 0) {
  page.bind();
  Scripted s(script);
  Outcome o;
  o.option = option;
  crnplt1(s.session, page.plot, o.flag, o.option);
  o.console = s.out.str();
  return o;
}

TEST(crnplt1, chronology_page_with_sample_depth) {
  const auto crn = plot_test::read_crn(TEST_DATA_DIR "/Tucson1.crn");
  ASSERT_EQ(crn.first_year, 1370);
  ASSERT_EQ(crn.index.size(), 619u);  // 1370 to 1988
  Page page(3, 619, 1370);
  page.c1 = page.c4 = crn.index;
  page.depth = crn.depth;
  page.plot.name = "Tucson1";
  page.plot.upper_title = " raw ring width chronology";
  page.plot.lower_title = " standard chronology";
  const auto dir = scratch("crnplt1_chronology");
  const Outcome o = run(page, "14\n1990\n15\n1370\n16\n2.5\n22\n25\n23\n1\ns\n" +
                                  (dir / "page.ps").string() + "\nn\n");
  EXPECT_EQ(o.flag, 0);  // [n]o more plots
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);

  // Hand: 1370 stays on its decade, 1988 goes up to 1990; the largest index 2.178 is
  // raised to 2.5; the largest depth 25 is already on a half step of 10.
  EXPECT_EQ(shown(o.console, "change x axis max value from: "), "1990.000");
  EXPECT_EQ(shown(o.console, "change x axis min value from: "), "1370.000");
  EXPECT_EQ(shown(o.console, "change y axis max value from: "), "   2.500");
  EXPECT_EQ(shown(o.console, "               change z2 axis max value from: "), "  25.000");
  EXPECT_EQ(shown(o.console, "               change z2 axis min. value from: "), "   1.000");
  EXPECT_NE(o.console.find("  25.000\n             to > "), std::string::npos);

  const std::string menu =
      menu_text(full_menu({"| sample depth plot       max z2          [22] |",
                           "|                         min z2          [23] |"}));
  EXPECT_EQ(o.console.find(menu), plot_test::after_lines(o.console, 2));
  // The page's line names both panels.
  EXPECT_EQ(plot_test::line_of(o.console, 2),
            " page: Tucson1 raw ring width chronology / standard chronology");
}

TEST(crnplt1, year_axis_on_whole_decades) {
  Page a(2, 97, 1901);  // 1901 to 1997
  Outcome o = run(a, "14\n0\n15\n0\nc\n");
  EXPECT_EQ(shown(o.console, "change x axis max value from: "), "2000.000");
  EXPECT_EQ(shown(o.console, "change x axis min value from: "), "1900.000");
  EXPECT_EQ(o.flag, 1);  // a continue leaves the flag
  Page b(2, 101, 1900);  // 1900 to 2000
  o = run(b, "14\n0\nc\n");
  EXPECT_EQ(shown(o.console, "change x axis max value from: "), "2010.000");
}

TEST(crnplt1, limits_by_kind) {
  // Kind 1: the lower maximum is exactly 1.0, so it takes the upper one (3.62, raised to 4).
  Page one(1, 20, 1950);
  one.c1[7] = 3.62f;
  Outcome o = run(one, "18\n0\nc\n");
  EXPECT_EQ(shown(o.console, "change z axis max value from: "), "   4.000");

  // Kind 8 with every outlier value 1.0: the lower range is 0 to 2 (raised to 2.5).
  Page eight(8, 20, 1950);
  eight.c1[3] = 0.4f;
  o = run(eight, "18\n0\n19\n0\n17\n0\nc\n");
  EXPECT_EQ(shown(o.console, "change z axis max value from: "), "   2.500");
  EXPECT_EQ(shown(o.console, "change z axis min value from: "), "   0.000");
  EXPECT_EQ(shown(o.console, "change y axis min value from: "), "   0.400");

  // Kind 5: rbar and EPS on a fixed 0 to 0.9 (raised to 1.0), x from the window years.
  Page five(5, 4, 0, 0.5f);
  five.c2 = {1712, 1737, 1762, 1787};
  o = run(five, "14\n0\n15\n0\n16\n0\nc\n");
  EXPECT_EQ(shown(o.console, "change x axis min value from: "), "1710.000");
  EXPECT_EQ(shown(o.console, "change x axis max value from: "), "1790.000");
  EXPECT_EQ(shown(o.console, "change y axis max value from: "), "   1.000");

  // Kind 7: counts from the lowest count to the highest fraction's curve.
  Page seven(7, 10, 1950, 0.0f);
  seven.c2[4] = 12.0f;
  o = run(seven, "16\n0\n5\n1\nc\n");
  EXPECT_EQ(shown(o.console, "change y axis max value from: "), "  15.000");
}

TEST(crnplt1, flat_exponential_becomes_a_straight_line) {
  Page page(1, 30, 1900, 2.0f);
  // Fit-kind code 0 leaves the parameters as passed: the second is 0, so the curve is flat.
  page.fit = {1.5f, 0.0f, 0.02f, 0.0f, 0.3f, 0.0f, 0.0f};
  EXPECT_EQ(run(page, "c\n", 2).option, 4);
  // Code 2 with a positive rate keeps the exponential.
  page.fit = {1.5f, 0.02f, 0.0f, 0.0f, 0.3f, 0.0f, 2.0f};
  EXPECT_EQ(run(page, "c\n", 2).option, 2);
  // Code 2 with a zero first parameter is rearranged into a line with slope 1: kept.
  page.fit = {0.0f, 0.0f, 0.5f, 0.0f, 0.3f, 0.0f, 2.0f};
  EXPECT_EQ(run(page, "c\n", 2).option, 2);
  // Only the negative exponential options change.
  page.fit = {1.5f, 0.0f, 0.02f, 0.0f, 0.3f, 0.0f, 0.0f};
  EXPECT_EQ(run(page, "c\n", 7).option, 7);
}

TEST(crnplt1, every_kind_saves_a_page) {
  const auto dir = scratch("crnplt1_kinds");
  for (int kind = 1; kind <= 9; ++kind) {
    Page page(kind, 60, 1921, 1.0f);
    for (int i = 0; i < 60; ++i) {
      page.c1[static_cast<std::size_t>(i)] = 1.0f + 0.5f * static_cast<float>(i % 7) / 7.0f;
      page.c4[static_cast<std::size_t>(i)] = 0.5f + static_cast<float>(i % 5) / 5.0f;
    }
    page.c6[0] = kind == 1 ? 1.2f : -999.0f;  // kind 1 also draws the start curve
    page.c5[0] = 0.0f;                        // and leaves the smooth of the indices out
    if (kind == 5) {
      for (int i = 0; i < 60; ++i) page.c2[static_cast<std::size_t>(i)] = 1900.0f + 5.0f * i;
    }
    if (kind == 2) std::fill(page.c4.begin(), page.c4.end(), 0.0f);  // an empty lower panel
    const auto ps = dir / ("kind" + std::to_string(kind) + ".ps");
    const Outcome o = run(page, "s\n" + ps.string() + "\nc\n", kind == 1 ? 12 : 0);
    EXPECT_EQ(o.console.find("*** PLplot"), std::string::npos) << kind;
    EXPECT_GT(render_png(ps, dir / ("kind" + std::to_string(kind) + ".png")), 0) << kind;
    // Only the chronology page offers the sample-depth items.
    EXPECT_EQ(o.console.find("[22]") != std::string::npos, kind == 3) << kind;
  }
}

}  // namespace
}  // namespace dendro
