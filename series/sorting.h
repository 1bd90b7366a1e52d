// In-place sorts of single-precision arrays.
#pragma once

#include <cstddef>
#include <span>

namespace dendro {

// Quicksort, ascending. Parts of at most seven elements go to straight insertion; the
// partition element is chosen by a small congruential generator restarted on every call,
// so the same input is always sorted by the same steps.
// When every two equal values are alike (sorts_alike), any ascending sort gives the same
// array, and a faster one does the work.
void qcksrt(std::span<float> x);

// True when every two values that compare equal have the same bits: no NaN, and zeros of
// one sign only. Then the ascending order of the values is one array, whatever the sort.
bool sorts_alike(std::span<const float> x);

// Rearranges x so that each of the 0-based positions (ascending, each below x.size())
// holds the value that qcksrt's sorted array has there, the others in no particular order:
// a selection where the values sort alike, else the sort itself.
void select(std::span<float> x, std::span<const std::size_t> positions);

// Heapsort, ascending. Fewer than two values are already sorted.
void sort(std::span<float> x);

// Descending order by repeated selection of the first largest remaining value.
void rank(std::span<float> x);

}  // namespace dendro
