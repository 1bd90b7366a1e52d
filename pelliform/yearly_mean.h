// The yearly mean of the signal-free engine and its small statistics: the chronology of a
// year-by-series matrix with sample depth, spread, efficiency and a summary of the
// biweight weights; mean and standard deviation; an iterated biweight; the median and the
// median absolute deviation.
//
// kalder has a mean-chronology routine of the same documented name; this one lives in
// namespace sf so that the two never meet.
#pragma once

#include <span>
#include <vector>

#include "pelliform/engine_args.h"

namespace dendro {

class Console;

inline constexpr int kArithmeticMeanType = 1;
inline constexpr int kBiweightMeanType = 2;

// The yearly results, one value per year (index 0 = year 1).
struct YearlyMean {
  std::vector<float> mean;        // kEmptyCell in a year without values
  std::vector<float> spread;      // standard deviation, or the biweight's scale
  std::vector<float> efficiency;  // 1.0 for the arithmetic mean
  std::vector<int> depth;         // values used
  // Per year the biweight weights' minimum, lower hinge, median and upper hinge (columns
  // 1 to 4); 1.0 in years with fewer than 6 values and wherever the mean gives no weights.
  EngineMatrix weights;
};

struct MeanSd {
  float mean = 0.0f;
  float sd = 0.0f;  // divisor n - 1; 0 for fewer than two values
};

// Mean and standard deviation in single precision.
MeanSd mnsd(std::span<const float> x);

// The mean of the values of years `from` to `to` (1-based, inclusive) whose depth is
// above 0; 0 when there is none.
float mean_with_depth(std::span<const float> x, std::span<const int> depth, int from, int to);

// Median: sorts x in place; the mean of the two middle values for an even count.
float mdian1(std::span<float> x);

// Median absolute deviation from m (raw, no scaling factor); x is not reordered.
float xmad(std::span<const float> x, float m);

struct XbiwtResult {
  float t = 0.0f, s = 0.0f;    // location and scale after the full iteration
  float t1 = 0.0f, s1 = 0.0f;  // location and scale of the first step
};
// Biweight location (constant 6) and scale (constant 9) from the median and MAD, with ten
// further fixed steps. Sorts x in place.
XbiwtResult xbiwt(std::span<float> x);

namespace sf {

// The yearly mean of rows 1..nyears of columns 1..nseries of x, skipping empty cells
// (kEmptyCell). `type` 1 is the arithmetic mean, anything else the Tukey biweight. A year
// without any value is left empty (kEmptyCell, depth 0). More than 4500 series end the
// run with the message on the console (Stop). Without `weight_summary` the weights'
// summary is not worked out and stays 1.0.
YearlyMean robsum(const EngineMatrix& x, int nyears, int nseries, int type, Console& con,
                  bool weight_summary = true);

}  // namespace sf
}  // namespace dendro
