#include "options/value_rules.h"

#include <climits>

#include "options/detrending_codes.h"
#include "series/fit_codes.h"
#include "series/option_values.h"

namespace dendro {
namespace {

// What an integer field of five columns prints without asterisks: the menu and the option
// record show most codes, the detrending parameters, years and windows in one (or a wider
// one), and the log file keeps five characters apart from the next value.
constexpr long long kLowestShown = -9999;
constexpr long long kHighestShown = 99999;

// The bootstrap spline length has four characters in its log file field; the spline
// question of the bootstrap plots takes 5 years and more.
constexpr long long kLongestBootstrapSpline = 9999;
constexpr long long kShortestBootstrapSpline = 5;

// A median or lowess width in percent of the series length, down to -100.
constexpr long long kWidestPercentWindow = -100;

ValueRule span(long long low, long long high) { return {{{low, high}}, ""}; }
ValueRule flag() { return span(0, 1); }

// Every integer that the detrending lists offer, within what the fields print.
ValueRule detrending_codes() {
  return {{{kLowestShown, -10}, {fit::age_spline, fit::general_exponential}, {10, kHighestShown}},
          ""};
}

// The method parameter of detrending option `option` (4 or 5) under its code `code`. A
// parameter that its code does not use keeps what an earlier answer left: any value that
// one of the parameter questions takes.
ValueRule detrending_parameter(int option, int code) {
  if (code == fit::super_smoother && option == 4) {
    return {{{0, 9}}, "with the super smoother"};
  }
  if (code == fit::lowess) {
    return {{{kWidestPercentWindow, -1}, {3, kHighestShown}}, "with lowess"};
  }
  if (code == fit::running_median) {
    return {{{kWidestPercentWindow, -1}, {3, kHighestShown, true}}, "with the median filter"};
  }
  return span(kWidestPercentWindow, kHighestShown);
}

// A release detection parameter: the dialogue's range when option 20 asks for release
// detection (2 or 3); otherwise the parameter is not used and may keep any value from 0
// up to the same top.
ValueRule release_parameter(long long low, long long high, int stand_dynamics) {
  if (release_detection(stand_dynamics)) return {{{low, high}}, "with release detection"};
  return {{{0, high}}, "without release detection"};
}

struct Named {
  OptionElement element;
  const char* name;
};

constexpr Named kNames[] = {
    {opt::data_type, "tree-ring data type"},
    {opt::missing_data, "missing data in gaps"},
    {opt::missing_data_plots, "gap-filling plot flag"},
    {opt::transformation, "data transformation"},
    {opt::transformation_plots, "transformation plot flag"},
    {opt::first_detrending, "first detrending"},
    {opt::first_detrending_parameter, "first detrending parameter"},
    {opt::first_detrending_plots, "first detrending plot flag"},
    {opt::second_detrending, "second detrending"},
    {opt::second_detrending_parameter, "second detrending parameter"},
    {opt::second_detrending_plots, "second detrending plot flag"},
    {opt::robust_detrending, "robust detrending"},
    {opt::interactive, "interactive detrend"},
    {opt::index_calculation, "index calculation"},
    {opt::ar_method, "ar modeling method"},
    {opt::ar_method_plots, "ar outlier plot flag"},
    {opt::pooled_ar_order, "pooled ar order"},
    {opt::pooled_ar_plots, "pooled ar plot flag"},
    {opt::series_ar_order, "series ar order"},
    {opt::mean_chronology, "mean chronology"},
    {opt::bootstrap_plots, "bootstrap plot flag"},
    {opt::bootstrap_limits, "bootstrap limits flag"},
    {opt::bootstrap_spline, "bootstrap spline length"},
    {opt::stabilisation, "stabilize variance"},
    {opt::common_period_first, "common period first year"},
    {opt::common_period_last, "common period last year"},
    {opt::running_rbar_window, "running rbar window"},
    {opt::running_rbar_overlap, "running rbar overlap"},
    {opt::running_rbar_plots, "running rbar plot flag"},
    {opt::printout, "printout option"},
    {opt::core_series_save, "core series save"},
    {opt::summary_plots, "summary plots"},
    {opt::stand_dynamics, "stand dynamics stuff"},
    {opt::release_window, "running mean window"},
    {opt::release_threshold, "percent growth change threshold"},
    {opt::release_error_limit, "standard error threshold"},
    {opt::stand_dynamics_plots, "stand dynamics plot flag"},
};

std::string span_text(const ValueSpan& s) {
  const std::string low = std::to_string(s.low), high = std::to_string(s.high);
  if (s.low == s.high) return low;
  return (s.odd_only ? "odd " : "") + low + " to " + high;
}

}  // namespace

bool ValueRule::takes(long long value) const {
  if (spans.empty()) return value >= INT_MIN && value <= INT_MAX;
  for (const ValueSpan& s : spans) {
    if (value < s.low || value > s.high) continue;
    if (!s.odd_only || value % 2 != 0) return true;
  }
  return false;
}

std::string ValueRule::text() const {
  if (spans.empty()) return "any integer";
  if (spans.size() == 1 && spans[0].high == spans[0].low + 1 && !spans[0].odd_only) {
    return std::to_string(spans[0].low) + " or " + std::to_string(spans[0].high);
  }
  std::string text;
  for (std::size_t k = 0; k < spans.size(); ++k) {
    if (k > 0) text += k + 1 == spans.size() ? " or " : ", ";
    text += span_text(spans[k]);
  }
  return text;
}

ValueRule value_rule(OptionElement element, const Icommands& ic) {
  const int e = element.element();
  const int stand_dynamics = ic[opt::stand_dynamics];
  for (OptionElement f :
       {opt::missing_data_plots, opt::transformation_plots, opt::first_detrending_plots,
        opt::second_detrending_plots, opt::ar_method_plots, opt::pooled_ar_plots,
        opt::bootstrap_plots, opt::bootstrap_limits, opt::running_rbar_plots,
        opt::stand_dynamics_plots}) {
    if (e == f.element()) return flag();
  }
  switch (e) {
    case opt::data_type.element():
      return span(1, 4);
    case opt::missing_data.element():
    case opt::common_period_first.element():
    case opt::common_period_last.element():
    case opt::running_rbar_window.element():
      return span(kLowestShown, kHighestShown);
    case opt::transformation.element():
      return span(0, 5);
    case opt::first_detrending.element():
    case opt::second_detrending.element():
      return detrending_codes();
    case opt::first_detrending_parameter.element():
      return detrending_parameter(4, ic[opt::first_detrending]);
    case opt::second_detrending_parameter.element():
      return detrending_parameter(5, ic[opt::second_detrending]);
    case opt::robust_detrending.element():
      return span(1, 1);  // robust detrending is listed but not enabled
    case opt::interactive.element():
    case opt::ar_method.element():
    case opt::summary_plots.element():
    case opt::stand_dynamics.element():
      return span(0, 3);
    case opt::index_calculation.element():
      return span(1, 2);
    case opt::pooled_ar_order.element():
      return span(0, 10);
    case opt::series_ar_order.element():
      return span(-1, 10);
    case opt::mean_chronology.element():
      return span(-100, 2);
    case opt::bootstrap_spline.element():
      // 0 is what the dialogue leaves without limits; log files also hold it with limits,
      // where the spline takes it as its shortest stiffness.
      return {{{0, 0}, {kShortestBootstrapSpline, kLongestBootstrapSpline}}, ""};
    case opt::stabilisation.element():
      // Codes 3 to 9 and -9 to -1 name no method.
      return {{{kLowestShown, -10}, {0, 2}, {10, kHighestShown}}, ""};
    case opt::running_rbar_overlap.element(): {
      // Windows must move on: an overlap as long as the window would never end the run.
      const int window = ic[opt::running_rbar_window];
      if (window <= 0) return span(kLowestShown, kHighestShown);
      return {{{kLowestShown, window - 1LL}}, "with a window of " + std::to_string(window)};
    }
    case opt::printout.element():
      return span(1, 4);
    case opt::core_series_save.element():
      return span(0, 7);
    case opt::release_window.element():
      return release_parameter(5, 50, stand_dynamics);
    case opt::release_threshold.element():
      return release_parameter(5, 200, stand_dynamics);
    case opt::release_error_limit.element():
      return release_parameter(0, 5, stand_dynamics);
    default:
      return {};
  }
}

std::string element_name(OptionElement element) {
  for (const Named& n : kNames) {
    if (n.element.element() == element.element()) return n.name;
  }
  return "";
}

std::string rule_words(OptionElement element, const Icommands& ic) {
  const ValueRule rule = value_rule(element, ic);
  std::string words = element_name(element) + " takes " + rule.text();
  if (!rule.condition.empty()) words += " " + rule.condition;
  return words;
}

std::optional<std::string> value_refusal(OptionElement element, long long value,
                                         const Icommands& ic) {
  if (!value_rule(element, ic).takes(value)) {
    return rule_words(element, ic) + ", not " + std::to_string(value);
  }
  const int e = element.element();
  if (e == opt::first_detrending.element() || e == opt::second_detrending.element()) {
    return detrending_refusal(element.option, value, ic[opt::first_detrending]);
  }
  return std::nullopt;
}

}  // namespace dendro
