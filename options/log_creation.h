// Making the log files of an interactive run: one per data file of the run's list, holding
// the options chosen in the menu.
#pragma once

#include <string>

#include "series/blocks.h"

namespace dendro {

class Console;
class Units;

// Reads the next data file name of the list on unit::file_names into `name` (trailing
// blanks cut); false at the end of the list: its end of file, or a record whose first ten
// characters are blank.
bool next_listed_name(Units& units, std::string& name);

// Reads the data file names from unit::file_names (up to the end of the list or a name
// whose first 10 characters are blank), shows the option menu as the same commands answer
// asks (for every data file with "n", for the first only with "y", never otherwise; with
// "n" and more than one name, each menu after a line that names its data file) and
// writes each data file's log file: its output prefix plus "_log.txt". Returns the number
// of log files written. The option table keeps the options of the last data file. A log
// file replaces an earlier one only when it is complete (Commit::on_close).
int mlf(Units& units, Icommands& icommands, Commands& commands, Console& con);

}  // namespace dendro
