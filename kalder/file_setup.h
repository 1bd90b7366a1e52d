// Per-file set-up of kalder: output names and files, the data file and its log file, the
// option table loaded from the log file, and the option record of the general output file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "kalder/run.h"

namespace dendro {

// Sets up the data file named in run.commands; false when the run must end (a missing data
// file or log file, or a log file that could not be read), before any file is written.
bool set_up_file(Run& run);

// The option record lines of the general output file for the loaded option table.
std::vector<std::string> option_record(const Icommands& icommands, const Commands& commands);

// The identifiers that the chronology files carry.
struct ChronologyIds {
  std::string chronology_id;  // 8 characters
  std::string data_title;     // 85 characters
};

// Fixes the identifiers: the chronology id takes `id_stem` (six characters) and both are
// padded to their lengths; header lines of `commands` whose first six characters are blank
// are built from the data title. The caller gives a blank data title its default first.
ChronologyIds header_line_checks(std::string_view id_stem, const ChronologyIds& ids,
                                 Commands& commands);

}  // namespace dendro
