#include "chronology/armod.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>

#include "chronology/robar.h"
#include "plots/chronology_plot.h"
#include "plots/plot_loop.h"
#include "plots/series_plot.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kHeadEvery = 20;             // report heads repeat before series 1, 20, 40, ...
constexpr float kOutlierDeparture = 0.1f;  // an outlier series that never departs further is flat
constexpr float kOutlierTally = 0.2f;      // departure from the series' mean that counts
constexpr int kSearchSize = 11;            // the Akaike search runs up to order 10
constexpr int kMaxSummaryOrder = 10;       // coefficient columns of the statistics table
constexpr float kNoStartCurve = -999.0f;   // first value of the plot's absent start curve
constexpr int kOutlierDecimals = 4;

bool head_before(int i) { return i == 1 || i % kHeadEvery == 0; }

// Model size and order mode of an order code: 0 the pooled order, negative the first
// Akaike minimum, positive that fixed order.
struct OrderRule {
  int m = 1;
  int mode = 1;
};

OrderRule order_rule(int code, int pooled_order) {
  if (code == 0) return {pooled_order + 1, 1};
  if (code < 0) return {kSearchSize, code};
  return {code + 1, 1};
}

// The eight summary values every summary table prints, in their order: mean, standard
// deviation, median, interquartile range, minimum, lower hinge, upper hinge, maximum.
using Summary = std::array<float, 8>;

Summary summarise(std::span<float> values, bool floor_std_dev) {
  const Moments m = moment(values);
  const FiveNumbers f = mfs(values);  // sorts the values
  float sd = m.std_dev;
  if (floor_std_dev && sd < 0.0f) sd = 0.0f;
  return {m.mean, sd, f.median, f.spread, f.minimum, f.lower_hinge, f.upper_hinge, f.maximum};
}

void store_summary(StatsTable& stats, int column, const Summary& s) {
  for (int row = 1; row <= 8; ++row) stats.at(row, column) = s[at(row)];
}

// An order statistic printed as an integer: truncated, or the mean rounded when asked.
int as_order(float v, bool round) { return static_cast<int>(round ? v + 0.5f : v); }

// The page of one series' outliers: its residual indices with and without the outliers
// above, the outlier series below.
void plot_series_outliers(const RobarResult& fit, int first_year, const std::string& id,
                          int& plot_flag, PlotSession& plots) {
  std::string short_id = id;
  stringclean(short_id);
  const std::vector<float> level(fit.outliers.size(), 1.0f);
  std::vector<float> no_start(fit.outliers.size(), 0.0f);
  if (!no_start.empty()) no_start[0] = kNoStartCurve;
  const std::array<float, 7> no_fit{};
  ChronologyPlot page = two_panels(fit.ordinary_indices, fit.robust_indices, fit.outliers, level,
                                   static_cast<int>(fit.outliers.size()), first_year, short_id,
                                   {" with and without outliers", " autoregressive outliers",
                                    "indices (y)", "outliers (z)", 2, 1});
  page.c3 = fit.first_pass;
  page.c6 = no_start;
  page.fit = no_fit;
  crnplt1(plots, page, plot_flag);
}

// Counts, plots and tallies the outliers of one series, whose first value lies in row r0 of
// the chronology table. Departures within 0.2 of the series' mean are reset to 1.0.
void tally_outliers(RobarResult& fit, int r0, int first_year, const std::string& id, Tsi2& tsi2,
                    int& plot_flag, PlotSession& plots) {
  std::vector<float>& z = fit.outliers;
  const auto departs = [](float v) { return std::fabs(v - 1.0f) > kOutlierDeparture; };
  if (std::none_of(z.begin(), z.end(), departs)) std::fill(z.begin(), z.end(), 1.0f);
  if (plot_flag > 0) plot_series_outliers(fit, first_year, id, plot_flag, plots);
  float sum = 0.0f;
  for (float v : z) sum += v;
  const float mean = z.empty() ? 0.0f : sum / static_cast<float>(z.size());
  for (std::size_t t = 0; t < z.size(); ++t) {
    const float d = z[t] - mean;
    const int row = r0 + static_cast<int>(t);
    if (d < -kOutlierTally) {
      tsi2.at(row, tsi2col::negative_outliers) -= 1.0f;
    } else if (d > kOutlierTally) {
      tsi2.at(row, tsi2col::positive_outliers) += 1.0f;
    } else {
      z[t] = 1.0f;
    }
  }
}

struct SetSpan {
  int first = 0, last = 0, length = 0;
};

