#include "series/gap_filling.h"

#include <algorithm>
#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "series/biweight.h"
#include "series/console.h"
#include "series/correlation.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/index.h"
#include "series/option_values.h"
#include "series/spline.h"
#include "series/stabilise.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kTrendStiffness = 20;    // growth trend of one series, in years
constexpr int kLongGap = 20;           // longer gaps are bridged by a straight line first
constexpr int kBridgeNeighbours = 10;  // years on each side of a long gap that fit the line
constexpr float kPresentError = 1.0f;
constexpr float kMissingError = 999.0f;  // almost no pull: the spline passes smoothly over it
constexpr int kBiweightLocation = 2;     // the kind of location that biwgt takes: the biweight
constexpr int kSiteTrendFraction = 3;    // the site curve's stiffness is a third of the years
constexpr int kSpreadStiffness = 50;     // spline of the site index's absolute deviations
constexpr float kNeutralRatio = 1.0f;    // a year without a site mean
constexpr std::size_t kAnswerWidth = 10;

constexpr std::string_view kPlotTitle = " in-filled growth trend";
constexpr std::string_view kPlotXLabel = "years";
constexpr std::string_view kPlotYLabel = "measurements (y)";

// The interactive option's values that ask about each filling: gap filling alone, and
// gap filling with detrending.

// Mean of the values that are not missing, or 0 without any.
float mean_present(std::span<const float> x) {
  double sum = 0.0;
  int count = 0;
  for (float v : x) {
    if (is_missing(v)) continue;
    sum += v;
    ++count;
  }
  return count == 0 ? 0.0f : static_cast<float>(sum / count);
}

// The weighted smoothing spline of `values` with stiffness w. The errors are copied, as
// spl2w squares what it is given. Should the band system be refused, the curve is the
// level of the present values, so that nothing downstream reads an unset curve.
std::vector<float> weighted_trend(std::span<const float> values, std::span<const float> errors,
                                  int w, Console& con) {
  std::vector<float> delta(errors.begin(), errors.end());
  std::vector<float> curve(values.size(), mean_present(values));
  spl2w(values, delta, curve, w, &con);
  return curve;
}

// The present values of a series as the filling bounds its estimates: from the smallest
// positive value (the smallest value when none is positive) to the largest.
struct Range {
  float low = 0.0f;
  float high = 0.0f;
};

std::optional<Range> present_range(std::span<const float> values, std::span<const int> present) {
  std::optional<float> low_positive, low, high;
  for (std::size_t j = 0; j < values.size(); ++j) {
    if (present[j] == 0) continue;
    const float v = values[j];
    if (v > 0.0f && (!low_positive || v < *low_positive)) low_positive = v;
    if (!low || v < *low) low = v;
    if (!high || v > *high) high = v;
  }
  if (!high) return std::nullopt;
  return Range{low_positive ? *low_positive : *low, *high};
}

// One series: its years and their cells of the series matrix.
struct SeriesSpan {
  int first_year = 0;
  std::span<float> values;
};

// What the first phase keeps of a series for the filling.
struct SeriesWork {
  std::vector<int> missing_years;
  std::vector<float> curve;  // growth trend over the series' years; empty when not needed
};

class GapFiller {
 public:
  GapFiller(Tsi1& tsi1, const Icommands& icommands, Console& con, const GapPlot& plot)
      : tsi1_(tsi1),
        con_(con),
        plot_(plot),
        transformed_(icommands[opt::transformation] >= 1),
        interactive_(interactive_gap_filling(icommands[opt::interactive])),
        plot_flag_(icommands[opt::missing_data_plots]) {}

  void run();

