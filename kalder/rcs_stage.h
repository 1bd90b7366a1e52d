// Two pieces of the per-file pipeline that hand a stage to the transformation and
// detrending layer: regional curve standardization in place of detrending (first detrending
// option -2), and the symmetry adjustment of the finished chronologies under the adaptive
// power transformation (option 3 = 4), with the final adjusted statistics.
#pragma once

#include <span>
#include <vector>

#include "kalder/run.h"

namespace dendro {

class PlotSession;
struct Rand;

// What the regional curve stage gives back.
struct RcsStageResult {
  std::vector<float> curve;  // the regional curve by age row (5000 rows)
  std::vector<int> depth;    // the sample depth by chronology year (run.length years)
};

// Restores the header lines, runs rcs with the mean chronology builder (data kind "b") and
// the plot layer, takes the sample depth back from chronology table column 1 and, when core
// series are saved, writes the index series to prefix + "_rcs_ind2.txt".
RcsStageResult regional_curve_stage(Run& run, PlotSession& plots, Rand& rand);

// Reshapes chronology table column `column` (tsi2col::standard, residual or kalder) over
// run.length years to a smaller absolute skewness; for the standard and the residual
// chronology the final adjusted statistics follow in the general output file.
void symmetry_adjustment(Run& run, int column, std::span<const int> depth);

}  // namespace dendro
