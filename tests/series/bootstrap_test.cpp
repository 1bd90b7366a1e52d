#include "series/bootstrap.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <span>
#include <vector>

#include "series/biweight.h"
#include "series/normal.h"

namespace dendro {
namespace {

constexpr int kMean = 1, kBiweight = 2;

TEST(normal, ppnd_against_r_qnorm) {
  // R: qnorm(c(0.025, 0.1, 0.3, 0.9, 0.999, 1e-6))
  const float p[] = {0.025f, 0.1f, 0.3f, 0.9f, 0.999f, 1e-6f};
  const double z[] = {-1.9599639845, -1.2815515655, -0.5244005127,
                      1.2815515655,  3.0902323062,  -4.7534243088};
  for (int i = 0; i < 6; ++i) {
    const NormalDeviate d = ppnd(p[i]);
    EXPECT_EQ(d.fault, 0);
    // AS 111 itself is good to about 3 parts in 10^6 at p = 1e-6 (python, the algorithm in
    // double: -4.7534391), to about 1 in 10^7 in the middle.
    EXPECT_NEAR(d.z, z[i], 4e-6 * std::fabs(z[i])) << "p = " << p[i];
  }
  EXPECT_EQ(ppnd(0.5f).z, 0.0f);
  for (float bad : {0.0f, 1.0f, -0.5f, 1.5f, std::numeric_limits<float>::quiet_NaN()}) {
    const NormalDeviate d = ppnd(bad);
    EXPECT_EQ(d.fault, 1) << bad;
    EXPECT_EQ(d.z, 0.0f);
  }
}

TEST(normal, alnorm_against_r_pnorm) {
  // R: pnorm(c(-3, -1.28, -0.5, 1, 1.28, 1.29, 2, 5)) and
  //    pnorm(c(7.5, 10), lower.tail = FALSE)
  const float x[] = {-3.0f, -1.28f, -0.5f, 1.0f, 1.28f, 1.29f, 2.0f, 5.0f};
  const double lower[] = {0.001349898032, 0.100272567954, 0.308537538726, 0.841344746069,
                          0.899727432046, 0.901474670950, 0.977249868052, 0.999999713348};
  for (int i = 0; i < 8; ++i) {
    EXPECT_NEAR(alnorm(x[i], false), lower[i], 2e-7) << "x = " << x[i];
    EXPECT_NEAR(alnorm(x[i], true), 1.0 - lower[i], 2e-7) << "x = " << x[i];
  }
  EXPECT_NEAR(alnorm(7.5f, true), 3.190891673e-14, 1e-19);
  EXPECT_NEAR(alnorm(10.0f, true), 7.619853024e-24, 1e-28);
  EXPECT_EQ(alnorm(0.0f, true), 0.5f);
  EXPECT_EQ(alnorm(0.0f, false), 0.5f);
  EXPECT_EQ(alnorm(7.01f, false), 1.0f);  // lower tail exactly 1 beyond 7
  EXPECT_EQ(alnorm(-7.01f, true), 1.0f);
  EXPECT_EQ(alnorm(18.7f, true), 0.0f);                      // upper tail exactly 0 beyond 18.66
  EXPECT_NEAR(alnorm(12.0f, true), 1.776482112e-33, 1e-38);  // R: pnorm(12, lower = FALSE)
}

TEST(rand, first_numbers_from_the_seeds) {
  Rand rand;
  EXPECT_NEAR(rand.random(), 0.62471, 5e-6);
  EXPECT_NEAR(rand.random(), 0.23692, 5e-6);
  EXPECT_NEAR(rand.random(), 0.90907, 5e-6);
  // Hand, AS 183: 171 * 12848 mod 30269, 172 * 13079 mod 30307, 170 * 22085 mod 30323
  // after one step are 17640, 6870, 24721 (sum of the quotients 1.62471).
  Rand again;
  again.random();
  EXPECT_EQ(again.s1, 17640);
  EXPECT_EQ(again.s2, 6870);
  EXPECT_EQ(again.s3, 24721);

  Rand draws;
  for (int i = 0; i < 10000; ++i) {
    const int k = draws.pick(6);
    ASSERT_GE(k, 0);
    ASSERT_LT(k, 6);
  }
  Rand negative{-5, 13079, 22085};
  const float u = negative.random();
  EXPECT_GE(u, 0.0f);
  EXPECT_LT(u, 1.0f);
  EXPECT_GE(negative.s1, 0);
}

TEST(rand, skip_moves_on_as_the_draws_would) {
  for (const Rand start : {Rand{}, Rand{-5, 13079, 22085}, Rand{30268, 1, 30322}}) {
    for (const long long draws : {0LL, 1LL, 2LL, 999LL, 123457LL}) {
      Rand drawn = start, skipped = start;
      for (long long k = 0; k < draws; ++k) drawn.random();
      skipped.skip(draws);
      EXPECT_EQ(skipped.s1, drawn.s1) << draws;
      EXPECT_EQ(skipped.s2, drawn.s2) << draws;
      EXPECT_EQ(skipped.s3, drawn.s3) << draws;
      EXPECT_EQ(skipped.random(), drawn.random()) << draws;
    }
  }
  // Far beyond the period of any seed: 30268 * 30306 * 30322 draws bring every seed back.
  Rand around;
  around.skip(30268LL * 30306LL * 30322LL);
  EXPECT_EQ(around.s1, kBootstrapSeed1);
  EXPECT_EQ(around.s2, kBootstrapSeed2);
  EXPECT_EQ(around.s3, kBootstrapSeed3);
}

// The location of a resample drawn one pick per value, as biwgt gives it.
float drawn_location(std::span<const float> values, Rand& rand, int kind) {
  std::vector<float> sample(values.size());
  const int n = static_cast<int>(values.size());
  for (float& v : sample) v = values[static_cast<std::size_t>(rand.pick(n))];
  return biwgt(sample, kBiweightTuning, kind).location;
}

TEST(sample_locations, as_biwgt_of_the_samples_drawn_and_left) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  // Ties and both signs, distinct values, a NaN (taken as drawn), a no-value marker (left
  // out with the value of a jackknife sample).
  const std::vector<std::vector<float>> sets{
      {1.1f, -0.4f, 1.1f, 0.0f, 2.5f, -0.4f, 1.1f, 0.7f, 3.9f, 0.7f},
      {0.93f, 1.21f, 0.88f, 1.05f, 0.71f, 1.34f, 0.99f, 1.12f},
      {0.9f, nan, 1.2f, 0.8f, 1.1f, 1.0f, 0.95f},
      {0.9f, kNoValue, 1.2f, 0.8f, 1.1f, 1.0f, 0.95f}};
  for (const auto& values : sets) {
    for (const int kind : {kBiweight, kMean, -25}) {
      SampleLocations samples(values, kBiweightTuning, kind);
      Rand rand, drawn;
      for (int b = 0; b < 200; ++b) {
        const float expected = drawn_location(values, drawn, kind);
        const float got = samples.resample(rand);
        if (std::isnan(expected)) {
          EXPECT_TRUE(std::isnan(got)) << kind << " resample " << b;
        } else {
          EXPECT_EQ(got, expected) << kind << " resample " << b;
        }
      }
      EXPECT_EQ(rand.s1, drawn.s1);
      for (std::size_t i = 0; i < values.size(); ++i) {
        std::vector<float> marked = values;
        marked[i] = kNoValue;
        std::vector<float> others = update(marked);
        const float expected = biwgt(others, kBiweightTuning, kind).location;
        const float got = samples.without(i);
        EXPECT_TRUE(got == expected || (std::isnan(got) && std::isnan(expected)))
            << kind << " without " << i;
      }
    }
  }
}

TEST(bootstrap, update_drops_only_the_marker) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> in{1.0f, kNoValue, nan, 2.0f, kNoValue};
  const std::vector<float> out = update(in);
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[0], 1.0f);
  EXPECT_TRUE(std::isnan(out[1]));
  EXPECT_EQ(out[2], 2.0f);
}

