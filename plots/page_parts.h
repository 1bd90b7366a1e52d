// Drawing calls and menu texts that the bar, weights, release, component and spectra pages
// share, on the PLplot stream of the current page.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "plots/panel.h"
#include "plots/plot_loop.h"
#include "plots/plot_style.h"

namespace dendro {

// PLplot's fill pattern of the bars: hatched at 45 degrees.
inline constexpr int kBarPattern = 3;

// The window limits of an axis: an axis without two different limits is opened by a unit
// on each side, as PLplot needs them.
std::pair<double, double> window_limits(const Axis& a);

// Advances to the next subpage and opens the window x by v in the viewport. A window needs
// two different limits on each axis: an axis without them is opened by a unit on each side.
void open_panel(Viewport vp, const Axis& x, const Axis& v);

// The axes crossing at the minima, in the frame colour, with the axes' ticks.
void draw_axes(const PlotStyle& style, const Axis& x, const Axis& v, const char* x_options,
               const char* y_options);

// The axis labels and the title, in the text colour.
void draw_labels(const PlotStyle& style, std::string_view x_label, std::string_view y_label,
                 std::string_view title);

// The title of a page of several panels, above the page's viewport (0.1 to 0.9 both ways)
// on the first subpage, before the page is divided.
void draw_page_title(double displacement, double position, double justification,
                     std::string_view text, int colour);

// A text beside or inside the frame: PLplot's plmtex with its justification.
void draw_note(std::string_view side, double displacement, double position, double justification,
               std::string_view text, int colour);

// One hatched bar per value, from 0 to the value, between its left and right edge, filled
// and outlined in the colour.
void draw_bars(std::span<const double> left, std::span<const double> right,
               std::span<const double> values, int colour);

// A polyline through the points whose values are finite, broken where a value is not (PLplot
// has no meaning for a coordinate that is not a number).
void draw_finite(std::span<const double> x, std::span<const double> y, int colour);

// True while the page goes into a file (a save) rather than to the screen.
bool drawing_to_file();

// The plot options menu of the weights and eigenvalue pages (items 0 to 17 and 99, save,
// continue and no more plots) on a plot: the style items 1 to 17, other numbers refused.
void use_menu_to_17(PlotDefinition& plot);

// The short menu of the bar pages (items 0 to 7 and 99, save and continue) on a plot: the
// style items 1 to 7, and every other number but the reset refused with the answer repeated.
void use_short_menu(PlotDefinition& plot, Console& con);

}  // namespace dendro
