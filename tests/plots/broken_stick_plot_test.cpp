#include "plots/broken_stick_plot.h"

#include <gtest/gtest.h>

#include "page_test_support.h"
#include "plot_test_support.h"

namespace dendro {
namespace {

using plot_test::InFolder;
using plot_test::read_file;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;
using plot_test::shown;

TEST(eigenvalue_title, by_data_kind) {
  EXPECT_EQ(eigenvalue_title(1), "Raw Measurements ");
  EXPECT_EQ(eigenvalue_file(1), "RawMeasurementsEVplt.txt");
  EXPECT_EQ(eigenvalue_file(2), "TransformedDataEVplt.txt");
  EXPECT_EQ(eigenvalue_file(3), "DetrendedIndicesEVplt.txt");
  EXPECT_EQ(eigenvalue_file(4), "ResidualIndicesEVplt.txt");
  EXPECT_EQ(eigenvalue_title(5), std::string(17, ' '));
  EXPECT_EQ(eigenvalue_file(0), "EVplt.txt");
}

struct Trace {
  // Broken stick of 4 components, b(k) = sum 1/i for i = k..4: 25/12, 13/12, 7/12, 1/4.
  std::vector<float> stick{25.0f / 12, 13.0f / 12, 7.0f / 12, 0.25f};
  std::vector<float> eigen{2.5f, 0.8f, 0.45f, 0.25f};
  std::vector<float> errors{0.5f, 0.16f, 0.09f, 0.05f};
  int kind = 1;
  std::string console;

  void run(const std::string& script) {
    Scripted s(script);
    bsplt(s.session, stick, eigen, kind, errors);
    console = s.out.str();
  }
};

TEST(bsplt, limits_and_menu) {
  Trace t;
  t.run("16\n9\n0\n16\n0\n14\n0\n99\n16\n0\n18\nn\n");
  // Hand: x from 0 to the 4 components, y from 0 to the largest value 2.5 plus 5.
  EXPECT_EQ(shown(t.console, "change x axis max value from: "), "   4.000");
  EXPECT_EQ(shown(t.console, "change y axis max value from: "), "   7.500");
  // An edit holds for the replot; 99 computes the limits again.
  std::vector<std::string> shown_max;
  for (auto at = t.console.find("change y axis max value from: "); at != std::string::npos;
       at = t.console.find("change y axis max value from: ", at + 1)) {
    shown_max.push_back(t.console.substr(at + 30, 8));
  }
  EXPECT_EQ(shown_max, (std::vector<std::string>{"   7.500", "   9.000", "   7.500"}));
  EXPECT_NE(t.console.find("> \n             Unknown option re-enter a valid request\n"),
            std::string::npos);
  EXPECT_EQ(t.console.find(plot_test::menu_text(plot_test::kMenuTo17)),
            plot_test::after_lines(t.console, 2));
  EXPECT_EQ(plot_test::line_of(t.console, 2), " page: Raw Measurements");
}

TEST(bsplt, save_writes_the_values_file) {
  const auto dir = scratch("bsplt");
  const InFolder here(dir);
  Trace t;
  t.eigen[3] = 100.0f;  // does not fit f8.5
  t.run("s\npage.ps\nc\n");
  EXPECT_EQ(t.console.find("*** PLplot"), std::string::npos);
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
  // Hand: f8.5 of each value, a tab and 7 blanks between them; 25/12 = 2.0833333.
  const std::string tab = "\t       ";
  EXPECT_EQ(read_file(dir / "RawMeasurementsEVplt.txt"),
            " Eigenvalue Trace\n"
            "PC" +
                tab + "EV" + tab +
                "Broken-Stick Model\n"
                " 1.00000" +
                tab + " 2.50000" + tab +
                " 2.08333\n"
                " 2.00000" +
                tab + " 0.80000" + tab +
                " 1.08333\n"
                " 3.00000" +
                tab + " 0.45000" + tab +
                " 0.58333\n"
                " 4.00000" +
                tab + "********" + tab + " 0.25000\n");

  // A second save rewrites the file when told to; another data kind writes its own.
  Trace two;
  two.eigen = {1.5f, 0.5f};
  two.stick = {1.5f, 0.5f};
  two.errors = {0.1f, 0.1f};
  two.run("s\ntwo.ps\ny\nc\n");
  EXPECT_NE(two.console.find("RawMeasurementsEVplt.txt exists: replace it? y/<n>  saved: "
                             "RawMeasurementsEVplt.txt\n"),
            std::string::npos);
  EXPECT_EQ(read_file(dir / "RawMeasurementsEVplt.txt"),
            " Eigenvalue Trace\n"
            "PC" +
                tab + "EV" + tab +
                "Broken-Stick Model\n"
                " 1.00000" +
                tab + " 1.50000" + tab +
                " 1.50000\n"
                " 2.00000" +
                tab + " 0.50000" + tab + " 0.50000\n");
  two.kind = 4;
  two.run("c\n");  // no save, no file
  EXPECT_FALSE(std::filesystem::exists(dir / "ResidualIndicesEVplt.txt"));
  two.run("s\nresidual.ps\nc\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "ResidualIndicesEVplt.txt"));
}

}  // namespace
}  // namespace dendro