TEST(bootstrap, jackknife_acceleration_of_the_mean) {
  // Hand: for the mean the pseudo-values are the deviations d = -3, -2, -1, 6: sum d^2 = 50,
  // sum d^3 = 180, a = 180 / (6 * 50^1.5) = 0.0848528.
  const std::vector<float> x{1, 2, 3, 10};
  EXPECT_NEAR(jackknife_acceleration(x, 4.0f, kMean), 0.0848528, 1e-6);
  const std::vector<float> same(7, 0.9f);
  EXPECT_EQ(jackknife_acceleration(same, 0.9f, kBiweight), 0.0f);
  EXPECT_EQ(jackknife_acceleration(std::vector<float>{1.0f}, 1.0f, kMean), 0.0f);
}

// Replicates 1..B in a scrambled order.
std::vector<float> scrambled(int b) {
  std::vector<float> r;
  for (int i = 0; i < b; ++i) r.push_back(static_cast<float>((i * 389) % b + 1));
  return r;
}

TEST(bootstrap, monte_without_bias_or_acceleration) {
  // Replicates 1..1000, estimate 500.5: L = E = 500, k = 500, z0 = ppnd(0.5) = 0, so the
  // bias-corrected and BCa ranks are the percentile ranks int(1001 * 0.025 + 0.5) = 25 and
  // int(1001 * 0.975 + 0.5) = 976. R: sqrt(1000 * 1001 / 12) * qnorm(0.975) = 566.0756928.
  auto r = scrambled(1000);
  const BootstrapLimits l = monte(500.5f, 95.0f, 0.0f, r);
  EXPECT_EQ(l.fault, 0);
  EXPECT_EQ(l.percentile.lower, 25.0f);
  EXPECT_EQ(l.percentile.upper, 976.0f);
  EXPECT_EQ(l.bias_corrected.lower, 25.0f);
  EXPECT_EQ(l.bias_corrected.upper, 976.0f);
  EXPECT_EQ(l.bca.lower, 25.0f);
  EXPECT_EQ(l.bca.upper, 976.0f);
  EXPECT_NEAR(l.normal.lower, 500.5 - 566.0756928, 2e-3);
  EXPECT_NEAR(l.normal.upper, 500.5 + 566.0756928, 2e-3);
  EXPECT_TRUE(std::is_sorted(r.begin(), r.end()));

  // B = 700: ranks int(701 * 0.025 + 0.5) = 18 and int(701 * 0.975 + 0.5) = 683.
  auto r700 = scrambled(700);
  const BootstrapLimits m = monte(350.5f, 95.0f, 0.0f, r700);
  EXPECT_EQ(m.percentile.lower, 18.0f);
  EXPECT_EQ(m.percentile.upper, 683.0f);

  // A positive acceleration moves the BCa limits up (hand: z0 = 0, a = 0.1,
  // zl = -1.96 / 1.196 = -1.6388, zu = 1.96 / 0.804 = 2.4378; ranks int(1001 * 0.05065
  // + 0.5) = 51 and int(1001 * 0.99261 + 0.5) = 994).
  auto ra = scrambled(1000);
  const BootstrapLimits a = monte(500.5f, 95.0f, 0.1f, ra);
  EXPECT_EQ(a.bca.lower, 51.0f);
  EXPECT_EQ(a.bca.upper, 994.0f);
}

