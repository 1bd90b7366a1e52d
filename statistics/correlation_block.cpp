#include "statistics/correlation_block.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "series/layout.h"
#include "series/store.h"

namespace dendro {
namespace {

// Spreads of the correlations up to this many single-precision steps of their size count
// as none.
constexpr double kSpreadUlps = 8.0;

}  // namespace

void CorrelationSums::add(const CorrelationPair& pair) {
  // The first pair starts both extremes; later ones replace them only when strictly
  // beyond, so that a set of equal correlations names its first pair at both ends.
  if (count_ == 0 || pair.r > largest_.r) largest_ = pair;
  if (count_ == 0 || pair.r < smallest_.r) smallest_ = pair;
  ++count_;
  total_years_ += pair.years;
  const double r = pair.r;
  s1_ += r;
  s2_ += r * r;
  s3_ += r * r * r;
  s4_ += r * r * r * r;
}

CorrelationStatistics CorrelationSums::statistics() const {
  CorrelationStatistics s{count_,     kUndefined, kUndefined, kUndefined,
                          kUndefined, kUndefined, smallest_,  largest_};
  if (count_ < 1) return s;
  const double m = count_;
  const double mean = s1_ / m;
  s.mean = static_cast<float>(mean);
  if (count_ == 1) {
    s.sd = s.se = 0.0f;
    return s;
  }
  // Rounding can leave the sum of squared deviations a hair below 0 for equal values.
  const double sd = std::sqrt(std::max(0.0, (s2_ - m * mean * mean) / (m - 1)));
  s.sd = static_cast<float>(sd);
  s.se = static_cast<float>(sd / std::sqrt(m));
  // A spread within single-precision rounding of the correlations themselves (equal
  // series written in different units correlate at 1 give or take an ulp) has no shape:
  // the skewness and kurtosis of such noise would be ratios of rounding errors.
  const double scale = std::max(std::fabs(smallest_.r), std::fabs(largest_.r));
  if (sd <= kSpreadUlps * std::numeric_limits<float>::epsilon() * scale) return s;
  if (count_ >= 3) {
    const double third = m * s3_ - 3 * s1_ * s2_ + 2 * s1_ * s1_ * s1_ / m;
    s.skewness = static_cast<float>(third / ((m - 1) * (m - 2) * sd * sd * sd));
  }
  if (count_ >= 4) {
    const double fourth =
        m * s4_ - 4 * s1_ * s3_ + 6 * s1_ * s1_ * s2_ / m - 3 * s1_ * s1_ * s1_ * s1_ / (m * m);
    s.kurtosis =
        static_cast<float>((m - 1) * fourth / ((m - 1) * (m - 2) * (m - 3) * sd * sd * sd * sd));
  }
  return s;
}

std::string correlation_block_heads(std::string_view title) {
  const Layout heads(
      "(/t2,a//t4,'total    mean   standard   standard  skewess   kurtosis   ',"
      "'minimum   maximum'/t4,'corrs    rbar   deviation    ',"
      "'error    coeff      coeff      corr      corr')");
  return heads.write(title);
}

std::string correlation_block_row(const CorrelationStatistics& s) {
  const Layout below_thousand("(i7,f9.3,f10.3,f11.3,f9.3,f11.3,2f10.3)");
  const Layout from_thousand("(i8,f8.3,f10.3,f11.3,f9.3,f11.3,2f10.3)");
  const float smallest = s.count > 0 ? s.smallest.r : kUndefined;
  const float largest = s.count > 0 ? s.largest.r : kUndefined;
  return (s.count < 1000 ? below_thousand : from_thousand)
      .write(s.count, s.mean, s.sd, s.se, s.skewness, s.kurtosis, smallest, largest);
}

}  // namespace dendro
