#include "statistics/pair_correlations.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "series/files/interrupts.h"

namespace dendro {

namespace {

// Partners of a series are correlated side by side, a block of 2W consecutive series at a
// time, in two vectors of W lanes: W = 4 on every x86-64 processor, 8 where AVX2 is there.
// Lanes are independent sums, and each lane's sums do not depend on the block it rides in,
// so both widths give the same results to the bit.
template <int W>
struct Vectors;
template <>
struct Vectors<4> {
  typedef float Floats __attribute__((vector_size(16)));
  typedef std::int32_t Ints __attribute__((vector_size(16)));
};
template <>
struct Vectors<8> {
  typedef float Floats __attribute__((vector_size(32)));
  typedef std::int32_t Ints __attribute__((vector_size(32)));
};
constexpr int kMostLanes = 16;

// The series matrix in blocks of `lanes` consecutive series (block b holds series
// b * lanes + 1 onwards; zeros after the last), each block year-major over the rows that
// hold any series: a block's values of one year side by side, its years one after another,
// so that a pass over a block reads its memory in order.
class Blocks {
 public:
  Blocks(const SeriesView& view, int lanes) : lanes_(static_cast<std::size_t>(lanes)) {
    int lowest = INT_MAX, highest = INT_MIN;
    for (std::size_t s = 0; s < static_cast<std::size_t>(view.count()); ++s) {
      if (view.first[s] > view.last[s]) continue;
      lowest = std::min(lowest, view.first[s] - view.first_year);
      highest = std::max(highest, view.last[s] - view.first_year);
    }
    if (lowest > highest) return;
    first_row_ = lowest;
    used_ = static_cast<std::size_t>(highest - lowest + 1);
    const auto n = static_cast<std::size_t>(view.count());
    const std::size_t blocks = (n + lanes_ - 1) / lanes_;
    const auto rows = static_cast<std::size_t>(view.rows);
    values_.assign(blocks * used_ * lanes_, 0.0f);
    for (std::size_t s = 0; s < n; ++s) {
      const float* column = view.matrix.data() + s * rows + static_cast<std::size_t>(first_row_);
      float* to = values_.data() + (s / lanes_) * used_ * lanes_ + s % lanes_;
      for (std::size_t t = 0; t < used_; ++t) to[t * lanes_] = column[t];
    }
  }
  // The values of block b in matrix row t.
  const float* row(std::size_t b, int t) const {
    return values_.data() + (b * used_ + static_cast<std::size_t>(t - first_row_)) * lanes_;
  }

 private:
  std::size_t lanes_;
  std::size_t used_ = 0;
  int first_row_ = 0;
  std::vector<float> values_;
};

// Where each series holds one value over at least `min_years` years: a series has no
// spread over a range of at least that many years exactly when such a stretch covers it
// (has_spread: not all values equal). Most series have no such stretch at all.
class FlatStretches {
 public:
  FlatStretches(const SeriesView& view, int min_years)
      : start_(static_cast<std::size_t>(view.count()) + 1, 0) {
    const auto rows = static_cast<std::size_t>(view.rows);
    for (std::size_t s = 0; s < static_cast<std::size_t>(view.count()); ++s) {
      const int from = view.first[s] - view.first_year, to = view.last[s] - view.first_year;
      const float* y = view.matrix.data() + s * rows;
      for (int t = from; t <= to;) {
        int end = t;
        while (end < to && y[end + 1] == y[end]) ++end;
        if (end - t + 1 >= min_years) stretches_.push_back({t, end});
        t = end + 1;
      }
      start_[s + 1] = stretches_.size();
    }
  }
  // has_spread of series i (1-based) over rows from..to, a range of at least min_years.
  bool spread(int i, int from, int to) const {
    const auto s = static_cast<std::size_t>(i - 1);
    for (std::size_t k = start_[s]; k < start_[s + 1]; ++k) {
      if (stretches_[k].from <= from && to <= stretches_[k].to) return false;
    }
    return true;
  }

