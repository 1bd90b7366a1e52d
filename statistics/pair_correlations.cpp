#include "statistics/pair_correlations.h"

#include <algorithm>
#include <cmath>

namespace dendro {

namespace {

// Partners go in blocks of kBlock, a fixed count that the compiler turns into vector
// instructions, and years in tiles of kTile rows, which stay in cache while every block
// of partners passes over them.
constexpr std::size_t kBlock = 8;
constexpr std::size_t kTile = 64;
constexpr std::size_t kPadding = kBlock;  // zeros after each year row

std::size_t whole_blocks(std::size_t n) { return (n + kBlock - 1) / kBlock * kBlock; }

}  // namespace

PairCorrelator::PairCorrelator(const SeriesView& view)
    : view_(view),
      stride_(static_cast<std::size_t>(view.count()) + kPadding),
      spreads_(static_cast<std::size_t>(view.count())) {
  // A year-major copy of the matrix: each year's values of all series side by side, so
  // that a block of partners reads adjacent values, year after year in order.
  const auto rows = static_cast<std::size_t>(std::max(view.rows, 0));
  values_.assign(rows * stride_, 0.0f);
  for (int j = 1; j <= view.count(); ++j) {
    const auto column = view.matrix.subspan(static_cast<std::size_t>(j - 1) * rows, rows);
    for (std::size_t t = 0; t < rows; ++t) values_[t * stride_ + static_cast<std::size_t>(j - 1)] = column[t];
  }
}

// The first pass of pearsn: the mean as the single-precision sum in year order over the
// count, then the squared deviations from it summed in year order.
const PairCorrelator::Spread& PairCorrelator::spread(int series, int start, int length) {
  Spread& s = spreads_[static_cast<std::size_t>(series - 1)];
  if (s.start == start && s.length == length) return s;
  const auto x = view_.values(series, start, length);
  float sum = 0.0f;
  for (float v : x) sum += v;
  s.mean = sum / static_cast<float>(length);
  s.squares = 0.0f;
  for (float v : x) {
    const float d = v - s.mean;
    s.squares += d * d;
  }
  s.start = start;
  s.length = length;
  return s;
}

// pearsn's operations in its order for every pair; only the sum of products belongs to a
// pair alone, and the partners' sums of products advance side by side.
void PairCorrelator::correlate(int i, std::span<const int> partners, int start, int length,
                               std::span<float> r) {
  const std::size_t p = partners.size();
  if (p == 0) return;
  const auto n = static_cast<std::size_t>(length);
  const std::size_t padded = whole_blocks(p);

  // The deviations of x, and the partners' means and sums of squares.
  const Spread sx = spread(i, start, length);
  std::vector<float> dx(n);
  const auto x = view_.values(i, start, length);
  for (std::size_t t = 0; t < n; ++t) dx[t] = x[t] - sx.mean;
  std::vector<float> mean_y(padded, 0.0f), syy(padded, 0.0f);
  for (std::size_t k = 0; k < p; ++k) {
    const Spread& sy = spread(partners[k], start, length);
    mean_y[k] = sy.mean;
    syy[k] = sy.squares;
  }

  // The partners' values of each year of a tile: a run of the year row when their numbers
  // are consecutive (reading on into the row's padding up to a whole block), else gathered.
  const bool consecutive = partners.back() - partners.front() + 1 == static_cast<int>(p);
  const float* rows = values_.data() + static_cast<std::size_t>(start - view_.first_year) * stride_;
  std::vector<float> gathered(consecutive ? 0 : kTile * padded, 0.0f);
  std::vector<const float*> year(kTile);
  std::vector<float> sxy(padded, 0.0f);
  for (std::size_t t0 = 0; t0 < n; t0 += kTile) {
    const std::size_t t1 = std::min(n, t0 + kTile);
    for (std::size_t t = t0; t < t1; ++t) {
      const float* row = rows + t * stride_;
      if (consecutive) {
        year[t - t0] = row + (partners.front() - 1);
        continue;
      }
      float* into = gathered.data() + (t - t0) * padded;
      for (std::size_t k = 0; k < p; ++k) into[k] = row[partners[k] - 1];
      year[t - t0] = into;
    }
    for (std::size_t b = 0; b < padded; b += kBlock) {
      float mean[kBlock], xy[kBlock];
      for (std::size_t k = 0; k < kBlock; ++k) {
        mean[k] = mean_y[b + k];
        xy[k] = sxy[b + k];
      }
      for (std::size_t t = t0; t < t1; ++t) {
        const float* y = year[t - t0] + b;
        for (std::size_t k = 0; k < kBlock; ++k) xy[k] += dx[t] * (y[k] - mean[k]);
      }
      for (std::size_t k = 0; k < kBlock; ++k) sxy[b + k] = xy[k];
    }
  }

  for (std::size_t k = 0; k < p; ++k) {
    // pearsn's conventions: no spread gives 0, and rounding never leaves [-1, 1].
    r[k] = (sx.squares > 0.0f && syy[k] > 0.0f)
               ? std::clamp(sxy[k] / std::sqrt(sx.squares * syy[k]), -1.0f, 1.0f)
               : 0.0f;
  }
}

}  // namespace dendro
