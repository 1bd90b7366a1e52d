// The argument set of the signal-free engine: everything the pelliform driver lends to
// `sigfree` for one engine run, and what it reads back afterwards. The driver owns the
// set; the engine keeps nothing of it between calls (its own tables live in SigfreeState,
// sigfree.h).
//
// Sizes follow the data: the matrices hold as many rows as the chronology has years and
// one column per series, never the 5000 x 4500 limits, which the readers still check.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "pelliform/fit_codes.h"
#include "series/blocks.h"
#include "series/index.h"
#include "series/store.h"

namespace dendro {

// Unit numbers of pelliform's files.
namespace pelliform_unit {
inline constexpr int report = 9;        // the report file, opened by the driver
inline constexpr int data = 10;         // the data file, later the spectra file
inline constexpr int chronology = 11;   // censored sets and the chronology files
inline constexpr int series_data = 30;  // the engine's measurement series file
inline constexpr int series_curves = 31;
inline constexpr int series_indices = 32;
inline constexpr int rbar = 33;
inline constexpr int pith = 70;  // the pith-offset file, later the regional-curve file
}  // namespace pelliform_unit

// A matrix of years (rows) by columns, stored column by column, with 1-based access.
// Empty cells hold kEmptyCell (-999.0).
struct EngineMatrix {
  int rows = 0;
  int cols = 0;
  std::vector<float> cells;

  // Sizes the matrix to r x c with every cell `fill`.
  void reshape(int r, int c, float fill = kEmptyCell) {
    if (r < 0 || c < 0) throw std::invalid_argument("matrix size");
    rows = r;
    cols = c;
    cells.assign(count(r) * count(c), fill);
  }
  // Adds rows (filled with `fill`) so that there are at least r, keeping every column.
  void ensure_rows(int r, float fill = kEmptyCell) {
    if (r <= rows) return;
    std::vector<float> grown(count(r) * count(cols), fill);
    for (int c = 1; c <= cols; ++c) {
      auto old = column(c);
      std::copy(old.begin(), old.end(), grown.begin() + static_cast<std::ptrdiff_t>(c - 1) * r);
    }
    rows = r;
    cells.swap(grown);
  }
  void fill(float v) { cells.assign(cells.size(), v); }

  float& at(int row, int col) { return cells[index(row, col)]; }
  float at(int row, int col) const { return cells[index(row, col)]; }
  std::span<float> column(int col) {
    return std::span<float>(cells).subspan(index(1, col), count(rows));
  }
  std::span<const float> column(int col) const {
    return std::span<const float>(cells).subspan(index(1, col), count(rows));
  }

 private:
  std::size_t index(int row, int col) const {
    if (row < 1 || row > rows || col < 1 || col > cols) {
      throw std::out_of_range("matrix cell " + std::to_string(row) + "," + std::to_string(col));
    }
    return dendro::at(col) * count(rows) + dendro::at(row);
  }
};

// One row of the series year table: first year, last year and a third column that the
// driver sets to the last year before every engine run.
struct SeriesSpan {
  int first = 0;
  int last = 0;
  int third = 0;
  int length() const { return last - first + 1; }
};

// Columns of the engine's running-RBAR tables (argument places 23 to 25).
namespace rbar_chronology_column {  // a row per chronology year
inline constexpr int chronology = 1;
inline constexpr int rbar1_stabilised = 2;  // stabilised with the window RBAR
inline constexpr int rbar2_stabilised = 3;  // stabilised with the mean RBAR of equal depth
inline constexpr int columns = 3;
}  // namespace rbar_chronology_column
namespace rbar_window_column {  // a row per window with a defined RBAR
inline constexpr int centre_year = 1;
inline constexpr int correlations = 2;
inline constexpr int rbar = 3;
inline constexpr int sd = 4;
inline constexpr int se = 5;
inline constexpr int eps = 6;
inline constexpr int series = 7;  // mean number of series with a value per year
inline constexpr int columns = 7;
}  // namespace rbar_window_column
namespace rbar_yearly_column {  // a row per chronology year
inline constexpr int depth = 1;
inline constexpr int rbar1 = 2;
inline constexpr int neff1 = 3;
inline constexpr int rbar2 = 4;
inline constexpr int neff2 = 5;
inline constexpr int columns = 5;
}  // namespace rbar_yearly_column

// The engine argument set. The numbers are the places of the arguments in the one call
// that the set stands for; the three work vectors of that call (places 2 to 4) are the
// engine's own business and are not part of it.
struct EngineArgs {
  // 1: measurements, one column per series. On entry row k holds ring k (ring-position
  // layout); the engine realigns every column to calendar rows (row i = chronology first
  // year + i - 1), so the driver rebuilds rows 1..n of each column before every run.
  EngineMatrix measurements;
  float curve_fit_parameter = 0.0f;  // 5: Friedman alpha, or the regional-curve parameter
  EngineMatrix year_matrix;          // 6: the engine's work matrix (years x series)
  int series_count = 0;              // 7

