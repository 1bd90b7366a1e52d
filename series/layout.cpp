#include "series/layout.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace dendro {

ReadError::ReadError(const std::string& message, int record_no, int column_no, int width_no)
    : std::runtime_error(message + " (record " + std::to_string(record_no) + ", column " +
                         std::to_string(column_no) + ")"),
      record(record_no),
      column(column_no),
      width(width_no) {}

namespace {

using detail::Node;
using detail::Step;
using Kind = Step::Kind;

constexpr std::size_t kRecordCapacity = 128;  // reserved for a write: most records fit
constexpr std::size_t kFixedDigits = 400;     // the largest double has 309 digits before the point

bool is_data(Kind k) {
  return k == Kind::integer || k == Kind::fixed || k == Kind::exponent || k == Kind::alpha;
}

// Parses "(" item {[","] item} ")" where item is [r]descriptor, [r]"(" ... ")" or a literal.
class Parser {
  using Kind = Node::Kind;

 public:
  explicit Parser(std::string_view text) : s_(text) {}

  std::vector<Node> parse() {
    skip_blanks();
    expect('(');
    std::vector<Node> nodes = parse_list();
    skip_blanks();
    if (i_ != s_.size()) fail("text after the closing parenthesis");
    return nodes;
  }

 private:
  std::string_view s_;
  std::size_t i_ = 0;

  [[noreturn]] void fail(const std::string& what) const {
    throw FormatError("bad layout \"" + std::string(s_) + "\": " + what);
  }
  void skip_blanks() {
    while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t')) ++i_;
  }
  char peek() {
    skip_blanks();
    return i_ < s_.size() ? static_cast<char>(std::tolower(static_cast<unsigned char>(s_[i_])))
                          : '\0';
  }
  void expect(char c) {
    if (peek() != c) fail(std::string("expected '") + c + "'");
    ++i_;
  }
  std::optional<int> number() {
    skip_blanks();
    if (i_ >= s_.size() || !std::isdigit(static_cast<unsigned char>(s_[i_]))) return std::nullopt;
    long v = 0;
    while (i_ < s_.size() && std::isdigit(static_cast<unsigned char>(s_[i_]))) {
      v = v * 10 + (s_[i_++] - '0');
      if (v > 1000000) fail("number too big");
    }
    return static_cast<int>(v);
  }
  int required_number(const char* what) {
    auto v = number();
    if (!v) fail(std::string("missing ") + what);
    return *v;
  }

  // Parses items up to and including the closing parenthesis of the current group.
  std::vector<Node> parse_list() {
    std::vector<Node> nodes;
    for (;;) {
      char c = peek();
      if (c == ')') {
        ++i_;
        return nodes;
      }
      if (c == ',') {
        ++i_;
        continue;
      }
      if (c == '\0') fail("missing ')'");
      nodes.push_back(parse_item());
    }
  }

  Node parse_item() {
    Node n;
    std::optional<int> repeat = number();
    char c = peek();
    if (c == '\0') fail("unexpected end");
    ++i_;
    switch (c) {
      case '(':
        n.kind = Kind::group;
        n.children = parse_list();
        break;
      case '\'':
      case '"':
        n.kind = Kind::literal;
        n.literal = quoted(c);
        return n;
      case 'h':
        if (!repeat || *repeat == 0) fail("H needs a count");
        if (i_ + *repeat > s_.size()) fail("H runs past the end");
        n.kind = Kind::literal;
        n.literal = std::string(s_.substr(i_, *repeat));
        i_ += *repeat;
        return n;
      case 'i':
        n.kind = Kind::integer;
        n.width = required_number("width");
        if (peek() == '.') {
          ++i_;
          n.digits = required_number("digits");
        }
        n.spaced = spacing(n.width);
        break;
      case 'f':
        n.kind = Kind::fixed;
        n.width = required_number("width");
        expect('.');
        n.digits = required_number("digits");
        n.spaced = spacing(n.width);
        break;
      case 'e':
        n.kind = Kind::exponent;
        n.width = required_number("width");
        if (n.width == 0) fail("E needs a width above 0");
        expect('.');
        n.digits = required_number("digits");
        if (peek() == 'e') {
          ++i_;
          n.exponent_digits = required_number("exponent digits");
        }
        break;
      case 'a':
        n.kind = Kind::alpha;
        if (auto w = number()) n.width = *w;
        break;
      case 'x':
        n.kind = Kind::skip;
        n.width = repeat.value_or(1);
        return n;
      case 't': {
        char next = peek();
        n.kind = next == 'l' ? Kind::tab_left : next == 'r' ? Kind::tab_right : Kind::tab;
        if (n.kind != Kind::tab) ++i_;
        n.width = required_number("tab position");
        if (n.kind == Kind::tab && n.width < 1) fail("tab position below 1");
        return n;
      }
      case '/':
        n.kind = Kind::slash;
        break;
      case ':':
        n.kind = Kind::colon;
        return n;
      default:
        fail(std::string("unknown edit descriptor '") + c + "'");
    }
    n.repeat = repeat.value_or(1);
    if (n.repeat < 1) fail("repeat count below 1");
    return n;
  }

