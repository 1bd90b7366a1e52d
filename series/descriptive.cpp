#include "series/descriptive.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iterator>
#include <stdexcept>
#include <vector>

#include "series/blocks.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/sorting.h"

namespace dendro {
namespace {

// One implementation for both summaries. Unmasked, every position takes part, the pairs
// are all adjacent pairs and the autocorrelation divides by the count; masked, only
// positions with a positive mask take part and the autocorrelation divides by the number
// of pairs. The arithmetic is single precision throughout, as the printed tables expect.
Moments summarise(std::span<const float> x, std::span<const int> mask, bool masked) {
  if (masked && mask.size() < x.size()) {
    throw std::invalid_argument("moment1: the mask is shorter than the values.");
  }
  auto takes_part = [&](std::size_t j) { return !masked || mask[j] > 0; };
  Moments s;

  int count = 0;
  float sum = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!takes_part(j)) continue;
    sum += x[j];
    ++count;
  }
  if (count == 0) return s;
  const float m = static_cast<float>(count);
  s.mean = sum / m;
  if (count == 1) return s;

  // Sums of the powers of the deviations.
  float sum_abs = 0.0f, sum2 = 0.0f, sum3 = 0.0f, sum4 = 0.0f;
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (!takes_part(j)) continue;
    const float d = x[j] - s.mean;
    const float d2 = d * d;
    sum_abs += std::fabs(d);
    sum2 += d2;
    sum3 += d2 * d;
    sum4 += d2 * d2;
  }
  // Mean sensitivity: pairs whose mean is not positive add nothing but still count.
  int pairs = 0;
  float sensitivity = 0.0f;
  for (std::size_t j = 0; j + 1 < x.size(); ++j) {
    if (!takes_part(j) || !takes_part(j + 1)) continue;
    ++pairs;
    const float pair_mean = (x[j] + x[j + 1]) * 0.5f;
    if (pair_mean > 0.0f) sensitivity += std::fabs((x[j + 1] - x[j]) / pair_mean);
  }

  s.variance = sum2 / (m - 1.0f);
  s.mean_abs_dev = sum_abs / m;
  if (pairs > 0) s.mean_sensitivity = sensitivity / static_cast<float>(pairs);
  if (!(s.variance > 0.0f)) return s;

  // Moments with the small-sample factors of the skewness and the kurtosis.
  const float sd = std::sqrt(s.variance);
  s.std_dev = sd;
  float skew_factor = 1.0f;
  if (count >= 3)
    skew_factor = std::sqrt(std::fabs(m * (m - 1.0f))) / (m - 2.0f) * (1.0f + 8.5f / m);
  float kurt_factor = 1.0f;
  if (count >= 4) {
    kurt_factor = m * m * (m + 1.0f) / ((m - 2.0f) * (m - 1.0f) * (m - 3.0f));
  }
  s.skewness = sum3 / (sd * sd * sd * m) * skew_factor;
  s.kurtosis = sum4 / (s.variance * s.variance * m) * kurt_factor;

  // First-order autocorrelation of the values standardised with the population standard
  // deviation. The standardised values go to a work copy: standardising in place and undoing
  // it in single precision would not give the caller's numbers back (an exact 0 would return
  // as 2^-24, a series length of 194 as 193.99997).
  const float sigma = std::sqrt(s.variance * (m - 1.0f) / m);
  std::vector<float> z(x.size(), 0.0f);
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (takes_part(j)) z[j] = (x[j] - s.mean) / sigma;
  }
  float lagged = 0.0f;
  for (std::size_t j = 0; j + 1 < x.size(); ++j) {
    if (takes_part(j) && takes_part(j + 1)) lagged += z[j] * z[j + 1];
  }
  if (!masked) {
    s.autocorrelation = lagged / m;
  } else if (pairs > 0) {
    s.autocorrelation = lagged / static_cast<float>(pairs);
  }
  return s;
}

}  // namespace

