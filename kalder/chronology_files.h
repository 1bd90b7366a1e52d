// The chronology, error and table files of a data file, and the run-wide chronology files
// that collect the chronologies of every data file of a run.
#pragma once

#include <span>

#include "kalder/run.h"

namespace dendro {

enum class ChronologyKind { raw, standard, residual, kalder };

// Writes one chronology with its three title records to the data file's chronology file and
// the run-wide file of its kind, and its error series to the error file and the run-wide
// error twin. The header lines of `run.commands` must hold the restored saved copies.
void write_chronology(Run& run, ChronologyKind kind, std::span<const float> values,
                      std::span<const int> depth, std::span<const float> error);

// Writes the tab-separated table file of the chronology table (nothing when option 9 is 0
// or below).
void write_table(Run& run);

}  // namespace dendro
