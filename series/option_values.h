// The values of kalder's run options that choose among behaviours, by name, and the one
// place where each option's code is decoded. The numbers themselves are those the menu,
// the log file and the option record show.
#pragma once

namespace dendro {

// Option 7, interactive gap filling and detrending.
namespace interactive_mode {
inline constexpr int none = 0;
inline constexpr int gap_filling = 1;
inline constexpr int detrending = 2;
inline constexpr int gaps_and_detrending = 3;
}  // namespace interactive_mode

inline constexpr bool interactive_gap_filling(int code) {
  return code == interactive_mode::gap_filling || code == interactive_mode::gaps_and_detrending;
}
inline constexpr bool interactive_detrending(int code) {
  return code == interactive_mode::detrending || code == interactive_mode::gaps_and_detrending;
}

// Option 9, the autoregressive modelling of the series (and what follows from it: the
// residual and kalder chronologies, the table file).
namespace ar_kind {
inline constexpr int none = 0;
inline constexpr int ordinary = 1;        // non-robust (Burg)
inline constexpr int robust = 2;          // robust, the outliers kept in the residuals
inline constexpr int robust_cleaned = 3;  // robust, the outliers removed
}  // namespace ar_kind

inline constexpr bool autoregression_on(int code) { return code > ar_kind::none; }
// The robust methods tally the outliers that their cleaning finds.
inline constexpr bool robust_autoregression(int code) { return code >= ar_kind::robust; }

// Option 12, the mean chronology. A code below 0 is a quantile (-1 the minimum, -100 the
// maximum).
namespace mean_kind {
inline constexpr int none = 0;
inline constexpr int arithmetic = 1;
inline constexpr int biweight = 2;
}  // namespace mean_kind

// Option 17, the printout: each level adds to the levels below it.
namespace printout_level {
inline constexpr int summary = 1;             // summary statistics of all series
inline constexpr int series_statistics = 2;   // + individual series statistics
inline constexpr int chronology_listing = 3;  // + long list of the mean chronology
inline constexpr int fit_plots = 4;           // + printer plots of the series' curve fits
}  // namespace printout_level

inline constexpr bool series_statistics_printed(int level) {
  return level >= printout_level::series_statistics;
}
inline constexpr bool chronology_listed(int level) {
  return level >= printout_level::chronology_listing;
}
inline constexpr bool fit_plots_printed(int level) { return level >= printout_level::fit_plots; }

// Option 18, the core series save format.
namespace save {
inline constexpr int none = 0;
inline constexpr int tucson_rings = 1;
inline constexpr int tucson_index = 2;
inline constexpr int mib_index = 3;
inline constexpr int compact = 4;
inline constexpr int spaces = 5;
inline constexpr int tabs = 6;
inline constexpr int commas = 7;
}  // namespace save

inline constexpr bool series_saved(int format) { return format > save::none; }
// The tucson and mib pex formats open with the data file's three header lines.
inline constexpr bool saved_with_header_lines(int format) {
  return series_saved(format) && format <= save::mib_index;
}

// Option 19, the summary plots.
namespace summary_plot {
inline constexpr int none = 0;
inline constexpr int spaghetti = 1;  // spaghetti plots of all series
inline constexpr int various = 2;    // the various summary plots
inline constexpr int all = 3;        // both
}  // namespace summary_plot

inline constexpr bool any_summary_plots(int code) { return code > summary_plot::none; }
inline constexpr bool spaghetti_plots_on(int code) {
  return code == summary_plot::spaghetti || code == summary_plot::all;
}
inline constexpr bool various_summary_plots_on(int code) {
  return code == summary_plot::various || code == summary_plot::all;
}

// Option 20, the stand dynamics analyses. Every code above none runs the endogenous
// disturbance outliers; the release codes add release detection before them.
namespace stand_dynamics_kind {
inline constexpr int none = 0;
inline constexpr int outliers = 1;          // endogenous disturbance outliers
inline constexpr int release = 2;           // release detection
inline constexpr int modified_release = 3;  // modified release detection
}  // namespace stand_dynamics_kind

inline constexpr bool stand_dynamics_on(int code) { return code > stand_dynamics_kind::none; }
inline constexpr bool release_detection(int code) {
  return code == stand_dynamics_kind::release || code == stand_dynamics_kind::modified_release;
}
// The modified method also asks that the later window's mean stand some standard errors
// above the earlier one's, and so has a third parameter.
inline constexpr bool release_error_test(int code) {
  return code == stand_dynamics_kind::modified_release;
}

// The plot switches that go with several options' codes (the "plot" elements).
namespace plot_switch {
inline constexpr int off = 0;
inline constexpr int on = 1;
}  // namespace plot_switch

}  // namespace dendro
