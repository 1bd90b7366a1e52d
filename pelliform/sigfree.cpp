#include "pelliform/sigfree.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstddef>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "detrending/indices.h"
#include "pelliform/curve_fits.h"
#include "pelliform/dialogue.h"
#include "pelliform/engine_plots.h"
#include "pelliform/engine_run.h"
#include "pelliform/file_names.h"
#include "pelliform/regional_curve.h"
#include "pelliform/span_report.h"
#include "pelliform/yearly_mean.h"
#include "series/console.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/parallel.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {
namespace {

constexpr float kCurveFloorDefault = 0.02f;
constexpr int kMinTestSpan = 20;     // fewer test years fall back to nss1
constexpr int kReplicatedDepth = 6;  // nss2 counts leading years below this depth
constexpr int kFitCodeColumns = kMaxIterations + 2;

// The argument set must describe a series set the engine can work with; anything else
// would index outside the matrices.
void check_arguments(const EngineArgs& a) {
  const auto fail = [](const std::string& what) {
    throw Stop("*** signal-free engine: " + what, kFailureStatus);
  };
  if (a.series_count < 1) fail("no series");
  if (a.series_count > kMaxSeriesPelliform) fail("more than 4500 series");
  if (a.years.size() < static_cast<std::size_t>(a.series_count + 1))
    fail("series year table too short");
  const SeriesSpan& set = a.summary();
  if (set.length() < 1 || set.length() > kMaxYears) fail("chronology span outside 1 to 5000 years");
  if (a.measurements.cols < a.series_count) fail("measurement matrix has too few columns");
  for (int j = 1; j <= a.series_count; ++j) {
    const SeriesSpan& s = a.span(j);
    if (s.length() < 1 || s.first < set.first || s.last > set.last) {
      fail("series " + std::to_string(j) + " lies outside the chronology span");
    }
    if (a.measurements.rows < s.length()) fail("measurement matrix has too few rows");
  }
}

// The iteration removes the signal that series share in their common years: a set in which
// no year holds two series (one series, or series that never overlap) has none, and every
// convergence statistic would be undefined. Such a set is refused.
void check_overlap(const EngineArgs& a) {
  const SeriesSpan& set = a.summary();
  std::vector<int> starts(count(set.length()) + 1, 0);
  for (int j = 1; j <= a.series_count; ++j) {
    ++starts[static_cast<std::size_t>(a.span(j).first - set.first)];
    --starts[static_cast<std::size_t>(a.span(j).last - set.first) + 1];
  }
  int depth = 0;
  for (int change : starts) {
    depth += change;
    if (depth >= 2) return;
  }
  const std::string what =
      a.series_count == 1
          ? "*** The set holds one series only"
          : "*** No two of the " + std::to_string(a.series_count) + " series overlap in any year";
  throw Stop(what + ": the signal-free method needs series that overlap. Run ended.",
             kFailureStatus);
}

// Sizes the result arrays to the chronology and the engine's tables to the set.
void size_tables(EngineRun& run) {
  EngineArgs& a = run.a;
  SigfreeState& s = run.s;
  a.measurements.ensure_rows(run.n);
  a.year_matrix.reshape(run.n, run.nseries);
  a.standard.reshape(run.n, 2, 0.0f);
  a.signal_free.reshape(run.n, 2, 0.0f);
  if (a.stabilised.rows != run.n || a.stabilised.cols != 2) a.stabilised.reshape(run.n, 2, 0.0f);
  a.sample_depth.assign(count(run.n), 0);
  a.rbar_chronology.reshape(run.n, 3, 0.0f);
  a.rbar_yearly.reshape(run.n, 5, 0.0f);
  if (run.first_call || a.iteration_chronologies.rows != run.n) {
    a.iteration_chronologies.reshape(run.n, kMaxIterations + 1, 0.0f);
  }
  a.curve_floor.resize(count(run.nseries), kCurveFloorDefault);
  for (EngineMatrix* m : {&s.first_measurements, &s.first_curves, &s.first_indices}) {
    stop_if_interrupted();  // a large fraction of a second each at the limits
    m->reshape(a.measurements.rows, run.nseries);
  }
  s.first_pass_mean.assign(count(run.nseries), 0.0f);
  if (run.first_call || s.first_pass_spread.size() != count(run.nseries)) {
    s.first_pass_spread.assign(count(run.nseries), 0.0f);
  }
  s.fit_codes.assign(count(run.nseries), std::vector<int>(count(kFitCodeColumns), 0));
  s.curves.clear();
}

// Step 2 and 3: the yearly means of the segment lengths and of the ring numbers.
void segment_length_and_age(EngineRun& run) {
  EngineArgs& a = run.a;
  a.year_matrix.fill(kEmptyCell);
  for (int j = 1; j <= run.nseries; ++j) {
    const int length = run.span(j).length();
    for (int k = 1; k <= length; ++k)
      a.year_matrix.at(run.offset(j) + k, j) = static_cast<float>(length);
  }
  YearlyMean m = sf::robsum(a.year_matrix, run.n, run.nseries, kArithmeticMeanType, run.con());
  run.s.mean_segment_length = m.mean;
  a.sample_depth = m.depth;
  for (int j = 1; j <= run.nseries; ++j) {
    for (int k = 1; k <= run.span(j).length(); ++k) {
      a.year_matrix.at(run.offset(j) + k, j) = static_cast<float>(k);
    }
  }
  run.s.mean_tree_age =
      sf::robsum(a.year_matrix, run.n, run.nseries, kArithmeticMeanType, run.con()).mean;
  if (run.first_call) {
    line_page(run, run.s.mean_segment_length, run.s.mean_tree_age,
              {"Years", "Years", "Mean Segment Length And Mean Tree Age", " Mean Segment Length",
               "Mean Approx Tree Age"},
              kNoReference, run.first_year);
  }
}

int ask_truncation(EngineRun& run) {
  std::vector<int> first, nvals;
  for (int j = 1; j <= run.nseries; ++j) {
    first.push_back(run.span(j).first);
    nvals.push_back(run.span(j).length());
  }
  comint(first, nvals, run.con());
  for (int round = 0;; ++round) {
    if (round > 0) run.con().again();
    run.con().say("Enter Biological Year beyond which not to use");
    const Answer a = ask50(run.con(), "in the estimation of the Regional model", 10);
    const std::optional<long long> age = a.integer();
    if (age && *age >= 0 && *age <= kMaxYears) return static_cast<int>(*age);
    run.con().say(
        entry_refusal(a.typed, "a biological year from 0 to " + std::to_string(kMaxYears)));
  }
}

// True when the fitted curve reaches 0 or below after the first fitted age.
bool goes_negative(const sf::RegionalCurve& r) {
  for (int age = r.min_offset + 2; age <= r.ages; ++age) {
    const float v = r.frc[at(age)];
    if (v <= 0.0f && v != kEmptyCell) return true;
  }
  return false;
}

// Step 6: the initial regional curve and its questions. False when the user asks for
// another configuration.
bool initial_regional_curve(EngineRun& run, sf::RegionalCurve& curve) {
  EngineArgs& a = run.a;
  run.trunc = 0;
  for (int round = 0; round < kMaxDialogueRounds; ++round) {
    curve = rcurve(a.measurements, run.spans().first(at(run.nseries + 1)), a.pith_offsets,
                   kEmptyCell, a.curve_fit_option, a.curve_fit_parameter, a.rcs_parameter,
                   a.pith_offset_flag, run.trunc, run.con());
    plt1(run.io.plots, curve.rc, curve.frc, curve.ages, kEmptyCell, "Initial RC and MVF fit");
    run.s.curves.assign(1, {curve.rc, curve.frc});
    run.s.ages = curve.ages;
    a.retry_rcs = false;
    if (goes_negative(curve)) {
      a.retry_rcs = true;
      Console& con = run.con();
      con.say("");
      con.say("**************** WARNING ****************");
      con.say("    Regional Curve goes south (negative) ");
      con.say(" Suggest choosing another RCS configuration.");
      con.say("");
      con.say("**************** WARNING ****************");
      con.pause("                   Hit RETURN to Continue");
    }
    a.retry_rcs = ask_logical(run.con(), "Try different RCS detrending [T]rue or [F]alse");
    if (a.retry_rcs) return false;
    if (!ask_logical(run.con(), "Truncate the Regional Curve? [T]rue or [F]alse")) {
      run.plots = ask_logical(run.con(), "Make lots of tree-ring plots [T]rue or [F]alse");
      return true;
    }
    run.trunc = ask_truncation(run);
  }
  throw Stop("*** too many regional-curve rounds: run ended", kFailureStatus);
}

// Step 7 for series j: its curve and indices by ring position, and its records in the
// series files. Writes only series j's cells and values.
SeriesRecords first_pass_series(EngineRun& run, const sf::RegionalCurve& curve, int j,
                                Console& con) {
  EngineArgs& a = run.a;
  SigfreeState& s = run.s;
  const float c = a.added_constant;
  const int length = run.span(j).length();
  const auto col = a.measurements.column(j);
  const std::vector<float> y(col.begin(), col.begin() + length);
  s.first_pass_mean[at(j)] = mnsd(y).mean;
  const int code =
      a.curve_fit_option == pfit::raw_average ? pfit::horizontal_mean : a.curve_fit_option;
  s.fit_codes[at(j)][0] = s.fit_codes[at(j)][1] = code;

  // The raw-data average has no curve: 1.0 leaves every measurement as its own index.
  std::vector<float> fitted(count(length), 1.0f);
  if (run.rcs) {
    for (int k = 1; k <= length; ++k) fitted[at(k)] = curve.frc[at(run.pith(j) + k)];
  } else {
    int option = a.curve_fit_option;
    curvefits(y, fitted, option, a.curve_fit_parameter, con);
    for (float& v : fitted) v = std::max(v, a.curve_floor[at(j)]);
  }
  std::vector<float> indices = y;
  if (a.curve_fit_option != pfit::raw_average) {
    calind(indices, fitted, a.index_mode == 0 ? 1 : kResidualIndices);
    // Residual indices below 0 mean no growth at all: they are held at 0.
    if (a.index_mode != 0) {
      for (float& v : indices) v = std::max(v, 0.0f);
    }
  }
  for (int k = 1; k <= length; ++k) {
    s.first_measurements.at(k, j) = y[at(k)] - c;
    s.first_curves.at(k, j) = fitted[at(k)] - c;
    s.first_indices.at(k, j) = indices[at(k)];
    a.year_matrix.at(k, j) = indices[at(k)];
  }
  if (run.first_call) s.first_pass_spread[at(j)] = mnsd(indices).sd;
  const auto rings = at(length + 1);
  return series_records(
      run, j,
      {s.first_measurements.column(j).first(rings), s.first_curves.column(j).first(rings),
       a.curve_fit_option != pfit::raw_average ? std::span<const float>(indices)
                                               : std::span<const float>()},
      "std");
}

// Step 7: curves and indices of every series, and the standard series files.
void first_pass_series(EngineRun& run, const sf::RegionalCurve& curve) {
  std::vector<SeriesRecords> records(count(run.nseries));
  each_series(
      run, [&](int j, Console& con) { records[at(j)] = first_pass_series(run, curve, j, con); },
      [&](int j) {
        write_series_records(run, records[at(j)]);
        records[at(j)] = {};
      });
}

// Step 10: every column of both matrices moved down to its calendar rows.
void realign(EngineRun& run) {
  EngineArgs& a = run.a;
  for (int j = 1; j <= run.nseries; ++j) {
    const int d = run.offset(j);
    if (d <= 0) continue;
    const int length = run.span(j).length();
    for (EngineMatrix* m : {&a.measurements, &a.year_matrix}) {
      for (int k = length; k >= 1; --k) m->at(d + k, j) = m->at(k, j);
      for (int k = 1; k <= d; ++k) m->at(k, j) = kEmptyCell;
    }
  }
}

// Steps 12 (leading years) and 13 (test span): nss1, nss2 and the test span.
void leading_years(EngineRun& run) {
  SigfreeState& s = run.s;
  const std::vector<int>& depth = run.a.sample_depth;
  s.nss1 = 0;
  while (s.nss1 < run.n && depth[at(s.nss1 + 1)] == 1) ++s.nss1;
  s.nss2 = 0;
  while (s.nss2 < run.n && depth[at(s.nss2 + 1)] < kReplicatedDepth) ++s.nss2;
  if (s.nss2 == run.n) s.nss2 = s.nss1;
  s.test_span = run.n - s.nss2;
  if (s.test_span < kMinTestSpan) {
    s.nss2 = s.nss1;
    s.test_span = run.n - s.nss1;
  }
}

// Step 14: the anchor series of the rescale rule, among the series that start with the
// chronology while only one series covers its first years.
void anchor_series(EngineRun& run) {
  SigfreeState& s = run.s;
  s.anchor_series = 0;
  s.anchor_length = run.n;
  if (s.nss1 < 1) return;
  for (int j = 1; j <= run.nseries; ++j) {
    if (run.span(j).first != run.first_year) continue;
    const int length = run.span(j).length();
    const auto col = s.first_measurements.column(j);
    // A series that lies wholly within the single-series years keeps all its rings.
    const int skip = length - s.nss1 > 0 ? s.nss1 : 0;
    std::vector<float> rings(col.begin() + skip, col.begin() + length);
    s.first_pass_mean[at(j)] = mnsd(rings).mean + run.a.added_constant;
    s.anchor_series = j;
    s.anchor_length = length - skip;
  }
}

// Steps 11 to 16: the standard chronology and its re-centring.
void standard_chronology(EngineRun& run) {
  EngineArgs& a = run.a;
  SigfreeState& s = run.s;
  YearlyMean m =
      sf::robsum(a.year_matrix, run.n, run.nseries, a.mean_type, run.con(), run.first_call);
  a.sample_depth = m.depth;
  for (int k = 1; k <= run.n; ++k) {
    a.standard.at(k, 1) = m.mean[at(k)];
    a.standard.at(k, 2) = m.spread[at(k)];
  }
  if (a.mean_type == kBiweightMeanType) {
    a.iteration = 0;
    if (run.first_call) {
      spaghetti(
          run.io.plots, m.weights, run.n, 4, std::vector<float>{kNoReference}, run.first_year,
          {"Years", "Biweights",
           run.raw() ? "Biweights For Raw Data Chronology" : "Biweights For Standard Chronology",
           Layout("(a,i3)").write("Iteration:", 0), "hh,med,hl,min biwgts"});
    }
  }
  const std::span<float> chron = a.standard.column(1);
  const std::span<const int> depth = a.sample_depth;
  if (run.first_call) s.chronology_mean = mean_with_depth(chron, depth, 1, run.n);
  for (int k = 1; k <= run.n; ++k) {
    if (depth[at(k)] == 0) continue;
    chron[at(k)] = chron[at(k)] - s.chronology_mean + 1.0f;
    a.rbar_chronology.at(k, 1) = chron[at(k)];
  }
  clamp_negative(chron, depth);
  for (int k = 1; k <= run.n; ++k) a.rbar_yearly.at(k, 1) = static_cast<float>(depth[at(k)]);

  leading_years(run);
  if (run.first_call) {
    run.con().say(
        Layout("(a,i3,2x,i3)").write("nss1,nss2 skip first number of years: ", s.nss1, s.nss2));
    const float m1 = mean_with_depth(chron, depth, s.nss1 + 1, run.n);
    for (int k = 1; k <= run.n; ++k) {
      if (depth[at(k)] == 0) continue;
      chron[at(k)] = chron[at(k)] - m1 + 1.0f;
      a.iteration_chronologies.at(k, 1) = chron[at(k)];
    }
  }
  anchor_series(run);

  const float mc = mean_with_depth(chron, depth, s.nss1 + 1, run.n);
  if (a.unit_mean_switch == 'y') {
    for (int k = 1; k <= run.n; ++k) {
      if (depth[at(k)] > 0) chron[at(k)] = chron[at(k)] - mc + 1.0f;
    }
  }
  clamp_negative(chron, depth);
  for (int k = 1; k <= run.n; ++k) a.signal_free.at(k, 1) = chron[at(k)];
  run.previous.assign(chron.begin(), chron.end());

  if (run.first_call) {
    const std::vector<float> one(count(run.n), 1.0f);
    line_page(run, chron, one,
              {"Years", "Indices",
               run.raw() ? "Original Non-Variance Stabilized Raw Data Indices"
                         : "Original Non-Variance Stabilized Standard Indices",
               "", ""},
              kNoReference, run.first_year);
  }
  if (a.rbar_window != 0) stabilise_chronology(run, false);
}

}  // namespace

