// The running RBAR of the signal-free engine: the mean inter-series correlation in moving
// windows, the EPS and effective number of series of every year in two variants (by
// window, and averaged over runs of equal sample depth), the RBAR file and the chronology
// stabilised with them.
#pragma once

#include <span>

#include "pelliform/engine_args.h"
#include "series/parallel.h"

namespace dendro {

class Console;
class Units;

// Fewest correlations that define a window's RBAR.
inline constexpr int kMinWindowCorrelations = 3;

// The running RBAR and what it gives, as the engine's tables hold it (columns in
// engine_args.h).
struct RunningRbar {
  int window = 0;           // odd: an even window grows by one year
  int overlap = 0;          // the old window when it grew, one year between windows
  EngineMatrix chronology;  // years x 3: the chronology, stabilised with RBAR1 and RBAR2
  EngineMatrix windows;     // one row of 7 per window with a defined RBAR
  EngineMatrix yearly;      // years x 5: sample depth, RBAR1, NEFF1, RBAR2, NEFF2
  int defined_windows() const { return windows.rows; }
};

// Running RBAR of the index series x (rows by chronology year, row 1 the chronology's
// first year; spans[nseries] holds that first and last year), for the chronology and its
// sample depth (one value per year each). An even window is made odd (the overlap becomes
// the old window). The windows are shared among `threads` threads.
RunningRbar runbar(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                   std::span<const float> chronology, std::span<const float> depth, int window,
                   int overlap, int threads = worker_count());

// The window settings and the number of windows with a defined RBAR, on the console.
void say_runbar_settings(const RunningRbar& r, Console& con);

// The yearly table, one row per year from `first_year`, to the open `unit`.
void write_runbar_table(const RunningRbar& r, int first_year, Units& units, int unit);

// EPS of n series with mean correlation r, n r / (1 - r + n r), and their effective number,
// n / (1 + (n - 1) r). Both are the undefined marker kRbarUndefined when r is, when r is 0
// or below (no common signal), or when the formula has no value (a zero denominator).
float yearly_eps(float r, float n);
float yearly_neff(float r, float n);

}  // namespace dendro