  // Whether a '+' follows the field just read, which makes it spaced.
  bool spacing(int width) {
    if (peek() != '+') return false;
    ++i_;
    if (width == 0) fail("a spaced field needs a width above 0");
    return true;
  }

  // A literal; the quote character doubled stands for itself.
  std::string quoted(char quote) {
    std::string out;
    for (;;) {
      if (i_ >= s_.size()) fail("unterminated literal");
      char c = s_[i_++];
      if (c == quote) {
        if (i_ < s_.size() && s_[i_] == quote) {
          out += quote;
          ++i_;
          continue;
        }
        return out;
      }
      out += c;
    }
  }
};

// The records being written, joined by '\n' as they end: the current record is the text
// from `start` on, with a position that T, TL, TR and X move without writing, so that
// positioning past the end adds nothing unless a field follows. Fields are formatted into
// `field`, one buffer kept for every field of the write.
struct RecordWriter {
  std::string out;
  std::size_t start = 0;
  std::size_t pos = 0;
  std::string field;

  // Room for `width` characters at the position (blanks fill a gap before it), which then
  // moves past them; the caller writes every one of them.
  char* claim(std::size_t width) {
    const std::size_t at = start + pos;
    if (out.size() < at) out.resize(at, ' ');
    if (out.size() < at + width) out.resize(at + width);
    pos += width;
    return out.data() + at;
  }
  void put(std::string_view text) { text.copy(claim(text.size()), text.size()); }
  // Right-justifies `text` in `width` columns, or fills them with '*' when it does not fit.
  // A width of 0 means "as many columns as needed".
  void put_justified(std::string_view text, int width) {
    if (width == 0) return put(text);
    const auto w = static_cast<std::size_t>(width);
    char* at = claim(w);
    if (text.size() > w) {
      std::fill_n(at, w, '*');
      return;
    }
    std::fill_n(at, w - text.size(), ' ');
    text.copy(at + (w - text.size()), text.size());
  }
  void end_record() {
    out += '\n';
    start = out.size();
    pos = 0;
  }
};

void put_stars(RecordWriter& w, int width) {
  std::fill_n(w.claim(static_cast<std::size_t>(width)), width, '*');
}

// Iw.m: at least m digits (zeros in front), the sign before them, right-justified. A
// spaced field too narrow to leave a blank before them widens to one blank more.
void put_integer(RecordWriter& w, long long v, int width, int min_digits, bool spaced) {
  if (min_digits == 0 && v == 0) {
    std::fill_n(w.claim(static_cast<std::size_t>(width)), width, ' ');
    return;
  }
  unsigned long long magnitude =
      v < 0 ? 0ULL - static_cast<unsigned long long>(v) : static_cast<unsigned long long>(v);
  char digits[24];
  const auto count = static_cast<std::size_t>(
      std::to_chars(digits, digits + sizeof digits, magnitude).ptr - digits);
  const std::size_t sign = v < 0 ? 1 : 0;
  const std::size_t zeros =
      min_digits > 0 && count < static_cast<std::size_t>(min_digits) ? min_digits - count : 0;
  const std::size_t length = sign + zeros + count;
  if (spaced && length >= static_cast<std::size_t>(width)) width = static_cast<int>(length) + 1;
  if (width > 0 && length > static_cast<std::size_t>(width)) return put_stars(w, width);
  const std::size_t field = width == 0 ? length : static_cast<std::size_t>(width);
  char* at = w.claim(field);
  at = std::fill_n(at, field - length, ' ');
  at = std::fill_n(at, sign, '-');
  at = std::fill_n(at, zeros, '0');
  std::copy_n(digits, count, at);
}

// Drops the optional zero before the decimal point ("0.5" -> ".5") when the field is narrow.
void put_dropping_zero(RecordWriter& w, std::string_view text, int width) {
  if (width == 0 || static_cast<int>(text.size()) <= width) return w.put_justified(text, width);
  std::size_t zero = text[0] == '-' ? 1 : 0;
  if (text.size() > zero + 1 && text[zero] == '0' && text[zero + 1] == '.') {
    w.field.assign(text.substr(0, zero));
    w.field.append(text.substr(zero + 1));
    return w.put_justified(w.field, width);
  }
  w.put_justified(text, width);
}

void put_special(RecordWriter& w, double v, int width) {
  std::string_view text = std::isnan(v) ? "NaN" : (v < 0 ? "-Infinity" : "Infinity");
  if (width != 0 && static_cast<int>(text.size()) > width && std::isinf(v)) {
    text = v < 0 ? "-Inf" : "Inf";
  }
  w.put_justified(text, width);
}

// Fw.d: the exact binary value rounded to d decimals, ties to even, as printf's "%.*f"
// writes it (to_chars is defined to give printf's text, and is faster); F with no
// decimals keeps the point ("3.").
// The text of put_fixed for a value that a float holds exactly, with at most 8 decimals
// and below 1e10: its product with 10^d (at most 24 + 27 bits) is then exact in double, so
// rounding the product rounds the exact binary value, ties to even, as printf does; the
// digits then come from integer arithmetic. Returns 0 for any other value.
std::size_t fixed_of_single(double v, int digits, char* buf) {
  constexpr int kMostDecimals = 8;
  constexpr double kLargest = 1e10;
  constexpr double kPowers[kMostDecimals + 1] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8};
  constexpr unsigned long long kScales[kMostDecimals + 1] = {
      1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
  if (digits < 0 || digits > kMostDecimals || !(std::fabs(v) < kLargest) ||
      static_cast<double>(static_cast<float>(v)) != v) {
    return 0;
  }
  const auto units =
      static_cast<unsigned long long>(std::nearbyint(std::fabs(v) * kPowers[digits]));
  char* at = buf;
  if (std::signbit(v)) *at++ = '-';
  at = std::to_chars(at, at + kFixedDigits / 2, units / kScales[digits]).ptr;
  if (digits > 0) {
    *at++ = '.';
    unsigned long long fraction = units % kScales[digits];
    for (int k = digits - 1; k >= 0; --k) {
      at[k] = static_cast<char>('0' + fraction % 10);
      fraction /= 10;
    }
    at += digits;
  }
  return static_cast<std::size_t>(at - buf);
}

// The text of a finite `v` with `digits` decimals, in `buf`, before any field trims it.
std::string_view fixed_text(double v, int digits, char (&buf)[kFixedDigits]) {
  if (const std::size_t length = fixed_of_single(v, digits, buf)) {
    if (digits == 0) buf[length] = '.';
    return std::string_view(buf, length + (digits == 0 ? 1 : 0));
  }
  const auto [end, error] =
      std::to_chars(buf, buf + sizeof buf - 1, v, std::chars_format::fixed, digits);
  std::size_t length = static_cast<std::size_t>(end - buf);
  if (error != std::errc()) {
    // Too many digits for the buffer: printf's text, cut at the buffer's end.
    const int count = std::snprintf(buf, sizeof buf, digits == 0 ? "%#.*f" : "%.*f", digits, v);
    length = std::min(static_cast<std::size_t>(std::max(count, 0)), sizeof buf - 1);
  } else if (digits == 0) {
    buf[length++] = '.';
  }
  return std::string_view(buf, length);
}

void put_fixed(RecordWriter& w, double v, int width, int digits) {
  if (!std::isfinite(v)) return put_special(w, v, width);
  char buf[kFixedDigits];
  put_dropping_zero(w, fixed_text(v, digits, buf), width);
}

// Fw.d+: the most decimals, from d down, whose text leaves a blank in the field's first
// column; else a blank and the whole number in as many columns as it needs.
void put_spaced_fixed(RecordWriter& w, double v, int width, int digits) {
  if (!std::isfinite(v)) return put_special(w, v, width);
  char buf[kFixedDigits];
  std::string_view text;
  for (int d = digits; d >= 0; --d) {
    text = fixed_text(v, d, buf);
    if (text.size() < static_cast<std::size_t>(width)) return w.put_justified(text, width);
  }
  w.put(" ");
  w.put(text);
}

// Ew.d[Ee]: [-]0.ddddE+xx, the exponent in e digits (2 when not given, and then "+xxx"
// without the letter for exponents of three digits).
void put_exponent(RecordWriter& w, double v, int width, int digits, int exponent_digits) {
  if (!std::isfinite(v)) return put_special(w, v, width);
  std::string mantissa;
  int exponent = 0;
  if (v == 0) {
    mantissa = std::string(static_cast<std::size_t>(digits), '0');
  } else if (digits == 0) {
    return put_stars(w, width);  // no digit can carry the value
  } else {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*e", digits - 1, std::fabs(v));
    std::string s(buf);
    std::size_t e = s.find('e');
    for (std::size_t k = 0; k < e; ++k) {
      if (s[k] != '.') mantissa += s[k];
    }
    exponent = std::atoi(s.c_str() + e + 1) + 1;
  }
  int magnitude = std::abs(exponent);
  std::string exp_text;
  std::string exp_digits = std::to_string(magnitude);
  int wanted = exponent_digits > 0 ? exponent_digits : magnitude <= 99 ? 2 : 3;
  if (static_cast<int>(exp_digits.size()) > wanted) return put_stars(w, width);
  exp_digits.insert(0, static_cast<std::size_t>(wanted) - exp_digits.size(), '0');
  bool letter = exponent_digits > 0 || magnitude <= 99;
  exp_text = std::string(letter ? "E" : "") + (exponent < 0 ? "-" : "+") + exp_digits;
  std::string text = std::string(std::signbit(v) ? "-" : "") + "0." + mantissa + exp_text;
  put_dropping_zero(w, text, width);
}

void put_alpha(RecordWriter& w, std::string_view s, int width) {
  if (width < 0) return w.put(s);
  const auto wide = static_cast<std::size_t>(width);
  if (s.size() >= wide) return w.put(s.substr(0, wide));
  char* at = w.claim(wide);
  std::fill_n(at, wide - s.size(), ' ');
  s.copy(at + (wide - s.size()), s.size());
}

const char* value_kind(const Value& v) {
  return std::holds_alternative<long long>(v) ? "an integer"
         : std::holds_alternative<double>(v)  ? "a real"
                                              : "a text";
}

void put_field(RecordWriter& w, const Step& n, const Value& v, const std::string& layout) {
  auto mismatch = [&]() -> FormatError {
    return FormatError("layout \"" + layout + "\" cannot write " + value_kind(v) + " with " +
                       (n.kind == Kind::integer ? "I"
                        : n.kind == Kind::alpha ? "A"
                                                : "F/E"));
  };
  switch (n.kind) {
    case Kind::integer:
      if (auto p = std::get_if<long long>(&v)) {
        return put_integer(w, *p, n.width, n.digits, n.spaced);
      }
      throw mismatch();
    case Kind::fixed:
    case Kind::exponent: {
      double x;
      if (auto p = std::get_if<double>(&v)) {
        x = *p;
      } else if (auto q = std::get_if<long long>(&v)) {
        x = static_cast<double>(*q);
      } else {
        throw mismatch();
      }
      if (n.kind == Kind::exponent) {
        return put_exponent(w, x, n.width, n.digits, n.exponent_digits);
      }
      return n.spaced ? put_spaced_fixed(w, x, n.width, n.digits)
                      : put_fixed(w, x, n.width, n.digits);
    }
    case Kind::alpha:
      if (auto p = std::get_if<std::string_view>(&v)) return put_alpha(w, *p, n.width);
      throw mismatch();
    default:
      return;
  }
}

// The parsed layout as a flat list of steps: each group becomes its start, its items and
// its end. `reversion` gets the step of the last top-level group (0 without one).
void compile(const std::vector<Node>& nodes, std::vector<Step>& steps, std::size_t* reversion) {
  for (const Node& n : nodes) {
    Step step;
    step.kind = n.kind;
    step.repeat = n.repeat;
    step.width = n.width;
    step.digits = n.digits;
    step.exponent_digits = n.exponent_digits;
    step.spaced = n.spaced;
    step.literal = n.literal;
    if (n.kind != Kind::group) {
      steps.push_back(std::move(step));
      continue;
    }
    const std::size_t start = steps.size();
    if (reversion) *reversion = start;
    steps.push_back(std::move(step));
    compile(n.children, steps, nullptr);
    Step end;
    end.kind = Kind::group_end;
    end.jump = start;
    steps.push_back(std::move(end));
    steps[start].jump = steps.size();
  }
}

// Runs the steps from the first: `data(step)` for each data descriptor while `more()`
// holds and `control(step)` for every other descriptor, until a data descriptor (or colon)
// finds nothing more to do. While values remain after the last step, a new record starts
// at the reversion step, as Fortran format reversion does.
template <class More, class Data, class Control, class NewRecord>
void run(const std::vector<Step>& steps, std::size_t reversion, bool data_present,
         const std::string& text, More& more, Data& data, Control& control, NewRecord& new_record) {
  // The groups being repeated: the step of each one's start and the rounds still to go;
  // a few levels of nesting in place, deeper ones (rare) on the heap.
  struct Round {
    std::size_t start;
    int left;
  };
  constexpr std::size_t kNestingInPlace = 8;
  Round in_place[kNestingInPlace];
  std::vector<Round> deeper;
  std::size_t depth = 0;
  const auto round = [&](std::size_t level) -> Round& {
    return level < kNestingInPlace ? in_place[level] : deeper[level - kNestingInPlace];
  };
  std::size_t k = 0;
  for (;;) {
    if (k == steps.size()) {
      if (!more()) return;
      if (!data_present) throw FormatError("layout \"" + text + "\" has no field for a value");
      new_record();
      k = reversion;
      continue;
    }
    const Step& step = steps[k];
    switch (step.kind) {
      case Kind::integer:
      case Kind::fixed:
      case Kind::exponent:
      case Kind::alpha:
        for (int r = 0; r < step.repeat; ++r) {
          if (!more()) return;
          data(step);
        }
        ++k;
        break;
      case Kind::group:
        if (depth >= kNestingInPlace && deeper.size() <= depth - kNestingInPlace) {
          deeper.push_back({});
        }
        round(depth++) = {k, step.repeat};
        ++k;
        break;
      case Kind::group_end:
        if (--round(depth - 1).left > 0) {
          k = round(depth - 1).start + 1;
        } else {
          --depth;
          ++k;
        }
        break;
      case Kind::colon:
        if (!more()) return;
        ++k;
        break;
      default:
        control(step);
        ++k;
        break;
    }
  }
}

// The field's characters without blanks (blanks in numeric fields are ignored).
std::string squeeze(std::string_view s) {
  std::string out;
  for (char c : s) {
    if (c != ' ' && c != '\t') out += c;
  }
  return out;
}

std::optional<long long> parse_integer(const std::string& s) {
  if (s.empty()) return 0;
  std::size_t k = (s[0] == '+' || s[0] == '-') ? 1 : 0;
  if (k == s.size()) return std::nullopt;
  for (std::size_t j = k; j < s.size(); ++j) {
    if (!std::isdigit(static_cast<unsigned char>(s[j]))) return std::nullopt;
  }
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(s.c_str(), &end, 10);
  if (errno == ERANGE) return std::nullopt;
  return v;
}

// A real field: [sign] digits [. digits] [exponent]; without a decimal point the last
// `implied` digits are the decimals. Returns the normalised text for strtod/strtof.
std::optional<std::string> normalise_real(const std::string& s, int implied) {
  if (s.empty()) return std::string("0");
  std::size_t k = 0;
  std::string sign;
  if (s[k] == '+' || s[k] == '-') sign = s[k++] == '-' ? "-" : "";
  std::string whole, fraction;
  bool point = false;
  while (k < s.size() && (std::isdigit(static_cast<unsigned char>(s[k])) || s[k] == '.')) {
    if (s[k] == '.') {
      if (point) return std::nullopt;
      point = true;
    } else {
      (point ? fraction : whole) += s[k];
    }
    ++k;
  }
  if (whole.empty() && fraction.empty()) return std::nullopt;
  std::string exponent;
  if (k < s.size()) {
    char c = static_cast<char>(std::tolower(static_cast<unsigned char>(s[k])));
    if (c == 'e' || c == 'd' || c == 'q')
      ++k;
    else if (c != '+' && c != '-')
      return std::nullopt;
    std::string e = s.substr(k);
    if (!parse_integer(e) || e.empty() || e == "+" || e == "-") return std::nullopt;
    exponent = "e" + e;
  }
  if (!point && implied > 0) {
    if (static_cast<int>(whole.size()) < implied) {
      whole.insert(0, static_cast<std::size_t>(implied) - whole.size(), '0');
    }
    fraction = whole.substr(whole.size() - static_cast<std::size_t>(implied));
    whole.erase(whole.size() - static_cast<std::size_t>(implied));
  }
  return sign + (whole.empty() ? "0" : whole) + "." + fraction + exponent;
}

struct RecordReader {
  const std::function<std::optional<std::string>()>& next_record;
  std::string record;
  int record_no = 1;
  std::size_t pos = 0;

