// Stand-ins for services of other layers that the chronology routines call and that are not
// available yet: the pooled autoregression and weights plot pages and the decade-mean
// character plot.
// Each keeps its caller's call site with the data it would use and writes a one-line note
// on the console instead; plot flags are left as they are. They are to be replaced by the
// real routines as those land.
#pragma once

#include <array>
#include <span>
#include <string_view>

namespace dendro {

class Console;

namespace pending_plots {

// The note every stand-in writes: " *** not available yet: <what> ***".
void note(Console& console, std::string_view what);

// Pooled autoregression page: 4 columns of 11 values (autocorrelations, partial
// autocorrelations, model coefficients, impulse response weights, lags 0 to 10).
void arhist1(Console& console, const std::array<float, 44>& block, int order,
             std::string_view data_file, int chronology_length, int summary_option);

// Weights page of three year-indexed curves (median, lower hinge and largest weight).
void crnplt7(Console& console, std::span<const float> median, std::span<const float> lower_hinge,
             std::span<const float> largest, int first_year, std::string_view data_file,
             std::string_view title, char plot_mode, int plot_code);

// Decade-mean character plot of measurements, curve and indices on an output unit.
void pltdec1(Console& console, std::span<const float> measurements, std::span<const float> curve,
             std::span<const float> indices, int first_year, int step);

}  // namespace pending_plots

}  // namespace dendro
