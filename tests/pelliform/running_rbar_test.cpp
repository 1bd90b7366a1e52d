#include "pelliform/running_rbar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "series/console.h"
#include "series/units.h"
#include "statistics/running_rbar.h"

namespace dendro {
namespace {

// Three series over 300 years (1701-2000): the first two follow one pattern, the third
// adds its own noise, so the window correlations vary.
struct RbarCase {
  EngineMatrix x, chron, windows, yearly;
  std::vector<SeriesSpan> spans;
  int n = 300;
  explicit RbarCase(float noise) {
    x.reshape(n, 3);
    unsigned state = 12345;
    auto next = [&] {
      state = state * 1103515245u + 12345u;
      return static_cast<float>((state >> 16) & 0x7fff) / 32768.0f - 0.5f;
    };
    for (int k = 1; k <= n; ++k) {
      const float s = std::sin(k * 0.9f) + 0.5f * std::cos(k * 2.1f);
      x.at(k, 1) = 1.0f + 0.3f * s;
      x.at(k, 2) = 2.0f + 0.6f * s;
      x.at(k, 3) = 1.0f + 0.3f * s + noise * next();
    }
    for (int j = 0; j < 3; ++j) spans.push_back({1701, 2000, 2000});
    spans.push_back({1701, 2000, 2000});
    chron.reshape(n, 3, 0.0f);
    yearly.reshape(n, 5, 0.0f);
    for (int k = 1; k <= n; ++k) {
      chron.at(k, 1) = x.at(k, 1);
      yearly.at(k, 1) = 3.0f;
    }
  }
  int run(int& window, int& overlap, const std::string& file) {
    std::istringstream in;
    std::ostringstream out;
    Console con(in, out);
    Units units;
    units.create(33, file);
    const RunningRbar r = runbar(x, spans, chron.column(1), yearly.column(1), window, overlap);
    report_runbar(r, true, units, 33, con);
    store(r, chron, windows, yearly);
    units.close(33);
    console = out.str();
    window = r.window;
    overlap = r.overlap;
    return static_cast<int>(r.windows.size());
  }
  // The running RBAR alone, without files.
  RunningRbar compute(int window) {
    return runbar(x, spans, chron.column(1), yearly.column(1), window, window - 1);
  }
  std::string console;
};

std::vector<std::string> lines_of(const std::string& file) {
  std::ifstream in(file);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

TEST(runbar, identical_series_windows_and_placement) {
  const auto dir = testing::scratch_folder("runbar_identical");
  RbarCase c(0.0f);
  int window = 50, overlap = 49;
  const int n = c.run(window, overlap, (dir / "r.txt").string());
  // An even window becomes odd, with the old window as the overlap (one year per step).
  EXPECT_EQ(window, 51);
  EXPECT_EQ(overlap, 50);
  // 300 years, 51-year windows one year apart: 250 windows, the first centred on year 26.
  EXPECT_EQ(n, 250);
  EXPECT_FLOAT_EQ(c.windows.at(1, 1), 1726.0f);
  EXPECT_FLOAT_EQ(c.windows.at(250, 1), 1975.0f);
  EXPECT_FLOAT_EQ(c.windows.at(1, 2), 3.0f);  // three pairs
  // Perfectly correlated series: RBAR 1, so NEFF = n / (1 + (n - 1)) = 1 and EPS = 1.
  EXPECT_NEAR(c.windows.at(1, 3), 1.0f, 1e-5);
  EXPECT_NEAR(c.windows.at(1, 6), 1.0f, 1e-5);
  EXPECT_FLOAT_EQ(c.windows.at(1, 7), 3.0f);  // three series with a value every year
  for (int k : {1, 25, 26, 150, 276, 300}) {
    EXPECT_NEAR(c.yearly.at(k, 2), 1.0f, 1e-5) << k;
    EXPECT_NEAR(c.yearly.at(k, 3), 1.0f, 1e-4) << k;
    // sqrt(RBAR x NEFF) = 1: the stabilised chronology is the chronology.
    EXPECT_NEAR(c.chron.at(k, 2), c.chron.at(k, 1), 1e-4) << k;
  }
  const auto lines = lines_of((dir / "r.txt").string());
  ASSERT_EQ(lines.size(), 301u);
  EXPECT_EQ(lines[0], " YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  EXPECT_EQ(lines[1], " 1701      3   1.000   1.000   1.000   1.000   1.000   1.000");
  // Texts from column 2, numbers in columns 37-41.
  EXPECT_NE(c.console.find(" Running RBAR window length:           51"), std::string::npos);
  EXPECT_NE(c.console.find(" Running RBAR segments calculated:    250"), std::string::npos);
}

TEST(runbar, closed_forms_of_eps_neff_and_stabilisation) {
  const auto dir = testing::scratch_folder("runbar_noise");
  RbarCase c(0.8f);
  // Two runs of sample depth: 3 for years 1-120, 2 afterwards.
  for (int k = 121; k <= 300; ++k) c.yearly.at(k, 1) = 2.0f;
  int window = 51, overlap = 50;
  c.run(window, overlap, (dir / "r.txt").string());
  // Years before the first centre carry the first window's RBAR, after the last the last's.
  for (int k = 1; k <= 26; ++k) EXPECT_EQ(c.yearly.at(k, 2), c.windows.at(1, 3));
  for (int k = 276; k <= 300; ++k) EXPECT_EQ(c.yearly.at(k, 2), c.windows.at(250, 3));
  // RBAR2 is the mean RBAR1 of each run of equal depth.
  double first_run = 0;
  for (int k = 1; k <= 120; ++k) first_run += c.yearly.at(k, 2);
  EXPECT_NEAR(c.yearly.at(60, 4), first_run / 120.0, 1e-5);
  for (int k : {10, 200}) {
    const float n = c.yearly.at(k, 1), r1 = c.yearly.at(k, 2), r2 = c.yearly.at(k, 4);
    EXPECT_NEAR(c.yearly.at(k, 3), n / (1.0f + (n - 1.0f) * r1), 1e-5);
    EXPECT_NEAR(c.yearly.at(k, 5), n / (1.0f + (n - 1.0f) * r2), 1e-5);
    EXPECT_NEAR(yearly_eps(r1, n), n * r1 / (1.0f - r1 + n * r1), 1e-6);
  }
  // The stabilised chronology scales each deviation from the mean by sqrt(RBAR x NEFF).
  double mean = 0;
  for (int k = 1; k <= 300; ++k) mean += c.chron.at(k, 1);
  mean /= 300;
  const int k = 200;
  const double f = std::sqrt(c.yearly.at(k, 2) * c.yearly.at(k, 3));
  EXPECT_NEAR(c.chron.at(k, 2), (c.chron.at(k, 1) - mean) * f + mean, 1e-4);
  // A depth of 1 gives NEFF 1 and EPS = RBAR.
  EXPECT_NEAR(yearly_eps(0.37f, 1.0f), 0.37f, 1e-6);
}

TEST(runbar, undefined_values_are_written_as_the_marker) {
  const auto dir = testing::scratch_folder("runbar_gap");
  // Identical series (RBAR 1) with a gap in coverage, 1801-1810, where no series has a
  // value: EPS = n r / (1 - r + n r) and NEFF = n / (1 + (n - 1) r) are 0 / 0 there.
  RbarCase c(0.0f);
  for (int k = 1; k <= c.n; ++k) c.x.at(k, 2) = c.x.at(k, 3) = c.x.at(k, 1);
  for (int k = 101; k <= 110; ++k) {
    for (int j = 1; j <= 3; ++j) c.x.at(k, j) = kEmptyCell;
    c.yearly.at(k, 1) = 0.0f;
  }
  int window = 51, overlap = 50;
  c.run(window, overlap, (dir / "r.txt").string());
  const auto lines = lines_of((dir / "r.txt").string());
  ASSERT_EQ(lines.size(), 301u);
  EXPECT_EQ(lines[100], " 1800      3   1.000   1.000   1.000   1.000   1.000   1.000");
  EXPECT_EQ(lines[101], " 1801      0   1.000 -99.900 -99.900   1.000 -99.900 -99.900");
  EXPECT_EQ(lines[110], " 1810      0   1.000 -99.900 -99.900   1.000 -99.900 -99.900");
  for (int k = 101; k <= 110; ++k) EXPECT_EQ(c.chron.at(k, 2), c.chron.at(k, 1)) << k;
}

TEST(runbar, too_few_correlations_leave_the_chronology_as_it_is) {
  // Two series give one correlation per window, fewer than a window's RBAR needs.
  RbarCase c(0.3f);
  c.spans.erase(c.spans.begin());
  const RunningRbar r = c.compute(51);
  EXPECT_TRUE(r.windows.empty());
  ASSERT_EQ(r.years.size(), 300u);
  for (std::size_t k : {0u, 150u, 299u}) {
    const RbarYear& y = r.years[k];
    EXPECT_EQ(y.rbar1, kRbarUndefined) << k;
    EXPECT_EQ(y.rbar2, kRbarUndefined) << k;
    EXPECT_EQ(y.neff1, kRbarUndefined) << k;
    EXPECT_EQ(y.eps2(), kRbarUndefined) << k;
    EXPECT_EQ(y.stabilised1, c.chron.at(static_cast<int>(k) + 1, 1)) << k;
    EXPECT_EQ(y.stabilised2, c.chron.at(static_cast<int>(k) + 1, 1)) << k;
  }
}

TEST(runbar, a_negative_rbar_keeps_only_the_mean) {
  // Series 3 is minus the sum of two unrelated waves: correlations near 0, -0.71 and -0.71,
  // RBAR about -0.47, so that RBAR x NEFF is below 0 and has no root to scale by.
  RbarCase c(0.0f);
  for (int k = 1; k <= c.n; ++k) {
    c.x.at(k, 1) = 1.0f + 0.3f * std::sin(k * 0.9f);
    c.x.at(k, 2) = 1.0f + 0.3f * std::cos(k * 0.9f);
    c.x.at(k, 3) = 3.0f - c.x.at(k, 1) - c.x.at(k, 2);
    c.chron.at(k, 1) = c.x.at(k, 1);
  }
  const RunningRbar r = c.compute(51);
  ASSERT_FALSE(r.windows.empty());
  EXPECT_LT(r.windows.front().rbar, -0.3f);
  double mean = 0;
  for (int k = 1; k <= c.n; ++k) mean += c.chron.at(k, 1);
  mean /= c.n;
  for (std::size_t k : {0u, 100u, 299u}) {
    EXPECT_LT(r.years[k].rbar1 * r.years[k].neff1, 0.0f) << k;
    EXPECT_NEAR(r.years[k].stabilised1, mean, 1e-4) << k;
    EXPECT_NEAR(r.years[k].stabilised2, mean, 1e-4) << k;
  }
}

TEST(runbar, a_chronology_shorter_than_the_years_is_refused) {
  RbarCase c(0.0f);
  std::vector<float> short_chronology(299, 1.0f);
  EXPECT_THROW(runbar(c.x, c.spans, short_chronology, c.yearly.column(1), 51, 50),
               std::invalid_argument);
}

TEST(runbar, eps_and_neff_of_an_undefined_rbar_are_undefined) {
  EXPECT_EQ(yearly_eps(kRbarUndefined, 5.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(kRbarUndefined, 5.0f), kRbarUndefined);
  // RBAR -1 with two series: 1 + (n - 1) r = 0.
  EXPECT_EQ(yearly_eps(-1.0f, 2.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(-1.0f, 2.0f), kRbarUndefined);
  // 10 series with RBAR 0.5: NEFF = 10 / 5.5, EPS = 5 / 5.5.
  EXPECT_FLOAT_EQ(yearly_neff(0.5f, 10.0f), 10.0f / 5.5f);
  EXPECT_FLOAT_EQ(yearly_eps(0.5f, 10.0f), 5.0f / 5.5f);
}

}  // namespace
}  // namespace dendro
