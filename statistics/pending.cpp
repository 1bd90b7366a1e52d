#include "statistics/pending.h"

#include <string>

#include "plots/plot_loop.h"
#include "series/console.h"
#include "statistics/release.h"

namespace dendro {

void plot_unavailable(PlotSession& plots, std::string_view plot) {
  plots.console().say(" " + std::string(plot) + ": plot not available");
}

void crnplt11_unavailable(PlotSession& plots, const RunningGrowth& /*growth*/,
                          const ReleaseSettings& /*settings*/, int /*method*/,
                          std::string_view id) {
  plot_unavailable(plots, "release plot of " + std::string(id));
}

}  // namespace dendro
