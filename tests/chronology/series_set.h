// A series store built from columns of values, for the chronology tests.
#pragma once

#include <string>
#include <vector>

#include "series/index.h"
#include "series/store.h"

namespace dendro {

// Series given as columns of equal length from the year `first`; kMissing marks no value.
// Each series' span runs from its first to its last value; the row after the last series
// is the set's span (every row).
inline Tsi1 series_set(int first, const std::vector<std::vector<float>>& columns) {
  Tsi1 set;
  const int rows = static_cast<int>(columns.at(0).size());
  const int n = static_cast<int>(columns.size());
  set.reshape(rows, n);
  for (int i = 1; i <= n; ++i) {
    int a = 0, b = 0;
    for (int r = 1; r <= rows; ++r) {
      const float v = columns[at(i)][at(r)];
      set.at(r, i) = v;
      if (v != kMissing) {
        if (a == 0) a = r;
        b = r;
      }
    }
    set.year_row(i) = SeriesYears{.ify = first + a - 1, .ily = first + b - 1};
    set.ids.push_back("S" + std::to_string(i));
  }
  set.year_row(n + 1) = SeriesYears{.ify = first, .ily = first + rows - 1};
  return set;
}

}  // namespace dendro
