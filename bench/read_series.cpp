// Times the series reader on a generated ring-width file of the largest series count:
// 1500 series of 500 years each. Reading must stay linear in the size of the file.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <sstream>
#include <string>

#include "series/trread.h"
#include "series/tucson.h"

namespace {

constexpr int kSeries = 1500;
constexpr int kYears = 500;

std::string generated_file() {
  std::ostringstream file;
  std::vector<float> values(kYears);
  for (int i = 0; i < kSeries; ++i) {
    for (int k = 0; k < kYears; ++k)
      values[static_cast<std::size_t>(k)] =
          0.2f + 0.001f * static_cast<float>((i * 7 + k * 13) % 2000);
    char id[9];
    std::snprintf(id, sizeof id, "B%07d", i + 1);
    dendro::trrw_write(file, dendro::TucsonMode::mw, id, 1501 + i % 7, values, {}, "raw");
  }
  return file.str();
}

}  // namespace

int main() {
  const std::string text = generated_file();
  dendro::Tsi1 tsi1;
  dendro::StatsTable stats;
  dendro::Commands commands;
  dendro::Icommands icommands;
  commands.set_data_kind("mr");
  icommands[dendro::opt::printout] = 2;
  std::istringstream data(text), keys;
  std::ostringstream out, screen;
  dendro::Console console(keys, screen);

  const auto start = std::chrono::steady_clock::now();
  dendro::trread(data, tsi1, stats, commands, icommands, out, console);
  dendro::align_on_chronology(tsi1);
  const auto stop = std::chrono::steady_clock::now();
  const double ms = std::chrono::duration<double, std::milli>(stop - start).count();
  std::printf("read %d series of %d years (%.1f MB, %zu lines) in %.0f ms\n", tsi1.count, kYears,
              static_cast<double>(text.size()) / 1.0e6,
              static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')), ms);
  return tsi1.count == kSeries ? 0 : 1;
}
