// The correlation of every pair of series over the years the two share: the inner work of
// the all-pairs rbar statistics.
#pragma once

#include <functional>

#include "series/parallel.h"
#include "statistics/correlation_block.h"
#include "statistics/series_view.h"

namespace dendro {

// Correlates every pair i < j of the view's series that shares at least `min_years` common
// years and whose two series both vary over them (has_spread), and hands each to `add` in
// the order of i, then j; the other pairs are left out. Each r is pearsn's r over the
// common years, to the bit: single precision, deviations about the two means, every sum in
// year order. The pairs are correlated on `threads` threads; what `add` sees does not
// depend on how many.
void correlate_pairs(const SeriesView& view, int min_years,
                     const std::function<void(const CorrelationPair&)>& add,
                     int threads = worker_count());

}  // namespace dendro
