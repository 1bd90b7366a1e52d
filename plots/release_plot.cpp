#include "plots/release_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>
#include <string>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/ticks.h"
#include "series/blocks.h"
#include "series/descriptive.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kTitleLength = 70;
constexpr std::size_t kLabelLength = 60;
constexpr Viewport kTopFrame{0.1, 0.9, 0.15, 0.86};
constexpr Viewport kBottomFrame{0.1, 0.9, 0.2, 0.75};
constexpr std::string_view kUnable = "Unable to display this plot";
// The bottom panel shows changes and scaled values within these bounds only.
constexpr float kLowestShown = -10.0f;
constexpr float kHighestShown = 20.0f;
// Start values of the limit searches and the headroom above the highest error bar.
constexpr float kSearchStart = 999.9f;
constexpr float kHeadroom = 0.5f;
// The window means are shifted before the release search, the later ones by half as much.
constexpr float kMeanShift = 0.01f;
constexpr float kLaterMeanShift = 0.005f;
// Release dates: ten years to a line, the lines 1.5 character heights apart.
constexpr std::size_t kDatesPerLine = 10;
constexpr double kFirstDatesLine = 4.2;
constexpr double kDatesLineStep = 1.5;

struct Spread {
  float mean = 0;
  float std_dev = 0;
};

// Mean and standard deviation of the finite values (a growth change from a zero mean is not
// a number and takes no part).
Spread spread_of(std::span<const float> values) {
  std::vector<float> finite;
  for (float v : values) {
    if (std::isfinite(v)) finite.push_back(v);
  }
  if (finite.empty()) return {};
  const Moments m = moment(finite);
  return {m.mean, finite.size() > 1 ? m.std_dev : 0.0f};
}

std::vector<double> shifted(std::span<const double> values, double by) {
  std::vector<double> out(values.begin(), values.end());
  for (double& v : out) v += by;
  return out;
}

std::vector<float> to_single(std::span<const double> values) {
  return std::vector<float>(values.begin(), values.end());
}

// Vertical bars at the abscissae from the lower to the upper end.
void draw_error_bars(std::span<const double> x, std::span<const double> lower,
                     std::span<const double> upper, int colour) {
  for (std::size_t j = 0; j < x.size() && j < lower.size() && j < upper.size(); ++j) {
    const std::vector<double> at{x[j], x[j]};
    const std::vector<double> ends{lower[j], upper[j]};
    draw_finite(at, ends, colour);
  }
}

class ReleasePlot {
 public:
  ReleasePlot(const ReleasePage& page, const ReleaseSearch& search) : in_(page), search_(search) {}

  void set_up(PlotStyle& s);
  void draw(const PlotStyle& s) const;
  int first_window_year() const { return in_.first_year + in_.window - 1; }

 private:
  void copy_and_scale();
  void draw_top(const PlotStyle& s) const;
  void draw_bottom(const PlotStyle& s) const;

  const ReleasePage& in_;
  const ReleaseSearch& search_;

  std::vector<double> x1_, z_;                    // the series' years, scaled series
  std::vector<double> x2_, g_, gs_, h_, hs_, p_;  // one entry per window drawn
  std::vector<double> g_lower_, g_upper_;
  std::string top_title_, bottom_title_, top_y_, bottom_x_, bottom_y_, criteria_;
  bool unable_ = false;
};

void ReleasePlot::copy_and_scale() {
  const std::size_t nw = in_.change.size();
  const std::size_t ns = in_.series.size();
  x2_.clear();
  for (std::size_t j = 0; j < nw; ++j) x2_.push_back(first_window_year() + static_cast<int>(j));
  g_ = to_plot(in_.means.first(nw));
  gs_ = to_plot(in_.mean_errors.first(nw));
  h_ = to_plot(in_.later_means.first(nw));
  hs_ = to_plot(in_.later_errors.first(nw));
  p_ = to_plot(in_.change);

  // The series is drawn on the scale of the growth changes: standardised, then given their
  // mean and standard deviation. A series without spread lies on their mean.
  const Spread change = spread_of(in_.change);
  const Spread series = spread_of(in_.series);
  x1_.clear();
  z_.clear();
  for (std::size_t j = 0; j < ns; ++j) {
    x1_.push_back(in_.first_year + static_cast<int>(j));
    const float standard =
        series.std_dev > 0.0f ? (in_.series[j] - series.mean) / series.std_dev : 0.0f;
    z_.push_back(standard * change.std_dev + change.mean);
  }
}

