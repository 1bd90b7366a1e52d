#include "pelliform/running_rbar.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
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

int runbar(const EngineMatrix& x, EngineMatrix& chron, std::span<const SeriesSpan> spans,
           EngineMatrix& windows, EngineMatrix& yearly, int& window, int& overlap, Units& units,
           int unit, int restarts, Console& con) {
  const int nseries = static_cast<int>(spans.size()) - 1;
  const int first = spans[at(nseries + 1)].first;
  const int last = spans[at(nseries + 1)].last;
  const int n = last - first + 1;

  // Step 1: an odd window, one year between windows.
  if (window % 2 == 0) {
    overlap = window;
    window = window + 1;
  }
  if (restarts == 0) {
    con.say("");
    con.say(Layout("(t2,a,t37,i5)").write("Running RBAR window length: ", window));
    con.say(Layout("(t2,a,t37,i5)").write("Running RBAR window overlap: ", overlap));
  }

  // Steps 3 and 4: the windows that end within the chronology. Each defined RBAR goes to
  // its window's centre year.
  const int step = std::max(window - overlap, 1);
  const SeriesView view = view_of(x, spans, nseries);
  const std::vector<int> present = values_present_through(x, nseries);
  std::vector<float> rbar1(count(n), kRbarUndefined);
  std::vector<std::array<float, 7>> rows;
  for (int start = first; start + window - 1 <= last; start += step) {
    const WindowCorrelations w = rrbar(view, start, window, kMinWindowCorrelations);
    if (!w.defined()) continue;
    const int centre = start + window / 2;
    const float series = static_cast<float>(values_present(present, start - first + 1, window)) /
                         static_cast<float>(window);
    const float window_eps = w.rbar / ((1.0f - w.rbar) / series + w.rbar);
    rows.push_back({static_cast<float>(centre), static_cast<float>(w.count), w.rbar, w.sd, w.se,
                    window_eps, series});
    rbar1[at(centre - first + 1)] = w.rbar;
  }
  windows.reshape(static_cast<int>(rows.size()), 7, 0.0f);
  for (std::size_t r = 0; r < rows.size(); ++r) {
    for (int c = 1; c <= 7; ++c) windows.at(static_cast<int>(r) + 1, c) = rows[r][at(c)];
  }
  if (restarts == 0) {
    con.say(Layout("(t2,a,t37,i5)").write("Running RBAR segments calculated: ",
                                          static_cast<int>(rows.size())));
  }

  // Step 6: years before the first window's centre take its RBAR; every later year keeps
  // the RBAR of the last window centred at or before it.
  const bool defined = !rows.empty();
  if (defined) {
    float carried = rows.front()[2];
    for (float& r : rbar1) {
      if (r != kRbarUndefined) carried = r;
      r = carried;
    }
  }

  // Steps 7 and 8: RBAR2 is the mean RBAR1 of each run of equal sample depth; the
  // effective numbers of series of both.
  std::vector<float> rbar2(rbar1.size(), kRbarUndefined);
  for (int k = 1; k <= n;) {
    const int depth = static_cast<int>(yearly.at(k, 1));
    int end = k;
    while (end < n && static_cast<int>(yearly.at(end + 1, 1)) == depth) ++end;
    float sum = 0;
    for (int j = k; j <= end; ++j) sum += rbar1[at(j)];
    for (int j = k; j <= end; ++j) rbar2[at(j)] = defined ? sum / static_cast<float>(end - k + 1) : kRbarUndefined;
    k = end + 1;
  }

  // Step 9: the stabilised chronologies about the mean of the years with series. A
  // negative RBAR has no square root: such years keep only the mean (no common signal to
  // scale); without any defined window the chronology stands as it is.
  std::vector<int> depth(rbar1.size());
  for (int k = 1; k <= n; ++k) depth[at(k)] = static_cast<int>(yearly.at(k, 1));
  std::vector<float> c(rbar1.size());
  for (int k = 1; k <= n; ++k) c[at(k)] = chron.at(k, 1);
  float sum = 0;
  int count = 0;
  for (int k = 1; k <= n; ++k) {
    if (depth[at(k)] > 0) {
      sum += c[at(k)];
      ++count;
    }
  }
  const float mean = count > 0 ? sum / static_cast<float>(count) : 0.0f;
  // An undefined NEFF comes with a negative RBAR in a year with series: no signal to scale.
  auto factor = [](float r, float neff) {
    return neff == kRbarUndefined ? 0.0f : std::sqrt(std::max(0.0f, r * neff));
  };
  for (int k = 1; k <= n; ++k) {
    const float nk = yearly.at(k, 1);
    const float r1 = rbar1[at(k)], r2 = rbar2[at(k)];
    yearly.at(k, 2) = r1;
    yearly.at(k, 4) = r2;
    yearly.at(k, 3) = yearly_neff(r1, nk);
    yearly.at(k, 5) = yearly_neff(r2, nk);
    const bool scale = defined && depth[at(k)] > 0;
    const float f1 = scale ? factor(r1, yearly.at(k, 3)) : 1.0f;
    const float f2 = scale ? factor(r2, yearly.at(k, 5)) : 1.0f;
    chron.at(k, 2) = depth[at(k)] > 0 ? (c[at(k)] - mean) * f1 + mean : c[at(k)];
    chron.at(k, 3) = depth[at(k)] > 0 ? (c[at(k)] - mean) * f2 + mean : c[at(k)];
  }

  // Step 10: the yearly table.
  units.write(unit, " YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  const Layout row("(i5,i7,6f8.3)");
  for (int k = 1; k <= n; ++k) {
    const float nk = yearly.at(k, 1);
    const float r1 = yearly.at(k, 2), r2 = yearly.at(k, 4);
    units.write(unit, row.write(first + k - 1, static_cast<int>(nk), r1, yearly_eps(r1, nk),
                                yearly.at(k, 3), r2, yearly_eps(r2, nk), yearly.at(k, 5)));
  }
  return static_cast<int>(rows.size());
}

}  // namespace dendro
