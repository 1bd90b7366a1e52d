#include "options/help.h"

#include <initializer_list>
#include <string_view>

#include "series/console.h"

namespace dendro {
namespace {

using Page = std::initializer_list<std::string_view>;

void show(Console& con, Page page) { show_text(con, page); }

void data_type(Console& con) {
  show(con, {"these are the tree-ring data formats that can be read in",
             "and processed by the program. the list presently handles",
             "four different data formats."});
}

void missing_data(Console& con) {
  show(con, {"the missing data flag for gaps in the series is any",
             "negative number other than -9999. missing values are",
             "estimated so that gaps can be bridged, which preserves",
             "more low-frequency information in spite of the limits",
             "that short segment lengths put on it."});
}

void transformation(Console& con) {
  show(con, {"no transformation with ratio indices is the traditional way",
             "to detrend tree rings. the log transform (option 1) only",
             "works for data above 0; a zero is given the log of 0.01.",
             "option 2 adds 1/6 before taking the log, which also reduces",
             "the strong negative skew that the plain log produces.",
             "the inverse hyperbolic sine (option 3) handles zeros and is",
             "milder than the log. the adaptive power transformation",
             "(option 4) uses the relation between the level and the spread",
             "of each series to give it its own power that stabilises its", "variance."});
}

// Seven pages, one block of curve options each, with a pause after each.
void first_detrending(Console& con) {
  const Page pages[7] = {
      {"option -6: age dependent spline. a smoothing spline whose",
       "stiffness grows linearly with the age of the tree.", "",
       "option -5: friedman variable span super smoother. for",
       "disturbed series that do not evolve homogeneously.", "",
       "option -4: lowess robust smoothing. robust linear segments of",
       "a fixed width of 3 to n years, or of a percentage of the",
       "series length given as -1 to -100. at -100 the curve is a", "robust linear trend."},
      {"option -3: median smoothing. the width follows the same rules",
       "as for lowess, and it must be odd. besides smoothing, it",
       "sharpens the edges of abrupt persistent changes in growth.",
       "this option is experimental."},
      {"option -2: regional curve standardization (rcs). all raw",
       "series are averaged after aligning them by biological age;",
       "one negative exponential curve (option 1) is fitted to that",
       "mean and used to detrend every series, aligned again by", "calendar year.", "",
       "option -1: first differences, f(i) = y(i) - y(i-1). this",
       "removes all of the low-frequency variance.", "", "option 0: no detrending."},
      {"options 1 and 2: f(i) = a * exp(-b*t(i)) + d (d>0).",
       "when the fit fails, option 1 falls back to a straight line of",
       "any slope (no = option 4), option 2 to a line of negative or",
       "zero slope (no = option 5).", "", "option 3: f(i) = a * exp(-b*t(i+p)) + d (any d). the",
       "asymptote may have either sign, and p is a pith offset."},
      {"option 4: f(i) = +/-c*t(i) + d, a straight line of any slope.", "",
       "option 5: f(i) = -c*t(i) + d , a straight line of negative",
       "slope: a positive slope is replaced by a horizontal line", "through the mean.", "",
       "option 6: f(i) = mean(y(i)), the horizontal mean."},
      {"option 7: the hugershoff growth curve", "f(i) = a * t(i+p)**b * exp(-c*t(i+p)) + d", "",
       "option 8: the general negative exponential curve", "f(i) = a * t(i+p) * exp(-c*t(i+p)) + d",
       "which is the hugershoff curve with b = 1.0.", "",
       "both have an asymptote d of any sign and an estimated pith", "offset p."},
      {"options above 9: a cubic smoothing spline with a fixed 50",
       "percent variance cutoff in years: a value of 100 removes 50",
       "percent of the variance at a period of 100 years.", "",
       "options below -9: the cutoff is a percentage of the series",
       "length. a rule of thumb is two thirds of the length, -66."},
  };
  for (const Page& page : pages) {
    show(con, page);
    con.pause("Hit Return to Continue");
  }
}

void second_detrending(Console& con) {
  show(con, {"the options are the same as for the first detrending.",
             "with regional curve standardization (option 4 = -2) the",
             "second detrending is the curve that models the age-aligned", "mean ring widths."});
}

void robust_detrending(Console& con) {
  show(con, {"only non-robust least-squares curve fitting", "is allowed for now.",
             "robust curve fitting is not yet enabled."});
}

void interactive(Console& con) {
  show(con, {"the curve-fit option of each series is changed interactively.",
             "this is slower, but gives more control over the", "standardization of each series."});
}

void index_calculation(Console& con) {
  show(con, {"indices are computed as ratios of the ring widths to the",
             "growth trend, or as differences from it. use differences",
             "after a variance-stabilising transformation of the data,",
             "or for data that are already homoscedastic."});
}

void ar_method(Console& con) {
  show(con, {"(0) none skips the whole autoregressive modelling phase.",
             "(1) non-robust ar modelling, the default: standard", "    prewhitening.",
             "(2) robust ar modelling, which discounts outliers when the",
             "    coefficients are estimated.",
             "(3) robust ar modelling that also removes innovational", "    outliers iteratively.",
             "robust prewhitening is experimental and may throw out common", "climatic extremes."});
}

void pooled_order(Console& con) {
  show(con, {"the minimum aic default picks the best-fitting model order",
             "for the pooled data. a user-fixed order overrides it."});
}

void series_order(Console& con) {
  show(con, {"the default fits each core series the order fitted to the",
             "pooled data. -1 fits each series its own order by minimum",
             "aic. the third choice forces an order given by the user."});
}

void mean_chronology(Console& con) {
  show(con, {"skip the mean chronologies, use the arithmetic mean, the",
             "robust biweight mean, or build a quantile chronology: the",
             "values of each year are ranked and the jth quantile taken,",
             "e.g. median (j=-50), lower hinge (j=-25), upper hinge",
             "(j=-75), minimum (j=-1), maximum (j=-100). there is little",
             "experience with quantile chronologies yet; they work best", "with large samples."});
}

void stabilisation(Console& con) {
  show(con, {"the variance of the mean chronology is stabilised in two ways.",
             "the rbar-weighted method uses the sample size of each year and",
             "the mean correlation of all series overlaps (n>20) to correct",
             "the variance for changing sample size alone. the spline",
             "method removes a time trend in the absolute differences of",
             "the mean chronology with a smoothing spline: ad hoc, but",
             "usable when the changing variance has other causes."});
}

void common_period(Console& con) {
  show(con, {"a common period analysis in the manner of wigley-briffa-jones:",
             "for the given period the mean correlation (rbar), the",
             "signal-to-noise ratio (snr), the expressed population signal",
             "(eps) and the subsample signal strength (sss) of every", "chronology."});
}

void mask(Console& con) {
  show(con, {"the mask tells how the series are separated into within- and",
             "between-tree groups for the common period analysis. it has up",
             "to 8 characters, one letter per character of the series id.",
             "with a site id of 3, a tree id of 2 and a core id of 2", "characters it looks",
             "like SSSTTCC. the mask is 7 characters long, with",
             "the 8th character blank. with 2, 2 and 1 characters it is",
             "ssttc. only a consistent convention across the ids matters.",
             "the mask is turned into tree numbers 1 to m for each series",
             "(shown in the batch detail file); the series of one tree need",
             "not be adjacent in the data file."});
}

void running_rbar(Console& con) {
  show(con, {"the running rbar is computed over all series and over all",
             "years with a sample size of 2 or more. it does not separate",
             "within- and between-tree correlations, so it is biased upward",
             "(little where the number of trees exceeds the mean number of",
             "cores per tree by 10 or more). give the window width and the",
             "overlap of the windows; the overlap cannot exceed the width."});
}

void printout(Console& con) {
  show(con, {"the volume of output grows markedly from option 1 to option 4."});
}

void series_save(Console& con) {
  show(con, {"the series are saved in one of seven formats: (1) tucson raw,",
             "(2) tucson index, (3) mib pex modified index, (4) holmes",
             "compact, (5) space-, (6) tab- or (7) comma-delimited columns.",
             "the tabbed format suits spreadsheets. saved are the raw input,",
             "the transformed measurements if any, the indices, the fitted",
             "curves, and the autoregressive residuals if ar modelling is",
             "done. the option also reformats input data between the",
             "tucson, mib pex and compact formats."});
}

void summary_plots(Console& con) {
  show(con, {"option 1 overlays the series of each processing stage",
             "(\"spaghetti\" plots) with the fitted curves. option 2 shows",
             "the final chronologies, mean age and segment length, running",
             "rbar and eps. option 3 shows both. pure batch runs use", "option 0."});
}

void stand_dynamics(Console& con) {
  show(con,
       {"the start of a stand dynamics part. endogenous outliers are",
        "extremes found in single series but not in the mean",
        "chronology, identified as values beyond 3.5 standard",
        "deviations from the mean: a cutoff with an a priori", "probability of about 1 in 1000."});
}

}  // namespace

void show_text(Console& con, std::initializer_list<std::string_view> lines) {
  con.say("");
  for (std::string_view line : lines) con.say(line.empty() ? "" : " " + std::string(line));
}

void helpq(int option, Console& con) {
  switch (option) {
    case 2:
      return missing_data(con);
    case 3:
      return transformation(con);
    case 4:
      return first_detrending(con);
    case 5:
      return second_detrending(con);
    case 6:
      return robust_detrending(con);
    case 7:
      return interactive(con);
    case 8:
      return index_calculation(con);
    case 9:
      return ar_method(con);
    case 10:
      return pooled_order(con);
    case 11:
      return series_order(con);
    case 12:
      return mean_chronology(con);
    case 13:
      return stabilisation(con);
    case 14:
      return common_period(con);
    case 15:
      return mask(con);
    case 16:
      return running_rbar(con);
    case 17:
      return printout(con);
    case 18:
      return series_save(con);
    case 19:
      return summary_plots(con);
    case 20:
      return stand_dynamics(con);
    default:
      return data_type(con);
  }
}

}  // namespace dendro
