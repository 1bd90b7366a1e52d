// The running RBAR of the signal-free engine: the mean inter-series correlation in moving
// windows, the EPS and effective number of series of every year in two variants (by
// window, and averaged over runs of equal sample depth), the RBAR file and the chronology
// stabilised with them.
#pragma once

#include <span>

#include "pelliform/engine_args.h"

namespace dendro {

class Console;
class Units;

// Fewest correlations that define a window's RBAR.
inline constexpr int kMinWindowCorrelations = 3;

// Running RBAR of the index series x (rows by chronology year, row 1 the chronology's
// first year; spans[nseries] holds that first and last year). Reads column 1 of `chron`
// (the chronology) and of `yearly` (the sample depth), both with a row per year; writes
// columns 2 and 3 of `chron` (the chronology stabilised with RBAR1 and RBAR2), columns 2
// to 5 of `yearly`, and `windows` (one row of 7 per window with a defined RBAR). An even
// window is made odd (the overlap becomes the old window). The yearly table goes to the
// open `unit`; the window settings to the console when `restarts` is 0. Returns the number
// of windows with a defined RBAR.
int runbar(const EngineMatrix& x, EngineMatrix& chron, std::span<const SeriesSpan> spans,
           EngineMatrix& windows, EngineMatrix& yearly, int& window, int& overlap, Units& units,
           int unit, int restarts, Console& con);

// EPS of n series with mean correlation r, n r / (1 - r + n r), and their effective number,
// n / (1 + (n - 1) r). Both are the undefined marker kRbarUndefined when r is, or when the
// formula has no value (a zero denominator).
float yearly_eps(float r, float n);
float yearly_neff(float r, float n);

}  // namespace dendro
