// Least-squares fit of the growth-curve family f(t) = a·(t+c)^d·exp(b·(t+c)) + k by the
// downhill simplex method (Nelder and Mead, in the reflection-expansion-contraction-shrink
// form with a running vertex sum, as Press et al. give it in Numerical Recipes, 10.4).
//
// A model code chooses the free parameters, held in this order:
//   1: a, b, k        (d = 0, c = 0)    a·exp(b·t) + k
//   2: a, b, c, k     (d = 1)           a·(t+c)·exp(b·(t+c)) + k
//   3: a, d, b, c, k                    a·(t+c)^d·exp(b·(t+c)) + k
// Any other code is taken as model 1. b is negative for a declining curve.
#pragma once

#include <array>
#include <span>

namespace dendro {

class Console;

using SimplexVertex = std::array<float, 5>;

struct SimplexFit {
  SimplexVertex best{};    // the fitted parameters, in the model's order
  float fmin = 0;          // the residual sum of squares at `best`
  int evaluations = 0;     // the minimiser's evaluation count
  bool converged = false;  // false when the evaluation limit ended the search
};

// Number of free parameters of a model code (3, 4 or 5).
int simplex_dimension(int model);

// Fits the model to yobs(1..n) at the abscissae t(1..n), starting from `start` (vertex 1;
// the other vertices come from a fixed table), and writes the fitted curve at t = 1..m into
// yc. More than `nemax` measurements, or an age t + c below 0, stops the program. A search
// that reaches the evaluation limit ends at the best vertex found, with a console line.
SimplexFit gamoeba(const SimplexVertex& start, int model, int nemax, int m,
                   std::span<const float> t, std::span<const float> yobs, std::span<float> yc,
                   Console& con);

// The residual sum of squares of the model with parameters x over the measurements,
// accumulated in double precision.
float gamoff(const SimplexVertex& x, int model, int nemax, std::span<const float> t,
             std::span<const float> yobs, Console& con);

}  // namespace dendro
