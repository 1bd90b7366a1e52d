#include "statistics/common_period.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string_view>

#include "series/correlation.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"
#include "statistics/correlation_block.h"
#include "statistics/running_rbar.h"

namespace dendro {
namespace {

// Report lines.
constexpr std::string_view kNoAnalysis =
    "(/t10,'*** number of series < 2, no common ','period analysis performed ***')";
constexpr std::string_view kTitle =
    "(/t2,'|----------------------- statistics of ','the common period ----------------------|')";
constexpr std::string_view kNoSeries =
    "(/t18,'*** no series found in common ','analysis period ***')";
constexpr std::string_view kOneSeries =
    "(/t15,'*** only one series found in common ','analysis period ***')";
constexpr std::string_view kSummaryTitle =
    "(/t2,'|------------ summary of common period ','tree-ring series statistics ------------|'/)";
constexpr std::string_view kSummaryHead =
    "(t33,'year    mean   stdev   skew   kurt   sens   ','ac(1)')";
constexpr std::string_view kSummaryRow = "(t2,a,t33,i4)";  // then the statistics
constexpr std::string_view kMinimumPair =
    "(/t4,'minimum correlation: ',f6.3,'   series  ',a8,'   and  ',a8,i7,' years')";
constexpr std::string_view kMaximumPair =
    "(t4,'maximum correlation: ',f6.3,'   series  ',a8,'   and  ',a8,i7,' years')";
constexpr std::string_view kNoWithin = "(/t2,a//t30,'no within-tree series found')";
constexpr std::string_view kNoBetween = "(/t2,a//t29,'no between-tree series found')";
constexpr std::string_view kFinalTitle =
    "(/t2,'|--------------------- final rbar, eps, and sss statistics ','--------------------|')";
constexpr std::string_view kFinalHead = "(/t40,'number     rbar     sdev')";
constexpr std::string_view kFinalRow = "(t15,a,i7,f10.3,f9.3)";
constexpr std::string_view kCeff = "(/t20,'effective number of cores  -  ceff: ',t56,f8.3)";
constexpr std::string_view kReff = "(/t18,'effective chronology signal  -  reff: ',t56,f8.3)";
constexpr std::string_view kSnr = "(t24,'signal-to-noise ratio  -   snr: ',t56,f8.3)";
constexpr std::string_view kEps = "(t18,'expressed population signal  -   eps: ',t56,f8.3)";
constexpr std::string_view kSssTitle =
    "(/t4,'fractional common variance between the reduced ','sample-size chronology and the'/"
    "t13,'fully replicated chronology (','subsample signal strength - sss)')";
constexpr std::string_view kSssHead =
    "(/t20,'sss as function of the number of trees ','in sample')";
constexpr std::string_view kEpsTitle =
    "(/t6,'fractional common variance between the reduced ','sample-size chronology and'/"
    "t19,'the expressed population signal or eps chronology')";
constexpr std::string_view kEpsHead =
    "(/t20,'eps as function of the number of trees ','in sample')";
constexpr std::string_view kSizes = "(t8,12i6)";
constexpr std::string_view kSssRow = "(t2,' sss:',t9,12f6.3+)";
constexpr std::string_view kEpsRow = "(t2,' eps:',t9,12f6.3+)";

constexpr std::string_view kAllTitle =
    "|------------------ all series common period rbar statistics ------------------|";
constexpr std::string_view kWithinTitle =
    "|------------------ within-tree common period rbar statistics -----------------|";
constexpr std::string_view kBetweenTitle =
    "|----------------- between-tree common period rbar statistics -----------------|";

// Rows of the per-series table between repeated heads; sample sizes per SSS line.
constexpr int kRowsPerHead = 20;
constexpr std::size_t kSizesPerLine = 12;

// The statistics of a set of correlations. Within and between trees a mean of exactly 1
// (identical series) has no deviation, and a set without correlations counts as rbar 0.
CorrelationStatistics tree_statistics(const CorrelationSums& sums) {
  CorrelationStatistics s = sums.statistics();
  if (s.count == 0) s.mean = s.sd = s.se = 0.0f;
  if (s.count > 0 && s.mean == 1.0f) {
    s.sd = s.se = 0.0f;
    s.skewness = s.kurtosis = kUndefined;
  }
  return s;
}

void block(Units& units, std::string_view title, const CorrelationStatistics& s) {
  units.write(unit::out, correlation_block_heads(title));
  units.write(unit::out, correlation_block_row(s));
}

// The series of the period: their values, tree numbers and ids.
struct Period {
  int first = 0, last = 0, length = 0;
  std::vector<int> series;                     // series numbers of the selected, in order
  std::vector<std::span<const float>> values;  // their values over the period
  std::vector<int> tree;                       // their tree numbers (0: left out)
};

// A series is selected when it covers every year of the period.
Period select(const Tsi1& tsi1, int first, int last) {
  Period p{first, last, last - first + 1, {}, {}, {}};
  if (p.length < 1) return p;  // a period that ends before it begins holds no series
  const int count = tsi1.count;
  const int axis_first = tsi1.years.at(at(count + 1)).ify;
  for (int i = 1; i <= count; ++i) {
    const SeriesYears& y = tsi1.years.at(at(i));
    if (!(y.ify <= first && y.ily >= last)) continue;
    const std::size_t offset = at(i) * static_cast<std::size_t>(tsi1.rows);
    const int row = first - axis_first;
    if (row < 0 || last - axis_first >= tsi1.rows) {
      throw std::logic_error("comper: the period lies outside the series matrix.");
    }
    p.series.push_back(i);
    p.values.push_back(
        std::span<const float>(tsi1.matrix)
            .subspan(offset + static_cast<std::size_t>(row), static_cast<std::size_t>(p.length)));
    p.tree.push_back(y.cpa);
  }
  return p;
}

// Statistics of each selected series over the period into the statistics table, the
// standardised values into z, and the per-series table when asked.
void series_statistics(const Period& p, const Tsi1& tsi1, StatsTable& stats, Matrix& z, bool table,
                       Units& units) {
  const int n = static_cast<int>(p.series.size());
  const SeriesTableLayout rows(p.first);
  for (int k = 1; k <= n; ++k) {
    stop_if_interrupted();
    std::vector<float> x(p.values[at(k)].begin(), p.values[at(k)].end());
    const Moments s = moment(x);
    // A series without spread over the period has no standard score: it stays at 0.
    const bool spread = s.std_dev > 0.0f;
    for (int t = 1; t <= p.length; ++t) {
      z(t, k) = spread ? (p.values[at(k)][at(t)] - s.mean) / s.std_dev : 0.0f;
    }
    const float row[7] = {
        static_cast<float>(p.length), s.mean,           s.std_dev, s.skewness, s.kurtosis,
        s.mean_sensitivity,           s.autocorrelation};
    for (int c = 1; c <= 7; ++c) stats.at(k, c) = row[c - 1];
    if (!table) continue;
    if (k == 1 || k % kRowsPerHead == 0) units.write(unit::out, "\n" + rows.head());
    units.write(unit::out,
                rows.row(k, tsi1.ids.at(at(p.series[at(k)])), p.first, p.last, p.length) +
                    statistics_fields(s));
  }
}

// The eight summary rows of the statistics table's columns 1 to 7, which stay sorted.
void summary(StatsTable& stats, int n, Units& units) {
  std::vector<Moments> moments;
  std::vector<FiveNumbers> five;
  for (int c = 1; c <= 7; ++c) {
    std::vector<float> column(static_cast<std::size_t>(n));
    for (int k = 1; k <= n; ++k) column[at(k)] = stats.at(k, c);
    std::vector<float> copy(column);
    moments.push_back(moment(copy));
    five.push_back(mfs(column));
    for (int k = 1; k <= n; ++k) stats.at(k, c) = column[at(k)];
  }
  units.write(unit::out, fmt_write(kSummaryTitle));
  units.write(unit::out, fmt_write(kSummaryHead));
  struct Row {
    std::string_view label;
    float (*value)(const Moments&, const FiveNumbers&);
  };
  const Row rows[] = {
      {"arithmetic mean", [](const Moments& m, const FiveNumbers&) { return m.mean; }},
      {"standard deviation", [](const Moments& m, const FiveNumbers&) { return m.std_dev; }},
      {"median (50th quantile)", [](const Moments&, const FiveNumbers& f) { return f.median; }},
      {"interquartile range", [](const Moments&, const FiveNumbers& f) { return f.spread; }},
      {"minimum value", [](const Moments&, const FiveNumbers& f) { return f.minimum; }},
      {"lower hinge (25th quantile)",
       [](const Moments&, const FiveNumbers& f) { return f.lower_hinge; }},
      {"upper hinge (75th quantile)",
       [](const Moments&, const FiveNumbers& f) { return f.upper_hinge; }},
      {"maximum value", [](const Moments&, const FiveNumbers& f) { return f.maximum; }},
  };
  bool first_row = true;
  for (const Row& row : rows) {
    float v[7];
    for (std::size_t c = 0; c < 7; ++c) v[c] = row.value(moments[c], five[c]);
    // The year count is a whole number: the mean rounded, the others truncated.
    const int years = static_cast<int>(first_row ? v[0] + 0.5f : v[0]);
    first_row = false;
    units.write(unit::out, fmt_write(kSummaryRow, row.label, years) +
                               statistics_fields(v[1], v[2], v[3], v[4], v[5], v[6]));
  }
}

// The effective number of series per tree, the harmonic mean of the trees' series counts.
float harmonic_members(const std::vector<int>& members) {
  float reciprocal = 0.0f;
  int trees = 0;
  for (int m : members) {
    if (m < 1) continue;
    ++trees;
    reciprocal += 1.0f / static_cast<float>(m);
  }
  return trees > 0 ? static_cast<float>(trees) / reciprocal : 0.0f;
}

void final_statistics(CommonPeriodResult& cp, Units& units) {
  const float n = static_cast<float>(cp.selected);
  const float r = cp.all.mean;
  units.write(unit::out, fmt_write(kFinalTitle));
  units.write(unit::out, fmt_write(kFinalHead));
  units.write(unit::out,
              fmt_write(kFinalRow, "      all series rbar: ", cp.all.count, r, cp.all.sd));
  units.write(unit::out, fmt_write(kFinalRow, "    within-trees rbar: ", cp.within.count,
                                   cp.within.mean, cp.within.sd));
  units.write(unit::out, fmt_write(kFinalRow, "   between-trees rbar: ", cp.between.count,
                                   cp.between.mean, cp.between.sd));
  if (cp.within.count > 0) {
    // The EPS of the between-tree signal with ceff cores per tree: undefined, like EPS,
    // where the between-tree correlation is negative or the within-tree one so negative
    // that the denominator is not positive.
    const float denominator = (1.0f - cp.within.mean) / cp.ceff + cp.within.mean;
    cp.reff =
        cp.between.mean >= 0.0f && denominator > 0.0f ? cp.between.mean / denominator : kUndefined;
    units.write(unit::out, fmt_write(kCeff, cp.ceff));
    units.write(unit::out, fmt_write(kReff, cp.reff));
  }
  // A negative rbar has no signal to set against the noise, and identical series (rbar 1)
  // no noise: the ratio has no finite value in either case.
  cp.snr = r >= 0.0f && r < 1.0f ? n * r / (1.0f - r) : kUndefined;
  cp.eps = eps(r, n, kUndefined);
  units.write(unit::out, fmt_write(kSnr, cp.snr));
  units.write(unit::out, fmt_write(kEps, cp.eps));
}

// The subsample signal strength by sample size, and the EPS it gives.
void signal_strength(CommonPeriodResult& cp, Units& units) {
  const int big_n = cp.selected;
  const float n = static_cast<float>(big_n);
  const float r = cp.all.mean;
  std::vector<int> sizes;
  std::vector<float> eps;
  // SSS is the EPS of n series over the EPS of all N, and undefined with them.
  const bool defined = cp.eps != kUndefined;
  for (int k = 1; k <= big_n; ++k) {
    const float size = static_cast<float>(k);
    cp.sss.push_back(defined ? size * (1.0f + (n - 1.0f) * r) / (n * (1.0f + (size - 1.0f) * r))
                             : kUndefined);
    sizes.push_back(k);
    eps.push_back(defined ? cp.sss.back() * cp.eps : kUndefined);
  }
  auto table = [&](std::string_view title, std::string_view head, std::string_view row,
                   const std::vector<float>& values) {
    units.write(unit::out, fmt_write(title));
    units.write(unit::out, fmt_write(head));
    for (std::size_t from = 0; from < sizes.size(); from += kSizesPerLine) {
      const std::size_t count = std::min(kSizesPerLine, sizes.size() - from);
      units.write(unit::out, fmt_write(kSizes, std::span<const int>(sizes).subspan(from, count)));
      units.write(unit::out, fmt_write(row, std::span<const float>(values).subspan(from, count)));
    }
  };
  table(kSssTitle, kSssHead, kSssRow, cp.sss);
  table(kEpsTitle, kEpsHead, kEpsRow, eps);
}

}  // namespace

CommonPeriodResult comper(const Tsi1& tsi1, StatsTable& stats, int kind, const Icommands& icommands,
                          const std::string& prefix, Units& units, PlotSession& plots) {
  CommonPeriodResult cp;
  if (tsi1.count < 2) {
    units.write(unit::out, fmt_write(kNoAnalysis));
    return cp;
  }
  const int first = icommands[opt::common_period_first], last = icommands[opt::common_period_last];
  const bool table = series_statistics_printed(icommands[opt::printout]);
  if (table) units.write(unit::out, fmt_write(kTitle));

  // Selection: the series that cover every year of the period.
  const Period p = select(tsi1, first, last);
  const int n = static_cast<int>(p.series.size());
  cp.selected = n;
  Matrix z(std::max(p.length, 0), n);
  series_statistics(p, tsi1, stats, z, table, units);
  if (n == 0) {
    units.write(unit::out, fmt_write(kNoSeries));
    return cp;
  }
  if (n == 1) {
    units.write(unit::out, fmt_write(kOneSeries));
    return cp;
  }
  cp.analysed = true;
  for (int i : p.series) cp.selected_ids.push_back(field(tsi1.ids.at(at(i)), 8));
  summary(stats, n, units);

  // Correlation matrix of the selected series, and the sums of all, within-tree and
  // between-tree pairs (a pair covering the period is a pair of selected series).
  Matrix r = Matrix::identity(n);
  CorrelationSums all, within, between;
  for (int a = 1; a <= n - 1; ++a) {
    stop_if_interrupted();
    for (int b = a + 1; b <= n; ++b) {
      const float rab = pearsn(p.values[at(a)], p.values[at(b)]).r;
      r(a, b) = r(b, a) = rab;
      const CorrelationPair pair{rab, p.series[at(a)], p.series[at(b)], p.length};
      all.add(pair);
      const int ta = p.tree[at(a)], tb = p.tree[at(b)];
      if (ta != 0 && ta == tb) within.add(pair);
      if (ta != 0 && tb != 0 && ta != tb) between.add(pair);
    }
  }

  PcaSetting setting{first, last, icommands[opt::summary_plots], kind, prefix};
  cp.components = pca(z, r, cp.selected_ids, setting, units, plots);

  // All pairs.
  cp.all = all.statistics();
  block(units, kAllTitle, cp.all);
  auto extreme = [&](std::string_view line, const CorrelationPair& pair) {
    units.write(unit::out, fmt_write(line, pair.r, field(tsi1.ids.at(at(pair.first)), 8),
                                     field(tsi1.ids.at(at(pair.second)), 8), pair.years));
  };
  extreme(kMinimumPair, cp.all.smallest);
  extreme(kMaximumPair, cp.all.largest);

  // Within trees: the series of each tree number, and their harmonic mean per tree.
  std::vector<int> members(static_cast<std::size_t>(tsi1.count), 0);
  for (int i = 1; i <= tsi1.count; ++i) {
    const int t = tsi1.years.at(at(i)).cpa;
    if (t >= 1 && t <= tsi1.count) ++members[at(t)];
  }
  cp.trees =
      static_cast<int>(std::count_if(members.begin(), members.end(), [](int m) { return m > 0; }));
  cp.within = tree_statistics(within);
  if (cp.within.count > 0) {
    block(units, kWithinTitle, cp.within);
    cp.ceff = harmonic_members(members);
  } else {
    units.write(unit::out, fmt_write(kNoWithin, kWithinTitle));
  }
  cp.between = tree_statistics(between);
  if (cp.between.count > 0) {
    block(units, kBetweenTitle, cp.between);
  } else {
    units.write(unit::out, fmt_write(kNoBetween, kBetweenTitle));
  }

  final_statistics(cp, units);
  signal_strength(cp, units);
  return cp;
}

}  // namespace dendro