  // 8 to 10: columns 1 and 2 by chronology year (row j = first year + j - 1). Standard and
  // signal-free: the chronology and the spread of its yearly mean; stabilised: the
  // stabilised standard and the stabilised signal-free chronology (set only when the
  // running-RBAR window is not 0).
  EngineMatrix standard;
  EngineMatrix signal_free;
  EngineMatrix stabilised;
  std::vector<int> sample_depth;  // 11: by chronology year

  // 12: rows 1..series_count (years[j - 1] is series j), then the summary row
  // years[series_count] holding the chronology's first and last year.
  std::vector<SeriesSpan> years;
  std::vector<std::string> ids;  // 13: 8 characters each

  // 14: the engine may rewrite it; the driver restores it
  int curve_fit_option = pfit::age_spline;
  int mean_type = 2;                      // 15: 1 arithmetic, 2 Tukey biweight
  char refit_switch = 'n';                // 16: 'n' refits series whose fit code changes
  char rescale_switch = 'y';              // 17
  char difference_detrend_switch = 'y';   // 18
  float convergence_threshold = 0.0001f;  // 19
  // 20, 21: the year and series limits are kMaxYears and kMaxSeriesPelliform (blocks.h).
  std::array<std::string, 3> title{std::string(88, ' '), std::string(88, ' '),
                                   std::string(88, ' ')};  // 22: 88 characters each

  // 23 to 25: running-RBAR tables, filled by the engine (columns below).
  EngineMatrix rbar_chronology;
  EngineMatrix rbar_windows;
  EngineMatrix rbar_yearly;
  int rbar_window = 51;          // 26: 0 skips the running RBAR and the stabilisation
  int spline_stabilisation = 0;  // 27: 0, 1, <= -10 or >= 10; the user may change it

  std::string data_file_name;  // 28
  std::string file_name;       // 29: the engine builds its output names here

  int rcs_flag = 0;                // 30: 1 on the regional-curve path
  std::vector<int> pith_offsets;   // 31: per series (missing entries count as 0)
  int rcs_parameter = 0;           // 32: window or alpha of the regional-curve method
  bool retry_rcs = false;          // 33: set by the engine when the user asks for a retry
  char unit_mean_switch = 'y';     // 34
  char median_switch = 'y';        // 35
  std::vector<float> curve_floor;  // 36: per series; the driver sets 0.02 before each run
  bool pith_offset_flag = false;   // 37
  int restart_counter = 0;         // 38: 1..10 back from the engine asks for a restart
  char tweaks = 'y';               // 39
  int index_mode = 0;              // 40: 0 ratios, otherwise residuals
  int power_transform = 0;         // 41: 1 when the measurements were power-transformed
  float added_constant = 0.0f;     // 42: 0.1 x restart counter

  // 43: column c + 1 holds the chronology of iteration c (column 1 the standard one).
  EngineMatrix iteration_chronologies;
  int iteration = 0;  // 44: the iteration counter

  // Row j (1-based) of the series year table; row series_count + 1 is the summary row.
  SeriesSpan& span(int j) { return years.at(at(j)); }
  const SeriesSpan& span(int j) const { return years.at(at(j)); }
  const SeriesSpan& summary() const { return span(series_count + 1); }
  int chronology_length() const { return summary().length(); }
};

}  // namespace dendro
