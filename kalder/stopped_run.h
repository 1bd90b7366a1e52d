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

// Closes the run-wide chronology files (created staged when the data files' processing
// starts): with two or more data files processed to their end they replace an earlier
// run's files, holding those data files' chronologies only (a data file in progress is cut
// off); otherwise they are dropped and an earlier run's files stay as they were. A run that
// ends `early` says which of them, holding something, were kept or not written.
void close_run_wide_files(Run& run, bool early);

// Names the data files of the list that were not processed: `in_hand` (when not empty)
// and the names the list on unit::file_names still holds.
void report_unprocessed(Run& run, std::string_view in_hand);

// Settles the files of a run that stops with `message`: a log file being written is
// dropped, leaving an earlier one as it was; the general output file of the data file in
// hand gets a closing note and is kept, as is every file already closed; any other file
// still being written is removed; the run-wide chronology files are closed as above. On
// the console: the kept and removed files of the data file in hand, the run-wide files
// kept or not written, and the data files of the list not processed. Every unit is
// closed afterwards.
void settle_stopped_run(Run& run, std::string_view message) noexcept;

}  // namespace dendro