  void advance() {
    auto r = next_record();
    if (!r) throw ReadError("end of input", record_no + 1, 1);
    record = std::string(chomp(*r));
    ++record_no;
    pos = 0;
  }
  std::string take(std::size_t width) {
    std::string f = pos < record.size() ? record.substr(pos, width) : std::string();
    f.resize(width, ' ');
    pos += width;
    return f;
  }
  std::string take_rest() {
    std::string f = pos < record.size() ? record.substr(pos) : std::string();
    pos = std::max(pos, record.size());
    return f;
  }
};

Field read_field(const Step& n, RecordReader& r) {
  Field f;
  int column = static_cast<int>(r.pos) + 1;
  f.beyond_end = r.pos >= r.record.size();
  f.record = r.record_no;
  f.column = column;
  if (n.spaced) throw FormatError("a spaced field cannot be read");
  switch (n.kind) {
    case Kind::alpha:
      f.text = n.width < 0 ? r.take_rest() : r.take(static_cast<std::size_t>(n.width));
      return f;
    case Kind::integer: {
      if (n.width == 0) throw FormatError("I0 cannot read");
      f.text = r.take(static_cast<std::size_t>(n.width));
      f.number = squeeze(f.text);
      auto v = parse_integer(f.number);
      if (!v) throw ReadError("not an integer: \"" + f.text + "\"", r.record_no, column, n.width);
      f.integer = *v;
      f.real = static_cast<double>(*v);
      f.real_single = static_cast<float>(*v);
      return f;
    }
    default: {
      if (n.width == 0) throw FormatError("F0 cannot read");
      f.text = r.take(static_cast<std::size_t>(n.width));
      auto norm = normalise_real(squeeze(f.text), n.digits);
      if (!norm) throw ReadError("not a number: \"" + f.text + "\"", r.record_no, column, n.width);
      f.number = *norm;
      f.real = std::strtod(norm->c_str(), nullptr);
      f.real_single = std::strtof(norm->c_str(), nullptr);
      if (!std::isfinite(f.real_single)) {
        throw ReadError("number out of range: \"" + f.text + "\"", r.record_no, column, n.width);
      }
      return f;
    }
  }
}

}  // namespace

