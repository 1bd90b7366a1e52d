// What one call of the signal-free engine shares between its stages: the argument set,
// the engine's own tables, the console, files and plots, and the call's working values.
// Internal to the engine's files.
#pragma once

#include <array>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "pelliform/engine_args.h"
#include "pelliform/plot_loop.h"
#include "pelliform/sigfree.h"
#include "series/index.h"

namespace dendro {

// The four convergence statistics of an iteration: unweighted and depth-weighted mean and
// median of the absolute differences.
struct ConvergenceStats {
  float uw_mean = 0, uw_median = 0, wt_mean = 0, wt_median = 0;
  std::array<float, 4> all() const { return {uw_mean, uw_median, wt_mean, wt_median}; }
};

// Statistics of the absolute differences d of the years with depth above 0; the weighted
// pair scales each difference by sqrt(depth / largest depth).
ConvergenceStats sftest(std::span<const float> d, std::span<const int> depth);

// Which statistic decides convergence at iteration c (1-based): 0 to 3 in the order above.
int tested_statistic(char median_switch, int iteration, int entry_option);

enum class RuleOutcome { go_on, converged, iteration_limit, not_monotonic, not_a_number };

// The stop rule for a tested value and its predecessor at iteration c.
RuleOutcome convergence_rule(float tested, float predecessor, float threshold, int iteration);

struct EngineRun {
  EngineRun(EngineArgs& args, SigfreeState& state, EngineIo engine_io)
      : a(args), s(state), io(engine_io), kept(state.kept) {}

  EngineArgs& a;
  SigfreeState& s;
  EngineIo io;

  int n = 0;           // chronology years
  int first_year = 0;  // chronology first year
  int nseries = 0;
  bool first_call = true;  // restart counter 0 on entry
  int entry_option = 0;    // the curve-fit option as handed in
  bool rcs = false;        // regional-curve path
  bool plots = false;      // the user wants the many per-series plots
  int trunc = 0;           // truncation age of the regional curve
  std::string stem;        // the data file name up to its first period

  std::vector<float> previous;  // the chronology the next iteration divides by
  std::array<float, 4> minima{};
  std::vector<ConvergenceStats> history;
  std::vector<std::vector<float>> differences;  // by iteration
  int calls = 1;  // engine calls of this run's restart sequence, this one included
  RuleOutcome outcome = RuleOutcome::go_on;  // how the iteration loop ended
  KeptIteration& kept;  // the iteration before the latest (series, spread, depth)
  // Per series file (data, curves, indices) of the files open now: the series left out
  // and the first of them.
  std::array<int, 3> left_out{};
  std::array<std::string, 3> first_left_out;

  Console& con() { return io.con; }
  int threads() const { return io.threads; }
  std::span<const SeriesSpan> spans() const { return a.years; }
  const SeriesSpan& span(int j) const { return a.span(j); }
  int offset(int j) const { return span(j).first - first_year; }  // rows before series j
  int pith(int j) const { return at(j) < a.pith_offsets.size() ? a.pith_offsets[at(j)] : 0; }
  bool raw() const { return entry_option == pfit::raw_average; }
  void report(std::string_view line);  // to the report file only (unit 9), when open
};

// Stages of a call, in their order.
bool first_pass(EngineRun& run);  // false: return to the driver for a retry
void stabilise_chronology(EngineRun& run, bool signal_free);
bool iterate(EngineRun& run);  // false: return to the driver for a restart
void finish_run(EngineRun& run);

// Runs work(j, con) for every series j on the run's threads, each series with a console of
// its own (no answers) whose lines then show on the run's console in series order; done(j),
// when given, follows on the calling thread, in series order too. Every series must write
// only its own results.
void each_series(EngineRun& run, const std::function<void(int, Console&)>& work,
                 const std::function<void(int)>& done = {});

// The series files (names in file_names.h).
void open_series_files(EngineRun& run, bool signal_free);
void close_series_files(EngineRun& run);

// One series' values in the three series files: measurements, curves and indices (left
// empty when the indices file is not written).
struct SeriesFileValues {
  std::span<const float> data, curves, indices;
};

// One series' records in the three series files, formatted apart from the writing so that
// several series can be formatted at once; `code` ("std" or "ssf") begins each tag.
// A series whose values the ring-width records cannot hold is left out of that file, and
// `left_out` says which value it is.
struct SeriesRecords {
  std::array<std::string, 3> text;
  std::array<std::string, 3> left_out;
};
SeriesRecords series_records(const EngineRun& run, int j, const SeriesFileValues& values,
                             std::string_view code);
void write_series_records(EngineRun& run, const SeriesRecords& records);

// A line plot of the engine: chronology years on x unless first_year says otherwise.
PlotExit line_page(EngineRun& run, std::span<const float> s1, std::span<const float> s2,
                   const LineTexts& texts, float reference, int first_year);

// Sets values below 0 to 0 in years with series.
void clamp_negative(std::span<float> chron, std::span<const int> depth);

}  // namespace dendro
