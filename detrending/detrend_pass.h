// The state and steps of one detrending pass (used by detrend.cpp and detrend_dialogue.cpp).
#pragma once

#include <string>
#include <vector>

#include "detrending/coefficients.h"
#include "detrending/detrend.h"
#include "series/blocks.h"

namespace dendro {

// The curve-fit codes 1 to 8 and the two spline codes with what each fits, as both the
// report's legend and the dialogue's list show them.
inline constexpr const char* kFitCodeLines[] = {
    "   1:  neg expon curve, no = opt 4    f(i) = a*exp(-b*t(i)) + d    (d>0)",
    "   2:  neg expon curve, no = opt 5    f(i) = a*exp(-b*t(i)) + d    (d>0)",
    "   3:  neg expon curve  (general)     f(i) = a*exp(-b*t(i)) + d   (any d)",
    "   4:  linear regression (any slope)  f(i) = +/-c*t(i) + d",
    "   5:  linear regression (neg slope)  f(i) = -c*t(i) + d   ",
    "   6:  horizontal line through mean   f(i) = mean(y(i)) = d",
    "   7:  hugershoff growth function     f(i) = a*t(i+p)**b * exp(-c*t(i+p)) + d",
    "   8:  general exponential (b = 1)    f(i) = a*t(i+p)**b * exp(-c*t(i+p)) + d",
    "  >9:  cubic smoothing spline         fixed 50 pct variance cutoff",
    " <-9:  cubic smoothing spline         pct n 50 pct variance cutoff"};

// Asks the window of a running median (`median`) or lowess refit of a series of `n` values
// until the answer is a fixed width above 2 (cut to n) or a percent of the length, -1 to
// -100 (below that, -100); refuses any other answer, saying why.
long long ask_window_entry(Console& con, bool median, int n);

// The super smoother's alpha when a series is changed to it without a question.
inline constexpr int kChangedSmootherAlpha = 5;

// The option table's values that belong to one pass: its curve-fit option, the option's
// parameter and its plot flag.
struct PassOptions {
  OptionElement fit;
  OptionElement parameter;
  OptionElement plots;
};

inline constexpr PassOptions pass_options(DetrendingPass pass) {
  return pass == DetrendingPass::first
             ? PassOptions{opt::first_detrending, opt::first_detrending_parameter,
                           opt::first_detrending_plots}
             : PassOptions{opt::second_detrending, opt::second_detrending_parameter,
                           opt::second_detrending_plots};
}

// One series' curve or indices as the pass keeps them until its end.
struct SeriesRecord {
  int first_year = 0;
  int last_year = 0;
  std::vector<float> values;
};

class DetrendPass {
 public:
  DetrendPass(Tsi1& tsi1, const Icommands& icommands, Commands& commands, Units& units,
              Console& con, StatsTable& stats, DetrendingPass pass, const DetrendPlots& plots,
              std::span<const int> plot_vector, std::span<const int> series_codes);
  // Returns the detrending codes of the series that follow their own code of
  // `series_codes` (in series order).
  std::vector<int> run();

 private:
  enum class Decision { accept, refit };

  // The series in hand. First differences move its first year, length and first row by
  // one; the values before any fit are kept to restore it for a refit.
  struct Current {
    int i = 0;
    int fy = 0, ly = 0, n = 0, r = 0;
    int first_fy = 0, first_n = 0, first_r = 0;
    int code = 0;             // the option code in use
    int asked = 0;            // the option code asked for in the current fit
    int fitted = 0;           // the code of the curve the current fit made
    int parameter = 0;        // alpha or window of the current fit
    bool negative = false;    // the current curve has a value <= 0
    bool unresolved = false;  // a negative curve has not been replaced by a good one
    bool refit = false;       // the current fit follows an interactive change
    bool too_short = false;   // the current fit is the mean of a series too short for its curve
  };

  // detrend.cpp
  bool first_pass() const { return pass_ == DetrendingPass::first; }
  // The pass's curve-fit option.
  int pass_option() const { return icommands_[options_.fit]; }
  // The summary plot of the curves is asked for.
  bool summary_plot_wanted() const;
  // The curves are kept for the curve file or the summary plot.
  bool keeps_curves() const;
  void set_up();
  void write_legend();
  void detrend_series(int i);
  // Puts the series' code of `series_codes_` in place of the pass's option; true when the
  // option's fit, tried first, ends in that code and stands.
  bool take_series_code(Current& s);
  // Fits the curve of s.code into curve_ and its coefficients into coef_.
  void fit_curve(Current& s);
  // Checks the fitted curve, reports it and turns the series into its indices.
  void use_fit(Current& s);
  void guard(Current& s);
  void report(Current& s);
  void make_indices(const Current& s);
  void character_plot(const Current& s);
  void restore(Current& s);
  void accept(const Current& s);
  void finish();
  std::span<float> series_values(const Current& s);
  std::span<const float> measurements(const Current& s) const;
  void place(const std::vector<SeriesRecord>& records);
  void summary_plot();
  void write_curve_file();

  // detrend_dialogue.cpp
  bool wants_dialogue(const Current& s) const;
  Decision show_and_ask(Current& s);
  void show_fit(Current& s);
  Decision change_option(Current& s);
  int ask_alpha();
  int ask_window(const Current& s);
  void write_code_list();
  // Returns when the user goes back to the dialogue; otherwise ends the run.
  void stop_question();
  [[noreturn]] void terminate_run();

  Tsi1& tsi1_;
  const Icommands& icommands_;
  Commands& commands_;
  Units& units_;
  Console& con_;
  StatsTable& stats_;
  const DetrendPlots& plots_;
  std::span<const int> plot_vector_;
  std::span<const int> series_codes_;  // per-series codes in place of the pass's option
  const DetrendingPass pass_;
  const PassOptions options_;  // where the pass's own values stand in the option table

  // What the dialogue may change for the rest of the pass: "no more plots" clears the plot
  // flag, and the user may end the interactive detrending.
  int plot_flag_ = 0;
  int interactive_ = 0;
  bool continued_ = false;  // a negative curve occurred in this or the previous series

  std::vector<float> curve_, buffer_;
  std::vector<float> start_curve_;  // the fit's start curve, or a first value -999: none
  Coefficients coef_;
  std::vector<SeriesRecord> curves_, indices_;
  std::vector<int> own_codes_;  // the series codes followed in place of the pass's option
};

}  // namespace dendro
