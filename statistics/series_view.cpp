#include "statistics/series_view.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace dendro {

SeriesView series_view(const Tsi1& tsi1) {
  const auto count = static_cast<std::size_t>(tsi1.count);
  if (tsi1.years.size() <= count) {
    throw std::logic_error("series year table has no row for the set's span");
  }
  SeriesView view;
  view.matrix = tsi1.matrix;
  view.rows = tsi1.rows;
  view.first_year = tsi1.years[count].ify;
  view.first.reserve(count);
  view.last.reserve(count);
  for (std::size_t i = 0; i < count; ++i) {
    view.first.push_back(tsi1.years[i].ify);
    view.last.push_back(tsi1.years[i].ily);
  }
  check_series_view(view);
  return view;
}

void check_series_view(const SeriesView& view) {
  if (view.rows < 0 ||
      view.matrix.size() < static_cast<std::size_t>(view.rows) * view.first.size() ||
      view.first.size() != view.last.size()) {
    throw std::logic_error("series matrix smaller than its series count");
  }
  const int last_row_year = view.first_year + view.rows - 1;
  for (int i = 1; i <= view.count(); ++i) {
    const int f = view.first[i - 1], l = view.last[i - 1];
    if (f <= l && (f < view.first_year || l > last_row_year)) {
      throw std::logic_error("series " + std::to_string(i) + " (" + std::to_string(f) + "-" +
                             std::to_string(l) + ") lies outside the series matrix");
    }
  }
}

bool has_spread(std::span<const float> values) {
  for (float v : values) {
    if (v != values.front()) return true;
  }
  return false;
}

int present_values(const SeriesView& view, int start, int length) {
  // Clip the window to the matrix: years beyond it hold no values.
  const int from = std::max(start, view.first_year);
  const int to = std::min(start + length - 1, view.first_year + view.rows - 1);
  if (from > to) return 0;
  int present = 0;
  for (int i = 1; i <= view.count(); ++i) {
    for (float v : view.values(i, from, to - from + 1)) {
      if (!is_missing(v)) ++present;
    }
  }
  return present;
}

}  // namespace dendro
