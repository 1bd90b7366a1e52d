#include "plots/weights_plot.h"

#include <gtest/gtest.h>

#include <cmath>

#include "page_test_support.h"
#include "plot_test_support.h"
#include "series/store.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

struct Weights {
  std::vector<float> median, lower, largest;
  int first = 1701;
  std::string console;

  explicit Weights(int n) {
    for (int j = 0; j < n; ++j) {
      const float wave = 0.05f * std::sin(0.3f * static_cast<float>(j));
      median.push_back(0.92f + wave);
      lower.push_back(0.75f + 2.0f * wave);
      largest.push_back(1.0f);
    }
  }
  void run(const std::string& script) {
    Scripted s(script);
    crnplt7(s.session, median, lower, largest, first, "ca533.rwl                               ",
            " raw biweights (median,lower-hinge,maximum)", "years", "weights");
    console = s.out.str();
  }
};

TEST(crnplt7, fixed_value_axis_and_decade_year_axis) {
  Weights w(299);  // 1701 to 1999
  w.run("14\n0\n15\n0\n16\n0\n17\n0\n8\n0\nc\n");
  // Hand: 1701 goes down to 1700, 1999 up to 2000; the value axis is 0 to 1, whose top the
  // tick chooser raises to the next half step, 1.5; a span of 300 years takes ticks of 50.
  EXPECT_EQ(shown(w.console, "change x axis min value from: "), "1700.000");
  EXPECT_EQ(shown(w.console, "change x axis max value from: "), "2000.000");
  EXPECT_EQ(shown(w.console, "change y axis max value from: "), "   1.500");
  EXPECT_EQ(shown(w.console, "change y axis min value from: "), "   0.000");
  EXPECT_EQ(shown(w.console, "change x axis major tics from: "), "   50.");
  // After the one note of a run without a screen, the line that names the page, then the
  // menu.
  EXPECT_EQ(plot_test::line_of(w.console, 2),
            " page: ca533.rwl raw biweights (median,lower-hinge,maximum)");
  EXPECT_EQ(w.console.find(menu_text(plot_test::kMenuTo17)), plot_test::after_lines(w.console, 2));

  // Weights all 1 give the same axis: the data never enter it.
  Weights ones(299);
  ones.median.assign(299, 1.0f);
  ones.lower.assign(299, 1.0f);
  ones.run("16\n0\nc\n");
  EXPECT_EQ(shown(ones.console, "change y axis max value from: "), "   1.500");
}

TEST(crnplt7, menu_answers) {
  Weights w(50);
  // 18 is not offered here; "n" leaves like a continue, as the caller keeps no flag.
  w.run("18\n16\n3\n99\n16\n1.5\nn\n");
  EXPECT_NE(w.console.find("> \n             Unknown option re-enter a valid request\n"),
            std::string::npos);
  // 99 restores the computed limits over an edit.
  const auto first = w.console.find("change y axis max value from: ");
  const auto second = w.console.find("change y axis max value from: ", first + 1);
  ASSERT_NE(second, std::string::npos);
  EXPECT_EQ(w.console.substr(second + 30, 8), "   1.500");
  EXPECT_EQ(w.console.substr(w.console.size() - 23), " enter option number > ");
}

TEST(crnplt7, saved_page_renders) {
  const auto dir = scratch("crnplt7");
  Weights w(299);
  w.median[100] = kMissing;  // a year without weights breaks the curves
  w.lower[100] = kMissing;
  w.largest[100] = kMissing;
  w.run("s\n" + (dir / "page.ps").string() + "\nc\n");
  EXPECT_NE(w.console.find("NOTE: The image file type is postscript. Use a .ps extention\n"
                           "  to make that readily apparent to your OS\n"),
            std::string::npos);
  EXPECT_EQ(w.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
