#include "pelliform/age_spline_stabilisation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <vector>

#include "pelliform/yearly_mean.h"
#include "series/console.h"

namespace dendro {
namespace {

TEST(stabit, constant_chronology_stays) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  std::vector<float> x(120, 1.0f), smooth(120), y(120);
  const std::vector<int> depth(120, 10);
  sf::stabit(x, smooth, y, depth, con);
  for (float v : y) EXPECT_FLOAT_EQ(v, 1.0f);
}

TEST(stabit, evens_out_a_growing_spread) {
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  // Alternating deviations whose size grows tenfold along the chronology.
  const int n = 200;
  std::vector<float> x(n), smooth(n), y(n);
  for (int k = 0; k < n; ++k) x[k] = 1.0f + (k % 2 ? 1.0f : -1.0f) * 0.02f * (1.0f + 9.0f * k / n);
  const std::vector<float> original = x;
  const std::vector<int> depth(n, 10);
  sf::stabit(x, smooth, y, depth, con);
  auto spread = [](const std::vector<float>& v, int from, int to) {
    return mnsd(std::vector<float>(v.begin() + from, v.begin() + to)).sd;
  };
  EXPECT_GT(spread(original, 150, 200) / spread(original, 0, 50), 3.0f);
  EXPECT_LT(spread(y, 150, 200) / spread(y, 0, 50), 1.5f);
  // The result keeps the chronology's mean; x is left holding the absolute deviations.
  EXPECT_NEAR(mnsd(y).mean, mnsd(original).mean, 1e-3);
  EXPECT_NEAR(x[0], std::fabs(original[0] - mnsd(original).mean), 1e-5);
}

}  // namespace
}  // namespace dendro
