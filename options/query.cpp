#include "options/query.h"

#include <optional>
#include <string>
#include <vector>

#include "options/defaults.h"
#include "options/detrending_codes.h"
#include "options/help.h"
#include "options/value_rules.h"
#include "series/console.h"
#include "series/fit_codes.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kNumberWidth = 10;  // numeric answers
constexpr std::size_t kMaskWidth = 8;

// A choice line: the text from column 2 and its code with the last digit in column 39;
// the default code is marked as "<1>".
std::string choice(std::string_view text, std::string_view code, bool is_default = false) {
  std::string shown = is_default         ? "<" + std::string(code) + ">"
                      : code.size() == 1 ? " " + std::string(code)
                                         : std::string(code);
  return Layout("(1x,a,t38,a)").write(text, shown);
}

std::string flagged_choice(std::string_view text, std::string_view code, std::string_view note,
                           bool is_default = false) {
  return Layout("(a,t53,a)").write(choice(text, code, is_default), note);
}

// The curve fits that take a method parameter (span sensitivity or window width).
bool has_parameter(int code) {
  return code == fit::super_smoother || code == fit::lowess || code == fit::running_median;
}

struct ChoiceText {
  std::string_view text, code;
};

// The detrending choices in the order shown.
constexpr ChoiceText kDetrendingChoices[] = {{"age dependent spline", "-6"},
                                             {"friedman variable span smoother", "-5"},
                                             {"lowess robust smoothing method", "-4"},
                                             {"median filter sharpening/smoothing", "-3"},
                                             {"regional curve (rcs) detrending", "-2"},
                                             {"first differences", "-1"},
                                             {"no detrending applied", "0"},
                                             {"neg expon curve (k>0), no = opt 4", "1"},
                                             {"neg expon curve (k>0), no = opt 5", "2"},
                                             {"neg expon curve (any k)", "3"},
                                             {"linear regression (any slope)", "4"},
                                             {"linear regression (neg slope)", "5"},
                                             {"horizontal line (arithmetic mean)", "6"},
                                             {"hugershoff growth curve", "7"},
                                             {"general negative exponential curve", "8"},
                                             {"smoothing spline (fixed n cutoff)", ">9"},
                                             {"smoothing spline (pct n cutoff)", "<-9"}};

// The choices of the detrending options; the second detrending has no regional curve and
// shows no first differences.
std::vector<std::string> detrending_list(bool first) {
  std::vector<std::string> lines;
  if (first) lines.push_back(" the detrending options (/ to exit, h for help):");
  for (const ChoiceText& c : kDetrendingChoices) {
    if (!first && (c.code == "-2" || c.code == "-1")) continue;
    lines.push_back(choice(c.text, c.code));
  }
  return lines;
}

// One numeric question: the lines written before each asking (the last one carries the
// arrow), the text that a blank first character stands for (none: a blank is refused),
// whether "h" shows the option's help page, and the element whose rule takes the answer.
struct Numeric {
  std::vector<std::string> lines;
  std::string blank_means;
  bool help = true;
  OptionElement element;
};

class Dialogue {
 public:
  Dialogue(int option, Icommands& ic, Commands& commands, Console& con)
      : option_(option), ic_(ic), commands_(commands), con_(con) {}

  void run();

 private:
  int option_;
  Icommands& ic_;
  Commands& commands_;
  Console& con_;

  // The value of answer `a` when element `element` takes it, by its rule with the table as
  // it stands when the answer comes (a parameter follows its code, the overlap its window).
  std::optional<int> taken(OptionElement element, const Answer& a) const {
    const std::optional<long long> v = a.integer();
    if (!v || !value_rule(element, ic_).takes(*v)) return std::nullopt;
    return static_cast<int>(*v);
  }

  // Says why answer `a` is no value of element `element`.
  void refuse(OptionElement element, const Answer& a) {
    const std::optional<long long> v = a.integer();
    const std::optional<std::string> why = v ? value_refusal(element, *v, ic_) : std::nullopt;
    con_.say(why ? " *** " + *why : refusal(a, rule_words(element, ic_)));
  }

  void heading(std::initializer_list<std::string_view> lines) {
    con_.say("");
    for (std::string_view l : lines) con_.say(l.empty() ? "" : " " + std::string(l));
  }

