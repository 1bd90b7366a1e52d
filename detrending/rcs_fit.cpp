// The regional curve: the fit of the mean by age, its report, and the dialogue that shows
// the fit and lets the user truncate the fitting length or change the curve-fit option.
#include <algorithm>
#include <cmath>
#include <string>

#include "detrending/curve_fit.h"
#include "detrending/decade_plot.h"
#include "detrending/detrend.h"
#include "detrending/detrend_pass.h"
#include "detrending/indices.h"
#include "detrending/rcs_pith.h"
#include "detrending/rcs_steps.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kAnswerWidth = 10;
constexpr std::size_t kLengthWidth = 40;  // the new curve length answer
// The plot parameter of every regional curve fit.
constexpr float kRegionalCurveMark = fit::regional_curve;

// The report legend's lines before those of the curve-fit codes (written from column 3).
constexpr const char* kLegendSmoothers[] = {
    "   -5: friedman variable span smoother f(i) = variable span smooth",
    "   -4: lowess robust smoother         f(i) = lowess robust smooth",
    "   -3: median smoothing               f(i) = median sharp/smooth",
    "  -2:  regional curve detrending      f(i) = one age-aligned curve",
    "  -1:  first-differences              f(i) = y(i) - y(i-1)"};

// The smoothers the change dialogue offers, before the curve-fit codes.
constexpr const char* kSmootherList[] = {
    "  -6:  age dependent spline",
    "  -5:  friedman super smoother        lower alpha (0-9) gives more local fit",
    "  -4:  robust lowess smoother         integer percent of series length",
    "  -3:  median smoothing               must have odd window length"};

}  // namespace

void RegionalCurve::fit_regional_curve() {
  write_legend();
  // Each round fits the current option; a changed option starts a new round.
  for (;;) {
    apply_parameter_rule();
    fit();
    guard();
    if (!negative_) {
      write_coefficients();
      indices_of_mean();
    }
    if (inspect() == Decision::accept) return;
  }
}

void RegionalCurve::write_legend() {
  Units& u = io_.units;
  u.write(unit::out, Layout("(/t2,80('='))").write());
  u.write(unit::out, Layout("(t2,'regional curve estimation')").write());
  coef_ = Coefficients{};
  if (!series_statistics_printed(io_.icommands[opt::printout])) return;
  u.write(unit::out, io_.icommands[opt::robust_detrending] == 1
                         ? Layout("(/t2,'|--------------- growth curve used ','for "
                                  "detrending tree-ring data --------------|')")
                               .write()
                         : Layout("(/t2,'|----------- robust growth curve used ','for "
                                  "detrending tree-ring data -----------|')")
                               .write());
  u.write(unit::out, "  option");
  const Layout line("(t3,a)");
  for (const char* text : kLegendSmoothers) u.write(unit::out, line.write(text));
  for (const char* text : kFitCodeLines) u.write(unit::out, line.write(text));
  u.write(
      unit::out,
      Layout("(/t4,'(a, b, c are coefficients, d is intercept ','or asymptote, p is pith offset)')")
          .write());
  u.write(unit::out, Layout("(/t2,'series   ident     option       ','a           b           c    "
                            "       d         p')")
                         .write());
}

// Windows and spline stiffnesses in percent of the fitting length become lengths.
void RegionalCurve::apply_parameter_rule() {
  if (fit::spline_code(option_)) parameter_ = option_;
  if (!window_code(option_) && !fit::percent_spline(option_)) return;
  const int n = fit_length_;
  if (parameter_ > n) parameter_ = n;
  if (parameter_ < 0) {
    parameter_ = static_cast<int>(static_cast<float>(n) *
                                  std::fabs(static_cast<float>(parameter_)) / 100.0f);
    if (option_ == fit::running_median && parameter_ % 2 == 0) --parameter_;
  }
}

// Fits the first n rows of the mean; the parametric curves cover all L rows, the smoothers
// only the n rows fitted (the rest stays 0).
void RegionalCurve::fit() {
  tsi1_.overlay = mean_;
  work_ = mean_;
  const std::span<float> curve = v_.curve.first(count(length_));
  std::fill(curve.begin(), curve.end(), 0.0f);
  negative_ = false;
  const CurveFit f = detrend1(std::span<float>(work_).first(count(fit_length_)), curve, option_,
                              parameter_, io_.con);
  if (f.too_short) {
    io_.con.say(" *** rcs curve: " + std::to_string(fit_length_) +
                " ages, too few for the curve of option " + std::to_string(option_) +
                ": the horizontal line through the mean is used");
  }
  coef_ = f.coef;
  coef_.plot = kRegionalCurveMark;
  fitted_option_ = f.option;
  parameter_ = f.parameter;
}

// A curve value of 0 or below (or not a number) at any age would make no index there.
void RegionalCurve::guard() {
  for (int r = 1; r <= length_; ++r) {
    const float v = v_.curve[at(r)];
    if (v > 0.0f) continue;
    io_.con.say(Layout("('*** rcs growth curve goes negative! ','***'/'year: ',i6,f7.3+)")
                    .write(r + alignment_.smallest_offset, finite_or(shown_curve_value(v), 0.0)));
    negative_ = true;
    io_.con.pause(" hit <ret> to display the dirty dog!");
    return;
  }
}