void EngineRun::report(std::string_view line) {
  if (io.units.is_open(pelliform_unit::report)) io.units.write(pelliform_unit::report, line);
}

void clamp_negative(std::span<float> chron, std::span<const int> depth) {
  for (std::size_t k = 0; k < chron.size(); ++k) {
    if (depth[k] > 0 && chron[k] < 0.0f) chron[k] = 0.0f;
  }
}

PlotExit line_page(EngineRun& run, std::span<const float> s1, std::span<const float> s2,
                   const LineTexts& texts, float reference, int first_year) {
  const std::vector<float> ref(s1.size(), reference);
  return plot1(run.io.plots, s1, s2, first_year, texts, ref);
}

// The series files' units: measurements, curves, indices.
constexpr std::array<int, 3> kSeriesUnits{
    pelliform_unit::series_data, pelliform_unit::series_curves, pelliform_unit::series_indices};

void open_series_files(EngineRun& run, bool signal_free) {
  EngineArgs& a = run.a;
  const bool indices = signal_free || a.curve_fit_option != pfit::raw_average;
  for (int unit : {pelliform_unit::series_data, pelliform_unit::series_curves,
                   pelliform_unit::series_indices}) {
    if (unit == pelliform_unit::series_indices && !indices) continue;
    a.file_name = series_file_name(a, run.stem, signal_free, unit);
    run.io.units.create(unit, a.file_name);
    run.io.units.write(unit, field(a.title[0], 88));
  }
}

