// Times smoothing splines of 5000 and 2500 values: the band solver keeps the work linear,
// so the longer fit should take about twice as long. Then the band solver alone on the
// systems of the signal-free engine's age-dependent splines: order 373, two sub-diagonals.
#include "series/spline.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

#include "series/band.h"

namespace {

double seconds_per_fit(int n, int repeats) {
  std::vector<float> x(static_cast<std::size_t>(n)), fit(x.size());
  for (int i = 0; i < n; ++i) x[i] = 1.0f + 0.3f * std::sin(0.05f * i) + 0.001f * (i % 7);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) dendro::spline(x, fit, 32);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count() / repeats;
}

double seconds_per_band_solve(int order, int repeats) {
  const auto start = std::chrono::steady_clock::now();
  double sink = 0;
  for (int r = 0; r < repeats; ++r) {
    dendro::BandMatrix a(order, 2);
    std::vector<double> b(static_cast<std::size_t>(order));
    for (int i = 1; i <= order; ++i) {
      if (i > 2) a.at(i, i - 2) = 1.0;
      if (i > 1) a.at(i, i - 1) = -4.0 + 0.01 * (i % 5);
      a.at(i, i) = 6.0 + 0.02 * (i % 3);
      b[static_cast<std::size_t>(i - 1)] = std::sin(0.1 * i);
    }
    sink += dendro::leq1pb(a, b).mantissa + b[0];
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (sink == 42.0) std::printf(" ");  // keeps the solves
  return took.count() / repeats;
}

}  // namespace

int main() {
  const double full = seconds_per_fit(5000, 200);
  const double half = seconds_per_fit(2500, 200);
  std::printf("spline of 5000 values: %.1f us per fit\n", full * 1e6);
  std::printf("spline of 2500 values: %.1f us per fit (ratio %.2f)\n", half * 1e6, full / half);
  std::printf("band system of order 373, width 2: %.2f us per solve\n",
              seconds_per_band_solve(373, 20000) * 1e6);
  return 0;
}
