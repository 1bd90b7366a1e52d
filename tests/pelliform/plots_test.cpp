#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "pelliform/engine_plots.h"
#include "pelliform/plot_loop.h"

namespace dendro {
namespace {

struct Headless {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  PlotSession session{con, PlotSession::Screen::none};
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
  EXPECT_EQ(title_save_name("Original Vs. Running RBAR (x/y) *\"\t'$"), "OriginalVs.RunningRBARxy.ps");
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
  EXPECT_NE(no.out.str().find("| [s]ave  [c]ontinue  [r]eplot  [n]o more plots |"), std::string::npos);
  Headless go_on("c\n");
  EXPECT_EQ(plt3(go_on.session, page, frc, 3, kEmptyCell, "t"), PlotExit::proceed);
  // Elsewhere "n" is only another way to go on.
  Headless other("s\nn\n");
  EXPECT_EQ(plt1(other.session, frc, frc, 3, kEmptyCell, "Initial RC and MVF fit"), PlotExit::proceed);
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
  EXPECT_EQ(h.out.str(), "\nToo many Regional curves to plot. Try \nplotting them outside this program.\n"
                         "Hit RETURN to Continue");
}

TEST(plot_loop, many_series_page_saves_under_its_title) {
  const auto dir = testing::scratch_folder("spaghetti");
  InFolder here(dir);
  EngineMatrix m;
  m.reshape(4, 2);
  for (int k = 1; k <= 4; ++k) m.at(k, 1) = static_cast<float>(k);
  Headless h("s\nc\n");
  spaghetti(h.session, m, 4, 2, std::vector<float>{kNoReference}, 1950,
            {"Years", "Biweights", "Biweights For Standard Chronology", "a", "b"});
  EXPECT_EQ(head_of(dir / "BiweightsForStandardChronology.ps").substr(0, 4), "%!PS");
}

}  // namespace
}  // namespace dendro
