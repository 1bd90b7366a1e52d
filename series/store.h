// The series store and the tables that every stage of kalder reads and rewrites.
#pragma once

#include <algorithm>
#include <array>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace dendro {

// Sentinels, compared the same way everywhere.
inline constexpr float kMissing = -9.99f;              // a missing year in series and chronologies
inline constexpr float kUndefined = -99.0f;            // an undefined statistic
inline constexpr float kRbarUndefined = -99.9f;        // running rbar, EPS: no value
inline constexpr float kSplineTooFew = -9998.0f;       // spline: fewer than 4 points
inline constexpr float kSplineNotPositive = -9999.0f;  // spline: system not positive definite
inline constexpr int kEndMarker = 999;                 // tucson ring widths: end of a series
inline constexpr int kEndMarkerFine = -9999;           // the same at 0.001 mm precision
inline constexpr int kIndexEmpty = 9990;               // tucson index format: empty slot
inline constexpr float kEmptyCell = -999.0f;           // pelliform: empty matrix cell

// True for the missing-year marker (compared with a tolerance, as it comes back from
// files written with three decimals).
inline bool is_missing(float v) { return v < -9.98f && v > -10.0f; }

// One row of the series year table (its columns, in order, as the batch detail file names
// them).
struct SeriesYears {
  int ify = 0;  // first year
  int ily = 0;  // last year
  int yfp = 0;  // pith offset in years
  int itn = 0;  // transformation
  int idt = 0;  // detrending
  int ips = 0;  // autoregression setting
  int isb = 0;  // stabilisation setting
  int icu = 0;  // use flag
  int ics = 0;  // save flag
  int cpa = 0;  // common-period tree number

  // Column c, 1 to 10.
  int& col(int c) {
    switch (c) {
      case 1:
        return ify;
      case 2:
        return ily;
      case 3:
        return yfp;
      case 4:
        return itn;
      case 5:
        return idt;
      case 6:
        return ips;
      case 7:
        return isb;
      case 8:
        return icu;
      case 9:
        return ics;
      case 10:
        return cpa;
      default:
        throw std::out_of_range("series year table column " + std::to_string(c));
    }
  }
};

// A series of the data file that a batch run left out (its use flag was not 1): its place
// among the file's series (1-based), its id and the year table row it was read with, so
// that the batch detail file written at the end keeps one record per series of the file.
struct DroppedSeries {
  int position = 0;
  std::string id;
  SeriesYears row;
};

// A row of the batch detail file whose id is not the id of the series read at its place
// (the row is taken by position all the same).
struct DetailIdMismatch {
  int row = 0;
  std::string detail_id;  // 8 characters, as in the detail file
  std::string series_id;  // 8 characters, as in the data file
};

// Series store: the series matrix (one column per series, `rows` years each, -9.99 where a
// series has no value), the mean overlay vector, the series year table, the ids and the
// count. Sized to the data, not to the limits.
struct Tsi1 {
  int rows = 0;
  int count = 0;
  std::vector<float> matrix;             // column-major: series i, row r at (i-1)*rows + (r-1)
  std::vector<float> overlay{kMissing};  // mean overlay; a first element below 0 means none
  std::vector<SeriesYears> years;        // years[i-1] is series i; years[count] the set's span
  std::vector<std::string> ids;          // ids[i-1] is series i, 8 characters
  std::vector<DroppedSeries> dropped;    // series of the file left out by a batch run
  int detail_rows = 0;  // rows 1 to detail_rows (year table and ids) came from the detail file

