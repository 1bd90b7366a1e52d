#include "chronology/pool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"
#include "tests/chronology/run_fixture.h"

namespace dendro {
namespace {

// Pooled sums of a process with the given partial autocorrelations (C_0 = 1): the
// autocorrelations follow from the Levinson step-up recursion, run here in double.
std::array<double, kPoolLags> sums_from_partials(const std::vector<double>& kappa) {
  std::array<double, kPoolLags> r{};
  r[0] = 1.0;
  std::vector<double> a;  // coefficients of the current order
  for (int m = 1; m < kPoolLags; ++m) {
    const double k = m <= static_cast<int>(kappa.size()) ? kappa[m - 1] : 0.0;
    // r_m = k * v_{m-1} + sum a_j r_{m-j}
    double v = 1.0;
    for (std::size_t j = 0; j < a.size(); ++j) v -= a[j] * r[j + 1];
    double rm = k * v;
    for (std::size_t j = 0; j < a.size(); ++j) rm += a[j] * r[m - 1 - j];
    r[m] = rm;
    std::vector<double> next(a.size() + 1);
    for (std::size_t j = 0; j < a.size(); ++j) next[j] = a[j] - k * a[a.size() - 1 - j];
    next[a.size()] = k;
    a = next;
  }
  return r;
}

TEST(fit_pooled, ar1_sums_by_closed_form) {
  // C_k = 0.5^k: phi_11 = 0.5, all later partials 0, v_p = 1 - 0.25 = 0.75 for p >= 1.
  // AIC(0) = 100 ln 1 + 2 = 2, AIC(p) = 100 ln 0.75 + 2(p + 1) = -28.768 + 2(p + 1).
  const auto sums = sums_from_partials({0.5});
  const PooledFit first = fit_pooled(sums, 100, 0);
  EXPECT_EQ(first.order, 1);
  ASSERT_EQ(first.coefficients.size(), 1u);
  EXPECT_NEAR(first.coefficients[0], 0.5, 1e-6);
  EXPECT_NEAR(first.aic[0], 2.0, 1e-5);
  EXPECT_NEAR(first.aic[1], 100 * std::log(0.75) + 4, 1e-4);
  EXPECT_NEAR(first.aic[10], 100 * std::log(0.75) + 22, 1e-4);
  EXPECT_NEAR(first.phi[2][1], 0.0, 1e-6);
  EXPECT_NEAR(first.r_squared, 0.25, 1e-6);
  for (int j = 0; j <= 20; ++j) EXPECT_NEAR(first.impulse[j], std::pow(0.5, j), 1e-6);
  EXPECT_EQ(fit_pooled(sums, 100, -1).order, 1);
  // A fixed order takes that order whatever the criterion: phi = 0.5, 0, 0, 0.
  const PooledFit fixed = fit_pooled(sums, 100, 4);
  EXPECT_EQ(fixed.order, 4);
  ASSERT_EQ(fixed.coefficients.size(), 4u);
  EXPECT_NEAR(fixed.coefficients[0], 0.5, 1e-6);
  EXPECT_NEAR(fixed.coefficients[3], 0.0, 1e-6);
  // Above 10 a fixed order never matches and the overall minimum is taken.
  EXPECT_EQ(fit_pooled(sums, 100, 12).order, 1);
}

TEST(fit_pooled, first_minimum_keeps_looking_while_order_0_is_best) {
  // Only lag 3 is partial-correlated: AIC(1) = AIC(0) + 2 and AIC(2) = AIC(0) + 4 lie above
  // AIC(0), AIC(3) = 50 ln 0.75 + 8 = -6.38 below it, AIC(4) = AIC(3) + 2 above: order 3.
  const auto sums = sums_from_partials({0.0, 0.0, 0.5});
  const PooledFit fit = fit_pooled(sums, 50, 0);
  EXPECT_EQ(fit.order, 3);
  ASSERT_EQ(fit.coefficients.size(), 3u);
  EXPECT_NEAR(fit.coefficients[2], 0.5, 1e-6);
  EXPECT_NEAR(fit.aic[3], 50 * std::log(0.75) + 8, 1e-4);
}

TEST(fit_pooled, first_and_full_minimum_differ) {
  // Partials 0.5, 0.01, 0.6 with n = 50: AIC(1) = 50 ln 0.75 + 4 = -10.38, AIC(2) = AIC(1)
  // + 2 - 0.005 rises (the first minimum stops at order 1), AIC(3) = 50 ln(0.75 * 0.9999 *
  // 0.64) + 8 = -28.71 is the overall minimum.
  const auto sums = sums_from_partials({0.5, 0.01, 0.6});
  EXPECT_EQ(fit_pooled(sums, 50, 0).order, 1);
  const PooledFit full = fit_pooled(sums, 50, -1);
  EXPECT_EQ(full.order, 3);
  EXPECT_NEAR(full.aic[3], 50 * std::log(0.75 * 0.9999 * 0.64) + 8, 1e-3);
  EXPECT_NEAR(full.phi[3][2], 0.6, 1e-5);
}

TEST(fit_pooled, no_spread_gives_order_zero) {
  const PooledFit fit = fit_pooled(std::array<double, kPoolLags>{}, 100, 0);
  EXPECT_EQ(fit.order, 0);
  EXPECT_TRUE(fit.coefficients.empty());
  EXPECT_EQ(fit.r_squared, 0.0f);
}

// A store with `count` series of random spans inside `rows` years from year 1001, a few
// missing values, and the set's span in the row after the last series.
Tsi1 random_store(int rows, int count, unsigned seed) {
  std::mt19937 gen(seed);
  std::uniform_int_distribution<int> start(0, rows - 1);
  std::normal_distribution<float> value(1.0f, 0.3f);
  Tsi1 store;
  store.reshape(rows, count);
  for (int i = 1; i <= count; ++i) {
    int a = start(gen), b = start(gen);
    if (a > b) std::swap(a, b);
    store.year_row(i) = SeriesYears{.ify = 1001 + a, .ily = 1001 + b};
    for (int r = a; r <= b; ++r) store.at(r + 1, i) = value(gen);
    if (b - a > 4) store.at(a + 3, i) = kMissing;
  }
  store.year_row(count + 1) = SeriesYears{.ify = 1001, .ily = 1000 + rows};
  return store;
}

TEST(pooled_cross_products, equal_the_sum_over_ordered_pairs) {
  const Tsi1 store = random_store(60, 9, 7);
  std::vector<int> lead(9, 1);
  lead[4] = 0;  // a series that only partners
  const auto fast = pooled_cross_products(store, 1001, lead);
  // The definition: every lead series i with every series j, both years inside the overlap.
  std::array<double, kPoolLags> brute{};
  Tsi1 copy = store;
  for (int i = 1; i <= 9; ++i) {
    if (!lead[i - 1]) continue;
    for (int j = 1; j <= 9; ++j) {
      const SeriesYears &yi = copy.years[i - 1], &yj = copy.years[j - 1];
      const int s = std::max(yi.ify, yj.ify), e = std::min(yi.ily, yj.ily);
      for (int lag = 0; lag < kPoolLags; ++lag) {
        for (int t = s; t + lag <= e; ++t) {
          const float a = copy.at(t - 1000, i), b = copy.at(t + lag - 1000, j);
          if (a != kMissing && b != kMissing) brute[lag] += static_cast<double>(a) * b;
        }
      }
    }
  }
  for (int lag = 0; lag < kPoolLags; ++lag) {
    EXPECT_NEAR(fast[lag], brute[lag], 1e-9 * std::fabs(brute[0])) << "lag " << lag;
  }
}

class PoolRun : public ChronologyRun {
 protected:
  void SetUp() override {
    ChronologyRun::SetUp();
    commands_.at(Commands::kPooledArSwitch) = 'n';
  }
};

TEST_F(PoolRun, single_series_gives_the_yule_walker_fit) {
  // Expected values from R 4 (Debian r-base-core):
  //   x <- sin(1:60 * 0.7) + 0.5 * cos(1:60 * 0.13) + ((1:60 * 37) %% 11) / 10
  //   ar.yw(x, aic = FALSE, order.max = 3, demean = TRUE)$ar
  //     0.747202584 -0.066352652 -0.251477411
  //   acf(x, lag.max = 10)  0.64137557 0.25159336 -0.10604317 -0.51157674 -0.43477345 ...
  //   sum(ar * acf[2:4]) = 0.48921106; ARMAtoMA(ar, lag.max = 9)
  Tsi1 store;
  store.reshape(60, 1);
  for (int t = 1; t <= 60; ++t) {
    store.at(t, 1) =
        static_cast<float>(std::sin(t * 0.7) + 0.5 * std::cos(t * 0.13) + ((t * 37) % 11) / 10.0);
  }
  store.year_row(1) = SeriesYears{.ify = 1901, .ily = 1960};
  store.year_row(2) = SeriesYears{.ify = 1901, .ily = 1960};
  icommands_[opt::pooled_ar_order] = 3;
  const PoolResult result =
      pool(store, 60, std::vector<int>{1}, icommands_, commands_, units_, plots_);
  ASSERT_EQ(result.order, 3);
  EXPECT_NEAR(result.coefficients[0], 0.747202584, 2e-5);
  EXPECT_NEAR(result.coefficients[1], -0.066352652, 2e-5);
  EXPECT_NEAR(result.coefficients[2], -0.251477411, 2e-5);
  EXPECT_NEAR(result.r_squared, 0.48921106, 2e-5);
  ASSERT_TRUE(result.variance_inflation.has_value());
  EXPECT_NEAR(*result.variance_inflation, 1.0 / (1.0 - 0.48921106), 1e-4);

  const auto lines = report();
  EXPECT_TRUE(contains(lines, " pooled autocorrelations:"));
  EXPECT_TRUE(contains(lines,
                       " lag     t= -1  t= -2  t= -3  t= -4  t= -5  t= -6  t= -7  t= -8"
                       "  t= -9  t=-10"));
  EXPECT_TRUE(contains(lines,
                       "         0.641  0.252 -0.106 -0.512 -0.435 -0.167  0.169  0.619"
                       "  0.647  0.448"));
  EXPECT_TRUE(contains(lines, "    3    0.747 -0.066 -0.251"));
  EXPECT_TRUE(contains(lines, " selected autoregression order:   3"));
  EXPECT_TRUE(contains(lines,
                       " ar order selection criterion: ipp>0  "
                       "constrained ar order selection = ipp"));
  EXPECT_TRUE(contains(lines,
                       "  t= -1   t= -2   t= -3   t= -4   t= -5   t= -6   t= -7   t= -8"
                       "   t= -9   t=-10   "));
  EXPECT_TRUE(contains(lines, "  0.747  -0.066  -0.251"));
  EXPECT_TRUE(contains(lines, " r-squared due to pooled autoregression:   48.92 pct"));
  EXPECT_TRUE(contains(lines, " variance inflation from autoregression:  195.78 pct"));
  EXPECT_TRUE(contains(lines,
                       "  1.0000   0.747   0.492   0.067  -0.171  -0.256  -0.197  -0.087"
                       "   0.012   0.064"));
  EXPECT_NE(out_.str().find(" r-squared due to pooled autoregression:   48.92 pct\n"),
            std::string::npos);
  EXPECT_NE(out_.str().find("computing pooled autoregression"), std::string::npos);
}

TEST_F(PoolRun, centres_used_series_and_reports_order_zero) {
  Tsi1 store = random_store(80, 12, 3);
  const Tsi1 before = store;
  std::vector<int> use(12, 1);
  use[5] = 0;
  icommands_[opt::pooled_ar_order] = 0;
  const PoolResult result = pool(store, 80, use, icommands_, commands_, units_, plots_);
  for (int i = 1; i <= 12; ++i) {
    const SeriesYears& y = store.years[i - 1];
    double sum = 0;
    int count = 0;
    for (int t = y.ify; t <= y.ily; ++t) {
      const float v = store.at(t - 1000, i);
      if (v == kMissing) {
        EXPECT_EQ(before.matrix[(i - 1) * 80 + (t - 1001)], kMissing);
        continue;
      }
      sum += v;
      ++count;
    }
    if (i == 6) {
      EXPECT_EQ(store.column(6)[0], const_cast<Tsi1&>(before).column(6)[0]);
    } else {
      EXPECT_NEAR(sum / count, 0.0, 1e-5) << "series " << i;
    }
  }
  // Independent normal values carry no persistence: the criterion keeps order 0, and the
  // report stops after the advice.
  EXPECT_EQ(result.order, 0);
  EXPECT_EQ(result.variance_inflation.value_or(-1.0f), 1.0f);
  const auto lines = report();
  EXPECT_TRUE(contains(lines, " selected autoregression order:   0"));
  EXPECT_FALSE(contains(lines, " autoregression coefficients:"));
  EXPECT_EQ(lines.back(),
            " are close, an kalder run with full-minimum aic order selection might be tried");
}

TEST_F(PoolRun, series_before_the_chronology_is_reported_and_left_out) {
  // Series 2's first year (999) lies before the chronology's first year (1001): it cannot be
  // read, so it is named on the console and left out, uncentred.
  Tsi1 store = random_store(40, 3, 8);
  store.years[1].ify = 999;
  const std::vector<float> before(store.column(2).begin(), store.column(2).end());
  pool(store, 40, std::vector<int>{1, 1, 1}, icommands_, commands_, units_, plots_);
  EXPECT_NE(out_.str().find(" error in pool: iskp =   -2\n"), std::string::npos);
  EXPECT_EQ(std::vector<float>(store.column(2).begin(), store.column(2).end()), before);
}

TEST_F(PoolRun, plot_flag_shows_the_pooled_autoregression_page) {
  Tsi1 store = random_store(40, 3, 5);
  commands_.at(Commands::kPooledArSwitch) = 'y';
  icommands_[opt::pooled_ar_plots] = 1;
  pool(store, 40, std::vector<int>{1, 1, 1}, icommands_, commands_, units_, plots_);
  // The page's short menu, continued with an empty answer.
  EXPECT_NE(out_.str().find("|             [s]ave   <[c]ontinue>             |"),
            std::string::npos);
}

TEST_F(PoolRun, silent_mode_writes_nothing) {
  Tsi1 store = random_store(40, 3, 5);
  commands_.at(Commands::kPooledArSwitch) = 'y';
  const PoolResult result =
      pool(store, 40, std::vector<int>{1, 1, 1}, icommands_, commands_, units_, plots_);
  EXPECT_FALSE(result.variance_inflation.has_value());
  EXPECT_TRUE(report().empty());
  EXPECT_EQ(out_.str(), "");
}

}  // namespace
}  // namespace dendro
