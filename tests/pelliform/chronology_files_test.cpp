#include "pelliform/chronology_files.h"

#include <gtest/gtest.h>

#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::RunTest;

TEST(spectrum_lags, a_third_or_a_fifth_of_the_years) {
  EXPECT_EQ(spectrum_lags(1200), 240);  // above 1000 years: n / 5
  EXPECT_EQ(spectrum_lags(900), 300);
  EXPECT_EQ(spectrum_lags(1000), 333);
  EXPECT_EQ(spectrum_lags(10), 3);
}

// Twelve years from 1901: depth 4 in the first and last year, 5 to 14 between; both
// chronologies 1.0 (a flat chronology has no variance, so every spectral estimate is 0);
// spreads 0.2 and 0.1.
class EndFiles : public RunTest {
 protected:
  static constexpr int kYears = 12;
  void chronologies(int window) {
    EngineArgs& a = run->args;
    a.rbar_window = window;
    a.series_count = 1;
    a.years = {SeriesSpan{1901, 1912, 1912}, SeriesSpan{1901, 1912, 12}};
    a.standard.reshape(kYears, 2, 1.0f);
    a.signal_free.reshape(kYears, 2, 1.0f);
    a.stabilised.reshape(kYears, 2, 1.1f);
    a.stabilised.column(2)[0] = 0.95f;
    for (int j = 1; j <= kYears; ++j) {
      a.standard.at(j, 2) = 0.2f;
      a.signal_free.at(j, 2) = 0.1f;
    }
    a.sample_depth = {4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 4};
    run->set.title = {"SITE 1 first title", "SITE 2 second", "SITE 3 third"};
  }
};

TEST_F(EndFiles, column_file_without_stabilised_chronologies) {
  chronologies(0);
  const SpectrumInput input = write_column_file(*run);
  const std::vector<std::string> lines = testing::lines_of(file("site_crns_col.txt"));
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "  Year  SSize  StdCrn  SsfCrn  StdSig  SsfSig  StdSee  SsfSee");
  // Year i6, depth i6, a blank, then f8.3: 0.2 / sqrt(4) = 0.1 and 0.1 / 2 = 0.05.
  EXPECT_EQ(lines[1], "  1901     4    1.000   1.000   0.200   0.100   0.100   0.050");
  EXPECT_EQ(input.first.size(), 10u);  // the years of depth 4 stay out of the spectra
}

TEST_F(EndFiles, column_file_with_stabilised_chronologies) {
  chronologies(51);
  run->args.curve_fit_option = pfit::raw_average;
  const SpectrumInput input = write_column_file(*run);
  const std::vector<std::string> lines = testing::lines_of(file("site_crns_col.txt"));
  EXPECT_EQ(lines[0],
            "  Year  SSize  RawCrn  AdjCrn  RawSig  AdjSig  RawSee  AdjSee  RawStb  AdjStb");
  EXPECT_EQ(lines[1],
            "  1901     4    1.000   1.000   0.200   0.100   0.100   0.050   1.100   0.950");
  ASSERT_EQ(input.first.size(), 10u);
  EXPECT_FLOAT_EQ(input.first[0], 1.1f);  // the stabilised chronologies enter the spectra
}

TEST_F(EndFiles, tucson_file_with_two_or_four_chronologies) {
  chronologies(0);
  write_tucson_file(*run);
  std::vector<std::string> lines = testing::lines_of(file("site_crns_tuc.txt"));
  // Per chronology: three title records, then the records of 1901-1909 and 1910-1912.
  ASSERT_EQ(lines.size(), 10u);
  EXPECT_EQ(lines[0], "SITE 1 first title" + std::string(70, ' '));
  EXPECT_EQ(lines[1], "SITE 2 second" + std::string(69, ' ') + "stdcrn");
  EXPECT_EQ(lines[4].substr(0, 31),
            "site  1910"
            "1000 131000 141000  4");
  EXPECT_EQ(lines[6], "SITE 2 second" + std::string(69, ' ') + "ssfcrn");
  chronologies(25);
  write_tucson_file(*run);
  lines = testing::lines_of(file("site_crns_tuc.txt"));
  ASSERT_EQ(lines.size(), 20u);
  EXPECT_EQ(lines[11].substr(82), "stdstb");
  EXPECT_EQ(lines[16].substr(82), "ssfstb");
  // The second stabilised chronology begins with 0.95 in 1901 (slot 2 of its record).
  EXPECT_EQ(lines[18].substr(0, 24),
            "site  1901"
            "9990  0 950  4");
}

