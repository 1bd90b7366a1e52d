// A default run of kalder over two real ring-width files, interactive and then in batch
// mode: every per-file output, the run-wide chronology files, and a batch run that
// reproduces the interactive one.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <sstream>

#include "harness.h"

namespace dendro::e2e {
namespace {

namespace fs = std::filesystem;

const char* const kPerFile[] = {"_out.txt",      "_crns.txt",     "_errs.txt",
                                "_tabs.txt",     "_raw_rbar.txt", "_ind_rbar.txt",
                                "_res_rbar.txt", "_spectra.txt",  "_detail.txt"};
const char* const kRunWide[] = {"crns_raw.txt",     "crns_std.txt",     "crns_res.txt",
                                "crns_kld.txt",     "crns_raw_err.txt", "crns_std_err.txt",
                                "crns_res_err.txt", "crns_kld_err.txt"};

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

  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(batch.status, 0) << batch.output;
  for (const auto& [name, text] : first) {
    std::string again = box.read_file(name);
    if (name.ends_with("_out.txt")) {
      // A batch run also reads the batch detail file, and says so.
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
