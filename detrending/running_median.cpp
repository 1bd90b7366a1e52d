#include "detrending/running_median.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

#include "series/console.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {
namespace {

constexpr int kMaxPasses = 10;
constexpr double kUnchanged = 1.0e-6;

}  // namespace

int msmoo(std::span<const float> x, std::span<float> y, int k, int nmax, Console& con) {
  const int n = static_cast<int>(x.size());
  int ier = 0;
  if (k > n || n > nmax) ier = kMedianLength;
  if (k < 1 || k > nmax) ier = kMedianWindow;
  if (k % 2 == 0) ier = kMedianNotOdd;
  if (ier != 0) {
    con.say(Layout("(/1x,'input error ',i1,' in msmoo.')").write(ier));
    con.pause("");
    return ier;
  }
  if (k == 1) {
    std::copy(x.begin(), x.end(), y.begin());
    return 0;
  }
  const int h = (k - 1) / 2;
  std::vector<float> w(static_cast<std::size_t>(k));
  for (int i = h + 1; i <= n - h; ++i) {
    std::copy(x.begin() + (i - h - 1), x.begin() + (i + h), w.begin());
    std::sort(w.begin(), w.end());
    y[at(i)] = w[at(h + 1)];
  }
  for (int i = 1; i <= h; ++i) y[at(i)] = y[at(h + 1)];
  for (int i = n - h + 1; i <= n; ++i) y[at(i)] = y[at(n - h)];
  return 0;
}

MedianSmooth msmoor(std::span<float> x, std::span<float> y, int k, int nmax, Console& con) {
  MedianSmooth result;
  const int n = static_cast<int>(x.size());
  // Later tests overwrite earlier codes.
  if (n < k || n > nmax) result.ier = kMedianLength;
  if (k < 1 || k > nmax) result.ier = kMedianWindow;
  if (k % 2 == 0) {
    --k;
    if (k % 2 != 1) result.ier = kMedianNotOdd;  // a window of 0 or below
  }
  result.window = k;
  if (result.ier != 0) {
    con.say(Layout("(/1x,'input error ',i1,' in msmoor.')").write(result.ier));
    con.pause("");
    return result;
  }

  for (;;) {
    ++result.passes;
    if (result.passes > kMaxPasses) {
      result.passes = kMaxPasses;
      result.ier = kMedianIterations;
      con.say(Layout("(/1x,'*** maximum iterations reached in ','msmoor ***')").write());
      return result;
    }
    const int pass_error = msmoo(x, y, k, nmax, con);
    if (pass_error != 0) {
      result.ier = pass_error + kMedianPassOffset;
      return result;
    }
    double change = 0;
    for (std::size_t i = 0; i < x.size(); ++i) change += std::fabs(x[i] - y[i]);
    if (change < kUnchanged) return result;
    std::copy(y.begin(), y.end(), x.begin());
  }
}

}  // namespace dendro
