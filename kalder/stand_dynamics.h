// The stand dynamics stage (option 20): growth releases of every measurement series, and
// the endogenous disturbance outliers of every residual series.
#pragma once

#include <span>
#include <vector>

#include "kalder/run.h"

namespace dendro {

// Release detection on the gap-filled measurements, when option 20 is 2 (plain method) or
// 3 (modified method) and there is a series. Each series starts from option 20's window,
// threshold and error threshold; while the plots are on (option 20's plot flag, until the
// user asks for no more plots) the user may change them for the series in hand and look
// again.
void release_detection(Run& run);

// The endogenous disturbance outliers, when option 20 is above 0: the common signal (the
// mean overlay vector, which holds the residual chronology) is taken out of each residual
// series, and only the years more than 3.5 scale units from the series' location keep
// their value; the other years become 1.0. The series matrix is left holding these
// outlier series. With the plots on, each series is drawn with its outliers and their
// impulse response under the pooled autoregressive model of the data file, and
// after the last series the outliers and their counts per year. The outlier series file
// ("_endo_outs.txt", kind "out", title tag " eout") is the pipeline's to write afterwards,
// as it writes every per-stage series file.
void endogenous_outliers(Run& run);

// Outlier series per chronology year: the number of positive (above 1.0) and negative
// (below 1.0, missing years aside; counted below zero) outliers over all series, and these
// counts divided by the sample depth (0 in a year without depth, which has no fraction).
struct OutlierCounts {
  std::vector<float> negative, positive, negative_share, positive_share;
};
OutlierCounts count_outliers(Tsi1& tsi1, std::span<const float> depth, int length);

}  // namespace dendro
