// A chronology and its error series written in the index records (tucson index or mib pex)
// to the files that collect such blocks. The records hold values from -0.999 to 9.989 and
// sample depths up to 999. A chronology or error series with a value that does not fit is
// left out of every file together with its twin, with a warning, rather than written as
// asterisks or as a value that reads back as another value or as the fill that ends a
// series; the files of the two then still pair block for block. A sample depth above 999
// is written as 999, and said once per data file.
#pragma once

#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "series/tucson.h"

namespace dendro {

class Console;
class Units;

struct IndexBlock {
  std::string what;  // what the series is, for the messages ("raw chronology")
  TucsonMode mode = TucsonMode::iw;
  std::string id;
  int first_year = 0;
  std::span<const float> values;
  std::span<const int> depth;
  std::string tag;                  // kind tag of the records
  std::vector<std::string> titles;  // title records written before the series (none: qz)
};

// A chronology block and the units it goes to, with its error series, written under the
// same id, years, sample depth and title records with the kind tag "err".
struct IndexPair {
  IndexBlock chronology;
  std::span<const int> files;
  std::span<const float> error;
  std::span<const int> error_files;
};

// What the writer has said for the data file in hand; a new data file starts afresh.
struct IndexNotes {
  bool depth_capped = false;  // depths above 999 written as 999
};

// The largest sample depth the three columns of the index records hold.
inline constexpr int kDeepestRecorded = 999;

// The position of the largest sample depth (the first, where it recurs) when the three
// columns of the index records cannot hold it (above 999), or nothing. Depths that the
// writer replaces by 1 (the first below 1) are not looked at.
std::optional<std::size_t> depth_above_records(std::span<const int> depth);

// Writes the chronology and then its error series to their units, or, when a value of
// either does not fit the index records, neither of them: the console and the general
// output file (`report`, when open) then say which files go without them, the first value
// that does not fit with its year, and, when `kept_in` is given, the file that keeps the
// chronology's values. Depths above 999 are written as 999; the first time in a data file
// (`notes`) the console and the report say so with the first such year and its depth, and
// that `kept_in` keeps the true depths. True when written.
bool write_index_pair(Units& units, Console& con, int report, const IndexPair& pair,
                      IndexNotes& notes, std::string_view kept_in = {});

// Years of sample depth 0 hold no series. The index records have no mark for one missing
// year: a decade without any value is left out of the records (a reader takes the skipped
// decade as missing), but a year without a value in a decade with values cannot be written.
// The lines that say why the block cannot be written to `files` (in the words of the
// pair's warning), or nothing when it can be written by write_index_records. Mode iw only
// leaves decades out; qz blocks must have a value in every year.
std::vector<std::string> index_block_refusal(const IndexBlock& block, std::string_view files,
                                             std::string_view kept_in = {});

// Writes the block's titles and records to `out`, leaving out the decades without a value.
// The block must have passed index_block_refusal.
void write_index_records(std::ostream& out, const IndexBlock& block);

}  // namespace dendro
