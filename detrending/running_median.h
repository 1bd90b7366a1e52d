// Repeated running medians (after J. W. Tukey, Exploratory Data Analysis, 1977): median
// passes of an odd window until the series no longer changes.
#pragma once

#include <span>

namespace dendro {

class Console;

// Error codes of the median smoothers.
inline constexpr int kMedianLength = 1;       // n < k, or n above the limit
inline constexpr int kMedianWindow = 2;       // k < 1, or k above the limit
inline constexpr int kMedianNotOdd = 3;       // the window is not odd
inline constexpr int kMedianPassOffset = 10;  // added to a code that one pass reported
inline constexpr int kMedianIterations = 20;  // no convergence in the pass limit

struct MedianSmooth {
  int passes = 0;  // number of passes run
  int ier = 0;     // 0, or one of the codes above
  int window = 0;  // the window used: k, an even k lowered by one
};

// Smooths x(1..n) into y by median passes of window k until a pass changes the series by
// less than 1.0e-6 in total (at most 10 passes). x is overwritten with the latest pass; an
// even k is lowered by one. Bad input is reported on the console (with a pause) and in
// `ier`, and y is then left as it was.
MedianSmooth msmoor(std::span<float> x, std::span<float> y, int k, int nmax, Console& con);

// One pass: y(i) = median of x(i-h..i+h), h = (k-1)/2, with the first and last full-window
// medians carried out to the ends. Returns the error code (reported like msmoor's).
int msmoo(std::span<const float> x, std::span<float> y, int k, int nmax, Console& con);

}  // namespace dendro
