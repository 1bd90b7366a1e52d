#include "pelliform/running_rbar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <vector>

#include "series/console.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/units.h"
#include "statistics/pair_correlations.h"
#include "statistics/running_rbar.h"
#include "statistics/series_view.h"

namespace dendro {
namespace {

SeriesView view_of(const EngineMatrix& x, std::span<const SeriesSpan> spans, int nseries) {
  SeriesView view;
  view.matrix = x.cells;
  view.rows = x.rows;
  view.first_year = spans[at(nseries + 1)].first;
  for (int i = 1; i <= nseries; ++i) {
    view.first.push_back(spans[at(i)].first);
    view.last.push_back(spans[at(i)].last);
  }
  check_series_view(view);
  return view;
}

// The cells that hold a value in rows 1 to r of the series' columns, for r = 0 to the
// matrix rows: a window's count is the difference of two entries.
std::vector<int> values_present_through(const EngineMatrix& x, int nseries) {
  std::vector<int> through(static_cast<std::size_t>(x.rows) + 1, 0);
  for (int i = 1; i <= nseries; ++i) {
    const auto column = x.column(i);
    for (std::size_t k = 0; k < column.size(); ++k) {
      if (column[k] != kEmptyCell && !is_missing(column[k])) ++through[k + 1];
    }
  }
  for (std::size_t k = 1; k < through.size(); ++k) through[k] += through[k - 1];
  return through;
}

// Cells of the window's rows that hold a value.
int values_present(const std::vector<int>& through, int row, int window) {
  return through.at(at(row + window)) - through.at(at(row));
}

}  // namespace

// Both formulas share the denominator 1 + (n - 1) r; where it is 0 (no series in the year
// and RBAR 1, or RBAR -1 / (n - 1)) the value is undefined, as it is for an undefined RBAR.
float yearly_eps(float r, float n) {
  const float d = 1.0f - r + n * r;
  return r == kRbarUndefined || d == 0.0f ? kRbarUndefined : n * r / d;
}

float yearly_neff(float r, float n) {
  const float d = 1.0f + (n - 1.0f) * r;
  return r == kRbarUndefined || d == 0.0f ? kRbarUndefined : n / d;
}

namespace {

// The windows that end within the chronology, each with a defined RBAR.
std::vector<RunningRbarRow> window_rbars(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                                         int window, int overlap) {
  const int nseries = static_cast<int>(spans.size()) - 1;
  const int first = spans[at(nseries + 1)].first;
  const int last = spans[at(nseries + 1)].last;
  const int step = std::max(window - overlap, 1);
  const SeriesView view = view_of(x, spans, nseries);
  const std::vector<int> present = values_present_through(x, nseries);
  std::vector<RunningRbarRow> rows;
  for (int start = first; start + window - 1 <= last; start += step) {
    const WindowCorrelations w = rrbar(view, start, window, kMinWindowCorrelations);
    if (!w.defined()) continue;
    const int centre = start + window / 2;
    const float series = static_cast<float>(values_present(present, start - first + 1, window)) /
                         static_cast<float>(window);
    const float window_eps = w.rbar / ((1.0f - w.rbar) / series + w.rbar);
    rows.push_back({static_cast<float>(centre), static_cast<float>(w.count), w.rbar, w.sd, w.se,
                    window_eps, series});
  }
  return rows;
}

// RBAR1 of every year: each defined RBAR goes to its window's centre year; years before the
// first window's centre take its RBAR, every later year keeps the RBAR of the last window
// centred at or before it.
std::vector<float> rbar_by_year(const std::vector<RunningRbarRow>& windows, int first_year,
                                int n) {
  std::vector<float> rbar1(count(n), kRbarUndefined);
  if (windows.empty()) return rbar1;
  for (const RunningRbarRow& w : windows) {
    rbar1[at(static_cast<int>(w.year) - first_year + 1)] = w.rbar;
  }
  float carried = windows.front().rbar;
  for (float& r : rbar1) {
    if (r != kRbarUndefined) carried = r;
    r = carried;
  }
  return rbar1;
}

// RBAR2: the mean RBAR1 of each run of years of equal sample depth.
std::vector<float> rbar_by_depth(const std::vector<float>& rbar1, std::span<const float> depth,
                                 bool defined) {
  const int n = static_cast<int>(rbar1.size());
  std::vector<float> rbar2(rbar1.size(), kRbarUndefined);
  for (int k = 1; k <= n;) {
    const int d = static_cast<int>(depth[at(k)]);
    int end = k;
    while (end < n && static_cast<int>(depth[at(end + 1)]) == d) ++end;
    float sum = 0;
    for (int j = k; j <= end; ++j) sum += rbar1[at(j)];
    for (int j = k; j <= end; ++j) {
      rbar2[at(j)] = defined ? sum / static_cast<float>(end - k + 1) : kRbarUndefined;
    }
    k = end + 1;
  }
  return rbar2;
}

// The stabilised chronologies about the mean of the years with series. A negative RBAR has
// no square root: such years keep only the mean (no common signal to scale); without any
// defined window the chronology stands as it is.
void stabilise_years(std::vector<RbarYear>& years, std::span<const float> chronology,
                     bool defined) {
  float sum = 0;
  int with_series = 0;
  for (std::size_t k = 0; k < years.size(); ++k) {
    if (static_cast<int>(years[k].depth) > 0) {
      sum += chronology[k];
      ++with_series;
    }
  }
  const float mean = with_series > 0 ? sum / static_cast<float>(with_series) : 0.0f;
  // An undefined NEFF comes with a negative RBAR in a year with series: no signal to scale.
  auto factor = [](float r, float neff) {
    return neff == kRbarUndefined ? 0.0f : std::sqrt(std::max(0.0f, r * neff));
  };
  for (std::size_t k = 0; k < years.size(); ++k) {
    RbarYear& y = years[k];
    const float c = chronology[k];
    const bool has_series = static_cast<int>(y.depth) > 0;
    const bool scale = defined && has_series;
    const float f1 = scale ? factor(y.rbar1, y.neff1) : 1.0f;
    const float f2 = scale ? factor(y.rbar2, y.neff2) : 1.0f;
    y.stabilised1 = has_series ? (c - mean) * f1 + mean : c;
    y.stabilised2 = has_series ? (c - mean) * f2 + mean : c;
  }
}

}  // namespace

RunningRbar runbar(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                   std::span<const float> chronology, std::span<const float> depth, int window,
                   int overlap) {
  const int nseries = static_cast<int>(spans.size()) - 1;
  RunningRbar r;
  r.first_year = spans[at(nseries + 1)].first;
  const int n = spans[at(nseries + 1)].last - r.first_year + 1;
  if (chronology.size() < count(n) || depth.size() < count(n)) {
    throw std::invalid_argument("runbar: chronology or sample depth shorter than the years");
  }
  // An odd window, one year between windows.
  if (window % 2 == 0) {
    overlap = window;
    window = window + 1;
  }
  r.window = window;
  r.overlap = overlap;
  r.windows = window_rbars(x, spans, window, overlap);

  const bool defined = !r.windows.empty();
  const std::vector<float> rbar1 = rbar_by_year(r.windows, r.first_year, n);
  const std::vector<float> rbar2 = rbar_by_depth(rbar1, depth.first(count(n)), defined);
  r.years.resize(count(n));
  for (std::size_t k = 0; k < r.years.size(); ++k) {
    RbarYear& y = r.years[k];
    y.depth = depth[k];
    y.rbar1 = rbar1[k];
    y.rbar2 = rbar2[k];
    y.neff1 = yearly_neff(y.rbar1, y.depth);
    y.neff2 = yearly_neff(y.rbar2, y.depth);
  }
  stabilise_years(r.years, chronology, defined);
  return r;
}

void report_runbar(const RunningRbar& r, bool settings, Units& units, int unit, Console& con) {
  if (settings) {
    const Layout line("(t2,a,t37,i5)");
    con.say("");
    con.say(line.write("Running RBAR window length: ", r.window));
    con.say(line.write("Running RBAR window overlap: ", r.overlap));
    con.say(line.write("Running RBAR segments calculated: ", static_cast<int>(r.windows.size())));
  }
  units.write(unit, " YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  const Layout row("(i5,i7,6f8.3)");
  for (std::size_t k = 0; k < r.years.size(); ++k) {
    const RbarYear& y = r.years[k];
    units.write(unit, row.write(r.first_year + static_cast<int>(k), static_cast<int>(y.depth),
                                y.rbar1, y.eps1(), y.neff1, y.rbar2, y.eps2(), y.neff2));
  }
}

void store(const RunningRbar& r, EngineMatrix& chron, EngineMatrix& windows,
           EngineMatrix& yearly) {
  windows.reshape(static_cast<int>(r.windows.size()), 7, 0.0f);
  for (std::size_t w = 0; w < r.windows.size(); ++w) {
    const auto columns = r.windows[w].columns();
    for (int c = 1; c <= 7; ++c) windows.at(static_cast<int>(w) + 1, c) = columns[at(c)];
  }
  for (int k = 1; k <= static_cast<int>(r.years.size()); ++k) {
    const RbarYear& y = r.years[at(k)];
    yearly.at(k, 2) = y.rbar1;
    yearly.at(k, 3) = y.neff1;
    yearly.at(k, 4) = y.rbar2;
    yearly.at(k, 5) = y.neff2;
    chron.at(k, 2) = y.stabilised1;
    chron.at(k, 3) = y.stabilised2;
  }
}

}  // namespace dendro
