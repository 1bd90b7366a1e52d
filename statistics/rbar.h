// Mean inter-series correlation (rbar) of a data file: the correlation of every pair of
// series over their common years, for the pairs that share more than 20 years.
#pragma once

#include <cstdint>

#include "series/console.h"
#include "series/files/units.h"
#include "series/parallel.h"
#include "series/store.h"
#include "statistics/correlation_block.h"
#include "statistics/series_view.h"

namespace dendro {

inline constexpr int kMinCommonYears = 21;  // pairs sharing 20 years or fewer are left out

// The shares, in percent, of all N (N - 1) / 2 pairs of N series that were correlated
// and of all their possible tree-ring years (the pairs times the set's span) that went
// into the correlations; 0 where nothing was possible.
struct RbarShares {
  float pairs = 0;
  float years = 0;
};
RbarShares rbar_shares(int correlations, std::int64_t total_years, int series, int span);

struct RbarResult {
  CorrelationStatistics stats;
  RbarShares shares;
};

// The correlations of every pair with more than 20 common years and their statistics.
// The span is the set's last year less its first year plus 1. The pairs are correlated on
// `threads` threads; the results do not depend on how many.
RbarResult rbar_statistics(const SeriesView& view, int span, int threads = worker_count());

// rbar of the series store: prints the mean and the shares on the console and the
// statistics block with the extreme pairs to the report unit, and returns the mean
// correlation (kUndefined when no pair shares more than 20 years).
float rbar(const Tsi1& tsi1, Console& con, Units& units, int report_unit);

}  // namespace dendro