// Row of series i's first value in the series matrix (1-based) and its length.
struct SeriesRows {
  int r0 = 1, n = 0;
};

SeriesRows rows_of(const Tsi1& tsi1, int i, const SetSpan& set) {
  const SeriesYears& y = tsi1.years.at(at(i));
  SeriesRows r{y.ify - set.first + 1, y.ily - y.ify + 1};
  if (r.r0 < 1 || r.n < 1 || r.r0 + r.n - 1 > tsi1.rows) {
    throw std::logic_error("armod: series " + std::to_string(i) + " lies outside the matrix");
  }
  return r;
}

// The outlier series of every series, in place of the residuals in the series matrix for
// the outlier plot and file; the residuals come back afterwards unchanged.
void show_and_save_outliers(Tsi1& tsi1, const SetSpan& set,
                            const std::vector<std::vector<float>>& outliers,
                            const Icommands& icommands, Commands& commands, Units& units,
                            PlotSession& plots) {
  std::vector<float> residuals(tsi1.matrix.size(), kMissing);
  std::swap(residuals, tsi1.matrix);
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesRows r = rows_of(tsi1, i, set);
    // The outlier series come back from the working records (10f9.4) with four decimals,
    // and the plot and the file show them so.
    const auto& z = outliers[at(i)];
    std::transform(z.begin(), z.end(), tsi1.column(i).begin() + (r.r0 - 1),
                   [](float v) { return as_written(v, kOutlierDecimals); });
  }
  if (tsi1.overlay.empty()) tsi1.overlay.push_back(kMissing);
  tsi1.overlay[0] = kMissing;
  if (icommands[opt::ar_method_plots] > plot_switch::off ||
      any_summary_plots(icommands[opt::summary_plots])) {
    crnplt3(plots, tsi1, icommands, commands, "autoregressive outliers", "years", "index units",
            series_kind::kArOutliers);
  }
  const int save = icommands[opt::core_series_save];
  if (series_saved(save)) {
    units.create(unit::series, output_prefix(commands.data_file) + "_auto_outs.txt");
    if (saved_with_header_lines(save)) {
      for (int h = 1; h <= 3; ++h) {
        const int first = Commands::kHeaderFirst[h - 1];
        commands.set(first + 80, first + 84, " aout");
        units.write(unit::series, Layout("(a)").write(commands.header_line(h)));
      }
    }
    sis(units.out(unit::series), tsi1, save, "out", plots.console());
    units.close(unit::series);
  }
  std::swap(residuals, tsi1.matrix);
}

// The page of the yearly outlier counts (above) and fractions (below).
void plot_outlier_counts(Tsi2& tsi2, const SetSpan& set, const Commands& commands, int plot_flag,
                         PlotSession& plots) {
  const auto rows = static_cast<std::size_t>(set.length);
  const std::string name = commands.get(Commands::kNameFirst, Commands::kNameLast);
  ChronologyPlot page =
      two_panels(tsi2.column(tsi2col::negative_outliers).first(rows),
                 tsi2.column(tsi2col::positive_outliers).first(rows),
                 tsi2.column(tsi2col::negative_fraction).first(rows),
                 tsi2.column(tsi2col::positive_fraction).first(rows), set.length, set.first, name,
                 {" number of autoregressive outliers", " fraction of autoregressive outliers",
                  "number (y)", "fraction (z)", 2, 7});
  crnplt1(plots, page, plot_flag);
}

void write_model_table(const std::vector<SeriesModel>& models, const Tsi1& tsi1, Units& units) {
  const Layout head(
      "(/t6,'series    ident    order     rsq     ','t-1     t-2     t-3   .....    t-ip')");
  const Layout row("(t6,i5,3x,a8,i6,2x,6f8.3)");
  const Layout more("(37x,5f8.3)");
  for (int i = 1; i <= static_cast<int>(models.size()); ++i) {
    const SeriesModel& s = models[at(i)];
    if (head_before(i)) units.write(unit::out, head.write());
    const std::span<const float> phi(s.coefficients);
    const std::size_t first = std::min<std::size_t>(phi.size(), 5);
    units.write(unit::out,
                row.write(i, field(tsi1.ids.at(at(i)), 8), s.order, s.r_squared, phi.first(first)));
    if (phi.size() > 5) units.write(unit::out, more.write(phi.subspan(5)));
  }
}

const std::array<const char*, 8> kCoefficientLabels = {
    "arithmetic mean", "standard deviation", "median",      "interquartile range",
    "minimum value",   "lower hinge",        "upper hinge", "maximum value"};

