#include "plots/components_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/ticks.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kPanels = 4;
constexpr std::size_t kLabelLength = 17;
constexpr std::size_t kTitleLength = 65;
constexpr float kLimitStart = 9999.0f;
constexpr int kTransformedData = 2;
// Up to this many series every series gets its own tick.
constexpr int kMaxSeriesTicked = 10;
constexpr Viewport kLoadingsFrame{0.2, 0.9, 0.1, 0.75};
constexpr std::array<Viewport, kPanels> kScoresFrames{{
    {0.07, 0.95, 0.11, 0.79},
    {0.07, 0.95, 0.25, 0.92},
    {0.07, 0.95, 0.25, 0.96},
    {0.07, 0.95, 0.25, 0.96},
}};
constexpr Axis kScoresAxis{-3.0f, 3.0f, 1.0f, 2};

bool shown(const ComponentPanels& p, std::size_t k) {
  return p.shares[k] != 0.0f && p.numbers[k] <= p.retained;
}

// Column k (from 0) of the table, rows 1..n; empty when the table has no such column.
std::vector<double> column_of(const ColumnTable& t, std::size_t k, int n) {
  const auto rows = static_cast<std::size_t>(t.rows);
  const auto count = static_cast<std::size_t>(n);
  if (count > rows || (k + 1) * rows > t.values.size()) return {};
  return to_plot(t.values.subspan(k * rows, count));
}

// How the user left a page: a plot loop that ended in [n]o more plots adjusts the flag.
void leave(PlotExit exit, int& plot_flag) {
  if (exit == PlotExit::no_more_plots) plot_flag = flag_after_no_more_plots(plot_flag);
}

class LoadingsPage {
 public:
  LoadingsPage(const ColumnTable& loadings, int n, std::string_view title, int data_kind,
               const ComponentPanels& panels)
      : n_(n), data_kind_(data_kind), panels_(panels), title_(title) {
    for (std::size_t k = 0; k < kPanels; ++k) columns_.push_back(column_of(loadings, k, n));
    for (int i = 0; i <= n; ++i) zero_x_.push_back(i);
  }

  void set_up(PlotStyle& s) {
    // The range covers every column shown or not, so that the panels share one axis.
    s.x = {0.0f, static_cast<float>(n_), s.x.major, s.x.minor};
    s.y = {kLimitStart, -kLimitStart, s.y.major, s.y.minor};
    s.z = {0.0f, 10.0f, s.z.major, s.z.minor};
    for (const auto& column : columns_) {
      for (double v : column) {
        s.y.min = std::min(s.y.min, static_cast<float>(v));
        s.y.max = std::max(s.y.max, static_cast<float>(v));
      }
    }
    // The bars stand on 0 and the zero line is drawn there: 0 is on the axis whatever the
    // loadings.
    s.y.min = std::min(s.y.min, 0.0f);
    s.y.max = std::max(s.y.max, 0.0f);
    ticit(s.x, s.y, s.z);
    const double width = s.x.max / n_;
    left_.clear();
    right_.clear();
    for (int i = 1; i <= n_; ++i) {
      left_.push_back((i - 1) * width);
      right_.push_back(i * width);
    }
    if (data_kind_ == kTransformedData) s.y = {-0.5f, 1.0f, 0.5f, 1};
    s.curve_width = 1;
  }

  void draw(const PlotStyle& s) const {
    draw_page_title(2.8, 0.05, 0.0, title_, s.text_colour);
    plssub(2, 2);
    // A hidden panel hides every later one: the panels fill the page from the first.
    for (std::size_t k = 0; k < kPanels && shown(panels_, k) && !columns_[k].empty(); ++k) {
      open_panel(kLoadingsFrame, s.x, s.y);
      if (n_ <= kMaxSeriesTicked) {
        draw_axes(s, {s.x.min, s.x.max, 1.0f, 0}, s.y, "abitnr", "abinstv");
      } else {
        draw_axes(s, s.x, s.y, "abitnrs", "abinstv");
      }
      draw_labels(s, "    ", "loadings",
                  component_label(panels_.kind, panels_.numbers[k], panels_.shares[k]));
      draw_bars(left_, right_, columns_[k], s.curve_colour);
      pllsty(s.line_style);
      pen(s.curve_width);
      draw_line(zero_x_, std::vector<double>(zero_x_.size(), 0.0), s.line_colour);
      plcol0(s.curve_colour);
      pen(1);
      pllsty(1);
    }
  }

