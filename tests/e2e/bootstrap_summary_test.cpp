// Bootstrap confidence-limit files and the summary plots of a real data file, end to end:
// the four limit files with their heads and records, and which summary pages a run shows
// for its options and answers.
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <sstream>

#include "harness.h"

namespace dendro::e2e {
namespace {

// The start of a run over keny002.rwl (13 series, 1935-1994) up to its option menu, and the
// end of the option menu with the run's confirmation.
const std::string kStart = "\nf.txt\nT\nn\n";
const std::string kGo = "\n\n";

struct LimitRecord {
  int depth = 0;
  double value = 0, lower = 0, upper = 0, smooth = 0, smooth_lower = 0, smooth_upper = 0;
};

// A limits file by year (layout (2i6,6f8.3) after the head).
std::map<int, LimitRecord> limit_records(const std::vector<std::string>& lines) {
  std::map<int, LimitRecord> records;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    const std::string& l = lines[k];
    auto f = [&](std::size_t at) { return std::stod(l.substr(12 + 8 * at, 8)); };
    records[std::stoi(l.substr(0, 6))] =
        LimitRecord{std::stoi(l.substr(6, 6)), f(0), f(1), f(2), f(3), f(4), f(5)};
  }
  return records;
}

// The tab-separated table file by year: every field of the row after the year.
std::map<int, std::vector<double>> table_rows(const std::vector<std::string>& lines) {
  std::map<int, std::vector<double>> rows;
  for (std::size_t k = 1; k < lines.size(); ++k) {
    std::istringstream fields(lines[k]);
    std::string year;
    std::getline(fields, year, '\t');
    auto& row = rows[std::stoi(year)];
    for (std::string v; std::getline(fields, v, '\t');) row.push_back(std::stod(v));
  }
  return rows;
}

// Pages of the chronology pairs (the only menus with the sample depth limits) and of all
// chronology plots (the plot options box one star wider than the all-series plot's).
std::size_t pair_pages(const std::string& console) {
  return count_of(console, "sample depth plot");
}
std::size_t chronology_pages(const std::string& console) {
  return count_of(console, "plot options menu **************|");
}

class KenyaRun : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("keny002.rwl");
    box.write_file("f.txt", "keny002.rwl\n");
  }
  Sandbox box;
};

TEST_F(KenyaRun, bootstrap_limit_files) {
  // Robust mean with bootstrap limits, no plot.
  RunResult r = box.kalder(kStart + "12\n2\ny\nn\n" + kGo + "\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto table = table_rows(box.read_lines("keny002.rwl_tabs.txt"));
  std::map<std::string, std::map<int, LimitRecord>> files;
  for (const char* kind : {"raw", "std", "res", "kld"}) {
    const auto lines = box.read_lines(std::string("keny002.rwl_") + kind + "_95%cl.txt");
    ASSERT_EQ(lines.size(), 61u) << kind;
    // The spline length of the dialogue's default, 20, in characters 37-41.
    EXPECT_EQ(lines[0],
              std::string("  year    nc     ") + kind + "    2.5%   97.5%   20spl    2.5%   97.5%");
    files[kind] = limit_records(lines);
    EXPECT_EQ(files[kind].begin()->first, 1935) << kind;
    EXPECT_EQ(files[kind].rbegin()->first, 1994) << kind;
  }

  // Depth and chronology values as the table file holds them (num, raw and std columns).
  for (const auto& [year, row] : table) {
    EXPECT_EQ(files["raw"].at(year).depth, static_cast<int>(row[0])) << year;
    EXPECT_NEAR(files["raw"].at(year).value, row[3], 0.0011) << year;
    EXPECT_NEAR(files["std"].at(year).value, row[4], 0.0011) << year;
  }

  // Years with 1 to 5 series carry the mean as both limits; with 6 or more a bootstrap
  // interval.
  int small = 0, large = 0;
  for (const char* kind : {"raw", "std", "res"}) {
    for (const auto& [year, rec] : files[kind]) {
      if (rec.depth <= 5) {
        ++small;
        EXPECT_EQ(rec.lower, rec.value) << kind << year;
        EXPECT_EQ(rec.upper, rec.value) << kind << year;
      } else {
        ++large;
        EXPECT_LT(rec.lower, rec.upper) << kind << year;
      }
    }
  }
  EXPECT_GT(small, 0);
  EXPECT_GT(large, 0);

  // Kalder limits: the residual limits' distances from the residual chronology, stretched
  // by f = 1 + sqrt(v - 1), with v the variance inflation of the general output file.
  const std::string out = box.read_file("keny002.rwl_out.txt");
  const std::string label = "variance inflation from autoregression:";
  const auto at = out.find(label);
  ASSERT_NE(at, std::string::npos);
  const double v = std::stod(out.substr(at + label.size(), 8)) / 100.0;
  const double f = 1.0 + std::sqrt(v - 1.0);
  for (const auto& [year, kld] : files["kld"]) {
    const LimitRecord& res = files["res"].at(year);
    // Each printed value is within 0.0005 of the one computed with.
    const double tolerance = 0.0005 * (2.0 + 2.0 * f);
    EXPECT_NEAR(kld.lower, kld.value - f * (res.value - res.lower), tolerance) << year;
    EXPECT_NEAR(kld.upper, kld.value + f * (res.upper - res.value), tolerance) << year;
  }
}

TEST_F(KenyaRun, no_more_plots_in_the_first_chronology_page) {
  // Arithmetic mean, spaghetti and summary plots (code 3); every page answered "n".
  const std::string options = "12\n1\nn\n19\n3\n";
  std::string answers;
  for (int k = 0; k < 40; ++k) answers += "n\n";
  RunResult r = box.kalder(kStart + options + kGo + answers);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(pair_pages(r.output), 1u);  // the residual and kalder page is skipped
  EXPECT_EQ(r.output.find("no running rbar plotted"), std::string::npos);

  // Continued instead: both chronology pages, then (the default window of 50 years leaves
  // no running rbar in 60 years) the notices.
  r = box.kalder(kStart + options + kGo + std::string(40, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(pair_pages(r.output), 2u);
  EXPECT_NE(r.output.find("\n *** no running rbar plotted ***\n"
                          " *** number of segments is 1 ***\n"),
            std::string::npos);
}

TEST_F(KenyaRun, running_rbar_flag_draws_its_pages_without_summary_plots) {
  // No summary plots; running rbar of 20 years moved on by 10, with its plots.
  RunResult r = box.kalder(kStart + "16\n20\n10\ny\n" + kGo + std::string(20, '\n'));
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(pair_pages(r.output), 0u);
  // Raw, detrended and residual steps (no transformation).
  EXPECT_EQ(chronology_pages(r.output), 3u);
}

}  // namespace
}  // namespace dendro::e2e
