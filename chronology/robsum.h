// The mean chronology builder: the mean of the series matrix year by year (arithmetic mean,
// Tukey biweight or a quantile, by option 12), with the sample depth, mean segment length and
// mean tree age of each year, bootstrap confidence limits, variance stabilisation, the
// biweight weights of every series and the chronology's statistics report.
#pragma once

#include <array>
#include <span>
#include <string>

namespace dendro {

class PlotSession;
class Units;
struct Commands;
struct Icommands;
struct Rand;
struct Tsi1;

// The caller's vectors, one value per chronology year (at least the chronology's length).
struct ChronologyColumns {
  std::span<int> depth;             // out: number of series present, 0 in empty years
  std::span<float> segment_length;  // out: mean segment length of the series present
  std::span<float> tree_age;        // out: mean age of the series present
  std::span<float> chronology;      // out: the mean of the year, after stabilisation
  std::span<float> std_error;       // out: standard error of the mean
  // in/out, with bootstrap limits on (element 72 = 1): the 2.5% and 97.5% limits of years
  // with 6 or more series, both the mean in years with 1 to 5; empty years keep their values.
  std::span<float> lower;
  std::span<float> upper;
};

// Builds the mean chronology of `kind`: 'n' raw data, 's' standard, 'r' residual,
// 'b' age-aligned (regional curve; its span is the row after the whole set's row of the
// series year table). `scale_reference` is a level of the measurements that picks the
// text-bar scale of raw and age-aligned data; `rbar` the mean inter-series correlation of the
// rbar-weighted stabilisation. Writes the chronology table and statistics to the general
// output file, and the weights file (option 18) and weights plot (option 19) of the biweight.
// The random generator is reset at entry, so that every chronology's bootstrap draws the same
// numbers.
void robsum(Tsi1& tsi1, const ChronologyColumns& out, float scale_reference, float rbar,
            char kind, const Icommands& icommands, Commands& commands, Units& units,
            PlotSession& plots, Rand& rand);

// The text-bar scale of the chronology table: value per character, the two mark characters
// and the header piece drawn over the bar.
struct BarScale {
  float step = 0.0f;
  int first_mark = 12, second_mark = 22;
  std::string header;
};

// The scale for the data kind code (commands position 21) and the scale reference.
BarScale bar_scale(char code, float scale_reference);

// The 32 characters of a year's bar: the mean's position marked by the year's last digit.
std::array<char, 32> text_bar(float mean, int year, const BarScale& scale, char code);

}  // namespace dendro
