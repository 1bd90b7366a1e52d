// The data loader of pelliform: the input format menu and the reading of the whole data
// file into the series set, by one of the two tucson decade formats or one of the two
// column layouts.
#pragma once

#include "pelliform/series_set.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

enum class LoadStatus { loaded, failed };

// Asks for the input format (with help on the formats) and reads the data file open on
// `unit`, positioned at its start, into `set` (cleared first; the title stays blank for
// the column layouts). Fails, after its message, when the user quits the menu, a reader
// fails or the set passes the limits of the program; never stops the program itself,
// except at the end of the console input.
LoadStatus loaddat(Console& con, Units& units, int unit, SeriesSet& set);

// The title check of a ring-width file: a title line whose first 6 characters are blank
// gets "1st itrdb line missing" (2nd, 3rd) in its characters 1-22 and 59-80.
void mark_missing_titles(SeriesSet& set);

}  // namespace dendro
