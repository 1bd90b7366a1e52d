// A default run (age-dependent spline as the first detrending) on a real ring-width file:
// the index series and the fit lines of the general output file.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

// The columns of a space-delimited series file: one vector of present values per series.
std::vector<std::vector<double>> series_columns(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  std::istringstream head(line);
  std::vector<std::vector<double>> columns;
  for (std::string id; head >> id;) {
    if (id != "year") columns.emplace_back();
  }
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::string v;
    fields >> v;  // year
    for (auto& column : columns) {
      if (fields >> v && v != ".") column.push_back(std::stod(v));
    }
  }
  return columns;
}

TEST(detrending_e2e, default_run_gives_positive_indices_near_one) {
  Sandbox box;
  box.copy_data("co021.rwl");
  box.write_file("f.txt", "co021.rwl\n");
  // Option 18 = 5 saves every stage as space-delimited columns.
  RunResult r = box.kalder("\nf.txt\nT\nn\n18\n5\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;

  const auto indices = series_columns(box.read_file("co021.rwl_ind1.txt"));
  const auto raw = series_columns(box.read_file("co021.rwl_raw.txt"));
  ASSERT_EQ(indices.size(), 35u);  // co021: 35 series
  ASSERT_EQ(raw.size(), 35u);
  std::vector<double> means;
  for (std::size_t i = 0; i < indices.size(); ++i) {
    const auto& column = indices[i];
    ASSERT_EQ(column.size(), raw[i].size());
    // Every index is positive, but for a zero ring, whose index is 0.
    for (std::size_t t = 0; t < column.size(); ++t) {
      if (raw[i][t] > 0) {
        EXPECT_GT(column[t], 0.0) << "series " << i + 1;
      } else {
        EXPECT_EQ(column[t], 0.0) << "series " << i + 1;
      }
    }
    double sum = 0;
    for (double v : column) sum += v;
    means.push_back(sum / static_cast<double>(column.size()));
  }
  // The spline's rising-tail rule leaves some series well above 1; most stay close to it.
  std::sort(means.begin(), means.end());
  EXPECT_NEAR(means[means.size() / 2], 1.0, 0.1);
  const auto near_one = std::count_if(means.begin(), means.end(),
                                      [](double m) { return m > 0.85 && m < 1.2; });
  EXPECT_GE(near_one, 25);

  // One fit line per series names the curve used (option -6).
  const std::string out = box.read_file("co021.rwl_out.txt");
  EXPECT_NE(out.find("     -6: age dependent spline"), std::string::npos);
  EXPECT_NE(out.find("     1   641114       -6 "), std::string::npos);
  EXPECT_NE(out.find("    35   646244       -6 "), std::string::npos);
}

}  // namespace
}  // namespace dendro::e2e
