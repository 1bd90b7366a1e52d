#include "plots/autoregression_plot.h"

#include <plplot/plplot.h>

#include <array>
#include <cmath>
#include <stdexcept>
#include <string>
#include <vector>

#include "plots/page_parts.h"
#include "plots/panel.h"
#include "series/index.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kLags = 10;
constexpr std::size_t kTitleLength = 65;
constexpr Viewport kPanelFrame{0.2, 0.9, 0.1, 0.75};

enum class Limits { bartlett, partial, none };

struct LagPanel {
  std::string_view x_label;
  std::string_view title;
  Limits limits;
};

constexpr std::array<LagPanel, 4> kPanels{{
    {"    ", "autocorrelations", Limits::bartlett},
    {"    ", " partial autocorrelations", Limits::partial},
    {"lags", "autoregressive model", Limits::none},
    {"lags", "impulse response function", Limits::none},
}};

class AutoregressionPage {
 public:
  AutoregressionPage(std::span<const float> results, std::string_view data_file, int n) {
    for (std::size_t c = 0; c < kPanels.size(); ++c) {
      columns_.push_back(to_plot(results.subspan(c * kLagRows, kLagRows)));
    }
    bartlett_ = bartlett_limits(results.first(kLagRows), n);
    partial_ = partial_limits(n);
    // Bar of lag L from L - 0.35 to L + 0.4; the bar of lag 0 starts at the frame.
    for (int j = 1; j <= kLagRows; ++j) {
      left_.push_back(j == 1 ? 0.0 : j - 1.35);
      right_.push_back(j == 1 ? 0.4 : j - 0.6);
    }
    for (int lag = 0; lag <= kLags; ++lag) lags_.push_back(lag);
    title_ = field(
        std::string(trim_right(data_file)) + std::string(6, ' ') + "POOLED AUTOREGRESSION RESULTS",
        kTitleLength);
  }

  const std::string& title() const { return title_; }

  // The page's own colours and a fixed frame: lags 0 to 10, coefficients -0.5 to 1.0.
  static void set_up(PlotStyle& s) {
    s.line_colour = kRed;
    s.curve_colour = kBlue;
    s.x = {0.0f, 10.5f, 1.0f, 0};
    s.y = {-0.5f, 1.0f, 0.5f, 0};
  }

  void draw(const PlotStyle& s) const {
    draw_page_title(2.3, 0.05, 0.1, title_, s.text_colour);
    plssub(2, 2);
    for (std::size_t k = 0; k < kPanels.size(); ++k) {
      open_panel(kPanelFrame, s.x, s.y);
      draw_axes(s, s.x, s.y, "abitnr", "abinstv");
      draw_labels(s, kPanels[k].x_label, "coeffs", kPanels[k].title);
      draw_bars(left_, right_, columns_[k], s.curve_colour);
      if (kPanels[k].limits != Limits::none) {
        draw_limits(s, kPanels[k].limits == Limits::bartlett ? bartlett_ : partial_);
      }
      plcol0(kBlack);
      pen(1);
      pllsty(1);
      draw_level(lags_, 0.0, kBlack);
    }
  }

 private:
  // The limits above and mirrored below zero, at lags 1 to 10.
  void draw_limits(const PlotStyle& s, const std::vector<double>& limits) const {
    if (limits.empty()) return;
    const std::span<const double> lags = std::span<const double>(lags_).subspan(1);
    std::vector<double> below;
    for (double v : limits) below.push_back(-v);
    pen(s.curve_width);
    pllsty(s.line_style);
    draw_line(lags, limits, s.line_colour);
    draw_line(lags, below, s.line_colour);
  }

  std::vector<std::vector<double>> columns_;
  std::vector<double> bartlett_, partial_, left_, right_, lags_;
  std::string title_;
};

}  // namespace

std::vector<double> bartlett_limits(std::span<const float> autocorrelations, int n) {
  if (n < 1) return {};
  const double root_n = std::sqrt(static_cast<double>(n));
  std::vector<double> limits{2.0 / root_n};
  double squares = 0.0;  // of the autocorrelations at lags 1 to k - 1
  for (int k = 2; k <= kLags; ++k) {
    const double r = autocorrelations[at(k)];
    squares += r * r;
    limits.push_back(2.0 * std::sqrt(1.0 + 2.0 * squares) / root_n);
  }
  return limits;
}

std::vector<double> partial_limits(int n) {
  if (n < 1) return {};
  return std::vector<double>(kLags, 2.0 / std::sqrt(static_cast<double>(n)));
}

void arhist1(PlotSession& session, std::span<const float> results, std::string_view data_file,
             int n) {
  if (results.size() < kPanels.size() * kLagRows) {
    throw std::invalid_argument("arhist1: the results table holds fewer than 4 columns of 11");
  }
  const AutoregressionPage page(results, data_file, n);
  PlotDefinition def;
  use_short_menu(def, session.console());
  def.title = page.title();
  def.set_up = [](PlotStyle& s) { AutoregressionPage::set_up(s); };
  def.draw = [&page](const PlotStyle& s) { page.draw(s); };
  plot_loop(session, def);
}

}  // namespace dendro
