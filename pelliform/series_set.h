// The series set of a pelliform run as the driver holds it: the measurements of every
// series by ring position, the series year table with its summary row, the ids and the
// three title records of the data file.
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace dendro {

// Length of a title record of the data set.
inline constexpr int kTitleLength = 88;
// The summary row's years before any series is counted.
inline constexpr int kNoFirstYear = 9999;
inline constexpr int kNoLastYear = -9999;

// One row of the series year table.
struct YearRow {
  int first = 0;  // first year
  int last = 0;   // last year
  int count = 0;  // number of values
};

// The first and last year of the whole set (the table's summary row).
struct SetSpan {
  int first = kNoFirstYear;
  int last = kNoLastYear;
  int span() const { return last - first + 1; }
};

// The heading and a row of a set's size from column 30, after a label: series, first year,
// last year, years, then `tail`. The year fields widen for years before -9999, so that a
// blank stays before each year.
std::string size_heading(const SetSpan& span);
std::string size_row(std::string_view label, int count, const SetSpan& span, std::string_view tail);

// Where a series of the set came from: its place among the series of the data file (1 for
// the first) and the rings cut off its start since, so that its pith offset, given for its
// place, still counts the rings missing before its first ring.
struct SeriesOrigin {
  int place = 0;
  int rings_cut = 0;
};

struct SeriesSet {
  // values[s][k - 1] is ring k of series s + 1; each column holds exactly rows[s].count
  // values, so that no cell beyond a series' last ring exists to be read by mistake.
  std::vector<std::vector<float>> values;
  std::vector<YearRow> rows;
  std::vector<std::string> ids;  // 8 characters each
  std::vector<SeriesOrigin> origins;
  int series_read = 0;  // series of the data file, those left out since included
  SetSpan summary;
  std::array<std::string, 3> title{std::string(kTitleLength, ' '), std::string(kTitleLength, ' '),
                                   std::string(kTitleLength, ' ')};

  int count() const { return static_cast<int>(values.size()); }
  // Appends the next series of the data file; its row is first year, first year + n - 1, n.
  void add(const std::string& id, int first_year, std::vector<float> series);
  // Keeps the series s (0-based) for which `kept(s)` is true, in their order, each with its
  // row, id and origin; the summary row and the title stay.
  void keep_if(const std::function<bool(std::size_t)>& kept);
  // Throws std::logic_error unless every series has its origin (a set built without add).
  void check_origins() const;
  // Removes every series and resets the summary row; the title stays.
  void clear();
  // The summary row from the first and last years of the series that hold values (the
  // starting years when none does).
  SetSpan span_of_series() const;
};

}  // namespace dendro
