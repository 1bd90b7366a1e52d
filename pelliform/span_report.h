// The span report of a series set: its time span, its number of series, its longest and
// shortest series, and its optimum common interval (the period from a series' first year
// to a series' last year that holds the most rings of the series covering it whole).
#pragma once

#include <span>

namespace dendro {

class Console;

struct CommonInterval {
  int first = 0;   // first year of the interval
  int last = 0;    // last year
  int series = 0;  // series covering it whole
  long long rings = 0;
};

// The optimum common interval. Candidate pairs are taken in a fixed order (last years
// descending; within one, first years ascending, then longer series first) and a later
// pair replaces the best only with strictly more rings.
CommonInterval optimum_interval(std::span<const int> first, std::span<const int> nvals);

// Writes the span report to the console. More than 4500 series end the run (Stop).
void comint(std::span<const int> first, std::span<const int> nvals, Console& con);

// Smallest and largest of the values (the first value when there are fewer than two).
int minimum(std::span<const int> v);
int maximum(std::span<const int> v);

}  // namespace dendro
