#include "pelliform/series_set.h"

#include <algorithm>

#include "series/text.h"

namespace dendro {

void SeriesSet::add(const std::string& id, int first_year, std::vector<float> series) {
  const int n = static_cast<int>(series.size());
  rows.push_back(YearRow{first_year, first_year + n - 1, n});
  ids.push_back(field(id, 8));
  values.push_back(std::move(series));
}

void SeriesSet::clear() {
  values.clear();
  rows.clear();
  ids.clear();
  summary = SetSpan{};
}

SetSpan SeriesSet::span_of_series() const {
  SetSpan s;
  bool found = false;  // the first series with values sets both years
  for (const YearRow& r : rows) {
    if (r.count <= 0) continue;  // a series without values has no years
    s.first = found ? std::min(s.first, r.first) : r.first;
    s.last = found ? std::max(s.last, r.last) : r.last;
    found = true;
  }
  return s;
}

}  // namespace dendro
