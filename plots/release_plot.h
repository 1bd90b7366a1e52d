// The release-detection plot of one series: the running window means with their error bars
// above, the growth change, the scaled series, the threshold and the release years below.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "plots/plot_loop.h"

namespace dendro {

// What the release detection hands to its plot. The windows drawn are those that have a
// growth change (nw = change.size()); the four window vectors hold at least nw values.
struct ReleasePage {
  std::span<const float> series;        // the series as the release detection holds it
  std::span<const float> means;         // mean of each running window
  std::span<const float> mean_errors;   // standard error of each window mean
  std::span<const float> later_means;   // mean of the window that follows each window
  std::span<const float> later_errors;  // its standard error
  std::span<const float> change;        // growth change between the two, as a fraction
  int first_year = 0;                   // of the series
  int window = 10;                      // years of a running window
  int percent = 25;                     // growth change threshold, in percent
  int errors = 0;                       // standard errors between the two means
  char smoothing = 'n';                 // the prefilter answer, shown in the criteria line
  std::string_view id;                  // the series id
  std::string_view top_title;           // follows the id: " running mean growth series"
  std::string_view bottom_title;        // " % growth change (blue) and raw data (red)"
  std::string_view top_y_label;         // "running growth"
  std::string_view bottom_x_label;      // "years"
  std::string_view bottom_y_label;      // "relative growth"
};

// The release search over the windows drawn: the means, their errors, the following means,
// their errors and the growth changes, with the year of the first window mean; returns the
// release years. The caller binds its method and criteria.
using ReleaseSearch = std::function<std::vector<int>(
    std::span<const float> means, std::span<const float> mean_errors,
    std::span<const float> later_means, std::span<const float> later_errors,
    std::span<const float> change, int first_window_year)>;

// The lines of release dates under the bottom panel: "Release dates:" and the first ten
// years (5 columns each), then ten years to a line after 14 blanks; "Release dates:" alone
// when there are none.
std::vector<std::string> release_dates_lines(std::span<const int> years);

// Draws the page and runs the plot loop (items 1 to 19) until the user continues; sets
// `plot_flag` to 0 when the user asks for no more plots and leaves it otherwise. Returns the
// year of the first window mean (first year + window - 1), where each window mean is drawn:
// at the last year of its window.
int crnplt11(PlotSession& session, const ReleasePage& page, const ReleaseSearch& search,
             int& plot_flag);

}  // namespace dendro
