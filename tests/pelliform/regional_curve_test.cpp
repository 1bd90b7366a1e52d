#include "pelliform/regional_curve.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "engine_fixture.h"
#include "series/console.h"
#include "series/index.h"

namespace dendro {
namespace {

using testing::Quiet;

float growth(int age) { return 0.5f + 2.0f * std::exp(-0.04f * static_cast<float>(age)); }

// Series i has `lengths[i]` rings of the same growth curve by biological age (pith offset
// plus ring number), so every age has the same value whichever series reach it.
struct AgeAligned {
  EngineMatrix x;
  std::vector<SeriesSpan> spans;
  std::vector<int> pith;
  AgeAligned(const std::vector<int>& lengths, const std::vector<int>& offsets) : pith(offsets) {
    int rows = 0;
    for (int n : lengths) rows = std::max(rows, n);
    x.reshape(rows, static_cast<int>(lengths.size()));
    for (std::size_t i = 0; i < lengths.size(); ++i) {
      spans.push_back({1900 + static_cast<int>(i), 1900 + static_cast<int>(i) + lengths[i] - 1, 0});
      for (int k = 1; k <= lengths[i]; ++k)
        x.at(k, static_cast<int>(i) + 1) = growth(offsets[i] + k);
    }
  }
};

TEST(rcurve, identical_age_aligned_curves_give_that_curve) {
  Quiet q;
  const AgeAligned set({120, 80, 150, 95}, {0, 0, 0, 0});
  int option = 1;
  float alpha = 0;
  int window = 0;
  const sf::RegionalCurve r =
      rcurve(set.x, set.spans, set.pith, kEmptyCell, option, alpha, window, false, 0, q.con);
  ASSERT_EQ(r.ages, 150);
  for (int age = 1; age <= 150; ++age) EXPECT_NEAR(r.rc[at(age)], growth(age), 1e-5);
  // The negative exponential family holds the curve: the fit is the curve.
  EXPECT_EQ(option, 1);
  for (int age = 1; age <= 150; age += 7) EXPECT_NEAR(r.frc[at(age)], growth(age), 2e-3);
}

TEST(rcurve, pith_offsets_shift_the_ages) {
  Quiet q;
  // Offsets 3 and 7: the smallest offset's ages 1..3 stay empty; age 4 is the first ring
  // of the first series.
  const AgeAligned set({60, 60}, {3, 7});
  int option = 6;
  float alpha = 0;
  int window = 0;
  const sf::RegionalCurve r =
      rcurve(set.x, set.spans, set.pith, kEmptyCell, option, alpha, window, true, 0, q.con);
  EXPECT_EQ(r.min_offset, 3);
  EXPECT_EQ(r.ages, 67);
  for (int age = 1; age <= 3; ++age) {
    EXPECT_EQ(r.rc[at(age)], kEmptyCell);
    EXPECT_EQ(r.frc[at(age)], kEmptyCell);
  }
  EXPECT_NEAR(r.rc[3], growth(4), 1e-6);
  EXPECT_NEAR(r.rc[66], growth(67), 1e-6);
  // An offset below 0 would put a ring before the first age, outside the curve's ages.
  const AgeAligned early({60, 60}, {-1, 7});
  EXPECT_THROW(
      rcurve(early.x, early.spans, early.pith, kEmptyCell, option, alpha, window, true, 0, q.con),
      std::invalid_argument);
}

TEST(rcurve, truncation_holds_the_fit_flat) {
  Quiet q;
  const AgeAligned set({300, 300}, {0, 0});
  int option = 4;
  float alpha = 0;
  int window = 0;
  const sf::RegionalCurve r =
      rcurve(set.x, set.spans, set.pith, kEmptyCell, option, alpha, window, false, 150, q.con);
  for (int age = 151; age <= 300; ++age) EXPECT_EQ(r.frc[at(age)], r.frc[149]);
  EXPECT_NE(r.frc[148], r.frc[149]);
}

TEST(detrend2, fall_backs_and_caller_variables) {
  Quiet q;
  // A rising mean curve: option 2 gives the horizontal mean recorded as 5.
  std::vector<float> rc(40), frc(40);
  for (int i = 0; i < 40; ++i) rc[static_cast<std::size_t>(i)] = 1.0f + 0.01f * i;
  int nfit = 40, option = 2, window = 0;
  float alpha = 0;
  detrend2(rc, frc, nfit, option, window, alpha, q.con);
  EXPECT_EQ(option, 5);
  EXPECT_NEAR(frc[0], 1.195f, 1e-4);  // mean of 1.00 .. 1.39
  // Option -4 with window 50 leaves its fraction 0.5 in alpha.
  option = -4;
  window = 50;
  detrend2(rc, frc, nfit, option, window, alpha, q.con);
  EXPECT_FLOAT_EQ(alpha, 0.5f);
  // Option -1: one value fewer, the first age marked empty.
  option = -1;
  nfit = 40;
  detrend2(rc, frc, nfit, option, window, alpha, q.con);
  EXPECT_EQ(nfit, 39);
  EXPECT_EQ(rc[0], kEmptyCell);
  // Option -3 takes its window from alpha.
  for (int i = 0; i < 40; ++i) rc[static_cast<std::size_t>(i)] = 1.0f + 0.01f * i;
  option = -3;
  alpha = 5.7f;
  nfit = 40;
  detrend2(rc, frc, nfit, option, window, alpha, q.con);
  EXPECT_EQ(window, 5);
  EXPECT_NEAR(frc[20], rc[20], 1e-5);  // running medians keep a straight line
  // Codes 9 and -9, next to the splines, name no fit of their own: the mean stands in.
  for (int code : {9, -9}) {
    option = code;
    detrend2(rc, frc, nfit, option, window, alpha, q.con);
    EXPECT_EQ(option, 6) << code;
  }
}

}  // namespace
}  // namespace dendro
