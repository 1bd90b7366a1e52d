// Fixed-column text layouts written as Fortran-style edit descriptors.
//
// A Layout is parsed once from its descriptor text, such as "(a8,i4,10i6)", and then writes
// values into records (lines) or reads fields out of them. Supported descriptors: Iw, Iw.m,
// Fw.d, Ew.d, Ew.dEe, A, Aw, nX, Tn, TLn, TRn, '/', ':', quoted literals, repeat counts and
// nested groups. When the values outlast the layout, the record ends and the layout resumes
// at its last top-level group (or at its start), as Fortran format reversion does.
//
// A '+' after an I or F field, as in "(i6+,2f8.3+)", makes it spaced: the value always
// keeps a blank before it, so that it never joins the field before it, and never turns
// into asterisks. Fw.d+ writes the value as Fw.d when that leaves a blank in the field's
// first column, else with as few decimals less as do (1000.98 in f8.3+ as " 1000.98", the
// marker -99.0 in f7.3+ as " -99.00"); a value too large even for a whole number is written
// after one blank in as many columns as it needs (1234567.0 in f8.3+ as " 1234567."), and
// the fields after it move right. Iw+ writes the value as Iw when it leaves a blank, else
// after one blank in as many columns as it needs (-12345 in i6+ as " -12345"). NaN and
// infinity are written as the F field writes them. A spaced field cannot be read: its
// columns depend on the value.
#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <ranges>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>
#include <vector>

namespace dendro {

// A layout text that cannot be parsed, or that cannot serve the values given to it.
class FormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A field that cannot be read. `record` and `column` are 1-based; `width` is the number of
// columns of the field (0 when no field was being read, as at the end of the input).
class ReadError : public std::runtime_error {
 public:
  ReadError(const std::string& message, int record, int column, int width = 0);
  int record;
  int column;
  int width;
};

// One value handed to Layout::write.
using Value = std::variant<long long, double, std::string_view>;

// One field read by Layout::read: integer for I, real for F and E, text for A.
struct Field {
  long long integer = 0;
  double real = 0;
  float real_single = 0;    // the field's text rounded once to single precision
  bool beyond_end = false;  // the record ended before the field began (read as blanks)
  int record = 0;           // the record of the read it came from, 1 for the first
  int column = 0;           // the field's first column in its record, 1 for the first
  std::string text;
  // I, F and E fields: the number read, without blanks and with the implied decimals in
  // place ("12.34" for "1234" read with f4.2), for messages that show it as read.
  std::string number;
};

namespace detail {
// One step of a layout compiled to a flat list: a descriptor, or the start or end of a
// group. A group's start holds its repeat count and the index past its end; its end holds
// the index of its start.
struct Step {
  enum class Kind {
    integer,
    fixed,
    exponent,
    alpha,
    skip,
    tab,
    tab_left,
    tab_right,
    slash,
    colon,
    literal,
    group,
    group_end
  };
  Kind kind = Kind::group;
  int repeat = 1;
  int width = -1;   // -1: not given (A, and I0/F0 minimal width is 0)
  int digits = -1;  // m of Iw.m, d of Fw.d and Ew.d
  int exponent_digits = -1;
  bool spaced = false;  // I or F written with '+': a blank before the value at any size
  std::string literal;
  std::size_t jump = 0;
};

// One parsed descriptor. Groups hold their items in `children`.
struct Node {
  using Kind = Step::Kind;
  Kind kind = Kind::group;
  int repeat = 1;
  int width = -1;
  int digits = -1;
  int exponent_digits = -1;
  bool spaced = false;
  std::string literal;
  std::vector<Node> children;
};

// The number of values that append_value adds for `v`.
template <class T>
std::size_t value_count(const T& v) {
  if constexpr (std::is_arithmetic_v<T> || std::is_convertible_v<const T&, std::string_view>) {
    return 1;
  } else {
    std::size_t count = 0;
    for (const auto& e : v) count += value_count(e);
    return count;
  }
}

// Puts the values that append_value adds for `v` at out[next], out[next + 1], ...
template <class T>
void place_value(Value* out, std::size_t& next, const T& v) {
  if constexpr (std::is_same_v<T, bool>) {
    out[next++] = static_cast<long long>(v);
  } else if constexpr (std::is_same_v<T, char>) {
    out[next++] = std::string_view(&v, 1);
  } else if constexpr (std::is_integral_v<T>) {
    out[next++] = static_cast<long long>(v);
  } else if constexpr (std::is_floating_point_v<T>) {
    out[next++] = static_cast<double>(v);
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    out[next++] = std::string_view(v);
  } else {
    static_assert(std::ranges::range<T>, "unsupported value type for Layout::write");
    for (const auto& e : v) place_value(out, next, e);
  }
}

template <class T>
void append_value(std::vector<Value>& out, const T& v) {
  if constexpr (std::is_same_v<T, bool>) {
    out.emplace_back(static_cast<long long>(v));
  } else if constexpr (std::is_same_v<T, char>) {
    out.emplace_back(std::string_view(&v, 1));
  } else if constexpr (std::is_integral_v<T>) {
    out.emplace_back(static_cast<long long>(v));
  } else if constexpr (std::is_floating_point_v<T>) {
    out.emplace_back(static_cast<double>(v));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    out.emplace_back(std::string_view(v));
  } else {
    static_assert(std::ranges::range<T>, "unsupported value type for Layout::write");
    for (const auto& e : v) append_value(out, e);
  }
}
}  // namespace detail

class Layout {
 public:
  // Parses `text`; throws FormatError when it is not a valid layout.
  explicit Layout(std::string_view text);

