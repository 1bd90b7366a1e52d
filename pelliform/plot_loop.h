// The plot loop of pelliform and its line plot. Every plot of the program draws one page,
// then asks on the console whether to save it as a PostScript file, draw it again, or go
// on. Pages go to the screen when a display opens (PlotSession decides); saves go to the
// colour PostScript device under a name fixed by the plot or built from its title.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// Marks of the reference series of the line plots: not drawn, or the EPS threshold line.
inline constexpr float kNoReference = -999.9f;
inline constexpr float kEpsThreshold = 0.85f;

// The choices of the menu that most plots show, as the row between the menu's bars starts.
inline constexpr std::string_view kPlotChoices = "       [s]ave   <[c]ontinue>   [r]eplot";

// One page as the loop runs it.
struct LoopPage {
  std::string title;      // what the page shows, named on the console without a screen
  std::string save_name;  // the PostScript file written by [s]ave
  std::string choices = std::string(kPlotChoices);
  PageShape shape;
  bool offers_no_more = false;  // "n" ends the caller's run of such plots
  std::function<void()> draw;   // draws the page on an initialised PLplot stream
};

// Draws the page, then asks until the user goes on: "s" writes the page to its file, "r"
// shows it again, "n" (where offered) returns no_more_plots, anything else returns.
PlotExit page_loop(PlotSession& session, const LoopPage& page);

// The save name of a page titled `title`: the title's letters, digits, "-", "_" and "."
// (blanks and every other character left out, so that the name is one a shell and any
// file system take as it stands), followed by ".ps", within the 60-character name field
// (a longer title is cut to leave room for ".ps").
std::string title_save_name(std::string_view title);

// The texts of a line page.
struct LineTexts {
  std::string x_label, y_label, title, legend1, legend2;
};

// True for a value that marks an empty cell or an undefined statistic rather than data:
// -999.0 (empty cell), -999.9 (no reference series), -99.9 (undefined RBAR or EPS) and
// -99.0 (undefined statistic). No page draws one or lets one widen its axes.
bool is_marker(double v);

// Draws, in the current colour, a line through each run of consecutive points whose value
// is defined (finite and no marker); a run of one point is drawn as a dot.
void draw_defined(std::span<const double> x, std::span<const double> y);

// Two series (blue and red) and a reference series (black; not drawn when its first value
// is -999.9, dashed and with the y axis reaching 1.0 when it is 0.85) against the years
// first_year, first_year + 1, ... (one per value of series1). The y axis takes in every
// defined value drawn, the reference line's among them; markers are neither drawn nor
// counted, and a page without any defined value of the two series says so.
PlotExit plot1(PlotSession& session, std::span<const float> series1, std::span<const float> series2,
               int first_year, const LineTexts& texts, std::span<const float> reference);

// Limits of a page axis; PLplot refuses an empty range, so equal limits are widened.
struct Range {
  double min = 0, max = 0;
};
Range usable(Range r);

// Opens the one panel of a line page over x and y: black ink of width 2, axes and ticks.
void open_line_panel(const Range& x, const Range& y);

}  // namespace dendro
