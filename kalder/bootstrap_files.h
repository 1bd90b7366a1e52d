// The bootstrap confidence-limit files of a data file: each mean chronology and its 2.5%
// and 97.5% limits, smoothed with a spline, optionally plotted, and written to
// prefix + "_raw_95%cl.txt", "_std_95%cl.txt", "_res_95%cl.txt" or "_kld_95%cl.txt".
#pragma once

#include "kalder/run.h"

namespace dendro {

// The chronologies in pipeline order; the raw pass sets the span of years with limits that
// the later passes of the data file use.
enum class BootstrapPass { raw, standard, residual, kalder };

// Runs one pass when bootstrap limits are on (element 72 is 1); nothing otherwise. Reads the
// chronology from the mean overlay vector of `run.tsi1`, the limits from `run.lower` and
// `run.upper` (the kalder pass derives them from the residual pass's limits), and changes
// the limit vectors in place: years without limits take the chronology value. After the
// raw pass's plot the user may change the spline length for the rest of the data file.
void bootstrap_files(Run& run, BootstrapPass pass);

}  // namespace dendro
