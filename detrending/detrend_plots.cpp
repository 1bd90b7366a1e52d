#include "detrending/detrend_plots.h"

#include "plots/chronology_plot.h"
#include "plots/series_plot.h"

namespace dendro {

DetrendPlots plot_layer(PlotSession& session, const Icommands& icommands,
                        const Commands& commands) {
  DetrendPlots plots;
  plots.fit_page = [&session](const FitPage& page, int& plot_flag, int& option) {
    ChronologyPlot plot;
    plot.c1 = page.measurements;
    plot.c2 = page.curve;
    plot.c3 = page.start_curve;
    plot.c4 = page.indices;
    plot.c5 = page.smooth;
    plot.c6 = page.start_flag;
    plot.depth = page.plot_vector;
    plot.n = static_cast<int>(page.curve.size());
    plot.first_year = page.first_year;
    plot.page = 1;
    plot.name = page.name;
    plot.upper_title = page.pass_label;
    plot.lower_title = " tree-ring indices";
    plot.y_label = "measurements (y)";
    plot.lower_x_label = "years";
    plot.z_label = "indices (z)";
    plot.kind = 1;
    plot.fit = page.coefficients;
    crnplt1(session, plot, plot_flag, option);
  };
  plots.all_series = [&session, &icommands, &commands](const Tsi1& tsi1, std::string_view title,
                                                       std::string_view x_label,
                                                       std::string_view y_label, int kind) {
    crnplt3(session, tsi1, icommands, commands, title, x_label, y_label, kind);
  };
  return plots;
}

}  // namespace dendro
