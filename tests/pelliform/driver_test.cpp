#include "pelliform/driver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::data_path;

// An engine that asks for one retry of the regional curve, then returns chronologies:
// the sample depth of each year and values 1 + 0.1 sin(year).
struct RetryingEngine {
  int calls = 0;
  std::vector<int> options;  // the curve-fit option of each call
  void operator()(EngineArgs& a, SigfreeState&, EngineIo) {
    ++calls;
    options.push_back(a.curve_fit_option);
    a.retry_rcs = calls == 1;
    if (a.retry_rcs) return;
    const int n = a.chronology_length();
    a.standard.reshape(n, 2, 0.1f);
    a.signal_free.reshape(n, 2, 0.1f);
    a.stabilised.reshape(n, 2, 1.0f);
    a.sample_depth.assign(static_cast<std::size_t>(n), 0);
    for (int s = 1; s <= a.series_count; ++s) {
      for (int y = a.span(s).first; y <= a.span(s).last; ++y) {
        ++a.sample_depth[static_cast<std::size_t>(y - a.summary().first)];
      }
    }
    for (int j = 1; j <= n; ++j) {
      a.standard.at(j, 1) = 1.0f + 0.1f * std::sin(static_cast<float>(j));
      a.signal_free.at(j, 1) = 1.0f + 0.1f * std::cos(static_cast<float>(j));
    }
  }
};

class WholeRun : public testing::RunTest {};

TEST_F(WholeRun, a_retry_loads_the_file_again_and_asks_the_dialogue_again) {
  run.reset();  // the whole run has its own: one file owner a process
  std::filesystem::copy_file(data_path("keny002.rwl"), dir / "keny002.rwl");
  RetryingEngine engine;
  const std::string first_pass = "keny002.rwl\n1\nR\n\n-2\nF\n\n0\n\n\n";
  // The retry: the format, index mode and menu again; -2 now shows the regional-curve
  // menu, answered with 1; the rest as before. Then two spectrum pages and the end.
  const std::string second_pass = "1\nR\n\n-2\n1\n\n0\n\n\nc\nc\n\n";
  answers(first_pass + second_pass);
  const int status = pelliform_main(in, out, std::ref(engine), PlotSession::Screen::none);
  EXPECT_EQ(status, 0) << out.str().substr(out.str().size() - 400);
  EXPECT_EQ(engine.calls, 2);
  EXPECT_EQ(engine.options, (std::vector<int>{-2, 1}));
  EXPECT_TRUE(shows("Select RCS curve fit options:"));
  EXPECT_TRUE(
      shows("Normal termination of program Pelliform_Version 43ptr08\n\nHit RETURN to Quit"));

  // keny002.rwl spans 1935-1994: 60 rows; its 1935 is covered by RAG30A and RAG30B only.
  const std::vector<std::string> columns = testing::lines_of(file("keny002_crns_col.txt"));
  ASSERT_EQ(columns.size(), 61u);
  EXPECT_EQ(columns[1].substr(0, 12), "  1935     2");
  EXPECT_EQ(columns[60].substr(0, 12), "  1994    12");  // RAG32B ends in 1985
  EXPECT_TRUE(std::filesystem::exists(dir / "keny002_crns_tuc.txt"));
  const std::vector<std::string> spectra = testing::lines_of(file("keny002_spectra.txt"));
  EXPECT_EQ(spectra[0], " FREQUENCY   POWER_STD_CRN   POWER_SSF_CRN");
  // Years with 5 or more series: 1947-1994 (RAG37A/B join in 1947 as the fifth and
  // sixth), 48 years, so 16 lags and 17 frequencies.
  EXPECT_EQ(spectra.size(), 18u);
  // Both passes wrote to the same report file, the dialogue lines twice.
  const std::string report = file("keny002_out_v43ptr08.txt");
  EXPECT_NE(report.find("REGIONAL CURVE STANDARDIZATION (RCS):  OPT   -2"), std::string::npos);
  EXPECT_NE(report.rfind("TOTAL SERIES READ IN:"), report.find("TOTAL SERIES READ IN:"));
}

// The console holds every line of a stopped run when pelliform_main returns, as in kalder
// (tests/kalder/program_test.cpp): the console is a file stream here.
TEST_F(WholeRun, a_stopped_run_leaves_nothing_unwritten_on_the_console) {
  std::ofstream console(dir / "console.txt");
  EXPECT_EQ(pelliform_main(in, console, RetryingEngine{}, PlotSession::Screen::none),
            kEndOfInputStatus);
  EXPECT_TRUE(file("console.txt")
                  .ends_with("(/ to exit)      ==> \n*** end of input: no answer to the question "
                             "above, run ended\n"));
}

}  // namespace
}  // namespace dendro
