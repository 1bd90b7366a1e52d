// Correlations of one series with many partners over the same years: the inner loop of
// the all-pairs and running rbar statistics.
#pragma once

#include <span>
#include <vector>

#include "statistics/series_view.h"

namespace dendro {

class PairCorrelator {
 public:
  explicit PairCorrelator(const SeriesView& view);
  explicit PairCorrelator(const SeriesView&& view) = delete;  // it keeps a reference

  // r[k] = pearsn(x, y_k).r, x series i and y_k series partners[k] over the `length` years
  // from `start`, each computed exactly as pearsn computes it: single precision, deviations
  // about the two means, sums in year order. Partners are in ascending order and hold every
  // year of the range; r has partners.size() elements.
  void correlate(int i, std::span<const int> partners, int start, int length, std::span<float> r);

 private:
  // A series' mean over a range of years and the sum of its squared deviations from it.
  struct Spread {
    int start = 0, length = -1;
    float mean = 0, squares = 0;
  };
  // The spread of a series over a range: kept per series for the range last asked, which
  // the series' next pairs mostly share, so that it is not summed again for each of them.
  const Spread& spread(int series, int start, int length);

  const SeriesView& view_;
  std::size_t stride_ = 0;     // values per year row: the series and a padding of zeros
  std::vector<float> values_;  // year y, series j at (y - first_year) * stride_ + (j - 1)
  std::vector<Spread> spreads_;
};

}  // namespace dendro
