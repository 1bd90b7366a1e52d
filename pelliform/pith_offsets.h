// Pith offsets for the regional curve: the number of rings missing between the pith and
// the first measured ring of each series, read from a file in the order of the series.
#pragma once

#include <string>
#include <vector>

#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

// Asks whether there is a pith-offset file and reads it on `unit` (closed again before
// the return): one offset per record, by "(i4)" or by a layout the user types, after a
// number of header lines that are shown. Without a file every offset is 0 (`offsets`
// empty) and the flag false; with one the flag is true and offsets[k] belongs to series
// k + 1. A record that does not read, or a file of fewer or more offsets than the set's
// `series`, is said and asks whether to try again (from the reading method) or to end
// the run. More offsets than the series limit end the run.
void pithy(Console& con, Units& units, int unit, std::vector<int>& offsets, bool& flag,
           const std::string& data_file, int series);

}  // namespace dendro
