// A default run (age-dependent spline as the first detrending) on a real ring-width file:
// the index series and the fit lines of the general output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

TEST(detrending_e2e, default_run_gives_positive_indices_near_one) {
  Sandbox box;
  box.copy_data("co021.rwl");
  box.write_file("f.txt", "co021.rwl\n");
  // Option 18 = 5 saves every stage as space-delimited columns.
  RunResult r = box.kalder("\nf.txt\nT\nn\n18\n5\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;

  const auto indices = space_delimited_series(box.read_file("co021.rwl_ind1.txt"));
  const auto raw = space_delimited_series(box.read_file("co021.rwl_raw.txt"));
  ASSERT_EQ(indices.size(), 35u);  // co021: 35 series
  ASSERT_EQ(raw.size(), 35u);
  std::vector<double> means;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const auto& column = indices[i];
    ASSERT_EQ(column.size(), raw[i].size());
    double sum = 0;
    for (const auto& [year, index] : column) {
      ASSERT_EQ(raw[i].count(year), 1u) << "series " << i + 1 << " year " << year;
      // Every index is positive, but for a zero ring, whose index is 0.
      if (raw[i].at(year) > 0) {
        EXPECT_GT(index, 0.0) << "series " << i + 1;
      } else {
        EXPECT_EQ(index, 0.0) << "series " << i + 1;
      }
      sum += index;
    }
    means.push_back(sum / static_cast<double>(column.size()));
  }
  // The spline's rising-tail rule leaves some series well above 1; most stay close to it.
  std::sort(means.begin(), means.end());
  EXPECT_NEAR(means[means.size() / 2], 1.0, 0.1);
  const auto near_one =
      std::count_if(means.begin(), means.end(), [](double m) { return m > 0.85 && m < 1.2; });
  EXPECT_GE(near_one, 25);

  // One fit line per series names the curve used (option -6).
  const std::string out = box.read_file("co021.rwl_out.txt");
  EXPECT_NE(out.find("     -6: age dependent spline"), std::string::npos);
  EXPECT_NE(out.find("     1   641114       -6 "), std::string::npos);
  EXPECT_NE(out.find("    35   646244       -6 "), std::string::npos);
}

}  // namespace
}  // namespace dendro::e2e
