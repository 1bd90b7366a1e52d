#include "pelliform/spectrum_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cmath>

#include "plots/plot_style.h"

namespace dendro {
namespace {

constexpr float kLog10OfE = 0.4342945f;  // log10 x = ln x * log10 e
constexpr double kFirstLegend = -43.25;  // character heights from the right edge
constexpr double kLegendStep = 24.0;
constexpr double kLegendPosition = 1.065;
constexpr int kLogAxis = 20;  // plenv: box, ticks and labels, logarithmic y labels
constexpr char kSaveName[] = "fig1b.ps";

// Appends one spectrum's runs of positive powers and widens the limits.
void add_spectrum(std::span<const float> f, std::span<const float> p, std::vector<std::vector<double>>& xs,
                  std::vector<std::vector<double>>& ys, Range& y) {
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

void draw_runs(const std::vector<std::vector<double>>& xs, const std::vector<std::vector<double>>& ys) {
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
              std::span<const float> power2, int count, std::string_view legend1, std::string_view legend2) {
  const auto n = static_cast<std::size_t>(std::max(count, 0));
  const SpectrumPage s = spectrum_page(frequency.first(std::min(n, frequency.size())), power1, power2);
  if (s.x1.empty() && s.x2.empty()) {
    session.console().say(" *** no positive power to plot on a log10 scale");
    return PlotExit::proceed;
  }
  const Range x = usable(s.x), y = usable(s.y);
  const std::string first = label_text(legend1), second = label_text(legend2);
  LoopPage page;
  page.save_name = kSaveName;
  page.draw = [&] {
    plssub(1, 1);
    plwidth(2);
    plcol0(kBlack);
    plenv(x.min, x.max, y.min, y.max, 0, kLogAxis);
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

}  // namespace dendro
