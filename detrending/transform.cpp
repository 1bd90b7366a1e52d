#include "detrending/transform.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "series/blocks.h"
#include "series/console.h"
#include "series/correlation.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/sorting.h"
#include "series/spline.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

// Values that the logarithms give to a value they cannot take: ln 0.01 for code 1 and
// ln 0.05 for the adaptive power's logarithm.
constexpr float kLogOfZero = -4.6051702f;
constexpr float kPowerLogOfZero = -2.9957323f;
constexpr float kOneSixth = 0.16666667f;
// The adaptive power raises values below this floor to it first, so that a zero stays finite.
constexpr float kPowerFloor = 0.01f;
constexpr float kSmallestPower = 0.05f;

constexpr int kStatsColumns = 10;  // statistics table columns written and summarised
constexpr int kHeadEvery = 20;     // the series table head repeats before series 20, 40, ...

// The values of one series as they go into the tables.
struct SeriesResult {
  Moments after;  // of the rescaled transformed values
  float skew_before = 0;
  int pairs = 0;  // spread-versus-level pairs before the transformation
  float corr_before = 0;
  float corr_after = 0;
  float power = 0;
  float flatness = 0;  // one minus the spread-versus-level slope after
};

// The spread-versus-level pairs of x; with a depth, only pairs of years that both have
// depth.
SpreadLevel level_pairs(std::span<const float> x, std::span<const int> depth, int mode) {
  SpreadLevel pairs;
  for (std::size_t i = 0; i + 1 < x.size(); ++i) {
    if (!depth.empty() && (depth[i] < 1 || depth[i + 1] < 1)) continue;
    const float level = mode == kLevelLaterValue ? x[i + 1] : (x[i] + x[i + 1]) / 2.0f;
    const float spread = std::fabs(x[i + 1] - x[i]);
    if (level > 0.0f && spread > 0.0f) {
      pairs.log_level.push_back(std::log(level));
      pairs.log_spread.push_back(std::log(spread));
    }
  }
  return pairs;
}

void write_line(Units& units, const std::string& record) { units.write(unit::out, record); }

// Minimum and range of the values.
struct Extent {
  float minimum = 0;
  float range = 0;
};
Extent extent(std::span<const float> x) {
  if (x.empty()) return {};
  std::vector<float> sorted(x.begin(), x.end());
  qcksrt(sorted);
  return {sorted.front(), sorted.back() - sorted.front()};
}

// y <- (y - min') * range / range' + min: the transformed series on the scale of the
// untransformed one. A transformed series without range has no scale of its own; it is
// set to the untransformed minimum rather than divided by zero.
void rescale(std::span<float> y, const Extent& before) {
  const Extent now = extent(y);
  for (float& v : y) {
    v = now.range > 0.0f ? (v - now.minimum) * before.range / now.range + before.minimum
                         : before.minimum;
  }
}

// One series through steps 4 to 9 of the transformation; x holds its n values.
SeriesResult transform_series(std::span<float> x, int code, int pair_mode) {
  SeriesResult r;
  r.skew_before = moment(x).skewness;
  const Extent before = extent(x);

  // Spread versus level of the untransformed values gives the power.
  const SpreadLevel raw = mndf(x, pair_mode);
  const PearsnResult fit_before = pearsn(raw.log_level, raw.log_spread);
  r.pairs = raw.count();
  r.corr_before = fit_before.r;
  r.power = adaptive_power(fit_before.slope);

  transform_values(x, code, r.power);
  rescale(x, before);
  r.after = moment(x);

  const SpreadLevel done = mndf(x, pair_mode);
  const PearsnResult fit_after = pearsn(done.log_level, done.log_spread);
  r.corr_after = fit_after.r;
  r.flatness = 1.0f - fit_after.slope;
  return r;
}

// The code that `itn` records: codes 1 to 3 as they are; for the power the thousandths of
// p when above 3, else 4 (which also stands for the logarithm chosen by p = 0).
int recorded_code(int code, float power) {
  if (code < transform_code::power) return code;
  const int thousandths = static_cast<int>(1000.0f * power);
  return thousandths > 3 ? thousandths : transform_code::power;
}

void write_series_head(Units& units) {
  write_line(units, Layout("(t2,'series   ident    mean   sdev    ',"
                           "'skew   kurt   sens  ac(1)  corr1   corr2  power')")
                        .write());
}

