// Reading every series of the data file in hand into the series store, with the limits,
// the gap report, the statistics of each series and the tables of the raw measurements.
#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/files/units.h"
#include "series/store.h"
#include "series/tucson.h"

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
  // Rows of the batch detail file that hold another series' id, in row order.
  std::vector<DetailIdMismatch> detail_id_mismatches;
};

// The rules by which the series of one data file are taken into the set.
struct IntakeRules {
  int transformation = 0;  // above 0: a zero is missing too
  bool batch = false;      // the year table holds the rows of the batch detail file
  int max_years = kMaxYears;
  int max_series = kMaxSeriesKalder;
  // A detrending pass takes first differences: a series needs two values to have one.
  bool first_differences = false;
};

// What taking one series into the set came to.
struct SeriesTaken {
  enum class Fate { kept, left_out, refused };
  Fate fate = Fate::kept;
  // refused: the message that stops the run. left_out and kept: a note for the console and
  // the report (a series without a value; a series with the id of an earlier one), or empty.
  std::string message;
  int position = 0;  // kept: the series' column in the set
  MiaResult gaps;    // kept: the missing values
};

// The set after its last series.
struct SetRead {
  int count = 0;
  int first_year = 0;
  int last_year = 0;
  std::string title = std::string(85, ' ');  // the data title of the first series kept
  int series_with_gaps = 0;
  std::vector<int> presence;  // the presence flags of the last series kept
  // Two or more series spanning more than max_years: the message that stops the run.
  std::string too_long;
  // Rows of the batch detail file that hold another series' id, in row order.
  std::vector<DetailIdMismatch> detail_id_mismatches;

  int years() const { return last_year - first_year + 1; }
};

// Takes the series of one data file into `tsi1` one at a time, as trread reads them, with
// no file or console: the limits, the rows of the batch detail file (a series whose use flag
// is not 1, or whose every value is missing, is left out into `tsi1.dropped`; a row whose id
// is not the series' is listed in the set's `detail_id_mismatches`), the gap scan and the
// statistics of each series kept (row i of `stats`, columns 1-7, for series i).
class SeriesIntake {
 public:
  SeriesIntake(Tsi1& tsi1, StatsTable& stats, const IntakeRules& rules);
  // Takes series `number` of the file (1 for the first series read). A refused series
  // changes nothing.
  SeriesTaken take(SeriesRead s, int number);
  int count() const { return count_; }  // series kept so far
  // After the last series: the kept series fill the matrix from row 1 (as many rows as the
  // longest series, -9.99 elsewhere) and the row after the last series of the year table
  // holds the set's first and last year.
  SetRead finish();

 private:
  std::string limit_passed(const SeriesRead& s, int number) const;
  void compare_detail_id(std::string_view id, int number);
  // `why` is empty for a series the batch detail file marks unused.
  SeriesTaken leave_out(const SeriesRead& s, int number, const SeriesYears& detail_row,
                        std::string_view why);
  SeriesTaken keep(SeriesRead s, const SeriesYears& detail_row, MiaResult gaps);
  void keep_statistics(const SeriesRead& s, const MiaResult& gaps);

  Tsi1& tsi1_;
  StatsTable& stats_;
  IntakeRules rules_;
  int count_ = 0;
  SetRead set_;
  std::vector<std::vector<float>> columns_;  // the series kept, as read
  std::unordered_map<std::string, int> first_with_id_;
};

// Rows 1 to 8 of columns 1 to 7 of `stats` become the summary over series 1 to count: mean,
// standard deviation, median, hinge spread, minimum, lower hinge, upper hinge, maximum.
void summarise_statistics(StatsTable& stats, int count);

// Reads the series of `data` by the data kind code of `commands` ("mr", "ir", "qz", "cd",
// either case) into `tsi1`: column i of the matrix holds series i from row 1 (the matrix
// has as many rows as the longest series; every other cell holds -9.99), with its id and
// its first and last year in the year table; the row after the last series holds the
// first and last year of the set. In a batch run (batch mode answer "y") the year table
// holds the rows of the batch detail file: a series whose use flag is not 1 is read but
// left out (kept in `tsi1.dropped`), and the others take their rows with them.
//
// Writes the gap report, the statistics of the raw measurements (by the printout option)
// and the summary to `out`; the header lines of ring-width files go to `commands`. Statistics of
// series i go to row i of `stats` (columns 1-7); with two or more series rows 1 to 8 then
// hold the summary. Stops the run (throws Stop) on a series longer than max_years, more
// than max_series series, a set spanning more than max_years years, or no series.
TrreadResult trread(std::istream& data, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, std::ostream& out, Console& console,
                    int max_years = kMaxYears, int max_series = kMaxSeriesKalder);

// The message on a series of n values, more than max_years: "*** series read in exceeds
// maximum allowable length: " with the id, n and the limit; n is printed whole.
std::string series_too_long(std::string_view id, int n, int max_years);

// The message on a series whose years reach outside kEarliestYear to kLatestYear, which the
// programs' files can write: "*** series " with the id, its first and last year and the
// limits. Empty when the series lies within them.
std::string years_outside(const SeriesRead& s);

// The same over the unit table: the data file on unit::data, the report on unit::out.
TrreadResult trread(Units& units, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, Console& console, int max_years = kMaxYears,
                    int max_series = kMaxSeriesKalder);

// Puts every column of the matrix on the set's year axis: afterwards the matrix has one
// row per year of the set (row 1 is its first year, from the row after the last series in
// the year table) and series i occupies rows ify - first + 1 to ily - first + 1.
void align_on_chronology(Tsi1& tsi1);

}  // namespace dendro
