// Reading every series of the data file in hand into the series store, with the limits,
// the gap report, the statistics of each series and the tables of the raw measurements.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/store.h"
#include "series/units.h"

namespace dendro {

struct TrreadResult {
  std::string title = std::string(85, ' ');  // data title: the first title record met
  // The current series id as the reading left it: blank, or "********" for index data
  // (the chronology id takes its characters 7-8).
  std::string current_id = std::string(8, ' ');
  int series_with_gaps = 0;
  // The largest series mean (row 8 of column 2 of the summary): only when two or more
  // series were read; otherwise the caller keeps its earlier value.
  std::optional<float> largest_mean;
  // Presence mask: 1 for series 1 to count when two or more series were read; otherwise
  // the presence flags of the single series' values.
  std::vector<int> presence;
};

// Reads the series of `data` by the data kind code of `commands` ("mr", "ir", "qz", "cd",
// either case) into `tsi1`: column i of the matrix holds series i from row 1 (the matrix
// has as many rows as the longest series; every other cell holds -9.99), with its id and
// its first and last year in the year table; the row after the last series holds the
// first and last year of the set. In a batch run (batch mode answer "y") the year table
// holds the rows of the batch detail file: a series whose use flag is not 1 is read but
// left out (kept in `tsi1.dropped`), and the others take their rows with them.
//
// Writes the gap report, the statistics of the raw measurements (by option 17) and the
// summary to `out`; the header lines of ring-width files go to `commands`. Statistics of
// series i go to row i of `stats` (columns 1-7); with two or more series rows 1 to 8 then
// hold the summary. Stops the run (throws Stop) on a series longer than max_years, more
// than max_series series, a set spanning more than max_years years, or no series.
TrreadResult trread(std::istream& data, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, std::ostream& out, Console& console,
                    int max_years = kMaxYears, int max_series = kMaxSeriesKalder);

// The message on a series of n values, more than max_years: "*** series read in exceeds
// maximum allowable length: " with the id, n and the limit; n is printed whole.
std::string series_too_long(std::string_view id, int n, int max_years);

// The same over the unit table: the data file on unit::data, the report on unit::out.
TrreadResult trread(Units& units, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, Console& console, int max_years = kMaxYears,
                    int max_series = kMaxSeriesKalder);

// Puts every column of the matrix on the set's year axis: afterwards the matrix has one
// row per year of the set (row 1 is its first year, from the row after the last series in
// the year table) and series i occupies rows ify - first + 1 to ily - first + 1.
void align_on_chronology(Tsi1& tsi1);

}  // namespace dendro
