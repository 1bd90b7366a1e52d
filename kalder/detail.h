// The batch detail file: one line of per-series settings (the series year table row and
// the id) for every series of a data file. Written at the end of every data file, read
// back at the start of the same data file in a batch run, so that a user can edit the
// settings of single series.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"

namespace dendro {

// The detail file of a data file: the output prefix plus "_detail.txt".
std::string detail_file_name(std::string_view prefix);

// Writes the legend, the column head and one record per series of the data file, in file
// order: the series of the set with their rows of the year table, and between them the
// series that a batch run left out (`tsi1.dropped`), with the rows they were read with, so
// that every record still lines up with its series when the file is read back. With first
// differences as the first detrending (`first_detrending` -1) the first year of every
// series of the set is lowered by one in the table itself before it is written.
void write_detail(std::ostream& out, Tsi1& tsi1, int first_detrending);

// Creates the detail file of `prefix` fresh on the detail unit, writes it and closes it;
// its name. It takes its name with the data file's other files.
std::string write_detail(Units& units, std::string_view prefix, Tsi1& tsi1, int first_detrending);
// Shows "batch detail file saved: " with the name on the console, once the file `name` is in
// place.
void say_detail_saved(Console& console, const std::string& name);

struct DetailRead {
  bool ok = true;  // false: the file was missing, too short, or held a record that failed
  int rows = 0;    // records read into the year table
};

// Reads the records after the eight head lines into rows 1, 2, ... of the year table and
// the ids, up to `max_series` rows; a blank line or a record number of 0 ends the list.
// Rows already read keep what was read when a later record fails. `tsi1.detail_rows` is
// set to the number of rows read.
DetailRead read_detail(std::istream& in, Tsi1& tsi1, int max_series = kMaxSeriesKalder);

// The batch run's reader: opens the detail file of `prefix` on the series unit, reports it
// on the console and in the general output file (unit::out), reads it and closes it. A
// missing or unreadable file gives the console notice that the defaults are used; the run
// goes on.
DetailRead read_detail(Units& units, std::string_view prefix, Tsi1& tsi1, Console& console,
                       int max_series = kMaxSeriesKalder);

// The note of a batch run whose detail file gives `taken` series (codes: each series' own
// code, in series order) a code other than the log file's option `option` for one stage
// (`stage`, such as "second detrending"; `column`, the file's column head of the code): how
// many series, their codes with the count of each, and the file where they are changed.
// Nothing when no series is listed.
std::vector<std::string> detail_code_note(std::string_view file, std::string_view stage,
                                          std::string_view column, int option,
                                          const std::vector<int>& codes);

// The note of a batch run whose detail file `file` holds rows with another series' id
// (`mismatches`, in row order): how many rows, the first five with both ids, and that the
// rows are taken by position all the same. Nothing when no row is listed.
std::vector<std::string> detail_id_note(std::string_view file,
                                        const std::vector<DetailIdMismatch>& mismatches);

}  // namespace dendro
