// Readers of the two plain column layouts of pelliform's data files: one series after
// another in a single column, and several series side by side with a year column.
#pragma once

#include <string>

#include "pelliform/series_set.h"
#include "series/console.h"
#include "series/records.h"

namespace dendro {

// Single column: each series is an id record, a first-year record and one value per
// record; the values end at the first record that does not read as a number (the next
// series' id), at a record of digits followed by a year while every value of the series
// has a decimal point (a record as wide as the series' own id, or a year of 1000 or more
// after values all below 1000), or at the end of the file. The layout carries no units: a
// value may be any below a million in size. Adds the series to `set` (which the caller has
// cleared) and writes its summary row. Returns false, after its message (with the line,
// the columns and the text at fault) and a pause, when an id or a first year cannot be
// read, a limit is passed, a value is a million or more in size, or a record of digits may
// be a value or a digit id.
bool rd1col(RecordStream& in, Console& con, SeriesSet& set);

// Multiple columns: asks for the number of columns and the sentinel that pads the
// records, reads the heading record of ids and every data record, and stores each column
// after the first (the years) as one series. Sentinels before a series' first value and
// after its last one are left out; a sentinel between values (or a year without a record)
// is a missing year and is stored as the missing marker, so that no value moves to
// another year. Returns false, after its message and the line, the columns and the text of
// the field, when a value or a year cannot be read or a value is a million or more in size
// (the layout carries no units), or when the heading holds fewer ids than columns.
bool rdmcol(RecordStream& in, Console& con, SeriesSet& set);

// True when a field of a multi-column record is the sentinel: the same text, or both made
// of asterisks only (the prompt asks for "*" when the file pads with "*******").
bool is_sentinel(const std::string& field8, const std::string& sentinel8);

// The messages of a file that holds more series than pelliform takes, and of a series
// with more values than a chronology has years.
void too_many_series(Console& con);
void too_long(Console& con, const std::string& id, int n);

// Shows the limit message and returns false when the set holds more series than pelliform
// takes or spans more years than a chronology holds.
bool within_limits(const SeriesSet& set, Console& con);

}  // namespace dendro
