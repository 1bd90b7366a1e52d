// The end of an engine call: the final signal-free chronology, the regional-curve file,
// the closing message and the comparison and convergence plots.
#include <algorithm>
#include <cstddef>
#include <string>
#include <vector>

#include "pelliform/curve_fits.h"
#include "pelliform/dialogue.h"
#include "pelliform/engine_plots.h"
#include "pelliform/engine_run.h"
#include "pelliform/yearly_mean.h"
#include "series/console.h"
#include "series/files/forms.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr float kDifferenceStep = 0.1f;  // the difference page shifts each iteration down

// The regional-curve file: every stored curve and its fit by biological age.
void write_curve_file(EngineRun& run) {
  EngineArgs& a = run.a;
  const std::vector<RegionalCurvePair>& curves = run.s.curves;
  const int pairs = static_cast<int>(curves.size());
  a.file_name = run.stem + pelliform_names::kRegionalCurves;
  Units& units = run.io.units;
  units.create(pelliform_unit::pith, a.file_name);
  // The column name is left-justified in its 15 characters.
  std::vector<std::string> heads(curves.size(), field("   RC     fRC", 15));
  const Layout heading("(a10," + std::to_string(std::max(pairs, 1)) + "(a15,1x))");
  units.write(pelliform_unit::pith, heading.write("Bio Year", heads));
  // Each value keeps a blank before it, fewer decimals where it needs them (f8.2 writes
  // 12345.67 against the value before it and a million as asterisks).
  const Layout row("(" + std::to_string(1 + 2 * pairs) + "f8.2+)");
  for (int age = 1; age <= run.s.ages; ++age) {
    std::vector<float> values{static_cast<float>(age)};
    for (const RegionalCurvePair& p : curves) {
      values.push_back(at(age) < p.rc.size() ? p.rc[at(age)] : kEmptyCell);
      values.push_back(at(age) < p.frc.size() ? p.frc[at(age)] : kEmptyCell);
    }
    units.write(pelliform_unit::pith, row.write(values));
  }
  units.close(pelliform_unit::pith);
}

// The lines of a run whose iteration did not converge: the tests rose once more after the
// last restart (the final results then come from the iteration before the rise), or they
// have no value.
void not_converged(EngineRun& run) {
  const EngineArgs& a = run.a;
  std::vector<std::string> lines{Layout("(a,f6.4,a,i0,a,f5.3)")
                                     .write("No convergence (<", a.convergence_threshold,
                                            " change) after ", run.calls,
                                            " engine calls, constant added: ", a.added_constant)};
  if (run.outcome == RuleOutcome::not_a_number) {
    lines.push_back(Layout("(a,i0)").write(
        "The convergence statistics have no value (no year to test) at iteration ", a.iteration));
  } else {
    lines.push_back(Layout("(a,i0,a)")
                        .write("Every final result comes from iteration ", a.iteration,
                               ", the last before the tests rose:"));
    lines.push_back("chronology, spread, standard error, stabilised chronology, sample depth");
    lines.push_back("and the signal-free series files.");
  }
  for (const std::string& l : lines) {
    run.con().say(l);
    run.report(upper(l));
  }
}

// The closing message on the console and, in upper case, in the report file.
void closing_message(EngineRun& run) {
  const EngineArgs& a = run.a;
  const int c = a.iteration;
  Console& con = run.con();
  con.say("");
  run.report("");
  if (run.outcome == RuleOutcome::not_monotonic || run.outcome == RuleOutcome::not_a_number) {
    not_converged(run);
    return;
  }
  if (c >= kMaxIterations) {
    // The iteration number takes three digits here: two would show the limit, 100, as
    // asterisks.
    const std::string head = Layout("(a,f6.4,a,i3)")
                                 .write("Maximum iterations used without converging (<",
                                        a.convergence_threshold, " change): ", c);
    const std::string lines[3] = {
        "If you are not satisfied, try a simpler (more monotonic) curve fit like a negative",
        "exponential curve, or if you were computing ratios, try computing power transformed",
        "residuals instead with the same curvefit option that did not converge. Often works."};
    con.say(head);
    run.report(upper(head));
    for (const std::string& l : lines) {
      con.say(l);
      run.report(upper(l));
    }
    return;
  }
  const std::string done =
      Layout("(a,f6.4,a,i2)")
          .write("Final iteration with convergence (<", a.convergence_threshold, " change): ", c);
  con.say(done);
  run.report(upper(done));
}

void compare_series(EngineRun& run) {
  const SigfreeState& s = run.s;
  const std::string last = Layout("(a,i4)").write("Iteration:", run.a.iteration);
  const std::vector<float> none{kNoReference};
  const auto spans = run.spans().first(at(run.nseries + 2));
  linguine2(
      run.io.plots, s.first_measurements, s.final_measurements, none, spans,
      {"Years", "Measurements", "Original and Final Signal Free Raw Data", "Iteration:   0", last});
  linguine2(run.io.plots, s.first_curves, s.final_curves, none, spans,
            {"Years", "Measurements", "Original and Final Signal Free Curvefits", "Iteration:   0",
             last});
  linguine2(
      run.io.plots, s.first_indices, s.final_indices, none, spans,
      {"Years", "Measurements", "Original and Final Signal Free Indices", "Iteration:   0", last});
}

