#include "plots/panel.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <string>
#include <utility>

#include "plots/plot_loop.h"

namespace dendro {

void draw_frame(const PlotStyle& style, Viewport vp, const Axis& x, const Axis& v,
                std::string_view x_label, std::string_view y_label, std::string_view title) {
  pladv(0);
  plvpor(vp.left, vp.right, vp.bottom, vp.top);
  // A window needs two different limits: one that has none is opened by a unit on each
  // side, as PLplot itself would do after a warning on the terminal.
  const auto opened = [](const Axis& a) {
    return a.min == a.max ? std::make_pair(a.min - 1.0, a.max + 1.0)
                          : std::make_pair(static_cast<double>(a.min), static_cast<double>(a.max));
  };
  const auto [x_min, x_max] = opened(x);
  const auto [v_min, v_max] = opened(v);
  plwind(x_min, x_max, v_min, v_max);
  plcol0(style.frame_colour);
  plaxes(x_min, v_min, "abinst", x.major, x.minor, "abinstv", v.major, v.minor);
  plcol0(style.text_colour);
  pllab(label_text(x_label).c_str(), label_text(y_label).c_str(), label_text(title).c_str());
}

void draw_line(std::span<const double> x, std::span<const double> y, int colour) {
  const std::size_t n = std::min(x.size(), y.size());
  if (n == 0) return;
  plcol0(colour);
  plline(static_cast<PLINT>(n), x.data(), y.data());
}

void draw_level(std::span<const double> x, double level, int colour) {
  const std::vector<double> y(x.size(), level);
  draw_line(x, y, colour);
}

void pen(int width) { plwidth(width); }

void draw_text(std::string_view side, double displacement, double position, std::string_view text,
               int colour) {
  plcol0(colour);
  plmtex(std::string(side).c_str(), displacement, position, 0.0, label_text(text).c_str());
}

std::vector<double> to_plot(std::span<const float> values) {
  return std::vector<double>(values.begin(), values.end());
}

}  // namespace dendro