TEST_F(EndFiles, spectra_file_of_the_replicated_years) {
  chronologies(0);
  answers("\n");
  end_of_run(*run);  // no positive power: no plot page, so no plot question
  const std::vector<std::string> lines = testing::lines_of(file("site_spectra.txt"));
  // 10 replicated years: M = 10 / 3 = 3 lags, frequencies j / (2 M) for j = 0..3.
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], " FREQUENCY   POWER_STD_CRN   POWER_SSF_CRN");
  EXPECT_EQ(lines[1], "  0.00000       0.00000         0.00000");
  EXPECT_EQ(lines[2].substr(0, 9), "  0.16667");
  EXPECT_EQ(lines[4].substr(0, 9), "  0.50000");
  EXPECT_TRUE(
      shows("Normal termination of program Pelliform_Version 43ptr08\n\nHit RETURN to Quit"));
}

TEST_F(EndFiles, the_two_spectrum_pages_save_to_two_files) {
  // Thirty years of depth 5 with a two-year swing: 30 / 3 = 10 lags, frequencies
  // j / 20, of which 0, 0.05 and 0.1 make the page of periods of 10 years and more.
  constexpr int kLong = 30;
  EngineArgs& a = run->args;
  a.rbar_window = 0;
  a.series_count = 1;
  a.years = {SeriesSpan{1901, 1930, 1930}, SeriesSpan{1901, 1930, kLong}};
  a.standard.reshape(kLong, 2, 0.1f);
  a.signal_free.reshape(kLong, 2, 0.1f);
  for (int j = 1; j <= kLong; ++j) {
    a.standard.at(j, 1) = j % 2 == 0 ? 1.2f : 0.8f;
    a.signal_free.at(j, 1) = 1.0f + 0.01f * static_cast<float>(j);
  }
  a.sample_depth.assign(kLong, 5);
  run->set.title = {"SITE 1", "SITE 2", "SITE 3"};
  answers("s\nc\ns\nc\n\n");
  end_of_run(*run);
  // Each page keeps its own file, and the console names both.
  EXPECT_TRUE(shows(" page: STD Power Spectrum / SSF Power Spectrum\n"));
  EXPECT_TRUE(shows(" page: STD >10Yr Spectrum / SSF >10Yr Spectrum\n"));
  EXPECT_TRUE(shows(" saved: fig1b.ps\n"));
  EXPECT_TRUE(shows(" saved: fig1b_10yr.ps\n"));
  EXPECT_TRUE(std::filesystem::exists(dir / "fig1b.ps"));
  EXPECT_TRUE(std::filesystem::exists(dir / "fig1b_10yr.ps"));
  EXPECT_NE(file("fig1b.ps"), file("fig1b_10yr.ps"));
}

TEST_F(EndFiles, too_few_replicated_years_skip_the_spectra) {
  chronologies(0);
  run->args.sample_depth = std::vector<int>(kYears, 4);
  answers("\n");
  end_of_run(*run);
  EXPECT_TRUE(shows(" *** spectra skipped:     0 years with a sample depth of 5 or more\n"));
  EXPECT_FALSE(std::filesystem::exists(dir / "site_spectra.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "site_crns_col.txt"));
}

TEST_F(EndFiles, an_engine_without_chronologies_is_refused) {
  chronologies(0);
  run->args.sample_depth.clear();
  EXPECT_THROW(end_of_run(*run), Stop);
}

}  // namespace
}  // namespace dendro
