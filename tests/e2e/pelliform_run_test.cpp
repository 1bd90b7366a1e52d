// End-to-end runs of pelliform on a real ring-width file with scripted answers.
#include <gtest/gtest.h>

#include "harness.h"

#ifdef PELLIFORM_PATH

namespace dendro::e2e {
namespace {

// keny002.rwl read as tucson ring widths, ratios, series that start in 1946 or later,
// then every default: age-dependent spline, biweight mean, no running RBAR, threshold
// 0.0001 and the convergence tweaks. Every plot page is answered with "c" (continue),
// and one more line answers the closing pause.
std::string censored_run() {
  std::string input = "keny002.rwl\n1\nR\n4\n1946\n\n\n0\n\n\n";
  constexpr int kPageAnswers = 300;  // more than the run shows pages
  for (int k = 0; k < kPageAnswers; ++k) input += "c\n";
  return input;
}

TEST(pelliform_run, dialogue_report_and_censored_set) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  const RunResult r = box.run(PELLIFORM_PATH, censored_run());
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.output.find("Normal termination of program Pelliform_Version 43ptr08"),
            std::string::npos);

  // Series starting in 1946 or later (spans from a fixed-column scan of keny002.rwl): all
  // but RAG30A and RAG30B (1935), 11 series over 1946-1994, of lengths 40, 42, 42, 44, 45,
  // 45, 45, 46, 48, 48, 49. By hand: median x6 = 45; h = 6, d = 3, hinges
  // (x3 + x4) / 2 = 43 and (x8 + x9) / 2 = 47; counts = 40: 1, >= 43: 8, >= 45: 7,
  // >= 47: 3, = 49: 1.
  std::vector<std::string> report = box.read_lines("keny002_out_v43ptr08.txt");
  const std::vector<std::string> expected{
      "",
      "THE OFFICIAL SIGNAL FREE PROGRAM OUTPUT FILE",
      "DATA FILE TO PROCESS: keny002.rwl" + std::string(39, ' '),
      "",
      "                                 NS   IFY   ILY   NYR",
      "TOTAL SERIES READ IN:            13  1935  1994    60  SERIES, FIRST YEAR, LAST YEAR, TOTAL "
      "YEARS",
      "TREE-RING INDICES ARE CALCULATED AS RATIOS OF EXPECTED GROWTH",
      "",
      "ORIGINAL DATA SET               MIN   25%   MED   75%   MAX",
      "SEGMENT LENGTH STATISTICS:       40    44    45    48    60",
      "SERIES .GE. SEGMENT LENGTH:       1    10     9     5     2",
      "DATA ARE CENSORED BY MINIMUM START YEAR:  1946",
      "",
      "CENSORED DATA SET               MIN   25%   MED   75%   MAX",
      "SEGMENT LENGTH STATISTICS:       40    43    45    47    49",
      "SERIES .GE. SEGMENT LENGTH:       1     8     7     3     1",
      "",
      "CURVE FIT OPTION:",
      "AGE-DEPENDENT SPLINE SMOOTHING:  OPT    8",
      "TUKEY ROBUST BIWEIGHT MEAN CHRONOLOGY CALCULATED:    2",
      "",
      "VORN CONVERGENCE CRITERIA USED - SHOULD BE FASTER TO CONVERGE",
      "",
      "FOR SPLINE AND FRIEDMAN FLEXIBLE CURVE FITS A COUNT-WEIGHTED CONVERGENCE CRITERION IS USED.",
      "THIS SPEEDS CONVERGENCE AND REDUCES THE CHANCES OF EXCESSIVE SIGNAL FREE INTERATIONS.",
      "",
      "CONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?):        0.000",
  };
  ASSERT_GT(report.size(), expected.size());
  EXPECT_EQ(
      std::vector<std::string>(report.begin(), report.begin() + static_cast<long>(expected.size())),
      expected);

  const std::vector<std::string> censored = box.read_lines("keny002_mnsy=1946.txt");
  ASSERT_GT(censored.size(), 3u);
  EXPECT_EQ(censored[0].substr(0, 8), "RAG    1");
  EXPECT_EQ(censored[0].substr(84), "MNSY");
  int series = 0;
  for (const std::string& line : censored)
    series += line.find("-9999") != std::string::npos ? 1 : 0;
  EXPECT_EQ(series, 11);
  EXPECT_EQ(censored[3].substr(0, 12), "RAG29A  1953");

  // The chronologies over 1946-1994. Sample depths from the series spans: RAG32A and
  // RAG32B from 1946, RAG37A and RAG37B from 1947, RAG38A from 1949; in 1994 every series
  // but RAG32B (ends 1985).
  const std::vector<std::string> columns = box.read_lines("keny002_crns_col.txt");
  ASSERT_EQ(columns.size(), 50u);
  EXPECT_EQ(columns[0], "  Year  SSize  StdCrn  SsfCrn  StdSig  SsfSig  StdSee  SsfSee");
  EXPECT_EQ(columns[1].substr(0, 12), "  1946     2");
  EXPECT_EQ(columns[2].substr(0, 12), "  1947     4");
  EXPECT_EQ(columns[4].substr(0, 12), "  1949     5");
  EXPECT_EQ(columns[49].substr(0, 12), "  1994    10");
  for (const std::string& row : columns) EXPECT_EQ(row.size(), 61u) << row;
  // Two chronologies of three title records and six decade records (1946-1949, the
  // decades 1950 to 1980, 1990-1994), under the id "keny00".
  const std::vector<std::string> tucson = box.read_lines("keny002_crns_tuc.txt");
  ASSERT_EQ(tucson.size(), 18u);
  EXPECT_EQ(tucson[1].substr(82), "stdcrn");
  EXPECT_EQ(tucson[3].substr(0, 10), "keny001946");
  EXPECT_EQ(tucson[10].substr(82), "ssfcrn");
  // Years with 5 series or more: 1949-1994, 46 years: 15 lags, 16 frequencies.
  const std::vector<std::string> spectra = box.read_lines("keny002_spectra.txt");
  ASSERT_EQ(spectra.size(), 17u);
  EXPECT_EQ(spectra[0], " FREQUENCY   POWER_STD_CRN   POWER_SSF_CRN");
  EXPECT_EQ(spectra[16].substr(0, 9), "  0.50000");
}

TEST(pelliform_run, end_of_input_and_slash) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  EXPECT_EQ(box.run(PELLIFORM_PATH, "keny002.rwl\n1\n").status, 3);
  EXPECT_FALSE(box.exists("keny002_crns_col.txt"));  // input ends at a question
  EXPECT_EQ(box.run(PELLIFORM_PATH, "/\n").status, 0);
  const RunResult missing = box.run(PELLIFORM_PATH, "nothing.rwl\n\n/\n");
  EXPECT_EQ(missing.status, 0);
  EXPECT_NE(missing.output.find("File > nothing.rwl" + std::string(14, ' ') + " < not found"),
            std::string::npos);
}

}  // namespace
}  // namespace dendro::e2e

#endif
