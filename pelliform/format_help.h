// Help on the input formats of pelliform's data files: an example of each layout, and a
// look into the data file itself.
#pragma once

#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

// Shows the help menu until the user enters 0 (or nothing): 1 to 4 show an example of the
// layout, any answer that is not a digit pages through the data file open on `unit`,
// which is left rewound.
void dathlp(Console& con, Units& units, int unit);

}  // namespace dendro
