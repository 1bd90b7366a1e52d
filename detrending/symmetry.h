// The symmetry transformation of a finished chronology: repeated power transformations
// that reduce its skewness, the most symmetric version rescaled to the chronology's own
// mean and standard deviation.
#pragma once

#include <span>

#include "detrending/transform.h"

namespace dendro {

struct SymmetryResult {
  int best_pass = 0;          // 0: no pass reduced the absolute skewness, x is unchanged
  float skewness_before = 0;  // over the years with depth
  float skewness_after = 0;   // of the version kept (before its rescaling)
};

// Ten passes: each raises the previous pass's values (years with depth only, negative
// values first set to 0) to a power from the spread-versus-level slope b and the sign of the
// current skewness g: 1 - b when g and b have the same sign, 1 + b when they differ, the
// last power when either is 0. The version with the smallest absolute skewness replaces x
// in the years with depth, rescaled to the mean and standard deviation x had on entry.
SymmetryResult symmetry(std::span<float> x, std::span<const int> depth);

}  // namespace dendro
