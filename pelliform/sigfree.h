// The signal-free engine: regional curve or per-series growth curves, indices and the
// standard chronology, then the signal-free iteration until the chronology stops
// changing, the final and stabilised chronologies, the engine's files and plots.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "pelliform/engine_args.h"
#include "series/parallel.h"

namespace dendro {

class Console;
class Units;
class PlotSession;

// What the engine talks to: the console, the unit table (the report file open on unit 9)
// and the plot session; and the threads its per-series and per-window work may use (the
// results do not depend on their number).
struct EngineIo {
  Console& con;
  Units& units;
  PlotSession& plots;
  int threads = worker_count();
};

// Upper bounds of the engine's loops.
inline constexpr int kMaxIterations = 100;       // signal-free iterations per run
inline constexpr int kMaxRestarts = 10;          // constant-add restarts handed to the driver
inline constexpr int kMaxStoredCurves = 100;     // regional-curve pairs kept for files and plots
inline constexpr int kMaxDialogueRounds = 1000;  // answers to one engine question

// One regional curve by biological age (index 0 = age 1) and its fitted curve.
struct RegionalCurvePair {
  std::vector<float> rc;
  std::vector<float> frc;
};

// An iteration's series matrices and its chronology's spread and sample depth: the
// iteration before the latest is kept so that every final result can come from it when the
// latest iteration is rejected. Its storage serves every call of a run.
struct KeptIteration {
  EngineMatrix year_matrix, final_index_matrix;                  // by chronology year
  EngineMatrix final_measurements, final_curves, final_indices;  // by ring position
  std::vector<float> spread;
  std::vector<int> depth;
};

// The engine's own tables, kept from one call to the next: a restart call reuses what the
// first call of a run computed (means, spreads, the chronology mean). The driver keeps
// one object for the whole program and passes it to every call.
struct SigfreeState {
  // By ring position and series, less the added constant: the first pass's measurements,
  // curves and indices, and the last iteration's signal-free measurements, curves and
  // indices (curve-fit path).
  EngineMatrix first_measurements, first_curves, first_indices;
  EngineMatrix final_measurements, final_curves, final_indices;
  EngineMatrix final_index_matrix;  // by chronology year: the indices of the last iteration

  std::vector<float> first_pass_mean;    // per series: measurement mean of the first pass
  std::vector<float> first_pass_spread;  // per series: index spread of a run's first call
  // Fit code per series (row) and column c + 2 for iteration c; columns 1 and 2 hold the
  // option at the start.
  std::vector<std::vector<int>> fit_codes;

  std::vector<RegionalCurvePair> curves;  // the initial regional curve, then later ones
  int ages = 0;                           // ages of the latest regional curve

  std::vector<float> mean_segment_length;  // by chronology year
  std::vector<float> mean_tree_age;

  int nss1 = 0;           // leading years of sample depth 1
  int nss2 = 0;           // leading years left out of the convergence test
  int test_span = 0;      // years of the convergence test from nss2 + 1
  int anchor_series = 0;  // 0: none
  int anchor_length = 0;
  float chronology_mean = 0.0f;  // mean of the latest chronology, kept for restart calls
  KeptIteration kept;            // the iteration loop's
  // The lines on the series left out of each series file as last written (a file is
  // written again at every iteration): said when the call finishes.
  std::map<std::string, std::vector<std::string>> left_out_notes;
};

// Runs the engine once. Returns early when the user asks for another regional-curve
// configuration (args.retry_rcs true) or when the convergence rule asks for a restart
// with a constant added (args.restart_counter 1 to 10); otherwise the chronologies of
// `args` hold the results. Bad input that the engine cannot work with ends the run (Stop).
void sigfree(EngineArgs& args, SigfreeState& state, EngineIo io);

}  // namespace dendro
