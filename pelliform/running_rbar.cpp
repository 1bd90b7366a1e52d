#include "pelliform/running_rbar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/parallel.h"
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
  std::vector<int> through(count(x.rows) + 1, 0);
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

// The window table of steps 3 and 4: the windows that end within the chronology, one
// year apart or `window - overlap`. Each defined RBAR also goes to its window's centre
// year in rbar1 (by chronology year).
EngineMatrix window_table(const EngineMatrix& x, std::span<const SeriesSpan> spans, int window,
                          int overlap, std::span<float> rbar1, int threads) {
  const int nseries = static_cast<int>(spans.size()) - 1;
  const int first = spans[at(nseries + 1)].first;
  const int last = spans[at(nseries + 1)].last;
  const int step = std::max(window - overlap, 1);
  const SeriesView view = view_of(x, spans, nseries);
  const std::vector<int> present = values_present_through(x, nseries);
  // The windows' correlations side by side, each window on its own.
  const int windows = last - window + 1 >= first ? (last - window + 1 - first) / step + 1 : 0;
  std::vector<WindowCorrelations> correlations(count(windows));
  parallel_for(
      windows,
      [&](int w) {
        correlations[static_cast<std::size_t>(w)] =
            rrbar(view, first + w * step, window, kMinWindowCorrelations);
      },
      threads);
  std::vector<std::array<float, rbar_window_column::columns>> rows;
  for (int item = 0; item < windows; ++item) {
    const int start = first + item * step;
    const WindowCorrelations& w = correlations[static_cast<std::size_t>(item)];
    if (!w.defined()) continue;
    const int centre = start + window / 2;
    const float series = static_cast<float>(values_present(present, start - first + 1, window)) /
                         static_cast<float>(window);
    const float window_eps = yearly_eps(w.rbar, series);
    rows.push_back({static_cast<float>(centre), static_cast<float>(w.count), w.rbar, w.sd, w.se,
                    window_eps, series});
    rbar1[at(centre - first + 1)] = w.rbar;
  }
  EngineMatrix table;
  table.reshape(static_cast<int>(rows.size()), rbar_window_column::columns, 0.0f);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (int c = 1; c <= rbar_window_column::columns; ++c) {
      table.at(static_cast<int>(r) + 1, c) = rows[r][at(c)];
    }
  }
  return table;
}

// Step 6: years before the first window's centre take its RBAR (`first_rbar`); every later
// year keeps the RBAR of the last window centred at or before it.
void carry_forward(std::span<float> rbar1, float first_rbar) {
  float carried = first_rbar;
  for (float& r : rbar1) {
    if (r != kRbarUndefined) carried = r;
    r = carried;
  }
}

// Step 7: the mean of rbar1 over each run of years of equal sample depth; undefined
// throughout without any defined window.
std::vector<float> mean_by_equal_depth(std::span<const float> rbar1, std::span<const float> depth,
                                       bool defined) {
  const int n = static_cast<int>(rbar1.size());
  std::vector<float> rbar2(rbar1.size(), kRbarUndefined);
  for (int k = 1; k <= n;) {
    const int d = static_cast<int>(depth[at(k)]);
    int end = k;
    while (end < n && static_cast<int>(depth[at(end + 1)]) == d) ++end;
    float sum = 0;
    for (int j = k; j <= end; ++j) sum += rbar1[at(j)];
    for (int j = k; j <= end; ++j)
      rbar2[at(j)] = defined ? sum / static_cast<float>(end - k + 1) : kRbarUndefined;
    k = end + 1;
  }
  return rbar2;
}

// Step 9: the chronology and it stabilised about the mean of the years with series, with
// each RBAR of the yearly table. A negative RBAR has no square root: such years keep only
// the mean (no common signal to scale); without any defined window the chronology stands
// as it is.
EngineMatrix stabilised_chronologies(std::span<const float> c, const EngineMatrix& yearly,
                                     bool defined) {
  namespace col = rbar_yearly_column;
  namespace out = rbar_chronology_column;
  const int n = static_cast<int>(c.size());
  std::vector<int> depth(c.size());
  for (int k = 1; k <= n; ++k) depth[at(k)] = static_cast<int>(yearly.at(k, col::depth));
  float sum = 0;
  int with_series = 0;
  for (int k = 1; k <= n; ++k) {
    if (depth[at(k)] > 0) {
      sum += c[at(k)];
      ++with_series;
    }
  }
  const float mean = with_series > 0 ? sum / static_cast<float>(with_series) : 0.0f;
  // An undefined NEFF comes with a negative RBAR in a year with series: no signal to scale.
  auto factor = [](float r, float neff) {
    return neff == kRbarUndefined ? 0.0f : std::sqrt(std::max(0.0f, r * neff));
  };
  EngineMatrix chron;
  chron.reshape(n, out::columns, 0.0f);
  for (int k = 1; k <= n; ++k) {
    const bool scale = defined && depth[at(k)] > 0;
    const float f1 = scale ? factor(yearly.at(k, col::rbar1), yearly.at(k, col::neff1)) : 1.0f;
    const float f2 = scale ? factor(yearly.at(k, col::rbar2), yearly.at(k, col::neff2)) : 1.0f;
    chron.at(k, out::chronology) = c[at(k)];
    chron.at(k, out::rbar1_stabilised) =
        depth[at(k)] > 0 ? (c[at(k)] - mean) * f1 + mean : c[at(k)];
    chron.at(k, out::rbar2_stabilised) =
        depth[at(k)] > 0 ? (c[at(k)] - mean) * f2 + mean : c[at(k)];
  }
  return chron;
}

}  // namespace

