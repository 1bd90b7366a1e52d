// Constructed series shared by the detrending tests, with two decimals so that the
// independent tools read exactly the same numbers. Generated once in R (r-base-core):
//   t <- 1:50; round(10 + 0.1*t + 2*sin(t/3) + ifelse(t %% 7 == 0, 5, 0), 2)      # kS1
//   t <- 1:60; round(5 + 3*exp(-t/15) + 0.8*sin(t/2) + 0.5*cos(t*1.7), 2)         # kS2
//   t <- 1:30; round((t-18)^2/40 + 1 + 0.3*sin(t*1.3), 2)                           # kS3
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "series/console.h"

namespace dendro::test {

// A console over string streams: the answers given up front, the output kept. Without
// answers a question or a pause ends the test with Stop.
struct TestConsole {
  explicit TestConsole(const std::string& answers = "") : in(answers) {}
  std::string output() const { return out.str(); }
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
};

// f(t) at t = 1..n in single precision.
inline std::vector<float> sampled(int n, double (*f)(double)) {
  std::vector<float> y(static_cast<std::size_t>(n));
  for (int t = 1; t <= n; ++t) y[static_cast<std::size_t>(t - 1)] = static_cast<float>(f(t));
  return y;
}

// The positions 1..n as abscissae.
inline std::vector<float> positions(int n) {
  return sampled(n, [](double t) { return t; });
}

// A wavy rising series with a spike every seventh value.
inline const std::vector<float> kS1{
    10.75f, 11.44f, 11.98f, 12.34f, 12.49f, 12.42f, 17.15f, 11.71f, 11.18f, 10.62f,
    10.10f, 9.69f,  9.44f,  14.40f, 9.58f,  9.97f,  10.54f, 11.24f, 12.00f, 12.75f,
    18.41f, 13.93f, 14.27f, 14.38f, 14.27f, 13.98f, 13.52f, 17.98f, 12.42f, 11.91f,
    11.52f, 11.31f, 11.30f, 11.51f, 16.93f, 12.53f, 13.24f, 14.00f, 14.74f, 15.39f,
    15.88f, 21.18f, 16.26f, 16.13f, 15.80f, 15.33f, 14.78f, 14.22f, 18.73f, 13.36f};

// A noisy declining series.
inline const std::vector<float> kS2{
    8.13f, 7.82f, 8.44f, 8.46f, 7.33f, 6.77f, 6.99f, 6.41f, 5.41f, 5.64f, 6.37f, 6.13f,
    5.94f, 6.82f, 7.32f, 6.59f, 6.20f, 6.58f, 6.10f, 4.93f, 4.83f, 5.37f, 5.03f, 4.68f,
    5.56f, 6.35f, 5.97f, 5.81f, 6.47f, 6.30f, 5.16f, 4.85f, 5.21f, 4.70f, 4.02f, 4.64f,
    5.48f, 5.26f, 5.23f, 6.16f, 6.41f, 5.52f, 5.22f, 5.57f, 4.99f, 3.99f, 4.23f, 4.90f,
    4.62f, 4.51f, 5.54f, 6.16f, 5.60f, 5.46f, 6.00f, 5.58f, 4.45f, 4.36f, 4.79f, 4.32f};

// A U-shaped series.
inline const std::vector<float> kS3{8.51f, 7.55f, 6.42f, 5.63f, 5.29f, 4.90f, 4.12f, 3.25f,
                                    2.80f, 2.73f, 2.52f, 1.93f, 1.35f, 1.22f, 1.41f, 1.38f,
                                    0.99f, 0.70f, 0.90f, 1.33f, 1.47f, 1.30f, 1.33f, 1.84f,
                                    2.49f, 2.81f, 2.87f, 3.21f, 4.03f, 4.89f};

}  // namespace dendro::test
