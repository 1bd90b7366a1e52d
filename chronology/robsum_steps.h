// The steps of the mean chronology builder beyond the yearly mean: bootstrap limits of a
// year, variance stabilisation of the finished chronology and its statistics report. Used
// only by robsum.
#pragma once

#include <span>
#include <vector>

namespace dendro {

class Console;
class Units;
struct Icommands;
struct Rand;
struct Tsi1;

// The options the builder reads once at entry, and the two names of the kind.
struct RobsumSettings {
  int mean_type = 1;   // option 12: 1 arithmetic, 2 biweight, below 0 a quantile
  int bootstrap = 0;   // element 72: 1 for bootstrap limits
  int stabilise = 0;   // option 13
  int printout = 0;    // option 17
  int save = 0;        // option 18
  int plots = 0;       // option 19
  char kind = 'n';     // the kind argument: titles, headings, files
  char code = 'n';     // the data kind code of the character block: scale, stabilisation
};

struct YearLimits {
  float lower = 0.0f;
  float upper = 0.0f;
};

// The 95% BCa limits of the mean of the year's values (in the order of the series) from
// 1000 bootstrap resamples (700 with exactly 6 values); both limits the mean below 6 values.
YearLimits bootstrap_limits(std::span<const float> values, float mean, int mean_type,
                            Rand& rand);

// The chronology and the years of the set, as the statistics steps need them.
struct ChronologyView {
  std::span<float> chronology;
  std::span<const int> depth;
  std::span<const float> std_dev;  // the yearly standard deviation of the mean routine
  int first_year = 0;
  int last_year = 0;
};

// Variance stabilisation of the chronology in place when the data kind code is not 'n' and
// option 13 is not 0, with its messages and (option 17 at 4 or more) the decade-mean plots.
void stabilise_chronology(const ChronologyView& c, float rbar, const RobsumSettings& s,
                          Units& units, Console& console);

// The efficiencies of the robust mean: above 1.0 a gain, otherwise a loss.
struct EfficiencyLists {
  std::vector<float> gains;
  std::vector<float> losses;
};

// The statistics report of the chronology on the general output file.
void write_chronology_statistics(const ChronologyView& c, const EfficiencyLists& efficiency,
                                 const Tsi1& tsi1, const RobsumSettings& s, Units& units);

}  // namespace dendro
