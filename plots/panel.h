// Drawing calls that the plots share, on the PLplot stream of the current page.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "plots/plot_style.h"

namespace dendro {

// A viewport in normalized subpage coordinates.
struct Viewport {
  double left, right, bottom, top;
};

// Advances to the next subpage and draws its frame: the window x by v, the axes crossing at
// the minima (frame colour) and the labels (text colour).
void draw_frame(const PlotStyle& style, Viewport vp, const Axis& x, const Axis& v,
                std::string_view x_label, std::string_view y_label, std::string_view title);

// One polyline in the given colour over the first min(x, y) points.
void draw_line(std::span<const double> x, std::span<const double> y, int colour);
// A horizontal line at `level` across the given abscissae.
void draw_level(std::span<const double> x, double level, int colour);

// Pen width (PLplot's line width).
void pen(int width);

// A text inside or outside the frame (PLplot's plmtex, left-justified at `position`).
void draw_text(std::string_view side, double displacement, double position, std::string_view text,
               int colour);

// The values as PLplot takes them.
std::vector<double> to_plot(std::span<const float> values);

}  // namespace dendro