TEST(bootstrap, monte_faults_leave_the_estimate) {
  auto r = scrambled(1000);
  EXPECT_EQ(monte(500.5f, 100.0f, 0.0f, r).fault, 6);
  EXPECT_EQ(monte(500.5f, 0.0f, 0.0f, r).fault, 7);
  auto hundred = scrambled(100);
  const BootstrapLimits few = monte(50.5f, 95.0f, 0.0f, hundred);  // int(2.525 + 0.5) = 3
  EXPECT_EQ(few.fault, 5);
  EXPECT_EQ(few.bca.lower, 50.5f);
  EXPECT_EQ(few.bca.upper, 50.5f);

  // Every replicate above the estimate: fault 3, the normal limits still set.
  const BootstrapLimits above = monte(0.0f, 95.0f, 0.0f, r);
  EXPECT_EQ(above.fault, 3);
  EXPECT_NE(above.normal.lower, 0.0f);
  EXPECT_EQ(above.bca.lower, 0.0f);
  EXPECT_EQ(above.bca.upper, 0.0f);
  EXPECT_EQ(monte(2000.0f, 95.0f, 0.0f, r).fault, 4);
  std::vector<float> none;
  EXPECT_NE(monte(1.0f, 95.0f, 0.0f, none).fault, 0);
}

TEST(bootstrap, mccon_with_drawn_replicates) {
  // Resamples drawn as the chronology builder draws them, from the builder's seeds.
  const std::vector<float> year{0.82f, 1.13f, 0.95f, 1.41f, 0.77f, 1.02f, 1.25f, 0.64f, 1.08f};
  std::vector<float> work(year), replicates;
  const float estimate = biwgt(work, kBiweightTuning, kBiweight).location;
  Rand rand;
  std::vector<float> sample(year.size());
  for (int b = 0; b < 1000; ++b) {
    for (float& v : sample) v = year[static_cast<std::size_t>(rand.pick(9))];
    replicates.push_back(biwgt(sample, kBiweightTuning, kBiweight).location);
  }
  const BootstrapLimits l = mccon(year, 95.0f, estimate, replicates, kBiweight);
  EXPECT_EQ(l.fault, 0);
  EXPECT_LT(l.bca.lower, estimate);
  EXPECT_GT(l.bca.upper, estimate);
  EXPECT_GE(l.bca.lower, 0.64f);
  EXPECT_LE(l.bca.upper, 1.41f);
  EXPECT_EQ(year[0], 0.82f);

  // Equal values: every replicate, every leave-one-out location and every ranked limit is
  // the common value (no acceleration from all-zero pseudo-values); the normal limits keep
  // the rounding of the single-precision updating formulas.
  const std::vector<float> same(8, 1.1f);
  std::vector<float> flat(1000, 1.1f);
  const BootstrapLimits e = mccon(same, 95.0f, 1.1f, flat, kBiweight);
  EXPECT_EQ(e.fault, 0);
  EXPECT_EQ(e.bca.lower, 1.1f);
  EXPECT_EQ(e.bca.upper, 1.1f);
  EXPECT_NEAR(e.normal.lower, 1.1, 1e-4);
  EXPECT_EQ(e.percentile.upper, 1.1f);
}

}  // namespace
}  // namespace dendro
