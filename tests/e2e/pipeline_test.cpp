// A default run of kalder over two real ring-width files, interactive and then in batch
// mode: every per-file output, the run-wide chronology files, and a batch run that
// reproduces the interactive one.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "harness.h"

namespace dendro::e2e {
namespace {

const char* const kPerFile[] = {"_out.txt",      "_crns.txt",     "_errs.txt",
                                "_tabs.txt",     "_raw_rbar.txt", "_ind_rbar.txt",
                                "_res_rbar.txt", "_spectra.txt",  "_detail.txt"};
const char* const kRunWide[] = {"crns_raw.txt",     "crns_std.txt",     "crns_res.txt",
                                "crns_kld.txt",     "crns_raw_err.txt", "crns_std_err.txt",
                                "crns_res_err.txt", "crns_kld_err.txt"};

// Runs kalder in batch mode on f.txt and expects every file of `before` as it was; the
// general output files say once more that the batch run read the detail file.
void expect_batch_run_reproduces(Sandbox& box, const std::map<std::string, std::string>& before) {
  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(batch.status, 0) << batch.output;
  EXPECT_EQ(batch.output.find("follows their own codes"), std::string::npos);
  for (const auto& [name, text] : before) {
    std::string again = box.read_file(name);
    if (name.ends_with("_out.txt")) {
      const std::string detail = name.substr(0, name.size() - 8) + "_detail.txt";
      // The name in its 40-character field.
      const std::string line = " batch detail file processed:     " + detail +
                               std::string(40 - detail.size(), ' ') + "\n\n";
      const auto at = again.find(line);
      ASSERT_NE(at, std::string::npos) << name;
      again.erase(at, line.size());
    }
    EXPECT_EQ(again, text) << name;
  }
}

class DefaultRun : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("co021.rwl");
    box.copy_data("nc004.rwl");
    box.write_file("f.txt", "co021.rwl\nnc004.rwl\n");
  }
  Sandbox box;
};

TEST_F(DefaultRun, writes_every_output_and_the_batch_run_reproduces_it) {
  RunResult interactive = box.kalder("\nf.txt\nT\nn\ny\n\n\n\n");
  ASSERT_EQ(interactive.status, 0) << interactive.output;
  std::map<std::string, std::string> first;
  for (const char* site : {"co021.rwl", "nc004.rwl"}) {
    for (const char* suffix : kPerFile) {
      const std::string name = std::string(site) + suffix;
      ASSERT_TRUE(box.exists(name)) << name;
      first[name] = box.read_file(name);
    }
  }
  for (const char* name : kRunWide) first[name] = box.read_file(name);

  // The run-wide files hold both data files' chronologies, in run order.
  for (const char* name : {"crns_std.txt", "crns_kld.txt"}) {
    const auto chronologies = read_chronologies(first[name]);
    ASSERT_EQ(chronologies.size(), 2u) << name;
    EXPECT_EQ(chronologies[0].begin()->first, 1176) << name;  // co021: 1176-1964
    EXPECT_EQ(chronologies[1].begin()->first, 1641) << name;  // nc004: 1641-1984
  }

  expect_batch_run_reproduces(box, first);
}

// Option 2 on co021 falls back to a line for some series, and to the horizontal mean for
// 643211 and 643244, whose lines rise; the report calls both code 5. The detail file holds
// 6 for the mean, and the batch re-run fits option 2 again and changes no file.
TEST(FallBacks, detail_file_holds_the_curve_fitted_and_the_batch_run_changes_nothing) {
  Sandbox box;
  box.copy_data("co021.rwl");
  box.write_file("f.txt", "co021.rwl\n");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n4\n2\n\n\n\n").status, 0);
  const std::string detail = box.read_file("co021.rwl_detail.txt");
  EXPECT_NE(detail.find("  14  643211    1590  1963     0     0     6"), std::string::npos);
  EXPECT_NE(detail.find("  17  643244    1470  1963     0     0     6"), std::string::npos);
  const std::map<std::string, std::string> before = box.files("co021.rwl_");
  ASSERT_GE(before.size(), 9u);
  expect_batch_run_reproduces(box, before);
}

TEST_F(DefaultRun, chronology_file_reads_back_as_the_table_holds_it) {
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\ny\n\n\n\n").status, 0);
  // The chronology file holds raw, standard, residual and kalder chronologies in that
  // order; the table file has the same chronologies in columns 4 to 7 with 3 decimals.
  const auto chronologies = read_chronologies(box.read_file("nc004.rwl_crns.txt"));
  ASSERT_EQ(chronologies.size(), 4u);
  const std::string table = box.read_file("nc004.rwl_tabs.txt");
  for (int k = 0; k < 4; ++k) {
    const auto column = table_column(table, 4 + k);
    ASSERT_EQ(chronologies[static_cast<std::size_t>(k)].size(), column.size()) << k;
    for (const auto& [year, v] : chronologies[static_cast<std::size_t>(k)]) {
      EXPECT_NEAR(v, column.at(year), 0.00051) << "chronology " << k << " year " << year;
    }
  }
  // Index chronologies average close to 1.
  double sum = 0;
  for (const auto& [year, v] : chronologies[1]) sum += v;
  EXPECT_NEAR(sum / static_cast<double>(chronologies[1].size()), 1.0, 0.1);
}

}  // namespace
}  // namespace dendro::e2e
