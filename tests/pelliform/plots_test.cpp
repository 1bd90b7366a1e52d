#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "pelliform/engine_plots.h"
#include "pelliform/plot_loop.h"
#include "tests/plots/plot_test_support.h"
#include "tests/plots/ps_page.h"

namespace dendro {
namespace {

struct Headless {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  OutputFiles files{disk_files()};
  PlotSession session{con, files, PlotSession::Screen::none};
  explicit Headless(const std::string& answers) : in(answers) {}
};

// Runs in a scratch folder, since the pages save under fixed or title-made names.
struct InFolder {
  std::filesystem::path previous = std::filesystem::current_path();
  explicit InFolder(const std::filesystem::path& dir) { std::filesystem::current_path(dir); }
  ~InFolder() { std::filesystem::current_path(previous); }
};

std::string head_of(const std::filesystem::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  return line;
}

TEST(plot_loop, save_names) {
  EXPECT_EQ(title_save_name("Mean Segment Length And Mean Tree Age"),
            "MeanSegmentLengthAndMeanTreeAge.ps");
  EXPECT_EQ(title_save_name(std::string(70, 'x')), std::string(57, 'x') + ".ps");
  // Only letters, digits, "-", "_" and "." are kept: no name needs quoting in a shell.
  EXPECT_EQ(title_save_name("Signal Free Chronology Iterations: 50-Yr Splines"),
            "SignalFreeChronologyIterations50-YrSplines.ps");
  EXPECT_EQ(title_save_name("Robust Original & Signal Free Chronology, Iter = 17"),
            "RobustOriginalSignalFreeChronologyIter17.ps");
  EXPECT_EQ(title_save_name("Original Vs. Running RBAR (x/y) *\"\t'$"),
            "OriginalVs.RunningRBARxy.ps");
}

TEST(plot_loop, menu_save_and_continue) {
  const auto dir = testing::scratch_folder("plot1_save");
  InFolder here(dir);
  Headless h("s\nx\n");
  const std::vector<float> a{0.6f, 1.4f, 1.0f}, b{1.0f, 1.1f, 0.9f}, ref{kNoReference};
  EXPECT_EQ(plot1(h.session, a, b, 1900, {"Years", "Indices", "Test Page", "one", "two"}, ref),
            PlotExit::proceed);
  // "s" writes the page under its title's name, says so and asks again; "x" goes on like
  // "c".
  EXPECT_EQ(head_of(dir / "TestPage.ps").substr(0, 4), "%!PS");
  const std::string menu =
      "\n |************* plot options menu ***************|\n"
      " |-----------------------------------------------|\n"
      " |       [s]ave   <[c]ontinue>   [r]eplot        |\n"
      " |_______________________________________________|\n\n enter option number > ";
  const std::string out = h.out.str();
  const std::string saved = " saved: TestPage.ps\n";
  EXPECT_EQ(out.substr(out.size() - 2 * menu.size() - saved.size()), menu + saved + menu);
  // Without a screen the console names the page where the screen would show it.
  EXPECT_EQ(out.find(" page: Test Page\n"), out.find('\n') + 1);
}

TEST(plot_loop, series_page_offers_no_more_plots) {
  const auto dir = testing::scratch_folder("plt3");
  InFolder here(dir);
  const std::vector<float> ring{1, 2, 3}, frc{1.5f, 1.5f, 1.5f};
  const SeriesPage page{ring, ring, 1900, 0, "ID"};
  Headless no("n\n");
  EXPECT_EQ(plt3(no.session, page, frc, 3, kEmptyCell, "Iteration #   1"), PlotExit::no_more_plots);
  EXPECT_NE(no.out.str().find("| [s]ave  [c]ontinue  [r]eplot  [n]o more plots |"),
            std::string::npos);
  Headless go_on("c\n");
  EXPECT_EQ(plt3(go_on.session, page, frc, 3, kEmptyCell, "t"), PlotExit::proceed);
  // Elsewhere "n" is only another way to go on.
  Headless other("s\nn\n");
  EXPECT_EQ(plt1(other.session, frc, frc, 3, kEmptyCell, "Initial RC and MVF fit"),
            PlotExit::proceed);
  EXPECT_EQ(head_of(dir / "fig11.ps").substr(0, 4), "%!PS");
}

TEST(plot_loop, curve_pages) {
  EXPECT_EQ(curve_grid(8).across, 2);
  EXPECT_EQ(curve_grid(8).down, 4);
  EXPECT_EQ(curve_grid(9).down, 5);
  EXPECT_EQ(curve_grid(16).across, 4);
  // 21 curves are not drawn: a note and a pause instead of the menu.
  std::vector<RegionalCurvePair> curves(21, {{1, 2, 3}, {1, 2, 3}});
  Headless h("\n");
  EXPECT_EQ(plt4(h.session, curves, 3, kEmptyCell), PlotExit::proceed);
  EXPECT_EQ(h.out.str(),
            "\nToo many Regional curves to plot. Try \nplotting them outside this program.\n"
            "Hit RETURN to Continue");
}

TEST(plot_loop, many_series_page_saves_under_its_title) {
  const auto dir = testing::scratch_folder("spaghetti");
  InFolder here(dir);
  EngineMatrix m;
  m.reshape(4, 2);  // column 2 stays empty (-999.0)
  for (int k = 1; k <= 4; ++k) m.at(k, 1) = static_cast<float>(k);
  Headless h("s\nc\n");
  spaghetti(h.session, m, 4, 2, std::vector<float>{kNoReference}, 1950,
            {"Years", "Biweights", "Biweights For Standard Chronology", "a", "b"});
  EXPECT_EQ(head_of(dir / "BiweightsForStandardChronology.ps").substr(0, 4), "%!PS");
  // The empty cells stay off the axis: 1 to 4 with a twentieth of the range each side.
  const auto axes = plot_test::value_axes(
      plot_test::read_ps(plot_test::read_file(dir / "BiweightsForStandardChronology.ps")));
  ASSERT_EQ(axes.size(), 1u);
  EXPECT_NEAR(axes[0].low, 0.85, 0.01);
  EXPECT_NEAR(axes[0].high, 4.15, 0.01);
}

// A line page saved into the current folder under its title, read back.
struct LinePage {
  std::string console;
  plot_test::PsPage ps;
  std::vector<plot_test::ValueAxis> axes;
  LinePage(const std::vector<float>& one, const std::vector<float>& two, const std::string& title,
           float reference) {
    Headless h("s\nc\n");
    const std::vector<float> ref(one.size(), reference);
    plot1(h.session, one, two, 1951, {"Years", "RBAR", title, "Running", "Constant"}, ref);
    console = h.out.str();
    ps = plot_test::read_ps(plot_test::read_file(title_save_name(title)));
    axes = plot_test::value_axes(ps);
  }
};

TEST(plot1, markers_are_neither_drawn_nor_counted) {
  InFolder here(testing::scratch_folder("plot1_markers"));
  // Running RBAR on years without a window (-99.9), empty cells (-999.0) and an
  // undefined statistic (-99.0) among the values.
  const std::vector<float> running{-99.9f, -99.9f, 0.45f, 0.419f, 0.5f, -99.9f, 0.48f};
  const std::vector<float> constant{-999.0f, 0.46f, 0.46f, 0.46f, -99.0f, 0.47f, 0.47f};
  const LinePage page(running, constant, "RBAR Page", kNoReference);
  // Without a margin (a range below 10) the axis runs from the smallest defined value to
  // the largest: 0.419 to 0.5.
  ASSERT_EQ(page.axes.size(), 1u);
  EXPECT_NEAR(page.axes[0].low, 0.419, 0.002);
  EXPECT_NEAR(page.axes[0].high, 0.5, 0.002);
  for (float v : {0.45f, 0.419f, 0.5f, 0.48f, 0.46f, 0.47f}) EXPECT_TRUE(page.axes[0].contains(v));
  EXPECT_FALSE(plot_test::shows_text(page.ps, "no defined value to plot"));
  EXPECT_TRUE(plot_test::marked_landscape(page.ps));
  EXPECT_NE(page.console.find(" saved: RBARPage.ps\n"), std::string::npos);
}

TEST(plot1, a_page_without_defined_values_says_so) {
  InFolder here(testing::scratch_folder("plot1_empty"));
  // Sixty years with a window of 51: no window fits, every RBAR is undefined.
  const std::vector<float> undefined(60, -99.9f);
  const LinePage page(undefined, undefined, "Running Correlations", kNoReference);
  EXPECT_TRUE(plot_test::shows_text(page.ps, "no defined value to plot"));
  // Without a screen the console says so where it names the page.
  EXPECT_EQ(plot_test::line_of(page.console, 2),
            " page: Running Correlations: no defined value to plot");
  // The axis is 0 to 1, not the marker's.
  ASSERT_EQ(page.axes.size(), 1u);
  EXPECT_NEAR(page.axes[0].low, 0.0, 0.002);
  EXPECT_NEAR(page.axes[0].high, 1.0, 0.002);
}

TEST(plot1, eps_page_takes_in_its_threshold_and_every_value) {
  InFolder here(testing::scratch_folder("plot1_eps"));
  // EPS above the 0.85 threshold: the axis reaches down to the dashed line and up to 1.
  const std::vector<float> high{0.93f, 0.95f, 0.97f}, also{0.94f, 0.94f, 0.96f};
  const LinePage eps(high, also, "EPS Page", kEpsThreshold);
  ASSERT_EQ(eps.axes.size(), 1u);
  EXPECT_NEAR(eps.axes[0].low, 0.85, 0.002);
  EXPECT_NEAR(eps.axes[0].high, 1.0, 0.002);
  // An EPS above 1 (from a negative RBAR) is not cut off at 1.
  const std::vector<float> above{0.9f, 1.25f, 0.95f};
  const LinePage over(above, also, "EPS Over", kEpsThreshold);
  ASSERT_EQ(over.axes.size(), 1u);
  EXPECT_TRUE(over.axes[0].contains(1.25));
  EXPECT_TRUE(over.axes[0].contains(0.85));
}

}  // namespace
}  // namespace dendro
