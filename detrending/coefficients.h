// The coefficients that every growth-curve fit returns, in the seven positions that the
// report lines and the series plot read.
#pragma once

#include <array>

namespace dendro {

// Marks a failed negative-exponential fit in `b` and in the first curve value.
inline constexpr float kFitFailed = -999.0f;

struct Coefficients {
  float a = 0;       // 1: scale
  float b = 0;       // 2: rate, or the power of t
  float c = 0;       // 3: slope of a line, rate of the Hugershoff exponent
  float unused = 0;  // 4: never written
  float d = 0;       // 5: additive constant, a line's intercept, the mean
  float p = 0;       // 6: age offset (the exponential search keeps its iteration count here)
  float plot = 0;    // 7: plot parameter (the exponential search keeps the sum of y here)

  // Positions 1 to 7 in order, as the series plot takes them.
  std::array<float, 7> array() const { return {a, b, c, unused, d, p, plot}; }
};

}  // namespace dendro
