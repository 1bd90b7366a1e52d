#include "plots/chronology_plot.h"

#include <plplot/plplot.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "plots/panel.h"
#include "plots/ticks.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kTitleLength = 70;
constexpr std::size_t kLabelLength = 60;
constexpr int kNameShift = 9;             // blanks before the name in both titles
constexpr int kLabelShift = 10;           // blanks before the lower x label
constexpr float kMaxStart = -9999.0f;     // start of a maximum search
constexpr float kMinStart = 9999.0f;      // start of a minimum search
constexpr float kNoStartCurve = -999.0f;  // first value of an absent start curve
constexpr std::string_view kArOutliersTitle = " autoregressive outliers";
constexpr int kFitParameters = 7;

// Fixed layouts of the fit description.
constexpr std::string_view kFitValuesShort = "(3f6.3,f6.2,i3)";
constexpr std::string_view kFitValuesLong = "(3f6.3,f6.2,i4)";
constexpr std::string_view kWindowYears = "(i4)";
constexpr std::string_view kAlphaDigit = "(i1)";
constexpr std::string_view kLimitValue = "(f8.3)";

// Viewports of the panels (normalized subpage coordinates).
constexpr Viewport kUpper{0.1, 0.9, 0.15, 0.9};
constexpr Viewport kLower{0.1, 0.9, 0.17, 0.9};
constexpr Viewport kUpperOfThree{0.1, 0.9, 0.1, 0.85};
constexpr Viewport kLowerOfThree{0.1, 0.9, 0.1, 0.85};
constexpr Viewport kDepthPanel{0.1, 0.9, 0.2, 0.9};

std::vector<double> first_n(std::span<const float> values, int n) {
  std::vector<double> out(static_cast<std::size_t>(std::max(n, 0)), 0.0);
  const std::size_t have = std::min(out.size(), values.size());
  std::copy_n(values.begin(), have, out.begin());
  return out;
}

float max_of(const std::vector<double>& v, float start = kMaxStart) {
  float m = start;
  for (double e : v) m = std::max(m, static_cast<float>(e));
  return m;
}

float min_of(const std::vector<double>& v, float start = kMinStart) {
  float m = start;
  for (double e : v) m = std::min(m, static_cast<float>(e));
  return m;
}

double mean_of(const std::vector<double>& v) {
  if (v.empty()) return 0;
  double sum = 0;
  for (double e : v) sum += e;
  return sum / static_cast<double>(v.size());
}

int count_nonzero(const std::vector<double>& v) {
  return static_cast<int>(std::count_if(v.begin(), v.end(), [](double e) { return e != 0; }));
}

bool all_one(const std::vector<double>& v) {
  return std::all_of(v.begin(), v.end(), [](double e) { return e == 1.0; });
}

constexpr std::array<TickStep, 6> kDepthSteps{{
    {10, 5.0f, 1},
    {50, 10.0f, 4},
    {100, 25.0f, 1},
    {500, 100.0f, 5},
    {2000, 500.0f, 4},
    {std::numeric_limits<int>::max(), 1000.0f, 2},
}};

// Sample-depth axis of the chronology page: the maximum raised to a half step, the ticks
// chosen by the span.
Axis depth_axis(const std::vector<double>& d) {
  Axis a;
  a.min = min_of(d);
  a.max = max_of(d, -9999.9f);
  if (a.max < 100) {
    a.max = raise_to_half_step(a.max, 10.0f);
  } else if (a.max < 1000) {
    a.max = raise_to_half_step(a.max, 100.0f);
  }
  ticks_by_span(a, static_cast<int>(a.max - a.min), kDepthSteps);
  return a;
}

// The page of one call: copies of the data and texts, rebuilt at every set-up.
class ChronologyPage {
 public:
  ChronologyPage(Console& con, const ChronologyPlot& in, int& fit_option)
      : con_(con), in_(in), fit_option_(fit_option) {}

  void set_up(PlotStyle& s);
  void draw(const PlotStyle& s) const;
  bool extra_item(int item);

 private:
  void copy_data();
  void make_texts();
  void arrange_fit();
  void set_limits(PlotStyle& s);
  void draw_upper(const PlotStyle& s) const;
  void draw_lower(const PlotStyle& s) const;
  void draw_fit_description(const PlotStyle& s) const;
  void wide(const std::vector<double>& y, int colour, const PlotStyle& s) const;

