#include "pelliform/option_dialogue.h"

#include <optional>
#include <string>

#include "pelliform/dialogue.h"
#include "pelliform/fit_codes.h"
#include "pelliform/pith_offsets.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kAnswerWidth = 10;
constexpr int kDefaultWindow = 51;
constexpr int kShortestWindow = 25;
constexpr float kBraskoThreshold = 0.0005f;
constexpr float kDefaultThreshold = 0.0001f;

// The trimmed answer; "/" ends the run.
std::string answer_or_stop(const Answer& a) { return std::string(trim_right(a.or_quit().text)); }

void general_menu(PelliformRun& run) {
  Console& con = run.con;
  con.say("General Curve fit options:");
  con.say("");
  con.say("Spline percent N filter (variable)  .le.  -10");
  const Layout row("(a,t45,a)"), row1("(a,t46,a)");
  struct Row {
    const char* text;
    const char* code;
  };
  for (const Row& r :
       {Row{"Friedman variable span smoother", "-5"},
        Row{"Regional Curve Standardization (RCS)", "-2"},
        Row{"Raw data average, followed by Opt 6", "0"}, Row{"Neg Expon/linear any slope", "1"},
        Row{"Neg Expon/linear neg slope", "2"}, Row{"Linear regression any slope", "3"},
        Row{"Linear regression neg slope", "4"}, Row{"Horizontal line through mean", "6"},
        Row{"Age-dependent spline smoothing", "<8>"}, Row{"Median segment length spline", "9"},
        Row{"Spline filter in years (fixed .ge. 10)", "10"}}) {
    con.say((std::string(r.code).size() == 1 ? row1 : row).write(r.text, r.code));
  }
  con.prompt(Layout("(t50,'==> ')").write());
}

// The report row of a curve-fit code; empty for the codes without one (-9 to -6).
std::string fit_row(int code, int median_length) {
  if (pfit::percent_spline(code)) return "SPLINE PCT N FILTER (VARIABLE) .LE. -10:";
  switch (code) {
    case pfit::super_smoother:
      return "FRIEDMAN VARIABLE SPAN SMOOTHER AND ALPHA:";
    case pfit::regional_curve:
      return "REGIONAL CURVE STANDARDIZATION (RCS):";
    case pfit::raw_average:
      return "NO DETRENDING (MEAN OF RAW DATA):";
    case pfit::neg_exponential:
      return "NEG EXPON/LINEAR ANY SLOPE:";
    case pfit::neg_exponential_or_falling_line:
      return "NEG EXPON/LINEAR NEG SLOPE:";
    case pfit::line:
      return "LINEAR REGRESSION ANY SLOPE:";
    case pfit::falling_line:
      return "LINEAR REGRESSION NEG SLOPE:";
    case pfit::horizontal_mean:
      return "HORIZONTAL LINE THROUGH MEAN:";
    case pfit::age_spline:
      return "AGE-DEPENDENT SPLINE SMOOTHING:";
    default:
      break;
  }
  if (code == pfit::median_length_spline && median_length == pfit::median_length_spline)
    return "MEDIAN SEGMENT LENGTH SPLINE:";
  if (pfit::fixed_spline(code)) return "SPLINE FILTER IN YEARS (FIXED) .GE. 10:";
  return "";
}

void report_fit(PelliformRun& run, int code) {
  run.report("");
  run.report("CURVE FIT OPTION:");
  const std::string row = fit_row(code, run.median_length);
  if (row.empty()) return;
  if (code == pfit::super_smoother) {
    run.report(
        Layout("(a,'  OPT',2i5)").write(row, code, static_cast<int>(run.args.curve_fit_parameter)));
  } else {
    run.report(Layout("(a,'  OPT',i5)").write(row, code));
  }
}

