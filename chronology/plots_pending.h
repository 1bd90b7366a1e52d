// Stand-ins for the plot pages that the chronology routines draw and that the plot layer does
// not offer yet. Each keeps its caller's call site with the data the page would show and
// writes a one-line note on the console instead of the page; the plot flag is left as it is.
// They are to be replaced by the plot layer's own pages.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace dendro {

class Console;

namespace pending_plots {

// The note every stand-in writes: " *** plot not available yet: <what> ***".
void note(Console& console, std::string_view what);

// Pooled autoregression page: 4 columns of 11 values (autocorrelations, partial
// autocorrelations, model coefficients, impulse response weights, lags 0 to 10).
void arhist1(Console& console, const std::array<float, 44>& block, int order,
             std::string_view data_file, int chronology_length, int summary_option);

// Weights page of three year-indexed curves (median, lower hinge and third summary).
void crnplt7(Console& console, std::span<const float> median, std::span<const float> lower_hinge,
             std::span<const float> third, int first_year, std::string_view data_file,
             std::string_view title, char plot_mode, int plot_code);

// Two-panel time-series page of one series or chronology (kinds 1 and 7).
void crnplt1(Console& console, std::string_view label, std::string_view title,
             std::string_view second_title, int plot_kind, int& plot_flag);

// Every series of the series matrix on the year axis (kind 12: the autoregressive outliers).
void crnplt3(Console& console, std::string_view title, int plot_kind);

}  // namespace pending_plots
}  // namespace dendro
