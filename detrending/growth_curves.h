// Parametric growth curves: the modified negative exponential, the straight line, the mean,
// and the start values of the Hugershoff and general exponential curves.
//
// Time t is the position in the series: t = 1 for the first value fitted, t = n for the
// last. A curve is evaluated at t = 1..m, where m may differ from n; an output curve span
// must hold at least max(m, 1) values.
#pragma once

#include <span>

#include "detrending/coefficients.h"

namespace dendro {

class Console;

// Fits y = a·exp(-b·t) + d to y(1..n) by a one-dimensional search on b, with a and d the
// least-squares values for each trial b. Returns a, b, d, p (the iteration at which the
// search ended) and plot (the sum of y); the curve goes to yc(1..m) (nothing when m < 1). A
// failed fit sets b and yc(1) to kFitFailed; a converged fit that is of no use (d > 9999,
// a <= 0 or b < 0) comes back with b = 0.
Coefficients curve(int m, std::span<const float> y, std::span<float> yc, Console& con);

struct Line {
  float slope = 0;
  float intercept = 0;
};
// Least-squares straight line of y(1..n) on t; the line in yc(1..m) when m >= 1.
Line trend(int m, std::span<const float> y, std::span<float> yc);

// Arithmetic mean of y, summed in single precision. No values stops the program.
float xmean(std::span<const float> y, Console& con);

// Start values of the Hugershoff curve a·t^b·exp(c·t) from the regression of ln y on ln t
// and t over the points whose y is positive and not `missing` (and whose t is positive),
// rescaled to the level of the data. Returns a, b and c; the curve goes to yc(1..m). The
// abscissae of positions beyond t's end are the positions themselves.
Coefficients hughdi(std::span<const float> t, std::span<const float> y, int m, std::span<float> yc,
                    float missing);

// Start values of the general exponential y = a·t·exp(beta·t) from the regression of
// ln y - ln t on t over the positive values that are not `missing`. Returns a and
// b = -beta (the decay rate); yc(t) = t·a·exp(beta·t) for t = 1..m. No values, or no usable
// value, stops the program.
Coefficients gexp(std::span<const float> y, int m, std::span<float> yc, float missing,
                  Console& con);

}  // namespace dendro
