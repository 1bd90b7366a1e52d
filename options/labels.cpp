#include "options/labels.h"

#include <vector>

#include "series/fit_codes.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

// A code whose plot flag is set, negated: the labels tell "w/ plots" by the sign.
int with_plot_sign(int code, int plot_flag) { return plot_flag != 0 ? -code : code; }

std::string_view with_plots(int code, int magnitude, std::string_view no_plots,
                            std::string_view plots) {
  if (code == magnitude) return no_plots;
  if (code == -magnitude) return plots;
  return {};
}

std::string_view data_type(int code) {
  switch (code) {
    case 1:
      return "!tucson ring-width format";
    case 2:
      return "!mib pex tree-ring format";
    case 3:
      return "!tucson tree-ring index format";
    case 4:
      return "!tree-ring compact data format";
    case 5:
      return "!user-defined data format";
    default:
      return {};
  }
}

std::string_view transformation(int code) {
  switch (code < 0 ? -code : code) {
    case 0:
      return "!no data transformation (no plots)";
    case 1:
      return with_plots(code, 1, "!log (rt) transform (no plots)",
                        "!log (rt) transform (w/ plots)");
    case 2:
      return with_plots(code, 2, "!log (rt+1/6) transform (no plots)",
                        "!log (rt+1/6) transform (w/ plots)");
    case 3:
      return with_plots(code, 3, "!inverse hypersine transform (no plots)",
                        "!inverse hypersine transform (w/ plots)");
    case 4:
      return with_plots(code, 4, "!spread/level power transform (no plots)",
                        "!spread/level power transform (w/ plots)");
    case 5:
      return with_plots(code, 5, "!adaptive power transform (no plots)",
                        "!adaptive power transform (w/ plots)");
    default:
      return {};
  }
}

// Both detrending items share one list; the four blanks after "!" take a caller's prefix.
std::string_view detrending(int code) {
  if (fit::fixed_spline(code)) return "!    spline curve (fixed 50% cutoff)";
  if (fit::percent_spline(code)) return "!    spline curve (pct n 50% cutoff)";
  switch (code) {
    case fit::age_spline:
      return "!    age dependent spline";
    case fit::super_smoother:
      return "!    friedman super smoother & alpha";
    case fit::lowess:
      return "!    lowess filter and percent length";
    case fit::running_median:
      return "!    median filter and window length";
    case fit::regional_curve:
      return "!    regional curve method (briffa rcs)";
    case fit::first_differences:
      return "!    tree-ring first-differences";
    case fit::none:
      return "!    no detrending performed";
    case fit::neg_exponential:
      return "!    neg expon curve (k>0), no = opt 4";
    case fit::neg_exponential_or_falling_line:
      return "!    neg expon curve (k>0), no = opt 5";
    case fit::general_neg_exponential:
      return "!    neg expon curve (any k)";
    case fit::line:
      return "!    linear regression, any slope curve";
    case fit::falling_line:
      return "!    linear regression, neg slope only";
    case fit::horizontal_mean:
      return "!    horizontal line through mean";
    case fit::hugershoff:
      return "!    hugershoff growth curve";
    case fit::general_exponential:
      return "!    general negative exponential curve";
    default:
      return {};  // 9 and -9 to -7 have no label
  }
}

std::string_view robust_detrending(int code) {
  switch (code) {
    case 0:
      return "!no detrending - raw data or differences";
    case 1:
      return "!non-robust detrending methods used";
    case 2:
      return "!robust detrending methods used";
    default:
      return {};
  }
}

std::string_view interactive(int code) {
  switch (code) {
    case 0:
      return "!no interactive detrending";
    case 1:
      return "!interactive filling of gaps";
    case 2:
      return "!interactive detrending used";
    case 3:
      return "!interactive gap and detrend";
    default:
      return {};
  }
}

std::string_view index_calculation(int code) {
  switch (code) {
    case 0:
      return "!no indices - raw data or differences used";
    case 1:
      return "!tree-ring indices or ratios (rt/gt)";
    case 2:
      return "!residuals or differences (rt-gt)";
    default:
      return {};
  }
}