  // Writes the values (numbers, texts, and ranges of them) and returns the records joined
  // by '\n', without a final newline. A value that does not fit its field fills it with '*'
  // (a spaced field widens instead).
  template <class... Args>
  std::string write(const Args&... args) const {
    // A record's worth of values in place; longer lists on the heap.
    constexpr std::size_t kInPlace = 32;
    const std::size_t count = (detail::value_count(args) + ... + 0);
    if (count <= kInPlace) {
      Value values[kInPlace];
      [[maybe_unused]] std::size_t next = 0;
      (detail::place_value(values, next, args), ...);
      return write_values(std::span<const Value>(values, count));
    }
    std::vector<Value> values;
    values.reserve(count);
    (detail::append_value(values, args), ...);
    return write_values(values);
  }
  std::string write_values(std::span<const Value> values) const;

  // Reads `count` fields from one record; a field beyond the end of the record reads as
  // blanks (a number as 0). Throws ReadError when a field cannot be read or when the
  // layout needs a second record.
  std::vector<Field> read(std::string_view record, std::size_t count) const;
  // As above over several records: `next_record` gives the next one, or nothing at the
  // end of the input (a ReadError then).
  std::vector<Field> read(const std::function<std::optional<std::string>()>& next_record,
                          std::size_t count) const;

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::vector<detail::Step> steps_;  // the layout compiled once, when it is made
  std::size_t reversion_ = 0;        // the step where the layout resumes
  bool has_data_ = false;            // whether any step takes a value
};

// Shorthand for a layout used once.
template <class... Args>
std::string fmt_write(std::string_view layout, const Args&... args) {
  return Layout(layout).write(args...);
}

// Reads `count` integers written free-form (separated by blanks or commas; a '/' ends the
// record early). Throws ReadError when a value is not an integer or when fewer than
// `count` values are present.
std::vector<long long> read_list_integers(std::string_view record, std::size_t count);

// One word of a free-form record: its text, its columns (from 1) and its value when the
// text is an integer.
struct ListWord {
  std::string text;
  int first_column = 0;
  int last_column = 0;
  std::optional<long long> value;
};

// The first `count` words of a free-form record as read_list_integers separates them; fewer
// when the record ends (or a '/' ends it) before. Never throws: a caller that must say where
// a record went wrong looks at the words.
std::vector<ListWord> list_words(std::string_view record, std::size_t count);

// Strips a trailing carriage return, so that files with CRLF endings read like LF files.
std::string_view chomp(std::string_view line);

// What is left of `value` after an F field with `decimals` decimals writes it and a read of
// that field gives it back: the precision of a value carried through a fixed-format record.
// The field rounds the exact binary value, ties to even, as write does; 0 to 8 decimals.
float as_written(float value, int decimals);

// `value`, or `undefined` when it is not a number or infinite: the value a field shows for
// a statistic that may be undefined.
double finite_or(double value, double undefined);

}  // namespace dendro
