// The run-wide storage blocks of kalder: the option table, the character block and the
// unit table. They are owned by the program's driver and passed by reference.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dendro {

inline constexpr int kMaxYears = 5000;         // years per series and per chronology
inline constexpr int kMaxSeriesKalder = 1500;  // series per data file in kalder
inline constexpr int kMaxSeriesPelliform = 4500;
// A pith offset beyond this many years puts a series' first ring past the last of the
// regional curve's 5000 ages; an offset counts rings, so the smallest is 0.
inline constexpr int kLargestPithOffset = kMaxYears - 1;
// The calendar years that the programs take: the decadal records hold a year down to
// -99999 in their six-column year field and up to 9999 in the four-column one. The 5000
// years of a chronology limit its span, not where it lies in the calendar.
inline constexpr int kEarliestYear = -99999;
inline constexpr int kLatestYear = 9999;

// The columns of an integer field for years down to `earliest`: `columns` while its years
// fit them, else as many as the earliest year takes, sign included. A table sizes its year
// field once with it, so that ordinary years keep their usual layout and early ones no
// longer overflow it.
constexpr int year_columns(int earliest, int columns) {
  int needed = earliest < 0 ? 2 : 1;
  for (long long rest = earliest < 0 ? -static_cast<long long>(earliest) : earliest; rest >= 10;
       rest /= 10) {
    ++needed;
  }
  return needed > columns ? needed : columns;
}

// The columns of a right-justified year field, the one rule by which every writer sizes
// one: `columns`, the layout's usual width, while every year from `earliest` to
// kLatestYear fits it with `blanks` blank columns before it, else just as many as the
// widest of them takes with its blanks. A table sizes its year field once by its earliest
// year (a year written alone passes itself), so that ordinary years keep their usual
// columns and early ones neither overflow the field nor join the field before it. A field
// at the start of a line, or after a text or a mark that ends before it, needs no blank
// of its own (`blanks` 0).
constexpr int year_field(int earliest, int columns, int blanks = 1) {
  const int early = year_columns(earliest, 1), late = year_columns(kLatestYear, 1);
  const int needed = (early > late ? early : late) + blanks;
  return needed > columns ? needed : columns;
}

// The edit descriptor "iW" of such a year field.
inline std::string year_descriptor(int earliest, int columns, int blanks = 1) {
  return "i" + std::to_string(year_field(earliest, columns, blanks));
}

// Where one value of the option table stands: option k's parameter j (0 to 4) is element
// k + 30 j. The numbers are those the user sees in the menu and the log file.
struct OptionElement {
  int option;
  int parameter = 0;
  constexpr int element() const { return option + 30 * parameter; }
};

// Every value of the option table by name. The values each element takes are those of its
// rule, `value_rule` (options/value_rules.cpp); the codes that choose a behaviour are named
// and decoded in series/option_values.h and series/fit_codes.h.
namespace opt {
// 1 tucson ring widths, 2 mib pex series, 3 tucson indices, 4 compact format
inline constexpr OptionElement data_type{1};
inline constexpr OptionElement missing_data{2};  // gap filling code
inline constexpr OptionElement missing_data_plots{2, 1};
inline constexpr OptionElement transformation{3};  // 0 none, 1 to 5 the transformations
inline constexpr OptionElement transformation_plots{3, 1};
inline constexpr OptionElement first_detrending{4};  // a curve-fit code (series/fit_codes.h)
inline constexpr OptionElement first_detrending_parameter{4, 1};
inline constexpr OptionElement first_detrending_plots{4, 2};
inline constexpr OptionElement second_detrending{5};
inline constexpr OptionElement second_detrending_parameter{5, 1};
inline constexpr OptionElement second_detrending_plots{5, 2};
inline constexpr OptionElement robust_detrending{6};  // 1 least squares (2 robust is refused)
inline constexpr OptionElement interactive{7};        // interactive gap filling/detrending
inline constexpr OptionElement index_calculation{8};  // 1 ratios, 2 differences
inline constexpr OptionElement ar_method{9};          // 0 none, 1 to 3 the methods (ar_kind)
inline constexpr OptionElement ar_method_plots{9, 1};
inline constexpr OptionElement pooled_ar_order{10};
inline constexpr OptionElement pooled_ar_plots{10, 1};
inline constexpr OptionElement series_ar_order{11};
// 0 none, 1 arithmetic, 2 biweight, -1 (minimum) to -100 (maximum) a quantile
inline constexpr OptionElement mean_chronology{12};
inline constexpr OptionElement bootstrap_plots{12, 1};
inline constexpr OptionElement bootstrap_limits{12, 2};  // 1: bootstrap confidence limits
inline constexpr OptionElement bootstrap_spline{12, 3};  // spline length of the limits
// 0 none, 1 rbar-weighted, 2 also the 67% spline, beyond 9 or -9 a spline
inline constexpr OptionElement stabilisation{13};
inline constexpr OptionElement common_period_first{14};
inline constexpr OptionElement common_period_last{14, 1};
// The site-tree-core mask option's own element: always 0, the mask itself is kept in the
// character block.
inline constexpr OptionElement site_tree_core_mask{15};
inline constexpr OptionElement running_rbar_window{16};
inline constexpr OptionElement running_rbar_overlap{16, 1};
inline constexpr OptionElement running_rbar_plots{16, 2};
inline constexpr OptionElement printout{17};
inline constexpr OptionElement core_series_save{18};  // 0 none, 1 to 7 the save formats
inline constexpr OptionElement summary_plots{19};
inline constexpr OptionElement stand_dynamics{20};        // 0 none, 1 to 3 (stand_dynamics_kind)
inline constexpr OptionElement release_window{20, 1};     // running mean window width
inline constexpr OptionElement release_threshold{20, 2};  // percent growth change threshold
inline constexpr OptionElement release_error_limit{20, 3};
inline constexpr OptionElement stand_dynamics_plots{20, 4};
inline constexpr OptionElement spare_first{1, 5};   // element 151
inline constexpr OptionElement spare_second{2, 5};  // element 152
}  // namespace opt

