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

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "series/console.h"
#include "series/index.h"
#include "series/stop.h"
#include "series/text.h"

namespace dendro {

bool is_measurement(double value) { return std::fabs(value) < kLargestMeasurement; }

bool is_ring_width(double mm) { return mm < kWidestRing; }

namespace {

// `value` with the fewest digits (significant ones for 'g', decimals for 'f') that give the
// same single-precision value back; beyond the range of single precision (and for NaN) the
// double itself. Not `exact`, with the text of 17 digits, when none gives it back.
struct Shortest {
  std::string text;
  bool exact = false;
};

Shortest shortest(double value, char conversion) {
  constexpr double kSingleMax = std::numeric_limits<float>::max();
  const bool single = std::fabs(value) <= kSingleMax;
  char text[400];  // room for any double in %f with 17 decimals
  for (int digits = conversion == 'g' ? 1 : 0; digits <= 17; ++digits) {
    if (conversion == 'g') {
      std::snprintf(text, sizeof text, "%.*g", digits, value);
    } else {
      std::snprintf(text, sizeof text, "%.*f", digits, value);
    }
    const double back = std::strtod(text, nullptr);
    const bool same = single ? std::fabs(back) <= kSingleMax &&
                                   static_cast<float>(back) == static_cast<float>(value)
                             : back == value;
    if (same) return {text, true};
  }
  return {text, false};
}

}  // namespace

std::string value_text(double value) { return shortest(value, 'g').text; }

std::string plain_text(double value) {
  Shortest plain = shortest(value, 'f');
  return plain.exact ? plain.text : value_text(value);
}

std::string not_a_ring_width(std::string_view place, double mm, std::string_view units) {
  return std::string(place) + " is a ring of " + plain_text(mm) + " mm read in " +
         std::string(units) + ": no ring is " + plain_text(kWidestRing) +
         " mm or wider; are the file's units right?";
}

std::string not_a_measurement(int line, double value) {
  return "line " + std::to_string(line) + ": " + value_text(value) + " cannot be a measurement";
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
