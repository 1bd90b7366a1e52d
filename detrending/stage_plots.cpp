#include "detrending/stage_plots.h"

#include "plots/transform_plot.h"
#include "series/console.h"
#include "series/text.h"

namespace dendro {

StagePlots stage_plot_layer(PlotSession& session, const Icommands& icommands,
                            const Commands& commands) {
  StagePlots plots;
  plots.page = [&session](const ChronologyPlot& page, int& plot_flag) {
    crnplt1(session, page, plot_flag);
  };
  plots.all_series = all_series_layer(session, icommands, commands);
  // The page names neither the data file nor the transformation.
  plots.transform_summary = [&session](const Tsi2& tsi2, int count, std::string_view,
                                       std::string_view) { power1(session, tsi2, count); };
  return plots;
}

void plot_not_available(Console& con) { con.say(" plot not available"); }

std::string plot_name(std::string_view id) {
  std::string name(id);
  stringclean(name);
  return std::string(trim_right(name));
}

}  // namespace dendro
