#include "pelliform/engine_call.h"

#include <gtest/gtest.h>

#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::make_set;
using testing::RunTest;

// An engine that records what it was given and answers with the next restart count.
struct ScriptedEngine {
  std::vector<int> restart_counts;
  std::vector<EngineArgs> calls;
  bool retry = false;
  Engine engine() {
    return [this](EngineArgs& a, SigfreeState&, EngineIo) {
      calls.push_back(a);
      a.restart_counter = restart_counts.at(calls.size() - 1);
      a.retry_rcs = retry;
      a.curve_fit_option = 6;  // the engine may rewrite the option
    };
  }
};

class EngineRuns : public RunTest {
 protected:
  ScriptedEngine script;
  void use(std::vector<int> counts) {
    script.restart_counts = std::move(counts);
    script.calls.clear();
    run->engine = script.engine();
    run->saved = make_set({{1901, {1.0f, 2.0f, 3.0f}}, {1899, {0.5f, 0.5f}}});
    run->args.curve_fit_option = 8;
  }
};

TEST_F(EngineRuns, restarts_add_the_constant_to_the_saved_measurements) {
  use({3, 0});
  EXPECT_EQ(run_engine(*run), EngineEnd::done);
  ASSERT_EQ(script.calls.size(), 2u);
  const EngineArgs& second = script.calls[1];
  // Counter 3: 0.3 added once to the saved values, not 0.1 + 0.2 + 0.3.
  EXPECT_FLOAT_EQ(second.added_constant, 0.3f);
  EXPECT_FLOAT_EQ(second.measurements.at(1, 1), 1.3f);
  EXPECT_FLOAT_EQ(second.measurements.at(3, 1), 3.3f);
  EXPECT_FLOAT_EQ(second.measurements.at(2, 2), 0.8f);
  // Rows beyond a series' last ring stay empty; the set spans 1899-1903 (5 rows).
  EXPECT_EQ(second.measurements.rows, 5);
  EXPECT_EQ(second.measurements.at(3, 2), kEmptyCell);
  EXPECT_EQ(second.measurements.at(5, 1), kEmptyCell);
  EXPECT_EQ(second.years[0].third, 1903);  // the last year, as the engine reads it
  EXPECT_EQ(second.summary().first, 1899);
  EXPECT_EQ(second.summary().last, 1903);
  EXPECT_EQ(second.curve_floor, (std::vector<float>{0.02f, 0.02f}));
  EXPECT_EQ(run->args.curve_fit_option, 8);  // restored when the runs end
  EXPECT_EQ(out.str(),
            "\nCONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?):        0.000\n"
            "\nOKAY, LET US BEGIN:\n"
            "CONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?):        0.300\n");
  EXPECT_EQ(file("report.txt"),
            "\nCONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?):        0.000\n"
            "CONSTANT ADDED TO ALL MEASUREMENTS TO AID CONVERGENCE(?):        0.300\n");
}

TEST_F(EngineRuns, a_count_above_ten_ends_like_zero_and_a_retry_returns) {
  use({11});
  EXPECT_EQ(run_engine(*run), EngineEnd::done);
  EXPECT_EQ(script.calls.size(), 1u);
  use({0});
  script.retry = true;
  EXPECT_EQ(run_engine(*run), EngineEnd::retry);
}

TEST_F(EngineRuns, rings_cut_off_a_series_start_are_its_offset_without_a_file) {
  // The regional curve is told that offsets are in use: it counts its ages from the
  // smallest.
  use({0});
  run->saved.origins[1].rings_cut = 3;
  run_engine(*run);
  EXPECT_EQ(script.calls.at(0).pith_offsets, (std::vector<int>{0, 3}));
  EXPECT_TRUE(script.calls.at(0).pith_offset_flag);
}

TEST_F(EngineRuns, an_engine_that_keeps_restarting_is_stopped) {
  use(std::vector<int>(20, 1));
  EXPECT_THROW(run_engine(*run), Stop);
  EXPECT_EQ(script.calls.size(), static_cast<std::size_t>(kMaxRestarts + 1));
}

TEST_F(EngineRuns, power_transformation_on_every_run_from_the_saved_values) {
  use({2, 0});
  run->args.power_transform = 1;
  // Pairs of the first series: (2, 1) and (3, 1): slope 0, power 1, values kept.
  run->saved = make_set({{1901, {1.0f, 2.0f, 3.0f}}});
  answers("c\n");  // the spread-versus-level page of the first run goes on
  run_engine(*run);
  ASSERT_EQ(script.calls.size(), 2u);
  EXPECT_NEAR(script.calls[1].measurements.at(1, 1), 1.2, 1e-6);
  EXPECT_NEAR(script.calls[1].measurements.at(3, 1), 3.2, 1e-6);
  const std::string report = file("report.txt");
  EXPECT_EQ(report.find("\nTHE SERIES HAVE HAD ADAPTIVE POWER TRANSFORMATIONS APPLIED\n"), 0u);
  EXPECT_NE(report.find("THE MEAN ADAPTIVE POWER TRANSFORM POWER APPLIED IS:              1.000\n"),
            std::string::npos);
}

}  // namespace
}  // namespace dendro