 private:
  SeriesSpan series(int i);
  SeriesWork growth_trend(int i);
  void bridge_long_gaps(const SeriesSpan& s, std::span<const Gap> gaps, std::span<float> values,
                        std::span<float> errors);
  void choose_stiffness(const SeriesSpan& s, const std::string& id, std::span<const float> values,
                        std::span<const float> errors, SeriesWork& work);
  std::vector<float> site_index();
  void fill(int i, const SeriesWork& work, std::span<const float> site);
  void show(std::span<const float> values, std::span<const float> curve, int first_year,
            const std::string& id, std::span<const int> years);

  Tsi1& tsi1_;
  Console& con_;
  const GapPlot& plot_;
  const bool transformed_;  // a data transformation makes a zero missing as well
  const bool interactive_;
  int plot_flag_;
  int set_first_year_ = 0;
  int set_years_ = 0;
};

SeriesSpan GapFiller::series(int i) {
  const SeriesYears& y = tsi1_.years[at(i)];
  const int first_row = y.ify - set_first_year_;  // 0-based row of the series' first year
  const int n = y.ily - y.ify + 1;
  if (first_row < 0 || n < 0 || first_row + n > set_years_) {
    throw std::invalid_argument("fillin: series " + std::to_string(i) +
                                " lies outside the years of the set.");
  }
  return {y.ify, tsi1_.column(i).subspan(static_cast<std::size_t>(first_row),
                                         static_cast<std::size_t>(n))};
}

// Marks the missing values of series i (-9.99 in the matrix) and, when it has any and at
// least one present value, fits its growth trend: long gaps bridged by a line, then the
// spline with the missing years carrying almost no weight.
SeriesWork GapFiller::growth_trend(int i) {
  const SeriesSpan s = series(i);
  const std::size_t n = s.values.size();
  SeriesWork work;
  std::vector<float> errors(n, kPresentError);
  for (std::size_t j = 0; j < n; ++j) {
    const float v = s.values[j];
    if (transformed_ ? v <= 0.0f : v < 0.0f) {
      s.values[j] = kMissing;
      errors[j] = kMissingError;
      work.missing_years.push_back(s.first_year + static_cast<int>(j));
    }
  }
  // A series without gaps is not changed, and one without any value has nothing to
  // estimate from: neither needs a trend.
  if (work.missing_years.empty() || work.missing_years.size() == n) return work;

  std::vector<float> values(s.values.begin(), s.values.end());
  const std::vector<Gap> gaps = find_gaps(work.missing_years);
  bridge_long_gaps(s, gaps, values, errors);
  work.curve = weighted_trend(values, errors, kTrendStiffness, con_);
  if (interactive_) {
    choose_stiffness(s, tsi1_.ids[at(i)], values, errors, work);
  }
  return work;
}

// A gap of more than 20 years would leave the spline nothing to hold on to: the line
// through up to 10 present years on each side stands in for it.
void GapFiller::bridge_long_gaps(const SeriesSpan& s, std::span<const Gap> gaps,
                                 std::span<float> values, std::span<float> errors) {
  const int last_year = s.first_year + static_cast<int>(values.size()) - 1;
  auto slot = [&](int year) { return static_cast<std::size_t>(year - s.first_year); };
  for (const Gap& g : gaps) {
    if (g.last - g.first + 1 <= kLongGap) continue;
    const int from = g.first - std::min(g.first - s.first_year, kBridgeNeighbours);
    const int to = g.last + std::min(last_year - g.last, kBridgeNeighbours);
    std::vector<float> x, y;
    std::vector<int> use;
    for (int year = from; year <= to; ++year) {
      const bool in_gap = year >= g.first && year <= g.last;
      x.push_back(static_cast<float>(year));
      y.push_back(values[slot(year)]);
      use.push_back(!in_gap && !is_missing(values[slot(year)]) ? 1 : 0);
    }
    // A year next to a gap is present (gaps are whole runs), unless the gap is the whole
    // series, which gets no trend at all; without a point there is no line to draw.
    if (std::count(use.begin(), use.end(), 1) == 0) continue;
    const PearsnResult line = pearsn1(x, y, use);
    for (int year = g.first; year <= g.last; ++year) {
      values[slot(year)] = line.intercept + line.slope * static_cast<float>(year);
      errors[slot(year)] = kPresentError;
    }
  }
}

