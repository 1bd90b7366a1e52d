// What regional curve standardization works with besides the series store: the option
// table, the character block, the open files, the console, and the services of the layers
// above it that the run driver hands down.
#pragma once

#include <functional>
#include <span>

#include "detrending/stage_plots.h"

namespace dendro {

class Console;
class Units;
struct Commands;
struct Icommands;
struct IndexNotes;
struct Tsi1;

// The vectors of the mean chronology of the age-aligned set, one value per age row.
struct AgeMeanColumns {
  std::span<int> depth;             // out: series present at the age
  std::span<float> segment_length;  // out: mean segment length (chronology table column 2)
  std::span<float> tree_age;        // out: mean tree age (column 3)
  std::span<float> mean;            // out: the mean by age (column 10)
  std::span<float> std_dev;         // out: standard deviation of the age's values (column 11)
  std::span<float> std_error;       // out: error series
  std::span<float> lower;           // in/out: bootstrap limits (element 72 = 1)
  std::span<float> upper;
};

struct RcsIo {
  const Icommands& icommands;
  Commands& commands;
  Units& units;
  Console& con;
  IndexNotes& notes;  // what the chronology writer has said for the data file
  // Shows the run driver's help text of the given number (8: the pith offset file).
  std::function<void(int)> help;
  // The mean chronology builder for the age-aligned set (data kind "b"): the span is the
  // row after the whole set's row of the series year table.
  std::function<void(Tsi1& tsi1, const AgeMeanColumns& columns)> mean_by_age;
  StagePlots plots;
};

}  // namespace dendro