 private:
  int n_;
  int data_kind_;
  const ComponentPanels& panels_;
  std::string_view title_;
  std::vector<std::vector<double>> columns_;
  std::vector<double> zero_x_, left_, right_;
};

class ScoresPage {
 public:
  ScoresPage(const ColumnTable& scores, int first_year, int last_year, std::string_view title,
             const ComponentPanels& panels)
      : first_year_(first_year), last_year_(last_year), panels_(panels) {
    const int n = last_year - first_year + 1;
    for (int j = 0; j < n; ++j) years_.push_back(first_year + j);
    for (std::size_t k = 0; k < kPanels; ++k) {
      columns_.push_back(column_of(scores, k, n));
      double sum = 0.0;
      for (double v : columns_.back()) sum += v;
      means_.push_back(columns_.back().empty() ? 0.0 : sum / static_cast<double>(n));
    }
    title_ = field(std::string(10, ' ') + std::string(title), kTitleLength);
  }

  // The year axis is set at the first set-up only: a reset chooses its ticks again from the
  // limits as they stand.
  void set_up(PlotStyle& s) {
    if (!year_axis_set_) {
      s.x.min = static_cast<float>(first_year_);
      s.x.max = static_cast<float>(last_year_);
      year_axis_set_ = true;
    }
    s.curve_width = 1;
    s.y.max = 10.0f;
    s.z.max = 10.0f;
    ticit(s.x, s.y, s.z);
    s.y = kScoresAxis;
  }

  void draw(const PlotStyle& s) const {
    draw_page_title(3.1, -0.06, 0.1, title_, s.text_colour);
    plssub(1, 4);
    for (std::size_t k = 0; k < kPanels; ++k) {
      open_panel(kScoresFrames[k], s.x, s.y);
      if (!shown(panels_, k) || columns_[k].empty()) continue;
      draw_axes(s, s.x, s.y, "abinst", "abinstv");
      draw_labels(s, k + 1 == kPanels ? "year" : "    ",
                  component_label(panels_.kind, panels_.numbers[k], panels_.shares[k]), "    ");
      pen(s.line_style);
      draw_finite(years_, columns_[k], s.line_colour);
      pen(s.curve_width);
      draw_level(years_, means_[k], s.curve_colour);
      pen(s.line_style);
      plcol0(s.line_colour);
    }
  }

 private:
  int first_year_, last_year_;
  const ComponentPanels& panels_;
  std::string title_;
  std::vector<double> years_, means_;
  std::vector<std::vector<double>> columns_;
  bool year_axis_set_ = false;
};

std::vector<std::string> scores_menu() {
  const MenuBox box;
  return plot_options_menu(box, line_page_rows(box, "curve  color", " ", {11, 14, 15, 16, 17}),
                           "              reset options  [99]", kSaveContinueNoMore);
}

}  // namespace

std::string component_label(int kind, int number, float share) {
  const std::string prefix = kind == 2 ? "VF_" : "PC_";
  const std::string text = number < 10
                               ? Layout("(a3,i1,1x,f5.2,1x,a1)").write(prefix, number, share, "%")
                               : Layout("(a3,i2,f5.2,1x,a1)").write(prefix, number, share, "%");
  return field(text, kLabelLength);
}

int flag_after_no_more_plots(int plot_flag) {
  if (plot_flag < 6) return 0;
  return plot_flag == 6 ? 5 : plot_flag;
}

void loads1(PlotSession& session, const ColumnTable& loadings, int n, std::string_view title,
            int& plot_flag, int data_kind, const ComponentPanels& panels) {
  if (n < 1) return;  // no series, no bars
  if (loadings.rows < n) throw std::invalid_argument("loads1: fewer table rows than series");
  LoadingsPage page(loadings, n, title, data_kind, panels);
  PlotDefinition def;
  use_short_menu(def, session.console());
  def.title = std::string(title);
  bind_page(def, page);
  leave(plot_loop(session, def), plot_flag);
}

void scores1(PlotSession& session, const ColumnTable& scores, int first_year, int last_year,
             std::string_view title, int& plot_flag, const ComponentPanels& panels) {
  if (last_year < first_year) return;  // no years, no scores
  if (scores.rows < last_year - first_year + 1) {
    throw std::invalid_argument("scores1: fewer table rows than years");
  }
  ScoresPage page(scores, first_year, last_year, title, panels);
  PlotDefinition def;
  def.menu = scores_menu();
  def.last_style_item = 17;
  def.unknown_option = "unknown option. please enter a valid request";
  def.title = std::string(title);
  bind_page(def, page);
  leave(plot_loop(session, def), plot_flag);
}

}  // namespace dendro
