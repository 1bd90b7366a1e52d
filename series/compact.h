// The compact series format (self-describing, scaled by a power of ten), header-driven
// series (a header line with count, first year and value layout) and the mib pex
// tree-ring format. One series per call; the calling conventions are those of trrw.
#pragma once

#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "series/blocks.h"
#include "series/console.h"
#include "series/records.h"
#include "series/tucson.h"

namespace dendro {

// Writes one series in the compact format: a header record with count, first year, id,
// exponent and value layout, then the values as integers k with value = k * 10^p, as
// many per record as the narrowest field allows. Writes nothing when there is no value.
void datw(std::ostream& out, std::string_view id, std::span<const float> values, int first_year,
          std::string_view label);

// What the values of a series are: ring widths in millimetres, which the readers refuse at
// a ring of 1000 mm or more, or indices.
enum class SeriesValues { ring_widths, indices };

// Reads one compact series (ring widths in millimetres). Up to three title records before a header
// are shown on the console (the first becomes the text); blank records are passed over. Stops the
// run on a fourth title record, a series longer than max_years, a header with a negative count or
// values that cannot be read or cannot be rings. `series_number` counts the series of the file and
// is set to kEndOfData at the end, as n is. A header of no values is passed over with a note.
SeriesRead cdf(RecordStream& in, int& series_number, Console& console, int max_years = kMaxYears);

// Reads one header-driven series: lines up to a header line (columns 3-10 the count,
// 13-20 the first year, 23-30 a value layout in parentheses), then the values in that
// layout. Every line before the header that does not begin with "n  " becomes the title
// (`title` in and out, 80 characters; also returned as the text). A header whose count
// exceeds max_years is returned without its values, for the caller to report. Ring widths
// are read in millimetres.
SeriesRead datar(RecordStream& in, std::string& title, Console& console, int max_years = kMaxYears,
                 SeriesValues kind = SeriesValues::ring_widths);

// Reads one series of the mib pex tree-ring format: a header record (id, first and last
// year), then decadal records of ten pairs of value (hundredths of a millimetre) and count;
// the counts come back as the depth.
SeriesRead rinfrn(RecordStream& in, int& series_number, Console& console,
                  int max_years = kMaxYears);

// A second, more tolerant compact reader: the header is found by its "=" and "~" marks
// rather than by columns. No stage reads with it.
SeriesRead datr(RecordStream& in, Console& console, int max_years = kMaxYears);

}  // namespace dendro
