#include "pelliform/spread_level_plot.h"

#include <plplot/plplot.h>

#include <algorithm>

#include "plots/panel.h"
#include "plots/plot_style.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr double kBelow = 1.0, kAbove = 1.5;  // room under and over the points
constexpr int kGridAxis = 2;                   // plenv: box, ticks, labels and a grid
constexpr int kPointSymbol = 1;
constexpr char kSaveName[] = "fig1b.ps";

}  // namespace

ScatterPage scatter_page(const PowerTransformResult& r) {
  ScatterPage page;
  for (std::size_t i = 0; i < r.pooled_level.size(); ++i) {
    page.x.min = std::min<double>(page.x.min, r.pooled_level[i]);
    page.x.max = std::max<double>(page.x.max, r.pooled_level[i]);
    page.y.min = std::min<double>(page.y.min, r.pooled_spread[i]);
    page.y.max = std::max<double>(page.y.max, r.pooled_spread[i]);
  }
  page.y.min -= kBelow;
  page.y.max += kAbove;
  page.title = Layout("('Y=',f9.4,' + ',f9.4,'(x)  Rho= ',f9.4)").write(r.pooled.intercept, r.pooled.slope, r.pooled_r);
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
  page.save_name = kSaveName;
  page.draw = [&] {
    plssub(1, 1);
    plwidth(2);
    plcol0(kBlack);
    plenv(x.min, x.max, y.min, y.max, 0, kGridAxis);
    pllab("log(LEVEL)", "log(SPREAD)", s.title.c_str());
    for (const SpreadLevel& sl : r.series) {
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
