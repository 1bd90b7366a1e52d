// The location of a set of values: arithmetic mean, a percentile, or Tukey's biweight
// robust mean.
#pragma once

#include <span>
#include <vector>

namespace dendro {

struct BiwgtResult {
  float location = 0.0f;
  float scale = 0.0f;  // standard deviation of the kind of location
  float std_error = 0.0f;
  float efficiency = 0.0f;  // sample variance over the biweight scale squared
  int iterations = 0;
  // One weight per value, by position in the sorted values: the biweight's weights of its
  // last pass, 1.0 wherever the kind of location gives no weights (so the arithmetic
  // mean, a percentile and small samples count every value fully).
  std::vector<float> weights;
};

// The tuning constant that the chronology builders, gap filling and the bootstrap pass.
inline constexpr float kBiweightTuning = 7.5f;

// Location of the values by `kind` (the mean chronology option): 1 the arithmetic mean,
// -p the p-th percentile, any other value the biweight with tuning constant c (above 0).
// Except for the arithmetic mean and a single value the values are sorted ascending in
// place: callers read `weights` by sorted position. No values end the program (Stop).
BiwgtResult biwgt(std::span<float> values, float c, int kind);

// The location biwgt gives of values that are sorted ascending already and sort alike
// (sorts_alike), for a percentile or the biweight (not the arithmetic mean, whose sum runs
// in the values' own order). For callers that take the location of many samples of one
// set of values and can keep each sample in order without sorting it.
float sorted_location(std::span<const float> sorted, float c, int kind);

}  // namespace dendro
