#include "pelliform/engine_plots.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <vector>

#include "plots/panel.h"
#include "plots/plot_style.h"
#include "series/console.h"
#include "series/files/interrupts.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr float kCurveLimitStart = 9999.0f;     // the curve pages' limits start here
constexpr float kSeriesLimitStart = 100000.0f;  // the many-series pages' limits
constexpr double kTitleDisplacement = -35.5;
constexpr double kLegendDisplacement = -33.75;
constexpr std::string_view kFig11 = "fig11.ps";
constexpr std::string_view kFig1 = "fig1";
constexpr int kGrid = 2;  // plenv axis option: box, ticks, labels and a grid

struct Points {
  std::vector<double> x, y;
  void add(double a, double b) {
    x.push_back(a);
    y.push_back(b);
  }
  // Markers among the values are not drawn: the line breaks there.
  void draw(int colour, int width) const {
    if (x.empty()) return;
    plwidth(width);
    plcol0(colour);
    draw_defined(x, y);
  }
};

struct Limits {
  float min, max;
  explicit Limits(float start) : min(start), max(-start) {}
  void widen(float v) {
    min = std::min(min, v);
    max = std::max(max, v);
  }
  Range range() const { return usable({min, max}); }
};

float value(std::span<const float> v, int i) { return at(i) < v.size() ? v[at(i)] : kEmptyCell; }

// The curve limits of plt4 and plt5: non-missing values widen the maximum, non-missing
// values that are not 0 the minimum.
Limits curve_limits(std::span<const RegionalCurvePair> curves, float missing) {
  Limits l(kCurveLimitStart);
  for (const RegionalCurvePair& p : curves) {
    for (const std::vector<float>* c : {&p.rc, &p.frc}) {
      for (float v : *c) {
        if (v == missing) continue;
        l.max = std::max(l.max, v);
        if (v != 0.0f) l.min = std::min(l.min, v);
      }
    }
  }
  return l;
}

void frame(const Range& x, const Range& y, std::string_view xl, std::string_view yl,
           std::string_view top, int axis) {
  plcol0(kBlack);
  plwidth(2);
  plenv(x.min, x.max, y.min, y.max, 0, axis);
  pllab(label_text(xl).c_str(), label_text(yl).c_str(), label_text(top).c_str());
}

// The labels and title of the many-series pages.
void texts_of_page(const LineTexts& t) {
  plfont(1);
  plcol0(kBlack);
  pllab(label_text(t.x_label).c_str(), label_text(t.y_label).c_str(), "");
  plmtex("b", kTitleDisplacement, 0.5, 0.5, label_text(t.title).c_str());
}

}  // namespace

PlotExit plt1(PlotSession& session, std::span<const float> rc, std::span<const float> frc, int n,
              float missing, std::string_view title) {
  Limits l(kCurveLimitStart);
  Points fit, curve;
  for (int i = 1; i <= n; ++i) {
    const float r = value(rc, i), f = value(frc, i);
    if (r != missing) {
      l.widen(r);
      curve.add(i, r);
    }
    if (f != missing) {
      l.widen(f);
      fit.add(i, f);
    }
  }
  const Range y = l.range();
  const std::string top(title.substr(0, std::min<std::size_t>(title.size(), 30)));
  LoopPage page;
  page.title = top;
  page.save_name = std::string(kFig11);
  page.draw = [&] {
    frame(usable({0.0, static_cast<double>(n)}), y, "Biological Year", "Y", top, kGrid);
    fit.draw(kRed, 2);
    curve.draw(kBlue, 2);
  };
  return page_loop(session, page);
}

