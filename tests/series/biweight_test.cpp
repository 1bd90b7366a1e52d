#include "series/biweight.h"

#include <gtest/gtest.h>

#include <vector>

#include "series/files/stop.h"

namespace dendro {
namespace {

constexpr int kMean = 1, kBiweight = 2;

TEST(biwgt, arithmetic_mean_leaves_the_order) {
  std::vector<float> x{3, 1, 2, 6};
  const BiwgtResult b = biwgt(x, kBiweightTuning, kMean);
  EXPECT_NEAR(b.location, 3.0, 1e-6);
  EXPECT_NEAR(b.scale, 2.1602469, 1e-6);  // hand: sum d^2 = 14, sqrt(14/3)
  EXPECT_NEAR(b.std_error, 2.1602469 / 2, 1e-6);
  EXPECT_EQ(b.efficiency, 1.0f);
  EXPECT_EQ(b.iterations, 0);
  EXPECT_EQ(x, (std::vector<float>{3, 1, 2, 6}));
  EXPECT_EQ(b.weights, std::vector<float>(4, 1.0f));
}

TEST(biwgt, percentiles) {
  std::vector<float> x{3, 1, 2};
  const BiwgtResult median = biwgt(x, kBiweightTuning, -50);
  EXPECT_EQ(median.location, 2.0f);
  EXPECT_EQ(median.scale, 0.0f);
  EXPECT_EQ(x, (std::vector<float>{1, 2, 3}));

  std::vector<float> twenty;
  for (int i = 20; i >= 1; --i) twenty.push_back(static_cast<float>(i));
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -10).location, 2.0f);  // r = 2: second smallest
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -12).location, 2.0f);  // r = 2.4: 2nd twice
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -13).location, 2.5f);  // r = 2.6: 2nd and 3rd
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -1).location, 1.0f);
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -100).location, 20.0f);
  EXPECT_EQ(biwgt(twenty, kBiweightTuning, -75).location, 15.5f);  // upper hinge

  std::vector<float> few{9, 7, 8};  // r = 0.3 points below the first value: kept at it
  EXPECT_EQ(biwgt(few, kBiweightTuning, -10).location, 7.0f);
  EXPECT_EQ(biwgt(few, kBiweightTuning, -20).location, 7.0f);
}

TEST(biwgt, median_deviation_from_both_sides) {
  // The scale of up to five values is 1.5 MAD. Hand: {31, 10, 12, 30, 11}: median 12,
  // deviations 19 2 0 18 1, sorted 0 1 2 18 19, MAD 2; {20, 1, 10, 2}: median 6,
  // deviations 14 5 4 4, sorted 4 4 5 14, MAD (4 + 5) / 2; {-3, -1, 8, 9, 10}: median 8,
  // deviations 11 9 0 1 2, MAD 2.
  std::vector<float> five{31, 10, 12, 30, 11};
  EXPECT_EQ(biwgt(five, kBiweightTuning, kBiweight).scale, 3.0f);
  std::vector<float> four{20, 1, 10, 2};
  EXPECT_EQ(biwgt(four, kBiweightTuning, kBiweight).scale, 6.75f);
  std::vector<float> left{-3, -1, 8, 9, 10};
  EXPECT_EQ(biwgt(left, kBiweightTuning, kBiweight).scale, 3.0f);
}

TEST(biwgt, small_and_constant_samples) {
  std::vector<float> one{4.25f};
  const BiwgtResult single = biwgt(one, kBiweightTuning, kBiweight);
  EXPECT_EQ(single.location, 4.25f);
  EXPECT_EQ(single.scale, 0.0f);
  EXPECT_EQ(single.efficiency, 0.0f);

  // Five distinct values: median 3, deviations 0 1 1 2 2, MAD 1; not iterated.
  std::vector<float> five{5, 1, 4, 2, 3};
  const BiwgtResult small = biwgt(five, kBiweightTuning, kBiweight);
  EXPECT_EQ(small.location, 3.0f);
  EXPECT_EQ(small.scale, 1.5f);
  EXPECT_NEAR(small.std_error, 1.5 / 2.2360680, 1e-6);
  EXPECT_EQ(small.efficiency, 1.0f);
  EXPECT_EQ(small.iterations, 0);

  // Six values, five equal: MAD 0, the median stands.
  std::vector<float> six{1, 1, 1, 9, 1, 1};
  const BiwgtResult flat = biwgt(six, kBiweightTuning, kBiweight);
  EXPECT_EQ(flat.location, 1.0f);
  EXPECT_EQ(flat.scale, 0.0f);
  EXPECT_EQ(flat.std_error, 0.0f);
  EXPECT_EQ(flat.efficiency, 1.0f);
}

TEST(biwgt, iterated_biweight_against_r) {
  // R (/tmp/bw.R): the biweight as four passes from the median with c * MAD fixed,
  //   x <- c(0.91,1.07,0.98,1.22,0.85,1.03,1.11,0.95,2.60,1.00,0.88,1.15); c <- 7.5
  //   M <- median(x); mad <- median(abs(x - M)); pass <- function(t) {...}
  // gave location 1.01216009, scale 0.12600052, error 0.03637322, efficiency 13.98034483
  // and weights (sorted order) 0.90868702 ... 0.85230900 0.
  std::vector<float> x{0.91f, 1.07f, 0.98f, 1.22f, 0.85f, 1.03f,
                       1.11f, 0.95f, 2.60f, 1.00f, 0.88f, 1.15f};
  const BiwgtResult b = biwgt(x, kBiweightTuning, kBiweight);
  EXPECT_NEAR(b.location, 1.01216009, 2e-6);
  EXPECT_NEAR(b.scale, 0.12600052, 2e-6);
  EXPECT_NEAR(b.std_error, 0.03637322, 1e-6);
  EXPECT_NEAR(b.efficiency, 13.98034483, 2e-4);
  EXPECT_EQ(b.iterations, 3);
  ASSERT_EQ(b.weights.size(), 12u);
  EXPECT_NEAR(b.weights[0], 0.90868702, 1e-6);  // 0.85, the smallest value
  EXPECT_NEAR(b.weights[6], 0.99886894, 1e-6);
  EXPECT_NEAR(b.weights[10], 0.85230900, 1e-6);
  EXPECT_EQ(b.weights[11], 0.0f);  // 2.60 lies beyond c * MAD
  EXPECT_EQ(x.back(), 2.60f);      // sorted in place

  // The far value takes no part: moving it further changes nothing.
  std::vector<float> further{0.91f, 1.07f, 0.98f, 1.22f, 0.85f, 1.03f,
                             1.11f, 0.95f, 26.0f, 1.00f, 0.88f, 1.15f};
  EXPECT_EQ(biwgt(further, kBiweightTuning, kBiweight).location, b.location);
}

TEST(biwgt, symmetric_values_give_their_median) {
  // Symmetric about 10: every pass keeps the centre at the median.
  std::vector<float> x{7.0f, 13.0f, 9.5f, 10.5f, 8.0f, 12.0f, 10.0f, 9.0f, 11.0f};
  EXPECT_NEAR(biwgt(x, kBiweightTuning, kBiweight).location, 10.0, 1e-6);
}

TEST(biwgt, no_values_end_the_program) {
  std::vector<float> none;
  try {
    biwgt(none, kBiweightTuning, kBiweight);
    FAIL() << "no Stop";
  } catch (const Stop& stop) {
    EXPECT_STREQ(stop.what(), "fatal error in biwgt: n is zero or negative");
    EXPECT_NE(stop.status, 0);
  }
}

}  // namespace
}  // namespace dendro
