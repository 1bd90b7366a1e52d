// A read-only view of a year-by-series matrix with each series' first and last year, as
// the correlation statistics read it. Both programs build one from their own series store.
#pragma once

#include <span>
#include <vector>

#include "series/store.h"

namespace dendro {

struct SeriesView {
  std::span<const float> matrix;  // column-major, `rows` values per series
  int rows = 0;
  int first_year = 0;            // the year of row 1
  std::vector<int> first, last;  // first[i - 1], last[i - 1]: years of series i

  int count() const { return static_cast<int>(first.size()); }
  // The `length` values of series i (1-based) from `year` on. The years must lie within
  // the series' span (the view checked every span against the rows when it was built).
  std::span<const float> values(int series, int year, int length) const {
    return matrix.subspan(static_cast<std::size_t>(series - 1) * static_cast<std::size_t>(rows) +
                              static_cast<std::size_t>(year - first_year),
                          static_cast<std::size_t>(length));
  }
};

// The view of the series store: row 1 is the set's first year (the year table's row after
// the last series). Throws std::logic_error when a series' years fall outside the matrix.
SeriesView series_view(const Tsi1& tsi1);
SeriesView series_view(const Tsi1&& tsi1) = delete;  // the view would outlive the store

// Checks that every series' span lies within the matrix rows; throws std::logic_error.
void check_series_view(const SeriesView& view);

// True when the values are not all equal. A correlation with a series without spread is
// undefined, and the correlation routines leave such a pair out.
bool has_spread(std::span<const float> values);

// The number of cells in the rows of years `start` to `start + length - 1`, over every
// series, that hold a value (not the missing-year marker).
int present_values(const SeriesView& view, int start, int length);

}  // namespace dendro
