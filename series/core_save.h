// The core series save (every series of the set flagged for saving, in the format that
// option 18 chooses) and the gap report of one series.
#pragma once

#include <iosfwd>
#include <span>
#include <string_view>
#include <vector>

#include "series/console.h"
#include "series/option_values.h"
#include "series/store.h"

namespace dendro {

// Writes every series i of the set whose save flag (`ics`) is 1, in series order, in the
// format of `code`, with `kind_tag` (3 characters, such as "raw") marking the records. The
// matrix must be aligned on the set's year axis (row 1 is the first year of the set, held
// in the row after the last series of the year table). A column file (codes 5 to 7) is
// refused with a console message when its lines would exceed 8998 characters; in the record
// formats a series with a value the records cannot hold (ring widths from 99.9995 up, see
// ring_misfit; indices from 9.990 up) is left out with a console message.
void sis(std::ostream& out, Tsi1& tsi1, int code, std::string_view kind_tag, Console& console);

// The first and last year of a run of missing years.
struct YearRun {
  int first = 0;
  int last = 0;
};

struct MiaResult {
  int missing = 0;            // number of missing values
  std::vector<YearRun> gaps;  // runs of consecutive missing years
  std::vector<int> presence;  // 1 where the value is present, 0 where it is missing
};

// The gaps of one series: a value below 0 is missing, and so is a value of 0 when a data
// transformation is chosen (`transformation` above 0).
MiaResult mia(std::span<const float> values, int first_year, int transformation);

// The gap report of series `series_number`: the gaps listed on `out` when values are
// missing; nothing otherwise.
void write_gap_report(std::ostream& out, const MiaResult& gaps, int series_number,
                      std::string_view id);

}  // namespace dendro