std::string_view ar_method(int code) {
  switch (code) {
    case 0:
      return "!no autoregressive modeling done";
    case 1:
      return "!non-robust autoregressive modeling";
    case 2:
      return "!robust ar modeling (no plots)";
    case -2:
      return "!robust ar modeling (w/ plots)";
    case 3:
      return "!robust ar + outliers removed (no plots)";
    case -3:
      return "!robust ar + outliers removed (w/ plots)";
    default:
      return {};
  }
}

// A fixed pooled order is code 1 (-2 with plots) whatever the order; higher codes have
// no label.
std::string_view pooled_order(int code) {
  switch (code) {
    case 0:
      return "!minimum aic pooled ar model order fit (no plots)";
    case -1:
      return "!minimum aic pooled ar model order fit (w/ plots)";
    case 1:
      return "!user-supplied pooled ar model order fit (no plots)";
    case -2:
      return "!user-supplied pooled ar model order fit (w/ plots)";
    default:
      return {};
  }
}

std::string_view series_order(int code) {
  if (code >= 1) return "!supplied ar order fit to all series";
  if (code == 0) return "!pooled ar order fit to all series";
  if (code == -1) return "!each series order fit by minimum aic";
  return {};
}

std::string_view mean_chronology(int code) {
  switch (code) {
    case 0:
      return "!no mean chronologies computed";
    case 1:
      return "!non-robust (arithmetic) mean chronology";
    case 2:
    case 3:
      return "!robust (biweight) mean chronology";
    case 5:
      return "!jth quantile tree-ring chronology";
    case 6:
      return "!arithmetic mean with bootstrap limits";
    case 7:
      return "!robust mean with bootstrap limits";
    case 8:
      return "!jth quantile with bootstrap limits";
    default:
      return {};
  }
}

std::string_view stabilisation(int code) {
  if (code == 0) return "!no variance stabilization performed";
  if (code == 1) return "!rbar weighted stabilization method";
  if (code < -9) return "!spline stabilized (pct n 50% cutoff)";
  if (code > 9) return "!spline stabilized (fixed 50% cutoff)";
  return {};
}

std::string_view running_rbar(int code) {
  if (code == 0) return "!no running rbar analysis performed";
  return code > 0 ? "!running rbar window/overlap (no plots)"
                  : "!running rbar window/overlap (w/ plots)";
}

std::string_view printout(int code) {
  switch (code) {
    case 1:
      return "!summary statistics of ensemble printed";
    case 2:
      return "!summary & series statistics printed";
    case 3:
      return "!summary, series & long list chronology";
    case 4:
      return "!summary, series, long list, curve plts";
    case 5:
      return "!full output plus interactive detrending";
    default:
      return {};
  }
}

std::string_view series_save(int code) {
  switch (code) {
    case 0:
      return "!no individual core series saved";
    case 1:
      return "!series saved in tucson raw data format";
    case 2:
      return "!series saved in tucson index format";
    case 3:
      return "!series saved in mib pex index format";
    case 4:
      return "!series saved in rlh compact data format";
    case 5:
      return "!series saved in space-delimited columns";
    case 6:
      return "!series saved in tab-delimited columns";
    case 7:
      return "!series saved in comma-delimited columns";
    default:
      return {};
  }
}

std::string_view summary_plots(int code) {
  switch (code) {
    case 0:
      return "!no spaghetti and mean chronology plots";
    case 1:
      return "!spaghetti plots of all series";
    case 2:
      return "!mean chronology plots";
    case 3:
      return "!spaghetti and mean chronology plots";
    default:
      return {};
  }
}

std::string_view stand_dynamics(int code) {
  switch (code) {
    case 0:
      return "!no stand dynamics analyses done";
    case 1:
      return "!endogenous outlier analysis done";
    case 2:
      return "!nowacki/abrams release detection";
    case 3:
      return "!nowacki/abrams (modified by vorn)";
    default:
      return {};
  }
}