  Console& con_;
  const ChronologyPlot& in_;
  int& fit_option_;

  int n_ = 0;
  std::vector<double> x_;
  std::array<std::vector<double>, 6> c_;  // c_[0] is c1
  std::vector<double> r_;                 // reference line
  std::vector<double> d_;                 // sample depth
  std::array<float, kFitParameters> p_{};
  int nonzero_ = 0;  // non-zero values of the lower panel's curve (kinds 2, 4, 7)
  bool no_curve_name_ = false;
  bool ar_outliers_ = false;
  Axis depth_;
  std::string upper_title_, lower_title_, y_label_, lower_x_label_, z_label_, curve_name_;
};

void ChronologyPage::copy_data() {
  n_ = std::max(in_.n, 0);
  const std::array<std::span<const float>, 6> given{in_.c1, in_.c2, in_.c3, in_.c4, in_.c5, in_.c6};
  for (std::size_t k = 0; k < c_.size(); ++k) c_[k] = first_n(given[k], n_);
  if (in_.kind == 5) {
    x_ = c_[1];  // the window middle years
  } else {
    x_.resize(static_cast<std::size_t>(n_));
    for (int i = 1; i <= n_; ++i) x_[at(i)] = in_.first_year + i - 1;
  }
  d_.assign(static_cast<std::size_t>(n_), 0.0);
  const std::size_t have = std::min(d_.size(), in_.depth.size());
  std::copy_n(in_.depth.begin(), have, d_.begin());
  p_.fill(0.0f);
  std::copy_n(in_.fit.begin(), std::min<std::size_t>(in_.fit.size(), p_.size()), p_.begin());
}

void ChronologyPage::make_texts() {
  const std::string name = std::string(kNameShift, ' ') + std::string(trim_right(in_.name));
  upper_title_ = field(name + std::string(in_.upper_title), kTitleLength);
  lower_title_ = field(name + std::string(in_.lower_title), kTitleLength);
  lower_x_label_ =
      left_justified(std::string(kLabelShift, ' ') + std::string(in_.lower_x_label), kLabelLength);
  y_label_ = left_justified(std::string(in_.y_label), kLabelLength);
  z_label_ = left_justified(std::string(in_.z_label), kLabelLength);
  switch (in_.kind) {
    case 2:
    case 4:
    case 5:
    case 7:
    case 9:
      lalign(upper_title_);
      lalign(lower_title_);
      break;
    case 1:
      lalign(lower_title_);
      break;
    default:  // 3, 6, 8 keep the name's indent
      break;
  }
}

// Brings the parameters into the form of the formula a*t**b*exp(-c*t)+k that the page
// prints, by the fit-kind code q in p(7), and names the curve.
void ChronologyPage::arrange_fit() {
  float& p1 = p_[0];
  float& p2 = p_[1];
  float& p3 = p_[2];
  float& p6 = p_[5];
  float& p7 = p_[6];
  const float q = p7;
  const bool exponential = q > fit::none && q <= fit::general_neg_exponential;
  if (exponential && p2 > 0) {
    p3 = p2;
    p2 = 1.0f;
  } else if ((exponential && (p1 == 0 || p2 == 0)) || q == fit::line || q == fit::falling_line) {
    p1 = p3;
    p2 = 1.0f;
    p3 = 0.0f;
    if (fit_option_ > fit::running_median) p7 = static_cast<float>(fit::line);
  }
  if (q > fit::none && q < fit::hugershoff) p6 = 0.0f;

  // An exponential that came out flat is a straight line, and the caller learns so.
  const bool exponential_option =
      fit_option_ >= fit::neg_exponential && fit_option_ <= fit::general_neg_exponential;
  if (exponential_option && p2 == 0.0f) fit_option_ = fit::line;
  curve_name_ = std::string(curve_name(fit_option_));
}