PlotExit plt2(PlotSession& session, const EngineMatrix& indices, std::span<const SeriesSpan> spans,
              float missing, std::string_view title) {
  const int nseries = static_cast<int>(spans.size()) - 1;
  Limits l(kCurveLimitStart);
  int first = spans.empty() ? 0 : spans.front().first, last = first;
  std::vector<Points> series(count(nseries));
  for (int j = 1; j <= nseries; ++j) {
    stop_if_interrupted();  // the points of every series take a while at the limits
    first = std::min(first, spans[at(j)].first);
    last = std::max(last, spans[at(j)].last);
    for (int k = 1; k <= spans[at(j)].length(); ++k) {
      const float v = indices.at(k, j);
      if (v != missing) l.widen(v);
      series[at(j)].add(spans[at(j)].first + k - 1, v);
    }
  }
  // The yearly average of the values as drawn; 0 where no series has a value in the year.
  std::vector<double> sum(count(last - first + 1), 0.0);
  std::vector<int> count(sum.size(), 0);
  for (int j = 1; j <= nseries; ++j) {
    for (int k = 1; k <= spans[at(j)].length(); ++k) {
      const float v = indices.at(k, j);
      if (v == missing || is_marker(v)) continue;
      const std::size_t y = static_cast<std::size_t>(spans[at(j)].first + k - 1 - first);
      sum[y] += v;
      ++count[y];
    }
  }
  Points average;
  for (std::size_t y = 0; y < sum.size(); ++y) {
    average.add(first + static_cast<double>(y), count[y] > 0 ? sum[y] / count[y] : 0.0);
  }
  const Range x = usable({static_cast<double>(first), static_cast<double>(last)});
  const Range y = l.range();
  LoopPage page;
  page.title = std::string(title);
  page.save_name = std::string(kFig11);
  page.shape = {1, 2};
  page.draw = [&] {
    frame(x, y, "Calendar Year", "Y", "First Detrending", kGrid);
    for (const Points& p : series) {
      stop_if_interrupted();  // every series at the limits takes seconds to draw into a file
      p.draw(kRed, 2);
    }
    frame(x, y, "Calendar Year", "Y", "Average Indices", kGrid);
    average.draw(kRed, 2);
  };
  return page_loop(session, page);
}

PlotExit plt3(PlotSession& session, const SeriesPage& s, std::span<const float> frc, int n,
              float missing, std::string_view title) {
  // The upper panel stands on 0, lower only for a value below 0.
  float top_min = 0.0f, top_max = -kCurveLimitStart;
  Points ring, fit, year;
  for (std::size_t i = 0; i < s.by_ring.size(); ++i) {
    if (s.by_ring[i] != missing) {
      top_max = std::max(top_max, s.by_ring[i]);
      top_min = std::min(top_min, s.by_ring[i]);
    }
    ring.add(s.pith_offset + static_cast<double>(i + 1), s.by_ring[i]);
  }
  for (int i = 1; i <= n; ++i) {
    const float f = value(frc, i);
    if (f == missing) continue;
    top_max = std::max(top_max, f);
    top_min = std::min(top_min, f);
    fit.add(i, f);
  }
  Limits bottom(kCurveLimitStart);
  for (std::size_t i = 0; i < s.by_year.size(); ++i) {
    if (s.by_year[i] != missing) bottom.widen(s.by_year[i]);
    year.add(s.first_year + static_cast<double>(i), s.by_year[i]);
  }
  const std::string top(title.substr(0, std::min<std::size_t>(title.size(), 30)));
  const Range top_x = usable({0.0, static_cast<double>(n)});
  const Range top_y = usable({static_cast<double>(top_min), static_cast<double>(top_max)});
  const Range bottom_x = usable({static_cast<double>(s.first_year),
                                 s.first_year + static_cast<double>(s.by_year.size()) - 1.0});
  LoopPage page;
  page.title = top + " " + s.id;
  page.save_name = std::string(kFig1);
  page.shape = {1, 2};
  page.choices = " [s]ave  [c]ontinue  [r]eplot  [n]o more plots";
  page.offers_no_more = true;
  page.draw = [&] {
    frame(top_x, top_y, "Biological Year", "Y", top, kGrid);
    ring.draw(kRed, 2);
    fit.draw(kBlue, 2);
    plwidth(1);
    frame(bottom_x, bottom.range(), "Calendar Year", "Y", s.id, kGrid);
    year.draw(kRed, 2);
  };
  return page_loop(session, page);
}

