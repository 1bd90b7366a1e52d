#include "options/defaults.h"

#include <gtest/gtest.h>

#include <utility>

#include "session.h"

namespace dendro {
namespace {

TEST(reset_options, sets_every_default_and_keeps_the_rest) {
  Icommands ic;
  ic.for_each_element([](int, int& v) { v = 777; });
  Commands cmd;
  cmd.set_mask("abcdefgh");
  reset_options(ic, cmd);
  // The defaults from the option table's list of start values; every other element (the
  // mask's own, the gap-filling and stand dynamics plot flags, the unnamed and spare ones)
  // keeps its value.
  const std::pair<OptionElement, int> defaults[] = {
      {opt::data_type, 1},
      {opt::missing_data, -9},
      {opt::transformation, 0},
      {opt::first_detrending, -6},
      {opt::second_detrending, 0},
      {opt::robust_detrending, 1},
      {opt::interactive, 0},
      {opt::index_calculation, 1},
      {opt::ar_method, 1},
      {opt::pooled_ar_order, 0},
      {opt::series_ar_order, 0},
      {opt::mean_chronology, 2},
      {opt::stabilisation, 0},
      {opt::common_period_first, 0},
      {opt::running_rbar_window, 50},
      {opt::printout, 2},
      {opt::core_series_save, 0},
      {opt::summary_plots, 0},
      {opt::stand_dynamics, 0},
      {opt::transformation_plots, 0},
      {opt::first_detrending_parameter, 0},
      {opt::second_detrending_parameter, 0},
      {opt::ar_method_plots, 0},
      {opt::pooled_ar_plots, 0},
      {opt::bootstrap_plots, 0},
      {opt::common_period_last, 0},
      {opt::release_window, 0},
      {opt::first_detrending_plots, 0},
      {opt::second_detrending_plots, 0},
      {opt::bootstrap_limits, 0},
      {opt::running_rbar_plots, 0},
      {opt::release_threshold, 0},
      {opt::bootstrap_spline, 0},
      {opt::release_error_limit, 0},
      {opt::running_rbar_overlap, 25},
  };
  Icommands expected;
  expected.for_each_element([](int, int& v) { v = 777; });
  for (const auto& [e, v] : defaults) expected[e] = v;
  testing::expect_same_elements(ic, expected);
  EXPECT_EQ(cmd.mask(), "SSSTTCC ");
  EXPECT_EQ(cmd.text.substr(0, 9), std::string(9, ' '));  // positions 1-9 untouched
}

}  // namespace
}  // namespace dendro
