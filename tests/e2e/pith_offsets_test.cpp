// End-to-end: pelliform's pith offsets follow their series through the series menu. A run
// that reduces the data file, with the data file's offsets, builds the same chronologies
// as a run on the reduced set's saved file with the offsets of its series.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "series/tucson.h"

#ifdef PELLIFORM_PATH

namespace dendro::e2e {
namespace {

// Five series (first year, rings, offset) as in the series menu's tests, their widths
// falling with the age (offset + ring) on a wave common to all: data.rwl and pith.txt.
void write_data(Sandbox& box) {
  const int trees[5][3] = {
      {1900, 80, 5}, {1910, 70, 0}, {1920, 50, 12}, {1905, 60, 3}, {1930, 50, 20}};
  std::ostringstream data;
  std::string pith;
  for (int t = 0; t < 5; ++t) {
    std::vector<float> widths;
    for (int k = 1; k <= trees[t][1]; ++k) {
      const double year = trees[t][0] + k - 1;
      const double wave = 1.0 + 0.25 * std::sin(0.8 * year) + 0.1 * std::cos(0.31 * year + t);
      widths.push_back(
          std::round(1000.0 * (0.4 + 2.5 * std::exp(-(trees[t][2] + k) / 25.0)) * wave) / 1000.0f);
    }
    trrw_write(data, TucsonMode::mw, "PTH0" + std::to_string(t + 1), trees[t][0], widths, {}, "");
    pith += std::to_string(trees[t][2]) + "\n";
  }
  box.write_file("data.rwl", data.str());
  box.write_file("pith.txt", pith);
}

// After the series menu: the regional curve with pith.txt (one-column layout, no header
// lines), the arithmetic mean, no running RBAR, the default convergence; then "c" at a
// plot page or "F" at a true-or-false question (no other fit, no truncation of the curve,
// no series plots) as often as the run asks.
std::string rcs_with_offsets() {
  std::string input = "-2\nT\npith.txt\n1\n0\n1\n0\n\n\n";
  for (int k = 0; k < 300; ++k) input += "c\nF\n";
  return input;
}

// Runs the reduced set `saved` that the run in `reduced` wrote with `offsets`, and
// compares the chronologies of both runs.
void expect_same_chronologies(const Sandbox& reduced, const std::string& saved,
                              const std::string& offsets) {
  Sandbox kept;
  kept.write_file("kept.rwl", reduced.read_file(saved));
  kept.write_file("pith.txt", offsets);
  const RunResult r = kept.run(PELLIFORM_PATH, "kept.rwl\n1\nR\n\n" + rcs_with_offsets());
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string chronologies = reduced.read_file("data_crns_col.txt");
  EXPECT_GT(split_lines(chronologies).size(), 30u);
  EXPECT_EQ(kept.read_file("kept_crns_col.txt"), chronologies) << saved;
}

TEST(pith_offsets, a_retry_that_truncates_matches_its_saved_set) {
  // The first pass keeps the three series of at least 55 rings; its regional curve is
  // tried again (two pages, then "T"). The retry reads the data file again and truncates
  // every series before 1915 instead (15, 5, 0, 10 and 0 rings cut), age-dependent spline.
  Sandbox box;
  write_data(box);
  std::string input = "data.rwl\n1\nR\n2\n55\n-2\nT\npith.txt\n1\n0\n1\n0\n\n\nc\nc\nT\n";
  input += "1\nR\n5\n1915\n-2\n-2\n1\n0\n\n\n";
  for (int k = 0; k < 300; ++k) input += "c\nF\n";
  const RunResult r = box.run(PELLIFORM_PATH, input);
  ASSERT_EQ(r.status, 0) << r.output;
  ASSERT_NE(r.output.find("Select RCS curve fit options:"), std::string::npos);
  expect_same_chronologies(box, "data_trunb=1915.txt", "20\n5\n12\n13\n20\n");
}

}  // namespace
}  // namespace dendro::e2e

#endif  // PELLIFORM_PATH
