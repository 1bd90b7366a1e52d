// A run that stops part way (a negative growth curve left in place, a reader that cannot
// go on, "/", the end of the console input) leaves no file cut in the middle and changes
// no earlier file with one it had not completed; the console says what it kept and
// removed.
#pragma once

#include <string_view>

#include "kalder/run.h"

namespace dendro {

// Marks the start of the processing of a data file whose set-up succeeded: what the
// run-wide chronology files hold now is what a stop keeps of them.
void begin_data_file(Run& run);

// Marks the end of the processing of a data file: names the files of its prefix that an
// earlier run left and this run did not write (console and general output file), then
// closes its files and puts them in place, replacing the earlier files of their names.
void finish_data_file(Run& run);

// Closes the run-wide chronology files (begun when the data files' processing starts):
// with two or more data files processed to their end they replace an earlier run's set
// whole, holding those data files' chronologies only (a data file in progress is cut off),
// and a file of the set this run did not write is removed and named; otherwise they are
// dropped and an earlier run's files stay as they were. A run that ends `early` says which
// of them, holding something, were kept or not written.
void close_run_wide_files(Run& run, bool early);

// Names the data files of the list that were not processed: `in_hand` (when not empty)
// and the names the list on unit::file_names still holds.
void report_unprocessed(Run& run, std::string_view in_hand);

// Settles the files of a run that stops with `message`: the general output file of the
// data file in hand gets a closing note; the run-wide chronology files are closed as
// above; then every file not yet in place is settled (OutputFiles::settle): an earlier
// file of its name stays as it was, else a complete one is kept and an incomplete one
// removed. On the console: what was kept as it was, kept from the stopped run and
// removed, the run-wide files kept or not written, and the data files of the list not
// processed. Every unit is closed afterwards.
void settle_stopped_run(Run& run, std::string_view message) noexcept;

}  // namespace dendro