// The convergence statistics, the difference series and the iteration chronologies.
void convergence_plots(EngineRun& run) {
  EngineArgs& a = run.a;
  const int c = std::min(a.iteration, static_cast<int>(run.history.size()));
  if (c < 1) return;
  std::vector<float> wt_mean, wt_median;
  for (int i = 1; i <= c; ++i) {
    wt_mean.push_back(run.history[at(i)].wt_mean);
    wt_median.push_back(run.history[at(i)].wt_median);
  }
  line_page(run, wt_mean, wt_median,
            {"Iterations", "Differences",
             Layout("(a,i3)").write("Iteration Convergence Statistics, Iter =", c),
             "   Mean ABS Diff Test", "Median ABS Diff Test"},
            kNoReference, 1);

  const std::vector<float> none{kNoReference};
  EngineMatrix diff;
  diff.reshape(run.n, c, 0.0f);
  for (int i = 1; i <= c; ++i) {
    const std::vector<float>& d = run.differences[at(i)];
    const float mean = mnsd(d).mean;
    for (int k = 1; k <= run.n; ++k) {
      diff.at(k, i) = d[at(k)] - mean - kDifferenceStep * static_cast<float>(c - i);
    }
  }
  spaghetti(run.io.plots, diff, run.n, c, none, run.first_year,
            {"Years", "Differences", "Signal Free Chronology Iteration Differences",
             "First Iteration", "   Final Iteration"});

  const std::string last = Layout("(a,i4)").write("  Iteration:", c);
  spaghetti(run.io.plots, a.iteration_chronologies, run.n, c + 1, none, run.first_year,
            {"Years", "Indices", "Signal Free Chronology Iterations", " Iteration:   0", last});

  // Each iteration's chronology smoothed by a spline whose stiffness grows with the length.
  const int years = run.n <= 100 ? 10 : run.n <= 500 ? 30 : run.n <= 2000 ? 50 : 100;
  EngineMatrix smooth;
  smooth.reshape(run.n, c + 1, 0.0f);
  for (int i = 1; i <= c + 1; ++i) {
    const auto col = a.iteration_chronologies.column(i);
    spline1(col.first(count(run.n)), smooth.column(i), years, run.con());
  }
  spaghetti(run.io.plots, smooth, run.n, c + 1, none, run.first_year,
            {"Years", "Indices",
             "Signal Free Chronology Iterations: " + std::to_string(years) + "-Yr Splines",
             " Iteration:   0", last});
}

}  // namespace

void finish_run(EngineRun& run) {
  EngineArgs& a = run.a;
  // The series files as they stand now: which of them go without a series.
  for (const auto& [name, lines] : run.s.left_out_notes) {
    for (const std::string& line : lines) {
      run.con().say(line);
      run.report(upper(line));
    }
  }
  run.s.left_out_notes.clear();
  // The final signal-free chronology from the last iteration's indices; after a rise with
  // no restart left the kept iteration's chronology and spread stand instead.
  YearlyMean final_mean =
      sf::robsum(run.s.final_index_matrix, run.n, run.nseries, a.mean_type, run.con(), !run.rcs);
  if (run.outcome != RuleOutcome::not_monotonic) {
    for (int k = 1; k <= run.n; ++k) {
      a.signal_free.at(k, 1) = final_mean.mean[at(k)];
      a.signal_free.at(k, 2) = final_mean.spread[at(k)];
    }
  }
  const std::vector<float> none{kNoReference};
  if (run.rcs) {
    write_curve_file(run);
    plt4(run.io.plots, run.s.curves, run.s.ages, kEmptyCell);
    const std::vector<RegionalCurvePair> ends{run.s.curves.front(), run.s.curves.back()};
    plt5(run.io.plots,
         run.s.curves.size() > 1 ? std::span<const RegionalCurvePair>(ends)
                                 : std::span<const RegionalCurvePair>(run.s.curves),
         run.s.ages, kEmptyCell);
  } else {
    if (a.mean_type == kBiweightMeanType) {
      spaghetti(run.io.plots, final_mean.weights, run.n, 4, none, run.first_year,
                {"Years", "Biweights", "Biweights For Signal Free Chronology",
                 Layout("(a,i3)").write("Iteration:", a.iteration), "hh,med,hl,min biwgts"});
    }
    compare_series(run);
  }
  closing_message(run);

  const bool robust = a.mean_type == kBiweightMeanType;
  line_page(run, a.standard.column(1), a.signal_free.column(1),
            {"Years", "Indices",
             Layout("(a,i3)").write(robust ? "Robust Original & Signal Free Chronology, Iter ="
                                           : "Original & Signal Free Chronology, Iter =",
                                    a.iteration),
             run.raw() ? "Original RAW Chronology" : "Original STD Chronology",
             run.raw() ? "Mean Adjust RAW Chron" : "Signal Free STD Chron"},
            kNoReference, run.first_year);
  if (a.rbar_window != 0) stabilise_chronology(run, true);
  convergence_plots(run);
}

}  // namespace dendro