Layout::Layout(std::string_view text) : text_(text) {
  compile(Parser(text).parse(), steps_, &reversion_);
  for (const Step& step : steps_) has_data_ = has_data_ || is_data(step.kind);
}

std::string Layout::write_values(std::span<const Value> values) const {
  RecordWriter w;
  std::size_t next = 0;
  auto more = [&] { return next < values.size(); };
  auto data = [&](const Step& n) { put_field(w, n, values[next++], text_); };
  auto control = [&](const Step& n) {
    switch (n.kind) {
      case Kind::literal:
        w.put(n.literal);
        break;
      case Kind::skip:
      case Kind::tab_right:
        w.pos += static_cast<std::size_t>(n.width);
        break;
      case Kind::tab:
        w.pos = static_cast<std::size_t>(n.width - 1);
        break;
      case Kind::tab_left:
        w.pos -= std::min(w.pos, static_cast<std::size_t>(n.width));
        break;
      case Kind::slash:
        for (int r = 0; r < n.repeat; ++r) w.end_record();
        break;
      default:
        break;
    }
  };
  auto new_record = [&] { w.end_record(); };
  w.out.reserve(kRecordCapacity);
  run(steps_, reversion_, has_data_, text_, more, data, control, new_record);
  return std::move(w.out);
}

