// The series set of regional curve standardization, moved from calendar years to cambial
// age and back. Age row r of the aligned matrix holds cambial age r + the smallest pith
// offset of the set; series i occupies rows p_i - smallest + 1 to p_i - smallest + n_i.
#pragma once

#include <span>
#include <vector>

#include "series/index.h"
#include "series/store.h"

namespace dendro {

class Console;

struct AgeAlignment {
  int smallest_offset = 0;
  int length = 0;         // age rows of the aligned set (the curve length)
  int calendar_rows = 0;  // rows of the matrix by calendar year
  int set_first = 0;      // the whole set's first and last year
  int set_last = 0;
  std::vector<int> offsets;
  // The series year table as the alignment left it, in calendar years (rows 1 to count + 2).
  std::vector<SeriesYears> saved;

  // First age row of series i (1-based).
  int first_row(int i) const { return offsets[at(i)] - smallest_offset + 1; }
};

// Moves every series to its age rows and puts cambial ages into the series year table: the
// first ring of series i has age p_i + 1 and the last p_i + n_i; the rows after the last
// series hold the aligned span. The pith offset column gets the offsets and the detrending
// column `detrend_code`. The matrix grows to the aligned length when that is longer than
// the calendar span; an aligned span beyond the year limit ends the program.
AgeAlignment align_by_age(Tsi1& tsi1, std::span<const int> offsets, int detrend_code, Console& con);

// Moves the (indexed) series back to their calendar rows, -9.99 elsewhere, restores the
// series year table in calendar years (keeping the offsets and the detrending code) and the
// matrix to its calendar rows.
void restore_calendar(Tsi1& tsi1, const AgeAlignment& alignment);

}  // namespace dendro
