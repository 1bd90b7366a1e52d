#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <vector>

#include "chronology/robsum.h"
#include "series/biweight.h"
#include "series/blocks.h"
#include "series/bootstrap.h"
#include "series/option_values.h"
#include "series/store.h"
#include "tests/chronology/series_set.h"

namespace dendro {
namespace {

constexpr float M = kMissing;

MeanChronology build(const Tsi1& set, const Icommands& o, MeanKind kind, float rbar = 0.5f) {
  Rand rand;
  return mean_chronology(set, {kind, kind, o}, rbar, rand);
}

TEST(mean_chronology, empty_years_and_limits) {
  // 1901-1903: six series in 1901, none in 1902, two in 1903.
  const Tsi1 set = series_set(
      1901,
      {{1.0f, M, 1.1f}, {1.1f, M, 0.9f}, {0.9f, M, M}, {1.2f, M, M}, {0.8f, M, M}, {1.05f, M, M}});
  Icommands o;
  o[opt::mean_chronology] = mean_kind::biweight;
  o[opt::bootstrap_limits] = 1;
  const MeanChronology c = build(set, o, MeanKind::standard);
  ASSERT_EQ(c.length(), 3);
  EXPECT_EQ(c.first_year, 1901);
  EXPECT_EQ(c.last_year(), 1903);
  EXPECT_EQ(c.years[0].depth, 6);
  EXPECT_EQ(c.years[1].depth, 0);
  EXPECT_EQ(c.years[2].depth, 2);
  // An empty year of indices stands at 1.0 without spread or limits, and keeps the
  // efficiency and iterations of the year before it.
  const MeanYear& empty = c.years[1];
  EXPECT_EQ(empty.mean, 1.0f);
  EXPECT_EQ(empty.std_dev, 0.0f);
  EXPECT_EQ(empty.std_error, 0.0f);
  EXPECT_FALSE(empty.limits.has_value());
  ASSERT_NE(c.years[0].efficiency, 1.0f);
  EXPECT_EQ(empty.efficiency, c.years[0].efficiency);
  EXPECT_EQ(empty.iterations, c.years[0].iterations);
  // Six values have bootstrap limits about the mean; two have both limits at the mean.
  ASSERT_TRUE(c.years[0].limits.has_value());
  EXPECT_LT(c.years[0].limits->lower, c.years[0].mean);
  EXPECT_GT(c.years[0].limits->upper, c.years[0].mean);
  ASSERT_TRUE(c.years[2].limits.has_value());
  EXPECT_FLOAT_EQ(c.years[2].limits->lower, 1.0f);
  EXPECT_FLOAT_EQ(c.years[2].limits->upper, 1.0f);
  // Every year counts once in the efficiency lists.
  EXPECT_EQ(c.efficiency.gains.size() + c.efficiency.losses.size(), 3u);
  // No stabilisation asked for: the chronology is the yearly means.
  EXPECT_FALSE(c.stabilisation.applied());
  EXPECT_EQ(c.chronology, (std::vector<float>{c.years[0].mean, 1.0f, c.years[2].mean}));

  // Measurements put 0.0 in an empty year.
  EXPECT_EQ(build(set, o, MeanKind::raw).years[1].mean, 0.0f);
}

// The bootstrap limits of every year drawn one year after another from `rand`, as the
// builder drew them before its years ran side by side: 700 resamples of six values, 1000 of
// more, each draw a position among the year's values in series order.
std::vector<std::optional<YearLimits>> limits_in_turn(Tsi1 set, int kind, Rand& rand) {
  std::vector<std::optional<YearLimits>> limits;
  std::vector<float> values;
  for (int r = 1; r <= set.rows; ++r) {
    set.present_in_row(r, values);
    if (values.empty()) {
      limits.emplace_back();
      continue;
    }
    std::vector<float> work = values;
    const float mean = biwgt(work, kBiweightTuning, kind).location;
    if (values.size() < 6) {
      limits.push_back(YearLimits{mean, mean});
      continue;
    }
    const int n = static_cast<int>(values.size());
    std::vector<float> replicates(n == 6 ? 700 : 1000), sample(values.size());
    for (float& replicate : replicates) {
      for (float& v : sample) v = values[static_cast<std::size_t>(rand.pick(n))];
      replicate = biwgt(sample, kBiweightTuning, kind).location;
    }
    const BootstrapLimits l = mccon(values, 95.0f, mean, replicates, kind);
    limits.push_back(YearLimits{l.bca.lower, l.bca.upper});
  }
  return limits;
}

TEST(mean_chronology, years_side_by_side_draw_as_one_after_another) {
  // Nine series over 14 years, from one series in the first year to all nine, with gaps
  // and tied values: years of 1 to 5 values, of exactly 6 and of more.
  std::vector<std::vector<float>> columns(9, std::vector<float>(14, M));
  for (int i = 0; i < 9; ++i) {
    for (int r = i; r < 14; ++r) {
      if ((i + r) % 5 == 4 && r > 9) continue;
      columns[at(i + 1)][at(r + 1)] = 0.8f + 0.05f * static_cast<float>((7 * i + 3 * r) % 9);
    }
  }
  const Tsi1 set = series_set(1801, columns);
  for (const int kind : {mean_kind::biweight, mean_kind::arithmetic}) {
    Icommands o;
    o[opt::mean_chronology] = kind;
    o[opt::bootstrap_limits] = 1;
    Rand rand, in_turn;
    const MeanChronology c =
        mean_chronology(set, {MeanKind::standard, MeanKind::standard, o}, 0.5f, rand);
    const auto expected = limits_in_turn(set, kind, in_turn);
    ASSERT_EQ(c.length(), 14);
    for (std::size_t y = 0; y < expected.size(); ++y) {
      ASSERT_EQ(c.years[y].limits.has_value(), expected[y].has_value()) << y;
      if (!expected[y]) continue;
      EXPECT_EQ(c.years[y].limits->lower, expected[y]->lower) << kind << " year " << y;
      EXPECT_EQ(c.years[y].limits->upper, expected[y]->upper) << kind << " year " << y;
    }
    // The generator ends where the draws in turn left it.
    EXPECT_EQ(rand.s1, in_turn.s1);
    EXPECT_EQ(rand.s2, in_turn.s2);
    EXPECT_EQ(rand.s3, in_turn.s3);
  }
}

TEST(mean_chronology, weights_by_series_at_four_decimals) {
  // Year 1501: six values, c = 7.5; the biweight's last pass gives the weights 0.99964,
  // 0.97141, 0.95743, 0.87578, 0.84933, 0.99432 (python3, four passes from the median with
  // u = (x - T) / (c MAD) and weights (1 - u^2)^2, in double). Series 6 has no value in 1502.
  const Tsi1 set = series_set(
      1501, {{1.0f, 1.0f}, {1.1f, 1.1f}, {0.9f, 0.9f}, {1.2f, 1.2f}, {0.8f, 0.8f}, {1.05f, M}});
  Icommands o;
  o[opt::mean_chronology] = mean_kind::biweight;
  // Neither the weights file nor the weights plot: no weights are kept.
  EXPECT_TRUE(build(set, o, MeanKind::residual).weights.empty());
  o[opt::core_series_save] = 1;
  const MeanChronology c = build(set, o, MeanKind::residual);
  ASSERT_EQ(c.weights.size(), 12u);
  const float expected[] = {0.9996f, 0.9714f, 0.9574f, 0.8758f, 0.8493f, 0.9943f};
  for (std::size_t j = 0; j < 6; ++j) EXPECT_FLOAT_EQ(c.weights[2 * j], expected[j]) << j;
  EXPECT_EQ(c.weights[11], kMissing);
  // The arithmetic mean has no weights.
  o[opt::mean_chronology] = mean_kind::arithmetic;
  EXPECT_TRUE(build(set, o, MeanKind::residual).weights.empty());
}

TEST(mean_chronology, no_weights_without_a_year_of_six_series) {
  const Tsi1 set = series_set(1501, {{1.0f}, {1.1f}, {0.9f}, {1.2f}, {0.8f}});
  Icommands o;
  o[opt::mean_chronology] = mean_kind::biweight;
  o[opt::summary_plots] = 2;
  EXPECT_TRUE(build(set, o, MeanKind::residual).weights.empty());
}

TEST(mean_chronology, stabilisation_keeps_the_routines_lines_and_the_shift) {
  const Tsi1 set = series_set(1601, {{1.0f, 1.2f, 0.8f}, {M, 1.2f, 0.8f}, {M, M, 0.8f}});
  Icommands o;
  o[opt::mean_chronology] = mean_kind::arithmetic;
  o[opt::stabilisation] = 1;
  // An rbar of 0 reaches the rbar weighting, which refuses it on its console line; the
  // chronology stays as it is.
  const MeanChronology zero = build(set, o, MeanKind::standard, 0.0f);
  ASSERT_TRUE(zero.stabilisation.applied());
  EXPECT_FALSE(zero.stabilisation.rbar_below_zero);
  EXPECT_EQ(zero.stabilisation.notes, "*** rbar .le. 0 in sbr stabbm ***\n");
  EXPECT_EQ(zero.stabilisation.shift, (std::vector<float>{0.0f, 0.0f, 0.0f}));
  EXPECT_EQ(zero.chronology, (std::vector<float>{1.0f, 1.2f, 0.8f}));
  // Below 0 it is not tried.
  const MeanChronology negative = build(set, o, MeanKind::standard, -0.1f);
  EXPECT_TRUE(negative.stabilisation.rbar_below_zero);
  EXPECT_EQ(negative.stabilisation.notes, "");
  // With an rbar the shift is what the stabilisation moved each mean by.
  const MeanChronology weighted = build(set, o, MeanKind::standard, 0.5f);
  ASSERT_EQ(weighted.stabilisation.shift.size(), 3u);
  EXPECT_NE(weighted.stabilisation.shift[1], 0.0f);
  for (std::size_t t = 0; t < 3; ++t) {
    EXPECT_FLOAT_EQ(weighted.stabilisation.shift[t],
                    weighted.chronology[t] - weighted.years[t].mean);
  }
  // Measurements are not stabilised.
  EXPECT_FALSE(build(set, o, MeanKind::raw, 0.5f).stabilisation.applied());
}

TEST(store, limits_move_with_the_stabilisation) {
  MeanChronology c;
  c.first_year = 1700;
  c.years.resize(2);
  c.years[0] = MeanYear{.depth = 3,
                        .segment_length = 40.0f,
                        .tree_age = 20.0f,
                        .mean = 1.0f,
                        .std_error = 0.1f,
                        .limits = YearLimits{0.9f, 1.1f}};
  c.years[1].mean = 1.0f;  // an empty year
  c.chronology = {1.5f, 1.25f};
  std::vector<int> depth(2, -1);
  std::vector<float> segment(2), age(2), chronology(2), error(2);
  std::vector<float> lower(2, 7.0f), upper(2, 8.0f);
  const ChronologyColumns out{depth, segment, age, chronology, error, lower, upper};
  // Without a stabilisation the year with values takes its limits, the empty year keeps its.
  store(c, out);
  EXPECT_EQ(depth, (std::vector<int>{3, 0}));
  EXPECT_EQ(segment[0], 40.0f);
  EXPECT_EQ(age[0], 20.0f);
  EXPECT_EQ(chronology, c.chronology);
  EXPECT_EQ(error[0], 0.1f);
  EXPECT_EQ(lower, (std::vector<float>{0.9f, 7.0f}));
  EXPECT_EQ(upper, (std::vector<float>{1.1f, 8.0f}));
  // A stabilisation moves both limits of every year by its shift.
  c.stabilisation.method = 1;
  c.stabilisation.shift = {0.5f, 0.25f};
  lower.assign(2, 7.0f);
  upper.assign(2, 8.0f);
  store(c, out);
  EXPECT_FLOAT_EQ(lower[0], 1.4f);
  EXPECT_FLOAT_EQ(upper[0], 1.6f);
  EXPECT_EQ(lower[1], 7.25f);
  EXPECT_EQ(upper[1], 8.25f);
  // A column shorter than the chronology is refused.
  std::vector<float> short_error(1);
  EXPECT_THROW(store(c, {depth, segment, age, chronology, short_error, lower, upper}),
               std::invalid_argument);
}

}  // namespace
}  // namespace dendro