SeriesRecords series_records(const EngineRun& run, int j, const SeriesFileValues& values,
                             std::string_view code) {
  const std::string id = at(j) < run.a.ids.size() ? run.a.ids[at(j)] : std::string();
  const std::string c(code);
  const std::array<std::pair<std::span<const float>, std::string>, 3> files{
      {{values.data, c + "raw"}, {values.curves, c + "crv"}, {values.indices, c + "ind"}}};
  SeriesRecords records;
  for (std::size_t f = 0; f < files.size(); ++f) {
    const std::span<const float> values = files[f].first;
    if (const auto k = ring_misfit(values)) {
      const int year = run.span(j).first + static_cast<int>(*k);
      records.left_out[f] =
          std::isfinite(values[*k])
              ? Layout("(a,' in ',i0,' holds ',f0.3)").write(trim_right(id), year, values[*k])
              : Layout("(a,' in ',i0,' holds no number')").write(trim_right(id), year);
      continue;
    }
    std::ostringstream text;
    trrw_write(text, TucsonMode::mw, id, run.span(j).first, values, {}, files[f].second);
    records.text[f] = text.str();
  }
  return records;
}

void write_series_records(EngineRun& run, const SeriesRecords& records) {
  for (std::size_t f = 0; f < kSeriesUnits.size(); ++f) {
    if (!run.io.units.is_open(kSeriesUnits[f])) continue;
    if (!records.left_out[f].empty() && run.left_out[f]++ == 0) {
      run.first_left_out[f] = records.left_out[f];
    }
    run.io.units.out(kSeriesUnits[f]) << records.text[f];
  }
}

