// The signal-free iteration and its convergence rule.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "detrending/age_spline.h"
#include "detrending/indices.h"
#include "pelliform/curve_fits.h"
#include "pelliform/engine_plots.h"
#include "pelliform/engine_run.h"
#include "pelliform/regional_curve.h"
#include "pelliform/yearly_mean.h"
#include "series/console.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/store.h"

namespace dendro {
namespace {

constexpr float kMinimumStart = 9999.0f;  // running minima before the first iteration
constexpr int kRefitFrom = 5;             // the fit-code refit applies from this iteration
constexpr int kMonotonicFrom = 6;         // a rise after this iteration stops the loop
constexpr int kRefitCodeOption1 = -66;    // option 1's refit: a spline of 66% of n

float median_of(std::vector<float> v) { return v.empty() ? 0.0f : mfs(v).median; }

// Step 3 and 4: the signal-free measurements of series j (ring k at chronology row d + k),
// rescaled to the series' first-pass mean.
std::vector<float> signal_free_series(EngineRun& run, int j) {
  EngineArgs& a = run.a;
  const int length = run.span(j).length();
  const int d = run.offset(j);
  const bool ratios = a.index_mode == 0;
  std::vector<float> x(count(length));
  const auto measurements = a.measurements.column(j);
  for (int k = 1; k <= length; ++k) {
    const float m = measurements[at(d + k)];
    const float c = run.previous[at(d + k)];
    const int depth = a.sample_depth[at(d + k)];
    // A year that only this series covers carries no common signal to remove; on the
    // curve-fit path a chronology value of 0 or below is no divisor either. On the
    // regional-curve path a zero divisor is refused as well: the value passes unchanged.
    const bool divide = depth >= 2 && (ratios ? c > 0.0f : true);
    x[at(k)] = divide ? (ratios ? m / c : m - c) : m;
  }
  if (a.rescale_switch != 'y') return x;
  int from = 1, to = length;
  if (j == run.s.anchor_series) {
    from = std::min(run.s.nss1 + 1, length);
    to = std::min(run.s.nss1 + run.s.anchor_length, length);
    if (from > to) from = 1;
  }
  const std::vector<float> part(x.begin() + (from - 1), x.begin() + to);
  const float mean = mnsd(part).mean;
  const float target = run.s.first_pass_mean[at(j)];
  for (int k = from; k <= to; ++k) {
    if (ratios) {
      if (mean != 0.0f) x[at(k)] = x[at(k)] * target / mean;
    } else {
      x[at(k)] = x[at(k)] - mean + target;
    }
  }
  return x;
}

// The measurements of series j from the realigned matrix.
std::vector<float> measurements_of(EngineRun& run, int j) {
  const auto col = run.a.measurements.column(j);
  const int d = run.offset(j);
  return std::vector<float>(col.begin() + d, col.begin() + d + run.span(j).length());
}

std::vector<float> indices_of(EngineRun& run, const std::vector<float>& y,
                              const std::vector<float>& curve) {
  std::vector<float> indices = y;
  calind(indices, curve, run.a.index_mode == 0 ? 1 : kResidualIndices);
  if (run.a.index_mode != 0) {
    for (float& v : indices) v = std::max(v, 0.0f);
  }
  return indices;
}

// Step 7's test: from iteration 5 on a series whose fit code changed, or was 6, is refitted.
bool needs_refit(const EngineRun& run, int j, int c) {
  if (run.a.refit_switch != 'n' || c < kRefitFrom) return false;
  const auto& codes = run.s.fit_codes[at(j)];
  return codes[at(c + 2)] != codes[at(c + 1)] || codes[at(c + 1)] == pfit::horizontal_mean;
}

int refit_code(const EngineRun& run) {
  return run.a.curve_fit_option == pfit::neg_exponential ? kRefitCodeOption1
                                                         : pfit::horizontal_mean;
}

void store_curve(EngineRun& run, const sf::RegionalCurve& curve) {
  std::vector<RegionalCurvePair>& kept = run.s.curves;
  // Past the limit the last place keeps the newest curve, so the files and plots always
  // hold the initial and the final curve.
  if (static_cast<int>(kept.size()) >= kMaxStoredCurves) kept.pop_back();
  kept.push_back({curve.rc, curve.frc});
  run.s.ages = curve.ages;
}

sf::RegionalCurve regional_curve(EngineRun& run, const EngineMatrix& sf, int& option) {
  EngineArgs& a = run.a;
  return rcurve(sf, run.spans().first(at(run.nseries + 1)), a.pith_offsets, kEmptyCell, option,
                a.curve_fit_parameter, a.rcs_parameter, a.pith_offset_flag, run.trunc, run.con());
}

// Places the indices of series j in the final index matrix and the year matrix, and its
// signal-free measurements and curves (less the added constant) and final indices in the
// final-iteration series matrices, from which the series files are written.
void place(EngineRun& run, int j, const std::vector<float>& sf, const std::vector<float>& curve,
           const std::vector<float>& year_indices, const std::vector<float>& final_indices) {
  const float c = run.a.added_constant;
  const auto d = static_cast<std::size_t>(run.offset(j));
  const auto rings = sf.size();
  const auto by_year = run.s.final_index_matrix.column(j).subspan(d, rings);
  const auto year_column = run.a.year_matrix.column(j).subspan(d, rings);
  const auto measurements = run.s.final_measurements.column(j).first(rings);
  const auto curves = run.s.final_curves.column(j).first(rings);
  const auto indices = run.s.final_indices.column(j).first(rings);
  for (std::size_t k = 0; k < rings; ++k) {
    by_year[k] = final_indices[k];
    year_column[k] = year_indices[k];
    measurements[k] = sf[k] - c;
    curves[k] = curve[k] - c;
    indices[k] = final_indices[k];
  }
}

// The signal-free series files of the iteration that the given series matrices hold.
void write_signal_free_files(EngineRun& run, const EngineMatrix& measurements,
                             const EngineMatrix& curves, const EngineMatrix& indices) {
  open_series_files(run, true);
  std::vector<SeriesRecords> records(count(run.nseries));
  each_series(
      run,
      [&](int j, Console&) {
        const auto rings = static_cast<std::size_t>(run.span(j).length());
        records[at(j)] =
            series_records(run, j,
                           {measurements.column(j).first(rings), curves.column(j).first(rings),
                            indices.column(j).first(rings)},
                           "ssf");
      },
      [&](int j) {
        write_series_records(run, records[at(j)]);
        records[at(j)] = {};
      });
  close_series_files(run);
}

// The signal-free series files of the latest iteration.
void write_signal_free_files(EngineRun& run) {
  const SigfreeState& s = run.s;
  write_signal_free_files(run, s.final_measurements, s.final_curves, s.final_indices);
}

// Exchanges the latest iteration's series matrices with the kept ones: at the start of an
// iteration the latest becomes the kept one, and a rejected iteration brings the kept one
// back.
void swap_kept(EngineRun& run) {
  KeptIteration& k = run.kept;
  std::swap(run.a.year_matrix, k.year_matrix);
  std::swap(run.s.final_index_matrix, k.final_index_matrix);
  std::swap(run.s.final_measurements, k.final_measurements);
  std::swap(run.s.final_curves, k.final_curves);
  std::swap(run.s.final_indices, k.final_indices);
}

// Sizes the final-iteration matrices and their kept twins; the spread and depth start as
// the standard chronology's.
void start_kept(EngineRun& run) {
  EngineArgs& a = run.a;
  SigfreeState& s = run.s;
  KeptIteration& k = run.kept;
  // At the limits each matrix takes a large fraction of a second to set up: a signal is
  // looked for before each.
  for (EngineMatrix* m : {&s.final_index_matrix, &k.final_index_matrix}) {
    stop_if_interrupted();
    m->reshape(run.n, run.nseries);
  }
  stop_if_interrupted();
  k.year_matrix.reshape(a.year_matrix.rows, a.year_matrix.cols);
  for (EngineMatrix* m : {&s.final_measurements, &s.final_curves, &s.final_indices,
                          &k.final_measurements, &k.final_curves, &k.final_indices}) {
    stop_if_interrupted();
    m->reshape(a.measurements.rows, run.nseries);
  }
  const auto spread = a.standard.column(2);
  k.spread.assign(spread.begin(), spread.end());
  k.depth = a.sample_depth;
}

// Keeps the chronology of the iteration that goes on as the next divisor, with its spread
// and depth.
void keep_chronology(EngineRun& run) {
  const EngineArgs& a = run.a;
  run.previous.assign(a.signal_free.column(1).begin(), a.signal_free.column(1).end());
  run.kept.spread.assign(a.signal_free.column(2).begin(), a.signal_free.column(2).end());
  run.kept.depth = a.sample_depth;
}

// After a rejected iteration with no restart left, every final result is the kept
// iteration's: chronology, spread, sample depth, the indices the running RBAR reads and the
// series matrices (from which the series files are then written).
void restore_kept(EngineRun& run) {
  EngineArgs& a = run.a;
  swap_kept(run);
  a.sample_depth = run.kept.depth;
  for (int k = 1; k <= run.n; ++k) {
    a.signal_free.at(k, 1) = run.previous[at(k)];
    a.signal_free.at(k, 2) = run.kept.spread[at(k)];
    a.rbar_chronology.at(k, 1) = run.previous[at(k)];
  }
}

// Step 5: the regional-curve path of one iteration.
void regional_iteration(EngineRun& run, int c) {
  EngineArgs& a = run.a;
  EngineMatrix sf;
  sf.reshape(a.measurements.rows, run.nseries);
  std::vector<std::vector<float>> series(count(run.nseries));
  for (int j = 1; j <= run.nseries; ++j) {
    stop_if_interrupted();
    series[at(j)] = signal_free_series(run, j);
    std::copy(series[at(j)].begin(), series[at(j)].end(), sf.column(j).begin());
    run.s.fit_codes[at(j)][at(c + 2)] = a.curve_fit_option;
  }
  sf::RegionalCurve curve = regional_curve(run, sf, a.curve_fit_option);
  const std::string title = Layout("(a,i4)").write("Iteration       Regional Curve MVF", c);
  if (run.plots) plt1(run.io.plots, curve.rc, curve.frc, curve.ages, kEmptyCell, title);
  store_curve(run, curve);
  // The fit code is the same for every series here, so a refit is one refit of the set.
  if (needs_refit(run, 1, c)) {
    int code = refit_code(run);
    for (int j = 1; j <= run.nseries; ++j) run.s.fit_codes[at(j)][at(c + 2)] = code;
    curve = regional_curve(run, sf, code);
    plt1(run.io.plots, curve.rc, curve.frc, curve.ages, kEmptyCell, title);
    store_curve(run, curve);
  }
  const std::string series_title = Layout("(a,i4)").write("Iteration #", c);
  for (int j = 1; j <= run.nseries; ++j) {
    stop_if_interrupted();
    const int length = run.span(j).length();
    std::vector<float> fitted(count(length));
    for (int k = 1; k <= length; ++k) fitted[at(k)] = curve.frc[at(run.pith(j) + k)];
    const std::vector<float> y = measurements_of(run, j);
    const std::vector<float> indices = indices_of(run, y, fitted);
    place(run, j, series[at(j)], fitted, indices, indices);
    if (run.plots) {
      const SeriesPage page{series[at(j)], indices, run.span(j).first, run.pith(j),
                            at(j) < a.ids.size() ? a.ids[at(j)] : std::string()};
      if (plt3(run.io.plots, page, curve.frc, curve.ages, kEmptyCell, series_title) ==
          PlotExit::no_more_plots) {
        run.plots = false;
      }
    }
  }
}

// Step 6 for series j: its signal-free measurements, curve and indices. Writes only
// series j's cells and fit code.
void curve_fit_series(EngineRun& run, int c, int j, Console& con) {
  EngineArgs& a = run.a;
  std::vector<float> sf = signal_free_series(run, j);
  if (a.index_mode != 0) {
    const float lowest = *std::min_element(sf.begin(), sf.end());
    if (lowest < 0.0f) {
      for (float& v : sf) v += -lowest;
    }
  }
  std::vector<float> fitted(sf.size(), 1.0f);
  int& code = run.s.fit_codes[at(j)][at(c + 2)];
  code = a.curve_fit_option;
  curvefits(sf, fitted, code, a.curve_fit_parameter, con);
  if (needs_refit(run, j, c)) {
    code = refit_code(run);
    int refit = code;
    curvefits(sf, fitted, refit, a.curve_fit_parameter, con);
  }
  for (float& v : fitted) v = std::max(v, a.curve_floor[at(j)]);
  const std::vector<float> y = measurements_of(run, j);
  const std::vector<float> indices = indices_of(run, y, fitted);
  // The spread rescale: a restart call with ratios restores the first call's spread.
  std::vector<float> rescaled = indices;
  const MeanSd e = mnsd(indices);
  const bool restore = !run.first_call && a.index_mode == 0 && e.sd > 0.0f;
  if (restore) {
    const float g = run.s.first_pass_spread[at(j)];
    for (float& v : rescaled) v = (v - e.mean) / e.sd * g + e.mean;
  }
  place(run, j, sf, fitted, indices, rescaled);
}

// Step 6: the curve-fit path of one iteration, the series side by side.
void curve_fit_iteration(EngineRun& run, int c) {
  each_series(run, [&](int j, Console& con) { curve_fit_series(run, c, j, con); });
}

// Steps 10 to 13: the new chronology, its unit mean and the difference series.
std::vector<float> new_chronology(EngineRun& run, int c) {
  EngineArgs& a = run.a;
  // The weights' summary is only plotted for the standard and the final chronology.
  YearlyMean m = sf::robsum(a.year_matrix, run.n, run.nseries, a.mean_type, run.con(), false);
  a.sample_depth = m.depth;
  std::vector<float>& chron = m.mean;
  run.s.chronology_mean = mean_with_depth(chron, a.sample_depth, 1, run.n);
  clamp_negative(chron, a.sample_depth);
  const float mc = mean_with_depth(chron, a.sample_depth, run.s.nss1 + 1, run.n);
  if (a.unit_mean_switch == 'y') {
    for (int k = 1; k <= run.n; ++k) {
      if (a.sample_depth[at(k)] > 0) chron[at(k)] = std::max(chron[at(k)] - mc + 1.0f, 0.0f);
    }
  }
  for (int k = 1; k <= run.n; ++k) {
    a.signal_free.at(k, 1) = chron[at(k)];
    a.signal_free.at(k, 2) = m.spread[at(k)];
    a.iteration_chronologies.at(k, c + 1) = chron[at(k)];
    a.rbar_chronology.at(k, 1) = chron[at(k)];
  }
  std::vector<float> diff(count(run.n));
  for (int k = 1; k <= run.n; ++k) {
    diff[at(k)] = a.sample_depth[at(k)] > 0 ? run.previous[at(k)] - chron[at(k)] : 0.0f;
  }
  run.differences.push_back(diff);
  if (a.difference_detrend_switch == 'y' && run.n >= 4) {
    std::vector<int> stiff(diff.size());
    for (int k = 1; k <= run.n; ++k) {
      const int year = std::min(k + 1, run.n);
      stiff[at(k)] = static_cast<int>(run.s.mean_segment_length[at(year)]);
    }
    std::vector<float> fit(diff.size());
    spline2(diff, fit, stiff, run.con());
    if (fit[0] != kSplineTooFew && fit[0] != kSplineNotPositive) {
      for (std::size_t k = 0; k < diff.size(); ++k) diff[k] -= fit[k];
    }
  }
  return diff;
}

}  // namespace

ConvergenceStats sftest(std::span<const float> d, std::span<const int> depth) {
  ConvergenceStats r;
  std::vector<float> plain, weighted;
  const int largest = depth.empty() ? 0 : *std::max_element(depth.begin(), depth.end());
  for (std::size_t k = 0; k < d.size(); ++k) {
    if (depth[k] <= 0) continue;
    plain.push_back(d[k]);
    weighted.push_back(std::sqrt(static_cast<float>(depth[k])) /
                       std::sqrt(static_cast<float>(largest)) * d[k]);
  }
  const float k = static_cast<float>(plain.size());
  float sum = 0, wsum = 0;
  for (std::size_t i = 0; i < plain.size(); ++i) {
    sum += plain[i];
    wsum += weighted[i];
  }
  // Without a year of depth the statistics are not numbers, which ends the loop.
  r.uw_mean = sum / k;
  r.wt_mean = wsum / k;
  r.uw_median = plain.empty() ? std::nanf("") : median_of(plain);
  r.wt_median = plain.empty() ? std::nanf("") : median_of(weighted);
  return r;
}

int tested_statistic(char median_switch, int iteration, int entry_option) {
  if (iteration <= 1) return 0;
  const bool plain = entry_option == pfit::regional_curve || entry_option == pfit::raw_average ||
                     entry_option == pfit::neg_exponential ||
                     entry_option == pfit::neg_exponential_or_falling_line ||
                     entry_option == pfit::horizontal_mean;
  if (median_switch == 'y') return plain ? 1 : 3;
  return plain ? 0 : 2;
}

RuleOutcome convergence_rule(float tested, float predecessor, float threshold, int iteration) {
  if (threshold >= tested) return RuleOutcome::converged;
  if (iteration >= kMaxIterations) return RuleOutcome::iteration_limit;
  if (iteration > kMonotonicFrom && tested > predecessor) return RuleOutcome::not_monotonic;
  if (tested > threshold) return RuleOutcome::go_on;
  return RuleOutcome::not_a_number;
}

namespace {

// The series files are written once, when the iteration loop ends, from the series matrices
// of the iteration that stands. Until then this says which matrices the files would hold
// had each iteration written its own: the latest iteration's once its series are complete,
// before that the kept one's. A run stopped on the way (end of input at a plot, say) still
// leaves those files.
enum class Unwritten { none, latest, kept };

void write_unwritten(EngineRun& run, Unwritten& unwritten) {
  if (unwritten == Unwritten::latest) write_signal_free_files(run);
  if (unwritten == Unwritten::kept) {
    const KeptIteration& k = run.kept;
    write_signal_free_files(run, k.final_measurements, k.final_curves, k.final_indices);
  }
  unwritten = Unwritten::none;
}

// The convergence statistics of iteration c over the test span (all years without the
// tweaks), with their line in the report file.
ConvergenceStats iteration_statistics(EngineRun& run, const std::vector<float>& diff, int c) {
  const EngineArgs& a = run.a;
  const SigfreeState& s = run.s;
  const int from = a.tweaks == 'y' ? s.nss2 + 1 : 1;
  const int to = a.tweaks == 'y' ? s.nss2 + s.test_span : run.n;
  std::vector<float> d;
  std::vector<int> depth;
  for (int k = from; k <= to; ++k) {
    d.push_back(std::fabs(diff[at(k)]));
    depth.push_back(a.sample_depth[at(k)]);
  }
  const ConvergenceStats stats = sftest(d, depth);
  const auto values = stats.all();
  std::array<char, 4> marks{' ', ' ', ' ', ' '};
  for (std::size_t i = 0; i < 4; ++i) {
    if (run.minima[i] > values[i]) {
      run.minima[i] = values[i];
      marks[i] = '*';
    }
  }
  // Each value is followed by its mark.
  run.report(Layout("('Iter ',i3,'  Convergence Criteria: ',f13.8+,a1,3(f14.8+,a1))")
                 .write(c, values[0], marks[0], values[1], marks[1], values[2], marks[2], values[3],
                        marks[3]));
  return stats;
}

// The iteration loop; true when the call ends here, false for a restart by the driver.
bool iteration_loop(EngineRun& run, Unwritten& unwritten) {
  EngineArgs& a = run.a;
  for (int c = 1; c <= kMaxIterations; ++c) {
    stop_if_interrupted();  // a signal ends the run between iterations
    a.iteration = c;
    swap_kept(run);
    if (c > 1) unwritten = Unwritten::kept;
    run.s.final_index_matrix.fill(kEmptyCell);
    a.year_matrix.fill(kEmptyCell);
    if (run.rcs) {
      regional_iteration(run, c);
    } else {
      curve_fit_iteration(run, c);
    }
    unwritten = Unwritten::latest;
    const std::vector<float> diff = new_chronology(run, c);
    const ConvergenceStats stats = iteration_statistics(run, diff, c);
    run.history.push_back(stats);

    const auto which =
        static_cast<std::size_t>(tested_statistic(a.median_switch, c, run.entry_option));
    const float tested = stats.all()[which];
    const float predecessor = c > 1 ? run.history[at(c - 1)].all()[which] : tested;
    run.outcome = convergence_rule(tested, predecessor, a.convergence_threshold, c);
    switch (run.outcome) {
      case RuleOutcome::go_on:
        keep_chronology(run);
        continue;
      case RuleOutcome::converged:
      case RuleOutcome::iteration_limit:
      case RuleOutcome::not_a_number:
        // Undefined statistics would come back the same with any constant: no restart.
        a.restart_counter = 0;
        write_unwritten(run, unwritten);
        return true;
      case RuleOutcome::not_monotonic:
        break;
    }
    // Not monotonic: back to the previous chronology, and a restart with a constant added
    // while restarts are left.
    const std::string warning =
        Layout("(/a,t67,i3)")
            .write("WARNING: CONVERGENCE TESTS ARE NOT MONOTONIC DECREASING, ITER:", c);
    run.con().say(warning);
    run.report(warning);
    for (int k = 1; k <= run.n; ++k) a.signal_free.at(k, 1) = run.previous[at(k)];
    ++a.restart_counter;
    --a.iteration;
    if (a.restart_counter <= kMaxRestarts) {
      write_unwritten(run, unwritten);
      return false;
    }
    restore_kept(run);
    unwritten = Unwritten::latest;
    write_unwritten(run, unwritten);
    Console& con = run.con();
    con.say("");
    con.say("OKAY, ADDING A CONSTANT TO THE DATA USUALLY RESULTS IN CONVERGENCE");
    con.say("EVENTUALLY WHEN USING FLEXIBLE DATA-ADAPTIVE CURVE FITS LIKE THE");
    con.say("SPLINE OR FRIEDMAN SMOOTHER. BUT NOT THIS TIME. EVEN SO, THE FINAL");
    con.say("CONVERGENCE TRACE MAY BE CLOSE ENOUGH TO FLAT TO BE ACCEPTABLE.");
    con.pause(" Hit return to continue ...");
    return true;
  }
  write_unwritten(run, unwritten);
  return true;
}

}  // namespace

bool iterate(EngineRun& run) {
  EngineArgs& a = run.a;
  if (a.curve_fit_option == pfit::raw_average) a.curve_fit_option = pfit::horizontal_mean;
  run.minima.fill(kMinimumStart);
  run.history.clear();
  run.differences.clear();
  a.iteration = 0;
  start_kept(run);
  run.report("");
  run.report(Layout("(t37,a)").write("| -------- SIGNAL FREE CONVERGENCE STATISTICS ------- |"));
  run.report(Layout("(t37,a)").write("UW MN ABSD     UW MD ABSD     WT MN ABSD     WT MD ABSD"));
  Unwritten unwritten = Unwritten::none;
  try {
    return iteration_loop(run, unwritten);
  } catch (const Stop& stop) {
    // A run stopped within the iterations (the user's "/", the end of the input) still
    // leaves the signal-free series files of the iteration it last kept. A signal does not
    // wait for them: at the limits they take seconds to write.
    if (!interrupted(stop)) write_unwritten(run, unwritten);
    throw;
  }
}

}  // namespace dendro