void ChronologyPage::set_limits(PlotStyle& s) {
  const auto& c = c_;
  switch (in_.kind) {
    case 1: {
      s.y.min = 0, s.y.max = max_of(c[0]);
      s.z.min = 0, s.z.max = std::max(max_of(c[3]), max_of(c[4]));
      if (s.z.max == 1.0f) s.z.max = s.y.max;
      r_.assign(x_.size(), 1.0);
      ar_outliers_ = trim_right(in_.lower_title) == kArOutliersTitle;
      if (ar_outliers_) {
        s.curve_width = 1;
        no_curve_name_ = true;
      }
      break;
    }
    case 2:
    case 4:
      s.y.min = 0, s.y.max = max_of(c[0]);
      s.z.min = 0, s.z.max = max_of(c[3]);
      nonzero_ = count_nonzero(c[3]);
      break;
    case 3:
      s.y.min = 0, s.y.max = max_of(c[0]);
      s.z.min = 0, s.z.max = max_of(c[3]);
      break;
    case 5:
      s.y.min = 0, s.y.max = 0.9f;
      s.z.min = 0, s.z.max = 0.9f;
      r_.assign(x_.size(), 0.85);
      break;
    case 6:
      s.y.min = min_of(c[0]), s.y.max = max_of(c[0]);
      s.z.min = min_of(c[3]), s.z.max = max_of(c[3]);
      break;
    case 7:
      s.y.min = min_of(c[0]), s.y.max = max_of(c[1]);
      s.z.min = min_of(c[3]), s.z.max = max_of(c[4]);
      nonzero_ = count_nonzero(c[4]);
      s.curve_width = 1;
      s.line_colour = kBlue;
      break;
    case 8:
      s.y.min = min_of(c[0]), s.y.max = max_of(c[0]);
      s.z.min = min_of(c[4]), s.z.max = max_of(c[4]);
      if (all_one(c[4])) {
        s.z.min = 0, s.z.max = 2.0f;
        no_curve_name_ = true;
      }
      r_.assign(x_.size(), 1.0);
      break;
    case 9:
      s.y.min = 0, s.y.max = max_of(c[2]);
      s.z = s.y;
      break;
    default:
      break;
  }
  if (in_.kind == 3 || in_.kind == 9) {
    r_.assign(x_.size(), in_.page == 1 ? mean_of(c[0]) : 1.0);
  }

  // The year axis on whole decades, then the ticks of all three axes.
  const float first =
      x_.empty() ? static_cast<float>(in_.first_year) : static_cast<float>(x_.front());
  const float last = x_.empty() ? first : static_cast<float>(x_.back());
  s.x.min = decade_start(first);
  s.x.max = decade_end(last);
  ticit(s.x, s.y, s.z);
  if (in_.kind == 3) depth_ = depth_axis(d_);
}

void ChronologyPage::set_up(PlotStyle& s) {
  no_curve_name_ = false;
  ar_outliers_ = false;
  nonzero_ = 0;
  r_.clear();
  copy_data();
  make_texts();
  arrange_fit();
  set_limits(s);
}

void ChronologyPage::wide(const std::vector<double>& y, int colour, const PlotStyle& s) const {
  pen(s.curve_width);
  draw_line(x_, y, colour);
  pen(s.line_style);
}

void ChronologyPage::draw_fit_description(const PlotStyle& s) const {
  const int option = fit_option_;
  const int window = std::abs(static_cast<int>(p_[6]));
  if (option >= fit::neg_exponential && !fit::spline_code(option)) {
    const int shift = static_cast<int>(p_[5]);
    const std::string values =
        fmt_write(shift < 10 ? kFitValuesShort : kFitValuesLong, p_[0], p_[1], p_[2], p_[4], shift);
    draw_text("t", -1.8, 0.6, "f(i)=a*t(i+p)**b*exp(-c*t(i+p))+k", s.text_colour);
    draw_text("t", -3.5, 0.63, "   a     b     c     k    p   ", s.text_colour);
    draw_text("t", -5.2, 0.6, values, s.text_colour);
  } else if (option == fit::running_median || option == fit::lowess || fit::spline_code(option)) {
    std::string text = option == fit::running_median ? "     yr. median filter"
                       : option == fit::lowess       ? "     yr. lowess smooth"
                                                     : "     yr. low-pass filter";
    text.replace(0, 4, fmt_write(kWindowYears, window));
    draw_text("t", -1.8, 0.7, text, s.text_colour);
  } else if (option == fit::super_smoother) {
    draw_text("t", -1.8, 0.7, "       alpha = " + fmt_write(kAlphaDigit, window), s.text_colour);
  }
  // The regional curve and the age-dependent spline have a blank line, no detrending nothing.
}