  // Asks until the answer is accepted; "/" stops the program, end of input too (inside
  // the console).
  int ask(const Numeric& q) {
    for (int round = 0;; ++round) {
      if (round > 0) con_.again();
      for (std::size_t k = 0; k + 1 < q.lines.size(); ++k) con_.say(q.lines[k]);
      Answer a = con_.ask(q.lines.back(), kNumberWidth).or_quit();
      const Meaning m = a.meaning({.help = q.help});
      if (m == Meaning::help) {
        helpq(option_, con_);
        continue;
      }
      if (m == Meaning::blank) a.text.replace(0, q.blank_means.size(), q.blank_means);
      if (const std::optional<int> v = taken(q.element, a)) return *v;
      refuse(q.element, a);
    }
  }

  // A y/n question into a flag element: y sets 1, a blank or n sets 0, anything else is
  // refused.
  void yes_no(std::string_view question, OptionElement element) {
    ic_[element] = 0;
    if (con_.ask_until_yes_no(" " + std::string(question), Meaning::no) == Meaning::yes) {
      ic_[element] = 1;
    }
  }

  std::string question(std::string_view text) { return " " + std::string(text); }

  // A code from a list of choices whose last line carries the arrow.
  int code(std::vector<std::string> lines, std::string blank_means, OptionElement element) {
    return ask({std::move(lines), std::move(blank_means), true, element});
  }

  void data_type();
  void missing_data();
  void transformation();
  bool detrending_parameter(int code, OptionElement element);
  void first_detrending();
  void second_detrending();
  void robust_detrending();
  void interactive();
  void index_calculation();
  void ar_method();
  void pooled_order();
  void series_order();
  void mean_chronology();
  void stabilisation();
  void common_period();
  void mask();
  void running_rbar();
  void printout();
  void series_save();
  void summary_plots();
  void stand_dynamics();
  void release_parameters(int method);
};

void Dialogue::run() {
  con_.say("");
  con_.say(" input control parameters from keyboard");
  con_.say(" hit <ret> for any specified default <parameters>");
  switch (option_) {
    case 2:
      return missing_data();
    case 3:
      return transformation();
    case 4:
      return first_detrending();
    case 5:
      return second_detrending();
    case 6:
      return robust_detrending();
    case 7:
      return interactive();
    case 8:
      return index_calculation();
    case 9:
      return ar_method();
    case 10:
      return pooled_order();
    case 11:
      return series_order();
    case 12:
      return mean_chronology();
    case 13:
      return stabilisation();
    case 14:
      return common_period();
    case 15:
      return mask();
    case 16:
      return running_rbar();
    case 17:
      return printout();
    case 18:
      return series_save();
    case 19:
      return summary_plots();
    case 20:
      return stand_dynamics();
    default: {
      if (option_ <= 1) return data_type();
      // No option has this number: the answer is checked like a data type and dropped.
      Icommands scratch = ic_;
      Dialogue shown(1, scratch, commands_, con_);
      return shown.data_type();
    }
  }
}

void Dialogue::data_type() {
  heading({"tree-ring measurement types (/ to exit, h for help):"});
  ic_[opt::data_type] = code(
      {choice("raw measurements (tucson format)", "1", true),
       choice("tree-ring series (mib pex format)", "2"),
       choice("tree-ring indices (tucson format)", "3"),
       choice("tree-ring series in compact format", "4"), question("enter your data format type")},
      "1", opt::data_type);
}

void Dialogue::missing_data() {
  heading({"missing data fill-in capability is automatic.",
           "any number .lt. 0, except -9999, is regarded",
           "as a missing datum. if your missing data flag",
           "is not negative, or it equals -9999, quit the",
           "program and change your missing data flag!"});
  // "h" is not offered here: it reads as a number that fails.
  ic_[opt::missing_data] =
      ask({{question("enter <ret> to continue or / to quit")}, "-9", false, opt::missing_data});
  yes_no("plot the in-filled data? y/<n>", opt::missing_data_plots);
}

void Dialogue::transformation() {
  heading({"data transformation options (/ to exit, h for help):"});
  const int c =
      code({choice("no data transformation", "0", true), choice("natural log (rt)", "1"),
            choice("natural log (rt+1/6)", "2"), choice("inverse hypersine (rt)", "3"),
            flagged_choice("adaptive power transform (rt^p)", "4", "(*** experimental!!! ***)"),
            question("enter transformation method")},
           "0", opt::transformation);
  ic_[opt::transformation] = c;
  // Transformed data are detrended by differences, raw data by ratios.
  ic_[opt::index_calculation] = c != 0 ? 2 : 1;
  if (c >= 1) yes_no("plot the transformed data? y/<n>", opt::transformation_plots);
}