  // Sizes the matrix to rows x count with every cell -9.99.
  void reshape(int new_rows, int new_count) {
    rows = new_rows;
    count = new_count;
    matrix.assign(static_cast<std::size_t>(rows) * static_cast<std::size_t>(count), kMissing);
  }
  // Changes the number of rows, keeping the leading rows of every column; new rows hold
  // -9.99 (regional curve standardization stretches the matrix to the age axis and back).
  void resize_rows(int new_rows) {
    std::vector<float> m(static_cast<std::size_t>(new_rows) * static_cast<std::size_t>(count),
                         kMissing);
    const std::size_t keep = static_cast<std::size_t>(std::min(rows, new_rows));
    for (std::ptrdiff_t i = 0; i < count; ++i) {
      std::copy_n(matrix.begin() + i * rows, keep, m.begin() + i * new_rows);
    }
    matrix = std::move(m);
    rows = new_rows;
  }
  float& at(int row, int series) { return column(series)[static_cast<std::size_t>(row - 1)]; }
  std::span<float> column(int series) {
    if (series < 1 || series > count) throw std::out_of_range("series " + std::to_string(series));
    return std::span<float>(matrix).subspan(static_cast<std::size_t>(series - 1) * rows,
                                            static_cast<std::size_t>(rows));
  }
  // The values of a row that are not missing, in series order, into `out` (emptied first, so
  // that one vector serves every row).
  void present_in_row(int row, std::vector<float>& out) {
    out.clear();
    for (int i = 1; i <= count; ++i) {
      const float v = at(row, i);
      if (!is_missing(v)) out.push_back(v);
    }
  }
  // Row i of the series year table (1-based), added when the table is shorter.
  SeriesYears& year_row(int i) {
    if (i < 1) throw std::out_of_range("series year table row " + std::to_string(i));
    if (years.size() < static_cast<std::size_t>(i)) years.resize(static_cast<std::size_t>(i));
    return years[static_cast<std::size_t>(i - 1)];
  }
};

// Series statistics table: 12 single-precision columns per series row (1-based rows and
// columns); rows are added on demand.
struct StatsTable {
  std::vector<std::array<float, 12>> rows;

  float& at(int row, int col) {
    if (row < 1 || col < 1 || col > 12) throw std::out_of_range("statistics table cell");
    if (rows.size() < static_cast<std::size_t>(row)) {
      rows.resize(static_cast<std::size_t>(row), std::array<float, 12>{});
    }
    return rows[static_cast<std::size_t>(row - 1)][static_cast<std::size_t>(col - 1)];
  }
};

// Chronology table: 16 columns by year of the chronology axis (1-based rows and columns):
// 1 sample depth, 2 mean segment length, 3 mean tree age, 4 raw, 5 standard, 6 residual,
// 7 kalder chronology, 8 to 16 working columns. Its rows are the chronology's years: every
// later stage reads its columns against the chronology's sample depth, so a step with more
// rows to keep (series) keeps them elsewhere. The one exception is the regional curve's
// columns 8 to 12, which run by age row over the whole age axis: they grow past `rows` when
// there are more ages than years (age_rows), and the table file prints every age row.
// The columns of the chronology table, numbered from 1.
namespace tsi2col {
inline constexpr int depth = 1;               // sample depth
inline constexpr int segment_length = 2;      // mean segment length
inline constexpr int tree_age = 3;            // mean tree age
inline constexpr int raw = 4;                 // raw chronology
inline constexpr int standard = 5;            // standard chronology
inline constexpr int residual = 6;            // residual chronology
inline constexpr int kalder = 7;              // kalder chronology
inline constexpr int rcs_age = 8;             // regional curve by age row: the age
inline constexpr int rcs_depth = 9;           //   its sample depth
inline constexpr int rcs_mean = 10;           //   the mean of the aligned series
inline constexpr int rcs_spread = 11;         //   their spread
inline constexpr int rcs_curve = 12;          //   the regional curve
inline constexpr int negative_outliers = 13;  // robust AR: series 0.2 below the year's mean
inline constexpr int positive_outliers = 14;  //   and 0.2 above it
inline constexpr int negative_fraction = 15;  //   the same as fractions of the depth
inline constexpr int positive_fraction = 16;
}  // namespace tsi2col

// The kinds of series the mean chronology builder averages (its one-character codes).
enum class MeanKind : char {
  raw = 'n',          // ring widths
  standard = 's',     // indices
  residual = 'r',     // autoregressive residuals
  age_aligned = 'b',  // regional curve: series aligned by cambial age
};

struct Tsi2 {
  int rows = 0;
  std::array<std::vector<float>, 16> columns;

  void reshape(int new_rows) {
    rows = new_rows;
    for (auto& c : columns) c.assign(static_cast<std::size_t>(rows), 0.0f);
  }
  std::span<float> column(int c) { return columns.at(static_cast<std::size_t>(c - 1)); }
  // Rows of the regional curve's columns: `rows`, or the age axis when that is longer.
  int age_rows() const { return static_cast<int>(columns[tsi2col::rcs_age - 1].size()); }
  float& at(int row, int c) { return column(c)[static_cast<std::size_t>(row - 1)]; }
};

}  // namespace dendro