// Shows the series with its trend and lets the user refit it with another stiffness until
// an empty answer accepts the curve in hand.
void GapFiller::choose_stiffness(const SeriesSpan& s, const std::string& id,
                                 std::span<const float> values, std::span<const float> errors,
                                 SeriesWork& work) {
  show(values, work.curve, s.first_year, id, work.missing_years);
  for (;;) {
    con_.say(" the default setting is a 20 year");
    con_.say(" spline for the low-frequency gap filling");
    con_.say(" part. hit <ret> to accept and continue or");
    const Answer a = con_.ask(" enter in your new spline value", kAnswerWidth);
    if (trim_right(a.text).empty()) return;
    const std::optional<long long> w = a.integer();
    if (!w) {
      con_.say(refusal(a, "enter the spline in years, or <ret> to accept"));
      con_.again();
      continue;
    }
    work.curve = weighted_trend(values, errors, static_cast<int>(*w), con_);
    show(values, work.curve, s.first_year, id, work.missing_years);
  }
}

// The site's high-frequency index over the set's years: the biweight mean of every year,
// divided by a spline of a third of the set's length, with its variance stabilised. A year
// without data, or where the curve gives no usable ratio, counts as a neutral 1.0.
std::vector<float> GapFiller::site_index() {
  const auto n = static_cast<std::size_t>(set_years_);
  std::vector<float> mean(n, kMissing), errors(n, kMissingError), year_values;
  std::vector<int> depth(n, 0);
  year_values.reserve(static_cast<std::size_t>(tsi1_.count));
  for (std::size_t t = 0; t < n; ++t) {
    stop_if_interrupted();
    tsi1_.present_in_row(static_cast<int>(t) + 1, year_values);
    if (year_values.empty()) continue;
    mean[t] = biwgt(year_values, kBiweightTuning, kBiweightLocation).location;
    depth[t] = static_cast<int>(year_values.size());
    errors[t] = kPresentError;
  }
  const std::vector<float> curve =
      weighted_trend(mean, errors, set_years_ / kSiteTrendFraction, con_);

  std::vector<float> ratio(n, kNeutralRatio);
  for (std::size_t t = 0; t < n; ++t) {
    if (is_missing(mean[t]) || !(curve[t] > 0.0f)) {
      depth[t] = 0;
      continue;
    }
    ratio[t] = mean[t] / curve[t];
  }
  std::vector<float> spread(n), index(n);
  int w = kSpreadStiffness;
  stabit(ratio, spread, index, depth, w, &con_);
  return index;
}

