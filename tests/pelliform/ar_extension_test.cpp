#include "pelliform/ar_extension.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace dendro {
namespace {

TEST(arpad, pad_length_and_sinusoid_extension) {
  std::vector<float> x(30);
  for (int i = 0; i < 30; ++i) x[i] = 5.0f + std::sin(0.5f * i);
  const sf::Padded p = sf::arpad(x, 40);
  EXPECT_EQ(p.npad, 20);  // 0.67 x 30 = 20.1
  EXPECT_EQ(p.values.size(), 70u);
  for (int i = 0; i < 30; ++i) EXPECT_NEAR(p.values[20 + i], x[i], 1e-5);
  // A sinusoid obeys y(t) = 2 cos(w) y(t-1) - y(t-2): the model continues it closely.
  EXPECT_NEAR(p.values[50], 5.0f + std::sin(0.5f * 30), 0.05f);
  EXPECT_NEAR(p.values[19], 5.0f + std::sin(-0.5f), 0.05f);
}

TEST(arpad, directions_of_extend) {
  sf::BurgModel model;
  model.d = {0.5};
  std::vector<float> y{0, 0, 4, 8, 0, 0};  // npad 2, n 2
  sf::extend(y, 2, 2, model, 1);
  EXPECT_EQ(y, (std::vector<float>{0, 0, 4, 8, 4, 2}));
  std::vector<float> z{0, 0, 4, 8, 0, 0};
  sf::extend(z, 2, 2, model, -1);
  EXPECT_EQ(z, (std::vector<float>{1, 2, 4, 8, 0, 0}));
}

}  // namespace
}  // namespace dendro
