#include "kalder/summary_plots.h"

#include <algorithm>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "plots/series_plot.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/spline.h"
#include "series/store.h"
#include "statistics/power_estimates.h"

namespace dendro {
namespace {

struct SpaghettiPage {
  const char* title;
  const char* y_label;
  int kind;
  bool overlay;  // the mean chronology drawn over the series
};

// The page of a point, or nothing when the point's own condition fails.
std::optional<SpaghettiPage> page_of(const Run& run, SpaghettiPoint point) {
  const bool no_mean = run.icommands[opt::mean_chronology] == mean_kind::none;
  switch (point) {
    case SpaghettiPoint::gap_filled:
      if (!no_mean) return std::nullopt;
      return SpaghettiPage{"tree ring measurements", "measurements (y)", series_kind::kRaw, false};
    case SpaghettiPoint::transformed:
      if (!no_mean) return std::nullopt;
      return SpaghettiPage{"transformed measurements", "measurements (y)",
                           series_kind::kTransformed, false};
    case SpaghettiPoint::raw_mean:
      if (run.icommands[opt::transformation] != 0) {
        return SpaghettiPage{"transformed measurements with mean", "measurements (y)",
                             series_kind::kTransformed, true};
      }
      return SpaghettiPage{"tree ring measurements with mean", "measurements (y)",
                           series_kind::kRaw, true};
    case SpaghettiPoint::detrended:
      if (!no_mean) return std::nullopt;
      return SpaghettiPage{"tree ring indices", "indices (y)", series_kind::kIndices, false};
    case SpaghettiPoint::standard_mean:
      return SpaghettiPage{"tree ring indices with mean", "indices (y)", series_kind::kIndices,
                           true};
    case SpaghettiPoint::residuals:
      if (!no_mean) return std::nullopt;
      return SpaghettiPage{"tree ring residuals", "indices (y)", series_kind::kResiduals, false};
    case SpaghettiPoint::rewhitened_mean:
      break;
  }
  return SpaghettiPage{"tree ring residuals with mean", "indices (y)", series_kind::kResiduals,
                       true};
}

std::span<const float> first(std::span<const float> v, int n) {
  return v.first(std::min(v.size(), count(n)));
}

// One page of two curves with their splines over the chronology years.
struct Pair {
  int column_y, column_z;  // columns of the chronology table
  int page;                // 1 measurements, 2 indices
  int kind;                // 3 chronologies, 4 segment length and tree age
  int divisor;             // spline wavelength: chronology length / divisor
  const char* top_title;
  const char* bottom_title;
  const char* y_label;
  const char* z_label;
};

constexpr Pair kRawAndStandard{tsi2col::raw,
                               tsi2col::standard,
                               1,
                               3,
                               10,
                               " raw ring width chronology",
                               " standard chronology",
                               "measurements (y)",
                               "indices (z)"};
constexpr Pair kResidualAndKalder{
    tsi2col::residual, tsi2col::kalder, 2, 3, 10, " residual chronology", " kalder chronology",
    "indices (y)",     "indices (z)"};
constexpr Pair kSegmentAndAge{
    tsi2col::segment_length, tsi2col::tree_age, 1, 4, 3, " mean segment length", " mean tree age",
    "segment length (y)",    "tree age (z)"};

void draw_pair(Run& run, const Pair& p) {
  const int n = run.length;
  const std::span<const float> y = first(run.tsi2.column(p.column_y), n);
  const std::span<const float> z = first(run.tsi2.column(p.column_z), n);
  std::vector<float> y_smooth(y.size(), 0.0f), z_smooth(z.size(), 0.0f);
  // A chronology shorter than the divisor gives a wavelength below 2 years, which the
  // spline takes as its shortest.
  spline(y, y_smooth, n / p.divisor, &run.con);
  spline(z, z_smooth, n / p.divisor, &run.con);
  ChronologyPlot page = two_panels(y, y_smooth, z, z_smooth, n, run.first_year);
  page.depth = run.depth;
  draw_driver_page(run, page, {p.top_title, p.bottom_title, p.y_label, p.z_label, p.page, p.kind});
}

// One column of the running rbar table over its windows.
std::vector<float> running_column(const Run& run, int column) {
  std::vector<float> v;
  for (int w = 0; w < run.window_count; ++w) {
    v.push_back(run.running_table[static_cast<std::size_t>(w)][static_cast<std::size_t>(column)]);
  }
  return v;
}

struct RunningPage {
  int stage;  // 1 raw, 2 transformed, 3 detrended, 4 residual
  const char* top_title;
  const char* bottom_title;
};

void draw_running(Run& run, const RunningPage& r) {
  const int c0 = 7 * (r.stage - 1);  // middle year, corrs, rbar, sdev, serr, eps, cores
  const std::vector<float> middle = running_column(run, c0);
  const std::vector<float> rbar = running_column(run, c0 + 2);
  const std::vector<float> error = running_column(run, c0 + 4);
  const std::vector<float> eps = running_column(run, c0 + 5);
  const std::string top = Layout("(a,1x,2i4)")
                              .write(r.top_title, run.icommands[opt::running_rbar_window],
                                     run.icommands[opt::running_rbar_overlap]);
  // The first year is the raw step's first middle year, for all four pages.
  ChronologyPlot page = two_panels(rbar, middle, eps, error, run.window_count,
                                   static_cast<int>(run.running_table.front()[0]));
  draw_driver_page(run, page, {top, r.bottom_title, "rbar (y)", "eps (z)", r.stage + 2, 5});
}

// One page per series state; "[n]o more plots" in one of them does not stop the next.
void running_rbar_plots(Run& run) {
  draw_running(run, {1, " raw running rbar,", " raw running eps"});
  if (run.icommands[opt::transformation] > 0) {
    draw_running(run, {2, " transform running rbar,", " transform running eps"});
  }
  if (run.icommands[opt::first_detrending] == fit::none) return;
  draw_running(run, {3, " detrend running rbar,", " detrend running eps"});
  if (!autoregression_on(run.icommands[opt::ar_method])) return;
  draw_running(run, {4, " residual running rbar,", " residual series running eps"});
}

}  // namespace

void draw_driver_page(Run& run, ChronologyPlot page, const PageTexts& texts) {
  set_texts(page, run.commands.data_file, texts);
  crnplt1(run.plots, page, run.summary_plots_state);
}

void spaghetti_plot(Run& run, SpaghettiPoint point) {
  if (!spaghetti_plots_on(run.icommands[opt::summary_plots])) return;
  const std::optional<SpaghettiPage> page = page_of(run, point);
  if (!page) return;
  if (!page->overlay) {
    if (run.tsi1.overlay.empty()) run.tsi1.overlay.resize(1);
    run.tsi1.overlay[0] = kMissing;  // a negative first element hides the mean
  }
  crnplt3(run.plots, run.tsi1, run.icommands, run.commands, page->title, "years", page->y_label,
          page->kind);
}

void summary_plots(Run& run) {
  const int s = run.icommands[opt::summary_plots];
  int& state = run.summary_plots_state;
  const bool mean = run.icommands[opt::mean_chronology] != mean_kind::none;
  state = s;
  if (various_summary_plots_on(state) && mean) draw_pair(run, kRawAndStandard);

  if (run.icommands[opt::first_detrending] != fit::none && mean) {
    if (autoregression_on(run.icommands[opt::ar_method])) {
      if (state < s) {
        state = 0;
      } else if (various_summary_plots_on(state)) {
        draw_pair(run, kResidualAndKalder);
      }
    }
    // The power spectra of the standard, residual and kalder chronologies.
    sfreq(run.tsi2, run.length, 3, tsi2col::standard, s, run.commands.data_file, run.units,
          unit::series, run.plots);
  }

  if (s > state) state = 0;
  if (various_summary_plots_on(state) && mean && run.tsi1.count > 1 && run.window_count >= 1) {
    draw_pair(run, kSegmentAndAge);
  }

  // The running rbar plots follow their own flag even without summary plots.
  if (s > state) state = 0;
  if (state < summary_plot::various && run.icommands[opt::running_rbar_plots] > plot_switch::off) {
    state = summary_plot::various;
  }
  if (!various_summary_plots_on(state)) return;
  if (run.tsi1.count == 1 || run.window_count < 2) {
    run.con.say("");
    run.con.say(" *** no running rbar plotted ***");
    run.con.say(run.tsi1.count == 1 ? " *** only 1 series processed ***"
                                    : " *** number of segments is 1 ***");
    return;
  }
  if (s > state) state = 0;
  if (various_summary_plots_on(state)) running_rbar_plots(run);
}

}  // namespace dendro
