// The Qn scale estimator of Rousseeuw and Croux and its selection helpers.
//
// Qn of n values is the k-th smallest of the n(n-1)/2 pairwise distances |x_i - x_j|, i < j,
// with h = n/2 + 1 and k = h(h-1)/2, times a small-sample factor and the consistency factor
// 2.2219. It is found without forming the distances, by the time-efficient algorithm of
// Croux and Rousseeuw (1992, "Time-efficient algorithms for two highly robust estimators of
// scale"): a weighted-median search over the rows of the implicit matrix of sorted
// differences, O(n log n) time and O(n) storage.
#pragma once

#include <span>
#include <vector>

namespace dendro {

// The Qn scale of the values; x is not changed. Fewer than two values have no pairwise
// distance: the result is then 0.
float qn(std::span<const float> x);

// The values in ascending order; x is not changed.
std::vector<float> sortq(std::span<const float> x);

// Weighted high median: the smallest value whose cumulative weight (counting the values not
// above it) exceeds half the total weight. Weights are positive. Needs at least one value.
float whimed(std::span<const float> a, std::span<const long long> w);

// The k-th smallest (1-based) of the values; a is not changed.
float pull(std::span<const float> a, long long k);

}  // namespace dendro
