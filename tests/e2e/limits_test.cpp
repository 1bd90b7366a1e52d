// Runs at the year limit: a set spanning exactly 5000 years is processed, one year more
// stops the run with the limit message.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "harness.h"
#include "series/tucson.h"

namespace dendro::e2e {
namespace {

// A ring-width file of three series: one over the whole span, two over its halves.
std::string ring_widths(int first_year, int years) {
  std::ostringstream out;
  auto series = [&](const char* id, int first, int n) {
    std::vector<float> w(static_cast<std::size_t>(n));
    for (int t = 0; t < n; ++t) {
      w[static_cast<std::size_t>(t)] =
          std::round(1000.0f * (0.5f + 0.3f * std::sin(0.7f * static_cast<float>(t)) +
                                0.8f * std::exp(-0.01f * static_cast<float>(t)))) /
          1000.0f;
    }
    trrw_write(out, TucsonMode::mw, id, first, w, {}, "   ");
  };
  series("LONG0001", first_year, years);
  series("HALF0001", first_year, years / 2);
  series("HALF0002", first_year + years / 2, years - years / 2);
  return out.str();
}

TEST(limits_e2e, a_set_of_exactly_5000_years_runs_through) {
  Sandbox box;
  box.write_file("long.rwl", ring_widths(-2999, 5000));
  box.write_file("f.txt", "long.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("     3 series from  -2999 to   2000    5000 years"), std::string::npos);
  const auto table = box.read_lines("long.rwl_tabs.txt");
  ASSERT_EQ(table.size(), 5001u);  // head and one row per year
  EXPECT_EQ(table[1].substr(0, 8), "  -2999\t");
  EXPECT_EQ(table[5000].substr(0, 8), "   2000\t");
  // A spline of 200 percent of 5000 years is 10000 years stiff: a blank keeps it apart from
  // the option code. (The ids read as seven characters before a five-column year.)
  r = box.kalder("\nf.txt\nT\nn\n4\n-200\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(box.read_file("long.rwl_out.txt")
                .find("\n     1   LONG000  -200 10000         smoothing spline curve and window "
                      "width\n     2   HALF000  -200 5000         smoothing"),
            std::string::npos);
}

TEST(limits_e2e, one_year_more_stops_with_the_limit_message) {
  Sandbox box;
  box.write_file("long.rwl", ring_widths(-3000, 5001));
  box.write_file("f.txt", "long.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("exceeds maximum allowable length"), std::string::npos) << r.output;
}

}  // namespace
}  // namespace dendro::e2e
