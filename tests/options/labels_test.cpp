#include "options/labels.h"

#include <gtest/gtest.h>

#include <string>

namespace dendro {
namespace {

// The label text without its trailing blanks; every label is 50 characters.
std::string label(int item, int code) {
  std::string l = gmh(item, code);
  EXPECT_EQ(l.size(), 50u);
  return l.substr(0, l.find_last_not_of(' ') + 1);
}

TEST(gmh, plot_flags_pick_the_with_plots_labels) {
  EXPECT_EQ(label(2, 0), "!missing values estimated (no plots)");
  EXPECT_EQ(label(2, 1), "!missing values estimated (w/ plots)");
  EXPECT_EQ(label(2, -7), "!missing values estimated (w/ plots)");
  EXPECT_EQ(label(3, -2), "!log (rt+1/6) transform (w/ plots)");
  EXPECT_EQ(label(3, 5), "!adaptive power transform (no plots)");
  EXPECT_EQ(label(9, -3), "!robust ar + outliers removed (w/ plots)");
  EXPECT_EQ(label(9, -1), "");  // non-robust modelling has no plot variant
  EXPECT_EQ(label(16, 50), "!running rbar window/overlap (no plots)");
  EXPECT_EQ(label(16, -50), "!running rbar window/overlap (w/ plots)");
}

TEST(gmh, codes_without_a_label_are_blank) {
  EXPECT_EQ(gmh(1, 0), std::string(50, ' '));
  EXPECT_EQ(label(1, 6), "");
  EXPECT_EQ(label(10, 2), "");  // a fixed pooled order above 1 has no label of its own
  EXPECT_EQ(label(11, 7), "!supplied ar order fit to all series");
  EXPECT_EQ(label(11, -2), "");
  EXPECT_EQ(label(13, 2), "");
  EXPECT_EQ(label(13, 5), "");
  EXPECT_EQ(label(13, 10), "!spline stabilized (fixed 50% cutoff)");
  EXPECT_EQ(label(13, -10), "!spline stabilized (pct n 50% cutoff)");
  EXPECT_EQ(label(4, 9), "");
  EXPECT_EQ(label(5, -7), "");
  EXPECT_EQ(label(17, 5), "!full output plus interactive detrending");
  EXPECT_EQ(label(17, 0), "");
}

TEST(gmh, items_outside_1_to_23) {
  EXPECT_EQ(label(0, 1), "!bloody hell if i know!");
  EXPECT_EQ(label(24, 1), "!bloody hell if i know!");
  EXPECT_EQ(label(23, 99), "!standard error limit threshold");
}

TEST(gmh, longest_label_fills_the_field) {
  // "!user-supplied pooled ar model order fit (w/ plots)" is 51 characters: the field
  // holds its first 50.
  EXPECT_EQ(gmh(10, -2), "!user-supplied pooled ar model order fit (w/ plots");
}

TEST(gmh, detrending_prefix_fills_characters_2_to_5) {
  EXPECT_EQ(label(4, -6), "!    age dependent spline");
  EXPECT_EQ(detrending_label(4, -6, "1st-").substr(0, 25), "!1st-age dependent spline");
  EXPECT_EQ(detrending_label(5, 12, "rcs-").substr(0, 36), "!rcs-spline curve (fixed 50% cutoff)");
  EXPECT_EQ(detrending_label(5, -12, "2nd-").substr(0, 36), "!2nd-spline curve (pct n 50% cutoff)");
  EXPECT_EQ(detrending_label(4, 9, "1st-"), std::string(50, ' '));
}

TEST(gmh, mean_chronology_codes) {
  // The option-12 table: (mean code, bootstrap flag) -> label code.
  EXPECT_EQ(mean_chronology_label_code(0, 0), 0);
  EXPECT_EQ(mean_chronology_label_code(0, 1), 0);
  EXPECT_EQ(mean_chronology_label_code(1, 0), 1);
  EXPECT_EQ(mean_chronology_label_code(1, 1), 6);
  EXPECT_EQ(mean_chronology_label_code(2, 0), 3);
  EXPECT_EQ(mean_chronology_label_code(2, 1), 7);
  EXPECT_EQ(mean_chronology_label_code(-50, 0), 5);
  EXPECT_EQ(mean_chronology_label_code(-100, 1), 8);
  EXPECT_EQ(label(12, mean_chronology_label_code(-1, 1)), "!jth quantile with bootstrap limits");
  EXPECT_EQ(label(12, 2), "!robust (biweight) mean chronology");
  EXPECT_EQ(label(12, 4), "");
}

}  // namespace
}  // namespace dendro
