#include "plots/series_plot.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "plot_test_support.h"
#include "tests/series/aligned_store.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

std::string spaghetti(const Tsi1& tsi1, int kind, const std::string& script,
                      int first_detrending = 0, std::string_view title = "tree ring measurements") {
  Icommands icommands;
  icommands[opt::first_detrending] = first_detrending;
  Commands commands;
  commands.set_data_file("keny002.rwl");
  Scripted s(script);
  crnplt3(s.session, tsi1, icommands, commands, title, "years", "measurements (y)", kind);
  return s.out.str();
}

// Series given by first year and values, aligned on the smallest first year.
Tsi1 store(const std::vector<std::pair<int, std::vector<float>>>& series) {
  std::vector<testing::StoreSeries> set;
  for (const auto& [f, v] : series) set.push_back({"", f, v});
  return testing::aligned_store(set);
}

const std::vector<std::string> kMenu{
    "|************* plot options menu *************|",
    "| replot            [0]  minor ticks  y  [11] |",
    "| background color  [1]  major ticks  z  [12] |",
    "| frame color       [2]  minor ticks  z  [13] |",
    "| text color        [3]  max. x          [14] |",
    "| line color        [4]  min. x          [15] |",
    "| curve  color      [5]  max. y          [16] |",
    "| line style        [6]  min. y          [17] |",
    "| curve width       [7]                  [  ] |",
    "| major ticks  x    [8]                  [  ] |",
    "| minor ticks  x    [9]                  [  ] |",
    "| major ticks  y   [10]                  [  ] |",
    "|                                             |",
    "|           reset plot options  [99]          |",
    "|---------------------------------------------|",
    "|    [s]ave   <[c]ontinue>  [n]o more plots   |",
    "|_____________________________________________|",
};

TEST(crnplt3, real_ring_widths) {
  Tsi1 tsi1 = plot_test::read_rwl(TEST_DATA_DIR "/keny002.rwl");
  ASSERT_EQ(tsi1.count, 13);
  const auto dir = scratch("crnplt3_keny");
  const std::string console = spaghetti(
      tsi1, 1, "s\n" + (dir / "page.ps").string() + "\n14\n0\n15\n0\n16\n0\n17\n0\n10\n0\nn\n");
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
  // Hand: series from 1935 to 1994; widths from 0.94 to 14.09 mm (awk over the file's
  // value fields: min 94, max 1409 hundredths), all positive, so the axis starts at the
  // smallest; 14.09 is raised to 15, a span of 14 gives major ticks of 5.
  EXPECT_EQ(shown(console, "change x axis min value from: "), "1930.000");
  EXPECT_EQ(shown(console, "change x axis max value from: "), "2000.000");
  EXPECT_EQ(shown(console, "change y axis min value from: "), "   0.940");
  EXPECT_EQ(shown(console, "change y axis max value from: "), "  15.000");
  EXPECT_EQ(shown(console, "change y axis major tics from: "), "    5.");
  EXPECT_EQ(console.find(menu_text(kMenu)), plot_test::after_lines(console, 2));
  EXPECT_EQ(plot_test::line_of(console, 2), " page: tree ring measurements");
}

TEST(crnplt3, axis_limits) {
  // Series from 1501 and to 1995: 1500 to 2000.
  Tsi1 t = store({{1501, std::vector<float>(100, 1.2f)}, {1900, std::vector<float>(96, 0.8f)}});
  std::string console = spaghetti(t, 3, "14\n0\n15\n0\n17\n0\nc\n");
  EXPECT_EQ(shown(console, "change x axis min value from: "), "1500.000");
  EXPECT_EQ(shown(console, "change x axis max value from: "), "2000.000");
  EXPECT_EQ(shown(console, "change y axis min value from: "), "   0.800");
  // A series ending in 1990 still gets 2000.
  t = store({{1950, std::vector<float>(41, 1.0f)}});
  console = spaghetti(t, 3, "14\n0\nc\n");
  EXPECT_EQ(shown(console, "change x axis max value from: "), "2000.000");

  // A missing marker inside a span counts like a value: the axis starts at 0.
  t = store({{1950, std::vector<float>(41, 1.0f)}});
  t.at(10, 1) = kMissing;
  EXPECT_EQ(shown(spaghetti(t, 3, "17\n0\nc\n"), "change y axis min value from: "), "   0.000");
  // The autoregressive outliers start at their smallest value, negative or not.
  t = store({{1950, {1.0f, -2.5f, 1.0f, 3.0f}}});
  EXPECT_EQ(shown(spaghetti(t, 12, "17\n0\nc\n"), "change y axis min value from: "), "  -2.500");
}

