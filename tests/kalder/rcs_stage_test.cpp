#include "kalder/rcs_stage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "plots/plot_loop.h"
#include "series/bootstrap.h"
#include "series/core_save.h"
#include "series/fit_codes.h"
#include "series/text.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

// A kalder run in a fresh folder with the general output, table, chronology and error
// files open, and a console over string streams.
class StageRun {
 public:
  StageRun() : run(con) {
    std::random_device rd;
    dir_ = fs::temp_directory_path() / ("rcs_stage_" + std::to_string(rd()) + std::to_string(rd()));
    fs::create_directories(dir_);
    run.prefix = path("site");
    run.commands.set_data_file(path("site.txt"));
    for (int u : {unit::out, unit::tabs, unit::crns, unit::errs, unit::crns_rcs, unit::err_rcs}) {
      run.units.create(u, path("unit" + std::to_string(u) + ".txt"));
    }
  }
  ~StageRun() {
    run.units.close_all();
    std::error_code ec;
    fs::remove_all(dir_, ec);
  }

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  std::vector<std::string> lines(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }
  std::vector<std::string> report() {
    run.units.close(unit::out);
    return lines("unit11.txt");
  }

  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  Run run;

 private:
  fs::path dir_;
};

// One chronology column over `n` years from 1901 with every year of depth 4.
void set_chronology(dendro::Run& run, int column, const std::vector<float>& pattern, int n) {
  run.first_year = 1901;
  run.length = n;
  run.last_year = 1901 + n - 1;
  run.tsi2.reshape(n);
  for (int j = 1; j <= n; ++j)
    run.tsi2.at(j, column) = pattern[static_cast<std::size_t>((j - 1) % pattern.size())];
}

TEST(symmetry_adjustment, final_adjusted_statistics_rows) {
  // {1, 3, 2, 3, 1, 2}: mean 2, deviations -1, 1, 0, 1, -1, 0 (skewness 0: left as it is),
  // variance 4 / 5, standard deviation 0.894 (hand).
  StageRun s;
  set_chronology(s.run, tsi2col::standard, {1, 3, 2, 3, 1, 2}, 6);
  const std::vector<int> depth(6, 4);
  symmetry_adjustment(s.run, tsi2col::standard, depth);
  const std::vector<std::string> r = s.report();
  ASSERT_EQ(r.size(), 6u);
  EXPECT_EQ(r[1],
            " |-------------------- final adjusted chronology statistics --------------------|");
  EXPECT_EQ(r[3],
            "  first    last    total    mean    stdrd    skew    kurtosis    mean    serial");
  EXPECT_EQ(r[4], "   year    year    years   index     dev     coeff     coeff     sens     corr");
  EXPECT_EQ(r[5].substr(0, 49), "   1901    1906       6    2.000   0.894    0.000");
  EXPECT_EQ(s.run.tsi2.at(2, tsi2col::standard), 3.0f);
}

TEST(symmetry_adjustment, layout_switch_and_no_table_for_the_kalder_chronology) {
  // 1000 years: the standard chronology's row takes the wider count field (columns 16-24),
  // the residual chronology's switches only at 2000 (columns 16-23, then a blank). The
  // mean is kept: 166 whole patterns and 1, 3, 2, 3 give 2001 / 1000 = 2.001 (hand).
  const std::vector<int> depth(1000, 4);
  StageRun standard;
  set_chronology(standard.run, tsi2col::standard, {1, 3, 2, 3, 1, 2}, 1000);
  symmetry_adjustment(standard.run, tsi2col::standard, depth);
  EXPECT_EQ(standard.report().back().substr(15, 17), "     1000   2.001");

  StageRun residual;
  set_chronology(residual.run, tsi2col::residual, {1, 3, 2, 3, 1, 2}, 1000);
  symmetry_adjustment(residual.run, tsi2col::residual, depth);
  EXPECT_EQ(residual.report().back().substr(15, 17), "    1000    2.001");

  StageRun kalder;
  set_chronology(kalder.run, tsi2col::kalder, {1, 3, 2, 3, 1, 2}, 6);
  symmetry_adjustment(kalder.run, tsi2col::kalder, std::vector<int>(6, 4));
  EXPECT_TRUE(kalder.report().empty());
}

