#include "plots/weights_plot.h"

#include <plplot/plplot.h>

#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "plots/ticks.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kLabelLength = 50;
constexpr std::size_t kTitleLength = 70;
constexpr Viewport kFrame{0.12, 0.95, 0.2, 0.8};

// A year without weights holds the missing-value marker: the curves break there instead of
// diving to -9.99 below the frame.
std::vector<double> weights_of(std::span<const float> values) {
  std::vector<double> out = to_plot(values);
  for (double& v : out) {
    if (static_cast<float>(v) == kMissing) v = std::numeric_limits<double>::quiet_NaN();
  }
  return out;
}

class WeightsPage {
 public:
  WeightsPage(std::span<const float> median, std::span<const float> lower_hinge,
              std::span<const float> largest, int first_year, std::string_view data_file,
              std::string_view title, std::string_view x_label, std::string_view y_label)
      : first_year_(first_year),
        median_(weights_of(median)),
        lower_hinge_(weights_of(lower_hinge.first(median.size()))),
        largest_(weights_of(largest.first(median.size()))) {
    for (std::size_t j = 0; j < median_.size(); ++j) {
      years_.push_back(first_year + static_cast<int>(j));
    }
    x_label_ = left_justified(trim_right(x_label), kLabelLength);
    y_label_ = left_justified(y_label, kLabelLength);
    title_ = left_justified(std::string(trim_right(data_file)) + std::string(title), kTitleLength);
  }

  // Weights lie between 0 and 1: the value axis is fixed, whatever the values.
  void set_up(PlotStyle& s) const {
    const int last_year = first_year_ + static_cast<int>(years_.size()) - 1;
    s.x.min = decade_start(static_cast<float>(first_year_));
    s.x.max = decade_end(static_cast<float>(last_year));
    s.y.min = 0.0f;
    s.y.max = 1.0f;
    ticit(s.x, s.y, s.z);
  }

  void draw(const PlotStyle& s) const {
    draw_frame(s, kFrame, s.x, s.y, x_label_, y_label_, title_);
    pllsty(s.line_style);
    pen(s.curve_width);
    draw_finite(years_, median_, s.curve_colour);
    pen(s.line_style);
    draw_finite(years_, lower_hinge_, s.line_colour);
    draw_finite(years_, largest_, s.second_curve_colour);
  }

 private:
  int first_year_;
  std::vector<double> years_, median_, lower_hinge_, largest_;
  std::string x_label_, y_label_, title_;
};

}  // namespace

void crnplt7(PlotSession& session, std::span<const float> median,
             std::span<const float> lower_hinge, std::span<const float> largest, int first_year,
             std::string_view data_file, std::string_view title, std::string_view x_label,
             std::string_view y_label) {
  if (lower_hinge.size() < median.size() || largest.size() < median.size()) {
    throw std::invalid_argument("crnplt7: a weights curve is shorter than the median curve");
  }
  const WeightsPage page(median, lower_hinge, largest, first_year, data_file, title, x_label,
                         y_label);
  PlotDefinition def;
  use_menu_to_17(def);
  def.title = std::string(trim_right(data_file)) + std::string(title);
  bind_page(def, page);
  plot_loop(session, def);
}

}  // namespace dendro
