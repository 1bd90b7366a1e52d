#include "statistics/pair_correlations.h"

#include <algorithm>
#include <cmath>

namespace dendro {

PairCorrelator::PairCorrelator(const SeriesView& view) : view_(view) {}

// pearsn's two passes for every lane at once: the lanes are independent sums, so each
// keeps pearsn's operations in its order while the compiler runs the lanes side by side.
// The first pass sums each series in year order while it copies it into its lane.
void PairCorrelator::load_lanes(std::span<const int> series, int start, std::size_t length,
                                LaneSums& s) {
  lanes_.resize(length * kLanes);
  zeros_.resize(length, 0.0f);
  // A lane without a series reads zeros, and its results are not read.
  const float* column[kLanes];
  for (std::size_t k = 0; k < kLanes; ++k) {
    column[k] = k < series.size() ? view_.values(series[k], start, static_cast<int>(length)).data()
                                  : zeros_.data();
  }
  float* into = lanes_.data();
  float sum[kLanes] = {};
  for (std::size_t t = 0; t < length; ++t) {
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kLanes; ++k) {
      const float v = column[k][t];
      into[t * kLanes + k] = v;
      sum[k] += v;
    }
  }
  const float count = static_cast<float>(length);
  for (std::size_t k = 0; k < kLanes; ++k) s.mean[k] = sum[k] / count;
}

// The second pass, over the lanes as vectors.
void PairCorrelator::lane_deviations(std::size_t length, LaneSums& s) const {
  const float* v = lanes_.data();
  float squares[kLanes] = {}, products[kLanes] = {};
  for (std::size_t t = 0; t < length; ++t) {
    const float dx = dx_[t];
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kLanes; ++k) {
      const float d = v[t * kLanes + k] - s.mean[k];
      squares[k] += d * d;
      products[k] += dx * d;
    }
  }
  for (std::size_t k = 0; k < kLanes; ++k) {
    s.squares[k] = squares[k];
    s.products[k] = products[k];
  }
}

// Series i rides in the first lane of the first block; its mean gives the deviations that
// every partner's products need, and its squared deviations are pearsn's sum for x.
void PairCorrelator::correlate(int i, std::span<const int> partners, int start, int length,
                               std::span<float> r) {
  if (partners.empty()) return;
  const auto n = static_cast<std::size_t>(length);
  series_.assign(1, i);
  series_.insert(series_.end(), partners.begin(), partners.end());
  const std::span<const int> all(series_);

  dx_.resize(n);
  float sxx = 0.0f;
  for (std::size_t b = 0; b < all.size(); b += kLanes) {
    LaneSums s{};
    load_lanes(all.subspan(b, std::min(kLanes, all.size() - b)), start, n, s);
    if (b == 0) {
      const auto x = view_.values(i, start, length);
      for (std::size_t t = 0; t < n; ++t) dx_[t] = x[t] - s.mean[0];
    }
    lane_deviations(n, s);
    if (b == 0) sxx = s.squares[0];
    for (std::size_t k = 0; k < kLanes && b + k < all.size(); ++k) {
      if (b + k == 0) continue;
      // pearsn's conventions: no spread gives 0, and rounding never leaves [-1, 1].
      const float syy = s.squares[k];
      r[b + k - 1] = (sxx > 0.0f && syy > 0.0f)
                         ? std::clamp(s.products[k] / std::sqrt(sxx * syy), -1.0f, 1.0f)
                         : 0.0f;
    }
  }
}

}  // namespace dendro
