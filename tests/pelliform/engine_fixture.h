// Synthetic series sets with a known answer for the signal-free engine tests.
#pragma once

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "pelliform/engine_args.h"
#include "pelliform/sigfree.h"
#include "plots/plot_loop.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro::testing {

// A console with blank answers ready (for pauses) whose output the test may read.
struct Quiet {
  std::istringstream in{std::string(50, '\n')};
  std::ostringstream out;
  Console con{in, out};
};

// A fresh folder under the test scratch directory, named for the process too: test runs
// of other checkouts may share the directory.
inline std::filesystem::path scratch_folder(const std::string& name) {
  const char* base = std::getenv("TEST_TMPDIR");
  std::filesystem::path dir =
      std::filesystem::path(base ? base : "/tmp") / (name + "_" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Series come in groups of `per_start` with the same years; group g (from 0) starts
// `stagger * g` years after `first_year`, and every series runs `length` years; ring k of series j
// measures growth(j, k) * signal(year).
struct SeriesSet {
  int first_year = 1801;
  int count = 12;
  int length = 120;
  int stagger = 3;
  int per_start = 1;  // series that share each start year
  std::function<float(int j, int k)> growth;
  std::function<float(int year)> signal;
};

inline EngineArgs engine_args(const SeriesSet& set, const std::filesystem::path& dir) {
  EngineArgs a;
  a.series_count = set.count;
  const int last =
      set.first_year + set.stagger * ((set.count - 1) / set.per_start) + set.length - 1;
  a.measurements.reshape(set.length, set.count);
  for (int j = 1; j <= set.count; ++j) {
    const int first = set.first_year + set.stagger * ((j - 1) / set.per_start);
    a.years.push_back({first, first + set.length - 1, first + set.length - 1});
    a.ids.push_back("TREE" + std::to_string(100 + j));
    for (int k = 1; k <= set.length; ++k) {
      a.measurements.at(k, j) = set.growth(j, k) * set.signal(first + k - 1);
    }
  }
  a.years.push_back({set.first_year, last, last});
  a.pith_offsets.assign(static_cast<std::size_t>(set.count), 0);
  a.curve_floor.assign(static_cast<std::size_t>(set.count), 0.02f);
  a.data_file_name = (dir / "oak.rwl").string();
  a.rbar_window = 0;
  a.mean_type = 1;
  return a;
}

// Runs the engine headless with `answers` on the console (every plot menu takes an empty
// line as "continue").
struct EngineHarness {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  Units units;
  PlotSession plots{con, units.files(), PlotSession::Screen::none};
  SigfreeState state;
  int threads = worker_count();

  explicit EngineHarness(const std::string& answers = std::string(4000, '\n')) : in(answers) {}
  void run(EngineArgs& a) { sigfree(a, state, {con, units, plots, threads}); }
};

}  // namespace dendro::testing
