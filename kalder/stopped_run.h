// A run that stops part way (a negative growth curve left in place, a reader that cannot
// go on, "/", the end of the console input) leaves no file cut in the middle: each output
// file is complete or removed, and the console says which files of the data file in hand
// were kept.
#pragma once

#include <string_view>

#include "kalder/run.h"

namespace dendro {

// Marks the start of the processing of a data file whose set-up succeeded: what the
// run-wide chronology files hold now is what a stop keeps of them.
void start_data_file(Run& run);

// Marks the end of the processing of a data file: its general output, table, chronology
// and error files are complete and closed.
void finish_data_file(Run& run);

// Settles the files of a run that stops with `message`: the general output file of the
// data file in hand gets a closing note and is kept, as is every file already closed; any
// other file still being written is removed; the run-wide chronology files lose what the
// data file in hand added, and are kept only when they hold more than one data file's
// chronologies. Reports the kept and removed files of the data file in hand on the
// console. Every unit is closed afterwards.
void settle_stopped_run(Run& run, std::string_view message) noexcept;

}  // namespace dendro
