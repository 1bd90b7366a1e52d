#include "pelliform/series_set.h"

#include <algorithm>
#include <stdexcept>

#include "series/blocks.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

std::string year_width(const SetSpan& span) { return std::to_string(year_field(span.first, 6)); }

}  // namespace

std::string size_heading(const SetSpan& span) {
  return Layout("(/t30,a6,2a" + year_width(span) + ",a6)").write("NS", "IFY", "ILY", "NYR");
}

std::string size_row(std::string_view label, int count, const SetSpan& span,
                     std::string_view tail) {
  return Layout("(a,t30,i6,2i" + year_width(span) + ",i6,a)")
      .write(std::string(label), count, span.first, span.last, span.span(), std::string(tail));
}

void SeriesSet::add(const std::string& id, int first_year, std::vector<float> series) {
  const int n = static_cast<int>(series.size());
  rows.push_back(YearRow{first_year, first_year + n - 1, n});
  ids.push_back(field(id, 8));
  values.push_back(std::move(series));
  origins.push_back(SeriesOrigin{++series_read, 0});
}

void SeriesSet::keep_if(const std::function<bool(std::size_t)>& kept) {
  check_origins();
  std::size_t to = 0;
  for (std::size_t from = 0; from < values.size(); ++from) {
    if (!kept(from)) continue;
    if (to != from) {
      values[to] = std::move(values[from]);
      rows[to] = rows[from];
      ids[to] = std::move(ids[from]);
      origins[to] = origins[from];
    }
    ++to;
  }
  values.resize(to);
  rows.resize(to);
  ids.resize(to);
  origins.resize(to);
}

void SeriesSet::check_origins() const {
  if (origins.size() != values.size()) {
    throw std::logic_error("series set: " + std::to_string(values.size()) + " series, " +
                           std::to_string(origins.size()) + " origins");
  }
}

void SeriesSet::clear() {
  values.clear();
  rows.clear();
  ids.clear();
  origins.clear();
  series_read = 0;
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
