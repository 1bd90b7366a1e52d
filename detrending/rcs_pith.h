// The pith offsets of regional curve standardization: the number of rings missing between
// the pith and the first measured ring of each series, from the batch detail file's column,
// from a pith offset file named in a dialogue, or zero.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "detrending/rcs_io.h"

namespace dendro {

class Console;
struct Tsi1;

// One offset per series, in series order: in a batch run the series year table's `yfp`,
// otherwise by the dialogue, whose file holds one offset for each series of the data file
// (those the reader left out too), each kept series taking the offset of its place.
// Reports the offsets on the general output file when the printout option is above 1.
// Stops the program when the user answers "/" to the file name, when a file has a second
// unreadable record or a value that is no pith offset, when it holds a different number of
// values than the data file has series, or when the batch detail file holds no pith offset.
std::vector<int> pith_offsets(Tsi1& tsi1, RcsIo& io);

// The listing of the offsets, eight series to a group: a line of ids, a line of offsets.
std::vector<std::string> offset_listing(std::span<const std::string> ids,
                                        std::span<const int> offsets);

// Offsets of a pith offset file open on the series file unit, one value per record, read
// free form (an empty layout: blank records are passed over) or with a typed layout that
// offset_layout_fault accepts (a blank record reads 0, blank records at the end are passed
// over). At most one record may be unreadable (a title line, echoed on the console); a
// second one, or a value that is no pith offset, stops the program naming the line.
std::vector<int> read_offsets(RcsIo& io, const std::string& layout);

// Rewrites the multi-column pith offset file `name`, open on the series file unit, as one
// offset per record "(i5)" after saving it as name + "_save"; asks for the number of
// columns, the column of the offsets and whether they are years missing or the first
// cambial age present. Leaves the rewritten file open on the unit, at its start.
void reformat_offsets(RcsIo& io, const std::string& name);

}  // namespace dendro
