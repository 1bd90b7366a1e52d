// The driver's own pages: the power spectra of the final chronologies (log10 power against
// frequency) and the spread-versus-level page of the power transformation. Both run the
// plot loop of pelliform.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pelliform/plot_loop.h"
#include "pelliform/power_transform.h"

namespace dendro {

// The lines of the spectrum page and its limits, computed once per call.
struct SpectrumPage {
  // Each spectrum as runs of consecutive frequencies with a positive power (a power of 0
  // or less has no logarithm: the line breaks there and it does not count for the limits).
  std::vector<std::vector<double>> x1, y1, x2, y2;
  Range x{999.0, -999.0}, y{999.0, -999.0};
};
SpectrumPage spectrum_page(std::span<const float> frequency, std::span<const float> power1,
                           std::span<const float> power2);

// Draws the first `count` rows of the spectra with their legends (blue, then red) inside
// the plot loop; [s]ave writes `save_name`. Nothing is drawn when no power is positive.
PlotExit plt6(PlotSession& session, std::span<const float> frequency, std::span<const float> power1,
              std::span<const float> power2, int count, std::string_view legend1,
              std::string_view legend2, std::string_view save_name);

// Limits of the spread-versus-level page (x over the log levels; y from the smallest log
// spread or fitted value - 1 to the largest + 1.5) and its top label.
struct ScatterPage {
  Range x{9999.0, -9999.0}, y{9999.0, -9999.0};
  std::string title;
};
ScatterPage scatter_page(const PowerTransformResult& r);

// Every series' pairs of log level and log spread with the series' own fitted line, inside
// the plot loop; [s]ave writes "fig1b.ps". Without any pair there is nothing to draw.
PlotExit scatplt(PlotSession& session, const PowerTransformResult& r);

}  // namespace dendro
