#include "plots/autoregression_plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "page_test_support.h"
#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;

TEST(arhist1_limits, bartlett_and_partial) {
  std::vector<float> r(kLagRows, 0.0f);
  r[0] = 1.0f;
  // All autocorrelations 0: 2 / sqrt(100) = 0.2 at every lag, as for the partials.
  EXPECT_EQ(bartlett_limits(r, 100), std::vector<double>(10, 0.2));
  EXPECT_EQ(partial_limits(100), std::vector<double>(10, 0.2));
  // Hand: r(1) = 0.5, r(2) = 0.3: lag 2 takes 2 sqrt(1 + 2 (0.25)) / 10 = 0.244949, lag 3
  // and later 2 sqrt(1 + 2 (0.25 + 0.09)) / 10 = 0.259230.
  r[1] = 0.5f;
  r[2] = 0.3f;
  const std::vector<double> limits = bartlett_limits(r, 100);
  ASSERT_EQ(limits.size(), 10u);
  EXPECT_DOUBLE_EQ(limits[0], 0.2);
  EXPECT_NEAR(limits[1], 0.2449490, 1e-6);
  EXPECT_NEAR(limits[2], 0.2592296, 1e-6);
  EXPECT_NEAR(limits[9], 0.2592296, 1e-6);
  // A chronology without years has no limits to draw.
  EXPECT_TRUE(bartlett_limits(r, 0).empty());
  EXPECT_TRUE(partial_limits(0).empty());
}

// An AR(1) process with coefficient 0.6: autocorrelations 0.6^L, partials 0.6 at lag 1 and
// 0 after, the model 0.6, impulse weights 0.6^L.
std::vector<float> ar1_results() {
  std::vector<float> results;
  for (int column = 1; column <= 4; ++column) {
    for (int lag = 0; lag <= 10; ++lag) {
      const float power = static_cast<float>(std::pow(0.6, lag));
      const float partial = lag == 0 ? 1.0f : (lag == 1 ? 0.6f : 0.0f);
      results.push_back(column == 2 || column == 3 ? partial : power);
    }
  }
  return results;
}

TEST(arhist1, menu_answers) {
  const std::vector<float> results = ar1_results();
  Scripted s("8\n4\n2\n99\n0\nn\n");
  arhist1(s.session, results, "co021.rwl", 500);
  const std::string console = s.out.str();
  EXPECT_EQ(console.find(menu_text(plot_test::kShortMenu)), plot_test::after_lines(console, 2));
  // Without a screen the console names the page first.
  EXPECT_EQ(plot_test::line_of(console, 2), " page: co021.rwl      POOLED AUTOREGRESSION RESULTS");
  EXPECT_NE(console.find("> \n             Unknown option 8 re-enter a valid choise\n"),
            std::string::npos);
  EXPECT_NE(console.find("select new line color: [0-15] : "), std::string::npos);
  EXPECT_EQ(console.substr(console.size() - 23), " enter option number > ");
}

TEST(arhist1, saved_page_renders) {
  const auto dir = scratch("arhist1");
  const std::vector<float> results = ar1_results();
  Scripted s("s\n" + (dir / "page.ps").string() + "\nc\n");
  arhist1(s.session, results, "co021.rwl                               ", 500);
  EXPECT_EQ(s.out.str().find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