// Summaries of the series models: by option 11, the r-squared values and orders only
// (orders differ between series), or every coefficient up to the highest order as well.
void write_coefficient_summary(const std::vector<SeriesModel>& models, int method, int code,
                               StatsTable& stats, Units& units) {
  if (method == ar_kind::ordinary) {
    units.write(unit::out, Layout("(/t2,'|------------- summary statistics for ',"
                                  "'autoregressive coefficients -------------|'/)")
                               .write());
  } else {
    units.write(unit::out, Layout("(/t2,'|---------- summary statistics for ',"
                                  "'robust autoregressive coefficients ---------|'/)")
                               .write());
  }
  auto column_of = [&](auto value_of) {
    std::vector<float> v;
    for (const SeriesModel& s : models) v.push_back(value_of(s));
    return v;
  };
  auto rsq = column_of([](const SeriesModel& s) { return s.r_squared; });
  auto orders = column_of([](const SeriesModel& s) { return static_cast<float>(s.order); });
  if (code < 0) {
    const Summary r = summarise(rsq, true);
    const Summary o = summarise(orders, true);
    store_summary(stats, 1, r);
    store_summary(stats, 2, o);
    units.write(unit::out, Layout("(t25,'order     rsq')").write());
    const Layout row("(t4,a,t25,i3,2x,f8.3)");
    for (std::size_t s = 0; s < 8; ++s) {
      units.write(unit::out, row.write(kCoefficientLabels[s], as_order(o[s], s == 0), r[s]));
    }
    return;
  }
  int highest = 0;
  for (const SeriesModel& s : models) highest = std::max(highest, s.order);
  highest = std::min(highest, kMaxSummaryOrder);
  std::vector<Summary> phi;
  for (int k = 1; k <= highest; ++k) {
    // A coefficient beyond a series' own order is 0 in that series' model.
    auto v = column_of([k](const SeriesModel& s) {
      return k <= static_cast<int>(s.coefficients.size()) ? s.coefficients[k - 1] : 0.0f;
    });
    phi.push_back(summarise(v, true));
    store_summary(stats, k, phi.back());
  }
  const Summary r = summarise(rsq, true);
  const Summary o = summarise(orders, true);
  store_summary(stats, highest + 1, r);
  store_summary(stats, highest + 2, o);
  units.write(unit::out,
              Layout("(t25,'order     rsq     t-1     t-2     ','t-3   .....    t-ip')").write());
  const Layout row("(t4,a,t25,i3,2x,6f8.3)");
  const Layout more("(t39,5f8.3)");
  for (std::size_t s = 0; s < 8; ++s) {
    std::vector<float> first, rest;
    for (int k = 1; k <= highest; ++k) (k <= 5 ? first : rest).push_back(phi[k - 1][s]);
    units.write(unit::out, row.write(kCoefficientLabels[s], as_order(o[s], false), r[s], first));
    if (!rest.empty()) units.write(unit::out, more.write(rest));
  }
}

// Residual indices (residual + 1.0, floored at 0.0) in the series matrix, and their
// statistics in columns 1 to 7 of the statistics table.
void prewhitened_statistics(Tsi1& tsi1, const SetSpan& set, StatsTable& stats, bool print,
                            Units& units) {
  if (print) {
    units.write(unit::out, Layout("(/t2,'|------------------- statistics of ',"
                                  "'prewhitened tree-ring data -----------------|')")
                               .write());
  }
  const SeriesTableLayout table(tsi1.year_row(tsi1.count + 1).ify);
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesRows r = rows_of(tsi1, i, set);
    std::span<float> x = tsi1.column(i).subspan(at(r.r0), static_cast<std::size_t>(r.n));
    for (float& v : x) v = std::max(v + 1.0f, 0.0f);
    std::vector<float> copy(x.begin(), x.end());
    const Moments m = moment(copy);
    const std::array<float, 7> values = {
        static_cast<float>(r.n), m.mean,           m.std_dev, m.skewness, m.kurtosis,
        m.mean_sensitivity,      m.autocorrelation};
    for (int c = 1; c <= 7; ++c) stats.at(i, c) = values[at(c)];
    if (!print) continue;
    if (head_before(i)) units.write(unit::out, "\n" + table.head());
    const SeriesYears& y = tsi1.years[at(i)];
    units.write(unit::out, table.row(i, field(tsi1.ids.at(at(i)), 8), y.ify, y.ily, r.n) +
                               statistics_fields(m));
  }
}