 private:
  struct Stretch {
    int from, to;  // rows
  };
  std::vector<std::size_t> start_;  // series s's stretches: start_[s] .. start_[s + 1] - 1
  std::vector<Stretch> stretches_;
};

// The common rows of series i with each lane's partner: lane k takes part in the rows
// from[k] .. to[k]; a lane without a correlation has an empty range.
struct LaneRanges {
  int from[kMostLanes];
  int to[kMostLanes];
  int lowest = INT_MAX, highest = INT_MIN;  // the rows any lane takes part in
};

// pearsn's sums for every lane at once.
struct LaneSums {
  float squares_x[kMostLanes], squares_y[kMostLanes], products[kMostLanes];
};

// The rows lowest .. highest in up to three stretches: where some lane may be out (the
// lanes' masks are worked out row by row), and between them the rows every lane with a
// correlation takes part in (no masks: the lanes without one are not read).
struct Stretch {
  int from, to;  // rows
  bool masked;
};

int stretches_of(const LaneRanges& lanes, int count_of_lanes, Stretch* stretches) {
  int all_from = INT_MIN, all_to = INT_MAX;
  for (int k = 0; k < count_of_lanes; ++k) {
    if (lanes.from[k] > lanes.to[k]) continue;
    all_from = std::max(all_from, lanes.from[k]);
    all_to = std::min(all_to, lanes.to[k]);
  }
  if (all_from > all_to) {
    stretches[0] = {lanes.lowest, lanes.highest, true};
    return 1;
  }
  int count = 0;
  if (lanes.lowest < all_from) stretches[count++] = {lanes.lowest, all_from - 1, true};
  stretches[count++] = {all_from, all_to, false};
  if (all_to < lanes.highest) stretches[count++] = {all_to + 1, lanes.highest, true};
  return count;
}

// The sums of block b of 2W lanes. Each lane adds exactly pearsn's terms in year order:
// rows outside its range add +0, which leaves a sum as it is (a sum that starts at +0 never
// becomes -0), so that each lane's results are those of pearsn over its own years. x is
// series i by row. Vectors are passed by reference only: by value, the wide ones would
// change the calling convention.
template <int W>
[[gnu::always_inline]] inline LaneSums lane_sums(const Blocks& blocks, std::size_t b,
                                                 const float* x, const LaneRanges& lanes) {
  typedef typename Vectors<W>::Floats Floats;
  typedef typename Vectors<W>::Ints Ints;
  constexpr int kLanes = 2 * W;
  const auto load = [](const auto* from, auto& v) { std::memcpy(&v, from, sizeof v); };

  Stretch stretches[3];
  const int count_of_stretches = stretches_of(lanes, kLanes, stretches);
  Ints from0, from1, to0, to1;
  load(lanes.from, from0);
  load(lanes.from + W, from1);
  load(lanes.to, to0);
  load(lanes.to + W, to1);
  float count[kLanes];
  for (int k = 0; k < kLanes; ++k) {
    count[k] =
        lanes.from[k] <= lanes.to[k] ? static_cast<float>(lanes.to[k] - lanes.from[k] + 1) : 1.0f;
  }
  // First pass: the sums of the two series, and so their means.
  Floats sum_x0 = {}, sum_x1 = {}, sum_y0 = {}, sum_y1 = {};
  for (int c = 0; c < count_of_stretches; ++c) {
    const Stretch& p = stretches[c];
    const float* y = blocks.row(b, p.from);
    for (int t = p.from; t <= p.to; ++t, y += kLanes) {
      Floats xt0 = Floats{} + x[t], xt1 = xt0, y0, y1;
      load(y, y0);
      load(y + W, y1);
      if (p.masked) {
        const Ints row = Ints{} + t;
        const Ints in0 = (row >= from0) & (row <= to0), in1 = (row >= from1) & (row <= to1);
        xt0 = (Floats)((Ints)xt0 & in0);
        xt1 = (Floats)((Ints)xt1 & in1);
        y0 = (Floats)((Ints)y0 & in0);
        y1 = (Floats)((Ints)y1 & in1);
      }
      sum_x0 += xt0;
      sum_x1 += xt1;
      sum_y0 += y0;
      sum_y1 += y1;
    }
  }
  Floats count0, count1;
  load(count, count0);
  load(count + W, count1);
  const Floats mean_x0 = sum_x0 / count0, mean_x1 = sum_x1 / count1;
  const Floats mean_y0 = sum_y0 / count0, mean_y1 = sum_y1 / count1;
  // Second pass: the deviations from the means, squared and multiplied.
  Floats sxx0 = {}, sxx1 = {}, syy0 = {}, syy1 = {}, sxy0 = {}, sxy1 = {};
  for (int c = 0; c < count_of_stretches; ++c) {
    const Stretch& p = stretches[c];
    const float* y = blocks.row(b, p.from);
    for (int t = p.from; t <= p.to; ++t, y += kLanes) {
      const Floats xt = Floats{} + x[t];
      Floats y0, y1;
      load(y, y0);
      load(y + W, y1);
      Floats dx0 = xt - mean_x0, dx1 = xt - mean_x1, dy0 = y0 - mean_y0, dy1 = y1 - mean_y1;
      if (p.masked) {
        const Ints row = Ints{} + t;
        const Ints in0 = (row >= from0) & (row <= to0), in1 = (row >= from1) & (row <= to1);
        dx0 = (Floats)((Ints)dx0 & in0);
        dx1 = (Floats)((Ints)dx1 & in1);
        dy0 = (Floats)((Ints)dy0 & in0);
        dy1 = (Floats)((Ints)dy1 & in1);
      }
      sxx0 += dx0 * dx0;
      sxx1 += dx1 * dx1;
      syy0 += dy0 * dy0;
      syy1 += dy1 * dy1;
      sxy0 += dx0 * dy0;
      sxy1 += dx1 * dy1;
    }
  }
  LaneSums s;
  const auto store = [](float* to, const Floats& a, const Floats& c) {
    std::memcpy(to, &a, sizeof a);
    std::memcpy(to + W, &c, sizeof c);
  };
  store(s.squares_x, sxx0, sxx1);
  store(s.squares_y, syy0, syy1);
  store(s.products, sxy0, sxy1);
  return s;
}

// Rows of pairs are correlated this many at a time, block after block of partners, so that
// a block is read from the cache for all of them: the sums do little work per value, and
// reading every block once per row would leave them waiting for memory.
constexpr int kRowsTogether = 8;

// What a set of rows of pairs needs: the view, its copies, and where the results go.
struct RowsJob {
  const SeriesView& view;
  const Blocks& blocks;
  const FlatStretches& flat;
  int min_years;
  int first, last;  // rows i of pairs (i, j)
  float* r;         // pair (i, j) at r[(i - first) * n + j - 1]
  int* years;       // the same; 0 for a pair without a correlation
};

// The pairs (i, j) of block b of 2W series, j > i.
template <int W>
[[gnu::always_inline]] inline void correlate_block(const RowsJob& job, int i, std::size_t b) {
  constexpr int kLanes = 2 * W;
  const SeriesView& view = job.view;
  const int n = view.count();
  const std::size_t si = static_cast<std::size_t>(i - 1);
  const int fi = view.first[si] - view.first_year, li = view.last[si] - view.first_year;
  const float* x = view.matrix.data() + si * static_cast<std::size_t>(view.rows);
  const std::size_t row = static_cast<std::size_t>(i - job.first) * static_cast<std::size_t>(n);
  const int j0 = static_cast<int>(b * kLanes) + 1;
  LaneRanges lanes;
  for (int k = 0; k < kLanes; ++k) {
    const int j = j0 + k;
    lanes.from[k] = INT_MAX;
    lanes.to[k] = INT_MIN;
    if (j <= i || j > n) continue;
    job.years[row + static_cast<std::size_t>(j - 1)] = 0;
    const std::size_t sj = static_cast<std::size_t>(j - 1);
    const int from = std::max(fi, view.first[sj] - view.first_year);
    const int to = std::min(li, view.last[sj] - view.first_year);
    // A series without spread over the years has no correlation.
    if (to - from + 1 < job.min_years || !job.flat.spread(i, from, to) ||
        !job.flat.spread(j, from, to)) {
      continue;
    }
    lanes.from[k] = from;
    lanes.to[k] = to;
    lanes.lowest = std::min(lanes.lowest, from);
    lanes.highest = std::max(lanes.highest, to);
  }
  if (lanes.lowest > lanes.highest) return;
  const LaneSums s = lane_sums<W>(job.blocks, b, x, lanes);
  for (int k = 0; k < kLanes; ++k) {
    if (lanes.from[k] > lanes.to[k]) continue;
    // pearsn's conventions: no spread in the sums gives 0, and rounding never leaves
    // [-1, 1].
    const float sxx = s.squares_x[k], syy = s.squares_y[k];
    const std::size_t at = row + static_cast<std::size_t>(j0 + k - 1);
    job.r[at] = (sxx > 0.0f && syy > 0.0f)
                    ? std::clamp(s.products[k] / std::sqrt(sxx * syy), -1.0f, 1.0f)
                    : 0.0f;
    job.years[at] = lanes.to[k] - lanes.from[k] + 1;
  }
}

// Rows first .. last of the pairs, block after block of the partners j > i.
template <int W>
[[gnu::always_inline]] inline void correlate_rows(const RowsJob& job) {
  constexpr std::size_t kLanes = 2 * W;
  const auto n = static_cast<std::size_t>(job.view.count());
  for (std::size_t b = static_cast<std::size_t>(job.first) / kLanes; b * kLanes < n; ++b) {
    for (int i = job.first; i <= job.last; ++i) {
      if ((b + 1) * kLanes > static_cast<std::size_t>(i)) correlate_block<W>(job, i, b);
    }
  }
}

void correlate_rows_sse(const RowsJob& job) { correlate_rows<4>(job); }
[[gnu::target("avx2")]] void correlate_rows_avx2(const RowsJob& job) { correlate_rows<8>(job); }

}  // namespace

void correlate_pairs(const SeriesView& view, int min_years,
                     const std::function<void(const CorrelationPair&)>& add, int threads) {
  const int n = view.count();
  if (n < 2) return;
  const bool avx2 = __builtin_cpu_supports("avx2");
  const Blocks blocks(view, avx2 ? 16 : 8);
  const FlatStretches flat(view, min_years);
  // Rows of pairs kRowsTogether at a time into a buffer on the threads, handed on in order
  // as they end; the buffers handed on go back to a pool for later rows.
  const auto places = static_cast<std::size_t>(kRowsTogether) * static_cast<std::size_t>(n);
  struct Rows {
    std::vector<float> r;
    std::vector<int> years;
  };
  std::vector<std::unique_ptr<Rows>> pool,
      done((static_cast<std::size_t>(n) + kRowsTogether - 2) / kRowsTogether);
  std::mutex pool_lock;
  parallel_ordered(
      static_cast<int>(done.size()),
      [&](int item) {
        stop_if_interrupted();  // thrown again on the calling thread
        std::unique_ptr<Rows> rows;
        {
          const std::lock_guard<std::mutex> hold(pool_lock);
          if (!pool.empty()) {
            rows = std::move(pool.back());
            pool.pop_back();
          }
        }
        if (!rows)
          rows = std::make_unique<Rows>(Rows{std::vector<float>(places), std::vector<int>(places)});
        const int first = item * kRowsTogether + 1;
        const RowsJob job{view,           blocks,
                          flat,           min_years,
                          first,          std::min(first + kRowsTogether - 1, n - 1),
                          rows->r.data(), rows->years.data()};
        if (avx2) {
          correlate_rows_avx2(job);
        } else {
          correlate_rows_sse(job);
        }
        done[static_cast<std::size_t>(item)] = std::move(rows);
      },
      [&](int item) {
        std::unique_ptr<Rows>& rows = done[static_cast<std::size_t>(item)];
        const int first = item * kRowsTogether + 1;
        for (int i = first; i < std::min(first + kRowsTogether, n); ++i) {
          const std::size_t row = static_cast<std::size_t>(i - first) * static_cast<std::size_t>(n);
          for (int j = i + 1; j <= n; ++j) {
            const std::size_t at = row + static_cast<std::size_t>(j - 1);
            if (rows->years[at] > 0) add({rows->r[at], i, j, rows->years[at]});
          }
        }
        const std::lock_guard<std::mutex> hold(pool_lock);
        pool.push_back(std::move(rows));
      },
      threads);
}

}  // namespace dendro
