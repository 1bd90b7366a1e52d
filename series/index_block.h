// A chronology or error series written in the index records (tucson index or mib pex) to
// the files that collect such blocks. The records hold values from -0.999 to 9.989 and
// sample depths up to 999: a block that does not fit is left out of every file, with a
// warning, rather than written as asterisks or as a value that reads back as another value
// or as the fill that ends a series.
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
  std::string what;  // what the series is, for the warning ("raw chronology")
  TucsonMode mode = TucsonMode::iw;
  std::string id;
  int first_year = 0;
  std::span<const float> values;
  std::span<const int> depth;
  std::string tag;                  // kind tag of the records
  std::vector<std::string> titles;  // title records written before the series (none: qz)
};

// Writes the block to every unit of `targets`, or, when a value or depth does not fit the
// index records, to none of them: the console and the general output file (`report`, when
// open) then say which files go without it, the first value that does not fit with its year,
// and, when `kept_in` is given, the file that keeps its values. True when written.
bool write_index_block(Units& units, Console& con, int report, std::span<const int> targets,
                       const IndexBlock& block, std::string_view kept_in = {});

// Years of sample depth 0 hold no series. The index records have no mark for one missing
// year: a decade without any value is left out of the records (a reader takes the skipped
// decade as missing), but a year without a value in a decade with values cannot be written.
// The lines that say why the block cannot be written to `files` (in the words of the
// warning above), or nothing when it can be written by write_index_records. Mode iw only
// leaves decades out; qz blocks must have a value in every year.
std::vector<std::string> index_block_refusal(const IndexBlock& block, std::string_view files,
                                             std::string_view kept_in = {});

// Writes the block's titles and records to `out`, leaving out the decades without a value.
// The block must have passed index_block_refusal.
void write_index_records(std::ostream& out, const IndexBlock& block);

}  // namespace dendro