// Option table: 152 integers numbered from 1 (see OptionElement); the log file and the
// menu use that numbering. Elements 151 and 152 are spare. A value is reached by its
// name only; the few places that go over the whole table by number do so through
// for_each_element.
struct Icommands {
 public:
  static constexpr int kElements = 152;

  int& operator[](OptionElement o) { return e_.at(static_cast<std::size_t>(o.element())); }
  int operator[](OptionElement o) const { return e_.at(static_cast<std::size_t>(o.element())); }

  // Calls f(number, value) for elements 1 to 152 in order.
  template <class F>
  void for_each_element(F f) {
    for (int k = 1; k <= kElements; ++k) f(k, e_[static_cast<std::size_t>(k)]);
  }
  template <class F>
  void for_each_element(F f) const {
    for (int k = 1; k <= kElements; ++k) f(k, e_[static_cast<std::size_t>(k)]);
  }

  bool operator==(const Icommands&) const = default;

 private:
  std::array<int, kElements + 1> e_{};  // e_[0] is unused
};

// Character block: 1024 characters numbered from 1. The named positions are those of the
// option storage; the data file name is also kept whole, so that output names built from
// it are never cut to its 40-character field.
struct Commands {
  std::string text = std::string(1024, ' ');
  std::string data_file;  // the data file name in hand, untrimmed of nothing but blanks

  char& at(int position) { return text.at(static_cast<std::size_t>(position - 1)); }
  char at(int position) const { return text.at(static_cast<std::size_t>(position - 1)); }
  std::string get(int first, int last) const {
    return text.substr(static_cast<std::size_t>(first - 1),
                       static_cast<std::size_t>(last - first + 1));
  }
  // Puts `value` into positions first..last, padded with blanks or cut to fit.
  void set(int first, int last, std::string_view value) {
    std::string f(value.substr(0, std::min<std::size_t>(value.size(), last - first + 1)));
    f.resize(static_cast<std::size_t>(last - first + 1), ' ');
    text.replace(static_cast<std::size_t>(first - 1), f.size(), f);
  }

  // Named positions.
  static constexpr int kSameCommands = 1;
  static constexpr int kSavedMaskFirst = 2, kSavedMaskLast = 9;
  static constexpr int kMaskFirst = 10, kMaskLast = 17;
  static constexpr int kPlotMode = 18;
  static constexpr int kContinue = 19;
  static constexpr int kBatchMode = 20;
  static constexpr int kDataKindFirst = 21, kDataKindLast = 22;
  static constexpr int kWriteModeFirst = 23, kWriteModeLast = 24;
  static constexpr int kSavedKindFirst = 25, kSavedKindLast = 26;
  static constexpr int kPooledArSwitch = 27;
  static constexpr int kNameFirst = 28, kNameLast = 67;
  static constexpr int kHeaderFirst[3] = {68, 153, 238};
  static constexpr int kHeaderLength = 85;

  std::string mask() const { return get(kMaskFirst, kMaskLast); }
  void set_mask(std::string_view m) { set(kMaskFirst, kMaskLast, m); }
  bool batch_run() const { return at(kBatchMode) == 'y' || at(kBatchMode) == 'Y'; }
  std::string data_kind() const { return get(kDataKindFirst, kDataKindLast); }
  void set_data_kind(std::string_view code) { set(kDataKindFirst, kDataKindLast, code); }
  std::string write_mode() const { return get(kWriteModeFirst, kWriteModeLast); }
  // Header line h (1 to 3), 85 characters.
  std::string header_line(int h) const {
    return get(kHeaderFirst[h - 1], kHeaderFirst[h - 1] + kHeaderLength - 1);
  }
  void set_header_line(int h, std::string_view line) {
    set(kHeaderFirst[h - 1], kHeaderFirst[h - 1] + kHeaderLength - 1, line);
  }
  // The data file name: kept whole, and its first 40 characters in positions 28 to 67.
  void set_data_file(std::string_view name) {
    data_file = std::string(name);
    set(kNameFirst, kNameLast, name);
  }
};

// Unit numbers of kalder's files.
namespace unit {
inline constexpr int file_names = 9;
inline constexpr int data = 10;
inline constexpr int out = 11;
inline constexpr int tabs = 12;
inline constexpr int crns = 13;
inline constexpr int series = 14;
inline constexpr int detail = 15;
inline constexpr int scratch = 16;
inline constexpr int errs = 17;
inline constexpr int spare = 20;
inline constexpr int log = 21;
inline constexpr int crns_raw = 30, crns_std = 31, crns_res = 32, crns_kld = 33, crns_rcs = 34;
inline constexpr int err_raw = 35, err_std = 36, err_res = 37, err_kld = 38, err_rcs = 39;
}  // namespace unit

}  // namespace dendro
