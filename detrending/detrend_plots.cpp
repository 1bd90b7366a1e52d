#include "detrending/detrend_plots.h"

#include "plots/chronology_plot.h"
#include "plots/series_plot.h"

namespace dendro {

DetrendPlots plot_layer(PlotSession& session, const Icommands& icommands,
                        const Commands& commands) {
  DetrendPlots plots;
  plots.fit_page = [&session](const FitPage& page, int& plot_flag, int& option) {
    ChronologyPlot plot = two_panels(
        page.measurements, page.curve, page.indices, page.smooth,
        static_cast<int>(page.curve.size()), page.first_year, page.name,
        {page.pass_label, " tree-ring indices", "measurements (y)", "indices (z)", 1, 1});
    plot.c3 = page.start_curve;
    plot.c6 = page.start_flag;
    plot.depth = page.plot_vector;
    plot.fit = page.coefficients;
    crnplt1(session, plot, plot_flag, option);
  };
  plots.all_series = all_series_layer(session, icommands, commands);
  return plots;
}

AllSeriesPlot all_series_layer(PlotSession& session, const Icommands& icommands,
                               const Commands& commands) {
  return [&session, &icommands, &commands](const Tsi1& tsi1, std::string_view title,
                                           std::string_view x_label, std::string_view y_label,
                                           int kind) {
    crnplt3(session, tsi1, icommands, commands, title, x_label, y_label, kind);
  };
}

}  // namespace dendro
