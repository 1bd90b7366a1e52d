// The plot style that every plot of kalder owns, its editor, and the label aligner.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "series/console.h"

namespace dendro {

// One value axis of a page: its limits, the distance between major ticks (data units) and
// the number of minor intervals between two major ticks.
struct Axis {
  float min = 0;
  float max = 0;
  float major = 0;
  int minor = 0;
};

// Colour numbers are entries of PLplot's colour map 0; entries 0 and 15 are white and black
// on a light background and the reverse on a black one.
inline constexpr int kWhite = 0;
inline constexpr int kRed = 1;
inline constexpr int kBlue = 9;
inline constexpr int kBlack = 15;

// The look of a page. The colours, widths and symbols return to their defaults on a reset
// (item 99); the axes are set by the plot itself (limits, then ticks).
struct PlotStyle {
  int bg_red = 255, bg_green = 255, bg_blue = 255;
  int black_background = 0;  // 1: the plot loop swaps colours 0 and 15
  int line_style = 1;        // PLplot line style; also the normal pen width
  int curve_width = 2;       // pen width of the fitted or second curve
  int line_colour = kBlack;
  int curve_colour = kRed;
  int second_curve_colour = kBlue;
  int text_colour = kBlack;   // title and axis labels
  int frame_colour = kBlack;  // box, ticks and tick labels
  int symbol = 20;            // PLplot symbol code; 32 draws no symbol
  int symbol_colour = kBlue;
  Axis x, y, z;  // z is the second value axis
};

// Item code of the style reset.
inline constexpr int kStyleReset = 99;

// Acts on one item of the plot options menu: 1 to 21 ask the new value on the console and
// store it unchecked (the user may choose any PLplot value); 99 restores the defaults of
// colours, widths and symbols and leaves the axes. Other codes do nothing.
void arspltstyle(Console& con, PlotStyle& style, int item);

// Reads the first value of a free-form answer into `value`; an answer that is no number
// leaves the value as it was and says so.
void read_value(Console& con, float& value);

// Moves the text left so that its first non-blank character comes first; the freed
// positions at the end become blanks, so the length does not change.
void lalign(std::string& text);

// The text in a field of `length` characters (cut or padded with blanks), moved left.
std::string left_justified(std::string_view text, std::size_t length);

}  // namespace dendro
