#include "detrending/detrend.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <string>

#include "detrending/curve_fit.h"
#include "detrending/decade_plot.h"
#include "detrending/detrend_pass.h"
#include "detrending/growth_curves.h"
#include "detrending/indices.h"
#include "series/biweight.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kHeadEvery = 20;  // the report head repeats before every 20th series
constexpr float kNoStartCurve = -999.0f;

// The fit legend of the report: the smoothers' and differences' lines, then those of the
// curve-fit codes (written from column 3).
constexpr const char* kLegendSmoothers[] = {
    "   -6: age dependent spline         f(i) = age dependent spline",
    "   -5: variable span smoother         f(i) = variable span smooth",
    "   -4: lowess robust smoother         f(i) = lowess robust smooth",
    "   -3: median smoothing               f(i) = median sharp/smooth",
    "  -2:  regional curve detrending      f(i) = one age-aligned curve",
    "  -1:  first-differences              f(i) = y(i) - y(i-1)"};

// The start curve that the fit page draws, or, for a fit without one, a first value that
// says so.
std::vector<float> start_curve_of(const CurveFit& f) {
  if (!f.start_curve.empty()) return f.start_curve;
  std::vector<float> none(count(f.n), 0.0f);
  if (!none.empty()) none[0] = kNoStartCurve;
  return none;
}

// The curve file: the data file's output prefix (never cut) and the pass's suffix.
std::string curve_file_name(const Commands& commands, DetrendingPass pass) {
  return output_prefix(commands.data_file) +
         (pass == DetrendingPass::second ? "_crv2.txt" : "_crv1.txt");
}

}  // namespace

DetrendPass::DetrendPass(Tsi1& tsi1, const Icommands& icommands, Commands& commands, Units& units,
                         Console& con, StatsTable& stats, DetrendingPass pass,
                         const DetrendPlots& plots, std::span<const int> plot_vector,
                         std::span<const int> series_codes)
    : tsi1_(tsi1),
      icommands_(icommands),
      commands_(commands),
      units_(units),
      con_(con),
      stats_(stats),
      plots_(plots),
      plot_vector_(plot_vector),
      series_codes_(series_codes),
      pass_(pass),
      options_(pass_options(pass)) {}

std::vector<int> DetrendPass::run() {
  set_up();
  for (int i = 1; i <= tsi1_.count; ++i) {
    stop_if_interrupted();
    detrend_series(i);
  }
  finish();
  return own_codes_;
}

bool DetrendPass::summary_plot_wanted() const {
  return spaghetti_plots_on(icommands_[opt::summary_plots]);
}

bool DetrendPass::keeps_curves() const {
  return series_saved(icommands_[opt::core_series_save]) || summary_plot_wanted();
}

void DetrendPass::set_up() {
  plot_flag_ = icommands_[options_.plots];
  interactive_ = icommands_[opt::interactive];

  // A curve file left by an earlier run is removed now, so that a pass that ends early
  // leaves none behind.
  if (keeps_curves()) {
    units_.create(unit::series, curve_file_name(commands_, pass_));
    units_.close(unit::series, true);
  }

  con_.say("");
  con_.say(first_pass() ? "first detrending of individual tree-ring series"
                        : "second detrending of individual tree-ring series");
  con_.say("");
  if (series_statistics_printed(icommands_[opt::printout])) write_legend();

  const std::size_t rows = count(tsi1_.rows) + 1;
  for (auto* v : {&curve_, &buffer_}) v->assign(rows, 0.0f);
  curves_.assign(count(tsi1_.count), {});
  indices_.assign(count(tsi1_.count), {});
  continued_ = false;
  own_codes_.clear();
}

void DetrendPass::write_legend() {
  const int out = unit::out;
  const Layout plain(
      "(/t2,'|--------------- growth curve used ',"
      "'for detrending tree-ring data --------------|')");
  const Layout robust(
      "(/t2,'|------------ robust growth curve used ',"
      "'for detrending tree-ring data -------------|')");
  units_.write(out, (icommands_[opt::robust_detrending] == 1 ? plain : robust).write());
  units_.write(out, "  option");
  const Layout line("(t3,a)");
  for (const char* text : kLegendSmoothers) units_.write(out, line.write(text));
  for (const char* text : kFitCodeLines) units_.write(out, line.write(text));
  units_.write(
      out,
      Layout("(/t4,'(a, b, c are coefficients, d is intercept ','or asymptote, p is pith offset)')")
          .write());
}