// Asks the method parameter of the super smoother, lowess or running median into `element`.
// Returns false when the answer is blank: the detrending question is asked again.
bool Dialogue::detrending_parameter(int c, OptionElement element) {
  std::vector<std::string> lines;
  const std::vector<std::string> percent = {
      question("and less then the shortest series length, or"),
      question("percent of series length: a negative integer"),
      question("between -1 and -100, inclusive")};
  if (c == fit::super_smoother) {
    lines = {question("enter variable span tweeter sensitivity."),
             question("it ranges from 0 to 9, from most sensitive"),
             question("to least sensitive: suggested default is 5,"),
             question("but you will probably want to experiment."),
             question("so enter your tweeter sensitivity now")};
  } else if (c == fit::lowess) {
    lines = {question("enter the lowess window width"),
             question("fixed for all series: a positive integer >2")};
    lines.insert(lines.end(), percent.begin(), percent.end());
  } else {
    lines = {question("enter the median window width"),
             question("fixed for all series: a positive odd integer >2")};
    lines.insert(lines.end(), percent.begin(), percent.end());
  }
  // The code is in the table already: the parameter's rule follows it.
  for (int round = 0;; ++round) {
    if (round > 0) con_.again();
    for (std::size_t k = 0; k + 1 < lines.size(); ++k) con_.say(lines[k]);
    const Answer a = con_.ask(lines.back(), kNumberWidth).or_quit();
    if (a.blank()) return false;
    if (const std::optional<int> v = taken(element, a)) {
      ic_[element] = *v;
      return true;
    }
    refuse(element, a);
  }
}

void Dialogue::first_detrending() {
  heading({"first tree-ring detrending option:"});
  std::vector<std::string> lines = detrending_list(true);
  for (int round = 0;; ++round) {
    if (round > 0) con_.again();
    const int c = ask({lines, "", true, opt::first_detrending});
    ic_[opt::first_detrending] = c;
    // Regional curve standardization needs a curve for its age-aligned mean.
    if (c == fit::regional_curve && ic_[opt::second_detrending] == fit::none) {
      ic_[opt::second_detrending] = fit::neg_exponential_or_falling_line;
    }
    if (has_parameter(c) && !detrending_parameter(c, opt::first_detrending_parameter)) continue;
    break;
  }
  yes_no("plot data with curve fits? y/<n>", opt::first_detrending_plots);
}

void Dialogue::second_detrending() {
  heading({ic_[opt::first_detrending] == fit::regional_curve
               ? "rcs growth curve option (/ to exit, h for help):"
               : "second detrending option (/ to exit, h for help):"});
  std::vector<std::string> lines = detrending_list(false);
  for (int round = 0;; ++round) {
    if (round > 0) con_.again();
    const int c = ask({lines, "", true, opt::second_detrending});
    if (const auto refusal = detrending_refusal(5, c, ic_[opt::first_detrending])) {
      con_.say("");
      con_.say(" *** " + *refusal + " ***");
      continue;
    }
    ic_[opt::second_detrending] = c;
    // The super smoother's sensitivity belongs to the first detrending only.
    if ((c == fit::lowess || c == fit::running_median) &&
        !detrending_parameter(c, opt::second_detrending_parameter)) {
      continue;
    }
    break;
  }
  yes_no("plot data with curve fits? y/<n>", opt::second_detrending_plots);
}

void Dialogue::robust_detrending() {
  heading({"general detrending options (/ to exit, h for help):"});
  ic_[opt::robust_detrending] =
      code({choice("non-robust (lsq) methods", "1", true),
            flagged_choice("robust detrending methods", "2", "(*** not yet enabled ***)"),
            question("enter detrending method")},
           "1", opt::robust_detrending);
}

void Dialogue::interactive() {
  heading({"interactive detrending (/ to exit, h for help):"});
  ic_[opt::interactive] =
      code({choice("no interactive detrending", "0", true), choice("interactive gap filling", "1"),
            choice("interactive detrending", "2"), choice("interactive gap and detrend", "3")},
           "0", opt::interactive);
}

void Dialogue::index_calculation() {
  heading({"compute detrended tree rings (/ to exit, h for help):"});
  const bool differences = ic_[opt::transformation] != 0;
  ic_[opt::index_calculation] = code({choice("indices or ratios (rt/gt)", "1", !differences),
                                      choice("residuals or differences (rt-gt)", "2", differences)},
                                     differences ? "2" : "1", opt::index_calculation);
}

