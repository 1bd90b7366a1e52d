// The outer road of a kalder run: start-up and banner, the list of data files, the run
// title and mode, the log files, the loop over the data files and the end of the run.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

#include "kalder/run.h"

namespace dendro {

// The banner box, one string per row, as the console shows it (`in_file` false) or as the
// general output file carries it (lower-case credit rows and their own columns).
std::vector<std::string> banner(bool in_file);

// Runs kalder on the console streams; returns the program's exit status.
int kalder_main(std::istream& in, std::ostream& out);

// The steps of a run, in order.
void start_up(Run& run);
void run_dialogue(Run& run);
void process_files(Run& run);
void end_of_run(Run& run);

}  // namespace dendro