// 1-based positions as in the formulas.
FiveNumbers summary_of_sorted(std::span<const float> x) {
  FiveNumbers f;
  const int n = static_cast<int>(x.size());
  if (n == 0) return f;
  auto v = [&](int k) { return x[at(k)]; };
  const int depth = (n + 1) / 2;  // values in each half, the middle one included
  const int k = depth / 2;
  f.minimum = v(1);
  f.maximum = v(n);
  f.median = (v(n - n / 2) + v(n / 2 + 1)) * 0.5f;
  f.lower_hinge = (v(depth - k) + v(k + 1)) * 0.5f;
  f.upper_hinge = (v(n - k) + v(n - depth + k + 1)) * 0.5f;
  f.spread = f.upper_hinge - f.lower_hinge;
  return f;
}

Moments moment(std::span<const float> x) { return summarise(x, {}, false); }

Moments moment1(std::span<const float> x, std::span<const int> mask) {
  return summarise(x, mask, true);
}

FiveNumbers mfs(std::span<float> x) {
  qcksrt(x);
  return summary_of_sorted(x);
}

FiveNumbers five_numbers(std::span<float> x) {
  if (x.empty()) return {};
  // The 1-based positions summary_of_sorted reads, 0-based.
  const std::size_t n = x.size(), depth = (n + 1) / 2, k = depth / 2;
  std::size_t positions[] = {0, n - 1,     n - n / 2 - 1, n / 2, depth - k - 1,
                             k, n - k - 1, n - depth + k};
  std::sort(std::begin(positions), std::end(positions));
  select(x, positions);
  return summary_of_sorted(x);
}

FiveNumbers mfs1(std::span<const float> x, std::span<const int> mask) {
  if (mask.size() < x.size())
    throw std::invalid_argument("mfs1: the mask is shorter than the values.");
  std::vector<float> work;
  work.reserve(x.size());
  for (std::size_t j = 0; j < x.size(); ++j) {
    if (mask[j] > 0) work.push_back(x[j]);
  }
  qcksrt(work);
  return summary_of_sorted(work);
}

std::string statistics_fields(float mean, float sd, float skewness, float kurtosis,
                              float sensitivity, float autocorrelation) {
  return Layout("(2f8.3+,3f7.3+,f8.3+)")
      .write(mean, sd, skewness, kurtosis, sensitivity, autocorrelation);
}

std::string statistics_fields(const Moments& m) {
  return statistics_fields(m.mean, m.std_dev, m.skewness, m.kurtosis, m.mean_sensitivity,
                           m.autocorrelation);
}

SeriesTableLayout::SeriesTableLayout(int earliest, int id_columns)
    : first_columns_(year_field(earliest, 6)),
      row_(Layout("(t2,i5," + std::string(id_columns == 7 ? "3x,a7," : "2x,a8,") +
                  year_descriptor(earliest, 6) + ",2i7)")) {}

std::string SeriesTableLayout::head() const {
  const std::string widened(static_cast<std::size_t>(first_columns_ - 6), ' ');
  return Layout("(t2,a)").write("series   ident   " + widened +
                                "frst   last   year    mean   stdev   skew   kurt   sens   ac(1)");
}

std::string SeriesTableLayout::row(int number, std::string_view id, int first, int last,
                                   int years) const {
  return row_.write(number, id, first, last, years);
}

std::vector<std::string> summary_table_lines(StatsTable& stats) {
  constexpr int kRows = 8;
  const char* const labels[kRows] = {"arithmetic mean",
                                     "standard deviation",
                                     "median (50th quantile)",
                                     "interquartile range",
                                     "minimum value",
                                     "lower hinge (25th quantile)",
                                     "upper hinge (75th quantile)",
                                     "maximum value"};
  std::vector<std::string> lines{
      Layout("(t33,'year    mean   stdev   skew   kurt   sens   ','ac(1)')").write()};
  const Layout row("(t2,a,t33,i4)");
  for (int r = 1; r <= kRows; ++r) {
    const float length = stats.at(r, 1);
    const int years = static_cast<int>(r == 1 ? length + 0.5f : length);
    lines.push_back(row.write(labels[at(r)], years) +
                    statistics_fields(stats.at(r, 2), stats.at(r, 3), stats.at(r, 4),
                                      stats.at(r, 5), stats.at(r, 6), stats.at(r, 7)));
  }
  return lines;
}

}  // namespace dendro
