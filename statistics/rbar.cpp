#include "statistics/rbar.h"

#include <algorithm>
#include <cmath>

#include "series/layout.h"
#include "statistics/pair_correlations.h"

namespace dendro {

RbarResult rbar_statistics(const SeriesView& view, int span, int threads) {
  const int n = view.count();
  // Extremes and sums in the order of the pairs: first series, then second.
  CorrelationSums sums;
  correlate_pairs(
      view, kMinCommonYears, [&](const CorrelationPair& pair) { sums.add(pair); }, threads);
  return {sums.statistics(), rbar_shares(sums.count(), sums.total_years(), n, span)};
}

RbarShares rbar_shares(int correlations, std::int64_t total_years, int series, int span) {
  RbarShares shares;
  // Both totals formed in 64 bits: 1500 series over 5000 years make 5.6e9 possible years.
  const std::int64_t pairs = static_cast<std::int64_t>(series) * (series - 1) / 2;
  const std::int64_t possible_years = pairs * std::max(span, 0);
  if (pairs > 0)
    shares.pairs = 100.0f * static_cast<float>(correlations) / static_cast<float>(pairs);
  if (possible_years > 0) {
    shares.years = 100.0f * static_cast<float>(total_years) / static_cast<float>(possible_years);
  }
  return shares;
}

float rbar(const Tsi1& tsi1, Console& con, Units& units, int report_unit) {
  const SeriesView view = series_view(tsi1);
  const SeriesYears& set = tsi1.years[static_cast<std::size_t>(tsi1.count)];
  const RbarResult result = rbar_statistics(view, set.ily - set.ify + 1);
  const CorrelationStatistics& s = result.stats;

  if (s.count > 0) {
    const Layout mean_line("(/1x,'all possible series rbar: ',f7.4,2x,'+/-', f9.4,' 1sd')");
    con.say(mean_line.write(s.mean, s.sd));
  } else {
    con.say("\n all possible series rbar: none, no two series share more than 20 years");
  }
  units.write(report_unit,
              correlation_block_heads("|-------------------- all possible series rbar statistics "
                                      "---------------------|"));
  units.write(report_unit, correlation_block_row(s));

  const Layout pairs_line("(1x,'percent of all possible cross-correlations:', t49,f6.2)");
  const Layout years_line("(1x,'percent of all possible tree-ring years used:', t49,f6.2)");
  con.say(pairs_line.write(result.shares.pairs));
  con.say(years_line.write(result.shares.years));

  // Without a correlation there is no pair to name.
  if (s.count > 0) {
    const auto id = [&](int series) { return tsi1.ids.at(static_cast<std::size_t>(series - 1)); };
    const Layout smallest_line(
        "(/t4,'minimum correlation: ',f6.3,'   series  ', a8,'   and  ',a8,i7,' years')");
    const Layout largest_line(
        "(t4,'maximum correlation: ',f6.3,'   series  ', a8,'   and  ',a8,i7,' years')");
    units.write(report_unit, smallest_line.write(s.smallest.r, id(s.smallest.first),
                                                 id(s.smallest.second), s.smallest.years));
    units.write(report_unit, largest_line.write(s.largest.r, id(s.largest.first),
                                                id(s.largest.second), s.largest.years));
  }
  const Layout pairs_used(
      "(/t8,'percent of all possible correlations used ', '(n>20 years): ',t68,f6.2)");
  const Layout years_used(
      "(t8,'percent of all possible tree-ring years ', 'used in rbar: ',t68,f6.2)");
  units.write(report_unit, pairs_used.write(result.shares.pairs));
  units.write(report_unit, years_used.write(result.shares.years));
  return s.mean;
}

}  // namespace dendro
