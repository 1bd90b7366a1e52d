#include "plots/page_parts.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "plots/plot_loop.h"
#include "plots/plot_menu.h"
#include "series/text.h"

namespace dendro {
namespace {

// PLplot copies a device name of at most this many characters.
constexpr std::size_t kDeviceNameBuffer = 80;
constexpr std::string_view kNoteIndent = "             ";  // 13 blanks

}  // namespace

std::pair<double, double> window_limits(const Axis& a) {
  if (a.min == a.max) return {a.min - 1.0, a.max + 1.0};
  return {a.min, a.max};
}

void open_panel(Viewport vp, const Axis& x, const Axis& v) {
  pladv(0);
  plvpor(vp.left, vp.right, vp.bottom, vp.top);
  const auto [x_min, x_max] = window_limits(x);
  const auto [v_min, v_max] = window_limits(v);
  plwind(x_min, x_max, v_min, v_max);
}

void draw_axes(const PlotStyle& style, const Axis& x, const Axis& v, const char* x_options,
               const char* y_options) {
  plcol0(style.frame_colour);
  plaxes(window_limits(x).first, window_limits(v).first, x_options, x.major, x.minor, y_options,
         v.major, v.minor);
}

void draw_labels(const PlotStyle& style, std::string_view x_label, std::string_view y_label,
                 std::string_view title) {
  plcol0(style.text_colour);
  pllab(label_text(x_label).c_str(), label_text(y_label).c_str(), label_text(title).c_str());
}

void draw_page_title(double displacement, double position, double justification,
                     std::string_view text, int colour) {
  pladv(0);
  plvpor(0.1, 0.9, 0.1, 0.9);
  draw_note("t", displacement, position, justification, text, colour);
}

void draw_note(std::string_view side, double displacement, double position, double justification,
               std::string_view text, int colour) {
  plcol0(colour);
  plmtex(std::string(side).c_str(), displacement, position, justification,
         label_text(text).c_str());
}

void draw_bars(std::span<const double> left, std::span<const double> right,
               std::span<const double> values, int colour) {
  plpsty(kBarPattern);
  plcol0(colour);
  const std::size_t n = std::min({left.size(), right.size(), values.size()});
  for (std::size_t i = 0; i < n; ++i) {
    if (!std::isfinite(values[i])) continue;
    const std::array<double, 4> x{left[i], left[i], right[i], right[i]};
    const std::array<double, 4> y{0.0, values[i], values[i], 0.0};
    plfill(4, x.data(), y.data());
    plline(4, x.data(), y.data());
  }
}

void draw_finite(std::span<const double> x, std::span<const double> y, int colour) {
  const std::size_t n = std::min(x.size(), y.size());
  std::size_t start = 0;
  while (start < n) {
    while (start < n && !(std::isfinite(x[start]) && std::isfinite(y[start]))) ++start;
    std::size_t end = start;
    while (end < n && std::isfinite(x[end]) && std::isfinite(y[end])) ++end;
    if (end > start)
      draw_line(x.subspan(start, end - start), y.subspan(start, end - start), colour);
    start = end;
  }
}

bool drawing_to_file() {
  std::array<char, kDeviceNameBuffer> device{};
  plgdev(device.data());
  return std::string_view(device.data()) == "psc";
}

void use_menu_to_17(PlotDefinition& plot) {
  plot.menu = line_page_menu({.colour_label = "fit  color"});
  plot.last_style_item = 17;
  plot.unknown_option = "Unknown option re-enter a valid request";
}

void use_short_menu(PlotDefinition& plot, Console& con) {
  const MenuBox box{.width = 47, .gap = " ", .right_cell = 22};
  plot.menu =
      plot_options_menu(box,
                        {menu_item_row(box, {"replot", 0}, {"line color", 4}),
                         menu_item_row(box, {"background color", 1}, {"bar fill  color", 5}),
                         menu_item_row(box, {"frame color", 2}, {"curve style", 6}),
                         menu_item_row(box, {"text color", 3}, {"curve width", 7})},
                        "              reset options  [99]", "             [s]ave   <[c]ontinue>");
  plot.last_style_item = 7;
  // An answer that is no number is refused without being repeated.
  plot.unknown_option = "Unknown option re-enter a valid choise";
  plot.extra_item = [&con](int item, std::string_view typed) {
    if (item == kStyleReset) return false;
    con.say("");
    con.say(std::string(kNoteIndent) + "Unknown option " + std::string(typed) +
            " re-enter a valid choise");
    return true;
  };
}

}  // namespace dendro
