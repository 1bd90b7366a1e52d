// Per-file set-up of kalder: output names and files, the data file and its log file, the
// option table loaded from the log file, and the option record of the general output file.
#pragma once

#include <string>
#include <vector>

#include "kalder/run.h"

namespace dendro {

// Sets up the data file named in run.commands; false when the run must end (a missing data
// file or log file, or a log file that could not be read).
bool set_up_file(Run& run);

// The option record lines of the general output file for the loaded option table.
std::vector<std::string> option_record(const Icommands& icommands, const Commands& commands);

// Fixes the identifiers that the chronology files carry: the chronology id takes `id_stem`
// (six characters), and header lines whose first six characters are blank are built from
// the data title. The caller gives a blank data title its default first.
void header_line_checks(const std::string& id_stem, std::string& chronology_id,
                        std::string& data_title, Commands& commands);

}  // namespace dendro
