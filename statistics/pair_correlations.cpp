#include "statistics/pair_correlations.h"

#include <algorithm>
#include <cmath>

namespace dendro {

PairCorrelator::PairCorrelator(const SeriesView& view)
    : view_(view),
      stride_(static_cast<std::size_t>(view.count()) + kLanes),
      means_(static_cast<std::size_t>(view.count())) {
  // A year-major copy of the matrix: each year's values of all series side by side, so
  // that consecutive series make a block of lanes where they stand.
  const auto rows = static_cast<std::size_t>(std::max(view.rows, 0));
  values_.assign(rows * stride_, 0.0f);
  for (int j = 1; j <= view.count(); ++j) {
    const auto column = view.matrix.subspan(static_cast<std::size_t>(j - 1) * rows, rows);
    for (std::size_t t = 0; t < rows; ++t) {
      values_[t * stride_ + static_cast<std::size_t>(j - 1)] = column[t];
    }
  }
}

// pearsn's two passes for every lane at once: the lanes are independent sums, so each
// keeps pearsn's operations in its order while the compiler runs the lanes side by side.
// The first pass gives the means. Consecutive series are read where they stand in the
// year rows (lanes past the block's series read other series or the zeros after the last,
// and their results are not read), and their means come from the last pass over the same
// years when every one of them has it; other series are copied into lanes_ and summed on
// the way.
PairCorrelator::Lanes PairCorrelator::load_lanes(std::span<const int> series, int start,
                                                 std::size_t length, LaneSums& s) {
  const std::size_t m = series.size();
  const float count = static_cast<float>(length);
  bool consecutive = true;
  for (std::size_t k = 1; k < m; ++k) {
    consecutive = consecutive && series[k] == series[0] + static_cast<int>(k);
  }
  Lanes v;
  if (consecutive) {
    v.data = values_.data() + static_cast<std::size_t>(start - view_.first_year) * stride_ +
             static_cast<std::size_t>(series[0] - 1);
    v.stride = stride_;
    bool known = true;
    for (std::size_t k = 0; k < m; ++k) {
      const Mean& c = means_[static_cast<std::size_t>(series[k] - 1)];
      known = known && c.start == start && c.length == static_cast<int>(length);
      s.mean[k] = c.mean;
    }
    if (!known) {
      float sum[kLanes] = {};
      for (std::size_t t = 0; t < length; ++t) {
#pragma GCC unroll 8
        for (std::size_t k = 0; k < kLanes; ++k) sum[k] += v.data[t * v.stride + k];
      }
      for (std::size_t k = 0; k < kLanes; ++k) s.mean[k] = sum[k] / count;
    }
  } else {
    lanes_.resize(std::max(lanes_.size(), length * kLanes));
    // Lanes without a series keep what they hold (finite values, or zeros when new).
    const float* column[kLanes];
    for (std::size_t k = 0; k < kLanes; ++k) {
      column[k] = view_.values(series[std::min(k, m - 1)], start, static_cast<int>(length)).data();
    }
    float* into = lanes_.data();
    float sum[kLanes] = {};
    for (std::size_t t = 0; t < length; ++t) {
#pragma GCC unroll 8
      for (std::size_t k = 0; k < kLanes; ++k) {
        const float y = column[k][t];
        into[t * kLanes + k] = y;
        sum[k] += y;
      }
    }
    for (std::size_t k = 0; k < kLanes; ++k) s.mean[k] = sum[k] / count;
    v.data = lanes_.data();
    v.stride = kLanes;
  }
  for (std::size_t k = 0; k < m; ++k) {
    means_[static_cast<std::size_t>(series[k] - 1)] = {start, static_cast<int>(length), s.mean[k]};
  }
  return v;
}

// The second pass, over the lanes as vectors.
void PairCorrelator::lane_deviations(Lanes v, std::size_t length, LaneSums& s) const {
  float squares[kLanes] = {}, products[kLanes] = {};
  for (std::size_t t = 0; t < length; ++t) {
    const float dx = dx_[t];
    const float* y = v.data + t * v.stride;
#pragma GCC unroll 8
    for (std::size_t k = 0; k < kLanes; ++k) {
      const float d = y[k] - s.mean[k];
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
    const Lanes v = load_lanes(all.subspan(b, std::min(kLanes, all.size() - b)), start, n, s);
    if (b == 0) {
      const auto x = view_.values(i, start, length);
      for (std::size_t t = 0; t < n; ++t) dx_[t] = x[t] - s.mean[0];
    }
    lane_deviations(v, n, s);
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