void DetrendPass::detrend_series(int i) {
  if (continued_) {
    con_.say("");
    con_.say(first_pass() ? "first detrending of individual tree-ring series continued"
                          : "second detrending of individual tree-ring series continued");
    con_.say("");
  }
  Current s;
  s.i = i;
  s.code = pass_option();
  const SeriesYears& years = tsi1_.year_row(i);
  s.fy = s.first_fy = years.ify;
  s.ly = years.ily;
  s.n = s.first_n = s.ly - s.fy + 1;
  s.r = s.first_r = s.fy - tsi1_.year_row(tsi1_.count + 1).ify + 1;
  const auto values = series_values(s);
  std::copy(values.begin(), values.end(), buffer_.begin());
  continued_ = false;
  s.unresolved = false;
  s.parameter = icommands_[options_.parameter];
  bool in_hand = take_series_code(s);

  // Each round is one fit; a refit follows only an answer of the user, so the rounds end
  // with the console input at the latest.
  for (;;) {
    if (!in_hand) fit_curve(s);
    in_hand = false;
    use_fit(s);
    Decision decision = Decision::accept;
    for (;;) {
      if (wants_dialogue(s)) decision = show_and_ask(s);
      if (decision == Decision::refit) break;
      if (!s.unresolved) {
        accept(s);
        return;
      }
      stop_question();  // returns only when the user goes back to the dialogue
    }
    restore(s);
    s.refit = true;
  }
}

bool DetrendPass::take_series_code(Current& s) {
  if (count(s.i) > series_codes_.size()) return false;
  const int code = series_codes_[at(s.i)];
  if (code == fit::none || code == pass_option() || code == fit::regional_curve) return false;
  const std::string note = " *** series " + std::string(trim_right(tsi1_.ids[at(s.i)])) +
                           ": detrending code " + std::to_string(code) +
                           " of the batch detail file ";
  if (!changes_fit_to(code)) {
    con_.say(note + "fits no curve: option " + std::to_string(pass_option()) + " is used");
    return false;
  }
  if (window_code(code)) {
    con_.say(note + "needs a window that the file does not keep: option " +
             std::to_string(pass_option()) + " is used");
    return false;
  }
  // A fall-back code may be the one the run that wrote the file recorded for the pass's
  // option: when the option's fit ends in it again, that fit stands, and the report
  // repeats that run's.
  if (may_fall_back_to(pass_option(), code)) {
    fit_curve(s);
    if (s.fitted == code) return true;
    restore(s);
  }
  s.code = code;
  // The super smoother gets the middle alpha that a change after a negative curve gives it.
  s.parameter = code == fit::super_smoother ? kChangedSmootherAlpha : 0;
  own_codes_.push_back(code);
  return false;
}

std::span<float> DetrendPass::series_values(const Current& s) {
  return tsi1_.column(s.i).subspan(count(s.r - 1), count(s.n));
}

std::span<const float> DetrendPass::measurements(const Current& s) const {
  // Under first differences the values start one year later than the saved series.
  return std::span<const float>(buffer_).subspan(count(s.fy - s.first_fy), count(s.n));
}

void DetrendPass::fit_curve(Current& s) {
  // Window rule: a window longer than the series is the series; a negative one is a
  // percentage of its length (an odd number of values for the running medians).
  if (window_code(s.code) || fit::percent_spline(s.code)) {
    if (s.parameter > s.n) s.parameter = s.n;
    if (s.parameter < 0) {
      s.parameter = static_cast<int>(std::fabs(static_cast<float>(s.parameter)) / 100.0f *
                                     static_cast<float>(s.n));
      if (s.code == fit::running_median && s.parameter % 2 == 0) --s.parameter;
    }
  }
  s.asked = s.code;
  const CurveFit f = detrend1(series_values(s), std::span<float>(curve_).first(count(s.n)), s.code,
                              s.parameter, con_);
  s.too_short = f.too_short;
  s.code = f.option;
  s.fitted = f.fitted();
  s.parameter = f.parameter;
  coef_ = f.coef;
  if (s.code == fit::super_smoother) {
    // The smoother's alpha, where the report and the plot's legend read it.
    coef_.d = static_cast<float>(s.parameter);
    coef_.plot = static_cast<float>(s.parameter);
  }
  start_curve_ = start_curve_of(f);
  if (s.code == fit::first_differences) {
    // The differences start one year later; the series' old first row holds -9.99.
    s.n = f.n;
    ++s.fy;
    tsi1_.year_row(s.i).ify = s.fy;
    ++s.r;
  }
}

