// Times smoothing splines of 5000 and 2500 values: the band solver keeps the work linear,
// so the longer fit should take about twice as long.
#include "series/spline.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

double seconds_per_fit(int n, int repeats) {
  std::vector<float> x(static_cast<std::size_t>(n)), fit(x.size());
  for (int i = 0; i < n; ++i) x[i] = 1.0f + 0.3f * std::sin(0.05f * i) + 0.001f * (i % 7);
  const auto start = std::chrono::steady_clock::now();
  for (int r = 0; r < repeats; ++r) dendro::spline(x, fit, 32);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  return took.count() / repeats;
}

}  // namespace

int main() {
  const double full = seconds_per_fit(5000, 200);
  const double half = seconds_per_fit(2500, 200);
  std::printf("spline of 5000 values: %.1f us per fit\n", full * 1e6);
  std::printf("spline of 2500 values: %.1f us per fit (ratio %.2f)\n", half * 1e6, full / half);
  return 0;
}
