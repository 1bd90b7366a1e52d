#include "detrending/age_spline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <utility>
#include <vector>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/store.h"
#include "test_series.h"

namespace dendro {
namespace {

std::vector<int> schedule(int n, int start) {
  std::vector<int> stiff(static_cast<std::size_t>(n));
  lsmake(start, stiff);
  return stiff;
}

TEST(spline2, reproduces_a_line_and_halves_a_sinusoid_at_its_period) {
  test::TestConsole io;
  std::vector<float> y(40), yc(40);
  for (int t = 1; t <= 40; ++t)
    y[static_cast<std::size_t>(t - 1)] = 3.0f - 0.25f * static_cast<float>(t);
  spline2(y, yc, schedule(40, 20), io.con);  // second differences of a line are 0
  for (std::size_t i = 0; i < 40; ++i) EXPECT_NEAR(yc[i], y[i], 1e-5) << i;

  // The smoothing parameter p = 6(cos w - 1)^2 / (cos w + 2) puts the response
  // p·r / (q + p·r), with q = 4(1 - cos w)^2 and r = (2/3)(2 + cos w) the symbols of the
  // band matrix, at exactly 1/2 for the period w = 2π/s: a sinusoid of period s keeps half
  // its amplitude away from the ends.
  constexpr int n = 400, period = 20;
  std::vector<float> s(n), sc(n);
  for (int t = 1; t <= n; ++t) {
    s[static_cast<std::size_t>(t - 1)] = static_cast<float>(std::sin(2.0 * M_PI * t / period));
  }
  spline2(s, sc, std::vector<int>(n, period), io.con);
  float amplitude = 0;
  for (int t = 100; t <= 300; ++t)
    amplitude = std::max(amplitude, std::fabs(sc[static_cast<std::size_t>(t - 1)]));
  EXPECT_NEAR(amplitude, 0.5, 0.01);
}

TEST(spline2, agrees_with_a_dense_solve) {
  test::TestConsole io;
  // R, the same system solved densely (A = band of 6 + 4p/3, -4 + p/3, 1; u = solve(A, Q'y);
  // fit = y - Qu) for s2 with a stiffness of 10 years everywhere.
  const std::vector<std::pair<int, double>> expected{{1, 8.29128},  {2, 8.18486},  {15, 6.64872},
                                                     {30, 5.78382}, {45, 4.87784}, {59, 4.51626},
                                                     {60, 4.29936}};
  std::vector<float> yc(60);
  spline2(test::kS2, yc, std::vector<int>(60, 10), io.con);
  for (const auto& [t, v] : expected)
    EXPECT_NEAR(yc[static_cast<std::size_t>(t - 1)], v, 1e-4) << t;
}

TEST(spline2, length_limits) {
  test::TestConsole io;
  std::vector<float> yc(5, 7.0f);
  const std::vector<float> three{1, 2, 4};
  spline2(three, yc, schedule(3, 20), io.con);
  EXPECT_EQ(yc[0], kSplineTooFew);
  EXPECT_EQ(yc[1], 7.0f);  // the rest is not written
  const std::vector<float> four{1, 2, 4, 3};
  spline2(four, yc, schedule(4, 20), io.con);  // a system of two rows
  EXPECT_GT(yc[0], 0.0f);

  const std::vector<float> too_long(5001, 1.0f);
  std::vector<float> c(5001);
  EXPECT_THROW(spline2(too_long, c, schedule(5001, 50), io.con), Stop);
  EXPECT_EQ(io.output(),
            "\n *** series too long for spline subroutine ***\n"
            "  *** enlarge mxy parameter in subroutine ***\n\n");
}

TEST(agedep, rising_tail_is_flattened_before_the_refit) {
  test::TestConsole io;
  // R, with the dense solve above and the schedule 20, 21, ... for n = 30: the first fit
  // of the U-shaped s3 rises from position 17 to the end, so positions 18..30 are set to
  // its value at 17 and the spline is fitted again to that curve.
  //   first fit: {1, 7.45459}, {20, 1.73025}, {30, 3.09639}
  const std::vector<std::pair<int, double>> expected{{1, 6.78228},  {5, 4.83653},  {10, 3.03003},
                                                     {15, 2.07794}, {20, 1.66954}, {25, 1.47911},
                                                     {30, 1.34039}};
  std::vector<float> yc(30);
  agedep(test::kS3, yc, io.con);
  for (const auto& [t, v] : expected)
    EXPECT_NEAR(yc[static_cast<std::size_t>(t - 1)], v, 1e-4) << t;
  // The flattened tail leaves the old end's indices well above 1 (R: mean(s3 / fit) = 1.175).
  double mean = 0;
  for (std::size_t i = 0; i < 30; ++i) mean += test::kS3[i] / yc[i];
  EXPECT_NEAR(mean / 30, 1.175, 1e-3);

  // The tail is held at the point where the final rise begins, not at the curve's lowest
  // point: the first fit of y(t) = 1 + 4 exp(-t/6) + 0.9 sin(2 pi t / 34), t = 1..78, is
  // lowest at 26 (0.756) and rises from 55 (0.974) to the end. R, with fit(y) = y - t(D) %*%
  // solve(A, D %*% y), D <- diff(diag(78), differences = 2), A the band above with the p of
  // s = 19 + t in row t:
  //   c1 <- fit(y); L <- 78; while (c1[L] > c1[L-1]) L <- L - 1
  //   w <- c1; w[(L+1):78] <- c1[L]; round(fit(w)[c(1, 26, 55, 60, 78)], 5)
  std::vector<float> wave(78), held(78);
  for (int t = 1; t <= 78; ++t) {
    wave[static_cast<std::size_t>(t - 1)] =
        static_cast<float>(1.0 + 4.0 * std::exp(-t / 6.0) + 0.9 * std::sin(2.0 * M_PI * t / 34.0));
  }
  agedep(wave, held, io.con);
  const std::vector<std::pair<int, double>> at_final_rise{
      {1, 4.27043}, {26, 0.90538}, {55, 0.96807}, {60, 0.97560}, {78, 0.99074}};
  for (const auto& [t, v] : at_final_rise)
    EXPECT_NEAR(held[static_cast<std::size_t>(t - 1)], v, 1e-4) << t;
}

TEST(agedep, stiffness_schedule_starts_at_20_or_50_years) {
  test::TestConsole io;
  // A declining series, whose fit does not rise at its end: the result is the first fit
  // with the schedule 20, 21, ... below 100 values and 50, 51, ... from 100 on.
  for (int n : {99, 100}) {
    std::vector<float> y(static_cast<std::size_t>(n)), got(y.size()), want(y.size());
    for (int t = 1; t <= n; ++t) {
      y[static_cast<std::size_t>(t - 1)] =
          static_cast<float>(1.0 + 4.0 * std::exp(-0.04 * t) + 0.3 * std::sin(t * 0.7));
    }
    agedep(y, got, io.con);
    spline2(y, want, schedule(n, n < 100 ? 20 : 50), io.con);
    EXPECT_EQ(got, want) << n;
    spline2(y, want, schedule(n, n < 100 ? 50 : 20), io.con);
    EXPECT_NE(got, want) << n;
  }
}

TEST(agedep, a_curve_rising_over_its_whole_length_is_kept) {
  test::TestConsole io;
  // No lowest point inside the series, so no tail to flatten.
  std::vector<float> y(30), got(30), want(30);
  for (int t = 1; t <= 30; ++t)
    y[static_cast<std::size_t>(t - 1)] = 0.01f * static_cast<float>(t * t);
  agedep(y, got, io.con);
  spline2(y, want, schedule(30, 20), io.con);
  EXPECT_EQ(got, want);
  EXPECT_GT(got[29], got[28]);
}

}  // namespace
}  // namespace dendro
