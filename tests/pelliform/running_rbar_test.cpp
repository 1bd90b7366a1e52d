#include "pelliform/running_rbar.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "engine_fixture.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/index.h"
#include "statistics/running_rbar.h"

namespace dendro {
namespace {

// Three series over 300 years (1701-2000): the first two follow one pattern, the third
// adds its own noise, so the window correlations vary.
struct RbarCase {
  EngineMatrix x;
  std::vector<float> chronology, depth;
  std::vector<SeriesSpan> spans;
  int n = 300;
  explicit RbarCase(float noise) : chronology(300), depth(300, 3.0f) {
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
      chronology[at(k)] = x.at(k, 1);
    }
    for (int j = 0; j < 3; ++j) spans.push_back({1701, 2000, 2000});
    spans.push_back({1701, 2000, 2000});
  }
  RunningRbar run(int window, int overlap) const {
    return runbar(x, spans, chronology, depth, window, overlap);
  }
};

// The RBAR file and console text of a result.
struct RbarReport {
  std::vector<std::string> file;
  std::string console;
};

RbarReport report(const RunningRbar& r, const std::filesystem::path& dir, int first_year = 1701) {
  const std::string file = (dir / "r.txt").string();
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  Units units;
  units.create(pelliform_unit::rbar, file);
  say_runbar_settings(r, con);
  write_runbar_table(r, first_year, units, pelliform_unit::rbar);
  units.close(pelliform_unit::rbar);
  RbarReport report{{}, out.str()};
  std::ifstream lines(file);
  for (std::string l; std::getline(lines, l);) report.file.push_back(l);
  return report;
}

namespace wcol = rbar_window_column;
namespace ycol = rbar_yearly_column;
namespace ccol = rbar_chronology_column;

TEST(runbar, identical_series_windows_and_placement) {
  const RunningRbar r = RbarCase(0.0f).run(50, 49);
  // An even window becomes odd, with the old window as the overlap (one year per step).
  EXPECT_EQ(r.window, 51);
  EXPECT_EQ(r.overlap, 50);
  // 300 years, 51-year windows one year apart: 250 windows, the first centred on year 26.
  EXPECT_EQ(r.defined_windows(), 250);
  EXPECT_FLOAT_EQ(r.windows.at(1, wcol::centre_year), 1726.0f);
  EXPECT_FLOAT_EQ(r.windows.at(250, wcol::centre_year), 1975.0f);
  EXPECT_FLOAT_EQ(r.windows.at(1, wcol::correlations), 3.0f);  // three pairs
  // Perfectly correlated series: RBAR 1, so NEFF = n / (1 + (n - 1)) = 1 and EPS = 1.
  EXPECT_NEAR(r.windows.at(1, wcol::rbar), 1.0f, 1e-5);
  EXPECT_NEAR(r.windows.at(1, wcol::eps), 1.0f, 1e-5);
  EXPECT_FLOAT_EQ(r.windows.at(1, wcol::series), 3.0f);  // three series with a value every year
  for (int k : {1, 25, 26, 150, 276, 300}) {
    EXPECT_NEAR(r.yearly.at(k, ycol::rbar1), 1.0f, 1e-5) << k;
    EXPECT_NEAR(r.yearly.at(k, ycol::neff1), 1.0f, 1e-4) << k;
    // sqrt(RBAR x NEFF) = 1: the stabilised chronology is the chronology.
    EXPECT_NEAR(r.chronology.at(k, ccol::rbar1_stabilised), r.chronology.at(k, ccol::chronology),
                1e-4)
        << k;
  }
}

TEST(runbar, an_odd_window_and_its_overlap_stand) {
  const RunningRbar r = RbarCase(0.0f).run(51, 41);
  EXPECT_EQ(r.window, 51);
  EXPECT_EQ(r.overlap, 41);
  // Windows ten years apart: starts 1701, 1711, ..., 1941 (the last ending in 1991).
  EXPECT_EQ(r.defined_windows(), 25);
  EXPECT_FLOAT_EQ(r.windows.at(2, wcol::centre_year), 1736.0f);
}

TEST(runbar, report_of_the_settings_and_the_yearly_table) {
  const RbarReport out =
      report(RbarCase(0.0f).run(50, 49), testing::scratch_folder("runbar_report"));
  ASSERT_EQ(out.file.size(), 301u);
  EXPECT_EQ(out.file[0], " YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  EXPECT_EQ(out.file[1], " 1701      3   1.000   1.000   1.000   1.000   1.000   1.000");
  EXPECT_EQ(out.file[300].substr(0, 5), " 2000");
  // Texts from column 2, numbers in columns 37-41.
  EXPECT_EQ(out.console,
            "\n Running RBAR window length:           51\n"
            " Running RBAR window overlap:          50\n"
            " Running RBAR segments calculated:    250\n");
}

TEST(runbar, yearly_table_of_years_before_minus_9999_widens_its_year_field) {
  const RbarReport out =
      report(RbarCase(0.0f).run(50, 49), testing::scratch_folder("runbar_early"), -10150);
  ASSERT_EQ(out.file.size(), 301u);
  EXPECT_EQ(out.file[0], "  YEAR     NC   RBAR1    EPS1   NEFF1   RBAR2    EPS2   NEFF2");
  EXPECT_EQ(out.file[1], "-10150      3   1.000   1.000   1.000   1.000   1.000   1.000");
  EXPECT_EQ(out.file[152].substr(0, 6), " -9999");
  EXPECT_EQ(out.file[300].substr(0, 6), " -9851");
  // From -9999 on the table keeps its five columns.
  const RbarReport later =
      report(RbarCase(0.0f).run(50, 49), testing::scratch_folder("runbar_later"), -9999);
  EXPECT_EQ(later.file[1], "-9999      3   1.000   1.000   1.000   1.000   1.000   1.000");
}

TEST(runbar, closed_forms_of_eps_neff_and_stabilisation) {
  RbarCase c(0.8f);
  // Two runs of sample depth: 3 for years 1-120, 2 afterwards.
  for (int k = 121; k <= 300; ++k) c.depth[at(k)] = 2.0f;
  const RunningRbar r = c.run(51, 50);
  const EngineMatrix& y = r.yearly;
  // Years before the first centre carry the first window's RBAR, after the last the last's.
  for (int k = 1; k <= 26; ++k) EXPECT_EQ(y.at(k, ycol::rbar1), r.windows.at(1, wcol::rbar));
  for (int k = 276; k <= 300; ++k) EXPECT_EQ(y.at(k, ycol::rbar1), r.windows.at(250, wcol::rbar));
  // RBAR2 is the mean RBAR1 of each run of equal depth.
  double first_run = 0;
  for (int k = 1; k <= 120; ++k) first_run += y.at(k, ycol::rbar1);
  EXPECT_NEAR(y.at(60, ycol::rbar2), first_run / 120.0, 1e-5);
  for (int k : {10, 200}) {
    const float n = y.at(k, ycol::depth), r1 = y.at(k, ycol::rbar1), r2 = y.at(k, ycol::rbar2);
    EXPECT_NEAR(y.at(k, ycol::neff1), n / (1.0f + (n - 1.0f) * r1), 1e-5);
    EXPECT_NEAR(y.at(k, ycol::neff2), n / (1.0f + (n - 1.0f) * r2), 1e-5);
    EXPECT_NEAR(yearly_eps(r1, n), n * r1 / (1.0f - r1 + n * r1), 1e-6);
  }
  // The stabilised chronology scales each deviation from the mean by sqrt(RBAR x NEFF).
  double mean = 0;
  for (int k = 1; k <= 300; ++k) mean += c.chronology[at(k)];
  mean /= 300;
  const int k = 200;
  const double f1 = std::sqrt(y.at(k, ycol::rbar1) * y.at(k, ycol::neff1));
  const double f2 = std::sqrt(y.at(k, ycol::rbar2) * y.at(k, ycol::neff2));
  EXPECT_NEAR(r.chronology.at(k, ccol::rbar1_stabilised), (c.chronology[at(k)] - mean) * f1 + mean,
              1e-4);
  EXPECT_NEAR(r.chronology.at(k, ccol::rbar2_stabilised), (c.chronology[at(k)] - mean) * f2 + mean,
              1e-4);
  // A depth of 1 gives NEFF 1 and EPS = RBAR.
  EXPECT_NEAR(yearly_eps(0.37f, 1.0f), 0.37f, 1e-6);
}

TEST(runbar, undefined_values_are_written_as_the_marker) {
  // Identical series (RBAR 1) with a gap in coverage, 1801-1810, where no series has a
  // value: EPS = n r / (1 - r + n r) and NEFF = n / (1 + (n - 1) r) are 0 / 0 there.
  RbarCase c(0.0f);
  for (int k = 1; k <= c.n; ++k) c.x.at(k, 2) = c.x.at(k, 3) = c.x.at(k, 1);
  for (int k = 101; k <= 110; ++k) {
    for (int j = 1; j <= 3; ++j) c.x.at(k, j) = kEmptyCell;
    c.depth[at(k)] = 0.0f;
  }
  const RunningRbar r = c.run(51, 50);
  for (int k = 101; k <= 110; ++k) {
    EXPECT_EQ(r.yearly.at(k, ycol::neff1), kRbarUndefined) << k;
    EXPECT_EQ(r.chronology.at(k, ccol::rbar1_stabilised), c.chronology[at(k)]) << k;
  }
  const RbarReport out = report(r, testing::scratch_folder("runbar_gap"));
  ASSERT_EQ(out.file.size(), 301u);
  EXPECT_EQ(out.file[100], " 1800      3   1.000   1.000   1.000   1.000   1.000   1.000");
  EXPECT_EQ(out.file[101], " 1801      0   1.000 -99.900 -99.900   1.000 -99.900 -99.900");
  EXPECT_EQ(out.file[110], " 1810      0   1.000 -99.900 -99.900   1.000 -99.900 -99.900");
}

TEST(runbar, no_defined_window_leaves_the_chronology_as_it_is) {
  // Two of three series absent: no window holds the three correlations that define it.
  RbarCase c(0.0f);
  for (int k = 1; k <= c.n; ++k) c.x.at(k, 2) = c.x.at(k, 3) = kEmptyCell;
  const RunningRbar r = c.run(51, 50);
  EXPECT_EQ(r.defined_windows(), 0);
  for (int k : {1, 150, 300}) {
    EXPECT_EQ(r.yearly.at(k, ycol::rbar1), kRbarUndefined) << k;
    EXPECT_EQ(r.yearly.at(k, ycol::rbar2), kRbarUndefined) << k;
    EXPECT_EQ(r.chronology.at(k, ccol::rbar1_stabilised), c.chronology[at(k)]) << k;
    EXPECT_EQ(r.chronology.at(k, ccol::rbar2_stabilised), c.chronology[at(k)]) << k;
  }
}

TEST(runbar, eps_and_neff_of_an_undefined_rbar_are_undefined) {
  EXPECT_EQ(yearly_eps(kRbarUndefined, 5.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(kRbarUndefined, 5.0f), kRbarUndefined);
  // RBAR -1 with two series: 1 + (n - 1) r = 0.
  EXPECT_EQ(yearly_eps(-1.0f, 2.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(-1.0f, 2.0f), kRbarUndefined);
  // Without a positive mean correlation there is no signal: the formulas would give
  // EPS 3 (-0.47) / (1 + 0.47 - 1.41) = -23.5 and NEFF 3 / 0.06 = 50 from 3 series.
  EXPECT_EQ(yearly_eps(-0.47f, 3.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(-0.47f, 3.0f), kRbarUndefined);
  EXPECT_EQ(yearly_eps(0.0f, 3.0f), kRbarUndefined);
  EXPECT_EQ(yearly_neff(0.0f, 3.0f), kRbarUndefined);
  // 10 series with RBAR 0.5: NEFF = 10 / 5.5, EPS = 5 / 5.5.
  EXPECT_FLOAT_EQ(yearly_neff(0.5f, 10.0f), 10.0f / 5.5f);
  EXPECT_FLOAT_EQ(yearly_eps(0.5f, 10.0f), 5.0f / 5.5f);
}

}  // namespace
}  // namespace dendro
