// Reading every series of a text through one reader, for the reader tests.
#pragma once

#include <cstdio>
#include <functional>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/records.h"
#include "series/tucson.h"

namespace dendro {

// A ring-width record in the usual columns, built with printf rather than the layout
// engine under test: id in 1-8, year in 9-12, values of 6 columns from 13.
inline std::string rw(const char* id, int year, std::initializer_list<int> values) {
  char buf[128];
  int at = std::snprintf(buf, sizeof buf, "%-8s%4d", id, year);
  for (int v : values) {
    at += std::snprintf(buf + at, sizeof buf - static_cast<std::size_t>(at), "%6d", v);
  }
  return std::string(buf) + "\n";
}

struct Reading {
  std::vector<SeriesRead> series;
  std::string console;  // what the readers showed
  std::string stop;     // message of the Stop that ended the reading, if any
};

// Calls `read_one` until it reports the end of the data (n below 1, or n = kEndOfData
// when `to_end_marker` is set), a Stop, or `cap` series. Pauses find Return typed.
inline Reading read_all(const std::string& text,
                        const std::function<SeriesRead(RecordStream&, Console&)>& read_one,
                        bool to_end_marker = false, int cap = 10000) {
  Reading r;
  std::istringstream data(text), keys("\n\n\n");
  std::ostringstream screen;
  Console console(keys, screen);
  RecordStream records(data);
  try {
    for (int k = 0; k < cap; ++k) {
      SeriesRead s = read_one(records, console);
      if (to_end_marker ? s.n == kEndOfData : s.n < 1) break;
      r.series.push_back(std::move(s));
    }
  } catch (const Stop& s) {
    r.stop = s.what();
  }
  r.console = screen.str();
  return r;
}

}  // namespace dendro
