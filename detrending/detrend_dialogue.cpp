// The dialogue of a detrending pass: the fit on the screen, the question whether to change
// it, the new option and its parameter, and the stop question after a negative curve.
#include <algorithm>
#include <array>
#include <cstddef>
#include <string>

#include "detrending/curve_fit.h"
#include "detrending/detrend.h"
#include "detrending/detrend_pass.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/spline.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kAnswerWidth = 10;
constexpr int kBlanksTaken = 3;  // blank answers in a row that confirm the stop

// The smoothers the dialogue offers, before the curve-fit codes.
constexpr const char* kSmootherList[] = {
    "  -6:  age dependent spline",
    "  -5:  friedman super smoother        lower alpha (0-9) gives more local fit",
    "  -4:  robust lowess smoother         integer percent or fixed length of n",
    "  -3:  median smoothing               must have odd window length"};

}  // namespace

long long ask_window_entry(Console& con, bool median, int n) {
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    if (median) {
      con.say("enter the new median window width");
      con.say("fixed width: a positive odd integer >2");
    } else {
      con.say("enter the new lowess window width");
      con.say("fixed width: a positive integer >2");
    }
    con.say(Layout("('and < the series length (',i4,') or a')").write(n));
    con.say("percent length: a negative integer");
    const Answer a = con.ask("between -1 and -100, inclusive", kAnswerWidth);
    const std::optional<long long> entry = a.integer();
    if (entry && *entry < 0) return std::max(*entry, -100LL);
    if (entry && std::min<long long>(*entry, n) > 2) return std::min<long long>(*entry, n);
    con.say(refusal(a, "enter a width above 2, or -1 to -100 percent"));
  }
}

bool stop_confirmed(Console& con) {
  // A blank is asked again, as a slip of the Return key should not end the run; but
  // kBlanksTaken blanks in a row (a script feeding blank lines) are meant: the run ends.
  for (int blanks = 1;; ++blanks) {
    const Answer a = con.ask("is that what you really want? y/n", 1);
    if (!a.blank()) return a.meaning({.yes_no = true}) != Meaning::no;
    if (blanks == kBlanksTaken) return true;
    con.say(refusal(a, "enter y or n"));
    con.again();
  }
}

bool DetrendPass::wants_dialogue(const Current& s) const {
  return interactive_detrending(interactive_) || plot_flag_ == plot_switch::on || s.negative ||
         continued_;
}

DetrendPass::Decision DetrendPass::show_and_ask(Current& s) {
  show_fit(s);
  // The plot's "no more plots" may have been the only reason to stop here.
  if (!wants_dialogue(s)) return Decision::accept;
  for (;;) {
    con_.say("");
    const Answer a = con_.ask("change curve fit? y/<n>", 1);
    const Meaning m = a.meaning({.help = true, .yes_no = true, .blank = Meaning::no});
    if (m == Meaning::no) {
      if (con_.ask_yes_no("continue interactive detrending? <y>/n", Meaning::yes) == Meaning::no) {
        interactive_ = 0;
        plot_flag_ = 0;
      }
      return Decision::accept;
    }
    if (m == Meaning::help) {
      write_code_list();
      // A curve that went negative cannot stand: the question comes again.
      if (!s.unresolved) return Decision::accept;
    }
    if (m == Meaning::yes) return change_option(s);
    if (m == Meaning::value) con_.say(refusal(a, "enter y or n, or h for help"));
    con_.again();
  }
}

void DetrendPass::show_fit(Current& s) {
  // The smooth of the index panel: a spline of a tenth of the length, none for a curve
  // that went negative (or a series too short for the spline).
  std::vector<float> smooth(count(s.n), 1.0f);
  if (!s.negative) {
    s.unresolved = false;
    if (spline(series_values(s), smooth, s.n / 10, &con_).status != SplineStatus::ok &&
        !smooth.empty()) {
      smooth[0] = 0.0f;
    }
  } else if (!smooth.empty()) {
    smooth[0] = 0.0f;
  }

  std::string name = tsi1_.ids[at(s.i)];
  stringclean(name);
  const std::array<float, 7> coefficients = coef_.array();
  FitPage page;
  page.measurements = measurements(s);
  page.curve = std::span<const float>(curve_).first(count(s.n));
  page.start_curve = std::span<const float>(start_curve_).first(count(s.n));
  page.indices = series_values(s);
  page.smooth = smooth;
  page.start_flag = page.start_curve;
  page.plot_vector = plot_vector_;
  page.first_year = s.fy;
  page.name = std::string(trim_right(name));
  page.pass_label = !first_pass()                                     ? " 2nd detrending  "
                    : icommands_[opt::second_detrending] == fit::none ? " detrending      "
                                                                      : " 1st detrending  ";
  page.coefficients = coefficients;
  if (plots_.fit_page) {
    plots_.fit_page(page, plot_flag_, s.code);
  } else {
    con_.say(" plot not available");
  }
}

DetrendPass::Decision DetrendPass::change_option(Current& s) {
  write_code_list();
  const Answer a = con_.ask("enter new option (h for help)", kAnswerWidth);
  const std::optional<long long> code = a.integer();
  if (!code || !changes_fit_to(*code)) {
    if (a.meaning({.help = true}) != Meaning::help) {
      con_.say(refusal(a, "the curve fit in hand stays"));
    }
    write_code_list();
    return Decision::accept;
  }
  s.code = static_cast<int>(*code);
  s.parameter = 0;
  if (s.code == fit::super_smoother) {
    // After a negative curve under another pass option the smoother gets a middle alpha.
    s.parameter =
        (pass_option() != fit::super_smoother && s.negative) ? kChangedSmootherAlpha : ask_alpha();
  } else if (window_code(s.code)) {
    s.parameter = ask_window(s);
  }
  return Decision::refit;
}

int DetrendPass::ask_alpha() {
  for (int round = 0;; ++round) {
    if (round > 0) con_.again();
    con_.say("");
    con_.say("a super smoother alpha = 9 is");
    con_.say("for a very stiff local fit. reduce");
    con_.say("it between 0-8 to increase the local fit");
    con_.say("where alpha = 0 is the most flexible fit");
    const Answer a = con_.ask("so enter your alpha already!", kAnswerWidth);
    const std::optional<long long> alpha = a.integer();
    if (!alpha) {
      con_.say(refusal(a, "enter an alpha of 0 to 9"));
      continue;
    }
    if (*alpha >= 0 && *alpha <= 9) return static_cast<int>(*alpha);
    con_.say(Layout("(/'wake up! bad alpha: ',i2)").write(*alpha));
  }
}

int DetrendPass::ask_window(const Current& s) {
  const bool median = s.code == fit::running_median;
  const long long w = ask_window_entry(con_, median, s.n);
  // A percentage: the window rule of the refit turns it into a width.
  if (w < 0) return static_cast<int>(w);
  return static_cast<int>(median && w % 2 == 0 ? w - 1 : w);
}

void DetrendPass::write_code_list() {
  con_.say("");
  con_.say("you can change the current curve fit with any one of the following options:");
  con_.say("");
  for (const char* line : kSmootherList) con_.say(line);
  for (const char* line : kFitCodeLines) con_.say(line);
}

void DetrendPass::stop_question() {
  con_.say("");
  con_.say("the program will terminate now if");
  con_.say("you do not change the curve fit");
  con_.say("option to avoid a negative fit.");
  if (!stop_confirmed(con_)) return;
  terminate_run();
}

void DetrendPass::terminate_run() {
  con_.say("");
  con_.say("okay, hasta la vista, baby!");
  con_.say("");
  throw NegativeCurveStop();
}

}  // namespace dendro
