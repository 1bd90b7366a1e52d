// The distribution of a set of inter-series correlations (count, mean, spread, shape,
// extreme pairs) and the block of report lines every rbar table shares.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace dendro {

// One correlation with the pair of series it came from.
struct CorrelationPair {
  float r = 0;
  int first = 0;  // series numbers, 1-based
  int second = 0;
  int years = 0;  // common years of the pair
};

// Statistics of the correlations. A statistic that the count cannot support is
// kUndefined: the mean needs one correlation, the skewness three and the kurtosis four,
// both also a spread beyond single-precision rounding of the correlations. A single correlation has
// standard deviation and standard error 0.
struct CorrelationStatistics {
  int count = 0;
  float mean, sd, se, skewness, kurtosis;  // kurtosis without the 3 of a normal subtracted
  CorrelationPair smallest, largest;       // meaningful when count > 0
};

// Running sums of correlations: r to r^4 in double precision, since they add up to a
// million terms, the common-year total in 64 bits (1500 series over 5000 years exceed 32).
class CorrelationSums {
 public:
  // Adds one correlation. Of equal extremes the pair added first is kept.
  void add(const CorrelationPair& pair);
  int count() const { return count_; }
  std::int64_t total_years() const { return total_years_; }
  CorrelationStatistics statistics() const;

 private:
  int count_ = 0;
  std::int64_t total_years_ = 0;
  double s1_ = 0, s2_ = 0, s3_ = 0, s4_ = 0;
  CorrelationPair smallest_, largest_;
};

// The block's title line (from column 2, after a blank line) and its two column heads.
std::string correlation_block_heads(std::string_view title);
// The block's row of statistics; the count takes eight columns from 1000 on, so the row
// keeps its 77 characters.
std::string correlation_block_row(const CorrelationStatistics& s);

}  // namespace dendro
