#include "series/spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <vector>

#include "series/band.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/store.h"

namespace dendro {
namespace {

const double kPi = 3.14159265358979323846;

std::vector<float> sinusoid(int n, double period, double amplitude = 1.0) {
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) x[i] = static_cast<float>(amplitude * std::sin(2 * kPi * i / period));
  return x;
}

// Share of the input sinusoid that the curve keeps, away from the ends: the projection of
// the curve on the input over the middle half.
double gain(const std::vector<float>& in, const std::vector<float>& out) {
  const std::size_t n = in.size();
  double num = 0, den = 0;
  for (std::size_t i = n / 4; i < 3 * n / 4; ++i) {
    num += static_cast<double>(out[i]) * in[i];
    den += static_cast<double>(in[i]) * in[i];
  }
  return num / den;
}

TEST(spline, straight_lines_come_back_unchanged) {
  // A line has no second differences, so the right side and the correction are zero.
  std::vector<float> line(300), fit(300), fit2(300);
  for (int i = 0; i < 300; ++i) line[i] = 2.5f + 0.25f * static_cast<float>(i);
  for (int w : {-40, 0, 1, 2, 10, 32, 1000000}) {
    ASSERT_EQ(spline(line, fit, w).status, SplineStatus::ok);
    EXPECT_EQ(fit, line) << "w = " << w;
    std::vector<float> delta(300, 1.0f);
    delta[17] = 999.0f;
    delta[100] = 0.5f;
    ASSERT_EQ(spl2w(line, delta, fit2, w).status, SplineStatus::ok);
    EXPECT_EQ(fit2, line) << "w = " << w;
  }
}

TEST(spline, half_amplitude_at_the_stiffness) {
  // Closed form of the unit-spacing Reinsch system: a sinusoid of angular frequency t
  // keeps H = a / (4 (1 - cos t)^2 + a) with a = 2 p (2 + cos t) / 3. With
  // p = 6 (cos T - 1)^2 / (cos T + 2), T = 2 pi / w: H(T) = 0.5; for w = 32 (python)
  // H = 0.941176 at period 64 and 0.058825 at period 16.
  const int n = 2000;
  std::vector<float> fit(n);
  const auto at_w = sinusoid(n, 32);
  const SplineResult r = spline(at_w, fit, 32);
  EXPECT_NEAR(r.p, 0.0007431708, 1e-9);
  EXPECT_NEAR(gain(at_w, fit), 0.5, 2e-3);
  const auto longer = sinusoid(n, 64);
  spline(longer, fit, 32);
  EXPECT_NEAR(gain(longer, fit), 0.941176, 2e-3);
  const auto shorter = sinusoid(n, 16);
  spline(shorter, fit, 32);
  EXPECT_NEAR(gain(shorter, fit), 0.058825, 2e-3);

  // w = 2: cos t = -1, p = 24, and the alternating series keeps half its amplitude.
  std::vector<float> alternating(n);
  for (int i = 0; i < n; ++i) alternating[i] = (i % 2 == 0) ? 1.0f : -1.0f;
  EXPECT_FLOAT_EQ(spline(alternating, fit, 2).p, 24.0f);
  EXPECT_NEAR(gain(alternating, fit), 0.5, 1e-6);
  EXPECT_FLOAT_EQ(spline(alternating, fit, 1).p, 24.0f);  // below 2 is taken as 2
}

TEST(spline, very_stiff_spline_is_the_least_squares_line) {
  // Least-squares line of y on i = 1..8 by the normal equations: sum i = 36,
  // sum i^2 = 204, sum y = 12.2, sum i y = 59.4; slope (8*59.4 - 36*12.2)/(8*204 - 36^2)
  // = 36/336 = 0.1071429, intercept (12.2 - 36*0.1071429)/8 = 1.0428571.
  const std::vector<float> y{1.2f, 1.5f, 1.1f, 1.6f, 1.4f, 1.7f, 1.3f, 2.4f};
  std::vector<float> fit(8);
  spline(y, fit, 100000);
  for (int i = 1; i <= 8; ++i) EXPECT_NEAR(fit[i - 1], 1.0428571 + 0.1071429 * i, 1e-5);
}

TEST(spline, lengths_at_the_limits) {
  std::vector<float> fit(5001, 7.0f);
  const std::vector<float> three{1, 5, 2};
  EXPECT_EQ(spline(three, fit, 20).status, SplineStatus::too_few);
  EXPECT_EQ(fit[0], kSplineTooFew);
  EXPECT_EQ(fit[1], 7.0f);  // the rest is not written
  const std::vector<float> four{1, 5, 2, 4};
  EXPECT_EQ(spline(four, fit, 20).status, SplineStatus::ok);
  EXPECT_NE(fit[0], kSplineTooFew);
  std::vector<float> none;
  EXPECT_EQ(spline(none, none, 20).status, SplineStatus::too_few);

  EXPECT_EQ(spline(std::vector<float>(5000, 1.0f), fit, 20).status, SplineStatus::ok);
  try {
    spline(std::vector<float>(5001, 1.0f), fit, 20);
    FAIL() << "no Stop";
  } catch (const Stop& stop) {
    EXPECT_STREQ(stop.what(),
                 "*** series too long for spline subroutine ***\n"
                 " *** enlarge mxy parameter in subroutine ***");
  }
}

TEST(spl2w, bridges_a_missing_point_and_squares_the_errors) {
  // A smooth parabola with one year marked missing (-9.99, error 999): the curve passes
  // over it close to the parabola, whose second differences are small at w = 20.
  const int n = 60;
  std::vector<float> y(n), delta(n, 1.0f), fit(n);
  for (int i = 0; i < n; ++i) y[i] = 1.0f + 0.001f * static_cast<float>((i - 30) * (i - 30));
  const float truth = y[40];
  y[40] = kMissing;
  delta[40] = 999.0f;
  delta[3] = 2.0f;
  ASSERT_EQ(spl2w(y, delta, fit, 20).status, SplineStatus::ok);
  EXPECT_NEAR(fit[40], truth, 2e-3);
  EXPECT_EQ(delta[40], 998001.0f);
  EXPECT_EQ(delta[3], 4.0f);

  // Equal errors of 1 give the equally weighted spline.
  std::vector<float> ones(n, 1.0f), plain(n);
  const auto wavy = sinusoid(n, 9, 0.3);
  spl2w(wavy, ones, fit, 15);
  spline(wavy, plain, 15);
  for (int i = 0; i < n; ++i) EXPECT_NEAR(fit[i], plain[i], 1e-6);

  std::vector<float> two{3, 4}, err{1, 1}, out(2);
  spl2w(two, err, out, 20);
  EXPECT_EQ(out, two);
}

TEST(spl2w, refused_system_reports_and_leaves_the_fit) {
  std::istringstream in("\n");
  std::ostringstream out;
  Console console(in, out);
  std::vector<float> y{1, 2, 3, 4, 5}, delta(5, std::nanf("")), fit(5, 8.0f);
  EXPECT_EQ(spl2w(y, delta, fit, 20, &console).status, SplineStatus::not_positive_definite);
  EXPECT_EQ(out.str(), "in spl2w ier from leq1pb =  129.");
  EXPECT_EQ(fit, std::vector<float>(5, 8.0f));
}

TEST(band, solves_and_refuses) {
  // A = [[4,2,1,0],[2,5,2,1],[1,2,6,2],[0,1,2,7]] with x = (1, -2, 3, 0.5): b = A x.
  BandMatrix a(4, 2);
  const double rows[4][3] = {{0, 0, 4}, {0, 2, 5}, {1, 2, 6}, {1, 2, 7}};
  for (int i = 1; i <= 4; ++i) {
    for (int j = std::max(1, i - 2); j <= i; ++j) a.at(i, j) = rows[i - 1][2 - (i - j)];
  }
  std::vector<double> b{4 - 4 + 3, 2 - 10 + 6 + 0.5, 1 - 4 + 18 + 1, -2 + 6 + 3.5};
  const BandFactor f = leq1pb(a, b);
  ASSERT_EQ(f.error, 0);
  EXPECT_NEAR(b[0], 1, 1e-12);
  EXPECT_NEAR(b[1], -2, 1e-12);
  EXPECT_NEAR(b[2], 3, 1e-12);
  EXPECT_NEAR(b[3], 0.5, 1e-12);
  // det A = 518 (python: cofactor expansion in exact fractions), as mantissa * 2^exponent.
  EXPECT_GE(std::fabs(f.mantissa), 0.0625);
  EXPECT_LT(std::fabs(f.mantissa), 1.0);
  EXPECT_NEAR(std::ldexp(f.mantissa, f.exponent), 518.0, 1e-9);

  // Leading zeros of the right side: the solution of A x = e4 from the same factor.
  std::vector<double> e4{0, 0, 0, 1}, x(4);
  luelpb(a, e4, x);
  EXPECT_NEAR(2 * x[0] + 5 * x[1] + 2 * x[2] + x[3], 0.0, 1e-12);
  EXPECT_NEAR(x[1] + 2 * x[2] + 7 * x[3], 1.0, 1e-12);

  BandMatrix indefinite(2, 1);  // [[1, 2], [2, 1]] has eigenvalues 3 and -1
  indefinite.at(1, 1) = 1;
  indefinite.at(2, 1) = 2;
  indefinite.at(2, 2) = 1;
  EXPECT_EQ(ludapb(indefinite).error, kNotPositiveDefinite);
  BandMatrix vanishing(2, 1);  // [[1, 1], [1, 1 + 1e-17]]: the second pivot vanishes
  vanishing.at(1, 1) = 1;
  vanishing.at(2, 1) = 1;
  vanishing.at(2, 2) = 1 + 1e-15;
  EXPECT_EQ(ludapb(vanishing).error, kNotPositiveDefinite);
}

}  // namespace
}  // namespace dendro
