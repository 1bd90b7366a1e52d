#include "plots/plot_loop.h"

#include <gtest/gtest.h>
#include <plplot/plplot.h>

#include <array>

#include "../series/memory_files.h"
#include "plot_test_support.h"
#include "plots/panel.h"
#include "ps_page.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using plot_test::menu_text;
using plot_test::render_png;
using plot_test::scratch;
using plot_test::Scripted;

const std::string kNoScreen =
    " *** no X display: plots are not shown on the screen; [s]ave writes them as PostScript "
    "files\n";
const std::string kSaveNote =
    "\nNOTE: The image file type is postscript. Use a .ps extention\n"
    "  to make that readily apparent to your OS\n\n"
    "Enter graphics output file name: ";

// A one-panel plot that records what the loop asks of it.
struct Probe {
  int set_ups = 0;
  std::vector<PlotStyle> drawn;  // the style of every drawing
  std::vector<int> extra;        // the plot's own items it was offered

  PlotDefinition definition() {
    PlotDefinition d;
    d.menu = full_menu();
    d.set_up = [this](PlotStyle& s) {
      ++set_ups;
      s.x = {1900, 2000, 20, 5};
      s.y = {0, 2, 0.5f, 4};
    };
    d.draw = [this](const PlotStyle& s) {
      drawn.push_back(s);
      draw_frame(s, {0.12, 0.95, 0.2, 0.8}, s.x, s.y, "years", "indices (y)", "probe");
      const std::vector<double> x{1900, 1950, 2000}, y{0.5, 1.5, 1.0};
      draw_line(x, y, s.line_colour);
    };
    d.extra_item = [this](int item, std::string_view) {
      extra.push_back(item);
      return item == 22;
    };
    return d;
  }
};

// The colour of the paper beside the frame (a tenth across and half way down the page as
// ghostscript renders it, within PLplot's page box) from a raw PPM rendering.
std::array<int, 3> corner_colour(const std::filesystem::path& ps) {
  const auto ppm = ps.string() + ".ppm";
  const std::string command =
      "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=ppmraw -r20 "
      "-sOutputFile='" +
      ppm + "' '" + ps.string() + "' >/dev/null 2>&1";
  if (std::system(command.c_str()) != 0) return {-1, -1, -1};
  const std::string data = plot_test::read_file(ppm);
  // Header "P6", width, height, 255 (with comment lines), one blank, then rows of RGB.
  std::istringstream header(data);
  std::vector<std::string> fields;
  std::string line;
  while (fields.size() < 4 && std::getline(header, line)) {
    if (line.starts_with("#")) continue;
    std::istringstream words(line);
    for (std::string w; words >> w;) fields.push_back(w);
  }
  if (fields.size() != 4) return {-1, -1, -1};
  const std::string magic = fields[0];
  const auto width = static_cast<std::size_t>(std::stoi(fields[1]));
  const auto height = static_cast<std::size_t>(std::stoi(fields[2]));
  const auto start = static_cast<std::size_t>(header.tellg());
  const auto at = start + 3 * (height / 2 * width + width / 10);
  if (magic != "P6" || data.size() < at + 3) return {-1, -1, -1};
  return {static_cast<unsigned char>(data[at]), static_cast<unsigned char>(data[at + 1]),
          static_cast<unsigned char>(data[at + 2])};
}

TEST(plot_loop, edit_then_save_then_continue) {
  const auto dir = scratch("edit_save");
  const auto ps = dir / "page.ps";
  Scripted run("3\n1\n0\ns\n" + ps.string() + "\nc\n");
  Probe probe;
  PlotDefinition definition = probe.definition();
  definition.title = "   probe page  ";
  EXPECT_EQ(plot_loop(run.session, definition), PlotExit::proceed);

  // Without a screen only the save draws; it carries the text colour chosen before.
  ASSERT_EQ(probe.drawn.size(), 1u);
  EXPECT_EQ(probe.drawn[0].text_colour, 1);
  EXPECT_EQ(probe.set_ups, 1);
  EXPECT_GT(render_png(ps, dir / "page.png"), 0);
  // PLplot lays the landscape page across the paper; the header says so, once, so that a
  // viewer turns it upright.
  const std::string file = plot_test::read_file(ps);
  EXPECT_TRUE(plot_test::marked_landscape(plot_test::read_ps(file)));
  EXPECT_EQ(file.find("%%Orientation"), file.rfind("%%Orientation"));

  const std::string menu = menu_text(full_menu());
  const std::string indent(13, ' ');
  const std::string text_colour_question =
      "\n" + indent + "color table ______________________________________________\n" + indent +
      "white(0) red(1)  yellow(2)  green(3)  aquamarine(4) pink(5) \n" + indent +
      "wheat(6)  grey(7)  browm(8)  blue(9)  blueviolet(10)\n" + indent +
      "cyan(11)  turquoise(12)  magenta(13)  salmon(14)  black(15)\n" + indent +
      "___________________________________________________________\n\n\n" + indent +
      "select new text color: [0-15] : ";
  // Where a screen would show the page (first drawing and replot, not after an edit) the
  // console names it; a save names its file.
  const std::string page = " page: probe page\n";
  EXPECT_EQ(run.out.str(), kNoScreen + page + menu + text_colour_question + menu + page + menu +
                               kSaveNote + " saved: " + ps.string() + "\n" + menu);
}

