#include "kalder/stand_dynamics.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "chronology/ar_filters.h"
#include "plots/chronology_plot.h"
#include "plots/series_plot.h"
#include "series/biweight.h"
#include "series/files/interrupts.h"
#include "series/index.h"
#include "statistics/release.h"

namespace dendro {
namespace {

// Years farther than this many scale units from a series' location are outliers.
constexpr float kOutlierLimit = 3.5f;
// The value of an ordinary year in an outlier series (an index of no change).
constexpr float kNeutral = 1.0f;
// Answer width of the numeric questions.
constexpr std::size_t kNumberWidth = 10;

// The years of series i on the chronology axis.
struct SeriesSpan {
  int first_year = 0;
  int n = 0;
  int offset = 0;  // row of the first year, less one
};

SeriesSpan span_of(Run& run, int i) {
  const SeriesYears& y = run.tsi1.year_row(i);
  const int axis_first = run.tsi1.year_row(run.tsi1.count + 1).ify;
  SeriesSpan s{y.ify, y.ily - y.ify + 1, y.ify - axis_first};
  if (s.n < 0 || s.offset < 0 || s.offset + s.n > run.tsi1.rows) {
    throw std::logic_error("stand dynamics: a series lies outside the series matrix.");
  }
  return s;
}

std::span<float> values_of(Run& run, int i, const SeriesSpan& s) {
  return run.tsi1.column(i).subspan(count(s.offset), count(s.n));
}

// New settings for the series in hand; the prefilter answer becomes 'N' or 'Y'.
void change_settings(Console& con, ReleaseSettings& settings, char& prefilter) {
  settings.window =
      static_cast<int>(ask_between(con, "running mean window width (5-50)", kNumberWidth, 5, 50));
  settings.percent = static_cast<int>(
      ask_between(con, "percent growth change threshold (5-200)", kNumberWidth, 5, 200));
  settings.errors =
      static_cast<int>(ask_between(con, "standard error threshold (0-5)", kNumberWidth, 0, 5));
  const Meaning m = con.ask_until_yes_no("prefilter with 3-point binomial? y/<n>", Meaning::no);
  prefilter = m == Meaning::yes ? 'Y' : 'N';
}

struct SeriesOutliers {
  std::vector<float> residuals;  // the series as it was
  std::vector<float> outliers;   // 1.0, or the value of an outlier year
};

// Takes the common signal out of one residual series and keeps only its outlier years:
// v = 1 + residual - mean, left in the series where |v - L| > 3.5 S (L and S the location
// and scale of the v by the mean chronology option) and 1.0 elsewhere.
SeriesOutliers find_outliers(std::span<float> series, std::span<const float> mean, int mean_kind) {
  SeriesOutliers out{std::vector<float>(series.begin(), series.end()),
                     std::vector<float>(series.size(), kNeutral)};
  for (std::size_t j = 0; j < series.size(); ++j) {
    series[j] = kNeutral + (out.residuals[j] - mean[j]);
  }
  if (series.empty()) return out;
  std::vector<float> work(series.begin(), series.end());  // sorted by the location
  const BiwgtResult b = biwgt(work, kBiweightTuning, mean_kind);
  // Without a scale (a series without spread, or a percentile as the mean) no year stands
  // out.
  for (std::size_t j = 0; j < series.size(); ++j) {
    if (b.scale > 0.0f && std::fabs((series[j] - b.location) / b.scale) > kOutlierLimit) {
      out.outliers[j] = series[j];
    } else {
      series[j] = kNeutral;
    }
  }
  return out;
}

// The page of one series: its residuals with the mean, its outliers with their impulse
// response under the pooled autoregressive model.
void plot_series_outliers(Run& run, int i, const SeriesSpan& s, std::span<const float> mean,
                          const SeriesOutliers& found, int& plot_switch) {
  std::vector<float> impulse(found.outliers);
  commie2(impulse, run.pooled_coefficients);
  const ChronologyPlot page = two_panels(
      found.residuals, mean, found.outliers, impulse, s.n, s.first_year, run.tsi1.ids.at(at(i)),
      {" residuals with mean", " endogenous outliers (>3.5 sd) with impulse response",
       "measurements (y)", "indices (z)", 1, 8});
  crnplt1(run.plots, page, plot_switch);
}

// All outlier series, then their counts and fractions per year.
void plot_outlier_counts(Run& run) {
  const OutlierCounts counts =
      count_outliers(run.tsi1, run.tsi2.column(tsi2col::depth), run.length);
  crnplt3(run.plots, run.tsi1, run.icommands, run.commands, "endogenous outliers (>3.5 sd)",
          "years", "index units (y)", series_kind::kEndogenousOutliers);
  const std::string name = run.commands.get(Commands::kNameFirst, Commands::kNameLast);
  const ChronologyPlot page = two_panels(
      counts.negative, counts.positive, counts.negative_share, counts.positive_share,
      static_cast<int>(counts.positive.size()), run.first_year, name,
      {" number of endogenous outliers (>3.5 sd)", " fraction of endogenous outliers (>3.5 sd)",
       "number (y)", "fraction (z)", 1, 7});
  int flag = run.icommands[opt::stand_dynamics_plots];  // a copy: the run's flag stays as it is
  crnplt1(run.plots, page, flag);
}

}  // namespace

OutlierCounts count_outliers(Tsi1& tsi1, std::span<const float> depth, int length) {
  const std::size_t years = std::min({count(length), count(tsi1.rows), depth.size()});
  OutlierCounts c;
  c.negative.assign(years, 0.0f);
  c.positive.assign(years, 0.0f);
  c.negative_share.assign(years, 0.0f);
  c.positive_share.assign(years, 0.0f);
  for (int i = 1; i <= tsi1.count; ++i) {
    const std::span<const float> column = tsi1.column(i);
    for (std::size_t k = 0; k < years; ++k) {
      if (column[k] > kNeutral) c.positive[k] += 1.0f;
      if (column[k] < kNeutral && !is_missing(column[k])) c.negative[k] -= 1.0f;
    }
  }
  for (std::size_t k = 0; k < years; ++k) {
    if (depth[k] > 0.0f) {
      c.negative_share[k] = c.negative[k] / depth[k];
      c.positive_share[k] = c.positive[k] / depth[k];
    }
  }
  return c;
}

void release_detection(Run& run) {
  PlotSession& plots = run.plots;
  const int method = run.icommands[opt::stand_dynamics];
  if (!release_detection(method) || run.tsi1.count < 1) return;
  Console& con = plots.console();
  int plot_switch = run.icommands[opt::stand_dynamics_plots];
  for (int i = 1; i <= run.tsi1.count; ++i) {
    stop_if_interrupted();
    ReleaseSettings settings{run.icommands[opt::release_window],
                             run.icommands[opt::release_threshold],
                             run.icommands[opt::release_error_limit]};
    char prefilter = 'N';
    const SeriesSpan s = span_of(run, i);
    const std::string& id = run.tsi1.ids.at(at(i));
    // The detector smooths its copy in place: every look starts again from the series.
    for (;;) {
      std::span<const float> values = values_of(run, i, s);
      std::vector<float> buffer(values.begin(), values.end());
      nowacki(buffer, id, s.first_year, settings, prefilter, method, plot_switch, plots);
      if (plot_switch <= 0) break;
      if (con.ask_yes_no("change release detection settings? y/<n>", Meaning::no) != Meaning::yes) {
        break;
      }
      change_settings(con, settings, prefilter);
    }
  }
}

void endogenous_outliers(Run& run) {
  if (!stand_dynamics_on(run.icommands[opt::stand_dynamics])) return;
  Tsi1& tsi1 = run.tsi1;
  if (tsi1.count > 0 && tsi1.overlay.size() < count(tsi1.rows)) {
    throw std::logic_error("endogenous outliers: the mean overlay does not cover the years.");
  }
  int plot_switch = run.icommands[opt::stand_dynamics_plots];
  for (int i = 1; i <= tsi1.count; ++i) {
    stop_if_interrupted();
    const SeriesSpan s = span_of(run, i);
    const std::span<const float> mean =
        std::span<const float>(tsi1.overlay).subspan(count(s.offset), count(s.n));
    const SeriesOutliers found =
        find_outliers(values_of(run, i, s), mean, run.icommands[opt::mean_chronology]);
    if (plot_switch > 0) plot_series_outliers(run, i, s, mean, found, plot_switch);
  }
  if (run.icommands[opt::stand_dynamics_plots] > 0) plot_outlier_counts(run);
}

}  // namespace dendro
