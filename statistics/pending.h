// Stand-ins for the plots of the principal components and of the releases, which this
// build does not draw yet. Each keeps its caller's call site and tells the user so in one
// console line.
#pragma once

#include <string_view>

namespace dendro {

class PlotSession;
struct RunningGrowth;
struct ReleaseSettings;

// " <plot>: plot not available".
void plot_unavailable(PlotSession& plots, std::string_view plot);

// The release plot, which shows the release years of findrl.
void crnplt11_unavailable(PlotSession& plots, const RunningGrowth& growth,
                          const ReleaseSettings& settings, int method, std::string_view id);

}  // namespace dendro
