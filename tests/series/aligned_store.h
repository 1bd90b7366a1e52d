// A series store for the tests, built from series given by id, first year and values.
#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include "series/store.h"

namespace dendro::testing {

struct StoreSeries {
  std::string id;
  int first_year = 0;
  std::vector<float> values;
};

// The series on the year axis of the whole set (row 1 = the earliest first year), each with
// its years in the year table, and the set's span in the row after the last series.
inline Tsi1 aligned_store(const std::vector<StoreSeries>& series) {
  Tsi1 t;
  if (series.empty()) return t;
  int first = series.front().first_year, last = first;
  for (const StoreSeries& s : series) {
    first = std::min(first, s.first_year);
    last = std::max(last, s.first_year + static_cast<int>(s.values.size()) - 1);
  }
  t.reshape(last - first + 1, static_cast<int>(series.size()));
  for (int i = 1; i <= t.count; ++i) {
    const StoreSeries& s = series[static_cast<std::size_t>(i - 1)];
    const int n = static_cast<int>(s.values.size());
    t.year_row(i) = SeriesYears{s.first_year, s.first_year + n - 1};
    t.ids.push_back(s.id);
    for (int k = 0; k < n; ++k) {
      t.at(s.first_year - first + 1 + k, i) = s.values[static_cast<std::size_t>(k)];
    }
  }
  t.year_row(t.count + 1) = SeriesYears{first, last};
  return t;
}

}  // namespace dendro::testing
