// The inter-series statistics that follow each series stage of a data file: the
// all-series rbar, the common period analysis and the running rbar with its file.
#pragma once

#include "kalder/run.h"

namespace dendro {

// The stage of the series matrix that the statistics describe.
enum class SeriesStage { raw = 1, transformed = 2, detrended = 3, residual = 4 };

// Runs the block for `stage` (only when the data file holds more than one series).
void rbar_stage(Run& run, SeriesStage stage);

}  // namespace dendro