// A window width for the regional-curve lowess or running medians: a fixed width above 2
// (odd for the medians), or a percent of the series length, -1 to -100; nothing, after
// saying why, for any other answer.
std::optional<int> rcs_window(PelliformRun& run, bool medians) {
  Console& con = run.con;
  con.say(medians ? "enter the median window width" : "enter the lowess window width");
  con.say(medians ? "fixed for all series: a positive odd integer >2"
                  : "fixed for all series: a positive integer >2");
  con.say("and less then the shortest series length, or");
  con.say("percent of series length: a negative integer");
  const Answer a = con.ask("between -1 and -100, inclusive", kAnswerWidth);
  const std::optional<long long> w = a.integer();
  if (!w || (*w >= 0 && *w <= 2) || *w < -100 || (medians && *w > 0 && *w % 2 == 0)) {
    con.say(entry_refusal(a.typed, medians ? "an odd width >2 or a percent -1 to -100"
                                           : "a width >2 or a percent -1 to -100"));
    return std::nullopt;
  }
  return static_cast<int>(*w);
}

// The regional-curve menu of a retry; false sends the user back to the general menu.
bool rcs_menu(PelliformRun& run) {
  Console& con = run.con;
  // Each pass reads an answer, so the end of the input ends the loop.
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    con.say("");
    con.say("Select RCS curve fit options:");
    con.say("");
    for (const char* row :
         {"  -5:  friedman super smoother        lower alpha (0-9) gives more local fit",
          "  -4:  robust lowess smoother         integer percent of series length <Not Yet>",
          "  -3:  median smoothing               must have odd window length <full length only>",
          "  -2:  Age-dependent spline smoothing",
          "   1:  neg expon curve, no = opt 4    f(i) = a*exp(-b*t(i)) + d    (d>0)",
          "   2:  neg expon curve, no = opt 5    f(i) = a*exp(-b*t(i)) + d    (d>0)",
          "   3:  neg expon curve  (general)     f(i) = a*exp(-b*t(i+p)) + d (any d)",
          "   4:  linear regression (any slope)  f(i) = +/-c*t(i) + d",
          "   5:  linear regression (neg slope)  f(i) = -c*t(i) + d   ",
          "   6:  horizontal line through mean   f(i) = mean(y(i)) = d",
          "   7:  hugershoff growth function     f(i) = a*t(i+p)**b * exp(-c*t(i+p)) + d",
          "   8:  general exponential (b = 1)    f(i) = a*t(i+p)**b * exp(-c*t(i+p)) + d",
          "  >9: cubic smoothing spline         fixed 50 pct variance cutoff",
          " <-9: cubic smoothing spline         pct n 50 pct variance cutoff"}) {
      con.say(Layout("(t3,a)").write(row));
    }
    con.say("");
    con.prompt("enter  option  (x to start over)  ==> ");
    const std::optional<long long> code = con.read(kAnswerWidth).integer();
    if (!code) return false;
    int& parameter = run.args.rcs_parameter;
    if (*code == pfit::rc::super_smoother) {
      const std::optional<long long> alpha =
          ask50(con, "Enter tweeter alpha 0-9", kAnswerWidth).integer();
      if (!alpha || *alpha < 0 || *alpha > 9) {
        con.say("Friedman alpha not in admissible 0-9 range");
        continue;
      }
      parameter = static_cast<int>(*alpha);
    } else if (*code == pfit::rc::lowess || *code == pfit::rc::running_median) {
      const std::optional<int> w = rcs_window(run, *code == pfit::rc::running_median);
      if (!w) continue;
      parameter = *w;
    }
    run.args.curve_fit_option = static_cast<int>(*code);
    run.args.curve_fit_parameter = static_cast<float>(parameter);
    return true;
  }
}

}  // namespace

