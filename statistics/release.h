// Growth releases of one series by the running-mean percent growth change: a release is a
// sharp and lasting rise of the mean growth of one window of years over the window before.
#pragma once

#include <span>
#include <string_view>
#include <vector>

#include "series/option_values.h"

namespace dendro {

class PlotSession;

struct ReleaseSettings {
  int window = 10;   // w: running-mean width in years
  int percent = 25;  // P: growth change threshold in percent
  int errors = 0;    // E: standard errors between the two means (modified method)
};

// The running means of a series and the growth change between windows.
struct RunningGrowth {
  int first_year = 0;  // of the (possibly smoothed) series
  int n = 0;           // its number of values
  // means[j-1], errors[j-1]: mean and standard error of values j .. j + w - 1, for
  // j = 1 .. n - w + 1 (none when the series is shorter than the window).
  std::vector<float> means, errors;
  // change[k-1] = (M(k + w) - M(k)) / M(k), k = 1 .. K with K = n - 2w + 1; not a number
  // where M(k) is 0, as the change from nothing is undefined.
  std::vector<float> change;
};

// Smooths x in place with the 1-2-1 binomial filter when `prefilter` is set (the n - 2
// smoothed values move to the front, the first year rises by one and n falls by two), then
// forms the running means, their standard errors and the growth changes.
RunningGrowth running_growth(std::span<float> x, int first_year, int window, bool prefilter);

// The release years: for k = 3 .. K - 2 a peak of the growth change G above P percent
// after two rising steps (G(k-2) < G(k-1) < G(k) >= G(k+1)); the modified method also asks
// that the later window's mean less E standard errors exceed the earlier one's plus E.
// A candidate's year is first_year + k - 1; one within w years of the last recorded
// release is dropped. later_means / later_errors are the statistics of the window that
// starts w places after window k. No release is found with fewer than five changes, nor
// under a `method` (option 20's code, `stand_dynamics_kind`) that asks for no release
// detection.
std::vector<int> findrl(std::span<const float> means, std::span<const float> errors,
                        std::span<const float> later_means, std::span<const float> later_errors,
                        std::span<const float> change, int first_year,
                        const ReleaseSettings& settings, int method);

// Release detection of one series: running_growth, then, while the plot flag is above 0,
// the release plot (which shows the release years of findrl and may clear the flag).
// x holds the series' n values and is smoothed in place when the answer is "y" or "Y".
RunningGrowth nowacki(std::span<float> x, std::string_view id, int first_year,
                      const ReleaseSettings& settings, char prefilter, int method, int& plot_flag,
                      PlotSession& plots);

}  // namespace dendro