std::string_view label_text(int item, int code) {
  switch (item) {
    case 1:
      return data_type(code);
    case 2:
      return code == 0 ? "!missing values estimated (no plots)"
                       : "!missing values estimated (w/ plots)";
    case 3:
      return transformation(code);
    case 4:
    case 5:
      return detrending(code);
    case 6:
      return robust_detrending(code);
    case 7:
      return interactive(code);
    case 8:
      return index_calculation(code);
    case 9:
      return ar_method(code);
    case 10:
      return pooled_order(code);
    case 11:
      return series_order(code);
    case 12:
      return mean_chronology(code);
    case 13:
      return stabilisation(code);
    case 14:
      return code < 1 ? "!no common period analysis performed"
                      : "!first and last years of common period";
    case 15:
      return "!site-tree-core separation mask";
    case 16:
      return running_rbar(code);
    case 17:
      return printout(code);
    case 18:
      return series_save(code);
    case 19:
      return summary_plots(code);
    case 20:
      return stand_dynamics(code);
    case 21:
      return "!running mean window width";
    case 22:
      return "!percent growth change threshold";
    case 23:
      return "!standard error limit threshold";
    default:
      return "!bloody hell if i know!";
  }
}

}  // namespace

std::string gmh(int item, int code) { return field(label_text(item, code), kLabelLength); }

std::string detrending_label(int item, int code, std::string_view prefix) {
  std::string label = gmh(item, code);
  if (label[0] == '!') label.replace(1, 4, field(prefix, 4));
  return label;
}

int mean_chronology_label_code(int mean_code, int bootstrap_flag) {
  if (mean_code == 0) return 0;
  const bool limits = bootstrap_flag == 1;
  if (mean_code == 1) return limits ? 6 : 1;
  if (mean_code < 0) return limits ? 8 : 5;
  return limits ? 7 : 3;
}

std::string option_line(std::string_view layout, const Icommands& ic,
                        std::initializer_list<OptionElement> elements, std::string_view label) {
  std::vector<Value> values;
  for (OptionElement e : elements) values.emplace_back(static_cast<long long>(ic[e]));
  values.emplace_back(label);
  return Layout(layout).write_values(values);
}

std::string common_period_line(std::string_view text, int years_column, int label_column,
                               const Icommands& ic) {
  const int last = ic[opt::common_period_last];
  return Layout("(t2,a,t" + std::to_string(years_column) + ",i5," + year_descriptor(last, 5) +
                ",t" + std::to_string(label_column) + ",a)")
      .write(text, ic[opt::common_period_first], last, option_label(14, ic));
}

std::string option_label(int item, const Icommands& ic) {
  switch (item) {
    case 2:
      return gmh(2, ic[opt::missing_data_plots]);
    case 3:
      return gmh(3, with_plot_sign(ic[opt::transformation], ic[opt::transformation_plots]));
    case 4:
      return detrending_label(4, ic[opt::first_detrending], "1st-");
    case 5:
      return detrending_label(5, ic[opt::second_detrending], "2nd-");
    case 9:
      return gmh(9, with_plot_sign(ic[opt::ar_method], ic[opt::ar_method_plots]));
    case 10:
      return gmh(10, ic[opt::pooled_ar_plots] != 0 ? -(ic[opt::pooled_ar_order] + 1)
                                                   : ic[opt::pooled_ar_order]);
    case 12:
      return gmh(12,
                 mean_chronology_label_code(ic[opt::mean_chronology], ic[opt::bootstrap_limits]));
    case 15:
      return gmh(15, 0);
    case 16:
      return gmh(16, ic[opt::running_rbar_plots] == 1 ? -ic[opt::running_rbar_window]
                                                      : ic[opt::running_rbar_window]);
    case 21:
      return gmh(21, ic[opt::release_window]);
    case 22:
      return gmh(22, ic[opt::release_threshold]);
    case 23:
      return gmh(23, ic[opt::release_error_limit]);
    default:
      // Options 1 to 20 label their own code.
      return gmh(item, item >= 1 && item <= 20 ? ic[OptionElement{item}] : 0);
  }
}

}  // namespace dendro