void ChronologyPage::draw_upper(const PlotStyle& s) const {
  const auto& c = c_;
  const int L = s.line_colour, C = s.curve_colour, C2 = s.second_curve_colour;
  pllsty(s.line_style);
  switch (in_.kind) {
    case 1: {
      draw_line(x_, c[0], L);
      const bool start_curve = !c[5].empty() && c[5][0] != kNoStartCurve;
      pen(s.curve_width);
      if (start_curve) draw_line(x_, c[5], kBlue);
      draw_line(x_, c[1], C);
      pen(s.line_style);
      if (start_curve) {
        draw_text("t", -0.01, 0.05, "first linearized fit", kBlue);
        draw_text("t", -1.35, 0.05, "final non-linear fit", kRed);
      }
      if (!no_curve_name_) draw_text("t", 0.0, 0.7, curve_name_, s.text_colour);
      draw_fit_description(s);
      break;
    }
    case 2:
    case 4:
    case 6:
    case 7:
      draw_line(x_, c[0], L);
      wide(c[1], C, s);
      if (in_.kind == 7) draw_level(x_, 0.0, s.frame_colour);
      break;
    case 3:
      draw_line(x_, c[0], L);
      wide(c[1], C, s);
      draw_line(x_, r_, L);
      break;
    case 5: {
      draw_line(x_, c[0], L);
      std::vector<double> low(c[0]), high(c[0]);
      for (std::size_t i = 0; i < low.size(); ++i) {
        low[i] -= 2 * c[4][i];
        high[i] += 2 * c[4][i];
      }
      plcol0(s.symbol_colour);
      if (!x_.empty()) {
        plerry(static_cast<PLINT>(x_.size()), x_.data(), low.data(), high.data());
        plpoin(static_cast<PLINT>(x_.size()), x_.data(), c[0].data(), s.symbol);
      }
      break;
    }
    case 8:
      draw_line(x_, c[0], L);
      draw_line(x_, c[1], C);
      draw_line(x_, r_, C2);
      break;
    case 9:
      draw_line(x_, c[1], C);
      draw_line(x_, c[2], C);
      draw_line(x_, c[0], L);
      draw_line(x_, r_, s.symbol_colour);
      break;
    default:
      break;
  }
}

void ChronologyPage::draw_lower(const PlotStyle& s) const {
  const auto& c = c_;
  const int L = s.line_colour, C = s.curve_colour, C2 = s.second_curve_colour;
  pllsty(s.line_style);
  switch (in_.kind) {
    case 1:
      // The indices always; their smooth unless the caller left it out (first value 0).
      draw_line(x_, c[3], L);
      if (!c[4].empty() && c[4][0] != 0) wide(c[4], C, s);
      draw_line(x_, r_, ar_outliers_ ? C : L);
      break;
    case 2:
    case 4:
    case 7:
      if (nonzero_ >= 1 && nonzero_ <= n_) {
        draw_line(x_, c[3], L);
        wide(c[4], C, s);
      }
      if (in_.kind == 7) draw_level(x_, 0.0, s.frame_colour);
      break;
    case 3:
    case 6:
      draw_line(x_, c[3], L);
      wide(c[4], C, s);
      draw_level(x_, 1.0, L);
      break;
    case 5: {
      // EPS, window by window; a window whose EPS is undefined breaks the line and has no
      // symbol.
      const std::size_t windows = std::min(x_.size(), c[3].size());
      std::size_t from = 0;
      while (from < windows) {
        std::size_t to = from;
        while (to < windows && c[3][to] != kRbarUndefined) ++to;
        if (to > from) {
          const std::span<const double> x(x_.data() + from, to - from);
          const std::span<const double> y(c[3].data() + from, to - from);
          draw_line(x, y, L);
          plcol0(s.symbol_colour);
          plpoin(static_cast<PLINT>(x.size()), x.data(), y.data(), s.symbol);
        }
        from = to + 1;
      }
      draw_line(x_, r_, C);
      break;
    }
    case 8:
      draw_line(x_, c[3], L);
      draw_line(x_, c[4], C);
      if (!all_one(c[4])) draw_line(x_, r_, C2);
      break;
    case 9:
      draw_line(x_, c[4], C);
      draw_line(x_, c[5], C);
      draw_line(x_, c[3], L);
      draw_level(x_, mean_of(c[3]), s.symbol_colour);
      break;
    default:
      break;
  }
}

