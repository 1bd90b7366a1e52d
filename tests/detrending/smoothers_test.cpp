#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <utility>
#include <vector>

#include "detrending/lowess.h"
#include "detrending/running_median.h"
#include "detrending/super_smoother.h"
#include "series/console.h"
#include "test_series.h"

namespace dendro {
namespace {

std::vector<float> line(int n, float a, float b) {
  std::vector<float> y(static_cast<std::size_t>(n));
  for (int t = 1; t <= n; ++t) y[static_cast<std::size_t>(t - 1)] = a + b * static_cast<float>(t);
  return y;
}
std::vector<float> step(int n, int last_low, float low, float high) {
  std::vector<float> y(static_cast<std::size_t>(n), high);
  for (int t = 1; t <= last_low; ++t) y[static_cast<std::size_t>(t - 1)] = low;
  return y;
}

TEST(lowess, agrees_with_r) {
  // R: lowess(1:50, s1, f = 0.25, iter = 2, delta = 0)$y at the positions below.
  const std::vector<std::pair<int, double>> expected{{1, 11.53637},  {7, 11.69997},  {14, 10.03486},
                                                     {21, 13.01200}, {25, 13.91287}, {33, 11.83946},
                                                     {42, 15.56450}, {50, 13.49226}};
  std::vector<float> ys(50);
  lowess(test::kS1, ys, 0.25f);
  for (const auto& [t, v] : expected)
    EXPECT_NEAR(ys[static_cast<std::size_t>(t - 1)], v, 2e-4) << t;
}

TEST(lowess, line_step_and_tiny_inputs) {
  const auto y = line(30, 2.0f, 0.5f);
  std::vector<float> ys(30);
  lowess(y, ys, 0.3f);
  for (std::size_t i = 0; i < 30; ++i) EXPECT_NEAR(ys[i], y[i], 1e-4) << i;

  // A step: the windows on either side hold one level only and reproduce it.
  const auto s = step(40, 20, 1.0f, 3.0f);
  ys.assign(40, 0.0f);
  lowess(s, ys, 0.2f);  // 8-point windows
  for (int t = 1; t <= 16; ++t) EXPECT_NEAR(ys[static_cast<std::size_t>(t - 1)], 1.0, 1e-5) << t;
  for (int t = 25; t <= 40; ++t) EXPECT_NEAR(ys[static_cast<std::size_t>(t - 1)], 3.0, 1e-5) << t;

  const std::vector<float> one{4.5f};
  std::vector<float> out1(1);
  lowess(one, out1, 0.5f);
  EXPECT_EQ(out1[0], 4.5f);

  // f·n below 2: two-point windows, so each point is fitted by a line through itself
  // and a neighbour, with the point itself at full weight.
  const std::vector<float> three{1.0f, 5.0f, 2.0f};
  std::vector<float> out3(3);
  lowess(three, out3, 0.1f);
  EXPECT_FLOAT_EQ(out3[1], 5.0f);
}

TEST(msmoor, removes_a_spike_and_keeps_a_monotone_interior) {
  test::TestConsole io;
  std::vector<float> x{1, 1, 1, 9, 1, 1, 1}, y(7);
  int k = 3;
  MedianSmooth r = msmoor(x, y, k, 5000, io.con);
  EXPECT_EQ(r.ier, 0);
  EXPECT_EQ(r.passes, 2);  // the second pass changes nothing
  for (float v : y) EXPECT_EQ(v, 1.0f);

  // 1..10 with a window of 5: interior kept, flat ends of two values each (a hand count).
  x = line(10, 0.0f, 1.0f);
  y.assign(10, 0.0f);
  k = 5;
  r = msmoor(x, y, k, 5000, io.con);
  EXPECT_EQ(r.passes, 2);
  EXPECT_EQ(y, (std::vector<float>{3, 3, 3, 4, 5, 6, 7, 8, 8, 8}));
  EXPECT_EQ(io.output(), "");
}

TEST(msmoor, agrees_with_repeated_r_runmed) {
  test::TestConsole io;
  // R: x <- s1; for (i in 1:10) { y <- runmed(x, 5, endrule = "constant");
  //      if (sum(abs(x - y)) < 1e-6) break; x <- y }   # 3 passes
  std::vector<float> x = test::kS1, y(50);
  int k = 5;
  const MedianSmooth r = msmoor(x, y, k, 5000, io.con);
  EXPECT_EQ(r.passes, 3);
  const std::vector<std::pair<int, float>> expected{
      {1, 11.98f},  {2, 11.98f},  {3, 11.98f},  {7, 12.42f},  {14, 9.97f},
      {21, 13.93f}, {25, 14.27f}, {42, 16.13f}, {49, 14.78f}, {50, 14.78f}};
  for (const auto& [t, v] : expected) EXPECT_EQ(y[static_cast<std::size_t>(t - 1)], v) << t;
}

TEST(msmoor, window_rules_and_input_errors) {
  test::TestConsole io("\n\n\n");
  std::vector<float> x{3, 1, 2, 5, 4}, y(5, -1.0f);
  int k = 4;  // even: lowered to 3
  MedianSmooth r = msmoor(x, y, k, 5000, io.con);
  EXPECT_EQ(r.ier, 0);
  EXPECT_EQ(r.window, 3);

  k = 0;  // becomes -1: not a window
  y.assign(5, -1.0f);
  r = msmoor(x, y, k, 5000, io.con);
  EXPECT_EQ(r.ier, kMedianNotOdd);
  EXPECT_EQ(r.window, -1);
  EXPECT_EQ(y[0], -1.0f);  // nothing written

  k = 7;  // longer than the series
  EXPECT_EQ(msmoor(x, y, k, 5000, io.con).ier, kMedianLength);
  EXPECT_EQ(io.output(),
            "\n input error 3 in msmoor.\nHit Return to Continue\n input error 1 in msmoor.\n"
            "Hit Return to Continue");

  // One pass with an even window reports its own error.
  io.out.str("");
  EXPECT_EQ(msmoo(x, y, 2, 5000, io.con), kMedianNotOdd);
  EXPECT_EQ(io.output(), "\n input error 3 in msmoo.\nHit Return to Continue");
}

TEST(supsmu, agrees_with_r) {
  const std::vector<float> x = line(60, 0.0f, 1.0f), w(60, 1.0f);
  std::vector<float> smo(60);
  // R: supsmu(1:60, s2, span = "cv", bass = 0)$y, and bass = 5.
  supsmu(x, test::kS2, w, 1, 0.0f, 0.0f, smo);
  const std::vector<std::pair<int, double>> bass0{{1, 8.29087},  {10, 6.10431}, {20, 5.51800},
                                                  {30, 5.59499}, {40, 5.24615}, {50, 5.18388},
                                                  {60, 4.25720}};
  for (const auto& [t, v] : bass0) EXPECT_NEAR(smo[static_cast<std::size_t>(t - 1)], v, 2e-4) << t;
  supsmu(x, test::kS2, w, 1, 0.0f, 5.0f, smo);
  const std::vector<std::pair<int, double>> bass5{{1, 8.29784},  {10, 6.61966}, {20, 5.86098},
                                                  {30, 5.48330}, {40, 5.30848}, {50, 5.09677},
                                                  {60, 4.42583}};
  for (const auto& [t, v] : bass5) EXPECT_NEAR(smo[static_cast<std::size_t>(t - 1)], v, 2e-4) << t;

  // R: supsmu(1:30, s2[1:30], span = 0.3)$y
  const std::vector<float> s30(test::kS2.begin(), test::kS2.begin() + 30);
  std::vector<float> smo30(30);
  supsmu(std::span<const float>(x).first(30), s30, std::span<const float>(w).first(30), 1, 0.3f,
         0.0f, smo30);
  const std::vector<std::pair<int, double>> fixed{
      {1, 8.48136}, {5, 7.35227}, {15, 6.23818}, {25, 5.57273}, {30, 6.40364}};
  for (const auto& [t, v] : fixed)
    EXPECT_NEAR(smo30[static_cast<std::size_t>(t - 1)], v, 2e-4) << t;
}

TEST(supsmu, line_step_constant_abscissa_and_short_series) {
  const std::vector<float> x = line(50, 0.0f, 1.0f), w(50, 1.0f);
  const auto y = line(50, 4.0f, -0.05f);
  std::vector<float> smo(50);
  supsmu(x, y, w, 1, 0.0f, 0.0f, smo);
  for (std::size_t i = 0; i < 50; ++i) EXPECT_NEAR(smo[i], y[i], 1e-4) << i;

  // A step: far from it the smooth holds each level.
  const auto s = step(50, 25, 2.0f, 6.0f);
  supsmu(x, s, w, 1, 0.0f, 0.0f, smo);
  for (int t = 1; t <= 15; ++t) EXPECT_NEAR(smo[static_cast<std::size_t>(t - 1)], 2.0, 1e-3) << t;
  for (int t = 36; t <= 50; ++t) EXPECT_NEAR(smo[static_cast<std::size_t>(t - 1)], 6.0, 1e-3) << t;

  // Equal abscissae: the weighted mean everywhere (hand: (1·1 + 3·3) / 4 = 2.5).
  const std::vector<float> same{2, 2}, yy{1, 3}, ww{1, 3};
  std::vector<float> out2(2);
  supsmu(same, yy, ww, 1, 0.0f, 0.0f, out2);
  EXPECT_FLOAT_EQ(out2[0], 2.5f);
  EXPECT_FLOAT_EQ(out2[1], 2.5f);

  // Three values: the least-squares line (hand: through (1,1), (2,3), (3,2) the line is
  // 1 + 0.5 t: means 2 and 2, slope (1 + 0 + 0) / 2).
  const std::vector<float> x3{1, 2, 3}, y3{1, 3, 2}, w3{1, 1, 1};
  std::vector<float> out3(3);
  supsmu(x3, y3, w3, 1, 0.0f, 0.0f, out3);
  EXPECT_NEAR(out3[0], 1.5, 1e-5);
  EXPECT_NEAR(out3[2], 2.5, 1e-5);
}

}  // namespace
}  // namespace dendro
