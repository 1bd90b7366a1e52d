#include "series/records.h"

#include <streambuf>

namespace dendro {

std::optional<std::string> RecordStream::next() {
  if (!replay_.empty()) {
    last_ = std::move(replay_.front());
    replay_.pop_front();
    have_last_ = true;
    ++number_;
    return last_;
  }
  std::streambuf* buf = in_.rdbuf();
  if (buf == nullptr) return std::nullopt;
  std::string record;
  bool any = false;
  for (;;) {
    int c = buf->sbumpc();
    if (c == std::char_traits<char>::eof()) {
      in_.setstate(std::ios::eofbit);
      break;
    }
    any = true;
    if (c == '\n') break;
    if (c == '\r') {
      if (buf->sgetc() == '\n') buf->sbumpc();
      break;
    }
    record += static_cast<char>(c);
  }
  if (!any) return std::nullopt;
  last_ = record;
  have_last_ = true;
  ++number_;
  return record;
}

void RecordStream::back() {
  if (!have_last_) return;
  replay_.push_front(last_);
  have_last_ = false;
  --number_;
}

void RecordStream::unread(const std::vector<std::string>& records) {
  for (auto r = records.rbegin(); r != records.rend(); ++r) replay_.push_front(*r);
  number_ -= static_cast<int>(records.size());
  if (!records.empty()) have_last_ = false;  // back() has no record of its own to give
}

}  // namespace dendro

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/text.h"

namespace dendro {

bool is_measurement(double value) { return std::fabs(value) < kLargestMeasurement; }

bool is_ring_width(double mm) { return mm < kWidestRing; }

bool reads_as_numbers(std::string_view text) {
  int digits = 0, others = 0;
  for (char c : text) {
    if (c >= '0' && c <= '9') {
      ++digits;
    } else if (c != ' ' && c != '\t' && c != '-' && c != '+') {
      ++others;
    }
  }
  return digits > 0 && others <= kDamagedCharacters;
}

namespace {

// The most places a number is written with before or after its point: a longer run of
// zeros would not read at a glance, so such a number takes an exponent.
constexpr long long kMostPlaces = 15;

// A limit, a whole number, as the messages show it.
std::string whole_text(double limit) { return std::to_string(static_cast<long long>(limit)); }

// A decimal number as its significant digits and the place of its point among them: the
// count of digits before it, negative or past the digits for zeros that the digits leave out
// ("0.015" is 15 with the point at -1, "1500" 15 with the point at 4).
struct Digits {
  bool negative = false;
  std::string digits;  // no zero first or last; empty for zero
  long long point = 0;
};

Digits digits_of(std::string_view number, int shift) {
  Digits d;
  std::size_t k = 0;
  d.negative = !number.empty() && number[0] == '-';
  if (!number.empty() && (number[0] == '-' || number[0] == '+')) ++k;
  bool after_point = false;
  for (; k < number.size(); ++k) {
    const char c = number[k];
    if (c == '.') {
      after_point = true;
    } else if (std::isdigit(static_cast<unsigned char>(c))) {
      d.digits += c;
      if (!after_point) ++d.point;
    } else {
      break;
    }
  }
  if (k < number.size()) {
    if (std::isalpha(static_cast<unsigned char>(number[k]))) ++k;  // E, D or Q
    // Exponents beyond any double are held in range, so that the place cannot overflow.
    constexpr long long kFarthest = 1000000000;
    const long long exponent = std::strtoll(std::string(number.substr(k)).c_str(), nullptr, 10);
    d.point += std::clamp(exponent, -kFarthest, kFarthest);
  }
  d.point += shift;
  const std::size_t first = d.digits.find_first_not_of('0');
  if (first == std::string::npos) return {};
  d.digits.erase(0, first);
  d.point -= static_cast<long long>(first);
  d.digits.erase(d.digits.find_last_not_of('0') + 1);
  return d;
}

// "1.5e+28": one digit before the point and the exponent in at least two digits, as %g.
std::string with_exponent(const Digits& d) {
  char exponent[32];
  std::snprintf(exponent, sizeof exponent, "e%+03lld", d.point - 1);
  const std::string rest = d.digits.size() > 1 ? "." + d.digits.substr(1) : "";
  return d.digits.substr(0, 1) + rest + exponent;
}

}  // namespace

std::string decimal_text(std::string_view number, int shift) {
  const Digits d = digits_of(number, shift);
  if (d.digits.empty()) return "0";
  const std::string sign = d.negative ? "-" : "";
  const auto size = static_cast<long long>(d.digits.size());
  if (d.point > kMostPlaces || d.point < -kMostPlaces) return sign + with_exponent(d);
  if (d.point <= 0) {
    return sign + "0." + std::string(static_cast<std::size_t>(-d.point), '0') + d.digits;
  }
  if (d.point >= size) {
    return sign + d.digits + std::string(static_cast<std::size_t>(d.point - size), '0');
  }
  return sign + d.digits.substr(0, static_cast<std::size_t>(d.point)) + "." +
         d.digits.substr(static_cast<std::size_t>(d.point));
}

std::string not_a_ring_width(std::string_view place, std::string_view mm, std::string_view units) {
  return std::string(place) + " is a ring of " + std::string(mm) + " mm read in " +
         std::string(units) + ": no ring is " + whole_text(kWidestRing) +
         " mm or wider; are the file's units right?";
}

std::string not_a_measurement(std::string_view place, std::string_view value, float kept) {
  std::string text = std::string(place) + " is " + std::string(value);
  if (is_measurement(std::strtod(std::string(value).c_str(), nullptr))) {
    char held[32];
    std::snprintf(held, sizeof held, "%.9g", static_cast<double>(kept));
    text += ", held in single precision as " + std::string(held);
  }
  const std::string limit = whole_text(kLargestMeasurement);
  return text + ": values must lie above -" + limit + " and below " + limit;
}

std::string_view field_text(std::string_view record, int column, int width) {
  const auto start = at(column);
  if (start >= record.size()) return {};
  return record.substr(start, static_cast<std::size_t>(width));
}

std::string describe_field(std::string_view record, int column, int width) {
  return "columns " + std::to_string(column) + "-" + std::to_string(column + width - 1) + " \"" +
         field(field_text(record, column, width), static_cast<std::size_t>(width)) + "\"";
}

void pause_and_stop(Console& console, std::string_view message, std::string_view pause_text) {
  console.say(message);
  console.pause(pause_text);
  while (message.starts_with('\n')) message.remove_prefix(1);
  while (message.ends_with('\n')) message.remove_suffix(1);
  Stop stop(std::string(message), kFailureStatus);
  stop.shown = true;  // on the console already, above the pause
  throw stop;
}

}  // namespace dendro
