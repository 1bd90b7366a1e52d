#include "statistics/release.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "plots/plot_loop.h"
#include "series/console.h"
#include "tests/plots/plot_test_support.h"

namespace dendro {
namespace {

// 40 years at 1.0, then 40 at 1.5: a lasting rise of 50 percent in year 1940.
std::vector<float> step_series() {
  std::vector<float> x(80, 1.0f);
  for (std::size_t i = 40; i < 80; ++i) x[i] = 1.5f;
  return x;
}

std::vector<int> releases(const RunningGrowth& g, const ReleaseSettings& s, int method) {
  const std::size_t w = static_cast<std::size_t>(s.window);
  const std::span<const float> m(g.means), e(g.errors);
  return findrl(m, e, m.subspan(w), e.subspan(w), g.change, g.first_year, s, method);
}

TEST(running_growth, step_up_of_fifty_percent) {
  std::vector<float> x = step_series();
  const RunningGrowth g = running_growth(x, 1900, 10, false);
  ASSERT_EQ(g.means.size(), 71u);   // 80 - 10 + 1 windows
  ASSERT_EQ(g.change.size(), 61u);  // K = 71 - 10
  EXPECT_EQ(g.errors[0], 0.0f);
  // Hand: windows 1-31 average 1.0, 32-40 climb by 0.05, 41 on average 1.5. The change
  // from window 31 (years 1930-1939) to window 41 (1940-1949) is the full 50 percent.
  EXPECT_FLOAT_EQ(g.means[35], 1.25f);
  EXPECT_EQ(g.change[20], 0.0f);
  EXPECT_FLOAT_EQ(g.change[29], 0.45f);
  EXPECT_EQ(g.change[30], 0.5f);
  EXPECT_NEAR(g.change[31], 0.45 / 1.05, 1e-6);

  // The release is dated by the first year of the earlier window, k = 31: 1930.
  ReleaseSettings s{10, 25, 0};
  EXPECT_EQ(releases(g, s, stand_dynamics_kind::release), (std::vector<int>{1930}));
  EXPECT_EQ(releases(g, s, stand_dynamics_kind::modified_release), (std::vector<int>{1930}));
  s.percent = 49;
  EXPECT_EQ(releases(g, s, stand_dynamics_kind::release), (std::vector<int>{1930}));
  s.percent = 50;  // the change must exceed the threshold
  EXPECT_TRUE(releases(g, s, stand_dynamics_kind::release).empty());
  s.percent = 25;
  EXPECT_TRUE(releases(g, s, 1).empty());  // no such method
}

TEST(running_growth, standard_errors_and_prefilter) {
  // Window 0 0 4: mean 4/3, sd = sqrt((16/9 + 16/9 + 64/9) / 2) = sqrt(48/9), error
  // sd / sqrt(3) = 4/3.
  std::vector<float> x{0, 0, 4};
  RunningGrowth g = running_growth(x, 1800, 3, false);
  ASSERT_EQ(g.means.size(), 1u);
  EXPECT_NEAR(g.means[0], 4.0 / 3.0, 1e-6);
  EXPECT_NEAR(g.errors[0], 4.0 / 3.0, 1e-6);
  EXPECT_TRUE(g.change.empty());

  // 1-2-1 smoothing of 0 0 4 0 0: 1 2 1, one year later, two values fewer.
  std::vector<float> y{0, 0, 4, 0, 0};
  g = running_growth(y, 1800, 2, true);
  EXPECT_EQ(g.first_year, 1801);
  EXPECT_EQ(g.n, 3);
  EXPECT_EQ(std::vector<float>(y.begin(), y.begin() + 3), (std::vector<float>{1, 2, 1}));
  EXPECT_EQ(g.means, (std::vector<float>{1.5f, 1.5f}));

  // Shorter than the window: nothing; a window mean of 0: the change is not a number.
  std::vector<float> short_series{1, 2};
  EXPECT_TRUE(running_growth(short_series, 1, 3, false).means.empty());
  std::vector<float> from_zero{0, 0, 1, 1};
  g = running_growth(from_zero, 1, 2, false);
  ASSERT_EQ(g.change.size(), 1u);
  EXPECT_TRUE(std::isnan(g.change[0]));
}

// findrl on given changes, every window mean 1 and error 0.
std::vector<int> peaks(const std::vector<float>& g, int window, int percent = 20) {
  const std::vector<float> ones(g.size(), 1.0f), zeros(g.size(), 0.0f);
  return findrl(ones, zeros, ones, zeros, g, 2000, ReleaseSettings{window, percent, 0},
                stand_dynamics_kind::release);
}

TEST(findrl, peaks_plateaus_and_spacing) {
  // A rise to a plateau: the first year of the plateau (k = 4, year 2003).
  EXPECT_EQ(peaks({0, 0.1f, 0.2f, 0.3f, 0.3f, 0.3f, 0.1f}, 5), (std::vector<int>{2003}));
  // Exactly five changes: only k = 3 is tested.
  EXPECT_EQ(peaks({0, 0.1f, 0.3f, 0.2f, 0.1f}, 5), (std::vector<int>{2002}));
  EXPECT_TRUE(peaks({0, 0.1f, 0.2f, 0.3f, 0.1f}, 5).empty());  // the peak at k = 4 is untested
  EXPECT_TRUE(peaks({0, 0.1f, 0.3f, 0.2f}, 5).empty());        // four changes: none

  // Peaks at k = 3 and k = 3 + d: d = w drops the second, d = w + 1 keeps it.
  auto two_peaks = [](int d) {
    std::vector<float> g(static_cast<std::size_t>(d + 6), 0.0f);
    for (int k : {3, 3 + d}) {
      g[static_cast<std::size_t>(k - 3)] = 0.1f;
      g[static_cast<std::size_t>(k - 2)] = 0.2f;
      g[static_cast<std::size_t>(k - 1)] = 0.5f;
    }
    return g;
  };
  EXPECT_EQ(peaks(two_peaks(5), 5), (std::vector<int>{2002}));
  EXPECT_EQ(peaks(two_peaks(6), 5), (std::vector<int>{2002, 2008}));
}

TEST(findrl, modified_method_asks_for_separate_means) {
  const std::vector<float> g{0, 0.1f, 0.3f, 0.2f, 0.1f};
  const std::vector<float> m1(5, 1.0f), s1(5, 0.1f), s2(5, 0.1f);
  const ReleaseSettings two_errors{5, 20, 2};
  // Later mean 1.3: 1.3 - 0.2 = 1.1 is not above 1.0 + 0.2.
  const std::vector<float> close(5, 1.3f), apart(5, 1.5f);
  EXPECT_TRUE(findrl(m1, s1, close, s2, g, 1700, two_errors, stand_dynamics_kind::modified_release)
                  .empty());
  EXPECT_EQ(findrl(m1, s1, apart, s2, g, 1700, two_errors, stand_dynamics_kind::modified_release),
            (std::vector<int>{1702}));
  // E = 0: the later mean need only be above the earlier one.
  const ReleaseSettings no_errors{5, 20, 0};
  EXPECT_EQ(findrl(m1, s1, close, s2, g, 1700, no_errors, stand_dynamics_kind::modified_release),
            (std::vector<int>{1702}));
  EXPECT_TRUE(
      findrl(m1, s1, m1, s2, g, 1700, no_errors, stand_dynamics_kind::modified_release).empty());
}

TEST(nowacki, smooths_and_shows_the_plot_only_when_asked) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  OutputFiles files(disk_files());
  PlotSession plots(con, files, PlotSession::Screen::none);
  std::vector<float> x = step_series();
  int flag = 0;
  RunningGrowth g =
      nowacki(x, "ABC01A  ", 1900, {10, 25, 0}, 'Y', stand_dynamics_kind::release, flag, plots);
  EXPECT_EQ(g.first_year, 1901);
  EXPECT_EQ(g.n, 78);
  EXPECT_EQ(out.str(), "");
  flag = 1;
  in.str("c\n");
  g = nowacki(x, "ABC01A  ", 1900, {10, 25, 0}, 'n', stand_dynamics_kind::release, flag, plots);
  EXPECT_EQ(g.first_year, 1900);
  EXPECT_NE(out.str().find("[n]o more plots"), std::string::npos);
  EXPECT_EQ(flag, 1);
}

TEST(nowacki, page_shows_the_releases_at_the_window_years) {
  const auto dir = plot_test::scratch("nowacki_page");
  const std::string ps = (dir / "release.ps").string();
  plot_test::Scripted s("s\n" + ps + "\nc\n");
  std::vector<float> x = step_series();
  int flag = 1;
  nowacki(x, "ABC01A  ", 1900, {10, 25, 0}, 'n', stand_dynamics_kind::release, flag, s.session);
  EXPECT_EQ(flag, 1);
  const std::string page = plot_test::read_file(ps);
  // The page draws each window mean at the last year of its window, and dates the release
  // there: the change is largest from window 31 (1930-1939) to window 41, so 1939.
  EXPECT_NE(page.find("(Release dates: 1939)"), std::string::npos);
  EXPECT_NE(page.find("(rm: 10yr.  pg:  25%  se:  0 se  bf: n)"), std::string::npos);
  EXPECT_NE(page.find("(ABC01A running mean growth series)"), std::string::npos);
  EXPECT_NE(page.find("(relative growth)"), std::string::npos);
  EXPECT_GT(plot_test::render_png(ps, dir / "release.png"), 0);

  // "n" clears the flag; a series shorter than two windows has no change to show and its
  // page still opens and closes.
  plot_test::Scripted stop("n\n");
  std::vector<float> short_series(12, 1.0f);
  nowacki(short_series, "ABC02A  ", 1900, {10, 25, 0}, 'Y', stand_dynamics_kind::modified_release,
          flag, stop.session);
  EXPECT_EQ(flag, 0);
}

}  // namespace
}  // namespace dendro
