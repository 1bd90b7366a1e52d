// Looking into an open text file from inside a dialogue, and asking for a file to open.
#pragma once

#include <string>

namespace dendro {

class Console;
class Units;

// Listing widths: kalder shows the first 80 characters of each line, pelliform 100.
inline constexpr int kSnoopWidthKalder = 80;
inline constexpr int kSnoopWidthPelliform = 100;

// Lists the file open on `unit` on the console, numbered under a column ruler, five lines
// at a time, until the user returns to the program; "e" reads to the end and shows the
// last five lines. The file is rewound on return.
void snoop(Units& units, int unit, Console& con, int width);

// Asks for a file name and opens the file on `unit`: kind o (old), n (new), u (unknown)
// or s (scratch), in either case. Asks again when the file cannot be opened; "/" alone throws
// Stop with status 0, and an unknown kind throws Stop after its message. Returns the name.
std::string openit(Units& units, Console& con, char kind, int unit);

}  // namespace dendro
