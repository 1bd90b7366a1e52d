// The plots of the transformation and of regional curve standardization, behind an
// interface of their own: the run driver hands in the plot layer, tests hand in recorders,
// and a plot that is not there is replaced by a one-line note.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "detrending/detrend_plots.h"
#include "plots/chronology_plot.h"

namespace dendro {

class Console;
class PlotSession;
struct Commands;
struct Icommands;
struct Tsi1;
struct Tsi2;

struct StagePlots {
  // A two-panel page (crnplt1); sets plot_flag to 0 for "no more plots".
  std::function<void(const ChronologyPlot& page, int& plot_flag)> page;
  AllSeriesPlot all_series;
  // The transformation summary from rows 1..count of columns 1 to 6 of the per-series
  // table (laid out as the chronology table): skewness before and after and the
  // spread-versus-level correlations, with medians.
  std::function<void(const Tsi2& tsi2, int count, std::string_view data_file,
                     std::string_view title)>
      transform_summary;
};

// The pages of the plot layer: the two-panel page, the all-series page and the
// transformation summary.
StagePlots stage_plot_layer(PlotSession& session, const Icommands& icommands,
                            const Commands& commands);

// The note that stands for a plot that is not there.
void plot_not_available(Console& con);

// A series id as a plot names it: without its blanks.
std::string plot_name(std::string_view id);

}  // namespace dendro
