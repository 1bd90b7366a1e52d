#include "statistics/power_estimates.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "tests/statistics/test_support.h"

namespace dendro {
namespace {

constexpr double kPi = 3.14159265358979323846;

using testing::Noise;

std::vector<float> white_noise(int n, std::uint64_t seed) {
  Noise noise(seed);
  std::vector<float> x(static_cast<std::size_t>(n));
  for (float& v : x) v = noise.next();
  return x;
}

// Trapezoid sum over the frequencies: the ends count half.
double trapezoid(const std::vector<float>& s) {
  double sum = 0.5 * (s.front() + s.back());
  for (std::size_t j = 1; j + 1 < s.size(); ++j) sum += s[j];
  return sum;
}

TEST(ftfreq, lengths_lags_and_status) {
  std::vector<float> x = white_noise(300, 1);
  FtfreqResult fit = ftfreq(x, 300 / 3);
  ASSERT_EQ(fit.status, kFtfreqOk);
  ASSERT_EQ(fit.frequency.size(), 101u);
  EXPECT_FLOAT_EQ(fit.frequency[1], 0.005f);  // 1 / (2 * 100)
  EXPECT_FLOAT_EQ(fit.frequency[100], 0.5f);

  EXPECT_EQ(ftfreq(std::span<const float>(x).first(9), 3).status, kFtfreqOk);
  EXPECT_EQ(ftfreq(std::span<const float>(x).first(8), 2).status, kFtfreqBadLength);
  EXPECT_EQ(ftfreq(std::span<const float>(x).first(3), 3).status, kFtfreqBadLength);
  EXPECT_EQ(ftfreq(std::span<const float>(x).first(10), 10).status, kFtfreqBadLength);
  EXPECT_EQ(ftfreq(x, 100, 0.0f).status, kFtfreqBadStep);
  EXPECT_TRUE(ftfreq(x, 100, -1.0f).spectrum.empty());

  const std::vector<float> copy = x;
  ftfreq(x, 100);
  EXPECT_EQ(x, copy);  // the caller's series is not centred
}

TEST(ftfreq, moments_and_autocovariances) {
  // Hand: x = 1, 2, 3, 4, 5: mean 3, variance (4 + 1 + 0 + 1 + 4) / 5 = 2.
  // Deviations -2 -1 0 1 2: lag 1 sum (2 + 0 + 0 + 2) / 5 = 0.8, rescaled by 5 / 4 to 1.0;
  // lag 2 sum (0 - 1 + 0) / 5 = -0.2, rescaled by 5 / 3 to -1/3;
  // lag 3 sum (-2 - 2) / 5 = -0.8, rescaled by 5 / 2 to -2.
  const std::vector<float> x{1, 2, 3, 4, 5};
  FtfreqResult fit = ftfreq(x, 3);
  ASSERT_EQ(fit.status, kFtfreqOk);
  EXPECT_FLOAT_EQ(fit.mean, 3.0f);
  EXPECT_FLOAT_EQ(fit.variance, 2.0f);
  ASSERT_EQ(fit.acov.size(), 4u);
  EXPECT_NEAR(fit.acov[1], 1.0, 1e-6);
  EXPECT_NEAR(fit.acov[2], -1.0 / 3.0, 1e-6);
  EXPECT_NEAR(fit.acov[3], -2.0, 1e-6);

  const FtautoMoments m = ftauto(x);
  EXPECT_FLOAT_EQ(m.mean, 3.0f);
  EXPECT_FLOAT_EQ(m.variance, 2.0f);
  const std::vector<float> c = ftauto(x, 3.0f, 2);  // about the given mean, divisor n
  EXPECT_NEAR(c[1], 0.8, 1e-6);
  EXPECT_NEAR(c[2], -0.2, 1e-6);
}

TEST(ftfreq, constant_series_has_no_power) {
  const std::vector<float> x(30, 1.25f);
  FtfreqResult fit = ftfreq(x, 10);
  ASSERT_EQ(fit.status, kFtfreqOk);
  for (float s : fit.spectrum) EXPECT_EQ(s, 0.0f);
}

// The raw estimate is a cosine transform on the grid j pi / M: its trapezoid sum over
// j = 0..M is c(0) M / pi (every cosine term sums to 0), and Hamming weights that sum to 1
// at every frequency, the ends included, keep that sum. So the mean power is c(0) / pi.
TEST(ftfreq, smoothing_keeps_the_total_power) {
  for (int n : {9, 100, 301}) {
    const std::vector<float> x = white_noise(n, static_cast<std::uint64_t>(n));
    const FtfreqResult fit = ftfreq(x, n / 3);
    ASSERT_EQ(fit.status, kFtfreqOk);
    const double m = n / 3;
    EXPECT_NEAR(trapezoid(fit.spectrum) / m, fit.variance / kPi, 1e-5 * fit.variance) << n;
  }
}

// x(t) = cos(2 pi f0 t) with f0 = j0 / (2M) on the frequency grid: c(k) = cos(k j0 pi / M) / 2
// (to O(1/n)), so by the orthogonality of the cosines on the grid R(j0) = (2/pi)(1/2)(M/2)
// = M / (2 pi) and R(j) = 0 elsewhere; smoothing gives S(j0) = 0.54 M / (2 pi) and
// S(j0 +- 1) = 0.23 M / (2 pi).
TEST(ftfreq, sinusoid_peaks_at_its_frequency) {
  const int n = 600, m = 200, j0 = 40;  // f0 = 0.1: a ten-year cycle
  std::vector<float> x(n);
  for (int t = 1; t <= n; ++t) x[t - 1] = static_cast<float>(std::cos(2 * kPi * 0.1 * t));
  const FtfreqResult fit = ftfreq(x, m);
  ASSERT_EQ(fit.status, kFtfreqOk);
  const double peak = m / (2 * kPi);
  EXPECT_NEAR(fit.frequency[j0], 0.1, 1e-7);
  EXPECT_NEAR(fit.spectrum[j0], 0.54 * peak, 0.01 * peak);
  EXPECT_NEAR(fit.spectrum[j0 - 1], 0.23 * peak, 0.01 * peak);
  EXPECT_NEAR(fit.spectrum[j0 + 1], 0.23 * peak, 0.01 * peak);
  for (int j = 0; j <= m; ++j) {
    if (std::abs(j - j0) > 1) {
      EXPECT_LT(std::abs(fit.spectrum[j]), 0.01 * peak) << j;
    }
  }
}

// White noise of variance v has the flat spectrum v / pi on this scale (the mean power is
// c(0) / pi, see above). With n = 20000 and M = 20 the estimate's relative standard error
// is about sqrt(0.8 M / n) = 3 percent (twice the variance at j = 0 and M), so 15 percent
// is more than 3.5 standard errors everywhere.
TEST(ftfreq, white_noise_is_flat) {
  const std::vector<float> x = white_noise(20000, 7);
  const FtfreqResult fit = ftfreq(x, 20);
  const double flat = (1.0 / 12.0) / kPi;  // uniform on a unit interval: variance 1/12
  for (float s : fit.spectrum) EXPECT_NEAR(s, flat, 0.15 * flat);
}

// AR(1), x(t) = phi x(t-1) + e(t): spectral density on this scale (mean power = variance
// / pi) is (var(e) / pi) / (1 + phi^2 - 2 phi cos(2 pi f)).
TEST(ftfreq, ar1_spectrum_shape) {
  const int n = 40000, m = 40;
  const double phi = 0.6;
  Noise noise(11);
  std::vector<float> x(n);
  double previous = 0;
  for (int t = -100; t < n; ++t) {  // 100 years of burn-in
    previous = phi * previous + noise.next();
    if (t >= 0) x[t] = static_cast<float>(previous);
  }
  const FtfreqResult fit = ftfreq(x, m);
  ASSERT_EQ(fit.status, kFtfreqOk);
  for (int j = 0; j <= m; ++j) {
    const double f = fit.frequency[j];
    const double expected = (1.0 / 12.0) / kPi / (1 + phi * phi - 2 * phi * std::cos(2 * kPi * f));
    EXPECT_NEAR(fit.spectrum[j], expected, 0.1 * expected) << j;
  }
  EXPECT_GT(fit.spectrum[0], 10 * fit.spectrum[m]);  // red: (1.6 / 0.4)^2 = 16 in theory
}

class SfreqFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ =
        std::filesystem::path(::testing::TempDir()) /
        ("sfreq_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  // `answers` answers the spectra plot's menu.
  std::vector<std::string> run(const Tsi2& tsi2, int n, int plot_switch,
                               const std::string& answers = "") {
    std::istringstream in(answers);
    Console con(in, console_);
    Units units;
    PlotSession plots(con, units.files(), PlotSession::Screen::none);
    sfreq(tsi2, n, 3, 5, plot_switch, (dir_ / "site.txt").string(), units, unit::series, plots);
    EXPECT_FALSE(units.is_open(unit::series));
    std::ifstream f(dir_ / "site_spectra.txt");
    std::vector<std::string> lines;
    for (std::string line; std::getline(f, line);) lines.push_back(line);
    return lines;
  }

  std::filesystem::path dir_;
  std::ostringstream console_;
};

TEST_F(SfreqFile, header_and_rows) {
  Tsi2 tsi2;
  tsi2.reshape(300);
  const std::vector<float> noise = white_noise(300, 3);
  for (int r = 1; r <= 300; ++r) {
    tsi2.at(r, 5) = noise[r - 1];
    tsi2.at(r, 6) = 1.0f;  // constant: zero power
    tsi2.at(r, 7) = static_cast<float>(std::cos(2 * kPi * 0.25 * r));
  }
  const std::vector<std::string> lines = run(tsi2, 300, 1);
  ASSERT_EQ(lines.size(), 102u);  // header and M + 1 = 101 rows
  EXPECT_EQ(lines[0], " FREQUENCY   POWER_STD_CRN   POWER_RES_CRN   POWER_KLD_CRN");
  EXPECT_EQ(lines[1].substr(0, 9), "  0.00000");
  EXPECT_EQ(lines[2].substr(0, 9), "  0.00500");
  EXPECT_EQ(lines[101].substr(0, 9), "  0.50000");
  EXPECT_EQ(lines[1].substr(23, 16), "         0.00000");  // f9.5, f14.5, then f16.5
  // Period 4 on M = 100: the peak sits at j = 50, worth 0.54 M / (2 pi) = 8.594.
  EXPECT_EQ(lines[51].substr(0, 9), "  0.25000");
  EXPECT_NEAR(std::stod(lines[51].substr(39)), 0.54 * 100 / (2 * kPi), 0.05);
  EXPECT_EQ(lines[51].size(), 55u);
  EXPECT_EQ(console_.str(), "");  // no plot asked, nothing to say
}

TEST_F(SfreqFile, short_chronology_and_plot_note) {
  Tsi2 tsi2;
  tsi2.reshape(8);
  for (int r = 1; r <= 8; ++r)
    tsi2.at(r, 5) = tsi2.at(r, 6) = tsi2.at(r, 7) = static_cast<float>(r);
  std::vector<std::string> lines = run(tsi2, 8, 2);
  ASSERT_EQ(lines.size(), 1u);  // M = 2: no estimate, the header alone
  EXPECT_NE(console_.str().find("shorter than 9 years"), std::string::npos);

  console_.str("");
  tsi2.reshape(9);
  for (int r = 1; r <= 9; ++r)
    tsi2.at(r, 5) = tsi2.at(r, 6) = tsi2.at(r, 7) = static_cast<float>(r % 3);
  lines = run(tsi2, 9, 3, "c\n");
  EXPECT_EQ(lines.size(), 5u);  // M = 3: four frequencies
  // The plot's menu, answered with a continue.
  EXPECT_NE(console_.str().find("|       [s]ave   <[c]ontinue>   [r]eplot        |\n"),
            std::string::npos);
}

TEST(spectra_table, log_switch_and_bad_columns) {
  Tsi2 tsi2;
  tsi2.reshape(30);
  for (int r = 1; r <= 30; ++r) {
    tsi2.at(r, 5) = static_cast<float>(r % 5);
    tsi2.at(r, 6) = 2.0f;  // constant: power 0, which a log axis cannot show
  }
  const SpectraTable table = spectra_table(tsi2, 30, 2, 5);
  EXPECT_EQ(table.log_switch, 0);
  EXPECT_EQ(table.frequency.size(), 11u);
  EXPECT_THROW(spectra_table(tsi2, 31, 2, 5), std::invalid_argument);
  EXPECT_THROW(spectra_table(tsi2, 30, 3, 15), std::invalid_argument);
}

}  // namespace
}  // namespace dendro
