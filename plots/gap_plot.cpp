#include "plots/gap_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <string>

#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/ticks.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kLabelLength = 50;
constexpr std::size_t kTitleLength = 60;
constexpr float kMaxStart = -999.0f;  // start of the largest-value search
constexpr Viewport kFrame{0.12, 0.95, 0.2, 0.8};

class GapPage {
 public:
  GapPage(std::span<const float> values, std::span<const float> trend, int n, int first_year,
          std::string_view id, std::string_view title, std::string_view x_label,
          std::string_view y_label, std::span<const int> filled)
      : values_in_(values),
        trend_in_(trend),
        n_(std::max(n, 0)),
        first_year_(first_year),
        id_(id),
        title_in_(title),
        x_label_in_(x_label),
        y_label_in_(y_label),
        filled_(filled) {}

  void set_up(PlotStyle& s);
  void draw(const PlotStyle& s) const;

 private:
  void draw_run(const PlotStyle& s, const FilledRun& run) const;

  std::span<const float> values_in_, trend_in_;
  const int n_;
  const int first_year_;
  std::string_view id_, title_in_, x_label_in_, y_label_in_;
  std::span<const int> filled_;

  std::vector<double> years_, values_, trend_;
  std::vector<FilledRun> runs_;
  std::string x_label_, y_label_, title_;
};

void GapPage::set_up(PlotStyle& s) {
  const auto count = static_cast<std::size_t>(n_);
  years_.resize(count);
  values_.assign(count, 0.0);
  trend_.assign(count, 0.0);
  for (std::size_t j = 0; j < count; ++j) years_[j] = first_year_ + static_cast<int>(j);
  std::copy_n(values_in_.begin(), std::min(count, values_in_.size()), values_.begin());
  std::copy_n(trend_in_.begin(), std::min(count, trend_in_.size()), trend_.begin());
  runs_ = filled_runs(filled_);

  x_label_ = left_justified(trim_right(x_label_in_), kLabelLength);
  y_label_ = left_justified(y_label_in_, kLabelLength);
  title_ = left_justified(std::string(trim_right(id_)) + std::string(title_in_), kTitleLength);

  // The trend does not enter the y range: the series decides it, from 0.
  const int last_year = first_year_ + n_ - 1;
  s.x.min = decade_start(static_cast<float>(first_year_));
  s.x.max = decade_end(static_cast<float>(last_year));
  s.y.min = 0.0f;
  s.y.max = kMaxStart;
  for (double v : values_) s.y.max = std::max(s.y.max, static_cast<float>(v));
  ticit(s.x, s.y, s.z);
}

// A filled run drawn again with a year of context on each side, and boxed from the bottom
// of the frame to its top. The context stops at the ends of the series, so that a run that
// touches the first or last year reads no value outside it.
void GapPage::draw_run(const PlotStyle& s, const FilledRun& run) const {
  const int from = std::max(run.first - 1, first_year_);
  const int to = std::min(run.last + 1, first_year_ + n_ - 1);
  if (from > to) return;
  const auto begin = static_cast<std::ptrdiff_t>(from - first_year_);
  const auto end = static_cast<std::ptrdiff_t>(to - first_year_ + 1);
  const std::vector<double> x(years_.begin() + begin, years_.begin() + end);
  const std::vector<double> series(values_.begin() + begin, values_.begin() + end);
  const std::vector<double> trend(trend_.begin() + begin, trend_.begin() + end);
  pen(s.curve_width);
  draw_line(x, series, s.curve_colour);
  draw_line(x, trend, s.second_curve_colour);

  pen(s.line_style);
  const double top = s.y.max;
  const std::vector<double> left{static_cast<double>(from), static_cast<double>(from)};
  const std::vector<double> right{static_cast<double>(to), static_cast<double>(to)};
  const std::vector<double> bottom_to_top{0.0, top};
  draw_line(left, bottom_to_top, s.line_colour);
  draw_line(right, bottom_to_top, s.line_colour);
  draw_level(x, top, s.line_colour);
}

void GapPage::draw(const PlotStyle& s) const {
  draw_frame(s, kFrame, s.x, s.y, x_label_, y_label_, title_);
  pllsty(s.line_style);
  draw_line(years_, values_, s.line_colour);
  pen(s.curve_width);
  draw_line(years_, trend_, s.line_colour);
  pen(s.line_style);
  for (const FilledRun& run : runs_) draw_run(s, run);
}

std::vector<std::string> gap_menu() {
  return line_page_menu(
      {.colour_label = "fit  color", .reset = "            reset plot options  [99]"});
}

}  // namespace

std::vector<FilledRun> filled_runs(std::span<const int> years) {
  std::vector<FilledRun> runs;
  if (years.empty()) return runs;
  const int m = static_cast<int>(years.size());
  if (m == years.back() - years.front() + 1) {
    runs.push_back({years.front(), years.back()});
    return runs;
  }
  int start = years.front();
  for (std::size_t k = 1; k < years.size(); ++k) {
    if (years[k] - years[k - 1] >= 2) {
      runs.push_back({start, years[k - 1]});
      start = years[k];
    }
  }
  runs.push_back({start, years.back()});
  return runs;
}

void crnplt5(PlotSession& session, std::span<const float> values, std::span<const float> trend,
             int n, int first_year, std::string_view id, std::string_view title,
             std::string_view x_label, std::string_view y_label, std::span<const int> filled_years,
             int& plot_flag) {
  GapPage page(values, trend, n, first_year, id, title, x_label, y_label, filled_years);
  PlotDefinition def;
  def.menu = gap_menu();
  def.last_style_item = 17;
  def.unknown_option = "Unknown option re-enter a valid request";
  def.title = std::string(trim_right(id)) + std::string(title);
  bind_page(def, page);
  if (plot_loop(session, def) == PlotExit::no_more_plots) plot_flag = 0;
}

}  // namespace dendro
