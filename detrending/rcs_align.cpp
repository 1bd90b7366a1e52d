#include "detrending/rcs_align.h"

#include <algorithm>

#include "series/blocks.h"
#include "series/console.h"
#include "series/index.h"
#include "series/records.h"

namespace dendro {
namespace {

// Moves n values of column `series` from row `from` to row `to` (1-based), -9.99 left
// everywhere else in the column. The values are taken out first, so the two stretches may
// overlap.
void move_series(Tsi1& tsi1, int series, int from, int to, int n) {
  std::span<float> column = tsi1.column(series);
  const auto first = column.begin() + (from - 1);
  const std::vector<float> buffer(first, first + n);
  std::fill(column.begin(), column.end(), kMissing);
  std::copy(buffer.begin(), buffer.end(), column.begin() + (to - 1));
}

int length_of(const SeriesYears& y) { return y.ily - y.ify + 1; }

}  // namespace

AgeAlignment align_by_age(Tsi1& tsi1, std::span<const int> offsets, int detrend_code,
                          Console& con) {
  const int count = tsi1.count;
  tsi1.year_row(count + 2);
  AgeAlignment a;
  a.offsets.assign(offsets.begin(), offsets.begin() + count);
  a.calendar_rows = tsi1.rows;
  a.set_first = tsi1.years[static_cast<std::size_t>(count)].ify;
  a.set_last = tsi1.years[static_cast<std::size_t>(count)].ily;

  // The span by age, in wide integers: offsets come from user files.
  long long smallest = 9999;
  for (int p : a.offsets) smallest = std::min<long long>(smallest, p);
  long long longest = -9999;
  for (int i = 1; i <= count; ++i) {
    longest =
        std::max(longest, a.offsets[at(i)] + static_cast<long long>(length_of(tsi1.years[at(i)])) -
                              smallest);
  }
  if (longest > kMaxYears) {
    pause_and_stop(con, "*** age-aligned series span more than 5000 years ***");
  }
  a.smallest_offset = static_cast<int>(smallest);
  a.length = static_cast<int>(longest);
  if (a.length > tsi1.rows) tsi1.resize_rows(a.length);

  a.saved.assign(tsi1.years.begin(), tsi1.years.begin() + count + 2);
  for (int i = 1; i <= count; ++i) {
    SeriesYears& row = tsi1.years[at(i)];
    SeriesYears& copy = a.saved[at(i)];
    const int n = length_of(row);
    row.yfp = copy.yfp = a.offsets[at(i)];
    row.idt = copy.idt = detrend_code;
    move_series(tsi1, i, row.ify - a.set_first + 1, a.first_row(i), n);
    // The cambial ages of the first and the last ring.
    row.ify = a.first_row(i) + a.smallest_offset;
    row.ily = row.ify + n - 1;
  }
  for (int r = count; r <= count + 1; ++r) {
    for (SeriesYears* span :
         {&tsi1.years[static_cast<std::size_t>(r)], &a.saved[static_cast<std::size_t>(r)]}) {
      span->ify = a.smallest_offset + 1;
      span->ily = a.smallest_offset + a.length;
    }
  }
  return a;
}

void restore_calendar(Tsi1& tsi1, const AgeAlignment& a) {
  const int count = tsi1.count;
  std::vector<SeriesYears> table = a.saved;
  table[static_cast<std::size_t>(count)].ify = a.set_first;
  table[static_cast<std::size_t>(count)].ily = a.set_last;
  for (int i = 1; i <= count; ++i) {
    const SeriesYears& y = table[at(i)];
    move_series(tsi1, i, a.first_row(i), y.ify - a.set_first + 1, length_of(y));
  }
  std::copy(table.begin(), table.end(), tsi1.years.begin());
  tsi1.resize_rows(a.calendar_rows);
}

}  // namespace dendro
