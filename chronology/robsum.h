// The mean chronology builder: the mean of the series matrix year by year (arithmetic mean,
// Tukey biweight or a quantile, by the mean chronology option), with the sample depth, mean
// segment length and mean tree age of each year, bootstrap confidence limits, variance
// stabilisation, the biweight weights of every series and the chronology's statistics report.
#pragma once

#include <array>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "series/store.h"

namespace dendro {

class PlotSession;
class Units;
struct Commands;
struct Icommands;
struct Rand;

// The chronology asked for: its kind, the data kind code of the character block (the
// measurements 'n' or indices: it picks the bar scale, the value of empty years and whether
// the chronology is stabilised; the age-aligned chronology is built from measurements) and
// the option table.
struct MeanRequest {
  MeanKind kind = MeanKind::raw;
  MeanKind code = MeanKind::raw;
  const Icommands& options;
};

// The bootstrap limits of a year's mean.
struct YearLimits {
  float lower = 0.0f;
  float upper = 0.0f;
};

// One year of a mean chronology, as the mean routine gives it (before stabilisation).
struct MeanYear {
  int depth = 0;                // number of series present, 0 in an empty year
  float segment_length = 0.0f;  // mean segment length of the series present
  float tree_age = 0.0f;        // mean age of the series present
  float mean = 0.0f;            // not below 0; 0 (measurements) or 1 (indices) when empty
  float std_dev = 0.0f, std_error = 0.0f;
  float efficiency = 1.0f;  // kept from the last year with values through empty years
  int iterations = 0;
  // With bootstrap limits on, in years with values: the 2.5% and 97.5% limits of years with
  // 6 or more series, both the mean in years with 1 to 5.
  std::optional<YearLimits> limits;
};

// The efficiencies of the robust mean: above 1.0 a gain, otherwise a loss.
struct EfficiencyLists {
  std::vector<float> gains;
  std::vector<float> losses;
};

// The variance stabilisation of a chronology.
struct Stabilisation {
  int method = 0;                // the stabilisation option; 0 none
  std::vector<float> worked;     // what the last method worked on: the absolute deviations of a
                                 // spline, or the chronology before the rbar weighting
  std::vector<float> curve;      // the spline curve or the rbar factors (1.0 where none)
  int spline_years = 0;          // the spline's length in years, a percentage turned into years
  bool rbar_below_zero = false;  // no rbar weighting: the rbar was below 0 (or no number)
  std::vector<float> shift;      // what it moved each year's mean by (the limits move too)

  bool applied() const { return method != 0; }
  std::string notes;  // console lines of the numerical routines, in order
};

// A mean chronology: its years, the chronology after stabilisation and the biweight
// weights of every series.
struct MeanChronology {
  int first_year = 0;
  std::vector<MeanYear> years;
  // The yearly means after stabilisation. The statistics report centres it and restores it
  // in place, which may change a value in its last bit: the report's values are the ones kept.
  std::vector<float> chronology;
  Stabilisation stabilisation;
  EfficiencyLists efficiency;
  int largest_depth = 0;
  // The weights of every series, at the four decimals they are written with, shaped as the
  // series matrix (-9.99 where a series has no value); empty when the mean is not the
  // biweight, when neither the weights file nor the weights plot asks for them, or when no
  // year has six series.
  std::vector<float> weights;

  int length() const { return static_cast<int>(years.size()); }
  int last_year() const { return first_year + length() - 1; }
};

// The caller's vectors, one value per chronology year (at least the chronology's length),
// that take a chronology with `store`.
struct ChronologyColumns {
  std::span<int> depth;
  std::span<float> segment_length;
  std::span<float> tree_age;
  std::span<float> chronology;  // after stabilisation
  std::span<float> std_error;
  // With bootstrap limits, each year with values takes its limits; every year's limits
  // then move by what the stabilisation moved its mean (empty years keep their values).
  std::span<float> lower;
  std::span<float> upper;
};

// Copies the chronology into the columns; throws std::invalid_argument when one is shorter.
void store(const MeanChronology& c, const ChronologyColumns& out);

// The mean chronology of the request's kind from the series of `tsi1`: 'n' raw data,
// 's' standard, 'r' residual, 'b' age-aligned (regional curve; its span is the row after the
// whole set's row of the series year table). `rbar` is the mean inter-series correlation of
// the rbar-weighted stabilisation. Touches no file and no console: the numerical routines'
// console lines are kept in the stabilisation's notes. No years when the span is empty.
MeanChronology mean_chronology(const Tsi1& tsi1, const MeanRequest& request, float rbar,
                               Rand& rand);

// What reports a chronology: the character block, the general output file and the plots
// with their console.
struct ChronologyReport {
  Commands& commands;
  Units& units;
  PlotSession& plots;
};

// The console progress, the chronology table (printout 3 and above), the
// stabilisation's messages and decade-mean plots, the weights file (core series save) and
// weights plot (summary plots 2 or 3) of the biweight, and the statistics report.
// `scale_reference` is a level of the measurements that picks the text-bar scale of raw and
// age-aligned data. The weights pass lends the weights to the series matrix and leaves the
// yearly median weight in the mean overlay vector.
void report_mean_chronology(MeanChronology& c, Tsi1& tsi1, const MeanRequest& request,
                            float scale_reference, const ChronologyReport& report);

// Builds and reports the mean chronology of `kind`, its console title first; the data kind
// code comes from the character block. The random generator is reset at entry, so that
// every chronology's bootstrap draws the same numbers.
MeanChronology robsum(Tsi1& tsi1, MeanKind kind, float scale_reference, float rbar,
                      const Icommands& icommands, const ChronologyReport& report, Rand& rand);

// The text-bar scale of the chronology table: value per character, the two mark characters
// and the header piece drawn over the bar.
struct BarScale {
  float step = 0.0f;
  int first_mark = 12, second_mark = 22;
  std::string header;
};

// The scale for the data kind code and the scale reference.
BarScale bar_scale(MeanKind code, float scale_reference);

// The 32 characters of a year's bar: the mean's position marked by the year's last digit.
std::array<char, 32> text_bar(float mean, int year, const BarScale& scale, MeanKind code);

}  // namespace dendro
