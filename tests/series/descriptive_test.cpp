#include "series/descriptive.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

namespace dendro {
namespace {

constexpr double kTol = 1e-5;

TEST(moment, four_values_by_hand) {
  // Hand: mean 2.5; d = -1.5, -0.5, 0.5, 1.5; sum d^2 = 5, variance 5/3; mean |d| = 1.
  // sum d^4 = 10.25, raw kurtosis 10.25 / ((25/9) 4) = 0.9225, factor 16*5/(2*3*1), 12.3.
  // Population variance 1.25: lag products (0.75 - 0.25 + 0.75) / 1.25 = 1, over 4: 0.25.
  std::vector<float> x{1, 2, 3, 4};
  const Moments s = moment(x);
  EXPECT_NEAR(s.mean, 2.5, kTol);
  EXPECT_NEAR(s.mean_abs_dev, 1.0, kTol);
  EXPECT_NEAR(s.variance, 5.0 / 3.0, kTol);
  EXPECT_NEAR(s.std_dev, 1.2909944, kTol);
  EXPECT_NEAR(s.skewness, 0.0, kTol);
  EXPECT_NEAR(s.kurtosis, 12.3, 1e-4);
  EXPECT_NEAR(s.mean_sensitivity, (1 / 1.5 + 1 / 2.5 + 1 / 3.5) / 3, kTol);
  EXPECT_NEAR(s.autocorrelation, 0.25, kTol);
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(x[i], i + 1, 1e-6);  // restored up to rounding
}

TEST(moment, skewness_factor_by_hand) {
  // Hand: x = 1, 2, 3, 10; mean 4; d = -3, -2, -1, 6; sum d^2 = 50, s = sqrt(50/3);
  // sum d^3 = 180; raw 180 / (s^3 * 4) = 0.661362; factor sqrt(4*3)/2 * (1 + 8.5/4)
  // = 5.412659; skewness 3.579708.
  std::vector<float> x{1, 2, 3, 10};
  EXPECT_NEAR(moment(x).skewness, 3.579708, 1e-4);
}

TEST(moment, undefined_statistics) {
  std::vector<float> none;
  const Moments empty = moment(none);
  EXPECT_EQ(empty.mean, kUndefined);
  EXPECT_EQ(empty.autocorrelation, kUndefined);

  std::vector<float> one{4.5f};
  const Moments single = moment(one);
  EXPECT_EQ(single.mean, 4.5f);
  EXPECT_EQ(single.mean_abs_dev, kUndefined);
  EXPECT_EQ(single.variance, kUndefined);
  EXPECT_EQ(single.mean_sensitivity, kUndefined);

  std::vector<float> flat{2, 2, 2};
  const Moments same = moment(flat);
  EXPECT_EQ(same.mean, 2.0f);
  EXPECT_EQ(same.variance, 0.0f);
  EXPECT_EQ(same.mean_abs_dev, 0.0f);
  EXPECT_EQ(same.mean_sensitivity, 0.0f);
  EXPECT_EQ(same.std_dev, kUndefined);
  EXPECT_EQ(same.skewness, kUndefined);
  EXPECT_EQ(same.kurtosis, kUndefined);
  EXPECT_EQ(same.autocorrelation, kUndefined);
}

TEST(moment, sensitivity_pairs_without_positive_mean_still_count) {
  // Hand: pair (-1, 1) has mean 0 and adds nothing; pair (1, 2) adds 1 / 1.5; divisor 2.
  std::vector<float> x{-1, 1, 2};
  EXPECT_NEAR(moment(x).mean_sensitivity, (1 / 1.5) / 2, kTol);
}

TEST(moment, values_come_back_after_standardising) {
  std::vector<float> x{0.731f, 1.204f, 0.998f, 1.517f, 0.402f, 1.111f, 0.876f};
  const auto before = x;
  moment(x);
  for (std::size_t i = 0; i < x.size(); ++i) EXPECT_NEAR(x[i], before[i], 1e-6);
}

// Standardising in place and undoing it in single precision gave 194 back as 193.99998 and
// 0 as 2^-24 or 2^-25 for these samples (found by replaying that arithmetic in float); the
// values must come back bit for bit, and the minimum of the lengths must stay 194.
TEST(moment, values_stay_bit_for_bit) {
  const std::vector<std::vector<float>> samples{
      {194, 512, 536, 459, 464, 517}, {0, 0.383f, 0.764f, 1.746f}, {194, 0, 300, 251, 0.731f}};
  for (const auto& sample : samples) {
    std::vector<float> x = sample, y = sample;
    moment(x);
    EXPECT_EQ(std::memcmp(x.data(), sample.data(), x.size() * sizeof(float)), 0);
    const std::vector<int> mask(y.size(), 1);
    moment1(y, mask);
    EXPECT_EQ(std::memcmp(y.data(), sample.data(), y.size() * sizeof(float)), 0);
  }
  std::vector<float> lengths{194, 512, 536, 459, 464, 517};
  const std::vector<int> all(6, 1);
  moment1(lengths, all);
  EXPECT_EQ(mfs1(lengths, all).minimum, 194.0f);
}

// Statistics rows keep a blank before every number: values too wide for three decimals
// lose decimals (hand: 1000.98 in f8.3 fills all eight columns, f8.2 leaves one blank),
// the marker -99.0 in the seven-column fields becomes -99.00, ordinary rows are unchanged.
TEST(statistics_fields, numbers_never_join) {
  EXPECT_EQ(statistics_fields(0.912f, 0.345f, 0.123f, 3.456f, 0.221f, 0.654f),
            "   0.912   0.345  0.123  3.456  0.221   0.654");
  EXPECT_EQ(statistics_fields(1000.98f, 14142.136f, 7.071f, 1234.5f, 1.99f, -0.02f),
            " 1000.98 14142.1  7.071 1234.5  1.990  -0.020");
  EXPECT_EQ(statistics_fields(2.0f, kUndefined, kUndefined, kUndefined, 0.0f, kUndefined),
            "   2.000 -99.000 -99.00 -99.00  0.000 -99.000");
  EXPECT_EQ(statistics_fields(1.0e7f, 0, 0, 0, 0, 0).substr(0, 10), " 10000000.");  // widened
}

TEST(moment1, full_mask_matches_moment_except_the_autocorrelation_divisor) {
  std::vector<float> x{1, 2, 3, 4}, y{1, 2, 3, 4};  // moment rewrites x up to rounding
  const std::vector<int> all{1, 1, 1, 1};
  const Moments a = moment(x);
  const Moments b = moment1(y, all);
  EXPECT_EQ(a.mean, b.mean);
  EXPECT_EQ(a.mean_abs_dev, b.mean_abs_dev);
  EXPECT_EQ(a.variance, b.variance);
  EXPECT_EQ(a.skewness, b.skewness);
  EXPECT_EQ(a.kurtosis, b.kurtosis);
  EXPECT_EQ(a.mean_sensitivity, b.mean_sensitivity);
  EXPECT_NEAR(b.autocorrelation, 1.0 / 3.0, kTol);  // lag sum 1 over 3 pairs
}

TEST(moment1, masked_positions_take_no_part) {
  // Depth counts as a mask; the -9.99 years are outside the sample.
  std::vector<float> x{-9.99f, 1, 2, -9.99f, 3, 4, -9.99f};
  const std::vector<int> depth{0, 3, 2, 0, 5, 1, -1};
  const Moments s = moment1(x, depth);
  EXPECT_NEAR(s.mean, 2.5, kTol);
  EXPECT_NEAR(s.variance, 5.0 / 3.0, kTol);
  // Hand: valid pairs (1, 2) and (3, 4): (1/1.5 + 1/3.5) / 2.
  EXPECT_NEAR(s.mean_sensitivity, (1 / 1.5 + 1 / 3.5) / 2, kTol);
  // Hand: z = d / sqrt(1.25); pairs (-1.5)(-0.5) + (0.5)(1.5) = 1.5, / 1.25 / 2 = 0.6.
  EXPECT_NEAR(s.autocorrelation, 0.6, kTol);
  EXPECT_EQ(x[0], -9.99f);
  EXPECT_EQ(x[3], -9.99f);

  const std::vector<int> apart{1, 0, 1, 0, 1, 0, 0};  // no two valid neighbours
  const Moments lone = moment1(x, apart);
  EXPECT_NEAR(lone.mean, (-9.99 + 2 + 3) / 3, kTol);
  EXPECT_EQ(lone.mean_sensitivity, kUndefined);
  EXPECT_EQ(lone.autocorrelation, kUndefined);
  EXPECT_NE(lone.std_dev, kUndefined);

  const std::vector<int> nobody(7, 0);
  EXPECT_EQ(moment1(x, nobody).mean, kUndefined);
  const std::vector<int> single{0, 0, 0, 0, 7, 0, 0};
  const Moments one = moment1(x, single);
  EXPECT_EQ(one.mean, 3.0f);
  EXPECT_EQ(one.variance, kUndefined);
}

TEST(mfs, summaries_by_hand_and_by_fivenum) {
  std::vector<float> x{5, 1, 4, 2, 3};
  const FiveNumbers f = mfs(x);
  EXPECT_EQ(f.median, 3.0f);
  EXPECT_EQ(f.lower_hinge, 2.0f);
  EXPECT_EQ(f.upper_hinge, 4.0f);
  EXPECT_EQ(f.spread, 2.0f);
  EXPECT_EQ(f.minimum, 1.0f);
  EXPECT_EQ(f.maximum, 5.0f);
  EXPECT_EQ(x, (std::vector<float>{1, 2, 3, 4, 5}));  // left sorted

  std::vector<float> four{4, 3, 2, 1};
  const FiveNumbers g = mfs(four);
  EXPECT_EQ(g.median, 2.5f);
  EXPECT_EQ(g.lower_hinge, 1.5f);
  EXPECT_EQ(g.upper_hinge, 3.5f);

  // R: fivenum(1:6) gives 1 2 3.5 5 6; fivenum(1:7) gives 1 2.5 4 5.5 7.
  std::vector<float> six{6, 5, 4, 3, 2, 1};
  const FiveNumbers h = mfs(six);
  EXPECT_EQ(h.lower_hinge, 2.0f);
  EXPECT_EQ(h.median, 3.5f);
  EXPECT_EQ(h.upper_hinge, 5.0f);
  std::vector<float> seven{7, 1, 6, 2, 5, 3, 4};
  const FiveNumbers k = mfs(seven);
  EXPECT_EQ(k.lower_hinge, 2.5f);
  EXPECT_EQ(k.median, 4.0f);
  EXPECT_EQ(k.upper_hinge, 5.5f);

  std::vector<float> one{0.8f};
  const FiveNumbers o = mfs(one);
  EXPECT_EQ(o.median, 0.8f);
  EXPECT_EQ(o.lower_hinge, 0.8f);
  EXPECT_EQ(o.upper_hinge, 0.8f);
  EXPECT_EQ(o.spread, 0.0f);

  std::vector<float> none;
  EXPECT_EQ(mfs(none).median, kUndefined);
}

// The selection finds mfs's numbers for every count (the hinge positions move with n mod
// 4), with ties, and with zeros of both signs.
TEST(five_numbers, the_numbers_of_mfs) {
  std::vector<std::vector<float>> inputs;
  for (int n = 1; n <= 13; ++n) {
    std::vector<float> v(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k)
      v[static_cast<std::size_t>(k)] = static_cast<float>((k * 7) % 5) * 0.5f;
    inputs.push_back(v);
  }
  std::vector<float> long_run(301);
  for (std::size_t k = 0; k < long_run.size(); ++k) {
    long_run[k] = std::sin(static_cast<float>(k)) + (k % 4 == 0 ? 1.0f : 0.0f);
  }
  inputs.push_back(long_run);
  inputs.push_back({0.0f, -0.0f, 0.0f, -0.0f, 1.0f, -1.0f, 0.0f, -0.0f, 2.0f});
  for (const auto& input : inputs) {
    std::vector<float> a = input, b = input;
    const FiveNumbers m = mfs(a), f = five_numbers(b);
    const auto same = [](float p, float q) { return std::memcmp(&p, &q, sizeof p) == 0; };
    EXPECT_TRUE(same(f.median, m.median) && same(f.lower_hinge, m.lower_hinge) &&
                same(f.upper_hinge, m.upper_hinge) && same(f.spread, m.spread) &&
                same(f.minimum, m.minimum) && same(f.maximum, m.maximum))
        << "n = " << input.size();
  }
  std::vector<float> none;
  EXPECT_EQ(five_numbers(none).median, kUndefined);
}

TEST(mfs1, masked_values_leave_the_source_alone) {
  const std::vector<float> x{5, 100, 1, 4, -9.99f, 2, 3};
  const std::vector<int> mask{1, 0, 2, 1, 0, 9, 1};
  const FiveNumbers f = mfs1(x, mask);
  EXPECT_EQ(f.median, 3.0f);
  EXPECT_EQ(f.lower_hinge, 2.0f);
  EXPECT_EQ(f.upper_hinge, 4.0f);
  EXPECT_EQ(f.maximum, 5.0f);
  EXPECT_EQ(x[1], 100.0f);
  EXPECT_EQ(mfs1(x, std::vector<int>(7, 0)).median, kUndefined);
}

}  // namespace
}  // namespace dendro