TEST(crnplt3, age_aligned_data) {
  // Regional-curve data stored from ring 1: lengths 25 and 38 give rings 0 to 40.
  Tsi1 t = store({{1800, std::vector<float>(25, 1.0f)}, {1850, std::vector<float>(38, 2.0f)}});
  for (int i = 1; i <= 2; ++i) {
    auto column = t.column(i);
    std::stable_partition(column.begin(), column.end(), [](float v) { return !is_missing(v); });
  }
  t.year_row(3) = SeriesYears{1, 38};  // the whole set by ring number
  std::string console = spaghetti(t, 5, "14\n0\n15\n0\nc\n", -2, "rcs-aligned data with mean");
  EXPECT_EQ(shown(console, "change x axis min value from: "), "   0.000");
  EXPECT_EQ(shown(console, "change x axis max value from: "), "  40.000");
  // Without a screen nothing is drawn, so no series is reported.
  EXPECT_EQ(console.find(" second"), std::string::npos);
  const auto dir = scratch("crnplt3_age");
  console = spaghetti(t, 5, "s\n" + (dir / "page.ps").string() + "\nc\n", -2);
  EXPECT_EQ(console.find(" second\n second\n"), console.find("file name: ") + 11);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
  // The same kind while the first detrending is not regional-curve: calendar years.
  console = spaghetti(t, 5, "15\n0\nc\n", 3);
  EXPECT_EQ(shown(console, "change x axis min value from: "), "1800.000");
}

TEST(crnplt3, menu_answers) {
  Tsi1 t = store({{1950, std::vector<float>(41, 1.0f)}});
  // 18 is in other plots' menus, not in this one; "n" returns like a continue.
  const std::string console = spaghetti(t, 3, "18\nn\n");
  EXPECT_NE(console.find("\n             Unknown option re-enter a valid request\n"),
            std::string::npos);
}

TEST(crnplt3, outliers_and_mean_pages) {
  const auto dir = scratch("crnplt3_pages");
  // Endogenous outliers: one value of 3.0 in a run of 1.0, one of 0.2.
  std::vector<float> outliers(60, 1.0f);
  outliers[20] = 3.0f;
  outliers[40] = 0.2f;
  Tsi1 t = store({{1901, outliers}, {1931, std::vector<float>(30, 1.0f)}});
  spaghetti(t, 13, "s\n" + (dir / "outliers.ps").string() + "\nc\n", 0,
            "endogenous outliers (>3.5 sd)");
  EXPECT_GT(render_png(dir / "outliers.ps", dir / "outliers.png"), 0);

  // A mean over the set, from the set's first year.
  Tsi1 m = plot_test::read_rwl(TEST_DATA_DIR "/keny002.rwl");
  m.overlay.assign(static_cast<std::size_t>(m.rows), 0.0f);
  for (int r = 1; r <= m.rows; ++r) {
    float sum = 0;
    int n = 0;
    for (int i = 1; i <= m.count; ++i) {
      if (!is_missing(m.at(r, i))) sum += m.at(r, i), ++n;
    }
    m.overlay[static_cast<std::size_t>(r - 1)] = n > 0 ? sum / static_cast<float>(n) : 0.0f;
  }
  spaghetti(m, 1, "s\n" + (dir / "mean.ps").string() + "\nc\n", 0,
            "tree ring measurements with mean");
  EXPECT_GT(render_png(dir / "mean.ps", dir / "mean.png"), 0);
}

}  // namespace
}  // namespace dendro