TEST(plot_loop, full_menu_lines) {
  EXPECT_EQ(full_menu({"| sample depth plot       max z2          [22] |"}),
            (std::vector<std::string>{
                "|************* plot options menu **************|",
                "| replot             [0]  minor ticks y   [11] |",
                "| background color   [1]  major ticks z   [12] |",
                "| frame color        [2]  minor ticks z   [13] |",
                "| text color         [3]  max. x          [14] |",
                "| line color         [4]  min. x          [15] |",
                "| curve  color       [5]  max. y          [16] |",
                "| line style         [6]  min. y          [17] |",
                "| curve width        [7]  max. z          [18] |",
                "| major ticks x      [8]  min. z          [19] |",
                "| minor ticks x      [9]  symbol type     [20] |",
                "| major ticks y     [10]  symbol color    [21] |",
                "| sample depth plot       max z2          [22] |",
                "|                                              |",
                "|              reset options  [99]             |",
                "|----------------------------------------------|",
                "|    [s]ave   <[c]ontinue>  [n]o more plots    |",
                "|______________________________________________|",
            }));
}

TEST(plot_loop, ways_out) {
  const auto leave = [](const std::string& script) {
    Scripted run(script);
    Probe probe;
    return plot_loop(run.session, probe.definition());
  };
  EXPECT_EQ(leave("n\n"), PlotExit::no_more_plots);
  EXPECT_EQ(leave("N\n"), PlotExit::no_more_plots);
  EXPECT_EQ(leave("\n"), PlotExit::proceed);
  EXPECT_EQ(leave("c\n"), PlotExit::proceed);
  EXPECT_EQ(leave("Y\n"), PlotExit::proceed);
  EXPECT_EQ(leave("no\nc\n"), PlotExit::proceed);  // two characters: "no" is no answer
}

TEST(plot_loop, unknown_items_and_own_items) {
  Scripted run("24\n-1\nab\n22\n23\nc\n");
  Probe probe;
  auto definition = probe.definition();
  definition.unknown_option = "Unknown option re-enter a valid request";
  EXPECT_EQ(plot_loop(run.session, definition), PlotExit::proceed);
  const std::string menu = menu_text(full_menu());
  const std::string unknown = "\n             Unknown option re-enter a valid request\n";
  // 22 is the plot's own item; 23 is offered to the plot, which refuses it.
  EXPECT_EQ(run.out.str(), kNoScreen + menu + unknown + menu + unknown + menu + unknown + menu +
                               menu + unknown + menu);
  EXPECT_EQ(probe.extra, (std::vector<int>{24, -1, 22, 23}));
}

TEST(plot_loop, reset_sets_up_again) {
  const auto dir = scratch("reset");
  const auto ps = dir / "page.ps";
  Scripted run("16\n9\n4\n3\n99\ns\n" + ps.string() + "\nc\n");
  Probe probe;
  plot_loop(run.session, probe.definition());
  EXPECT_EQ(probe.set_ups, 2);
  ASSERT_EQ(probe.drawn.size(), 1u);
  EXPECT_EQ(probe.drawn[0].y.max, 2.0f);      // the limits of the set-up
  EXPECT_EQ(probe.drawn[0].line_colour, 15);  // the default colour
}

TEST(plot_loop, items_beyond_the_plot_style_are_refused) {
  Scripted run("18\nc\n");
  Probe probe;
  auto definition = probe.definition();
  definition.last_style_item = 17;
  plot_loop(run.session, definition);
  EXPECT_NE(run.out.str().find("unknown option re-enter a valid request"), std::string::npos);
  EXPECT_EQ(run.out.str().find("change z axis max value"), std::string::npos);
}

