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

#include "series/console.h"
#include "series/stop.h"

namespace dendro {

bool is_measurement(double value) { return std::fabs(value) < kLargestMeasurement; }

std::string not_a_measurement(int line, double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", value);
  return "line " + std::to_string(line) + ": " + text + " cannot be a measurement";
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
