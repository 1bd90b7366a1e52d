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

  // The sums of one block of lanes, each lane a series over the same years.
  struct LaneSums {
    float mean[kLanes], squares[kLanes], products[kLanes];
  };
  // Copies the years of the block's series (at most kLanes) into lanes_, and sets their
  // means: their sums in year order over the count.
  void load_lanes(std::span<const int> series, int start, std::size_t length, LaneSums& s);
  // The lanes' squared deviations from their means and the products of their deviations
  // with dx_, each summed in year order.
  void lane_deviations(std::size_t length, LaneSums& s) const;

  const SeriesView& view_;
  std::vector<float> lanes_;  // year t of lane k at t * kLanes + k
  std::vector<float> dx_;     // the deviations of series i from its mean
  std::vector<int> series_;   // series i, then its partners
  std::vector<float> zeros_;  // the values of a lane without a series
};

}  // namespace dendro
