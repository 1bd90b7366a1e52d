// Writes a synthetic tucson ring-width file for benchmarks: `series` series spread over
// `years` years, each a negative-exponential growth trend times a common climate signal
// and its own AR(1) noise, with staggered starts (every series at least half the span).
//   synthetic_rwl SERIES YEARS FILE
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "series/tucson.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: synthetic_rwl SERIES YEARS FILE\n");
    return 2;
  }
  const int series = std::atoi(argv[1]);
  const int years = std::atoi(argv[2]);
  std::ofstream out(argv[3]);
  std::mt19937 gen(20261209);
  std::normal_distribution<float> shock(0.0f, 1.0f);
  std::uniform_int_distribution<int> start(0, years / 2);
  const int first_year = 2000 - years;
  std::vector<float> climate(static_cast<std::size_t>(years));
  for (float& c : climate) c = 0.15f * shock(gen);
  for (int i = 0; i < series; ++i) {
    const int offset = start(gen);
    const int n = years - offset;
    std::vector<float> widths(static_cast<std::size_t>(n));
    float noise = 0.0f;
    for (int t = 0; t < n; ++t) {
      noise = 0.5f * noise + 0.2f * shock(gen);
      const float trend = 0.3f + 1.5f * std::exp(-0.02f * static_cast<float>(t));
      const float w = trend * std::exp(climate[static_cast<std::size_t>(offset + t)] + noise);
      widths[static_cast<std::size_t>(t)] = std::round(w * 1000.0f) / 1000.0f;
    }
    char id[16];
    std::snprintf(id, sizeof id, "S%07d", i + 1);
    dendro::trrw_write(out, dendro::TucsonMode::mw, id, first_year + offset, widths, {}, "   ");
  }
  return out ? 0 : 1;
}
