// The per-file processing pipeline of kalder: every stage in its fixed order.
#pragma once

#include "kalder/run.h"

namespace dendro {

// Runs the stages for the data file set up in `run`.
void process_data_file(Run& run);

}  // namespace dendro
