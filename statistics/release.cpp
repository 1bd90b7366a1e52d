#include "statistics/release.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

#include "plots/release_plot.h"
#include "series/index.h"

namespace dendro {
namespace {

// The 1-2-1 binomial prefilter: the n - 2 inner values, smoothed, move to the front.
void binomial_prefilter(std::span<float> x) {
  if (x.size() < 3) return;
  float before = x[0];
  for (std::size_t i = 1; i + 1 < x.size(); ++i) {
    const float middle = x[i];
    x[i - 1] = 0.25f * before + 0.5f * middle + 0.25f * x[i + 1];
    before = middle;
  }
}

// The peak test: the change at k is above the threshold and was reached after two rising
// steps, and the next change does not exceed it. A change that is not a number fails it.
bool is_peak(std::span<const float> g, std::size_t k, float threshold) {
  return g[k] > threshold && g[k - 2] < g[k - 1] && g[k - 1] < g[k] && g[k] >= g[k + 1];
}

}  // namespace

RunningGrowth running_growth(std::span<float> x, int first_year, int window, bool prefilter) {
  RunningGrowth out;
  out.first_year = first_year;
  out.n = static_cast<int>(x.size());
  if (prefilter && out.n >= 3) {
    binomial_prefilter(x);
    out.first_year += 1;
    out.n -= 2;
  }
  const int w = window;
  const int windows = out.n - w + 1;
  if (w < 1 || windows < 1) return out;

  // Running means and their standard errors, window j covering values j .. j + w - 1.
  const float width = static_cast<float>(w);
  for (int j = 1; j <= windows; ++j) {
    const auto values = x.subspan(at(j), static_cast<std::size_t>(w));
    float sum = 0.0f;
    for (float v : values) sum += v;
    const float mean = sum / width;
    float squares = 0.0f;
    for (float v : values) squares += (v - mean) * (v - mean);
    const float sd = w > 1 ? std::sqrt(squares / (width - 1.0f)) : 0.0f;
    out.means.push_back(mean);
    out.errors.push_back(sd / std::sqrt(width));
  }

  // Growth change from window k to the window that starts right after it.
  for (int k = 1; k <= windows - w; ++k) {
    const float earlier = out.means[at(k)];
    const float later = out.means[static_cast<std::size_t>(k + w - 1)];
    out.change.push_back(earlier != 0.0f ? (later - earlier) / earlier
                                         : std::numeric_limits<float>::quiet_NaN());
  }
  return out;
}

std::vector<int> findrl(std::span<const float> means, std::span<const float> errors,
                        std::span<const float> later_means, std::span<const float> later_errors,
                        std::span<const float> change, int first_year,
                        const ReleaseSettings& settings, int method) {
  std::vector<int> years;
  const int changes = static_cast<int>(change.size());
  if (changes - 2 < 3) return years;
  if (!release_detection(method)) return years;
  const float threshold = static_cast<float>(settings.percent) / 100.0f;
  const float e = static_cast<float>(settings.errors);

  bool recorded = false;
  int last = 0;
  for (int k = 3; k <= changes - 2; ++k) {
    const std::size_t i = at(k);
    if (release_error_test(method) &&
        !(later_means[i] - e * later_errors[i] > means[i] + e * errors[i])) {
      continue;
    }
    if (!is_peak(change, i, threshold)) continue;
    const int year = first_year + k - 1;
    // A candidate within w years of the last release belongs to that release.
    if (recorded && year - last <= settings.window) continue;
    years.push_back(year);
    last = year;
    recorded = true;
  }
  return years;
}

RunningGrowth nowacki(std::span<float> x, std::string_view id, int first_year,
                      const ReleaseSettings& settings, char prefilter, int method, int& plot_flag,
                      PlotSession& plots) {
  const bool smooth = prefilter == 'y' || prefilter == 'Y';
  RunningGrowth growth = running_growth(x, first_year, settings.window, smooth);
  if (plot_flag >= 1) {
    // The page draws the windows that have a growth change, each beside the window w
    // places later, and asks findrl for the releases of the windows as it shows them.
    const std::span<const float> means(growth.means), errors(growth.errors);
    const std::size_t later = std::min(means.size(), static_cast<std::size_t>(settings.window));
    const ReleasePage page{
        .series = std::span<const float>(x).first(static_cast<std::size_t>(growth.n)),
        .means = means,
        .mean_errors = errors,
        .later_means = means.subspan(later),
        .later_errors = errors.subspan(later),
        .change = growth.change,
        .first_year = growth.first_year,
        .window = settings.window,
        .percent = settings.percent,
        .errors = settings.errors,
        .smoothing = prefilter,
        .id = id,
        .top_title = " running mean growth series",
        .bottom_title = " % growth change (blue) and raw data (red)",
        .top_y_label = "running growth",
        .bottom_x_label = "years",
        .bottom_y_label = "relative growth",
    };
    const ReleaseSearch search = [&settings, method](
                                     std::span<const float> m1, std::span<const float> s1,
                                     std::span<const float> m2, std::span<const float> s2,
                                     std::span<const float> g, int first_window_year) {
      return findrl(m1, s1, m2, s2, g, first_window_year, settings, method);
    };
    crnplt11(plots, page, search, plot_flag);
  }
  return growth;
}

}  // namespace dendro
