// Indices of a series about its growth curve, and the statistics tables of all series.
#pragma once

#include <span>

namespace dendro {

class Units;
struct StatsTable;
struct Tsi1;

// Index modes (the index calculation option): residuals, anything else ratios.
inline constexpr int kResidualIndices = 2;

// Replaces y(1..n) by its indices about the curve c(1..n): ratios y/c, or for mode 2 the
// residuals y - c rescaled to the mean and standard deviation of the ratios. When either
// set has no spread, the residual indices are the mean of the ratios.
void calind(std::span<float> y, std::span<const float> c, int mode);

// Statistics of every series of the store (count, mean, standard deviation, skewness,
// kurtosis, mean sensitivity, first-order autocorrelation) into rows 1..count, columns 1..7
// of the table, listed on `unit` when the printout option is above 1. With more than one
// series, each column is then summarised over the series (mean, standard deviation,
// median, interquartile range, minimum, lower hinge, upper hinge, maximum in rows 1..8) and
// the summary written whatever the printout option.
void sstat(Tsi1& tsi1, StatsTable& stats, Units& units, int unit, int printout);

}  // namespace dendro