void RegionalCurve::write_coefficients() {
  if (!series_statistics_printed(io_.icommands[opt::printout])) return;
  const char* text = nullptr;
  const int o = fitted_option_;
  if (o == fit::running_median) text = "median smoothed rcs curve and window width";
  if (o == fit::lowess) text = "lowess smoothed rcs curve and window width";
  if (o == fit::super_smoother) text = "friedman variable span smoothed rcs curve";
  if (fit::spline_code(o)) text = "spline smoothed rcs curve and window width";
  if (text != nullptr) {
    io_.units.write(unit::out,
                    Layout("(t2,'  all',3x,'  rcs ',i5,i7,3x,a)").write(o, parameter_, text));
    return;
  }
  const int p = simplex_code(o) ? static_cast<int>(coef_.p) : 0;
  io_.units.write(unit::out, Layout("(t2,'  all',3x,'  rcs ',i8,2x,4f12.6,i8)")
                                 .write(o, coef_.a, coef_.b, coef_.c, coef_.d, p));
}

void RegionalCurve::indices_of_mean() {
  tsi1_.overlay = mean_;
  calind(tsi1_.overlay, v_.curve.first(count(length_)), io_.icommands[opt::index_calculation]);
  const int printout = io_.icommands[opt::printout];
  if (fit_plots_printed(printout)) {
    pltdec1(mean_, v_.curve.first(count(length_)), tsi1_.overlay, 1, decade_block_length(length_),
            io_.units, unit::out, printout, io_.icommands[opt::interactive], io_.con);
  }
}

bool RegionalCurve::wants_inspection() const {
  const int summary = io_.icommands[opt::summary_plots];
  return io_.icommands[opt::interactive] == interactive_mode::detrending ||
         fit_plot_ == plot_switch::on || negative_ || various_summary_plots_on(summary);
}

RegionalCurve::Decision RegionalCurve::inspect() {
  // Each round shows the fit; the stop question's "n" comes back here.
  for (;;) {
    if (!wants_inspection()) return Decision::accept;
    show_fit();
    if (io_.con.ask_yes_no("truncate rcs calculation length? y/<n>/h", Meaning::no) ==
        Meaning::yes) {
      truncate();
    }
    for (int round = 0;; ++round) {
      if (round > 0) io_.con.again();
      const Answer a = io_.con.ask("change curve fit? y/<n>/h", 1);
      const Meaning m = a.meaning({.help = true, .yes_no = true, .blank = Meaning::no});
      if (m == Meaning::value) io_.con.say(refusal(a, "enter y or n, or h for help"));
      if (m == Meaning::help) {
        write_option_list();
        continue;
      }
      if (m == Meaning::yes) {
        if (change_option()) return Decision::refit;
        continue;
      }
      if (m == Meaning::no) break;
    }
    if (!negative_) return Decision::accept;
    io_.con.say("the program will terminate now if");
    io_.con.say("you do not change the curve fit");
    io_.con.say("option to avoid a negative fit.");
    if (stop_confirmed(io_.con)) terminate_run();
  }
}

void RegionalCurve::show_fit() {
  if (!io_.plots.page) {
    plot_not_available(io_.con);
    return;
  }
  const std::size_t n = count(length_);
  const std::vector<float> ones(n, 1.0f);
  const std::string name(trim_right(io_.commands.get(Commands::kNameFirst, Commands::kNameLast)));
  const ChronologyPlot page =
      two_panels(mean_, v_.curve.first(n), tsi1_.overlay, ones, length_, 1, name,
                 {" rcs growth trend", " rcs residuals", "measurements (y)", "indices (z)", 1, 6});
  io_.plots.page(page, fit_plot_);
}

// A shorter fitting length: the curve is fitted to the first n ages and still covers all.
void RegionalCurve::truncate() {
  io_.con.say(Layout("('new length must be <',i4,' years')").write(length_));
  const int l = length_;
  fit_length_ = static_cast<int>(
      ask_between(io_.con, "please enter the new rcs curve length", kLengthWidth, 1, l));
  io_.units.write(unit::out,
                  Layout("(16x,'*** rcs curve and data truncated for fitting at age: ',i5)")
                      .write(fit_length_));
  fit();
  // Ages beyond the fitted ones need a positive curve too: a smoother leaves them at 0.
  guard();
  if (!negative_) indices_of_mean();
  show_fit();
}

// True when a new option was chosen.
bool RegionalCurve::change_option() {
  const Answer a = io_.con.ask("enter new option (h for help)", kAnswerWidth);
  const std::optional<long long> code = a.integer();
  // The codes refused would turn the mean by age into something that is not a curve (first
  // differences rewrite it).
  if (!code || !changes_fit_to(*code)) {
    if (a.meaning({.help = true}) != Meaning::help) {
      io_.con.say(refusal(a, "enter one of the curve fits below"));
    }
    write_option_list();
    return false;
  }
  option_ = static_cast<int>(*code);
  parameter_ = window_code(option_) ? ask_window() : 0;
  return true;
}

int RegionalCurve::ask_window() {
  const int n = fit_length_;
  const bool median = option_ == fit::running_median;
  long long w = ask_window_entry(io_.con, median, n);
  if (w < 0) {
    w = static_cast<long long>(static_cast<float>(n) * static_cast<float>(-w) / 100.0f);
  }
  if (median && w % 2 == 0) --w;
  return static_cast<int>(w);
}

void RegionalCurve::write_option_list() {
  io_.con.say("you can change the current curve fit with any one of the following options:");
  for (const char* line : kSmootherList) io_.con.say(line);
  for (const char* line : kFitCodeLines) io_.con.say(line);
}

void RegionalCurve::terminate_run() {
  io_.con.say("okay, hasta la vista, baby!");
  throw NegativeCurveStop();
}

}  // namespace dendro
