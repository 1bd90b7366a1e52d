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

std::string value_text(double value) {
  // Beyond the range of single precision (and for NaN) the double itself is given back.
  constexpr double kSingleMax = std::numeric_limits<float>::max();
  const bool single = std::fabs(value) <= kSingleMax;
  char text[40];
  for (int digits = 1; digits <= 17; ++digits) {
    std::snprintf(text, sizeof text, "%.*g", digits, value);
    const double back = std::strtod(text, nullptr);
    const bool same = single ? std::fabs(back) <= kSingleMax &&
                                   static_cast<float>(back) == static_cast<float>(value)
                             : back == value;
    if (same) break;
  }
  return text;
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