void index_question(PelliformRun& run) {
  run.args.index_mode = 0;
  run.args.power_transform = 0;
  // Each pass reads an answer, so the end of the input ends the loop.
  for (int round = 0;; ++round) {
    if (round > 0) run.con.again();
    const Answer c = ask50(run.con, "Compute Indices by [R]atios or residual[S]", 1);
    if (c.letter('r')) {
      run.report("TREE-RING INDICES ARE CALCULATED AS RATIOS OF EXPECTED GROWTH");
      return;
    }
    if (c.letter('s')) {
      run.args.index_mode = 1;
      run.report("TREE-RING INDICES ARE CALCULATED AS RESIDUALS FROM EXPECTED GROWTH");
      const Answer p = ask50(run.con, "Power transform data? [T]rue or [F]alse", 1);
      run.args.power_transform = p.letter('t') ? 1 : 0;
      return;
    }
    if (c.meaning({.quit = true}) == Meaning::quit) {
      run.con.say("Program Terminating");
      stop_quietly();
    }
    run.con.say("Error reading input [R] or [S]. Try again or enter / to exit");
  }
}

void curve_fit_question(PelliformRun& run) {
  EngineArgs& a = run.args;
  // Each pass reads an answer, so the end of the input ends the loop.
  for (int round = 0;; ++round) {
    if (round > 0) run.con.again();
    general_menu(run);
    const Answer answer = run.con.read(kAnswerWidth).or_quit();
    const std::optional<long long> typed =
        answer.blank() ? std::optional<long long>(pfit::age_spline) : answer.integer();
    if (!typed) {
      run.con.say(entry_refusal(answer.typed, "a curve fit option number"));
      continue;
    }
    int code = static_cast<int>(*typed);
    if (pfit::refused(code)) {
      run.con.say(Layout("('Invalid Entry :> ',i2)").write(code));
      run.con.pause("  Hit Return to try again.");
      continue;
    }
    if (code == pfit::median_length_spline) code = run.median_length;
    if (code == pfit::super_smoother) {
      const Answer typed_alpha = ask50(run.con, "Enter Friedman tweeter (alpha) 0-9", kAnswerWidth);
      const std::optional<double> alpha = typed_alpha.real();
      if (!alpha) {
        run.con.say(entry_refusal(typed_alpha.typed, "a Friedman tweeter (alpha) 0-9"));
        continue;
      }
      a.curve_fit_parameter = static_cast<float>(*alpha);
      if (*alpha < 0.0 || *alpha > 9.0) {
        run.con.say("Friedman tweeter not in admissible range");
        continue;
      }
    }
    a.curve_fit_option = code;
    report_fit(run, code);
    if (code != pfit::regional_curve) return;
    a.rcs_flag = 1;
    if (a.retry_rcs) {
      if (rcs_menu(run)) return;
      continue;
    }
    a.curve_fit_parameter = static_cast<float>(a.rcs_parameter);
    // Offsets follow the data file's series, whatever the series menu kept of them.
    pithy(run.con, run.units, pelliform_unit::pith, run.pith_offsets_read, a.pith_offset_flag,
          run.data_file, run.set.series_read);
    return;
  }
}

void mean_question(PelliformRun& run) {
  for (int round = 0;; ++round) {
    if (round > 0) run.con.again();
    run.con.say("How to calculate the mean chronology (/ to stop):");
    run.con.say(Layout("(a,t39,a)").write("Non-robust arithmetic mean", " 1 "));
    run.con.say(Layout("(a,t39,a)").write("Robust Tukey biweight mean", "<2>"));
    const std::string a =
        answer_or_stop(ask50(run.con, "Robust is default, hit <RET> if you want it", kAnswerWidth));
    if (a == "1") {
      run.args.mean_type = 1;
      run.report(Layout("('NON-ROBUST ARITHMETIC MEAN CHRONOLOGY CALCULATED:',i5)").write(1));
      return;
    }
    if (a.empty() || a == "2") {
      run.args.mean_type = 2;
      run.report(Layout("('TUKEY ROBUST BIWEIGHT MEAN CHRONOLOGY CALCULATED:',i5)").write(2));
      return;
    }
    run.con.say("Mean index choice not admissible");
  }
}

