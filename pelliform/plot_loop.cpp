#include "pelliform/plot_loop.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <optional>
#include <vector>

#include "plots/panel.h"
#include "plots/plot_menu.h"
#include "plots/plot_style.h"
#include "series/store.h"
#include "series/text.h"
#include "statistics/running_rbar.h"

namespace dendro {
namespace {

constexpr int kNameField = 60;  // the save name field of the line plots
constexpr double kTitleDisplacement = -35.5;
constexpr double kLegendDisplacement = -33.75;
constexpr double kLimitStart = 100000.0;
constexpr double kNoValueDisplacement = -12.0;  // the note of a page without values
// What a page without any defined value says (on the page, and on the console after the
// page's title).
constexpr std::string_view kNoValue = "no defined value to plot";
constexpr PLINT kDot = 1;  // PLplot's symbol of a lone point

void ask(Console& con, std::string_view choices) {
  con.say("");
  for (const std::string& line : plot_options_menu(MenuBox{.width = 47}, {}, "", choices)) {
    con.say(" " + line);
  }
  con.say("");
  con.prompt(" enter option number > ");
}

// True when the first five characters of a legend are blank: such a legend is not written.
bool blank_head(std::string_view text) { return field(text, 5) == "     "; }

void report(Console& con, const std::string& message) { con.say(" *** PLplot: " + message); }

}  // namespace

Range usable(Range r) {
  if (r.max > r.min) return r;
  return {r.min - 1.0, r.max + 1.0};
}

void open_line_panel(const Range& x, const Range& y) {
  plcol0(kBlack);
  plwidth(2);
  plssub(1, 1);
  plenv(x.min, x.max, y.min, y.max, 0, 0);
}

std::string title_save_name(std::string_view title) {
  std::string name;
  for (char c : field(title, kNameField)) {
    if (std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '_' || c == '.') {
      name += c;
    }
  }
  if (name.size() > static_cast<std::size_t>(kNameField - 3)) name.resize(kNameField - 3);
  return name + ".ps";
}

PlotExit page_loop(PlotSession& session, const LoopPage& page) {
  Console& con = session.console();
  const PlotStyle style;  // white paper, black ink
  std::optional<PlotPage> screen;
  const auto show = [&] {
    const auto failure = show_page(session, screen, style, page.shape, page.draw, page.title);
    if (failure) report(con, *failure);
  };
  const auto save = [&] {
    if (!may_save_as(session, page.save_name, " ")) return;
    say_save(session, " ", page.save_name,
             save_page(session, page.save_name, style, page.shape, page.draw));
  };

  show();
  for (int round = 0; round < kMaxMenuRounds; ++round) {
    ask(con, page.choices);
    const char answer = con.read(1).first();
    if (answer == 's' || answer == 'S') {
      save();
    } else if (answer == 'r' || answer == 'R') {
      show();
    } else if (page.offers_no_more && (answer == 'n' || answer == 'N')) {
      return PlotExit::no_more_plots;
    } else {
      return PlotExit::proceed;
    }
  }
  return PlotExit::proceed;
}

bool is_marker(double v) {
  const auto f = static_cast<float>(v);
  return f == kEmptyCell || f == kNoReference || f == kRbarUndefined || f == kUndefined;
}

void draw_defined(std::span<const double> x, std::span<const double> y) {
  const std::size_t n = std::min(x.size(), y.size());
  const auto defined = [&](std::size_t i) {
    return std::isfinite(x[i]) && std::isfinite(y[i]) && !is_marker(y[i]);
  };
  std::size_t start = 0;
  while (start < n) {
    while (start < n && !defined(start)) ++start;
    std::size_t end = start;
    while (end < n && defined(end)) ++end;
    const auto count = static_cast<PLINT>(end - start);
    if (count == 1) plpoin(1, x.data() + start, y.data() + start, kDot);
    if (count > 1) plline(count, x.data() + start, y.data() + start);
    start = end;
  }
}

PlotExit plot1(PlotSession& session, std::span<const float> series1, std::span<const float> series2,
               int first_year, const LineTexts& texts, std::span<const float> reference) {
  const std::size_t n = series1.size();
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = first_year + static_cast<double>(i);
  const std::vector<double> y1 = to_plot(series1),
                            y2 = to_plot(series2.first(std::min(n, series2.size()))),
                            yr = to_plot(reference.first(std::min(n, reference.size())));
  const bool eps_line = !reference.empty() && reference[0] == kEpsThreshold;
  const bool draw_reference = !reference.empty() && reference[0] != kNoReference;

  // The y limits over the defined values of both series.
  double ymin = kLimitStart, ymax = -kLimitStart;
  for (const std::vector<double>* s : {&y1, &y2}) {
    for (double v : *s) {
      if (is_marker(v) || !std::isfinite(v)) continue;
      ymin = std::min(ymin, v);
      ymax = std::max(ymax, v);
    }
  }
  const bool any_defined = ymin <= ymax;
  if (!any_defined) {
    ymin = 0.0;
    ymax = 1.0;
  }
  // The EPS page's axis reaches 1, the largest EPS there is; a value above it (from a
  // negative RBAR) raises the top rather than leave the page.
  if (eps_line) ymax = std::max(ymax, 1.0);
  // A reference line drawn is a value on the page like the others.
  if (draw_reference) {
    for (double v : yr) {
      if (is_marker(v) || !std::isfinite(v)) continue;
      ymin = std::min(ymin, v);
      ymax = std::max(ymax, v);
    }
  }
  // The margin: a tenth of the range in whole units (none below a range of 10).
  const int margin = static_cast<int>(ymax - ymin) / 10;
  const Range y = usable({ymin - margin, ymax + margin});
  const Range xr = usable({static_cast<double>(first_year),
                           static_cast<double>(first_year) + static_cast<double>(n) - 1.0});

  LoopPage page;
  page.title = label_text(texts.title);
  if (!any_defined) page.title += ": " + std::string(kNoValue);
  page.save_name = title_save_name(texts.title);
  page.draw = [&] {
    open_line_panel(xr, y);
    if (draw_reference) {
      if (eps_line) pllsty(3);
      draw_defined(x, yr);
    }
    plfont(1);
    pllab(label_text(texts.x_label).c_str(), label_text(texts.y_label).c_str(), "");
    plcol0(kBlack);
    plmtex("b", kTitleDisplacement, 0.5, 0.5, label_text(texts.title).c_str());
    if (!any_defined) plmtex("t", kNoValueDisplacement, 0.5, 0.5, std::string(kNoValue).c_str());
    pllsty(1);
    plcol0(kBlue);
    draw_defined(x, y1);
    if (!blank_head(texts.legend1)) {
      plmtex("b", kLegendDisplacement, 0.06, 0.0, label_text(texts.legend1).c_str());
    }
    plwidth(2);
    plcol0(kRed);
    draw_defined(x, y2);
    if (!blank_head(texts.legend2)) {
      plmtex("b", kLegendDisplacement, 0.55, 0.0, label_text(texts.legend2).c_str());
    }
  };
  return page_loop(session, page);
}

}  // namespace dendro