// The stage in a batch run of two series of 30 rings from 1900 and 1910 at pith offsets 0
// and 10, on the growth line 3 - 0.01 age (the second series `shift` above it), detrended
// by a regional curve with a line and the arithmetic mean.
RcsStageResult two_series_by_age(StageRun& s, float shift) {
  dendro::Run& run = s.run;
  run.tsi1.reshape(40, 2);
  run.tsi1.years.assign(kMaxSeriesKalder + 2, SeriesYears{});
  run.tsi1.ids = {"SITE01A ", "SITE02A "};
  for (int i = 1; i <= 2; ++i) {
    SeriesYears& y = run.tsi1.year_row(i);
    y.ify = 1900 + 10 * (i - 1);
    y.ily = y.ify + 29;
    y.yfp = 10 * (i - 1);
    y.icu = y.ics = 1;
    for (int k = 1; k <= 30; ++k) {
      run.tsi1.at(y.ify - 1900 + k, i) =
          3.0f - 0.01f * static_cast<float>(y.yfp + k) + (i == 2 ? shift : 0.0f);
    }
  }
  run.tsi1.year_row(3) = SeriesYears{1900, 1939};
  run.first_year = 1900;
  run.last_year = 1939;
  run.length = 40;
  run.tsi2.reshape(40);
  for (int j = 1; j <= 40; ++j) run.tsi2.at(j, 1) = (j > 10 && j <= 30) ? 2.0f : 1.0f;
  run.commands.at(Commands::kBatchMode) = 'y';
  run.commands.set(Commands::kWriteModeFirst, Commands::kWriteModeLast, "iw");
  run.icommands[opt::first_detrending] = fit::regional_curve;
  run.icommands[opt::second_detrending] = fit::line;
  run.icommands[opt::index_calculation] = 1;
  run.icommands[opt::mean_chronology] = 1;
  run.icommands[opt::printout] = 1;
  run.icommands[opt::core_series_save] = save::compact;
  run.data_title = field("a site with a title that is long enough to be cut by the stage", 85);
  run.rcs_series.assign(kMaxSeriesKalder, 0);
  for (int h = 0; h < 3; ++h) run.saved_headers[h] = field("header " + std::to_string(h + 1), 85);
  PlotSession plots(s.con, run.units.files(), PlotSession::Screen::none);
  Rand rand;
  return regional_curve_stage(run, plots, rand);
}

TEST(regional_curve_stage, indices_depth_and_the_index_file) {
  // Two series on one growth line by age, 3 - 0.01 age, at offsets 0 and 10, in a batch
  // run: the mean chronology builder's mean by age is the line, the fitted line too, and
  // the indices are 1. The sample depth by calendar year comes back from column 1.
  StageRun s;
  dendro::Run& run = s.run;
  const RcsStageResult r = two_series_by_age(s, 0.0f);

  for (int age = 1; age <= 40; ++age) {
    EXPECT_NEAR(run.tsi2.at(age, 10), 3.0 - 0.01 * age, 1e-5) << age;
    EXPECT_NEAR(r.curve[static_cast<std::size_t>(age - 1)], 3.0 - 0.01 * age, 1e-4) << age;
  }
  EXPECT_NEAR(run.tsi1.at(1, 1), 1.0, 1e-5);
  EXPECT_NEAR(run.tsi1.at(40, 2), 1.0, 1e-5);
  ASSERT_EQ(r.depth.size(), 40u);  // one value per chronology year
  EXPECT_EQ(r.depth[0], 1);
  EXPECT_EQ(r.depth[15], 2);
  EXPECT_EQ(run.rcs_series[1], 10);
  EXPECT_EQ(run.commands.header_line(1).substr(0, 8), "header 1");
  EXPECT_EQ(run.data_title.substr(72), std::string(13, ' '));
  EXPECT_EQ(run.data_title.substr(53, 19), " age-aligned rcs ch");
  EXPECT_FALSE(s.lines("site_rcs_ind2.txt").empty());
  EXPECT_FALSE(s.lines("site_rcs_ind1.txt").empty());
}

TEST(regional_curve_stage, age_rows_of_the_table) {
  // The second series 0.2 above the first: ages 11 to 30 hold both, whose standard
  // deviation (divisor n - 1) is sqrt(2 * 0.1^2 / 1) = 0.141421 (hand); the other ages hold
  // one value, of deviation 0.
  StageRun s;
  two_series_by_age(s, 0.2f);
  dendro::Run& run = s.run;

  for (int age = 1; age <= 40; ++age) {
    const bool both = age > 10 && age <= 30;
    EXPECT_EQ(run.tsi2.at(age, tsi2col::rcs_age), static_cast<float>(age));
    EXPECT_EQ(run.tsi2.at(age, tsi2col::rcs_depth), both ? 2.0f : 1.0f) << age;
    EXPECT_NEAR(run.tsi2.at(age, tsi2col::rcs_spread), both ? 0.141421 : 0.0, 1e-5) << age;
  }
}

}  // namespace
}  // namespace dendro
