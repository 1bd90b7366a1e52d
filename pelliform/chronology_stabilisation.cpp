// The running-RBAR and spline stabilisation of the standard and signal-free chronologies.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "pelliform/age_spline_stabilisation.h"
#include "pelliform/dialogue.h"
#include "pelliform/engine_run.h"
#include "pelliform/running_rbar.h"
#include "pelliform/yearly_mean.h"
#include "series/console.h"
#include "series/files/forms.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/stabilise.h"

namespace dendro {
namespace {

// Spline stabilisation codes: none, the age-dependent spline (by stabit), or a smoothing
// spline of that many years (10 and above) or percent of the length (-10 and below).
constexpr int kNoSplineStabilisation = 0;
constexpr int kAgeDependent = 1;

// The words of one chronology's titles and legends.
struct Names {
  std::string kind;  // "Standard", "Raw Data" or "Signal Free"
  std::string code;  // "STD", "RAW" or "SSF"
};

Names names_of(const EngineRun& run, bool signal_free) {
  if (signal_free) return {"Signal Free", "SSF"};
  return run.raw() ? Names{"Raw Data", "RAW"} : Names{"Standard", "STD"};
}

std::string window_legend(std::string_view head, int window) {
  return Layout(window < 100 ? "(a,i2,a)" : "(a,i3,a)").write(head, window, " Yrs)");
}

void rbar_plots(EngineRun& run, bool signal_free) {
  const EngineMatrix& y = run.a.rbar_yearly;
  std::vector<float> r1(count(run.n)), r2(r1.size()), e1(r1.size()), e2(r1.size());
  namespace col = rbar_yearly_column;
  for (int k = 1; k <= run.n; ++k) {
    r1[at(k)] = y.at(k, col::rbar1);
    r2[at(k)] = y.at(k, col::rbar2);
    e1[at(k)] = yearly_eps(r1[at(k)], y.at(k, col::depth));
    e2[at(k)] = yearly_eps(r2[at(k)], y.at(k, col::depth));
  }
  const std::string kind = names_of(run, signal_free).kind;
  const int w = run.a.rbar_window;
  line_page(run, r1, r2,
            {"Years", "RBAR",
             signal_free ? "Signal Free Indices Running Correlations"
                         : kind + " Indices Running Average Correlations",
             window_legend("Running RBAR (", w),
             signal_free ? "Constant Sample RBAR" : " Constant Sample RBAR"},
            kNoReference, run.first_year);
  line_page(run, e1, e2,
            {"Years", "EPS", kind + " Indices Running EPS", window_legend(" Running EPS (", w),
             "  Constant Sample EPS"},
            kEpsThreshold, run.first_year);
}

// Re-centres the chronology and its stabilised copy on 1.0 over years nss1+1..N.
void recentre(EngineRun& run, std::span<float> chron, std::span<float> stab, bool signal_free) {
  const std::span<const int> depth = run.a.sample_depth;
  const int from = run.s.nss1 + 1;
  const float mo = mean_with_depth(chron, depth, from, run.n);
  const float ms = mean_with_depth(stab, depth, from, run.n);
  const auto means = [](const char* label, float original, float stabilised) {
    return Layout("(a,2f8.4+)").write(label, original, stabilised);
  };
  if (signal_free) run.con().say(means("Orig/Stab Means1: ", mo, ms));
  for (int k = 1; k <= run.n; ++k) {
    if (depth[at(k)] == 0) continue;
    chron[at(k)] = std::max(chron[at(k)] - mo + 1.0f, 0.0f);
    stab[at(k)] = std::max(stab[at(k)] - ms + 1.0f, 0.0f);
  }
  if (signal_free) {
    run.con().say(means("Orig/Stab Means2: ", mean_with_depth(chron, depth, from, run.n),
                        mean_with_depth(stab, depth, from, run.n)));
  }
}

// "Happy with this spline stabilization? <Y>/N": true for yes or a blank, false for no.
bool happy_with_spline(Console& con) {
  for (;;) {
    const Meaning happy = ask50(con, "Happy with this spline stabilization? <Y>/N", 10)
                              .meaning({.yes_no = true, .blank = Meaning::yes});
    if (happy != Meaning::value) return happy == Meaning::yes;
    con.say("Y or <RET> for Yes or N for no, okay?");
    con.again();
  }
}

// The spline pass of step 6 on the running-RBAR stabilised chronology; true when the
// user keeps the result.
bool spline_pass(EngineRun& run, std::span<const float> stabilised, std::vector<float>& result,
                 bool signal_free) {
  EngineArgs& a = run.a;
  const Names names = names_of(run, signal_free);
  for (int round = 0; round < kMaxDialogueRounds; ++round) {
    const int option = a.spline_stabilisation;
    std::vector<float> work(stabilised.begin(), stabilised.end());
    std::vector<float> curve(work.size(), 0.0f);
    result = work;
    if (option == kNoSplineStabilisation) return false;
    std::string legend;
    if (option == kAgeDependent) {
      sf::stabit(work, curve, result, a.sample_depth, run.con());
      legend = "Age-Dependent Spline";
    } else {
      int w = option;
      stabit1(work, curve, result, a.sample_depth, w, &run.con());
      if (std::abs(option) >= 10) legend = Layout("(a,i5)").write("Spline in Yrs:", option);
    }
    line_page(run, work, curve,
              {"Years", "Indices",
               signal_free ? "Spline Detrending of RBAR Stabilized Signal Free Indices"
                           : "Spline Detrending of Running RBAR Stabilized Indices",
               "  Absolute Differences", legend},
              kNoReference, run.first_year);
    line_page(run, stabilised, result,
              {"Years", "Indices",
               signal_free ? "RBAR Only Vs. Detrended RBAR Stabilized Sig Free Indices"
                           : "RBAR Only Vs. Detrended RBAR Stabilized Standard Indices",
               "RBAR Stablized " + names.code + " Crn", "DETR Stablized " + names.code + " Crn"},
              kNoReference, run.first_year);
    if (happy_with_spline(run.con())) return true;
    a.spline_stabilisation = ask_spline_stabilisation(run.con());
  }
  throw Stop("*** no answer to the spline stabilisation question: run ended", kFailureStatus);
}

}  // namespace

void stabilise_chronology(EngineRun& run, bool signal_free) {
  EngineArgs& a = run.a;
  const Names names = names_of(run, signal_free);
  if (signal_free) {
    run.con().say("Perform signal free indices running rbar calculations");
  } else if (run.first_call) {
    run.con().say(run.raw() ? "Perform raw data indices running rbar calculations"
                            : "Perform standard indices running rbar calculations");
  }
  a.file_name = run.stem + (signal_free ? pelliform_names::kSignalFreeRbar
                            : run.raw() ? pelliform_names::kRawRbar
                                        : pelliform_names::kStandardRbar);
  run.io.units.create(pelliform_unit::rbar, a.file_name);
  RunningRbar r = runbar(a.year_matrix, run.spans().first(at(run.nseries + 2)),
                         a.rbar_chronology.column(rbar_chronology_column::chronology),
                         a.rbar_yearly.column(rbar_yearly_column::depth), a.rbar_window,
                         a.rbar_window - 1, run.threads());
  if (a.restart_counter == 0) say_runbar_settings(r, run.con());
  write_runbar_table(r, run.first_year, run.io.units, pelliform_unit::rbar);
  run.io.units.close(pelliform_unit::rbar);
  a.rbar_window = r.window;
  a.rbar_chronology = std::move(r.chronology);
  a.rbar_windows = std::move(r.windows);
  a.rbar_yearly = std::move(r.yearly);
  if (signal_free || run.first_call) rbar_plots(run, signal_free);

  const int column = signal_free ? 2 : 1;
  const std::span<float> chron = (signal_free ? a.signal_free : a.standard).column(1);
  const std::span<float> stab = a.stabilised.column(column);
  for (int k = 1; k <= run.n; ++k)
    stab[at(k)] = a.rbar_chronology.at(k, rbar_chronology_column::rbar2_stabilised);
  recentre(run, chron, stab, signal_free);
  // A restart call keeps the standard chronology's running-RBAR result without plots or
  // questions: the user settled them on the first call.
  if (!signal_free && !run.first_call) return;
  const bool raw_sf = signal_free && run.raw();
  line_page(run, chron, stab,
            {"Years", "Indices",
             signal_free ? "Original vs. Running RBAR Stabilized Signal Free Indices"
                         : "Original Vs. Running RBAR Stabilized " + names.kind + " Indices",
             signal_free ? (raw_sf ? "Orig Mean-Adjust RAW" : "Orig Signal Free STD")
                         : "Original " + names.code + " Chronology",
             signal_free ? (raw_sf ? "Stab Mean-Adjust RAW" : "Stab Signal Free STD")
                         : "Stable " + names.code + " Chronology"},
            kNoReference, run.first_year);

  std::vector<float> result;
  const std::vector<float> rbar_only(stab.begin(), stab.end());
  if (spline_pass(run, rbar_only, result, signal_free)) {
    std::copy(result.begin(), result.end(), stab.begin());
  }
}

}  // namespace dendro
