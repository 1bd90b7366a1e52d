#include "pelliform/driver_plots.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>

#include "plots/panel.h"
#include "plots/plot_style.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr char kScatterSaveName[] = "fig1b.ps";
constexpr float kLog10OfE = 0.4342945f;  // log10 x = ln x * log10 e
constexpr double kFirstLegend = -43.25;  // character heights from the right edge
constexpr double kLegendStep = 24.0;
constexpr double kLegendPosition = 1.065;
constexpr int kLogAxis = 20;                  // plenv: box, ticks and labels, logarithmic y labels
constexpr int kGridAxis = 2;                  // plenv: box, ticks, labels and a grid
constexpr double kBelow = 1.0, kAbove = 1.5;  // room under and over the scatter points
constexpr int kPointSymbol = 1;

// The frame of a one-panel page in black, pen width 2.
void frame(Range x, Range y, int axis) {
  plssub(1, 1);
  plwidth(2);
  plcol0(kBlack);
  plenv(x.min, x.max, y.min, y.max, 0, axis);
}

// Appends one spectrum's runs of positive powers and widens the limits.
void add_spectrum(std::span<const float> f, std::span<const float> p,
                  std::vector<std::vector<double>>& xs, std::vector<std::vector<double>>& ys,
                  Range& y) {
  bool in_run = false;
  for (std::size_t i = 0; i < f.size() && i < p.size(); ++i) {
    if (!(p[i] > 0.0f)) {
      in_run = false;
      continue;
    }
    if (!in_run) {
      xs.emplace_back();
      ys.emplace_back();
      in_run = true;
    }
    const double v = std::log(p[i]) * kLog10OfE;
    xs.back().push_back(f[i]);
    ys.back().push_back(v);
    y.min = std::min(y.min, v);
    y.max = std::max(y.max, v);
  }
}

void draw_runs(const std::vector<std::vector<double>>& xs,
               const std::vector<std::vector<double>>& ys) {
  for (std::size_t r = 0; r < xs.size(); ++r) {
    plline(static_cast<PLINT>(xs[r].size()), xs[r].data(), ys[r].data());
  }
}

}  // namespace

SpectrumPage spectrum_page(std::span<const float> frequency, std::span<const float> power1,
                           std::span<const float> power2) {
  SpectrumPage page;
  for (float f : frequency) {
    page.x.min = std::min<double>(page.x.min, f);
    page.x.max = std::max<double>(page.x.max, f);
  }
  add_spectrum(frequency, power1, page.x1, page.y1, page.y);
  add_spectrum(frequency, power2, page.x2, page.y2, page.y);
  return page;
}

PlotExit plt6(PlotSession& session, std::span<const float> frequency, std::span<const float> power1,
              std::span<const float> power2, int frequencies, std::string_view legend1,
              std::string_view legend2, std::string_view save_name) {
  const auto n = count(frequencies);
  const SpectrumPage s =
      spectrum_page(frequency.first(std::min(n, frequency.size())), power1, power2);
  if (s.x1.empty() && s.x2.empty()) {
    session.console().say(" *** no positive power to plot on a log10 scale");
    return PlotExit::proceed;
  }
  const Range x = usable(s.x), y = usable(s.y);
  const std::string first = label_text(legend1), second = label_text(legend2);
  LoopPage page;
  page.title = first + " / " + second;
  page.save_name = std::string(save_name);
  page.draw = [&] {
    frame(x, y, kLogAxis);
    pllab("Frequency (cycles/yr.)", "log10 Power", "");
    plcol0(kBlue);
    plmtex("rv", kFirstLegend, kLegendPosition, 0.0, first.c_str());
    draw_runs(s.x1, s.y1);
    plcol0(kRed);
    plmtex("rv", kFirstLegend + kLegendStep, kLegendPosition, 0.0, second.c_str());
    draw_runs(s.x2, s.y2);
  };
  return page_loop(session, page);
}

ScatterPage scatter_page(const PowerTransformResult& r) {
  ScatterPage page;
  for (std::size_t i = 0; i < r.pooled_level.size(); ++i) {
    page.x.min = std::min<double>(page.x.min, r.pooled_level[i]);
    page.x.max = std::max<double>(page.x.max, r.pooled_level[i]);
    page.y.min = std::min<double>(page.y.min, r.pooled_spread[i]);
    page.y.max = std::max<double>(page.y.max, r.pooled_spread[i]);
  }
  // Each series' fitted line is drawn at its own levels: its ends count as well.
  for (const sf::SpreadLevel& sl : r.series) {
    for (float level : sl.log_level) {
      const double fit = sl.fit.intercept + sl.fit.slope * static_cast<double>(level);
      page.y.min = std::min(page.y.min, fit);
      page.y.max = std::max(page.y.max, fit);
    }
  }
  page.y.min -= kBelow;
  page.y.max += kAbove;
  page.title = Layout("('Y=',f9.4,' + ',f9.4,'(x)  Rho= ',f9.4)")
                   .write(r.pooled.intercept, r.pooled.slope, r.pooled_r);
  return page;
}

PlotExit scatplt(PlotSession& session, const PowerTransformResult& r) {
  if (r.pooled_level.empty()) {
    session.console().say(" *** no spread-versus-level pairs to plot");
    return PlotExit::proceed;
  }
  const ScatterPage s = scatter_page(r);
  const Range x = usable(s.x), y = usable(s.y);
  LoopPage page;
  page.title = "log(SPREAD) against log(LEVEL): " + s.title;
  page.save_name = kScatterSaveName;
  page.draw = [&] {
    frame(x, y, kGridAxis);
    pllab("log(LEVEL)", "log(SPREAD)", s.title.c_str());
    for (const sf::SpreadLevel& sl : r.series) {
      if (sl.log_level.empty()) continue;
      const std::vector<double> lx = to_plot(sl.log_level), ly = to_plot(sl.log_spread);
      plcol0(kBlue);
      plpoin(static_cast<PLINT>(lx.size()), lx.data(), ly.data(), kPointSymbol);
      std::vector<double> fit(lx.size());
      for (std::size_t i = 0; i < lx.size(); ++i) fit[i] = sl.fit.intercept + sl.fit.slope * lx[i];
      plcol0(kRed);
      plline(static_cast<PLINT>(lx.size()), lx.data(), fit.data());
    }
  };
  return page_loop(session, page);
}

}  // namespace dendro
