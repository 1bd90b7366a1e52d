// Running rbar and the expressed population signal (EPS): the mean correlation of the
// series pairs that cover a window of years, window by window along the chronology.
#pragma once

#include <array>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"
#include "statistics/pair_correlations.h"
#include "statistics/series_view.h"

namespace dendro {

// The correlations of one window.
struct WindowCorrelations {
  int count = 0;                // correlations computed
  float rbar = kRbarUndefined;  // their mean
  float sd = kRbarUndefined;    // their standard deviation (divisor count - 1)
  float se = kRbarUndefined;    // sd / sqrt(count)
  bool defined() const { return rbar != kRbarUndefined; }
};

// Correlations of every pair of series that holds every year of the window `start` to
// `start + window - 1`. With fewer than `min_correlations` correlations the window is
// undefined; kalder takes one, where a single correlation has sd and se 0.
WindowCorrelations rrbar(const SeriesView& view, int start, int window, int min_correlations = 1);

// One window of the running rbar table; the run driver writes the columns in this order.
struct RunningRbarRow {
  float year = 0;   // middle year of the window
  float corrs = 0;  // number of correlations
  float rbar = 0;
  float sdev = 0;
  float serr = 0;
  float eps = 0;
  float cores = 0;  // mean number of series with a value per year of the window
  std::array<float, 7> columns() const { return {year, corrs, rbar, sdev, serr, eps, cores}; }
};

// EPS of `series` series whose mean correlation is r: n r / (1 + (n - 1) r), a share of
// variance between 0 and 1. A negative mean correlation expresses no common signal (the
// formula leaves 0..1 and divides by 0 at r = -1 / (n - 1)): EPS is then `undefined`, the
// marker of the table it goes to; so it is without a series.
float eps(float r, float series, float undefined);

// The running rbar windows of a chronology of `length` years whose first and last year are
// the view's set span (`first_year`, `last_year`), with window and overlap in years: the
// first window starts at the first year, the later ones from the decade after it, one
// step of window - overlap apart; windows that end after the last year or that no pair
// covers give no row. A step below 1 gives no windows.
std::vector<RunningRbarRow> running_rbar(const SeriesView& view, int first_year, int last_year,
                                         int length, int window, int overlap);

// runr: the running rbar of the series store with option 16's window and overlap; prints
// the window settings and the window count on the console, and the running rbar block to
// the report unit; returns the rows (the window count is their number).
std::vector<RunningRbarRow> runr(const Tsi1& tsi1, int length, const Icommands& icommands,
                                 Console& con, Units& units, int report_unit);

}  // namespace dendro
