// Regional curve standardization: one growth curve by cambial age for all series of a data
// file. The series are aligned by their pith offsets, averaged by age, the regional curve is
// fitted to the mean (with a dialogue to inspect, truncate and change the fit), every series
// is divided by the curve at its own ages, and the indices go back to calendar years.
#pragma once

#include <span>
#include <string>

#include "detrending/rcs_io.h"

namespace dendro {

struct StatsTable;
struct Tsi1;
struct Tsi2;

// The caller's vectors, each at least as long as the age-aligned set (the run driver's
// vectors of 5000 values).
struct RcsVectors {
  std::span<float> curve;      // out: the regional curve by age row
  std::span<int> depth;        // out: sample depth by age row
  std::span<float> std_error;  // out: error series of the mean by age
  std::span<float> lower;      // out: bootstrap limits of the mean by age
  std::span<float> upper;
};

// Runs regional curve standardization on the series of `tsi1` (first detrending option -2,
// the curve-fit option in option 5). On return the matrix holds the indices by calendar
// year (-9.99 elsewhere), the series year table is in calendar years with the pith offsets
// (also in `pith_offsets`) and the detrending code -2, the mean overlay vector holds the
// indices of the mean by age, and chronology table columns 2, 3 and 8 to 12 hold the data
// by age row (2 and 3 within the table's rows; 8 to 12 grow to every age row when the
// aligned set is longer than the table: Tsi2::age_rows). Writes the aligned
// and index series files (option 18), the bootstrap limit file, the age-aligned chronology
// with its error series and the report; `title` (85 characters) gets the regional
// chronology's name in its characters 54 to 80. Stops the program when the user keeps a
// regional curve that goes negative (NegativeCurveStop).
void rcs(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, const RcsVectors& vectors,
         std::span<int> pith_offsets, std::string& title, RcsIo& io);

}  // namespace dendro
