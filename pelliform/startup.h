// The opening of a pelliform run: banner and warning, the data file and its report file,
// the loading of the series with the test for missing values, and the size summary.
#pragma once

#include <string>
#include <vector>

#include "pelliform/run.h"

namespace dendro {

// The banner box and the warning box, one string per line, as the console shows them.
std::vector<std::string> banner();
std::vector<std::string> gap_warning();

// Shows the banner and the warning.
void start_up(PelliformRun& run);

// Asks for the data file until one exists ("/" ends the run) and holds the opening lines
// of its report.
void choose_data_file(PelliformRun& run);

// Opens the data file, loads its series and tests them for missing (negative) values,
// which end the run. Returns false when the load failed and the user wants to try
// another file ("T"); any other answer ends the run. On success creates the report file
// of a newly chosen data file with its held opening lines, and reports the size of the set.
bool load_data(PelliformRun& run);

}  // namespace dendro
