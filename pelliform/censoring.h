// Censoring of the series set: each routine keeps the series that pass one test, closes
// them up towards the front in their old order (each with its origin in the data file),
// rewrites the summary row and reports the reduced set on the console.
#pragma once

#include "pelliform/series_set.h"
#include "series/console.h"

namespace dendro {

// Keeps the series with at least `min_length` values. Nothing passing leaves an empty set.
void cenbyseg(int min_length, SeriesSet& set, Console& con);

// Keeps the series that start in `min_start` or later. Returns false, changing nothing,
// when no series passes.
bool cenayify(int min_start, SeriesSet& set, Console& con);

// Keeps the series that start in `max_start` or earlier. Returns false, changing nothing,
// when no series passes.
bool cenbyify(int max_start, SeriesSet& set, Console& con);

// Keeps the series that cover the years start..end and cuts every kept series to exactly
// those years, so that its first value is that of the common start year (the rings cut off
// its start are added to its origin). The summary row becomes start, end. Nothing passing
// leaves an empty set. The caller passes start <= end.
void cenbycom(int start, int end, SeriesSet& set, Console& con);

}  // namespace dendro
