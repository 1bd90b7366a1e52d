// The series processing menu of pelliform: the segment lengths of the set, and one
// reduction of the set (censoring by length, start year or common period, or truncation
// at a year) before the run, saved as a file of its own.
#pragma once

#include <array>

#include "pelliform/run.h"

namespace dendro {

// The five-number summary of the segment lengths (MIN, 25%, MED, 75%, MAX, each cut
// towards zero) and the number of series at each: equal to MIN, at least 25%, MED and
// 75%, equal to MAX.
struct SegmentStats {
  std::array<int, 5> stat{};
  std::array<int, 5> count{};
};
SegmentStats segment_stats(const SeriesSet& set);

// Shows the statistics under "ORIGINAL DATA SET" or "CENSORED DATA SET" and writes them
// to the report file; keeps MED for the median-length spline.
void segment_report(PelliformRun& run, bool censored);

// Truncation of every series that starts before (item 5) or ends after (item 6) `year`:
// the series keeps only the values from (or up to) that year, so that its first value is
// always that of its first year. A series left with fewer than 20 values ends the run.
void truncate_before(int year, PelliformRun& run);
void truncate_after(int year, PelliformRun& run);

// The menu, the reduction and its file, the saved copy and the report of the reduced set.
void series_menu(PelliformRun& run);

}  // namespace dendro
