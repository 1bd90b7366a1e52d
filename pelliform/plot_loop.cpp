#include "pelliform/plot_loop.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <vector>

#include "plots/panel.h"
#include "plots/plot_style.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kNameField = 60;          // the save name field of the line plots
constexpr int kMaxMenuRounds = 100000;  // answers to one menu before the page ends
constexpr double kTitleDisplacement = -35.5;
constexpr double kLegendDisplacement = -33.75;
constexpr float kLimitStart = 100000.0f;

void ask(Console& con, std::string_view choices) {
  con.say("");
  con.say(" |************* plot options menu ***************|");
  con.say(" |-----------------------------------------------|");
  con.say(std::string(" ") + std::string(choices));
  con.say(" |_______________________________________________|");
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
    const auto failure = save_page(page.save_name, style, page.shape, page.draw);
    if (failure) {
      report(con, *failure);
    } else {
      say_saved(con, page.save_name);
    }
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

PlotExit plot1(PlotSession& session, std::span<const float> series1, std::span<const float> series2,
               int first_year, const LineTexts& texts, std::span<const float> reference) {
  const std::size_t n = series1.size();
  std::vector<double> x(n);
  for (std::size_t i = 0; i < n; ++i) x[i] = first_year + static_cast<double>(i);

  // The y limits over both series, every value counted; the EPS line tops the axis at 1.
  float ymin = kLimitStart, ymax = -kLimitStart;
  for (std::size_t i = 0; i < n; ++i) {
    for (float v : {series1[i], i < series2.size() ? series2[i] : series1[i]}) {
      ymax = std::max(ymax, v);
      ymin = std::min(ymin, v);
    }
  }
  const bool eps_line = !reference.empty() && reference[0] == kEpsThreshold;
  const bool draw_reference = !reference.empty() && reference[0] != kNoReference;
  if (eps_line) ymax = 1.0f;
  // The margin: a tenth of the range in whole units (none below a range of 10).
  const int margin = static_cast<int>(ymax - ymin) / 10;
  const Range y = usable({static_cast<double>(ymin) - margin, static_cast<double>(ymax) + margin});
  const Range xr = usable({static_cast<double>(first_year),
                           static_cast<double>(first_year) + static_cast<double>(n) - 1.0});

  const std::vector<double> y1 = to_plot(series1), y2 = to_plot(series2),
                            yr = to_plot(reference);
  LoopPage page;
  page.title = texts.title;
  page.save_name = title_save_name(texts.title);
  page.draw = [&] {
    open_line_panel(xr, y);
    if (draw_reference) {
      if (eps_line) pllsty(3);
      plline(static_cast<PLINT>(std::min(n, yr.size())), x.data(), yr.data());
    }
    plfont(1);
    pllab(label_text(texts.x_label).c_str(), label_text(texts.y_label).c_str(), "");
    plcol0(kBlack);
    plmtex("b", kTitleDisplacement, 0.5, 0.5, label_text(texts.title).c_str());
    pllsty(1);
    plcol0(kBlue);
    plline(static_cast<PLINT>(n), x.data(), y1.data());
    if (!blank_head(texts.legend1)) {
      plmtex("b", kLegendDisplacement, 0.06, 0.0, label_text(texts.legend1).c_str());
    }
    plwidth(2);
    plcol0(kRed);
    plline(static_cast<PLINT>(std::min(n, y2.size())), x.data(), y2.data());
    if (!blank_head(texts.legend2)) {
      plmtex("b", kLegendDisplacement, 0.55, 0.0, label_text(texts.legend2).c_str());
    }
  };
  return page_loop(session, page);
}

}  // namespace dendro