void Dialogue::ar_method() {
  heading({"ar prewhitening options (/ to exit, h for help):"});
  const int c = code(
      {choice("no autoregressive modeling", "0"),
       choice("non-robust autoregressive modeling", "1", true),
       choice("robust autoregressive modeling", "2"),
       flagged_choice("robust ar modeling + outlier removal", "3", "(*** experimental!!! ***)"),
       question("enter prewhitening type")},
      "1", opt::ar_method);
  ic_[opt::ar_method] = c;
  if (robust_autoregression(c))
    yes_no("plot the autoregressive outliers? y/<n>", opt::ar_method_plots);
}

void Dialogue::pooled_order() {
  heading({"pooled ar model order options (/ to exit, h for help):"});
  ic_[opt::pooled_ar_order] = code({choice("minimum aic order selection", "0", true),
                                    choice("user-fixed ar order (max=10)", "ip")},
                                   "0", opt::pooled_ar_order);
  yes_no("plot pooled ar modelling results? y/<n>", opt::pooled_ar_plots);
}

void Dialogue::series_order() {
  heading({"series ar model order options (/ to exit, h for help):"});
  ic_[opt::series_ar_order] = code(
      {choice("same order as pooled ar model", "0", true),
       choice("minimum aic order selection", "-1"), choice("user-fixed ar order (max=10)", "ip")},
      "0", opt::series_ar_order);
}

void Dialogue::mean_chronology() {
  // A new mean chronology starts without bootstrap limits.
  for (OptionElement e :
       {opt::mean_chronology, opt::bootstrap_plots, opt::bootstrap_limits, opt::bootstrap_spline}) {
    ic_[e] = 0;
  }
  heading({"mean chronology options (/ to exit, h for help):"});
  const int c = code(
      {choice("no mean chronologies computed", "0"), choice("non-robust (arithmetic) mean", "1"),
       choice("robust (biweight) mean", "2", true), choice("quantile (min -1 to max -100)", "<0")},
      "2", opt::mean_chronology);
  ic_[opt::mean_chronology] = c;
  if (c == 0) return;
  heading({"compute bootstrap confidence limits?", "be advised that no mean chronology",
           "variance stabilization is allowed if", "bootstrop limits are computed . . so"});
  yes_no("compute bootstrap confidence limits? y/<n>", opt::bootstrap_limits);
  if (ic_[opt::bootstrap_limits] != 1) return;
  ic_[opt::stabilisation] = 0;
  ic_[opt::bootstrap_spline] = 20;
  yes_no("plot the bootstrap results? y/<n>", opt::bootstrap_plots);
}

void Dialogue::stabilisation() {
  heading({"variance stabilization (/ to exit, h for help):"});
  const Layout wide("(1x,a,t37,a)");
  // Codes 3 to 9 and -9 to -1 name no method, and the log file reader refuses them.
  const int c = code({choice("no variance stabilization", "0", true),
                      choice("vonne briffa rbar-weighted method", "1"),
                      choice("both briffa & 67%n spline methods", "2"),
                      wide.write("smoothing spline (fixed n cutoff)", ">9"),
                      wide.write("smoothing spline (pct n cutoff)", "<-9")},
                     "0", opt::stabilisation);
  ic_[opt::stabilisation] = c;
  if (c != 0 && ic_[opt::bootstrap_limits] == 1) {
    heading({"bootstrap limits will be calculated.", "no variance stabilization is allowed."});
    ic_[opt::stabilisation] = 0;
  }
}

void Dialogue::common_period() {
  heading({"common period analysis (/ to exit, h for help):"});
  ic_[opt::common_period_first] =
      ask({{question("first year (<ret> for none)")}, "0", true, opt::common_period_first});
  ic_[opt::common_period_last] =
      ask({{question("last year (<ret> for none)")}, "0", true, opt::common_period_last});
}

void Dialogue::mask() {
  heading({"enter the 8-character site-tree-core mask as",
           "something like ssstttcc, whatever the consistent",
           "separation of the site, tree, and core ids may be",
           "for the series ids (/ to exit, h for help):", ""});
  for (;;) {
    const Answer a = con_.ask(question("site-tree-core mask"), kMaskWidth).or_quit();
    if (a.meaning({.help = true}) == Meaning::help) {
      helpq(option_, con_);
      con_.again();
      continue;
    }
    commands_.set_mask(a.text);
    ic_[opt::site_tree_core_mask] = 0;
    return;
  }
}

