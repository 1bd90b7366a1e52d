#include "pelliform/engine_call.h"

#include <algorithm>

#include "pelliform/dialogue.h"
#include "pelliform/driver_plots.h"
#include "pelliform/pith_offsets.h"
#include "pelliform/power_transform.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

// Calls of the engine in one retry: the first and one for each restart it may ask for.
constexpr int kMaxEngineCalls = kMaxRestarts + 1;

// Both ways: the line to the console and, in upper case, to the report file.
void both(PelliformRun& run, std::string_view line) { report_line(run.con, run.units, line); }

}  // namespace

void prepare_engine_run(PelliformRun& run) {
  EngineArgs& a = run.args;
  const bool first = a.restart_counter == 0;
  a.added_constant = kConstantStep * static_cast<float>(a.restart_counter);

  // The measurements of this run: the saved ones plus the constant (never accumulated).
  SeriesSet work = run.saved;
  // At the limits this copy, and each matrix below, takes a large fraction of a second.
  stop_if_interrupted();
  for (std::vector<float>& column : work.values) {
    for (float& v : column) v += a.added_constant;
  }
  float mean_power = 0;
  if (a.power_transform == 1) {
    if (first) {
      run.report("");
      run.report("THE SERIES HAVE HAD ADAPTIVE POWER TRANSFORMATIONS APPLIED");
    }
    const PowerTransformResult p = slpt1(work);
    mean_power = p.mean_power;
    if (first) scatplt(run.plots, p);
  }

  const int n = work.count();
  const int years = work.summary.span();
  a.series_count = n;
  a.measurements.reshape(years, n);
  stop_if_interrupted();
  a.year_matrix.reshape(years, n);
  a.years.clear();
  for (int s = 1; s <= n; ++s) {
    const auto k = at(s);
    const std::vector<float>& v = work.values[k];
    std::copy(v.begin(), v.end(), a.measurements.column(s).begin());
    a.years.push_back(SeriesSpan{work.rows[k].first, work.rows[k].last, work.rows[k].last});
  }
  a.years.push_back(SeriesSpan{work.summary.first, work.summary.last, work.summary.span()});
  a.ids = work.ids;
  a.title = work.title;
  a.curve_floor.assign(count(n), kCurveFloor);
  a.pith_offsets = offsets_by_series(work, run.pith_offsets_read);
  // Rings cut off the start of a series put its first ring past the pith without a file too.
  a.pith_offset_flag =
      a.pith_offset_flag ||
      std::any_of(a.pith_offsets.begin(), a.pith_offsets.end(), [](int p) { return p > 0; });

  const Layout at63("(a,t63,f8.3)");
  if (first) both(run, "");
  both(run,
       at63.write("CONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?): ", a.added_constant));
  if (a.power_transform == 1) {
    both(run, at63.write("THE MEAN ADAPTIVE POWER TRANSFORM POWER APPLIED IS: ", mean_power));
  }
  if (first) {
    run.con.say("");
    run.con.say("OKAY, LET US BEGIN:");
  }
}

EngineEnd run_engine(PelliformRun& run) {
  EngineArgs& a = run.args;
  // The engine may rewrite the option during its runs; the files at the end name the
  // chronologies by the option the user chose.
  const int option = a.curve_fit_option;
  for (int call = 1; call <= kMaxEngineCalls; ++call) {
    prepare_engine_run(run);
    run.engine(a, run.state, EngineIo{run.con, run.units, run.plots});
    if (a.retry_rcs) return EngineEnd::retry;
    if (a.restart_counter < 1 || a.restart_counter > kMaxRestarts) {
      a.curve_fit_option = option;
      return EngineEnd::done;
    }
  }
  throw Stop("*** the engine asked for more restarts than it may", kFailureStatus);
}

}  // namespace dendro