void DetrendPass::use_fit(Current& s) {
  if (s.too_short) {
    con_.say(" *** series " + std::string(trim_right(tsi1_.ids[at(s.i)])) + ": " +
             std::to_string(s.n) + (s.n == 1 ? " value" : " values") +
             ", too few for the curve of option " + std::to_string(s.asked) +
             ": the horizontal line through its mean is used");
  }
  if (s.code == fit::first_differences) {
    s.negative = false;
  } else {
    guard(s);
  }
  if (s.negative) return;
  report(s);
  make_indices(s);
  character_plot(s);
}

void DetrendPass::guard(Current& s) {
  s.negative = false;
  for (int p = 1; p <= s.n; ++p) {
    const float v = curve_[at(p)];
    // A curve value of 0 or below (or not a number) makes no index.
    if (v > 0) continue;
    con_.say(Layout("(/'*** series: ',a8,'  growth curve goes ','negative! ***'/'year: ',i6,1x,"
                    "f8.3+)")
                 .write(field(tsi1_.ids[at(s.i)], 8), s.fy + p - 1,
                        finite_or(shown_curve_value(v), 0.0)));
    continued_ = true;
    s.unresolved = true;
    s.negative = true;
    coef_.plot = static_cast<float>(s.code);
    con_.pause(" hit <ret> to display the dirty dog!");
    return;
  }
}

void DetrendPass::report(Current& s) {
  const int printout = icommands_[opt::printout];
  if (!series_statistics_printed(printout)) return;
  const int out = unit::out;
  if ((s.i == 1 && !s.refit) || fit_plots_printed(printout) || s.i % kHeadEvery == 0) {
    units_.write(out, Layout("(/t2,'series   ident     option       ',"
                             "'a           b           c           d         p')")
                          .write());
  }
  const std::string id = field(tsi1_.ids[at(s.i)], 8);
  switch (s.code) {
    case fit::running_median:
      units_.write(out, Layout("(t2,i5,3x,a8,i4,i5,11x,'median filter curve and window width')")
                            .write(s.i, id, s.code, s.parameter));
      coef_.plot = static_cast<float>(s.parameter);
      return;
    case fit::lowess:
      units_.write(out, Layout("(t2,i5,3x,a8,i4,i5,11x,'lowess robust curve and window width')")
                            .write(s.i, id, s.code, s.parameter));
      coef_.plot = static_cast<float>(s.parameter);
      return;
    case fit::super_smoother:
      units_.write(out, Layout("(t2,i5,3x,a8,i4,i5,11x,'friedman super smoother curve and alpha')")
                            .write(s.i, id, s.code, s.parameter));
      return;
    default:
      break;
  }
  if (fit::spline_code(s.code)) {
    const int stiffness = spline_stiffness(s.code, s.n);
    // A stiffness in percent of 5000 years reaches six digits: its field widens.
    units_.write(out, Layout("(t2,i5,3x,a8,i5,i5+,9x,'smoothing spline curve and window width')")
                          .write(s.i, id, s.code, stiffness));
    coef_.plot = static_cast<float>(stiffness);
    return;
  }
  const int p = simplex_code(s.code) ? static_cast<int>(coef_.p) : 0;
  if (s.code != s.asked) {
    units_.write(out,
                 Layout("(t2,i5,3x,a8,i7,3x,'--> curve fit option failed ','and changed to: ',i5)")
                     .write(s.i, id, s.asked, s.code));
  }
  units_.write(out, Layout("(t2,i5,3x,a8,i7,1x,4f12.6,i8)")
                        .write(s.i, id, s.code, coef_.a, coef_.b, coef_.c, coef_.d, p));
}

void DetrendPass::make_indices(const Current& s) {
  const auto y = series_values(s);
  if (y.empty()) return;
  if (s.code == fit::first_differences) {
    // First differences: indices about 1.0.
    const float mean = xmean(y, con_);
    for (float& v : y) v = v - mean + 1.0f;
    return;
  }
  calind(y, std::span<const float>(curve_).first(y.size()), icommands_[opt::index_calculation]);
}

void DetrendPass::character_plot(const Current& s) {
  if (!fit_plots_printed(icommands_[opt::printout])) return;
  pltdec1(measurements(s), std::span<const float>(curve_).first(count(s.n)), series_values(s), s.fy,
          decade_block_length(s.n), units_, unit::out, 4, interactive_, con_);
}