void write_prewhitened_summary(int count, StatsTable& stats, Units& units) {
  units.write(unit::out, Layout("(/t2,'|------------- summary of prewhitened ',"
                                "'tree-ring series statistics -------------|'/)")
                             .write());
  for (int c = 1; c <= 7; ++c) {
    std::vector<float> v;
    for (int i = 1; i <= count; ++i) v.push_back(stats.at(i, c));
    const Summary summary = summarise(v, false);
    // The column is left sorted, its summary in rows 1 to 8.
    for (int i = 1; i <= count; ++i) stats.at(i, c) = v[at(i)];
    store_summary(stats, c, summary);
  }
  for (const std::string& line : summary_table_lines(stats)) units.write(unit::out, line);
}

}  // namespace

std::vector<SeriesModel> armod(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, int pooled_order,
                               const Icommands& icommands, Commands& commands, Units& units,
                               PlotSession& plots) {
  Console& console = plots.console();
  const int method = icommands[opt::ar_method];
  const int code = icommands[opt::series_ar_order];
  const int printout = icommands[opt::printout];
  const bool robust = robust_autoregression(method);
  const bool batch = commands.batch_run();
  int series_plot = icommands[opt::ar_method_plots];
  const SeriesYears& whole = tsi1.years.at(count(tsi1.count));
  const SetSpan set{whole.ify, whole.ily, whole.ily - whole.ify + 1};
  if (set.length > tsi2.rows) throw std::logic_error("armod: chronology table too short");

  // Announce.
  console.say(Layout("(/1x,'calculate individual series autoregressions'/)").write());
  if (series_statistics_printed(printout)) {
    if (method == ar_kind::ordinary) {
      units.write(unit::out, Layout("(/t2,'|---------------- individual series ',"
                                    "'autoregressive coefficients ---------------|')")
                                 .write());
    } else {
      units.write(unit::out, Layout("(/t2,'|------------ individual series robust ',"
                                    "'autoregressive coefficients ------------|')")
                                 .write());
    }
  }

  // Reset the outlier tallies.
  for (int j = 1; j <= set.length; ++j) {
    tsi2.at(j, tsi2col::negative_outliers) = 0.0f;
    tsi2.at(j, tsi2col::positive_outliers) = 0.0f;
  }

  // Fit every series.
  std::vector<SeriesModel> models(static_cast<std::size_t>(tsi1.count));
  std::vector<std::vector<float>> outliers(robust ? models.size() : 0);
  for (int i = 1; i <= tsi1.count; ++i) {
    stop_if_interrupted();
    SeriesYears& y = tsi1.years[at(i)];
    const SeriesRows r = rows_of(tsi1, i, set);
    const OrderRule rule = order_rule(batch ? y.ips : code, pooled_order);
    std::span<float> x = tsi1.column(i).subspan(at(r.r0), static_cast<std::size_t>(r.n));
    RobarResult fit = robar(x, rule.m, rule.mode, method);
    if (robust) {
      tally_outliers(fit, r.r0, y.ify, tsi1.ids.at(at(i)), tsi2, series_plot, plots);
      outliers[at(i)] = std::move(fit.outliers);
    }
    models[at(i)] = {fit.order, fit.r_squared, fit.coefficients};
    y.ips = code;
  }

  // Outlier series, plots and fractions of the robust methods.
  if (robust) {
    show_and_save_outliers(tsi1, set, outliers, icommands, commands, units, plots);
    for (int j = 1; j <= set.length; ++j) {
      const float depth = tsi2.at(j, tsi2col::depth);
      const float negative = tsi2.at(j, tsi2col::negative_outliers);
      const float positive = tsi2.at(j, tsi2col::positive_outliers);
      // A year without a sample depth of its own (no chronology built) has no fraction.
      tsi2.at(j, tsi2col::negative_fraction) =
          negative != 0.0f && depth > 0.0f ? negative / depth : 0.0f;
      tsi2.at(j, tsi2col::positive_fraction) =
          positive > 0.0f && depth > 0.0f ? positive / depth : 0.0f;
    }
    if (icommands[opt::ar_method_plots] > plot_switch::off ||
        any_summary_plots(icommands[opt::summary_plots])) {
      plot_outlier_counts(tsi2, set, commands, icommands[opt::summary_plots], plots);
    }
  }

  // Reports.
  if (series_statistics_printed(printout)) write_model_table(models, tsi1, units);
  write_coefficient_summary(models, method, code, stats, units);
  prewhitened_statistics(tsi1, set, stats, series_statistics_printed(printout), units);
  write_prewhitened_summary(tsi1.count, stats, units);
  return models;
}

}  // namespace dendro
