#include "detrending/indices.h"

#include <cstddef>
#include <string>
#include <vector>

#include "series/descriptive.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/store.h"

namespace dendro {

void calind(std::span<float> y, std::span<const float> c, int mode) {
  for (std::size_t i = 0; i < y.size(); ++i) y[i] /= c[i];
  if (mode != kResidualIndices) return;

  const Moments ratios = moment(y);
  for (std::size_t i = 0; i < y.size(); ++i) y[i] = y[i] * c[i] - c[i];
  const Moments residuals = moment(y);
  // Without spread on either side there is nothing to carry over: the indices are the
  // ratios' mean (a standard deviation of -99 would otherwise flip and scale them).
  const bool spread = ratios.std_dev > 0 && residuals.std_dev > 0;
  for (float& v : y) {
    v = spread ? (v - residuals.mean) / residuals.std_dev * ratios.std_dev + ratios.mean
               : ratios.mean;
  }
}

namespace {

constexpr int kHeadEvery = 20;  // the column head repeats before every 20th series

void write_series_rows(Tsi1& tsi1, StatsTable& stats, Units& units, int unit, int printout) {
  const Layout heading(
      "(/t2,'|-------------------- statistics of ',"
      "'single tree-ring series -------------------|')");
  if (series_statistics_printed(printout)) units.write(unit, heading.write());
  const int set_first = tsi1.year_row(tsi1.count + 1).ify;
  const SeriesTableLayout table(set_first);
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesYears& y = tsi1.year_row(i);
    const int n = y.ily - y.ify + 1;
    const int r = y.ify - set_first + 1;
    std::vector<float> values(tsi1.column(i).begin() + (r - 1),
                              tsi1.column(i).begin() + (r - 1 + n));
    const Moments m = moment(values);
    const float cols[7] = {
        static_cast<float>(n), m.mean,           m.std_dev, m.skewness, m.kurtosis,
        m.mean_sensitivity,    m.autocorrelation};
    for (int k = 1; k <= 7; ++k) stats.at(i, k) = cols[k - 1];
    if (series_statistics_printed(printout)) {
      if (i == 1 || i % kHeadEvery == 0) units.write(unit, "\n" + table.head());
      units.write(unit, table.row(i, tsi1.ids[at(i)], y.ify, y.ily, n) + statistics_fields(m));
    }
  }
}

void write_summary(int count, StatsTable& stats, Units& units, int unit) {
  units.write(unit, Layout("(/t2,'|---------------- summary of single ',"
                           "'tree-ring series statistics ---------------|'/)")
                        .write());
  for (int k = 1; k <= 7; ++k) {
    std::vector<float> column(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) column[at(i)] = stats.at(i, k);
    const Moments m = moment(column);
    const FiveNumbers f = mfs(column);  // sorts the column: the table keeps it sorted
    for (int i = 1; i <= count; ++i) stats.at(i, k) = column[at(i)];
    const float summary[8] = {m.mean,    m.std_dev,     f.median,      f.spread,
                              f.minimum, f.lower_hinge, f.upper_hinge, f.maximum};
    for (int row = 1; row <= 8; ++row) stats.at(row, k) = summary[row - 1];
  }
  for (const std::string& line : summary_table_lines(stats)) units.write(unit, line);
}

}  // namespace

void sstat(Tsi1& tsi1, StatsTable& stats, Units& units, int unit, int printout) {
  write_series_rows(tsi1, stats, units, unit, printout);
  if (tsi1.count > 1) write_summary(tsi1.count, stats, units, unit);
}

}  // namespace dendro