void DetrendPass::restore(Current& s) {
  s.fy = s.first_fy;
  s.n = s.first_n;
  s.r = s.first_r;
  tsi1_.year_row(s.i).ify = s.fy;
  std::copy(buffer_.begin(), buffer_.begin() + s.n, series_values(s).begin());
}

void DetrendPass::accept(const Current& s) {
  const auto y = series_values(s);
  curves_[at(s.i)] = {s.fy, s.ly, std::vector<float>(curve_.begin(), curve_.begin() + s.n)};
  indices_[at(s.i)] = {s.fy, s.ly, std::vector<float>(y.begin(), y.end())};
  tsi1_.year_row(s.i).idt = s.fitted;
}

// Puts every series' record on the chronology's year axis, -9.99 outside its years.
void DetrendPass::place(const std::vector<SeriesRecord>& records) {
  const int set_first = tsi1_.year_row(tsi1_.count + 1).ify;
  for (int i = 1; i <= tsi1_.count; ++i) {
    auto column = tsi1_.column(i);
    std::fill(column.begin(), column.end(), kMissing);
    const SeriesRecord& rec = records[at(i)];
    const int offset = rec.first_year - set_first;
    for (std::size_t k = 0; k < rec.values.size(); ++k) {
      const long row = offset + static_cast<long>(k);
      if (row >= 0 && row < tsi1_.rows) column[static_cast<std::size_t>(row)] = rec.values[k];
    }
  }
}

void DetrendPass::finish() {
  SeriesYears& set = tsi1_.year_row(tsi1_.count + 1);
  if (pass_option() == fit::first_differences) {
    // First differences: the set starts one year later. A series refitted with another
    // code keeps its first year; it loses that year so that it stays on the year axis.
    ++set.ify;
    for (int i = 1; i <= tsi1_.count; ++i) {
      SeriesYears& y = tsi1_.year_row(i);
      for (auto* rec : {&curves_[at(i)], &indices_[at(i)]}) {
        const int drop = std::min(set.ify - rec->first_year, static_cast<int>(rec->values.size()));
        if (drop <= 0) continue;
        rec->values.erase(rec->values.begin(), rec->values.begin() + drop);
        rec->first_year += drop;
      }
      y.ify = std::max(y.ify, set.ify);
    }
  }
  if (keeps_curves()) {
    place(curves_);
    if (summary_plot_wanted()) summary_plot();
    write_curve_file();
  }
  place(indices_);
  sstat(tsi1_, stats_, units_, unit::out, icommands_[opt::printout]);
}

void DetrendPass::summary_plot() {
  const SeriesYears& set = tsi1_.year_row(tsi1_.count + 1);
  const int years = std::min(set.ily - set.ify + 1, tsi1_.rows);
  tsi1_.overlay.assign(count(std::max(years, 1)), kMissing);
  std::vector<float> values;
  for (int j = 1; j <= years; ++j) {
    tsi1_.present_in_row(j, values);
    if (!values.empty()) tsi1_.overlay[at(j)] = biwgt(values, kBiweightTuning, 1).location;
  }
  const bool first = first_pass();
  if (!plots_.all_series) {
    con_.say(" plot not available");
    return;
  }
  plots_.all_series(
      tsi1_, first ? "1st-detrending curves with mean" : "2nd-detrending curves with mean", "years",
      first ? "measurements" : "indices", first ? kFirstDetrendingCurves : kSecondDetrendingCurves);
}

void DetrendPass::write_curve_file() {
  const int save = icommands_[opt::core_series_save];
  if (!series_saved(save)) return;
  units_.create(unit::series, curve_file_name(commands_, pass_));
  if (saved_with_header_lines(save)) {
    // The file tag goes into the last six characters of each header line, and stays.
    for (int h = 1; h <= 3; ++h) {
      const int first = Commands::kHeaderFirst[h - 1];
      commands_.set(first + 79, first + 84, first_pass() ? " crv1" : " crv2");
      units_.write(unit::series, commands_.header_line(h));
    }
  }
  sis(units_.out(unit::series), tsi1_, save, "crv", con_);
  units_.close(unit::series);
}

std::vector<int> detrend(Tsi1& tsi1, const Icommands& icommands, Commands& commands, Units& units,
                         Console& con, StatsTable& stats, DetrendingPass pass,
                         const DetrendPlots& plots, std::span<const int> plot_vector,
                         std::span<const int> series_codes) {
  return DetrendPass(tsi1, icommands, commands, units, con, stats, pass, plots, plot_vector,
                     series_codes)
      .run();
}

}  // namespace dendro