std::vector<Field> Layout::read(const std::function<std::optional<std::string>()>& next_record,
                                std::size_t count) const {
  RecordReader r{next_record, {}, 0, 0};
  r.advance();
  std::vector<Field> fields;
  fields.reserve(count);
  auto more = [&] { return fields.size() < count; };
  auto data = [&](const Step& n) { fields.push_back(read_field(n, r)); };
  auto control = [&](const Step& n) {
    switch (n.kind) {
      case Kind::literal:
        r.pos += n.literal.size();
        break;
      case Kind::skip:
      case Kind::tab_right:
        r.pos += static_cast<std::size_t>(n.width);
        break;
      case Kind::tab:
        r.pos = static_cast<std::size_t>(n.width - 1);
        break;
      case Kind::tab_left:
        r.pos -= std::min(r.pos, static_cast<std::size_t>(n.width));
        break;
      case Kind::slash:
        for (int k = 0; k < n.repeat; ++k) r.advance();
        break;
      default:
        break;
    }
  };
  auto new_record = [&] { r.advance(); };
  run(steps_, reversion_, has_data_, text_, more, data, control, new_record);
  return fields;
}

std::vector<Field> Layout::read(std::string_view record, std::size_t count) const {
  bool given = false;
  std::function<std::optional<std::string>()> one = [&]() -> std::optional<std::string> {
    if (given) return std::nullopt;
    given = true;
    return std::string(record);
  };
  return read(one, count);
}