TEST(plot_loop, black_background_page) {
  const auto dir = scratch("black");
  const auto white = dir / "white.ps", black = dir / "black.ps";
  Scripted run("s\n" + white.string() + "\n1\n0\ns\n" + black.string() + "\nc\n");
  Probe probe;
  plot_loop(run.session, probe.definition());
  EXPECT_GT(render_png(black, dir / "black.png"), 0);
  EXPECT_EQ(corner_colour(white), (std::array<int, 3>{255, 255, 255}));
  EXPECT_EQ(corner_colour(black), (std::array<int, 3>{0, 0, 0}));
}

TEST(plot_loop, file_names) {
  const auto dir = scratch("names");
  const auto ps = dir / "page.ps";
  // A blank or "/" saves nothing (no file "/" tried); a name loses its surrounding blanks.
  Scripted run("s\n   \ns\n /\ns\n  " + ps.string() + "  \nc\n");
  Probe probe;
  plot_loop(run.session, probe.definition());
  EXPECT_TRUE(std::filesystem::exists(ps));
  EXPECT_EQ(probe.drawn.size(), 1u);
  EXPECT_EQ(run.out.str().find("cannot open"), std::string::npos);
  EXPECT_NE(run.out.str().find("Enter graphics output file name:  saved: " + ps.string() + "\n"),
            std::string::npos);

  // A file in no folder: said so, and the name asked again; nothing drawn.
  const auto bad = dir / "no such folder" / "page.ps";
  Scripted again("s\n" + bad.string() + "\n\nc\n");
  Probe second;
  EXPECT_EQ(plot_loop(again.session, second.definition()), PlotExit::proceed);
  EXPECT_TRUE(second.drawn.empty());
  EXPECT_NE(again.out.str().find("/no such folder: give another name\n"), std::string::npos)
      << again.out.str();
}

TEST(plot_loop, plplot_errors_reach_the_console) {
  const auto dir = scratch("errors");
  const auto bad = dir / "bad.ps", good = dir / "good.ps";
  // Colour 42 is stored unchecked; PLplot refuses it while the page is drawn.
  Scripted run("4\n42\ns\n" + bad.string() + "\n4\n9\ns\n" + good.string() + "\nc\n");
  Probe probe;
  EXPECT_EQ(plot_loop(run.session, probe.definition()), PlotExit::proceed);
  EXPECT_NE(run.out.str().find("             *** PLplot: plcol0: Invalid color map entry: 42\n"
                               "             *** " +
                               bad.string() + " is not saved\n"),
            std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(bad));
  // The stream of the failed page was ended: the next save works.
  EXPECT_GT(render_png(good, dir / "good.png"), 0);
}

TEST(plot_loop, end_of_input_ends_the_page) {
  Scripted run("0\n");
  Probe probe;
  EXPECT_THROW(plot_loop(run.session, probe.definition()), Stop);
  PLINT stream = -1;
  plgstrm(&stream);
  EXPECT_EQ(stream, 0);  // no page stream left current
  const auto dir = scratch("after_stop");
  Scripted next("s\n" + (dir / "page.ps").string() + "\nc\n");
  plot_loop(next.session, probe.definition());
  EXPECT_GT(render_png(dir / "page.ps", dir / "page.png"), 0);
}

TEST(plot_session, the_no_screen_note_comes_once) {
  Scripted run("0\n0\nc\n\n");
  Probe probe;
  plot_loop(run.session, probe.definition());
  plot_loop(run.session, probe.definition());
  const std::string out = run.out.str();
  EXPECT_EQ(out.find("no X display"), out.rfind("no X display"));
  EXPECT_EQ(out.find(" *** no X display"), 0u);
}

}  // namespace
}  // namespace dendro

namespace dendro {
namespace {

TEST(finish_page_file, only_a_page_that_ends_with_its_trailer_is_kept_and_it_is_turned_upright) {
  test::MemoryFiles fs;
  const std::string whole = "%!PS\n%%EndComments\npage\n%%EOF\n";
  // Nothing written (a full disk), cut short, or no file at all: no page.
  for (const std::string& text : {std::string(), whole.substr(0, 20)}) {
    fs.put("p.ps.part", text);
    EXPECT_EQ(finish_page_file(fs, "p.ps.part"), "PLplot could not write the page whole");
  }
  EXPECT_TRUE(finish_page_file(fs, "q.ps.part").has_value());
  fs.put("p.ps.part", whole);
  EXPECT_EQ(finish_page_file(fs, "p.ps.part"), std::nullopt);
  EXPECT_EQ(fs.text("p.ps.part"), "%!PS\n%%Orientation: Landscape\n%%EndComments\npage\n%%EOF\n");
  // Its comment cannot be added: no page either.
  fs.put("p.ps.part", whole);
  fs.full = true;
  EXPECT_EQ(finish_page_file(fs, "p.ps.part"),
            "cannot add the page's orientation: No space left on device");
}

}  // namespace
}  // namespace dendro