void write_series_row(Units& units, int i, const std::string& id, const SeriesResult& r) {
  const Moments& m = r.after;
  write_line(units, Layout("(t2,i5,2x,a8,2f7.3+,f8.3+,4f7.3+,f8.3+,f7.3+)")
                        .write(i, field(id, 8), m.mean, m.std_dev, m.skewness, m.kurtosis,
                               m.mean_sensitivity, m.autocorrelation, r.corr_before, r.corr_after,
                               r.power));
}

void store_series(StatsTable& stats, Tsi2& tsi2, int i, const SeriesResult& r) {
  const Moments& m = r.after;
  const std::array<float, kStatsColumns> row{m.mean,
                                             m.std_dev,
                                             m.skewness,
                                             m.kurtosis,
                                             m.mean_sensitivity,
                                             m.autocorrelation,
                                             static_cast<float>(r.pairs),
                                             r.corr_before,
                                             r.corr_after,
                                             r.power};
  for (int c = 1; c <= kStatsColumns; ++c) stats.at(i, c) = row[at(c)];
  const std::array<float, 6> plot{r.skew_before, r.corr_before, r.power,
                                  m.skewness,    r.corr_after,  r.flatness};
  for (int c = 1; c <= 6; ++c) tsi2.at(i, c) = plot[at(c)];
}

// Before any chronology is built the chronology table serves as the transformation's work
// area: it gets the per-series values in the rows it has (later stages overwrite the
// columns they build).
void keep_in_chronology_table(const Tsi2& per_series, Tsi2& tsi2) {
  const std::size_t rows = static_cast<std::size_t>(std::min(per_series.rows, tsi2.rows));
  for (std::size_t c = 0; c < 6; ++c) {
    std::copy_n(per_series.columns[c].begin(), rows, tsi2.columns[c].begin());
  }
}

// The series and its transformed values, each with a spline at a tenth of its length, on
// one page.
void plot_series(Console& con, const StagePlots& plots, std::span<const float> original,
                 std::span<const float> done, int first_year, const std::string& id,
                 const std::string& title, int& plot_flag) {
  if (!plots.page) {
    plot_not_available(con);
    return;
  }
  const int n = static_cast<int>(original.size());
  std::vector<float> smooth_before(original.size()), smooth_after(done.size());
  spline(original, smooth_before, n / 10, &con);
  spline(done, smooth_after, n / 10, &con);
  const std::string name = plot_name(id);
  const ChronologyPlot page =
      two_panels(original, smooth_before, done, smooth_after, n, first_year, name,
                 {" original series", title, "measurement (y)", "measurement (z)", 1, 2});
  plots.page(page, plot_flag);
}

// Sorts each statistics column over the series and puts its summary into rows 1 to 8:
// mean, standard deviation, median, interquartile range, minimum, lower hinge, upper
// hinge, maximum.
void summarise(StatsTable& stats, int count) {
  for (int c = 1; c <= kStatsColumns; ++c) {
    std::vector<float> v(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) v[at(i)] = stats.at(i, c);
    const Moments m = moment(v);
    const FiveNumbers f = mfs(v);
    const std::array<float, 8> rows{m.mean,    m.std_dev,     f.median,      f.spread,
                                    f.minimum, f.lower_hinge, f.upper_hinge, f.maximum};
    for (int r = 1; r <= 8; ++r) stats.at(r, c) = rows[at(r)];
  }
}

void write_summary(Units& units, StatsTable& stats) {
  write_line(units, Layout("(/t2,'|------------- summary of transformed ',"
                           "'tree-ring series statistics -------------|'/)")
                        .write());
  write_line(units, Layout("(t61,'spread vs level tests')").write());
  write_line(units, Layout("(t16,'   mean   sdev    skew   kurt   sens  ',"
                           "'ac(1)  corr1   corr2   power')")
                        .write());
  const std::array<const char*, 8> labels{"arith mean",    "std deviation", "median",
                                          "interquartile", "minimum value", "lower hinge",
                                          "upper hinge",   "maximum value"};
  // The label in columns 2 to 15, then the summaries of statistics columns 1 to 6 and 8 to 10.
  const Layout row("(1x,a14,2f7.3+,f8.3+,4f7.3+,2f8.3+)");
  for (int r = 1; r <= 8; ++r) {
    const auto v = [&](int column) { return stats.at(r, column); };
    write_line(units, row.write(field(labels[at(r)], 14), v(1), v(2), v(3), v(4), v(5), v(6), v(8),
                                v(9), v(10)));
  }
}

}  // namespace

SpreadLevel mndf(std::span<const float> x, int mode) { return level_pairs(x, {}, mode); }

