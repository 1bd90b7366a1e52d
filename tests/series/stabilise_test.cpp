#include "series/stabilise.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/spline.h"

namespace dendro {
namespace {

TEST(stabbm, effective_depth_and_rescaling) {
  // python: e = d / ((d - 1) 0.5 + 1) = 1, 1.6, 1.6, 1; s = (x - 1.025) sqrt(e); rescaled
  // to mean and stdev of x with statistics.mean / statistics.stdev.
  const std::vector<float> x{1.0f, 1.2f, 0.8f, 1.1f};
  const std::vector<int> depth{1, 4, 4, 1};
  std::vector<float> out(4), eff(4);
  ReferencePeriod whole;
  ASSERT_TRUE(stabbm(x, depth, 1900, whole, 0.5f, out, eff));
  EXPECT_EQ(whole.first, 1900);
  EXPECT_EQ(whole.last, 1903);
  EXPECT_NEAR(eff[0], 1.0, 1e-6);
  EXPECT_NEAR(eff[1], 1.6, 1e-6);
  EXPECT_NEAR(out[0], 1.0076164913, 1e-5);
  EXPECT_NEAR(out[1], 1.2050745610, 1e-5);
  EXPECT_NEAR(out[2], 0.7995420579, 1e-5);
  EXPECT_NEAR(out[3], 1.0877668897, 1e-5);

  // Reference 1901-1902: those two years come back as they were (python as above).
  ReferencePeriod middle{1901, 1902};
  stabbm(x, depth, 1900, middle, 0.5f, out, eff);
  EXPECT_NEAR(out[0], 1.0052357646, 1e-5);
  EXPECT_NEAR(out[1], 1.2, 1e-5);
  EXPECT_NEAR(out[2], 0.8, 1e-5);
  EXPECT_NEAR(out[3], 1.0842927061, 1e-5);
}

TEST(stabbm, rbar_one_and_depth_one_change_nothing) {
  const std::vector<float> x{0.9f, 1.3f, 0.7f, 1.1f, 1.0f};
  std::vector<float> out(5), eff(5);
  ReferencePeriod whole;
  stabbm(x, std::vector<int>{3, 8, 20, 2, 5}, 1, whole, 1.0f, out, eff);
  for (int t = 0; t < 5; ++t) {
    EXPECT_NEAR(eff[t], 1.0, 1e-6);
    EXPECT_NEAR(out[t], x[t], 1e-6);
  }
  whole = {};
  stabbm(x, std::vector<int>(5, 1), 1, whole, 0.3f, out, eff);
  for (int t = 0; t < 5; ++t) EXPECT_NEAR(out[t], x[t], 1e-6);
}

TEST(stabbm, years_without_depth_and_refusals) {
  const std::vector<float> x{-9.99f, 1.0f, 1.4f, 0.8f};
  const std::vector<int> depth{0, 2, 3, 2};
  std::vector<float> out(4, 5.5f), eff(4, 5.5f);
  ReferencePeriod whole;
  stabbm(x, depth, 10, whole, 0.4f, out, eff);
  EXPECT_EQ(out[0], 5.5f);  // not written
  EXPECT_EQ(eff[0], 0.0f);

  std::istringstream in;
  std::ostringstream said;
  Console console(in, said);
  std::vector<float> untouched(4, 5.5f);
  EXPECT_FALSE(stabbm(x, depth, 10, whole, 0.0f, untouched, eff, &console));
  EXPECT_EQ(said.str(), "*** rbar .le. 0 in sbr stabbm ***\n");
  EXPECT_EQ(untouched, std::vector<float>(4, 5.5f));

  ReferencePeriod backwards{1950, 1940};
  EXPECT_THROW(stabbm(x, depth, 10, backwards, 0.4f, out, eff), Stop);
  ReferencePeriod any;
  EXPECT_THROW(stabbm({}, {}, 10, any, 0.4f, {}, {}), Stop);

  // A reference period of one year with depth has no spread: the values stay.
  ReferencePeriod single{12, 12};
  stabbm(x, depth, 10, single, 0.4f, out, eff);
  EXPECT_NEAR(out[3], 0.8, 1e-6);
}

TEST(stabit, percent_stiffness_and_curve) {
  // w = -50 on 200 values is a 100-year spline of the absolute deviations.
  const int n = 200;
  std::vector<float> x(n), curve(n), out(n), expected(n);
  for (int t = 0; t < n; ++t) x[t] = 1.0f + 0.3f * std::sin(0.7f * t);
  const std::vector<int> depth(n, 10);
  int w = -50;
  stabit(x, curve, out, depth, w);
  EXPECT_EQ(w, 100);
  spline(x, expected, 100);  // x now holds the absolute deviations
  EXPECT_EQ(curve, expected);
}

// Standard deviation of v[from, to).
double spread(const std::vector<float>& v, int from, int to) {
  double s = 0, ss = 0;
  for (int t = from; t < to; ++t) s += v[t];
  const double m = s / (to - from);
  for (int t = from; t < to; ++t) ss += (v[t] - m) * (v[t] - m);
  return std::sqrt(ss / (to - from - 1));
}

TEST(stabit, evens_out_a_growing_spread) {
  // Spread growing fivefold along the series: afterwards both ends spread alike, and the
  // whole keeps the mean and standard deviation.
  const int n = 400;
  std::vector<float> x(n), curve(n), out(n);
  for (int t = 0; t < n; ++t) {
    x[t] = 10.0f + (0.2f + 0.8f * t / n) * std::sin(1.3f * t);
  }
  const double before = spread(x, 0, 100) / spread(x, 300, 400);
  const double whole = spread(x, 0, n);
  int w = 50;
  stabit(x, curve, out, std::vector<int>(n, 5), w);
  const double after = spread(out, 0, 100) / spread(out, 300, 400);
  EXPECT_LT(before, 0.4);  // amplitudes 0.3 and 0.9 at the quarter midpoints
  EXPECT_NEAR(after, 1.0, 0.15);
  EXPECT_NEAR(spread(out, 0, n), whole, 1e-3 * whole);
}

TEST(stabit, deep_years_give_the_level) {
  // 3 of 6 years deeper than 3 (more than 6/3): mean 11 and sd 1 come from them alone, and
  // the output, standardised over all years, takes that mean and spread.
  std::vector<float> x{10, 11, 12, 30, 40, 50}, curve(6), out(6);
  int w = 20;
  stabit(x, curve, out, std::vector<int>{5, 5, 5, 1, 1, 1}, w);
  double sum = 0;
  for (float v : out) sum += v;
  EXPECT_NEAR(sum / 6, 11.0, 1e-5);
  EXPECT_NEAR(spread(out, 0, 6), 1.0, 1e-5);
}

TEST(stabit, degenerate_series_stay_as_they_were) {
  std::vector<float> flat(30, 2.5f), curve(30), out(30);
  int w = 20;
  stabit(flat, curve, out, std::vector<int>(30, 1), w);
  EXPECT_EQ(out, std::vector<float>(30, 2.5f));

  std::vector<float> three{1.0f, 3.0f, 2.0f}, c3(3), o3(3);
  stabit(three, c3, o3, std::vector<int>(3, 1), w);  // too short for a spline
  EXPECT_NEAR(o3[0], 1.0, 1e-6);
  EXPECT_NEAR(o3[1], 3.0, 1e-6);
  EXPECT_NEAR(o3[2], 2.0, 1e-6);
}

TEST(stabit1, masked_years_only) {
  const int n = 120;
  std::vector<float> x(n), curve(n), out(n, -1.0f);
  std::vector<int> mask(n, 3);
  for (int t = 0; t < n; ++t) x[t] = 1.0f + (0.1f + 0.4f * t / n) * std::sin(0.9f * t);
  for (int t = 0; t < 10; ++t) {
    mask[t] = 0;
    x[t] = 1.0f;
  }
  int w = -20;
  stabit1(x, curve, out, mask, w);
  EXPECT_EQ(w, 24);
  for (int t = 0; t < 10; ++t) {
    EXPECT_EQ(out[t], -1.0f);
    EXPECT_EQ(x[t], 1.0f);
  }
  for (int t = 10; t < n; ++t) {
    EXPECT_GE(out[t], 0.0f);
    EXPECT_GE(x[t], 0.0f);  // absolute deviations
  }

  std::vector<float> flat(20, 4.0f), c(20), o(20, 0.0f);
  stabit1(flat, c, o, std::vector<int>(20, 1), w);
  EXPECT_EQ(o, std::vector<float>(20, 4.0f));
  std::vector<float> none(20, 0.0f);
  stabit1(flat, c, none, std::vector<int>(20, 0), w);
  EXPECT_EQ(none, std::vector<float>(20, 0.0f));
}

}  // namespace
}  // namespace dendro
