// Times the pooled autoregression on the largest set kalder takes in one data file:
// 1500 series of 500 years (staggered starts), the pooled ar report written to a scratch file.
#include "chronology/pool.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <random>
#include <sstream>
#include <vector>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"

int main() {
  using namespace dendro;
  const int kSeries = kMaxSeriesKalder, kLength = 500, kStagger = 200;
  const int rows = kLength + kStagger;
  Tsi1 store;
  store.reshape(rows, kSeries);
  std::mt19937 gen(1);
  std::normal_distribution<float> shock(0.0f, 0.2f);
  for (int i = 1; i <= kSeries; ++i) {
    const int offset = i % kStagger;
    float v = 0.0f;
    for (int t = 1; t <= kLength; ++t) {
      v = 0.5f * v + shock(gen);
      store.at(offset + t, i) = 1.0f + v;
    }
    store.year_row(i) = SeriesYears{.ify = 1001 + offset, .ily = 1000 + offset + kLength};
  }
  store.year_row(kSeries + 1) = SeriesYears{.ify = 1001, .ily = 1000 + rows};

  Icommands icommands;
  Commands commands;
  commands.at(Commands::kPooledArSwitch) = 'n';
  Units units;
  const auto report = std::filesystem::temp_directory_path() / "chronology_bench_pool_report.txt";
  units.create(unit::out, report.string());
  std::istringstream in("");
  std::ostringstream console_text;
  Console console(in, console_text);
  PlotSession plots(console, units.files(), PlotSession::Screen::none);
  const std::vector<int> use(kSeries, 1);

  const auto start = std::chrono::steady_clock::now();
  const PoolResult result = pool(store, rows, use, icommands, commands, units, plots);
  const auto stop = std::chrono::steady_clock::now();
  units.close(unit::out, true);
  const double ms = std::chrono::duration<double, std::milli>(stop - start).count();
  std::printf("pool: %d series x %d years: %.1f ms (order %d)\n", kSeries, kLength, ms,
              result.order);
  return 0;
}