void each_series(EngineRun& run, const std::function<void(int, Console&)>& work,
                 const std::function<void(int)>& done) {
  std::vector<std::string> said(count(run.nseries));
  parallel_ordered(
      run.nseries,
      [&](int item) {
        stop_if_interrupted();
        std::istringstream no_answers;
        std::ostringstream lines;
        Console con(no_answers, lines);
        work(item + 1, con);
        said[at(item + 1)] = lines.str();
      },
      [&](int item) {
        // The threads may have run ahead of the files: the calling thread looks too.
        stop_if_interrupted();
        std::string& text = said[at(item + 1)];
        if (!text.empty()) run.con().out() << text;
        text = std::string();
        if (done) done(item + 1);
      },
      run.threads());
}

void close_series_files(EngineRun& run) {
  for (std::size_t f = 0; f < kSeriesUnits.size(); ++f) {
    const int unit = kSeriesUnits[f];
    if (!run.io.units.is_open(unit)) continue;
    const std::string& name = run.io.units.name(unit);
    if (run.left_out[f] > 0) {
      run.s.left_out_notes[name] = {
          Layout("(' *** ',i0,' series left out of ',a,', whose records hold -9.998 to 99.999:')")
              .write(run.left_out[f], name),
          "     " + run.first_left_out[f]};
    } else {
      run.s.left_out_notes.erase(name);
    }
    run.left_out[f] = 0;
    run.io.units.close(unit);
  }
}