// Both formulas hold for a positive mean correlation only: at 0 or below the series share
// no signal to express, and the formulas give values outside their ranges (EPS below 0 or
// above 1, NEFF above n). Such years, years without series (denominator n r = 0) and an
// undefined RBAR (-99.9, itself negative) get the undefined marker.
float yearly_eps(float r, float n) {
  const float d = 1.0f - r + n * r;
  return r <= 0.0f || d <= 0.0f ? kRbarUndefined : n * r / d;
}

float yearly_neff(float r, float n) {
  const float d = 1.0f + (n - 1.0f) * r;
  return r <= 0.0f || d <= 0.0f ? kRbarUndefined : n / d;
}

RunningRbar runbar(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                   std::span<const float> chronology, std::span<const float> depth, int window,
                   int overlap, int threads) {
  const int n = spans.back().length();  // the summary row
  RunningRbar r;

  // Step 1: an odd window, one year between windows.
  r.window = window;
  r.overlap = overlap;
  if (window % 2 == 0) {
    r.overlap = window;
    r.window = window + 1;
  }

  // Steps 3 and 4: the windows with a defined RBAR, each RBAR at its window's centre year;
  // step 6: carried to the years between and beyond the centres.
  std::vector<float> rbar1(count(n), kRbarUndefined);
  r.windows = window_table(x, spans, r.window, r.overlap, rbar1, threads);
  const bool defined = r.defined_windows() > 0;
  if (defined) carry_forward(rbar1, r.windows.at(1, rbar_window_column::rbar));

  // Steps 7 and 8: RBAR2 is the mean RBAR1 of each run of equal sample depth; the
  // effective numbers of series of both.
  namespace col = rbar_yearly_column;
  r.yearly.reshape(n, col::columns, 0.0f);
  for (int k = 1; k <= n; ++k) r.yearly.at(k, col::depth) = depth[at(k)];
  const std::vector<float> rbar2 = mean_by_equal_depth(rbar1, r.yearly.column(col::depth), defined);
  for (int k = 1; k <= n; ++k) {
    const float nk = r.yearly.at(k, col::depth);
    r.yearly.at(k, col::rbar1) = rbar1[at(k)];
    r.yearly.at(k, col::rbar2) = rbar2[at(k)];
    r.yearly.at(k, col::neff1) = yearly_neff(rbar1[at(k)], nk);
    r.yearly.at(k, col::neff2) = yearly_neff(rbar2[at(k)], nk);
  }

  // Step 9: the stabilised chronologies.
  r.chronology = stabilised_chronologies(chronology.first(count(n)), r.yearly, defined);
  return r;
}

void say_runbar_settings(const RunningRbar& r, Console& con) {
  const Layout setting("(t2,a,t37,i5)");
  con.say("");
  con.say(setting.write("Running RBAR window length: ", r.window));
  con.say(setting.write("Running RBAR window overlap: ", r.overlap));
  con.say(setting.write("Running RBAR segments calculated: ", r.defined_windows()));
}

// Step 10: the yearly table.
void write_runbar_table(const RunningRbar& r, int first_year, Units& units, int unit) {
  namespace col = rbar_yearly_column;
  // The year field widens (and the heading with it) only for years that five columns
  // cannot hold.
  const int width = year_field(first_year, 5, 0);
  units.write(unit, std::string(static_cast<std::size_t>(width - 5), ' ') +
                        " YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  // NEFF comes near the sample depth, up to 4500, when RBAR is near 0: above 999.999 it
  // keeps its blank with fewer decimals.
  const Layout row("(i" + std::to_string(width) + ",i7,6f8.3+)");
  for (int k = 1; k <= r.yearly.rows; ++k) {
    const float nk = r.yearly.at(k, col::depth);
    const float r1 = r.yearly.at(k, col::rbar1), r2 = r.yearly.at(k, col::rbar2);
    units.write(unit, row.write(first_year + k - 1, static_cast<int>(nk), r1, yearly_eps(r1, nk),
                                r.yearly.at(k, col::neff1), r2, yearly_eps(r2, nk),
                                r.yearly.at(k, col::neff2)));
  }
}

}  // namespace dendro
