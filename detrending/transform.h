// Transformations of the measured series before detrending (logarithms, inverse hyperbolic
// sine, and a power chosen per series from the relation between its spread and its level),
// with the spread-versus-level test before and after and the statistics of the result.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "detrending/stage_plots.h"

namespace dendro {

class Console;
class Units;
struct Commands;
struct Icommands;
struct StatsTable;
struct Tsi1;
struct Tsi2;

// Transformation codes (option 3 "data transformation", or a series' `itn` in batch runs).
namespace transform_code {
inline constexpr int none = 0;
inline constexpr int log = 1;        // ln x
inline constexpr int log_sixth = 2;  // ln(x + 1/6)
inline constexpr int asinh = 3;      // ln(x + sqrt(x^2 + 1))
inline constexpr int power = 4;      // x^p, p from the spread-versus-level slope
}  // namespace transform_code

// Level of a pair of consecutive values: their mean, or the later value.
inline constexpr int kLevelPairMean = 1;
inline constexpr int kLevelLaterValue = 2;

// Spread-versus-level pairs: for each pair of consecutive values with a positive level and a
// positive spread (absolute difference), the logs of both.
struct SpreadLevel {
  std::vector<float> log_level;
  std::vector<float> log_spread;
  int count() const { return static_cast<int>(log_level.size()); }
};

// The pairs of x(1..n) in `mode` (kLevelPairMean or kLevelLaterValue); none when n < 2.
SpreadLevel mndf(std::span<const float> x, int mode);

// The same for a chronology, taking a pair only when both of its years have a sample depth
// of at least 1.
SpreadLevel mndf1(std::span<const float> x, std::span<const int> depth, int mode);

// The power of the adaptive transformation from the slope b of log spread on log level:
// p = 1 - b, set to 0 (the logarithm) below 0.05 and to 1 above 1.
float adaptive_power(float slope);

// Transforms the values in place by `code`; `power` is used by codes 4 and above. Any other
// code leaves the values as they are.
void transform_values(std::span<float> x, int code, float power);

// The plot title of a transformation code ("" for none); the power is shown for code 4.
std::string transform_title(int code, float power);

// Transforms every series of the store in place by option 3 (in a batch run by each series'
// `itn`), each rescaled to the minimum and maximum of its untransformed values. Writes per
// series the statistics of the result into the statistics table (columns 1 to 6), the pair
// count, the correlations before and after and the power (7 to 10), and the values of the
// summary plot into columns 1 to 6 of the chronology table, in the rows it has (one row per
// series; the summary plot gets every series); in an interactive run
// the code goes into `itn`. Prints the series table (option 17 of 2 or more) and, always,
// the summary over all series, whose values replace rows 1 to 8 of statistics columns 1 to
// 10. With the transformation plot flag (element 33) each series is shown before and after.
void trnfrm(Tsi1& tsi1, StatsTable& stats, Tsi2& tsi2, const Icommands& icommands,
            const Commands& commands, Units& units, Console& con, const StagePlots& plots = {});

}  // namespace dendro
