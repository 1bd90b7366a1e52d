#include "plots/series_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <string>
#include <vector>

#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/ticks.h"
#include "series/files/interrupts.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kNameLength = 40;
constexpr std::size_t kLabelLength = 60;
constexpr int kLongestStart = -9999;  // start of the longest-length search
constexpr float kMinStart = 9999.0f;
constexpr float kMaxStart = -9999.0f;
constexpr Viewport kFrame{0.12, 0.95, 0.2, 0.8};
constexpr float kOutlierLevel = 1.0f;  // the outlier kinds split their values here

// The data file name cut at its first blank and centred in a 40-character text.
std::string centred_name(const Commands& commands) {
  const std::string name = commands.get(Commands::kNameFirst, Commands::kNameLast);
  const int length = csr(name, 1);
  // A name of the full 40 characters starts in position 1 rather than before it.
  const int blanks = std::max(0, 19 - length / 2);
  return field(std::string(static_cast<std::size_t>(blanks), ' ') +
                   name.substr(0, static_cast<std::size_t>(length)),
               kNameLength);
}

// The part of one series that is drawn: x from `first` to `last` (years, or rings from 1).
struct Window {
  int first = 0;
  int last = -1;
};

class SeriesPage {
 public:
  SeriesPage(Console& con, const Tsi1& tsi1, const Icommands& icommands, const Commands& commands,
             std::string_view title, std::string_view x_label, std::string_view y_label, int kind)
      : con_(con),
        tsi1_(tsi1),
        name_(centred_name(commands)),
        kind_(kind),
        age_mode_(icommands[opt::first_detrending] == fit::regional_curve &&
                  kind == series_kind::kRegionalCurve),
        title_in_(title),
        x_label_in_(x_label),
        y_label_in_(y_label) {}

  void set_up(PlotStyle& s);
  void draw(const PlotStyle& s) const;

 private:
  // Value of series i (1-based) at matrix row `row` (1-based); nothing outside the matrix.
  const float* value(int series, int row) const;
  int row_of(int x) const;  // the matrix row of x (a year, or a ring number)
  void find_windows();
  void draw_series(const PlotStyle& s, int series) const;
  void draw_mean(const PlotStyle& s) const;

  Console& con_;
  const Tsi1& tsi1_;
  const std::string name_;
  const int kind_;
  const bool age_mode_;
  const std::string_view title_in_, x_label_in_, y_label_in_;

  int first_year_ = 0;  // smallest first year (year mode)
  int last_year_ = 0;   // largest last year (year mode)
  int longest_ = 0;     // longest length (age mode)
  std::vector<Window> windows_;
  std::string title_, x_label_, y_label_;
};

const float* SeriesPage::value(int series, int row) const {
  if (row < 1 || row > tsi1_.rows) return nullptr;
  const std::size_t cell = at(series) * static_cast<std::size_t>(tsi1_.rows) + at(row);
  return cell < tsi1_.matrix.size() ? &tsi1_.matrix[cell] : nullptr;
}

int SeriesPage::row_of(int x) const { return age_mode_ ? x : x - first_year_ + 1; }

void SeriesPage::find_windows() {
  const int count = std::min<int>(tsi1_.count, static_cast<int>(tsi1_.years.size()));
  windows_.assign(static_cast<std::size_t>(std::max(count, 0)), Window{});
  // The year limits start from series 1, so that a set of years before -9999 keeps its own.
  first_year_ = count >= 1 ? tsi1_.years[0].ify : 0;
  last_year_ = count >= 1 ? tsi1_.years[0].ily : 0;
  longest_ = kLongestStart;
  for (int i = 1; i <= count; ++i) {
    const SeriesYears& y = tsi1_.years[at(i)];
    first_year_ = std::min(first_year_, y.ify);
    last_year_ = std::max(last_year_, y.ily);
    longest_ = std::max(longest_, y.ily - y.ify + 1);
  }
  if (static_cast<std::size_t>(count) < tsi1_.years.size()) {
    const SeriesYears& whole = tsi1_.years[static_cast<std::size_t>(count)];
    longest_ = std::max(longest_, whole.ily - whole.ify + 1);
  }
  if (count < 1) first_year_ = last_year_ = longest_ = 0;
  for (int i = 1; i <= count; ++i) {
    const SeriesYears& y = tsi1_.years[at(i)];
    Window& w = windows_[at(i)];
    if (age_mode_) {
      w = Window{1, std::min(y.ily - y.ify + 1, longest_)};
    } else {
      w = Window{std::max(y.ify, first_year_), std::min(y.ily, last_year_)};
    }
  }
}

