// The running RBAR of the signal-free engine: the mean inter-series correlation in moving
// windows, the EPS and effective number of series of every year in two variants (by
// window, and averaged over runs of equal sample depth), the RBAR file and the chronology
// stabilised with them.
#pragma once

#include <span>
#include <vector>

#include "pelliform/engine_args.h"
#include "statistics/running_rbar.h"

namespace dendro {

class Console;
class Units;

// Fewest correlations that define a window's RBAR.
inline constexpr int kMinWindowCorrelations = 3;

// EPS of n series with mean correlation r, n r / (1 - r + n r), and their effective number,
// n / (1 + (n - 1) r). Both are the undefined marker kRbarUndefined when r is, or when the
// formula has no value (a zero denominator).
float yearly_eps(float r, float n);
float yearly_neff(float r, float n);

// One year of the running RBAR.
struct RbarYear {
  float depth = 0.0f;  // the sample depth as the engine holds it
  // RBAR1: the RBAR of the last window centred at or before the year (before the first
  // centre, the first window's); RBAR2: the mean RBAR1 of the year's run of equal depth.
  // Both kRbarUndefined without any window.
  float rbar1 = kRbarUndefined, rbar2 = kRbarUndefined;
  float neff1 = kRbarUndefined, neff2 = kRbarUndefined;
  // The chronology stabilised with each about the mean of the years with series.
  float stabilised1 = 0.0f, stabilised2 = 0.0f;

  float eps1() const { return yearly_eps(rbar1, depth); }
  float eps2() const { return yearly_eps(rbar2, depth); }
};

struct RunningRbar {
  int window = 0;   // odd: an even window grows by one year
  int overlap = 0;  // an even window's overlap becomes the old window (one year per step)
  int first_year = 0;
  std::vector<RunningRbarRow> windows;  // one per window with a defined RBAR
  std::vector<RbarYear> years;          // one per chronology year
};

// Running RBAR of the index series x (rows by chronology year, row 1 the chronology's first
// year; spans[nseries] holds that first and last year) with the chronology and the sample
// depth of those years. Touches no file and no console. Throws std::invalid_argument when
// the chronology or the depth is shorter than the years.
RunningRbar runbar(const EngineMatrix& x, std::span<const SeriesSpan> spans,
                   std::span<const float> chronology, std::span<const float> depth, int window,
                   int overlap);

// The window settings and the number of windows on the console (when `settings` is set),
// and the yearly table to the open `unit`.
void report_runbar(const RunningRbar& r, bool settings, Units& units, int unit, Console& con);

// The running RBAR in the engine's tables: columns 2 and 3 of `chron` (the stabilised
// chronologies), `windows` (one row of 7 per window) and columns 2 to 5 of `yearly` (RBAR1,
// NEFF1, RBAR2, NEFF2).
void store(const RunningRbar& r, EngineMatrix& chron, EngineMatrix& windows,
           EngineMatrix& yearly);

}  // namespace dendro