PageShape curve_grid(int entries) {
  if (entries <= 8) return {2, 4};
  if (entries <= 10) return {2, 5};
  if (entries <= 15) return {3, 5};
  return {4, 5};
}

PlotExit plt4(PlotSession& session, std::span<const RegionalCurvePair> curves, int n,
              float missing) {
  const int entries = static_cast<int>(curves.size());
  if (entries > kMaxCurvePages) {
    Console& con = session.console();
    con.say("");
    con.say("Too many Regional curves to plot. Try ");
    con.say("plotting them outside this program.");
    con.pause("Hit RETURN to Continue");
    return PlotExit::proceed;
  }
  const Range y = curve_limits(curves, missing).range();
  // Each curve is drawn against its own ages.
  std::vector<Points> rc(curves.size()), frc(curves.size());
  for (std::size_t p = 0; p < curves.size(); ++p) {
    for (int i = 1; i <= n; ++i) {
      const float r = value(curves[p].rc, i);
      if (r == missing) continue;
      rc[p].add(i, r);
      frc[p].add(i, value(curves[p].frc, i));
    }
  }
  const Layout iteration("(a,2x,i3)");
  LoopPage page;
  page.title = "Regional Curve and Fit of Each Iteration";
  page.save_name = std::string(kFig1);
  page.shape = curve_grid(entries);
  page.draw = [&] {
    for (std::size_t p = 0; p < curves.size(); ++p) {
      const std::string label =
          p == 0 ? "Initial RC and Fit" : iteration.write("Iteration #", static_cast<int>(p));
      // The ages run to the last one drawn (the number of points, unless the curve has
      // missing ages before its end).
      const double last_age = rc[p].x.empty() ? 0.0 : rc[p].x.back();
      frame(usable({0.0, last_age}), y, "Biological Year", "Y", label, kGrid);
      rc[p].draw(kBlue, 1);
      frc[p].draw(kRed, 2);
      plwidth(1);
    }
  };
  return page_loop(session, page);
}

PlotExit plt5(PlotSession& session, std::span<const RegionalCurvePair> curves, int n,
              float missing) {
  const Range y = curve_limits(curves, missing).range();
  std::vector<Points> rc(curves.size());
  for (std::size_t p = 0; p < curves.size(); ++p) {
    for (int i = 1; i <= n; ++i) {
      const float r = value(curves[p].rc, i);
      if (r != missing && r != 0.0f) rc[p].add(i, r);
    }
  }
  LoopPage page;
  page.title = "Regional Curves";
  page.save_name = std::string(kFig1);
  page.draw = [&] {
    frame(usable({0.0, static_cast<double>(n)}), y, "Biological Year", "Y", page.title, kGrid);
    plcol0(kBlue);
    plmtex("rv", -38.4, 1.065, 0.0, "Initial");
    plcol0(kRed);
    plmtex("rv", -34.4, 1.065, 0.0, "/Final");
    for (std::size_t p = 0; p < rc.size(); ++p) {
      const int colour = p + 1 == rc.size() ? kRed : p == 0 ? kBlue : kBlack;
      rc[p].draw(colour, 1);
    }
  };
  return page_loop(session, page);
}

