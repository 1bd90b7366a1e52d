#include "series/correlation.h"

#include <gtest/gtest.h>

#include <vector>

namespace dendro {
namespace {

TEST(pearsn, known_answers) {
  const std::vector<float> x{1, 2, 3, 4}, y{3, 5, 7, 9};  // y = 2x + 1 exactly
  const PearsnResult line = pearsn(x, y);
  EXPECT_NEAR(line.r, 1.0, 1e-6);
  EXPECT_NEAR(line.slope, 2.0, 1e-6);
  EXPECT_NEAR(line.intercept, 1.0, 1e-5);

  const std::vector<float> u{1, 3, 2, 5, 4}, v{2, 1, 4, 3, 5};
  EXPECT_NEAR(pearsn(u, v).r, 0.3, 1e-6);  // hand: Suv = 3, Suu = Svv = 10

  // R: x <- c(0.82,1.13,0.95,1.41,0.77,1.02,1.25,0.64);
  //    y <- c(1.9,2.4,2.2,2.9,1.6,2.3,2.5,1.7); cor(x, y); coef(lm(y ~ x))
  const std::vector<float> a{0.82f, 1.13f, 0.95f, 1.41f, 0.77f, 1.02f, 1.25f, 0.64f};
  const std::vector<float> b{1.9f, 2.4f, 2.2f, 2.9f, 1.6f, 2.3f, 2.5f, 1.7f};
  const PearsnResult fit = pearsn(a, b);
  EXPECT_NEAR(fit.r, 0.9689500546, 2e-6);
  EXPECT_NEAR(fit.slope, 1.6374284716, 1e-5);
  EXPECT_NEAR(fit.intercept, 0.5521183139, 1e-5);

  // R, the same with m <- c(1,0,1,1,0,1,1,1) > 0: cor(x[m], y[m]); coef(lm(y[m] ~ x[m]))
  const std::vector<int> mask{1, 0, 1, 1, 0, 1, 1, 1};
  const PearsnResult part = pearsn1(a, b, mask);
  EXPECT_NEAR(part.r, 0.9882786443, 2e-6);
  EXPECT_NEAR(part.slope, 1.505771914, 1e-5);
  EXPECT_NEAR(part.intercept, 0.721641507, 1e-5);
}

TEST(pearsn, series_without_spread_give_a_level_line) {
  const std::vector<float> x{1, 2, 3, 4}, flat{2.5f, 2.5f, 2.5f, 2.5f};
  const PearsnResult level = pearsn(x, flat);
  EXPECT_EQ(level.r, 0.0f);
  EXPECT_EQ(level.slope, 0.0f);
  EXPECT_EQ(level.intercept, 2.5f);
  const PearsnResult upright = pearsn(flat, x);
  EXPECT_EQ(upright.r, 0.0f);
  EXPECT_EQ(upright.slope, 0.0f);
  EXPECT_EQ(upright.intercept, 2.5f);  // mean of y

  const std::vector<int> one{0, 0, 1, 0};
  const PearsnResult single = pearsn1(x, x, one);
  EXPECT_EQ(single.slope, 0.0f);
  EXPECT_EQ(single.intercept, 3.0f);
  const PearsnResult none = pearsn1(x, x, std::vector<int>(4, 0));
  EXPECT_EQ(none.r, 0.0f);
  EXPECT_EQ(none.intercept, 0.0f);
}

}  // namespace
}  // namespace dendro
