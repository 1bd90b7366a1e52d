// The log file of a data file: the run options of that file, one record per option after
// a header record, each record holding its values in fixed columns and the option's label
// from column 20. `wlf` writes the option records; `batch` reads a log file back.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

#include "series/blocks.h"

namespace dendro {

class Console;
class Units;

// The header record (record 1) of the log file of data file number `count`.
std::string log_header(int count, std::string_view data_file_name);

// Writes records 2 to 24 (options 1 to 20 and the three stand-dynamics parameters) of the
// option table and the 8-character mask. A value that its field cannot hold apart from the
// next value throws Stop: the reader could not separate it, and a cut value would be a
// different option. Values set through the option dialogue always fit.
void wlf(const Icommands& icommands, std::string_view mask, std::ostream& out);

// Whether `value` fits the log file field of option table element `element`, apart from the
// next value of its record, so that `wlf` can write it. Elements without a field: true.
bool fits_log_field(OptionElement element, int value);

// Reads the log file open on unit::log into the option table and the mask, checks the
// values and echoes the records on the console, each with the label of its values. Returns
// 0 when every record was read and stored, otherwise the number of the option whose record
// failed (after the console message). A bad median or lowess width throws Stop.
int batch(Units& units, Icommands& icommands, Commands& commands, Console& con,
          std::string_view data_file_name);

}  // namespace dendro