void ChronologyPage::draw(const PlotStyle& s) const {
  const bool three = in_.kind == 3;
  draw_frame(s, three ? kUpperOfThree : kUpper, s.x, s.y, "", y_label_, upper_title_);
  draw_upper(s);
  draw_frame(s, three ? kLowerOfThree : kLower, s.x, s.z, lower_x_label_, z_label_, lower_title_);
  draw_lower(s);
  if (three) {
    draw_frame(s, kDepthPanel, s.x, depth_, lower_x_label_, "samples (z2)", "");
    draw_line(x_, d_, s.line_colour);
  }
}

bool ChronologyPage::extra_item(int item) {
  if (in_.kind != 3 || (item != 22 && item != 23)) return false;
  const std::string_view question =
      item == 22 ? "change z2 axis max value from: " : "change z2 axis min. value from: ";
  float& limit = item == 22 ? depth_.max : depth_.min;
  con_.say("");
  con_.say("               " + std::string(question) + fmt_write(kLimitValue, limit));
  con_.prompt("             to > ");
  read_value(con_, limit);
  return true;
}

}  // namespace

std::string_view curve_name(int fit_option) {
  switch (fit_option) {
    case fit::regional_curve:
      return "rcs growth curve";
    case fit::age_spline:
      return "age dependent spline";
    case fit::super_smoother:
      return "friedman super smoother";
    case fit::lowess:
      return "lowess robust smoother";
    case fit::running_median:
      return "median filter sharpener";
    case fit::neg_exponential:
    case fit::neg_exponential_or_falling_line:
    case fit::general_neg_exponential:
      return "negative exponential curve";
    case fit::line:
    case fit::falling_line:
      return "linear regression curve";
    case fit::horizontal_mean:
      return "horizontal mean curve";
    case fit::hugershoff:
      return "hugershoff curve";
    case fit::general_exponential:
      return "general exponential curve";
    default:
      return fit::fixed_spline(fit_option) ? "cubic smoothing spline" : "";
  }
}

void crnplt1(PlotSession& session, const ChronologyPlot& plot, int& plot_flag, int& fit_option) {
  ChronologyPage page(session.console(), plot, fit_option);
  PlotDefinition def;
  def.menu = plot.kind == 3 ? full_menu({"| sample depth plot       max z2          [22] |",
                                         "|                         min z2          [23] |"})
                            : full_menu();
  def.shape = PageShape{1, plot.kind == 3 ? 3 : 2};
  def.title = std::string(trim_right(plot.name)) + std::string(trim_right(plot.upper_title));
  if (!trim_right(plot.lower_title).empty()) {
    def.title += " /" + std::string(trim_right(plot.lower_title));
  }
  bind_page(def, page);
  def.extra_item = [&page](int item, std::string_view) { return page.extra_item(item); };
  if (plot_loop(session, def) == PlotExit::no_more_plots) plot_flag = 0;
}

void crnplt1(PlotSession& session, const ChronologyPlot& plot, int& plot_flag) {
  int no_fit_option = 0;
  crnplt1(session, plot, plot_flag, no_fit_option);
}

void set_texts(ChronologyPlot& plot, std::string_view name, const PageTexts& texts) {
  plot.name = name;
  plot.upper_title = texts.top_title;
  plot.lower_title = texts.bottom_title;
  plot.y_label = texts.y_label;
  plot.z_label = texts.z_label;
  plot.page = texts.page;
  plot.kind = texts.kind;
}

ChronologyPlot two_panels(std::span<const float> c1, std::span<const float> c2,
                          std::span<const float> c4, std::span<const float> c5, int n,
                          int first_year) {
  ChronologyPlot plot;
  plot.c1 = c1;
  plot.c2 = c2;
  plot.c4 = c4;
  plot.c5 = c5;
  plot.n = n;
  plot.first_year = first_year;
  return plot;
}

ChronologyPlot two_panels(std::span<const float> c1, std::span<const float> c2,
                          std::span<const float> c4, std::span<const float> c5, int n,
                          int first_year, std::string_view name, const PageTexts& texts) {
  ChronologyPlot plot = two_panels(c1, c2, c4, c5, n, first_year);
  set_texts(plot, name, texts);
  return plot;
}

}  // namespace dendro