SpreadLevel mndf1(std::span<const float> x, std::span<const int> depth, int mode) {
  return level_pairs(x, depth, mode);
}

float adaptive_power(float slope) {
  const float p = 1.0f - slope;
  if (p < kSmallestPower) return 0.0f;
  return std::min(p, 1.0f);
}

void transform_values(std::span<float> x, int code, float power) {
  for (float& v : x) {
    switch (code) {
      case transform_code::log:
        v = v > 0.0f ? std::log(v) : kLogOfZero;
        break;
      case transform_code::log_sixth:
        v = std::log(v + kOneSixth);
        break;
      case transform_code::asinh:
        v = std::log(v + std::sqrt(v * v + 1.0f));
        break;
      default:
        if (code < transform_code::power) break;  // no transformation
        if (power == 0.0f) {
          v = v > 0.0f ? std::log(v) : kPowerLogOfZero;
        } else {
          v = std::pow(std::max(v, kPowerFloor), power);
        }
        break;
    }
  }
}

std::string transform_title(int code, float power) {
  switch (code) {
    case transform_code::log:
      return " transformed series, ln(rt)";
    case transform_code::log_sixth:
      return " transformed series, ln(rt+1/6)";
    case transform_code::asinh:
      return " transformed series, inverse hypersine";
    default:
      if (code < transform_code::power) return "";
      return Layout("(' transformed series, p =',f5.2)").write(power);
  }
}

void trnfrm(Tsi1& tsi1, StatsTable& stats, Tsi2& tsi2, const Icommands& icommands,
            const Commands& commands, Units& units, Console& con, const StagePlots& plots) {
  const int option = icommands[opt::transformation];
  // The flag's copy: "no more plots" ends the series pages, not the summary page.
  const int plot_option = icommands[opt::transformation_plots];
  int plot_flag = plot_option;
  const int printout = icommands[opt::printout];
  const int summary_plots = icommands[opt::summary_plots];
  const bool batch = commands.batch_run();
  const bool interactive =
      commands.at(Commands::kBatchMode) == 'n' || commands.at(Commands::kBatchMode) == 'N';
  const int pair_mode = option == transform_code::power ? kLevelLaterValue : kLevelPairMean;
  const int set_first = tsi1.year_row(tsi1.count + 1).ify;

  con.say("");
  con.say("transform the individual tree-ring series");
  con.say("");
  if (series_statistics_printed(printout)) {
    write_line(units, Layout("(/t2,'|------------------ statistics of ',"
                             "'transformed tree-ring data ------------------|'/)")
                          .write());
    write_line(units, Layout("(t61,'spread vs level tests')").write());
  }
  // The summary plot's values, one row per series: a file may hold more series than its
  // chronology has years, so they get a table of their own.
  Tsi2 per_series;
  per_series.reshape(tsi1.count);

  std::string title;
  for (int i = 1; i <= tsi1.count; ++i) {
    stop_if_interrupted();
    const std::string& id = tsi1.ids[at(i)];
    con.say(Layout("(i6,2x,a8)").write(i, field(id, 8)));
    SeriesYears& years = tsi1.year_row(i);
    const int code = batch ? years.itn : option;
    const int n = years.ily - years.ify + 1;
    std::span<float> x = tsi1.column(i).subspan(static_cast<std::size_t>(years.ify - set_first),
                                                static_cast<std::size_t>(n));
    const std::vector<float> original(x.begin(), x.end());

    const SeriesResult r = transform_series(x, code, pair_mode);
    store_series(stats, per_series, i, r);
    if (series_statistics_printed(printout)) {
      if (i % kHeadEvery == 0) write_line(units, "");
      if (i == 1 || i % kHeadEvery == 0) write_series_head(units);
      write_series_row(units, i, id, r);
    }
    if (interactive) years.itn = recorded_code(code, r.power);
    title = transform_title(option, r.power);
    if (plot_flag == 1) plot_series(con, plots, original, x, years.ify, id, title, plot_flag);
  }

  keep_in_chronology_table(per_series, tsi2);
  summarise(stats, tsi1.count);
  write_summary(units, stats);
  if (plot_option == plot_switch::on || various_summary_plots_on(summary_plots)) {
    if (plots.transform_summary) {
      plots.transform_summary(per_series, tsi1.count,
                              commands.get(Commands::kNameFirst, Commands::kNameLast), title);
    } else {
      plot_not_available(con);
    }
  }
}

}  // namespace dendro
