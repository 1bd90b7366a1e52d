// The statistics summary and the five-number summary that every statistics table prints.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "series/layout.h"
#include "series/store.h"

namespace dendro {

// The statistics summary of a sample; kUndefined (-99.0) marks a statistic the sample does
// not define.
struct Moments {
  float mean = kUndefined;
  float mean_abs_dev = kUndefined;  // mean absolute deviation from the mean
  float std_dev = kUndefined;       // divisor n - 1
  float variance = kUndefined;      // divisor n - 1
  float skewness = kUndefined;      // with its small-sample factor
  float kurtosis = kUndefined;      // with its small-sample factor, not reduced by 3
  float mean_sensitivity = kUndefined;
  float autocorrelation = kUndefined;  // first order
};

// Statistics of all values. The values are read only: the standardised values of the
// autocorrelation are formed in a work copy, so the caller's numbers stay bit for bit.
Moments moment(std::span<const float> x);

// Statistics of the positions whose mask (presence flag or sample depth) is above 0. Pairs
// of adjacent positions count for the mean sensitivity and the autocorrelation only when
// both take part, and both divide by the number of such pairs. Without any position taking
// part every statistic is undefined.
Moments moment1(std::span<const float> x, std::span<const int> mask);

struct FiveNumbers {
  float median = kUndefined;
  float upper_hinge = kUndefined;
  float lower_hinge = kUndefined;
  float spread = kUndefined;  // upper minus lower hinge
  float minimum = kUndefined;
  float maximum = kUndefined;
};

// Sorts the values ascending in place and reads the summary off them (Tukey's hinges: the
// medians of the lower and upper halves, the middle value counted in both). Without values
// every number is undefined.
FiveNumbers mfs(std::span<float> x);

// mfs's numbers read off values that are sorted ascending already.
FiveNumbers summary_of_sorted(std::span<const float> x);

// mfs's numbers of the values, found by selection rather than a full sort: the values are
// left in no particular order.
FiveNumbers five_numbers(std::span<float> x);

// The summary of the values whose mask is above 0; the values are not changed.
FiveNumbers mfs1(std::span<const float> x, std::span<const int> mask);

// The six statistics of a row of a series statistics table (mean, standard deviation,
// skewness, kurtosis, mean sensitivity, first-order autocorrelation) in spaced fields: a
// mean of 1000 or more, a kurtosis of 1000 or more or the marker -99.0 in a 7-column field
// loses decimals instead of joining its neighbour.
std::string statistics_fields(float mean, float sd, float skewness, float kurtosis,
                              float sensitivity, float autocorrelation);
std::string statistics_fields(const Moments& m);

// The column head and the leading fields of the rows of a series statistics table whose
// first years reach back to `earliest`: from column 2 the series number (i5), the first
// `id_columns` (7 or 8) of the id after 3 or 2 blanks, the first year, the last year and
// the years (i6,2i7); statistics_fields follows. The first-year field widens for years
// before -9999, and "frst" above it moves with it, so that the id never runs into the year.
class SeriesTableLayout {
 public:
  explicit SeriesTableLayout(int earliest, int id_columns = 8);
  std::string head() const;
  std::string row(int number, std::string_view id, int first, int last, int years) const;

 private:
  int first_columns_;  // of the first-year field
  Layout row_;
};

// The printed summary of a series statistics table: a head line, then rows 1 to 8 of its
// columns 1 to 7 (length, mean, standard deviation, skewness, kurtosis, mean sensitivity,
// first-order autocorrelation) under their labels, the lengths as whole years (the mean
// rounded, the order statistics truncated).
std::vector<std::string> summary_table_lines(StatsTable& stats);

}  // namespace dendro
