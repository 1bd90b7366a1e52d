#include "pelliform/curve_fits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "engine_fixture.h"
#include "series/console.h"
#include "series/index.h"
#include "series/store.h"

namespace dendro {
namespace {

using testing::Quiet;

std::vector<float> line(int n, float a, float b) {
  std::vector<float> y(static_cast<std::size_t>(n));
  for (int i = 1; i <= n; ++i) y[at(i)] = a + b * static_cast<float>(i);
  return y;
}

TEST(curvefits, fall_backs_of_the_exponential_and_the_lines) {
  Quiet q;
  // A rising line: option 2's exponential fails, its line rises by more than 1e-6: the mean.
  std::vector<float> rising = line(50, 1.0f, 0.01f), c(50);
  int option = 2;
  curvefits(rising, c, option, 0, q.con);
  EXPECT_EQ(option, 6);
  EXPECT_NEAR(c[0], 1.255f, 1e-4);  // mean of 1.01 .. 1.50
  EXPECT_NEAR(c[49], 1.255f, 1e-4);
  // Option 1 on the same series: a line of any slope, which may rise.
  option = 1;
  curvefits(rising, c, option, 0, q.con);
  EXPECT_EQ(option, 3);
  EXPECT_NEAR(c[49], 1.50f, 1e-4);
  // Option 4 turns any rising line into the mean (its test is against 0).
  option = 4;
  std::vector<float> c40(40);
  curvefits(std::vector<float>(line(40, 0.0f, 0.001f)), c40, option, 0, q.con);
  EXPECT_EQ(option, 6);
  // A falling line stays a line.
  option = 4;
  curvefits(line(40, 5.0f, -0.05f), c40, option, 0, q.con);
  EXPECT_EQ(option, 4);
  EXPECT_NEAR(c40[39], 3.0f, 1e-4);
}

TEST(curvefits, exponential_that_stands) {
  Quiet q;
  std::vector<float> y(80), c(80);
  for (int t = 1; t <= 80; ++t) y[at(t)] = 2.0f * std::exp(-0.05f * t) + 0.5f;
  int option = 2;
  curvefits(y, c, option, 0, q.con);
  EXPECT_EQ(option, 2);
  for (int t = 1; t <= 80; t += 13) EXPECT_NEAR(c[at(t)], y[at(t)], 0.01f);
}

TEST(curvefits, codes_without_a_method_leave_the_curve) {
  Quiet q;
  const std::vector<float> y = line(30, 1.0f, 0.1f);
  for (int code : {0, 5, 7, 9, -1, -3, -7}) {
    std::vector<float> c(30, 42.0f);
    int option = code;
    curvefits(y, c, option, 0, q.con);
    EXPECT_EQ(c[0], 42.0f) << code;
    EXPECT_EQ(option, code);
  }
}

TEST(curvefits, splines_follow_a_straight_line) {
  Quiet q;
  // A cubic smoothing spline reproduces a straight line whatever its stiffness.
  const std::vector<float> y = line(60, 2.0f, -0.01f);
  for (int code : {10, 30, -20, -66, 8}) {
    std::vector<float> c(60);
    int option = code;
    curvefits(y, c, option, 0, q.con);
    for (std::size_t i = 0; i < 60; i += 11) EXPECT_NEAR(c[i], y[i], 1e-3) << code;
  }
}

TEST(spline1, fewer_than_four_values) {
  Quiet q;
  std::vector<float> y{1, 2, 3}, c(3, 7.0f);
  spline1(y, c, 20, q.con);
  EXPECT_EQ(c[0], kSplineTooFew);
  EXPECT_EQ(c[1], 7.0f);
}

TEST(spline1, code_8_is_a_20_year_spline_and_percent_codes) {
  Quiet q;
  std::vector<float> y(100), a(100), b(100);
  for (int i = 0; i < 100; ++i) y[static_cast<std::size_t>(i)] = std::sin(i * 0.3f) + 0.01f * i;
  spline1(y, a, 8, q.con);
  spline1(y, b, 20, q.con);
  for (std::size_t i = 0; i < 100; ++i) EXPECT_FLOAT_EQ(a[i], b[i]);
  // -20 percent of 45 values is 9 years: the growing-period spline.
  std::vector<float> y45(y.begin(), y.begin() + 45), p(45), g(45);
  int option = -20;
  curvefits(y45, p, option, 0, q.con);
  spline1(y45, g, 9, q.con);
  for (std::size_t i = 0; i < 45; ++i) EXPECT_FLOAT_EQ(p[i], g[i]);
}

TEST(flattened_spline, rising_tail_is_held) {
  Quiet q;
  // A U-shaped series: the age-dependent spline rises over its last rings, which are
  // flattened, so the curve never ends above its lowest point before the rise.
  std::vector<float> y(60), c(60);
  for (int i = 0; i < 60; ++i) y[static_cast<std::size_t>(i)] = 1.0f + 0.002f * (i - 40) * (i - 40);
  flattened_spline(y, c, 10, q.con);
  const float lowest = *std::min_element(c.begin(), c.end());
  EXPECT_LT(c[59] - lowest, 0.05f);
  for (std::size_t i = 50; i < 60; ++i) EXPECT_LE(c[i], c[i - 1] + 0.02f);
}

}  // namespace
}  // namespace dendro
