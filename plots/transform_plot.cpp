#include "plots/transform_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/ticks.h"
#include "series/descriptive.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr Viewport kPanelFrame{0.18, 0.96, 0.15, 0.75};
constexpr double kHalfBar = 0.1;
constexpr std::string_view kPageTitle = "DATA TRANSFORM STATISTICS";
constexpr std::size_t kMedianTextLength = 50;
constexpr float kLimitStart = 9999.0f;

struct StatisticPanel {
  int column;  // of the chronology table
  std::string_view y_label;
  std::string_view title;
  float min_start;  // the y range starts from these values
  float max_start;
  bool zero_line;
  double median_displacement;
  bool ticks_per_value;  // limits and ticks chosen again after every value
};

// Skewness before the transformation may be negative, but its axis always shows 0.
constexpr std::array<StatisticPanel, 4> kPanels{{
    {1, "SKEW", "BEFORE TRANSFORMATION SKEW", 0.0f, -kLimitStart, false, -0.05, true},
    {2, "CORRELATION", "SPREAD VS. LEVEL CORRELATION", 0.0f, -kLimitStart, false, -0.03, false},
    {4, "SKEW", "AFTER TRANSFORMATION SKEW", kLimitStart, -kLimitStart, true, -0.02, false},
    {5, "CORRELATION", "SPREAD VS. LEVEL CORRELATION", kLimitStart, -kLimitStart, true, -0.01,
     false},
}};

BarAxes axes_of(std::span<const float> values, const StatisticPanel& panel, Axis z) {
  BarAxes a;
  a.x = {1.0f, static_cast<float>(values.size()), 0.0f, 0};
  a.y = {panel.min_start, panel.max_start, 0.0f, 0};
  for (float v : values) {
    a.y.min = std::min(a.y.min, v);
    a.y.max = std::max(a.y.max, v);
    if (panel.ticks_per_value) ticit(a.x, a.y, z);
  }
  if (!panel.ticks_per_value) ticit(a.x, a.y, z);
  return a;
}

class TransformPage {
 public:
  TransformPage(const Tsi2& tsi2, int n) {
    for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
      positions_.push_back(static_cast<double>(i + 1));
      left_.push_back(positions_.back() - kHalfBar);
      right_.push_back(positions_.back() + kHalfBar);
    }
    for (const StatisticPanel& p : kPanels) {
      const std::vector<float>& column = tsi2.columns[at(p.column)];
      columns_.emplace_back(column.begin(), column.begin() + n);
    }
  }

  void draw(const PlotStyle& s) const {
    draw_page_title(2.3, 0.3, 0.0, kPageTitle, s.text_colour);
    plssub(2, 2);
    for (std::size_t k = 0; k < kPanels.size(); ++k) draw_panel(s, kPanels[k], columns_[k]);
  }

 private:
  void draw_panel(const PlotStyle& s, const StatisticPanel& panel,
                  const std::vector<float>& values) const;

  std::vector<double> positions_, left_, right_;
  std::vector<std::vector<float>> columns_;  // in series order, as every drawing needs them
};

void TransformPage::draw_panel(const PlotStyle& s, const StatisticPanel& panel,
                               const std::vector<float>& values) const {
  const auto [x, y] = axes_of(values, panel, s.z);
  open_panel(kPanelFrame, x, y);
  draw_axes(s, x, y, "abitnr", "abinstv");
  draw_labels(s, "SERIES", panel.y_label, panel.title);
  const std::vector<double> heights = to_plot(values);
  draw_bars(left_, right_, heights, s.symbol_colour);
  const std::vector<double> across{1.0, static_cast<double>(values.size())};
  if (panel.zero_line) draw_level(across, 0.0, s.symbol_colour);

  // Median and hinges from a copy: the column keeps series order for the next drawing.
  std::vector<float> sorted = values;
  const FiveNumbers f = mfs(sorted);
  draw_level(across, f.median, s.line_colour);
  draw_level(across, f.upper_hinge, s.curve_colour);
  draw_level(across, f.lower_hinge, s.curve_colour);
  std::string text = left_justified(Layout("('MEDIAN:',f7.2)").write(f.median), kMedianTextLength);
  draw_note("t", panel.median_displacement, 0.36, 0.0, text, s.text_colour);
}

std::vector<std::string> transform_menu() {
  const MenuBox box{.title_indent = 14, .left_cell = 21, .gap = " ", .right_cell = 22};
  return plot_options_menu(box,
                           {menu_item_row(box, {"replot", 0}, {"line color", 4}),
                            menu_item_row(box, {"background color", 1}, {"bar fill  color", 21}),
                            menu_item_row(box, {"frame color", 2}, {"curve style", 6}),
                            menu_item_row(box, {"text color", 3}, {"curve width", 7})},
                           "           reset plot options   [99]",
                           "              [s]ave  [c]ontinue");
}

}  // namespace

BarAxes power1_axes(std::span<const float> values, int panel, Axis z) {
  if (panel < 1 || panel > static_cast<int>(kPanels.size())) {
    throw std::invalid_argument("power1_axes: panels are 1 to 4");
  }
  return axes_of(values, kPanels[at(panel)], z);
}

void power1(PlotSession& session, const Tsi2& tsi2, int n) {
  if (n < 1) return;  // no series, no bars
  for (int c : {1, 2, 4, 5}) {
    if (tsi2.columns[at(c)].size() < static_cast<std::size_t>(n)) {
      throw std::invalid_argument("power1: the chronology table holds fewer rows than series");
    }
  }
  const TransformPage page(tsi2, n);
  PlotDefinition def;
  def.menu = transform_menu();
  def.last_style_item = 21;
  def.unknown_option = "Unknown option re-enter a valid number or letter";
  def.title = std::string(kPageTitle);
  // The panels choose their own limits at every drawing: nothing to set up but the style.
  def.set_up = [](PlotStyle&) {};
  def.draw = [&page](const PlotStyle& s) { page.draw(s); };
  plot_loop(session, def);
}

}  // namespace dendro