void window_questions(PelliformRun& run) {
  Console& con = run.con;
  int window = 0;
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    con.say("Enter running RBAR window width for variance");
    con.say("stabilization. Must be .ge. 25 years and odd.");
    const Answer a =
        ask50(con, "Default window width is 51 years, 0 to skip", kAnswerWidth).or_quit();
    const std::optional<long long> w =
        a.blank() ? std::optional<long long>(kDefaultWindow) : a.integer();
    if (!w) {
      con.say(entry_refusal(a.typed, "a window width in years, or 0 to skip"));
      continue;
    }
    if (*w == 0) {
      con.say("Running RBAR variance stabilization skipped");
      run.args.rbar_window = 0;
      return;
    }
    if (*w < kShortestWindow) {
      con.say("Running RBAR window width must be .ge. 25");
      continue;
    }
    window = static_cast<int>(std::min<long long>(*w, kMaxYears));
    if (window % 2 == 0) {
      ++window;
      con.say(Layout("('Running RBAR window width increased to make it odd: ',i5)").write(window));
    }
    break;
  }
  run.args.rbar_window = window;
  run.args.spline_stabilisation = ask_spline_stabilisation(con);
}

void convergence_questions(PelliformRun& run) {
  EngineArgs& a = run.args;
  Console& con = run.con;
  a.refit_switch = 'n';
  a.rescale_switch = 'y';
  a.difference_detrend_switch = 'y';
  a.convergence_threshold = kDefaultThreshold;
  bool chosen = false;
  for (int round = 0; !chosen; ++round) {
    if (round > 0) con.again();
    for (const char* line :
         {"Enter the signal free convergence test", "based on minimizing the mean absolute",
          "differences between the current and", "preceeding chronologies:   ",
          "  Original Brasko setting   1  0.0005", "  Current default setting  <2> 0.0001"}) {
      con.say(line);
    }
    const Answer choice = ask50(con, "  **** Roll Your Own ****   3  X.XXXX", kAnswerWidth);
    const std::string t = answer_or_stop(choice);
    if (t == "1") {
      a.convergence_threshold = kBraskoThreshold;
      chosen = true;
    } else if (t.empty() || t == "2") {
      chosen = true;
    } else if (t == "3") {
      const Answer own = ask50(con, "Okay, enter YOUR convergence test", kAnswerWidth);
      const std::optional<double> v = own.real();
      if (v) a.convergence_threshold = static_cast<float>(*v);
      if (!v) con.say(entry_refusal(own.typed, "a number"));
      chosen = v.has_value();
    } else {
      con.say(entry_refusal(choice.typed, "a choice of 1, 2 or 3"));
    }
  }
  char tweaks = ' ';
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    for (const char* line :
         {"Use VORN signal free convergence tweaks?", "Set each chronology mean to exactly 1.0",
          "and use the more robust median absolute", "differences instead of mean absolute",
          "differences for signal free convergence."}) {
      con.say(line);
    }
    const Meaning t = ask50(con, "Enter <y>/n (default is y for YES, / to exit)", 1)
                          .or_quit()
                          .meaning({.yes_no = true, .blank = Meaning::yes});
    tweaks = t == Meaning::yes ? 'y' : t == Meaning::no ? 'n' : ' ';
    if (tweaks != ' ') break;
    con.say("Answer not entered as y or n");
  }
  a.tweaks = a.unit_mean_switch = a.median_switch = tweaks;
  run.report("");
  run.report(tweaks == 'y' ? "VORN CONVERGENCE CRITERIA USED - SHOULD BE FASTER TO CONVERGE"
                           : "ORIGINAL CONVERGENCE CRITERIA USED - MAY BE SLOWER TO CONVERGE");
  run.report("");
  run.report(
      "FOR SPLINE AND FRIEDMAN FLEXIBLE CURVE FITS A COUNT-WEIGHTED CONVERGENCE CRITERION IS "
      "USED.");
  run.report(
      "THIS SPEEDS CONVERGENCE AND REDUCES THE CHANCES OF EXCESSIVE SIGNAL FREE INTERATIONS.");
}

void options_after_menu(PelliformRun& run) {
  curve_fit_question(run);
  mean_question(run);
  window_questions(run);
  convergence_questions(run);
}

}  // namespace dendro
