#include "statistics/principal_components.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "statistics/common_period.h"
#include "tests/statistics/period_data.h"

namespace dendro {
namespace {

using period_test::has;
using period_test::lines_of;
using period_test::Session;

// Occurrences of a line in the console text.
int count_of(const std::string& text, const std::string& line) {
  int n = 0;
  for (std::size_t at = text.find(line); at != std::string::npos; at = text.find(line, at + 1)) ++n;
  return n;
}

CommonPeriodResult two_trees_with_menu(Session& s) {
  Tsi1 tsi1 = period_test::two_trees();
  period_test::number_trees(tsi1);
  StatsTable stats;
  return comper(tsi1, stats, 3, period_test::period_options(1, 2), (s.dir / "site").string(),
                s.units, s.plots);
}

TEST(pca, kaiser_choice_rotates_two_factors) {
  Session s("kaiser", "k\n");
  const PcaResult pc = two_trees_with_menu(s).components;
  EXPECT_EQ(pc.kept, 2);
  EXPECT_NE(s.out.str().find("  Detrended indices common period principal components.\n"),
            std::string::npos);
  EXPECT_NE(s.out.str().find("<B>roken-Stick Method - Number of Eigenvalues > B-S     1\n"
                             "[K]aiser-Guttman Rule - Number of Eigenvalues > 1 =     2\n"),
            std::string::npos);
  // Hand: the loadings a = sqrt(13/24) on the first component and +-b = sqrt(3/8) on the
  // second lie symmetrically about the axes, so varimax turns them by 45 degrees: each
  // tree loads (a + b)/sqrt2 = 0.9534 on its factor and (a - b)/sqrt2 = 0.0874 on the
  // other, and each factor carries (13/6 + 3/2) / 8 = 11/24 of the variance.
  const Matrix& b = pc.rotation.rotated;
  EXPECT_NEAR(b(1, 1), 0.953429, 2e-4);
  EXPECT_NEAR(b(1, 2), 0.087404, 2e-4);
  EXPECT_NEAR(b(4, 2), 0.953429, 2e-4);
  EXPECT_NEAR(pc.rotation.variance[0], 11.0 / 24, 1e-5);
  EXPECT_EQ(pc.crout_status, 0);
  EXPECT_EQ(pc.factor_scores.cols, 2);

  const auto lines = s.report();
  EXPECT_TRUE(has(lines, " % variance: 0.458  0.458"));
  EXPECT_TRUE(has(lines, " cumulative: 0.458  0.917"));
  EXPECT_TRUE(has(lines, "  ABC02B     0.087  0.953"));
  EXPECT_TRUE(has(lines,
                  " broken stick order selected for eigenvalue + 1se above broken stick "
                  "value:   2"));
  const auto loads = lines_of(s.dir / "site_vfloads_det.txt");
  ASSERT_EQ(loads.size(), 7u);
  EXPECT_EQ(loads[2], " series_id   #  1       2");
  EXPECT_EQ(loads[3], "  ABC01A     0.953   0.087");
}

TEST(pca, files_of_the_components) {
  Session s("files", "\n");
  two_trees_with_menu(s);
  const auto loads = lines_of(s.dir / "site_pcloads_det.txt");
  ASSERT_EQ(loads.size(), 10u);  // five statistics, the titles, four series
  EXPECT_EQ(loads[0], " eigenvalue  2.167   1.500   0.167   0.167");
  EXPECT_EQ(loads[4], " brokn stck  2.083   1.083   0.583   0.250");
  EXPECT_EQ(loads[6].substr(0, 26), "  ABC01A     0.500  -0.500");
  // Hand: in 1901 every series is 10 + 1 + 2 + 1, standard score 4 / sqrt(300/99), and
  // the first score is half their sum, 4.596; the second (trees against each other) is 0.
  const auto scores = lines_of(s.dir / "site_pcscores_det.txt");
  ASSERT_EQ(scores.size(), 101u);
  EXPECT_EQ(scores[0], "  year  #   1       2       3       4");
  EXPECT_EQ(scores[1].substr(0, 22), "  1901   4.596   0.000");
  // One factor kept (the broken stick): its score coefficient is a / (4 a^2) for each
  // series, so the 1901 score is 4 * 2.2978 * 0.33968 = 3.122.
  const auto factor = lines_of(s.dir / "site_vfscores_det.txt");
  ASSERT_EQ(factor.size(), 101u);
  EXPECT_EQ(factor[1], "  1901   3.122");
}

TEST(pca, menu_answers) {
  // "e" with a word and with a count beyond m show the menu again; "r" replots first;
  // "e" 0 keeps no component.
  Session s("menu", "e\nmany\nr\ne\n9\ne\n0\n");
  const PcaResult pc = two_trees_with_menu(s).components;
  EXPECT_EQ(pc.kept, 0);
  const std::string console = s.out.str();
  EXPECT_EQ(count_of(console, "eigenvalue and broken-stick traces: plot not available"), 2);
  EXPECT_EQ(count_of(console, "Enter your selection :> "), 4);
  EXPECT_EQ(count_of(console, "Roll your own eigenvalue cutoff :> "), 3);
  const auto lines = s.report();
  EXPECT_TRUE(
      has(lines, "               zero eigenvalues selected, no varimax rotation performed"));
  EXPECT_TRUE(std::filesystem::exists(s.dir / "site_pcscores_det.txt"));
  EXPECT_FALSE(std::filesystem::exists(s.dir / "site_vfloads_det.txt"));
  EXPECT_FALSE(std::filesystem::exists(s.dir / "site_vfscores_det.txt"));
}

TEST(pca, period_shorter_than_the_series_count) {
  // Four uncorrelated series over three years: only three eigenvalues are analysed, each
  // 1 rescaled to (1 / 1) * 3 / 4; hand: errors 0.75 sqrt(2/3), broken sticks of three.
  Session s("short");
  const Matrix r = Matrix::identity(4);
  const Matrix z(3, 4);
  const std::vector<std::string> ids{"A1", "A2", "A3", "A4"};
  const PcaResult pc =
      pca(z, r, ids, {1801, 1803, 0, 1, (s.dir / "short").string()}, s.units, s.plots);
  EXPECT_EQ(pc.components, 3);
  EXPECT_EQ(pc.eigenvalues, (std::vector<float>{0.75f, 0.75f, 0.75f}));
  EXPECT_NEAR(pc.errors[0], 0.75 * std::sqrt(2.0 / 3), 1e-6);
  EXPECT_NEAR(pc.broken_stick[0], 11.0 / 6, 1e-6);
  EXPECT_EQ(pc.kaiser, 0);
  EXPECT_EQ(pc.broken_stick_count, 1);
  EXPECT_EQ(pc.markers, "   ");
  const auto loads = lines_of(s.dir / "short_pcloads_raw.txt");
  EXPECT_EQ(loads[2], " % variance  0.333   0.333   0.333");
  EXPECT_EQ(lines_of(s.dir / "short_pcscores_raw.txt").size(), 4u);
}

TEST(broken_stick, sums_of_reciprocals) {
  // m = 4: 1 + 1/2 + 1/3 + 1/4, 1/2 + 1/3 + 1/4, 1/3 + 1/4, 1/4.
  const std::vector<float> bs = broken_stick(4);
  EXPECT_NEAR(bs[0], 25.0 / 12, 1e-6);
  EXPECT_NEAR(bs[1], 13.0 / 12, 1e-6);
  EXPECT_NEAR(bs[2], 7.0 / 12, 1e-6);
  EXPECT_NEAR(bs[3], 0.25, 1e-7);
}

}  // namespace
}  // namespace dendro