// Fills the missing years of series i: the site index at the year, rescaled from its own
// mean and spread over the series' present years to those of the series' ratios to its
// trend, times the trend. Present values stay exactly as they are.
void GapFiller::fill(int i, const SeriesWork& work, std::span<const float> site_all) {
  if (work.curve.empty()) return;
  const SeriesSpan s = series(i);
  const std::size_t n = s.values.size();
  const int first_row = s.first_year - set_first_year_;
  std::span<const float> site = site_all.subspan(static_cast<std::size_t>(first_row), n);

  std::vector<int> present(n, 1);
  for (int year : work.missing_years) present[static_cast<std::size_t>(year - s.first_year)] = 0;
  const std::optional<Range> range = present_range(s.values, present);
  if (!range) return;

  // A trend that falls to 0 or below (a steep line over a long gap, or a spline running
  // off over a gap at an end) is held at the smallest positive value of the series, so
  // that no ratio divides by it and no estimate turns negative.
  std::vector<float> curve(work.curve);
  for (float& c : curve) c = c > 0.0f ? c : range->low;

  // Mean and spread of the site index and of the series' ratios over its present years.
  std::vector<float> site_values(site.begin(), site.end());
  std::vector<int> site_present(present);
  for (std::size_t j = 0; j < n; ++j) {
    if (is_missing(site[j])) site_present[j] = 0;
  }
  const Moments site_moments = moment1(site_values, site_present);
  std::vector<float> ratios(n, 0.0f);
  std::vector<int> ratio_present(present);
  for (std::size_t j = 0; j < n; ++j) {
    if (present[j] == 0 || !(curve[j] > 0.0f)) {
      ratio_present[j] = 0;
      continue;
    }
    ratios[j] = s.values[j] / curve[j];
  }
  const Moments own = moment1(ratios, ratio_present);
  const float own_mean = own.mean == kUndefined ? kNeutralRatio : own.mean;
  // Without spread in either index the site has no deviation to lend: the series' mean
  // ratio is the estimate.
  const bool rescale = site_moments.std_dev > 0.0f && own.std_dev > 0.0f;

  std::vector<int> filled;
  for (int year : work.missing_years) {
    const auto j = static_cast<std::size_t>(year - s.first_year);
    if (is_missing(site[j])) continue;
    const float index =
        rescale ? (site[j] - site_moments.mean) / site_moments.std_dev * own.std_dev + own_mean
                : own_mean;
    s.values[j] = std::clamp(index * curve[j], range->low, range->high);
    filled.push_back(year);
  }

  if (interactive_ && plot_flag_ == 0) plot_flag_ = 1;
  if (interactive_ || plot_flag_ == 1) {
    show(s.values, curve, s.first_year, tsi1_.ids[at(i)], filled);
  }
}

// One page of the plot; the plot may only turn the flag off.
void GapFiller::show(std::span<const float> values, std::span<const float> curve, int first_year,
                     const std::string& id, std::span<const int> years) {
  if (!plot_) return;
  std::string clean = id;
  stringclean(clean);
  clean = std::string(trim_right(clean));
  int flag = plot_flag_;
  plot_(GapPlotPage{values, curve, first_year, clean, kPlotTitle, kPlotXLabel, kPlotYLabel, years},
        flag);
  if (flag == 0) plot_flag_ = 0;
}

void GapFiller::run() {
  if (tsi1_.count <= 0) return;
  if (tsi1_.years.size() <= static_cast<std::size_t>(tsi1_.count) ||
      tsi1_.ids.size() < static_cast<std::size_t>(tsi1_.count)) {
    throw std::invalid_argument("fillin: the series year table or the ids are incomplete.");
  }
  const SeriesYears& set = tsi1_.years[static_cast<std::size_t>(tsi1_.count)];
  set_first_year_ = set.ify;
  set_years_ = set.ily - set.ify + 1;
  if (set_years_ < 1 || set_years_ > tsi1_.rows) {
    throw std::invalid_argument("fillin: the set's years do not fit the series matrix.");
  }

  // Each series' growth trend, in series order.
  std::vector<SeriesWork> work;
  work.reserve(static_cast<std::size_t>(tsi1_.count));
  for (int i = 1; i <= tsi1_.count; ++i) {
    stop_if_interrupted();
    work.push_back(growth_trend(i));
  }

  // The site index from every series' present values.
  const std::vector<float> site = site_index();

  // The filling, in series order.
  for (int i = 1; i <= tsi1_.count; ++i) {
    stop_if_interrupted();
    fill(i, work[at(i)], site);
  }
}

}  // namespace

std::vector<Gap> find_gaps(std::span<const int> missing_years) {
  std::vector<Gap> gaps;
  for (int year : missing_years) {
    if (gaps.empty() || year - gaps.back().last > 1) {
      gaps.push_back({year, year});
    } else {
      gaps.back().last = year;
    }
  }
  return gaps;
}

void fillin(Tsi1& tsi1, const Icommands& icommands, Console& console, const GapPlot& plot) {
  GapFiller(tsi1, icommands, console, plot).run();
}

}  // namespace dendro
