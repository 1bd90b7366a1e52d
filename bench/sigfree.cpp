// Times one signal-free engine run on a synthetic set at the program's limits:
//   bench_sigfree SERIES YEARS LENGTH WINDOW
// Series of LENGTH rings start evenly over YEARS years (the last ends in the last year),
// each a negative-exponential growth curve times a common signal plus a little noise of
// its own; fitted by a 30-year spline, ratios, arithmetic mean, running-RBAR WINDOW
// (0 skips it). Plots run headless and every question takes its default.
#include "pelliform/sigfree.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>

#include "pelliform/engine_args.h"
#include "plots/plot_loop.h"
#include "series/console.h"
#include "series/files/units.h"

int main(int argc, char** argv) {
  using namespace dendro;
  const int count = argc > 1 ? std::atoi(argv[1]) : 4500;
  const int years = argc > 2 ? std::atoi(argv[2]) : 500;
  const int length = argc > 3 ? std::atoi(argv[3]) : 200;
  const int window = argc > 4 ? std::atoi(argv[4]) : 51;

  EngineArgs a;
  a.series_count = count;
  a.measurements.reshape(length, count);
  unsigned state = 7;
  const int spread = years - length;
  for (int j = 1; j <= count; ++j) {
    const int first = 1 + (count > 1 ? spread * (j - 1) / (count - 1) : 0);
    a.years.push_back({first, first + length - 1, first + length - 1});
    a.ids.push_back("S" + std::to_string(j));
    for (int k = 1; k <= length; ++k) {
      state = state * 1103515245u + 12345u;
      const float noise = static_cast<float>((state >> 16) & 0x7fff) / 32768.0f - 0.5f;
      const int year = first + k - 1;
      const float signal = 1.0f + 0.2f * std::sin(0.7f * year) + 0.1f * std::cos(0.05f * year);
      a.measurements.at(k, j) =
          (0.5f + 2.0f * std::exp(-0.02f * k)) * signal * (1.0f + 0.1f * noise);
    }
  }
  a.years.push_back({1, years, years});
  a.pith_offsets.assign(static_cast<std::size_t>(count), 0);
  a.curve_floor.assign(static_cast<std::size_t>(count), 0.02f);
  a.data_file_name = "/tmp/bench_sigfree.rwl";
  a.curve_fit_option = 30;
  a.mean_type = 1;
  a.rbar_window = window;

  std::istringstream in(std::string(100000, '\n'));
  std::ostringstream out;
  Console con(in, out);
  Units units;
  PlotSession plots(con, units.files(), PlotSession::Screen::none);
  SigfreeState engine;
  const auto start = std::chrono::steady_clock::now();
  sigfree(a, engine, {con, units, plots});
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf(
      "%d series x %d years (series of %d rings), window %d: %d iterations, restart %d, %.2f s\n",
      count, years, length, window, a.iteration, a.restart_counter, took.count());
  return 0;
}