void Dialogue::running_rbar() {
  heading({"running rbar options (/ to exit, h for help):"});
  const int window = ask({{question("enter rbar window length, <ret> for none")},
                          "0",
                          true,
                          opt::running_rbar_window});
  ic_[opt::running_rbar_window] = window;
  ic_[opt::running_rbar_overlap] = ask(
      {{question("enter the running rbar window overlap")}, "0", true, opt::running_rbar_overlap});
  yes_no("plot running rbar and eps? y/<n>", opt::running_rbar_plots);
}

void Dialogue::printout() {
  heading({"output options (/ to exit, h for help):"});
  ic_[opt::printout] = code(
      {choice("summary statistics of all series", "1"),
       choice("+ individual series statistics", "2", true),
       choice("+ long list of mean chronology", "3"), choice("+ plots of series curve fits", "4")},
      "2", opt::printout);
}

void Dialogue::series_save() {
  heading({"save core series (/ to exit, h for help):"});
  ic_[opt::core_series_save] = code(
      {choice("no core series saved", "0", true), choice("save in tucson raw data format", "1"),
       choice("save in tucson index format", "2"), choice("save in mib pex index format", "3"),
       choice("save in rlh compact data format", "4"),
       choice("save in sas space-delimited columns", "5"),
       choice("save in tab-delimited columns", "6"),
       choice("save in comma-delimited columns", "7")},
      "0", opt::core_series_save);
}

void Dialogue::summary_plots() {
  // The heading's two texts run together on one line, as the dialogue has always shown them.
  heading({"summary hi-res plot options(/ to exit, h for help):"});
  ic_[opt::summary_plots] = code(
      {choice("no summary hi-res plots", "0", true), choice("spaghetti plots of all series", "1"),
       choice("various summary plots (try it!)", "2"), choice("all of the above (lots!!!)", "3")},
      "0", opt::summary_plots);
}

void Dialogue::stand_dynamics() {
  heading({"stand dynamics analysis(/ to exit, h for help):"});
  const int c = code({choice("no stand dynamics analyses", "0", true),
                      choice("endogenous disturbance outliers", "1"),
                      choice("nowacki/abrams release detection", "2"),
                      choice("modified nowacki/abrams (by vorn)", "3")},
                     "0", opt::stand_dynamics);
  ic_[opt::stand_dynamics] = c;
  if (stand_dynamics_on(c))
    yes_no("plot the stand dynamics analyses? y/<n>", opt::stand_dynamics_plots);
  if (release_detection(c)) release_parameters(c);
}

// The release detection parameters. There is no default and no "/": a blank asks the same
// question again, an answer that is not a number goes back one question.
void Dialogue::release_parameters(int method) {
  // The ranges come from the rules, which follow option 20 (already `method`).
  struct Parameter {
    std::vector<std::string> lines;
    OptionElement element;
  };
  const Parameter parameters[3] = {
      {{" enter running mean width for calculating", "  percent growth changes (range 5-50)"},
       opt::release_window},
      {{" enter percent growth change theshold", "  for identifying releases (range 5-200)"},
       opt::release_threshold},
      {{" enter standard error theshold for", "  identifying probable release (range 0-5)"},
       opt::release_error_limit},
  };
  const int count = release_error_test(method) ? 3 : 2;
  int k = 0;
  while (k < count) {
    const Parameter& p = parameters[k];
    con_.say(p.lines[0]);
    const Answer a = con_.ask(p.lines[1], kNumberWidth);
    const Meaning m = a.meaning({.help = true});
    if (m == Meaning::value) {
      if (const std::optional<int> v = taken(p.element, a)) {
        ic_[p.element] = *v;
        ++k;
        continue;
      }
    }
    // Every other answer moves the dialogue nowhere new.
    if (m == Meaning::help) {
      helpq(option_, con_);
    } else if (m == Meaning::value && !a.integer() && k > 0) {
      con_.say(refusal(a, "back to the question before"));
      --k;
    } else {
      refuse(p.element, a);
    }
    con_.again();
  }
}

}  // namespace

void query(int option, Icommands& icommands, Commands& commands, Console& con) {
  Dialogue(option < 1 ? 1 : option, icommands, commands, con).run();
}

}  // namespace dendro
