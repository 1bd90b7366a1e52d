#include "series/option_values.h"

#include <gtest/gtest.h>

namespace dendro {
namespace {

// Each code against what the option menus say it chooses.
TEST(option_values, combined_codes_choose_each_of_their_parts) {
  // Summary plots: 1 spaghetti plots, 2 the various plots, 3 "all of the above".
  const bool spaghetti[] = {false, true, false, true};
  const bool various[] = {false, false, true, true};
  // Interactive: 1 gap filling, 2 detrending, 3 both.
  const bool gaps[] = {false, true, false, true};
  const bool detrending[] = {false, false, true, true};
  // Stand dynamics: 1 outliers, 2 and 3 the two release detections.
  const bool release[] = {false, false, true, true};
  for (int code = 0; code <= 3; ++code) {
    EXPECT_EQ(spaghetti_plots_on(code), spaghetti[code]) << code;
    EXPECT_EQ(various_summary_plots_on(code), various[code]) << code;
    EXPECT_EQ(any_summary_plots(code), code != 0) << code;
    EXPECT_EQ(interactive_gap_filling(code), gaps[code]) << code;
    EXPECT_EQ(interactive_detrending(code), detrending[code]) << code;
    EXPECT_EQ(release_detection(code), release[code]) << code;
  }
}

TEST(option_values, printout_levels_add_to_the_ones_below) {
  // 1 summary, 2 + series statistics, 3 + chronology listing, 4 + curve fit plots.
  const bool statistics[] = {false, true, true, true};
  const bool listing[] = {false, false, true, true};
  const bool plots[] = {false, false, false, true};
  for (int level = 1; level <= 4; ++level) {
    EXPECT_EQ(series_statistics_printed(level), statistics[level - 1]) << level;
    EXPECT_EQ(chronology_listed(level), listing[level - 1]) << level;
    EXPECT_EQ(fit_plots_printed(level), plots[level - 1]) << level;
  }
}

TEST(option_values, only_the_tucson_and_mib_pex_saves_carry_header_lines) {
  EXPECT_FALSE(series_saved(save::none));
  EXPECT_FALSE(saved_with_header_lines(save::none));
  for (int format = 1; format <= 7; ++format) {
    EXPECT_TRUE(series_saved(format)) << format;
    // 1 tucson raw, 2 tucson index, 3 mib pex; 4 compact and 5 to 7 columns have none.
    EXPECT_EQ(saved_with_header_lines(format), format <= 3) << format;
  }
}

}  // namespace
}  // namespace dendro
