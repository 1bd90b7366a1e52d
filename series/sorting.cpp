#include "series/sorting.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <utility>
#include <vector>

namespace dendro {
namespace {

// Quicksort after Numerical Recipes' qcksrt: ranges below this length are left to
// insertion, which is faster on short runs.
constexpr int kInsertionSpan = 7;  // r - l below this means at most 7 elements

// The pending-range stack holds two entries per range. Because the larger part is always
// the one pushed, the stack holds at most about 2 log2(n) entries; this limit can only be
// reached by a broken partition.
constexpr std::size_t kStackLimit = 10000;

// Partition-element generator: f = (211 f + 1663) mod 7875, scaled by 1/7875.
constexpr float kGenMultiplier = 211.0f;
constexpr float kGenIncrement = 1663.0f;
constexpr float kGenModulus = 7875.0f;
constexpr float kGenScale = 0.00012698413f;  // 1 / 7875

// The radix sort of values that sort alike: four passes of one byte each, for arrays
// long enough that the passes beat a comparison sort.
constexpr std::uint32_t kSignBit = 0x80000000u;
constexpr int kRadixBits = 8;
constexpr int kRadixPasses = 4;
constexpr std::size_t kRadixBuckets = std::size_t{1} << kRadixBits;
constexpr std::uint32_t kRadixMask = kRadixBuckets - 1;
constexpr std::size_t kRadixFrom = 64;

// Sorts x(l..r) by straight insertion; an element moves down past every larger element,
// which may take the scan below l onto values already in place (they are never larger).
void insertion(std::span<float> x, int l, int r) {
  auto v = [&](int k) -> float& { return x[static_cast<std::size_t>(k - 1)]; };
  for (int j = l + 1; j <= r; ++j) {
    const float a = v(j);
    int i = j - 1;
    while (i >= 1 && v(i) > a) {
      v(i + 1) = v(i);
      --i;
    }
    v(i + 1) = a;
  }
}

// Partitions x(l..r) around a = x(q) and returns the final position of a. The element at l
// is the first hole; the scans stop at elements equal to a, so runs of equal keys cannot
// make them run away.
int partition(std::span<float> x, int l, int r, int q) {
  const int n = static_cast<int>(x.size());
  auto v = [&](int k) -> float& { return x[static_cast<std::size_t>(k - 1)]; };
  const float a = v(q);
  v(q) = v(l);
  int i = l;
  int j = r;
  // Each round moves i up and j down by at least one, so r - l + 1 rounds suffice.
  for (int round = 0; round <= r - l + 1; ++round) {
    while (j > 0 && a < v(j)) --j;
    if (j <= i) {
      v(i) = a;
      return i;
    }
    v(i) = v(j);
    ++i;
    while (i <= n && a > v(i)) ++i;
    if (j <= i) {
      v(j) = a;
      return j;
    }
    v(j) = v(i);
    --j;
  }
  throw std::logic_error("qcksrt: partition did not end");
}

// The partition-exchange sort itself: the order it leaves equal values in (a -0 and a +0,
// say) is its own.
void partition_sort(std::span<float> x) {
  const int n = static_cast<int>(x.size());
  std::vector<int> stack;  // pairs (l, r) of ranges still to sort
  int l = 1;
  int r = n;
  float f = 0.0f;
  // Every pass either finishes a range or splits one, so 2n passes are enough.
  for (long pass = 0; pass <= 2L * n + 2; ++pass) {
    if (r - l < kInsertionSpan) {
      insertion(x, l, r);
      if (stack.empty()) return;
      r = stack.back();
      stack.pop_back();
      l = stack.back();
      stack.pop_back();
      continue;
    }
    f = std::fmod(f * kGenMultiplier + kGenIncrement, kGenModulus);
    const int offset = static_cast<int>(static_cast<float>(r - l + 1) * f * kGenScale);
    const int q = std::min(l + offset, r);
    const int i = partition(x, l, r, q);
    if (stack.size() + 2 > kStackLimit) throw std::logic_error("nstack must be made larger.");
    // Push the larger part and go on with the smaller one.
    if (r - i >= i - l) {
      stack.push_back(i + 1);
      stack.push_back(r);
      r = i - 1;
    } else {
      stack.push_back(l);
      stack.push_back(i - 1);
      l = i + 1;
    }
  }
  throw std::logic_error("qcksrt: sort did not end");
}

// Sort keys: a value's bits turned so that their unsigned order is the values' order
// (a negative value has every bit flipped, any other its sign bit set).
std::uint32_t sort_key(float v) {
  const auto u = std::bit_cast<std::uint32_t>(v);
  return (u & kSignBit) != 0 ? ~u : (u | kSignBit);
}

float key_value(std::uint32_t k) {
  return std::bit_cast<float>((k & kSignBit) != 0 ? (k & ~kSignBit) : ~k);
}

// Ascending radix sort of values that sort alike, a byte of the key a pass from the lowest;
// a pass is left out where every key has the same byte. Any ascending sort of such values
// gives the same array, and this one takes a fixed few passes over them.
void radix_sort(std::span<float> x) {
  const std::size_t n = x.size();
  std::vector<std::uint32_t> keys(n), moved(n);
  std::array<std::array<std::size_t, kRadixBuckets>, kRadixPasses> counts{};
  for (std::size_t i = 0; i < n; ++i) {
    keys[i] = sort_key(x[i]);
    for (int pass = 0; pass < kRadixPasses; ++pass)
      ++counts[pass][(keys[i] >> (kRadixBits * pass)) & kRadixMask];
  }
  for (int pass = 0; pass < kRadixPasses; ++pass) {
    std::array<std::size_t, kRadixBuckets>& count = counts[pass];
    const int shift = kRadixBits * pass;
    if (count[(keys[0] >> shift) & kRadixMask] == n) continue;
    std::size_t start = 0;
    for (std::size_t& c : count) start += std::exchange(c, start);
    for (std::uint32_t k : keys) moved[count[(k >> shift) & kRadixMask]++] = k;
    keys.swap(moved);
  }
  for (std::size_t i = 0; i < n; ++i) x[i] = key_value(keys[i]);
}

}  // namespace

void qcksrt(std::span<float> x) {
  if (!sorts_alike(x)) {
    partition_sort(x);
  } else if (x.size() < kRadixFrom) {
    std::sort(x.begin(), x.end());
  } else {
    radix_sort(x);
  }
}

bool sorts_alike(std::span<const float> x) {
  bool positive_zero = false, negative_zero = false;
  for (float v : x) {
    if (std::isnan(v)) return false;
    if (v == 0.0f) (std::signbit(v) ? negative_zero : positive_zero) = true;
  }
  return !(positive_zero && negative_zero);
}

void select(std::span<float> x, std::span<const std::size_t> positions) {
  if (!sorts_alike(x)) return partition_sort(x);
  // Each selection leaves the values below its position on its left, so the next (larger)
  // position is found among the values right of the last.
  auto from = x.begin();
  for (std::size_t p : positions) {
    const auto at = x.begin() + static_cast<std::ptrdiff_t>(p);
    if (at < from) continue;  // a repeated position
    std::nth_element(from, at, x.end());
    from = at + 1;
  }
}

void sort(std::span<float> x) {
  const int n = static_cast<int>(x.size());
  if (n < 2) return;
  auto v = [&](int k) -> float& { return x[static_cast<std::size_t>(k - 1)]; };
  int l = n / 2 + 1;  // heap construction: sift x(l-1) down while l > 1
  int ir = n;         // selection: the heap is x(1..ir)
  // n/2 construction steps and n - 1 selection steps.
  for (int step = 0; step < n + n / 2; ++step) {
    float rra;
    if (l > 1) {
      --l;
      rra = v(l);
    } else {
      rra = v(ir);
      v(ir) = v(1);
      if (--ir == 1) {
        v(1) = rra;
        return;
      }
    }
    // Sift rra down from l towards the larger child.
    int i = l;
    int j = l + l;
    while (j <= ir) {
      if (j < ir && v(j) < v(j + 1)) ++j;
      if (rra < v(j)) {
        v(i) = v(j);
        i = j;
        j += j;
      } else {
        j = ir + 1;
      }
    }
    v(i) = rra;
  }
}

void rank(std::span<float> x) {
  for (std::size_t i = 0; i < x.size(); ++i) {
    std::size_t largest = i;
    for (std::size_t k = i + 1; k < x.size(); ++k) {
      if (x[k] > x[largest]) largest = k;
    }
    std::swap(x[i], x[largest]);
  }
}

}  // namespace dendro