PlotExit spaghetti(PlotSession& session, const EngineMatrix& m, int n, int nseries,
                   std::span<const float> reference, int first_year, const LineTexts& texts) {
  Limits l(kSeriesLimitStart);
  std::vector<Points> columns(count(nseries));
  for (int j = 1; j <= nseries; ++j) {
    for (int i = 1; i <= n; ++i) {
      const float v = m.at(i, j);
      if (v != kEmptyCell) l.widen(v);
      columns[at(j)].add(first_year + i - 1, v);
    }
  }
  const float margin = (l.max - l.min) / 20.0f;
  const Range y =
      usable({static_cast<double>(l.min - margin), static_cast<double>(l.max + margin)});
  const Range x = usable({static_cast<double>(first_year), first_year + n - 1.0});
  Points ref;
  if (!reference.empty() && reference[0] != kNoReference) {
    for (int i = 1; i <= n && at(i) < reference.size(); ++i)
      ref.add(first_year + i - 1, reference[at(i)]);
  }
  const int ends = label_text(texts.y_label) == "Biweights" ? 1 : 2;
  LoopPage page;
  page.title = texts.title;
  page.save_name = title_save_name(texts.title);
  page.draw = [&] {
    open_line_panel(x, y);
    texts_of_page(texts);
    pllsty(1);
    ref.draw(kBlack, 2);
    for (std::size_t j = 0; j < columns.size(); ++j) {
      const bool first = j == 0, last = j + 1 == columns.size();
      columns[j].draw(first ? kBlue : last ? kRed : kBlack, first || last ? ends : 1);
    }
    plwidth(2);
    plcol0(kBlue);
    plmtex("b", kLegendDisplacement, 0.19, 0.0, label_text(texts.legend1).c_str());
    plcol0(kRed);
    plmtex("b", kLegendDisplacement, 0.55, 0.0, label_text(texts.legend2).c_str());
  };
  return page_loop(session, page);
}

void linguine2(PlotSession& session, const EngineMatrix& first, const EngineMatrix& second,
               std::span<const float> reference, std::span<const SeriesSpan> spans,
               const LineTexts& texts) {
  const std::optional<std::string> device = session.screen_device();
  if (!device) return;
  const int nseries = static_cast<int>(spans.size()) - 1;
  Limits l(kSeriesLimitStart);
  std::vector<Points> blue(count(nseries)), red(blue.size());
  int x0 = spans[at(nseries + 1)].first, x1 = spans[at(nseries + 1)].last;
  for (int j = 1; j <= nseries; ++j) {
    stop_if_interrupted();
    const SeriesSpan& s = spans[at(j)];
    x0 = std::min(x0, s.first);
    x1 = std::max(x1, s.last);
    for (int k = 1; k <= s.length(); ++k) {
      for (const EngineMatrix* m : {&first, &second}) {
        const float v = m->at(k, j);
        if (v != kEmptyCell) l.widen(v);
      }
      blue[at(j)].add(s.first + k - 1, first.at(k, j));
      red[at(j)].add(s.first + k - 1, second.at(k, j));
    }
  }
  // The axis does not go below 0 for values that do not; values below 0 are shown.
  const float margin = (l.max - l.min) / 10.0f;
  const double floor = l.min - margin;
  const Range y =
      usable({l.min >= 0.0f ? std::max(0.0, floor) : floor, static_cast<double>(l.max + margin)});
  Points ref;
  if (!reference.empty() && reference[0] != kNoReference) {
    const SeriesSpan& set = spans[at(nseries + 1)];
    for (int k = 1; k <= set.length() && at(k) < reference.size(); ++k) {
      ref.add(set.first + k - 1, reference[at(k)]);
    }
  }
  try {
    PlotPage page(*device, std::string(), true, PlotStyle{}, PageShape{});
    plcol0(kBlack);
    plwidth(2);
    plenv(x0, std::max(x1, x0 + 1), y.min, y.max, 0, 0);
    texts_of_page(texts);
    pllsty(1);
    // Every series twice at the limits takes seconds to draw.
    const auto draw_all = [](const std::vector<Points>& lines, int colour) {
      for (const Points& p : lines) {
        stop_if_interrupted();
        p.draw(colour, 1);
      }
    };
    draw_all(blue, kBlue);
    draw_all(red, kRed);
    ref.draw(kBlack, 2);
    plcol0(kBlue);
    plmtex("b", kLegendDisplacement, 0.05, 0.0, label_text(texts.legend1).c_str());
    plcol0(kRed);
    plmtex("b", kLegendDisplacement, 0.72, 0.0, label_text(texts.legend2).c_str());
    page.finish();
  } catch (const PlotError& e) {
    session.console().say(" *** PLplot: " + std::string(e.what()));
  }
}

}  // namespace dendro
