// Variance stabilisation of mean chronologies: taking out the changes of variance that come
// from a changing number of series (stabbm) or from slow changes of spread (stabit,
// stabit1).
#pragma once

#include <span>

namespace dendro {

class Console;

// A reference period in calendar years; 0 to 0 stands for the whole chronology.
struct ReferencePeriod {
  int first = 0;
  int last = 0;
};

// rbar-based stabilisation of the chronology x (first year `first_year`, one value per
// year) with its sample depth: each year's deviation from the mean is scaled by the square
// root of the effective number of independent series, n / ((n - 1) rbar + 1), which goes to
// `effective` (0 where the depth is 0); the result is rescaled to the chronology's mean and
// standard deviation over the reference period and written to `out` at the years with
// depth. A 0 to 0 reference becomes the whole chronology (written back). No values or an
// empty reference period end the program (Stop); an rbar of 0 or below is reported on the
// console and nothing is changed (returns false).
bool stabbm(std::span<const float> x, std::span<const int> depth, int first_year,
            ReferencePeriod& reference, float rbar, std::span<float> out,
            std::span<float> effective, Console* console = nullptr);

// Spline stabilisation over all years: the absolute deviations from the mean (left in x)
// are smoothed by a spline of stiffness w (curve), the signed deviations divided by the
// curve and rescaled to the series' mean and standard deviation go to out, negative
// results set to 0. The mean and deviation come from the years of depth above 3 when there
// are more than n/3 of them. A w below -9 is a percentage of the length, turned into years
// and written back.
void stabit(std::span<float> x, std::span<float> curve, std::span<float> out,
            std::span<const int> depth, int& w, Console* console = nullptr);

// The same over the years whose mask (sample depth) is above 0: other years of x keep what
// they hold (the spline runs over all of them) and other years of out are not written.
void stabit1(std::span<float> x, std::span<float> curve, std::span<float> out,
             std::span<const int> mask, int& w, Console* console = nullptr);

}  // namespace dendro
