#include "statistics/principal_components.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "statistics/common_period.h"
#include "tests/count_of.h"
#include "tests/plots/plot_test_support.h"
#include "tests/plots/ps_page.h"
#include "tests/statistics/period_data.h"

namespace dendro {
namespace {

using period_test::has;
using period_test::lines_of;
using period_test::Session;

CommonPeriodResult two_trees_with_menu(Session& s) {
  Tsi1 tsi1 = period_test::two_trees();
  period_test::number_trees(tsi1);
  StatsTable stats;
  return comper(tsi1, stats, 3, period_test::period_options(1, 2), (s.dir / "site").string(),
                s.units, s.plots);
}

TEST(pca, kaiser_choice_rotates_two_factors) {
  // The eigenvalue page, "k", then one page each of loadings and scores, of the principal
  // components and of the varimax factors.
  Session s("kaiser", "c\nk\nc\nc\nc\nc\n");
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
  Session s("files", "\n\n\n\n\n\n");
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

TEST(pca, file_titles_of_1500_components) {
  // 1500 series over a common period of 1500 years or more give 1500 components. Each
  // number ends one column in from the end of its values' eight columns, which start after
  // the id's ten (the year's six) and go on after as many blanks past the first 1000.
  const std::string loads = component_titles(1500, false);
  const std::size_t cut = loads.find('\n');
  EXPECT_EQ(cut, 17u + 8u * 999u);
  EXPECT_EQ(loads.substr(0, 33), " series_id   #  1       2       3");
  EXPECT_EQ(loads.substr(cut - 16, 42), "     999    1000\n             1001    1002");
  EXPECT_EQ(loads.size() - cut - 1, 9u + 8u * 500u);
  const std::string scores = component_titles(1500, true);
  EXPECT_EQ(scores.substr(0, 21), "  year  #   1       2");
  EXPECT_EQ(scores.substr(scores.find('\n') - 8, 22), "    1000\n         1001");
  EXPECT_EQ(scores.substr(scores.size() - 8), "    1500");
}

TEST(pca, menu_answers) {
  // "e" with a word and with a count beyond m show the menu again; "r" shows the
  // eigenvalue page again first; "e" 0 keeps no component, and no page follows.
  Session s("menu", "c\ne\nmany\nr\nc\ne\n9\ne\n0\n");
  const PcaResult pc = two_trees_with_menu(s).components;
  EXPECT_EQ(pc.kept, 0);
  const std::string console = s.out.str();
  EXPECT_EQ(count_of(console, "[n]o more plots"), 2);
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

using plot_test::render_png;

std::string page_text(const std::filesystem::path& ps) { return plot_test::read_file(ps); }

// A saved PostScript page holds each text it shows as a string: "(text)".
bool shows(const std::string& page, const std::string& text) {
  return page.find("(" + text + ")") != std::string::npos;
}

// Six series with every correlation 0.4 over 30 years. Hand (equicorrelation matrix
// (1 - r) I + r J): eigenvalues 1 + 5r = 3.0 once and 1 - r = 0.6 five times, so the pages
// show 3.0 / 6 = 50% and 0.6 / 6 = 10% per component.
struct SixSeries {
  explicit SixSeries(Session& s, int summary_plots) {
    for (int i = 1; i <= n; ++i) {
      ids.push_back("SER0" + std::to_string(i) + "  ");
      for (int j = 1; j <= n; ++j) r(i, j) = i == j ? 1.0f : 0.4f;
      for (int t = 1; t <= years; ++t) z(t, i) = period_test::wave(i, t, years);
    }
    pc = pca(z, r, ids, {1901, 1930, summary_plots, 1, (s.dir / "six").string()}, s.units, s.plots);
  }
  static constexpr int n = 6, years = 30;
  Matrix r{n, n}, z{years, n};
  std::vector<std::string> ids;
  PcaResult pc;
};

TEST(pca_pages, five_kept_components_take_two_pages_of_each_kind) {
  // The eigenvalue page, "e" 5, then two pages each of the component loadings and scores
  // and of the factor loadings and scores; the second page of each is saved.
  Session s("pages");
  const auto saved = [&](const std::string& name) {
    return "s\n" + (s.dir / (name + ".ps")).string() + "\nc\n";
  };
  s.in.str("c\ne\n5\n" + std::string("c\n") + saved("pc_loads") + "c\n" + saved("pc_scores") +
           "c\n" + saved("vf_loads") + "c\n" + saved("vf_scores"));
  const SixSeries six(s, 2);
  EXPECT_EQ(six.pc.kept, 5);
  EXPECT_EQ(s.in.rdbuf()->in_avail(), 0);  // every page took its answers
  // Four loadings and four score pages; each save shows its menu once more.
  EXPECT_EQ(count_of(s.out.str(), "| replot             [0] line color         [4] |"), 6);
  EXPECT_EQ(count_of(s.out.str(), "| curve  color       [5]                       |"), 6);

  // The second page of each kind holds component 5 alone.
  const std::string loads = page_text(s.dir / "pc_loads.ps");
  EXPECT_TRUE(shows(loads, " raw measurements common period principal components"));
  EXPECT_TRUE(shows(loads, "PC_5 10.00 %"));
  EXPECT_FALSE(shows(loads, "PC_4 10.00 %"));
  EXPECT_EQ(loads.find("PC_6"), std::string::npos);
  const std::string scores = page_text(s.dir / "pc_scores.ps");
  EXPECT_TRUE(shows(scores, "          raw measurements common period pc scores"));
  EXPECT_TRUE(shows(scores, "PC_5 10.00 %"));
  const std::string factors = page_text(s.dir / "vf_loads.ps");
  EXPECT_TRUE(shows(factors, " raw measurements common period varimax factors"));
  EXPECT_NE(factors.find("(VF_5 "), std::string::npos);
  EXPECT_EQ(factors.find("(VF_4 "), std::string::npos);
  const std::string factor_scores = page_text(s.dir / "vf_scores.ps");
  EXPECT_TRUE(shows(factor_scores, "          raw measurements common period varimax scores"));
  EXPECT_NE(factor_scores.find("(VF_5 "), std::string::npos);
  for (const char* page : {"pc_loads", "pc_scores", "vf_loads", "vf_scores"}) {
    EXPECT_GT(render_png(s.dir / (std::string(page) + ".ps"), s.dir / (std::string(page) + ".png")),
              0)
        << page;
  }
}

TEST(pca_pages, the_first_page_shows_the_first_component_share) {
  // One kept component (the broken stick: 3.0 - 3.0 sqrt(2/30) = 2.23 is below 2.45): one
  // page of each kind; the component page shows 50%.
  Session s("first_page");
  s.in.str("\n\ns\n" + (s.dir / "loads.ps").string() + "\nc\nc\nc\nc\n");
  const SixSeries six(s, 3);
  EXPECT_EQ(six.pc.kept, 1);
  EXPECT_EQ(s.in.rdbuf()->in_avail(), 0);
  const std::string loads = page_text(s.dir / "loads.ps");
  EXPECT_TRUE(shows(loads, "PC_1 50.00 %"));
  EXPECT_FALSE(shows(loads, "PC_2 10.00 %"));  // a component not kept shows no panel
}

// The loadings pages stand their bars on 0: read back from the saved pages, every shown
// panel's value axis takes in 0 and each loading drawn, with one, two and three kept
// components. With one kept, the uniform loadings of the first component (1 / sqrt 6 =
// 0.408) and of the one factor (times sqrt 3.0: 0.707) are all above 0.
TEST(pca_pages, loadings_axes_take_in_zero_and_every_loading) {
  for (int kept = 1; kept <= 3; ++kept) {
    Session s("loadings_axes_" + std::to_string(kept));
    const auto pc_page = s.dir / "pc.ps", vf_page = s.dir / "vf.ps";
    s.in.str("c\ne\n" + std::to_string(kept) + "\ns\n" + pc_page.string() + "\nc\nc\ns\n" +
             vf_page.string() + "\nc\nc\n");
    const SixSeries six(s, 2);
    ASSERT_EQ(six.pc.kept, kept);
    EXPECT_EQ(s.in.rdbuf()->in_avail(), 0);
    const struct {
      std::filesystem::path file;
      const Matrix& loadings;
    } pages[] = {{pc_page, six.pc.eigenvectors}, {vf_page, six.pc.rotation.rotated}};
    for (const auto& page : pages) {
      const plot_test::PsPage ps = plot_test::read_ps(page_text(page.file));
      EXPECT_TRUE(plot_test::marked_landscape(ps));
      const std::vector<plot_test::ValueAxis> axes = plot_test::value_axes(ps);
      ASSERT_EQ(axes.size(), static_cast<std::size_t>(kept)) << page.file;
      for (const plot_test::ValueAxis& axis : axes) {
        EXPECT_TRUE(axis.contains(0.0)) << page.file << " " << axis.low << " " << axis.high;
        for (int k = 1; k <= kept; ++k) {
          for (int i = 1; i <= SixSeries::n; ++i) {
            EXPECT_TRUE(axis.contains(page.loadings(i, k)))
                << page.file << " " << page.loadings(i, k) << " outside " << axis.low << " "
                << axis.high;
          }
        }
      }
    }
  }
}

TEST(pca_pages, no_more_plots_ends_the_pages_of_the_analysis) {
  // "n" at the first scores page: neither the factor loadings nor the factor scores are
  // shown, and the files are written all the same.
  Session s("no_more");
  s.in.str("\n\nc\nn\n");
  const SixSeries six(s, 2);
  EXPECT_EQ(s.in.rdbuf()->in_avail(), 0);
  EXPECT_EQ(count_of(s.out.str(), "enter option number > "), 3);
  EXPECT_TRUE(std::filesystem::exists(s.dir / "six_vfloads_raw.txt"));
  EXPECT_TRUE(std::filesystem::exists(s.dir / "six_vfscores_raw.txt"));
  // Summary plots 1: no page and no question.
  Session quiet("quiet");
  const SixSeries none(quiet, 1);
  EXPECT_EQ(quiet.out.str(), "");
  EXPECT_EQ(none.pc.kept, 1);
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
