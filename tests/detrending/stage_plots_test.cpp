#include "detrending/stage_plots.h"

#include <gtest/gtest.h>

#include "series/blocks.h"
#include "series/store.h"
#include "tests/plots/plot_test_support.h"

namespace dendro {
namespace {

TEST(stage_plot_layer, transform_summary_draws_the_statistics_page) {
  // Five series in a table of six rows: the sixth row (9.0 in every column) lies beyond the
  // count and must not be drawn. Hand medians of the five values of columns 1, 2, 4 and 5:
  // 0.70, 0.30, 0.00 and 0.05 (with the sixth row they would be 0.80, 0.35, 0.05, 0.10).
  Tsi2 tsi2;
  tsi2.reshape(6);
  const std::vector<std::vector<float>> columns{{0.9f, 0.1f, 0.5f, 1.3f, 0.7f, 9.0f},
                                                {0.3f, 0.1f, 0.2f, 0.5f, 0.4f, 9.0f},
                                                {42.0f, 42.0f, 42.0f, 42.0f, 42.0f, 42.0f},
                                                {-0.2f, 0.1f, 0.0f, 0.3f, -0.1f, 9.0f},
                                                {0.05f, -0.15f, 0.25f, 0.15f, -0.05f, 9.0f}};
  for (int c = 1; c <= 5; ++c) {
    for (int r = 1; r <= 6; ++r) tsi2.at(r, c) = columns[c - 1][r - 1];
  }
  const auto dir = plot_test::scratch("stage_transform_summary");
  const std::string ps = (dir / "summary.ps").string();
  plot_test::Scripted s("s\n" + ps + "\nc\n");
  const Icommands icommands;
  const Commands commands;
  const StagePlots plots = stage_plot_layer(s.session, icommands, commands);
  ASSERT_TRUE(plots.transform_summary);
  plots.transform_summary(tsi2, 5, "site.rwl", " transformed series, ln(rt)");

  const std::string page = plot_test::read_file(ps);
  EXPECT_NE(page.find("(DATA TRANSFORM STATISTICS)"), std::string::npos);
  for (const char* median :
       {"(MEDIAN:   0.70)", "(MEDIAN:   0.30)", "(MEDIAN:   0.00)", "(MEDIAN:   0.05)"}) {
    EXPECT_NE(page.find(median), std::string::npos) << median;
  }
  EXPECT_NE(s.out.str().find("|              [s]ave  [c]ontinue              |"),
            std::string::npos);
  EXPECT_GT(plot_test::render_png(ps, dir / "summary.png"), 0);
}

}  // namespace
}  // namespace dendro
