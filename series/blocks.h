// The run-wide storage blocks of kalder: the option table, the character block and the
// unit table. They are owned by the program's driver and passed by reference.
#pragma once

#include <array>
#include <string>
#include <string_view>

namespace dendro {

inline constexpr int kMaxYears = 5000;          // years per series and per chronology
inline constexpr int kMaxSeriesKalder = 1500;   // series per data file in kalder
inline constexpr int kMaxSeriesPelliform = 4500;
// A pith offset beyond this many years puts a series' first ring past the last of the
// regional curve's 5000 ages (or, below its negative, every ring before the first).
inline constexpr int kLargestPithOffset = kMaxYears - 1;

// Option table: 152 integers numbered from 1. Option k's parameter j (0 to 4) is element
// k + 30 j; the log file and the stages use that numbering. Element 151 is the detrending
// pass, 152 is spare.
struct Icommands {
  std::array<int, 153> e{};  // e[0] is unused

  int& operator[](int element) { return e.at(static_cast<std::size_t>(element)); }
  int operator[](int element) const { return e.at(static_cast<std::size_t>(element)); }
  int& option(int k, int j = 0) { return (*this)[k + 30 * j]; }
  int option(int k, int j = 0) const { return (*this)[k + 30 * j]; }
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