void ReleasePlot::set_up(PlotStyle& s) {
  unable_ = false;
  copy_and_scale();

  const auto id = std::string(trim_right(in_.id));
  top_title_ = left_justified(id + std::string(in_.top_title), kTitleLength);
  bottom_title_ = left_justified(id + std::string(in_.bottom_title), kTitleLength);
  top_y_ = left_justified(in_.top_y_label, kLabelLength);
  bottom_x_ = left_justified(in_.bottom_x_label, kLabelLength);
  bottom_y_ = left_justified(in_.bottom_y_label, kLabelLength);
  criteria_ = Layout("('rm:',i3,'yr.  pg: ',i3,'%  se:',i3,' se  bf: ',a1)")
                  .write(in_.window, in_.percent, in_.errors, std::string(1, in_.smoothing));

  // Top panel: from 0 to the highest error bar of either mean, with some headroom.
  const double k = in_.errors;
  float top = -kSearchStart;
  g_lower_.clear();
  g_upper_.clear();
  for (std::size_t j = 0; j < g_.size(); ++j) {
    g_upper_.push_back(g_[j] + k * gs_[j]);
    g_lower_.push_back(g_[j] - k * gs_[j]);
    top = std::max({top, static_cast<float>(g_upper_[j]), static_cast<float>(h_[j] + k * hs_[j])});
  }
  s.y.min = 0.0f;
  s.y.max = top + kHeadroom;

  // Bottom panel: the growth changes and the scaled series over the windows drawn.
  s.z.min = kSearchStart;
  s.z.max = -kSearchStart;
  for (std::size_t j = 0; j < p_.size(); ++j) {
    for (double v : {p_[j], j < z_.size() ? z_[j] : p_[j]}) {
      if (!std::isfinite(v)) continue;
      s.z.min = std::min(s.z.min, static_cast<float>(v));
      s.z.max = std::max(s.z.max, static_cast<float>(v));
    }
  }
  // Without a growth change there is nothing to show below either.
  if (p_.empty() || s.z.min < kLowestShown || s.z.max > kHighestShown) {
    unable_ = true;
    s.z.min = 0.0f;
    s.z.max = s.y.max;
  }

  const float first = static_cast<float>(in_.first_year);
  const float last = x1_.empty() ? first : static_cast<float>(x1_.back());
  s.x.min = decade_start(first);
  s.x.max = decade_end(last);
  ticit(s.x, s.y, s.z);
}

void ReleasePlot::draw_top(const PlotStyle& s) const {
  draw_frame(s, kTopFrame, s.x, s.y, "", top_y_, top_title_);
  pllsty(s.line_style);
  draw_finite(x2_, g_, s.second_curve_colour);
  draw_error_bars(x2_, g_lower_, g_upper_, s.second_curve_colour);

  const double k = in_.errors;
  std::vector<double> h_lower, h_upper;
  for (std::size_t j = 0; j < h_.size(); ++j) {
    h_upper.push_back(h_[j] + k * hs_[j]);
    h_lower.push_back(h_[j] - k * hs_[j]);
  }
  draw_finite(x2_, h_, s.curve_colour);
  draw_error_bars(x2_, h_lower, h_upper, s.curve_colour);
  draw_note("t", -0.01, 0.27, 0.0, criteria_, s.text_colour);
}

