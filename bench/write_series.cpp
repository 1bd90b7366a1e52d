// Times writing series through the fixed-layout engine, as the signal-free engine writes
// its series files on every iteration: 1500 series of 500 ring widths in the tucson
// layout, and the same values as index records and as F8.3 fields ten to a line, into a
// file stream on /dev/null (the formatting alone, not the file system).
//   bench_write_series [series] [years]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "series/layout.h"
#include "series/tucson.h"

namespace {

double seconds_since(std::chrono::steady_clock::time_point t0) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace dendro;
  const int series = argc > 1 ? std::atoi(argv[1]) : 1500;
  const int years = argc > 2 ? std::atoi(argv[2]) : 500;
  std::vector<float> values(static_cast<std::size_t>(years));
  for (int k = 0; k < years; ++k) {
    values[static_cast<std::size_t>(k)] = 0.2f + 0.001f * static_cast<float>((k * 13) % 2000);
  }
  char id[16];
  const auto value_count = static_cast<double>(series) * years;

  std::ofstream rings("/dev/null");
  auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < series; ++i) {
    std::snprintf(id, sizeof id, "B%07d", (i + 1) % 10000000);
    trrw_write(rings, TucsonMode::mw, id, 1501 + i % 7, values, {}, "raw");
  }
  double s = seconds_since(t0);
  std::printf("ring widths: %.3f s, %.1f ns a value\n", s, 1e9 * s / value_count);

  std::ofstream indices("/dev/null");
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < series; ++i) {
    std::snprintf(id, sizeof id, "B%07d", (i + 1) % 10000000);
    trrw_write(indices, TucsonMode::iw, id, 1501 + i % 7, values, {}, "ind");
  }
  s = seconds_since(t0);
  std::printf("indices: %.3f s, %.1f ns a value\n", s, 1e9 * s / value_count);

  const Layout fixed("(10f8.3)");
  std::ofstream table("/dev/null");
  t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < series; ++i) table << fixed.write(values) << '\n';
  s = seconds_since(t0);
  std::printf("f8.3 table: %.3f s, %.1f ns a value\n", s, 1e9 * s / value_count);
  return 0;
}
