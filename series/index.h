// Conversions between the 1-based positions and counts of the numerical routines and the
// 0-based sizes of the containers that hold their values.
#pragma once

#include <algorithm>
#include <cstddef>

namespace dendro {

// The container index of 1-based position i.
constexpr std::size_t at(int i) { return static_cast<std::size_t>(i - 1); }

// A count as a size; a negative count is none.
constexpr std::size_t count(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

}  // namespace dendro