void ReleasePlot::draw_bottom(const PlotStyle& s) const {
  open_panel(kBottomFrame, s.x, s.z);
  pllsty(s.line_style);
  draw_axes(s, s.x, s.z, "abinst", "abinstv");
  if (unable_) {
    draw_labels(s, bottom_x_, bottom_y_, kUnable);
    return;
  }
  draw_labels(s, bottom_x_, bottom_y_, "");
  draw_finite(x2_, p_, s.second_curve_colour);
  draw_finite(x1_, z_, s.curve_colour);

  // The search sees the means as the page shifts them, the earlier ones by more.
  const std::vector<double> g = shifted(g_, kMeanShift);
  const std::vector<double> h = shifted(h_, kLaterMeanShift);
  const std::vector<int> releases = search_(to_single(g), to_single(gs_), to_single(h),
                                            to_single(hs_), in_.change, first_window_year());
  for (int year : releases) {
    const std::vector<double> at{static_cast<double>(year), static_cast<double>(year)};
    const std::vector<double> ends{s.z.max, s.z.min};
    draw_line(at, ends, s.line_colour);
  }
  const std::vector<double> threshold_x{x2_.front(), x2_.back()};
  draw_level(threshold_x, in_.percent / 100.0, s.line_colour);
  if (!x1_.empty()) {
    const std::vector<double> zero_x{x1_.front(), x1_.back()};
    draw_level(zero_x, 0.0, s.line_colour);
  }
  draw_note("t", 6.0, 0.2, 0.0, bottom_title_, s.line_colour);

  plfontld(1);
  plfont(1);
  const std::vector<std::string> lines = release_dates_lines(releases);
  for (std::size_t l = 0; l < lines.size(); ++l) {
    const double displacement = kFirstDatesLine - kDatesLineStep * static_cast<double>(l);
    draw_note("t", displacement, l == 0 ? 0.05 : 0.22, 0.0, lines[l], s.line_colour);
  }
}

void ReleasePlot::draw(const PlotStyle& s) const {
  draw_top(s);
  draw_bottom(s);
}

std::vector<std::string> release_menu() {
  return line_page_menu({.colour_label = "gap fill  color", .last_item = 19});
}

}  // namespace

std::vector<std::string> release_dates_lines(std::span<const int> years) {
  // Each date takes a blank and its year: four columns, or as many as the earliest takes.
  const int earliest = years.empty() ? 0 : *std::min_element(years.begin(), years.end());
  const std::string width = std::to_string(year_field(earliest, 5));
  const Layout year_text("(i" + width + ")");
  const Layout first("(a14,10a" + width + ")");
  const Layout more("(14x,10a" + width + ")");
  std::vector<std::string> texts;
  for (int y : years) texts.push_back(year_text.write(y));
  std::vector<std::string> lines;
  const std::span<const std::string> all(texts);
  for (std::size_t at = 0; at == 0 || at < all.size(); at += kDatesPerLine) {
    const auto part = all.subspan(at, std::min(kDatesPerLine, all.size() - at));
    lines.push_back(at == 0 ? first.write("Release dates:", part) : more.write(part));
  }
  return lines;
}

int crnplt11(PlotSession& session, const ReleasePage& page, const ReleaseSearch& search,
             int& plot_flag) {
  const std::size_t nw = page.change.size();
  if (page.means.size() < nw || page.mean_errors.size() < nw || page.later_means.size() < nw ||
      page.later_errors.size() < nw) {
    throw std::invalid_argument("crnplt11: fewer window means than growth changes");
  }
  ReleasePlot plot(page, search);
  PlotDefinition def;
  def.menu = release_menu();
  def.last_style_item = 19;
  def.unknown_option = "unknown option re-enter a valid number";
  def.shape = {1, 2};
  def.title = std::string(trim_right(page.id)) + std::string(page.top_title);
  bind_page(def, plot);
  if (plot_loop(session, def) == PlotExit::no_more_plots) plot_flag = 0;
  return plot.first_window_year();
}

}  // namespace dendro