std::vector<ListWord> list_words(std::string_view record, std::size_t count) {
  record = chomp(record);
  std::vector<ListWord> words;
  std::size_t k = 0;
  while (words.size() < count) {
    while (k < record.size() && (record[k] == ' ' || record[k] == '\t' || record[k] == ',')) ++k;
    if (k >= record.size() || record[k] == '/') break;
    std::size_t start = k;
    while (k < record.size() && record[k] != ' ' && record[k] != '\t' && record[k] != ',' &&
           record[k] != '/') {
      ++k;
    }
    ListWord word{std::string(record.substr(start, k - start)), static_cast<int>(start) + 1,
                  static_cast<int>(k), std::nullopt};
    word.value = parse_integer(word.text);
    words.push_back(std::move(word));
  }
  return words;
}

std::vector<long long> read_list_integers(std::string_view record, std::size_t count) {
  std::vector<long long> values;
  for (const ListWord& word : list_words(record, count)) {
    if (!word.value) throw ReadError("not an integer: \"" + word.text + "\"", 1, word.first_column);
    values.push_back(*word.value);
  }
  if (values.size() < count) {
    // The column after the last word read, where the next value was looked for.
    throw ReadError(
        "expected " + std::to_string(count) + " integers, found " + std::to_string(values.size()),
        1, static_cast<int>(chomp(record).size()) + 1);
  }
  return values;
}

std::string_view chomp(std::string_view line) {
  while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
  return line;
}

float as_written(float value, int decimals) {
  constexpr int kMostDecimals = 8;
  if (decimals < 0 || decimals > kMostDecimals) {
    throw std::invalid_argument("as_written: 0 to 8 decimals");
  }
  if (!std::isfinite(value)) return value;
  // A float's 24 bits times 10^8 (27 bits) fit a double's 53: the product is exact, so
  // rounding it rounds the exact binary value. The quotient then rounds to float as a read
  // of the decimal text does: it lies too far from any float midpoint for the double step
  // to matter.
  const double scale = std::pow(10.0, decimals);
  const double units = std::nearbyint(static_cast<double>(value) * scale);
  return static_cast<float>(units / scale);
}

double finite_or(double value, double undefined) {
  return std::isfinite(value) ? value : undefined;
}

}  // namespace dendro
