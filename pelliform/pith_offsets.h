// Pith offsets for the regional curve: the number of rings missing between the pith and
// the first measured ring of each series, read from a file in the order of the series.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "pelliform/series_set.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

// Asks whether there is a pith-offset file and reads it on `unit` (closed again before
// the return): one offset per record, by "(i4)" (columns 1 to 4) or by a layout the user
// types, after a number of header lines that are shown. Without a file every offset is 0
// (`offsets` empty) and the flag false; with one the flag is true and offsets[k] belongs to
// series k + 1 of the data file, whose `series` series the offsets are counted against. A
// blank record reads 0; blank records at the end of the file are passed over. A record
// that holds no offset (a whole number of rings from 0 to kLargestPithOffset), or a file
// of fewer or more offsets than series, is said naming the line or the counts and asks
// whether to try again (from the reading method) or to end the run. More offsets than the
// series limit end the run.
void pithy(Console& con, Units& units, int unit, std::vector<int>& offsets, bool& flag,
           const std::string& data_file, int series);

// The pith offset of each series of `set`: the offset `read` gives for its place in the
// data file (0 when `read` is empty: no file) plus the rings cut off its start, so that
// every ring keeps its age whatever the series menu kept or cut. A data file that no longer
// holds the series the offsets were read for ends the run.
std::vector<int> offsets_by_series(const SeriesSet& set, std::span<const int> read);

}  // namespace dendro
