// Autoregressive modelling of every series of a data file: each series gets its own model
// (ordinary or robust) and is replaced in the series matrix by its prewhitened residuals,
// as residual indices about 1.0.
#pragma once

#include <vector>

namespace dendro {

class PlotSession;
class Units;
struct Commands;
struct Icommands;
struct StatsTable;
struct Tsi1;
struct Tsi2;

struct SeriesModel {
  int order = 0;
  float r_squared = 0.0f;
  std::vector<float> coefficients;  // phi_1 .. phi_order
};

// Fits every series by option 9 (1 ordinary, 2 robust, 3 robust with the outliers removed)
// at the order of option 11 (0 the pooled order, negative the first Akaike minimum, positive
// a fixed order; in batch runs each series' `ips` code instead), replaces the series by
// residual + 1.0 (floored at 0.0), writes the per-series and summary reports to the general
// output file and the prewhitened statistics to columns 1 to 7 of the statistics table, and,
// for the robust methods, the outlier tallies, the outlier plots and (option 18 above 0) the
// outlier series file, output prefix + "_auto_outs.txt". Returns the model of every series.
// The outlier tallies go to the chronology table by chronology year: the negative outliers
// column minus the number of series with a negative autoregressive outlier, the positive
// one the number with a positive one, the two fraction columns these counts divided by the
// sample depth. The two count columns are cleared at the start of every call.
std::vector<SeriesModel> armod(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, int pooled_order,
                               const Icommands& icommands, Commands& commands, Units& units,
                               PlotSession& plots);

}  // namespace dendro
