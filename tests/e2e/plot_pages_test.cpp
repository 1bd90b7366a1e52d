// A run of kalder with the plots of the common period components, the release detection and
// the adaptive power transformation switched on, answered as a user without a screen would:
// one page of each saved as PostScript, "n" where the series pages may stop, and continue
// everywhere else.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "harness.h"
#include "tests/plots/plot_test_support.h"

namespace dendro::e2e {
namespace {

// "s", the file name, and "c" at the menu that shows again after the save.
std::string save_as(const std::string& file) { return "s\n" + file + "\nc\n"; }

// A value of a report line in the layout's field, written again with two decimals.
std::string two_decimals(const std::string& line, std::size_t from, std::size_t width) {
  char text[16];
  std::snprintf(text, sizeof text, "%7.2f", std::stod(line.substr(from, width)));
  return text;
}

class PlotPages : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("keny002.rwl");
    box.write_file("f.txt", "keny002.rwl\n");
  }
  std::string page(const std::string& name) { return box.read_file(name); }
  bool shows(const std::string& name, const std::string& text) {
    return page(name).find("(" + text + ")") != std::string::npos;
  }
  Sandbox box;
};

TEST_F(PlotPages, a_run_with_every_new_plot_goes_through_and_saves_them) {
  // Options: 3 adaptive power with plots, 14 common period 1950-1990, 19 summary plots 2,
  // 20 release detection (plots, window 10, 25 percent); go, continue with the run.
  const std::string options =
      "\nf.txt\nT\nn\n3\n4\ny\n14\n1950\n1990\n19\n2\n20\n2\ny\n10\n25\n\n\n";
  // Release pages of the raw series: the first saved, no change of its settings, "n" at the
  // second ends them. The raw data's components: the eigenvalue page saved, the broken
  // stick, the first loadings and score pages saved, the factor pages continued.
  // Transformation: "n" at the first series page, the statistics page saved.
  const std::string pages = save_as("release.ps") + "\nn\n" + save_as("eigenvalues.ps") + "\n" +
                            save_as("loadings.ps") + save_as("scores.ps") + "c\nc\n" + "n\n" +
                            save_as("transform.ps");
  // Every later page and question: continue, or the default.
  std::string rest;
  for (int k = 0; k < 300; ++k) rest += "\n";
  const RunResult r = box.kalder(options + pages + rest);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("\"this is the end.\""), std::string::npos);

  // Two release pages: "n" took the question about the settings away.
  EXPECT_EQ(count_of(r.output, "| gap fill  color    [5]  max. y          [16] |"), 3);
  EXPECT_EQ(count_of(r.output, "change release detection settings? y/<n>"), 1);
  EXPECT_TRUE(shows("release.ps", "RAG29A running mean growth series"));
  EXPECT_TRUE(shows("release.ps", "rm: 10yr.  pg:  25%  se:  0 se  bf: N"));

  // The eigenvalue page of the raw data and its values file.
  EXPECT_TRUE(shows("eigenvalues.ps", "Raw Measurements"));
  const auto values = box.read_lines("RawMeasurementsEVplt.txt");
  const auto loads = box.read_lines("keny002.rwl_pcloads_raw.txt");
  ASSERT_GE(values.size(), 3u);
  ASSERT_GE(loads.size(), 6u);
  // Its first row: component 1, its eigenvalue (f8.5 after a tab and 7 blanks), as the
  // loadings file has it with three decimals.
  const double eigenvalue = std::stod(values[2].substr(16, 8));
  EXPECT_NEAR(eigenvalue, std::stod(loads[0].substr(11, 7)), 5e-4);

  // The first loadings page carries the first component's share of the eigenvalues: the
  // eigenvalue over the series of the period (one loadings line each), in percent.
  const auto series = static_cast<double>(loads.size() - 6);
  char share[16];
  std::snprintf(share, sizeof share, "PC_1 %5.2f %%", eigenvalue / series * 100.0);
  EXPECT_TRUE(shows("loadings.ps", " raw measurements common period principal components"));
  EXPECT_TRUE(shows("loadings.ps", share)) << share;
  EXPECT_TRUE(shows("scores.ps", "          raw measurements common period pc scores"));
  EXPECT_TRUE(shows("scores.ps", share));

  // The statistics page of the transformation shows the medians of the summary table.
  EXPECT_TRUE(shows("transform.ps", "DATA TRANSFORM STATISTICS"));
  const std::string out = box.read_file("keny002.rwl_out.txt");
  const auto at = out.find("\n median    ", out.find("summary of transformed tree-ring series"));
  ASSERT_NE(at, std::string::npos);
  const std::string median = out.substr(at + 1, out.find('\n', at + 1) - at - 1);
  EXPECT_TRUE(shows("transform.ps", "MEDIAN:" + two_decimals(median, 29, 8)));  // skewness
  EXPECT_TRUE(shows("transform.ps", "MEDIAN:" + two_decimals(median, 58, 7)));  // corr1

  for (const char* name : {"release", "eigenvalues", "loadings", "scores", "transform"}) {
    const auto ps = box.dir() / (std::string(name) + ".ps");
    EXPECT_GT(plot_test::render_png(ps, box.dir() / (std::string(name) + ".png")), 0) << name;
  }
}

TEST_F(PlotPages, modified_release_detection_shows_its_error_threshold) {
  // Option 20 at 3 with plots, window 10, 25 percent and 2 standard errors; the first page
  // saved, then "n": no more release pages and no question about the settings.
  std::string rest;
  for (int k = 0; k < 100; ++k) rest += "\n";
  const RunResult r =
      box.kalder("\nf.txt\nT\nn\n20\n3\ny\n10\n25\n2\n\n\ns\nrelease.ps\nn\n" + rest);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count_of(r.output, "| gap fill  color    [5]  max. y          [16] |"), 2);
  EXPECT_EQ(count_of(r.output, "change release detection settings? y/<n>"), 0);
  EXPECT_TRUE(shows("release.ps", "rm: 10yr.  pg:  25%  se:  2 se  bf: N"));
  EXPECT_GT(plot_test::render_png(box.dir() / "release.ps", box.dir() / "release.png"), 0);
}

}  // namespace
}  // namespace dendro::e2e
