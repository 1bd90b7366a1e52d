// The steps of the mean chronology builder beyond the yearly mean: bootstrap limits of a
// year, variance stabilisation of the finished chronology and its statistics report. Used
// only by robsum.
#pragma once

#include <span>

#include "chronology/robsum.h"

namespace dendro {

class Console;
class Units;
struct Rand;

// The bootstrap resamples of a year of `depth` values: 1000, 700 with exactly 6, none below.
// Each resample draws `depth` numbers of the generator.
int bootstrap_replicates(int depth);

// The 95% BCa limits of the mean of the year's values (in the order of the series) from
// 1000 bootstrap resamples (700 with exactly 6 values); both limits the mean below 6 values.
YearLimits bootstrap_limits(std::span<const float> values, float mean, int mean_type, Rand& rand);

// Variance stabilisation of the chronology (first year `first_year`) in place by `method`
// (the stabilisation option: 1 rbar-weighted, 2 both, other codes a spline; 0 none). The
// rbar weighting needs an rbar of 0 or above.
Stabilisation stabilise(std::span<float> chronology, std::span<const int> depth, int first_year,
                        float rbar, int method);

// The stabilisation's messages (printout 1 and above) and, at printout 4 and above, the
// decade-mean plots of the chronology before and after it, on the general output file.
void write_stabilisation(const MeanChronology& c, const MeanRequest& request, Units& units,
                         Console& console);

// The statistics report of the chronology on the general output file.
void write_chronology_statistics(MeanChronology& c, const Tsi1& tsi1, const MeanRequest& request,
                                 Units& units);

}  // namespace dendro
