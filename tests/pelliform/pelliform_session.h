// A console over string streams and small builders of series sets, for the tests of the
// pelliform driver.
#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "pelliform/series_set.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "tests/options/session.h"

namespace dendro::testing {

struct PSession {
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  explicit PSession(const std::string& input = "") : in(input) {}
  bool shows(const std::string& text) const { return out.str().find(text) != std::string::npos; }
};

// A set of series with the given first years and values; the summary row spans them.
inline SeriesSet make_set(const std::vector<std::pair<int, std::vector<float>>>& series) {
  SeriesSet set;
  int k = 0;
  for (const auto& [first, values] : series) set.add("S" + std::to_string(++k), first, values);
  set.summary = set.span_of_series();
  return set;
}

// A series of n values 1, 2, ..., n (value k belongs to ring k).
inline std::vector<float> ramp(int n) {
  std::vector<float> v;
  for (int k = 1; k <= n; ++k) v.push_back(static_cast<float>(k));
  return v;
}

// The Stop that `f` throws; a test failure when it throws none.
template <class F>
Stop stop_of(F&& f) {
  try {
    f();
  } catch (const Stop& s) {
    return s;
  }
  ADD_FAILURE() << "no stop";
  return Stop("(no stop)", -1);
}

inline std::string data_path(const std::string& name) {
  return std::string(TEST_DATA_DIR) + "/" + name;
}

}  // namespace dendro::testing
