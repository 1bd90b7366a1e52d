// In-place sorts of single-precision arrays.
#pragma once

#include <span>

namespace dendro {

// Quicksort, ascending. Parts of at most seven elements go to straight insertion; the
// partition element is chosen by a small congruential generator restarted on every call,
// so the same input is always sorted by the same steps.
void qcksrt(std::span<float> x);

// Heapsort, ascending. Fewer than two values are already sorted.
void sort(std::span<float> x);

// Descending order by repeated selection of the first largest remaining value.
void rank(std::span<float> x);

}  // namespace dendro