bool first_pass(EngineRun& run) {
  EngineArgs& a = run.a;
  size_tables(run);
  segment_length_and_age(run);
  run.stem = file_stem(a.data_file_name);
  open_series_files(run, false);

  sf::RegionalCurve curve;
  if (run.rcs && !initial_regional_curve(run, curve)) {
    close_series_files(run);
    return false;
  }
  a.year_matrix.fill(kEmptyCell);
  first_pass_series(run, curve);
  if (run.rcs) {
    plt2(run.io.plots, run.s.first_indices, run.spans().first(at(run.nseries + 2)), kEmptyCell,
         a.index_mode != 0 ? "Initial RC Residual Indices" : "Initial RC Ratio Indices");
  }
  close_series_files(run);
  realign(run);
  standard_chronology(run);
  return true;
}

void sigfree(EngineArgs& args, SigfreeState& state, EngineIo io) {
  check_arguments(args);
  check_overlap(args);
  EngineRun run{args, state, io};
  run.nseries = args.series_count;
  run.first_year = args.summary().first;
  run.n = args.chronology_length();
  run.first_call = args.restart_counter == 0;
  run.calls = args.restart_counter + 1;
  run.entry_option = args.curve_fit_option;
  run.rcs = args.rcs_flag != 0;
  if (!first_pass(run)) return;
  stop_if_interrupted();
  if (!iterate(run)) return;
  stop_if_interrupted();
  finish_run(run);
}

}  // namespace dendro
