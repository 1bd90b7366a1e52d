// The spread-versus-level page of the power transformation: every series' pairs of log
// level and log spread with the series' own fitted line, and the pooled line in the title.
#pragma once

#include <string>

#include "pelliform/plot_loop.h"
#include "pelliform/power_transform.h"

namespace dendro {

// Limits (x over the log levels; y from the smallest log spread - 1 to the largest + 1.5)
// and the top label of the page.
struct ScatterPage {
  Range x{9999.0, -9999.0}, y{9999.0, -9999.0};
  std::string title;
};
ScatterPage scatter_page(const PowerTransformResult& r);

// Draws the page inside the plot loop; [s]ave writes "fig1b.ps". Without any pair there
// is nothing to draw.
PlotExit scatplt(PlotSession& session, const PowerTransformResult& r);

}  // namespace dendro
