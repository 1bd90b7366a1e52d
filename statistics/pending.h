// Stand-ins for routines that the statistics stages call and that this build does not have
// yet (plots of the principal components and of the releases; routines of other folders).
// Each keeps its caller's call site and tells the user so in one console line.
#pragma once

#include <string_view>

namespace dendro {

class Console;
class PlotSession;
struct RunningGrowth;
struct ReleaseSettings;

// " <plot>: plot not available".
void plot_unavailable(PlotSession& plots, std::string_view plot);

// The release plot, which shows the release years of findrl.
void crnplt11_unavailable(PlotSession& plots, const RunningGrowth& growth,
                          const ReleaseSettings& settings, int method, std::string_view id);

// " *** not available yet: <routine> ***".
void routine_unavailable(Console& con, std::string_view routine);

}  // namespace dendro
