// Correlations of one series with many partners over the same years: the inner loop of
// the all-pairs and running rbar statistics.
#pragma once

#include <cstddef>
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
  // Series are summed side by side in lanes of this many, a fixed count that the compiler
  // turns into vector instructions.
  static constexpr std::size_t kLanes = 8;

  // The values of a block of lanes: year t of lane k at data[t * stride + k].
  struct Lanes {
    const float* data = nullptr;
    std::size_t stride = 0;
  };
  // The sums of one block of lanes, each lane a series over the same years.
  struct LaneSums {
    float mean[kLanes], squares[kLanes], products[kLanes];
  };
  // A series' mean over the years last asked of it, which its next pairs mostly share.
  struct Mean {
    int start = 0, length = -1;
    float mean = 0;
  };

  // The block's series (at most kLanes) over the years, with their means.
  Lanes load_lanes(std::span<const int> series, int start, std::size_t length, LaneSums& s);
  // The lanes' squared deviations from their means and the products of their deviations
  // with dx_, each summed in year order.
  void lane_deviations(Lanes v, std::size_t length, LaneSums& s) const;

  const SeriesView& view_;
  std::size_t stride_ = 0;     // values per year row: the series and a padding of zeros
  std::vector<float> values_;  // year y, series j at (y - first_year) * stride_ + (j - 1)
  std::vector<Mean> means_;
  std::vector<float> lanes_;   // a block's values copied side by side, kLanes a year
  std::vector<float> dx_;      // the deviations of series i from its mean
  std::vector<int> series_;    // series i, then its partners
};

}  // namespace dendro