void SeriesPage::set_up(PlotStyle& s) {
  find_windows();

  // The values that will be drawn, missing markers included, give the y range.
  float smallest = kMinStart, largest = kMaxStart;
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    const int series = static_cast<int>(i) + 1;
    for (int x = windows_[i].first; x <= windows_[i].last; ++x) {
      if (const float* v = value(series, row_of(x))) {
        smallest = std::min(smallest, *v);
        largest = std::max(largest, *v);
      }
    }
  }
  if (largest < smallest) smallest = largest = 0;  // nothing to draw

  if (age_mode_) {
    s.x.min = decade_start(1.0f);
    s.x.max = decade_end(static_cast<float>(longest_));
  } else {
    s.x.min = decade_start(static_cast<float>(first_year_));
    s.x.max = decade_end(static_cast<float>(last_year_));
  }
  s.y.min = (kind_ == series_kind::kArOutliers || smallest > 0) ? smallest : 0.0f;
  s.y.max = largest;
  ticit(s.x, s.y, s.z);

  x_label_ = left_justified(trim_right(x_label_in_), kLabelLength);
  y_label_ = left_justified(y_label_in_, kLabelLength);
  title_ = std::string(title_in_);
  lalign(title_);
}

void SeriesPage::draw_series(const PlotStyle& s, int series) const {
  const Window& w = windows_[at(series)];
  std::vector<double> x, y;
  for (int k = w.first; k <= w.last; ++k) {
    if (const float* v = value(series, row_of(k))) {
      x.push_back(k);
      y.push_back(*v);
    }
  }
  if (age_mode_) {
    draw_line(x, y, s.line_colour);
    con_.say(" second");
    return;
  }
  if (kind_ != series_kind::kArOutliers && kind_ != series_kind::kEndogenousOutliers) {
    draw_line(x, y, s.line_colour);
    return;
  }
  // Outliers stand out above and below the line 1.0.
  std::vector<double> above(y), below(y);
  for (std::size_t i = 0; i < y.size(); ++i) {
    above[i] = std::max(y[i], static_cast<double>(kOutlierLevel));
    below[i] = std::min(y[i], static_cast<double>(kOutlierLevel));
  }
  draw_line(x, above, s.curve_colour);
  draw_line(x, below, s.second_curve_colour);
  draw_level(x, kOutlierLevel, s.line_colour);
}

void SeriesPage::draw_mean(const PlotStyle& s) const {
  const std::vector<float>& overlay = tsi1_.overlay;
  if (overlay.empty() || overlay[0] < 0) return;
  const std::size_t count = windows_.size();
  const int set_first = count < tsi1_.years.size() ? tsi1_.years[count].ify : first_year_;
  const int from = age_mode_ ? 1 : first_year_;
  const int to = age_mode_ ? longest_ : last_year_;
  std::vector<double> x, y;
  for (int k = from; k <= to; ++k) {
    const long long at = static_cast<long long>(k) - set_first;  // element k - first + 1
    if (at < 0 || at >= static_cast<long long>(overlay.size())) continue;
    x.push_back(k);
    y.push_back(overlay[static_cast<std::size_t>(at)]);
  }
  pen(s.curve_width);
  draw_line(x, y, s.curve_colour);
}

void SeriesPage::draw(const PlotStyle& s) const {
  draw_frame(s, kFrame, s.x, s.y, x_label_, y_label_, title_);
  draw_text("t", 3.5, 0.18, name_, s.text_colour);
  pllsty(s.line_style);
  // A page of every series of a set at the limits takes seconds to draw into a file.
  for (std::size_t i = 0; i < windows_.size(); ++i) {
    stop_if_interrupted();
    draw_series(s, static_cast<int>(i) + 1);
  }
  draw_mean(s);
}

std::vector<std::string> series_menu() {
  return line_page_menu({.box = {.width = 45, .left_cell = 21}, .tick_gap = "  "});
}

}  // namespace

void crnplt3(PlotSession& session, const Tsi1& tsi1, const Icommands& icommands,
             const Commands& commands, std::string_view title, std::string_view x_label,
             std::string_view y_label, int kind) {
  SeriesPage page(session.console(), tsi1, icommands, commands, title, x_label, y_label, kind);
  PlotDefinition def;
  def.menu = series_menu();
  def.last_style_item = 17;
  def.unknown_option = "Unknown option re-enter a valid request";
  def.title = std::string(title);
  bind_page(def, page);
  plot_loop(session, def);  // "[n]o more plots" goes on like a continue
}

}  // namespace dendro
