// The series set of a pelliform run as the driver holds it: the measurements of every
// series by ring position, the series year table with its summary row, the ids and the
// three title records of the data file.
#pragma once

#include <array>
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

struct SeriesSet {
  // values[s][k - 1] is ring k of series s + 1; each column holds exactly rows[s].count
  // values, so that no cell beyond a series' last ring exists to be read by mistake.
  std::vector<std::vector<float>> values;
  std::vector<YearRow> rows;
  std::vector<std::string> ids;  // 8 characters each
  SetSpan summary;
  std::array<std::string, 3> title{std::string(kTitleLength, ' '), std::string(kTitleLength, ' '),
                                   std::string(kTitleLength, ' ')};

  int count() const { return static_cast<int>(values.size()); }
  // Appends a series; its row is first year, first year + n - 1, n.
  void add(const std::string& id, int first_year, std::vector<float> series);
  // Removes every series and resets the summary row; the title stays.
  void clear();
  // The summary row from the first and last years of the series that hold values (the
  // starting years when none does).
  SetSpan span_of_series() const;
};

}  // namespace dendro
