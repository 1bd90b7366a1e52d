// A series whose default curve (the age-dependent spline) goes below zero: cana7rw.rwl,
// series NOJ045C, 1994. The interactive run lets the user refit it; the batch re-run
// repeats that refit without a question; a run whose user keeps the negative curve stops
// and leaves no file cut in the middle.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace dendro::e2e {
namespace {

const char* const kRunWide[] = {"crns_raw.txt",     "crns_std.txt",     "crns_res.txt",
                                "crns_kld.txt",     "crns_rcs.txt",     "crns_raw_err.txt",
                                "crns_std_err.txt", "crns_res_err.txt", "crns_kld_err.txt",
                                "crns_rcs_err.txt"};

// The console's report of a data file, new to the folder, that stopped before its
// chronologies were written.
// What a stop keeps and removes of a data file's files written for the first time.
std::string kept_and_removed(const std::string& site) {
  return " *** files of this run kept, as no earlier file had their names:\n       " + site +
         "_out.txt\n *** new files of this run removed, as their set was not put in place:\n      "
         " " +
         site + "_tabs.txt\n       " + site + "_crns.txt\n       " + site + "_errs.txt\n";
}

std::string stop_report(const std::string& site) {
  return " *** " + site + " was not processed to its end\n" + kept_and_removed(site);
}

// The start of an interactive run with the default options: start prompt, the file-names
// file, title, interactive mode, the menu as it stands and "continue".
const std::string kStart = "\nf.txt\nT\nn\n\n\n";
// At the negative curve: Return at the pause, continue at the plot menu.
const std::string kShown = "\n\n";

class NegativeCurve : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("cana7rw.rwl");
    box.write_file("f.txt", "cana7rw.rwl\n");
  }

  // The chronology file's four chronologies, each as the table file holds it.
  void expect_complete_chronologies(const std::string& prefix) {
    const auto chronologies = read_chronologies(box.read_file(prefix + "_crns.txt"));
    const std::string table = box.read_file(prefix + "_tabs.txt");
    // The raw chronology (mean ring widths above 9.989 mm) has no place in the index
    // records: standard, residual and kalder chronologies remain.
    ASSERT_EQ(chronologies.size(), 3u);
    for (int k = 0; k < 3; ++k) {
      const auto column = table_column(table, 5 + k);
      ASSERT_EQ(chronologies[static_cast<std::size_t>(k)].size(), column.size()) << k;
      for (const auto& [year, v] : chronologies[static_cast<std::size_t>(k)]) {
        EXPECT_NEAR(v, column.at(year), 0.00051) << "chronology " << k << " year " << year;
      }
    }
    EXPECT_EQ(box.read_file(prefix + "_crns.txt").find("****"), std::string::npos);
    EXPECT_EQ(box.read_file(prefix + "_errs.txt").find("****"), std::string::npos);
  }

  Sandbox box;
};

TEST_F(NegativeCurve, refit_is_kept_and_repeated_by_the_batch_run) {
  // "h" lists the codes and asks again; "n" keeps the curve, so the stop question follows;
  // a blank there asks again; "n" goes back to the fit; "y" and 6 refit the series with
  // the horizontal mean; the refit is shown once more and kept.
  const std::string answers = kStart + kShown + "h\nn\n\n\nn\n" + "\ny\n6\n" + "\nn\n\n" + "\n";
  RunResult r = box.kalder(answers);
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_EQ(count_of(r.output, "change curve fit? y/<n>"), 4);
  EXPECT_EQ(count_of(r.output, "is that what you really want? y/n"), 2);
  EXPECT_EQ(count_of(r.output, "hasta la vista"), 0);
  EXPECT_NE(r.output.find("*** series: NOJ045C   growth curve goes negative! ***\nyear:   1994 "),
            std::string::npos);
  expect_complete_chronologies("cana7rw.rwl");
  const std::string detail = box.read_file("cana7rw.rwl_detail.txt");
  EXPECT_NE(detail.find("   9  NOJ045C   1955  1994     0     0     6     0"), std::string::npos);
  EXPECT_NE(detail.find("   8  NOJ139C   "), std::string::npos);

  std::vector<std::string> before;
  for (const char* suffix : {"_crns.txt", "_errs.txt", "_tabs.txt", "_detail.txt"}) {
    before.push_back(box.read_file(std::string("cana7rw.rwl") + suffix));
  }
  // The batch run asks nothing: the detail file's code 6 drives the fit of NOJ045C.
  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  ASSERT_EQ(batch.status, 0) << batch.output;
  EXPECT_EQ(batch.output.find("goes negative"), std::string::npos);
  EXPECT_EQ(batch.output.find("change curve fit"), std::string::npos);
  std::size_t k = 0;
  for (const char* suffix : {"_crns.txt", "_errs.txt", "_tabs.txt", "_detail.txt"}) {
    EXPECT_EQ(box.read_file(std::string("cana7rw.rwl") + suffix), before[k++]) << suffix;
  }
}

TEST_F(NegativeCurve, a_kept_negative_curve_stops_and_removes_what_it_cut) {
  RunResult r = box.kalder(kStart + kShown + "n\n\ny\n");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find("*** negative growth curve value ***\n\n" + stop_report("cana7rw.rwl")),
            std::string::npos)
      << r.output;
  for (const char* suffix : {"_tabs.txt", "_crns.txt", "_errs.txt", "_detail.txt"}) {
    EXPECT_FALSE(box.exists(std::string("cana7rw.rwl") + suffix)) << suffix;
  }
  for (const char* name : kRunWide) EXPECT_FALSE(box.exists(name)) << name;
  EXPECT_TRUE(box.exists("cana7rw.rwl_log.txt"));
  const std::string out = box.read_file("cana7rw.rwl_out.txt");
  EXPECT_TRUE(
      out.ends_with("\n *** processing of this data file stopped here\n"
                    " *** negative growth curve value ***\n"));
}

// Two data files processed to their end, then a third that stops: the run-wide files keep
// exactly the first two files' chronologies, and the first two keep all their files.
// Then a run that stops with one data file done leaves them as they are.
TEST_F(NegativeCurve, run_wide_files_keep_the_data_files_processed_to_their_end) {
  box.copy_data("co021.rwl");
  box.copy_data("nc004.rwl");
  box.write_file("f.txt", "co021.rwl\nnc004.rwl\ncana7rw.rwl\n");
  // Same commands for all files.
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n" + kShown + "n\n\ny\n");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find(" *** run-wide files kept with the data files processed to their "
                          "end only:\n       crns_raw.txt\n"),
            std::string::npos);
  for (const char* name : {"crns_raw.txt", "crns_std.txt", "crns_res.txt", "crns_kld.txt",
                           "crns_std_err.txt", "crns_kld_err.txt"}) {
    const auto chronologies = read_chronologies(box.read_file(name));
    ASSERT_EQ(chronologies.size(), 2u) << name;
    EXPECT_EQ(chronologies[0].begin()->first, 1176) << name;  // co021: 1176-1963
    EXPECT_EQ(chronologies[0].rbegin()->first, 1963) << name;
    EXPECT_EQ(chronologies[1].begin()->first, 1641) << name;  // nc004: 1641-1983
    EXPECT_EQ(chronologies[1].rbegin()->first, 1983) << name;
    // Three title records before each chronology, and nothing after the second.
    const auto lines = box.read_lines(name);
    EXPECT_TRUE(lines.back().starts_with("nc004.")) << name;
  }
  EXPECT_FALSE(box.exists("crns_rcs.txt"));  // no regional curve in this run
  for (const char* site : {"co021.rwl", "nc004.rwl"}) {
    for (const char* suffix : {"_out.txt", "_crns.txt", "_errs.txt", "_tabs.txt", "_detail.txt"}) {
      EXPECT_TRUE(box.exists(std::string(site) + suffix)) << site << suffix;
    }
    EXPECT_EQ(read_chronologies(box.read_file(std::string(site) + "_crns.txt")).size(), 4u);
  }
  EXPECT_FALSE(box.exists("cana7rw.rwl_crns.txt"));
  // Run again over that set: the run-wide set took its names as the run stopped, and is
  // said so, not among the earlier files replaced before the run ended.
  r = box.kalder("\nf.txt\nT\nn\n\n\n\n" + kShown + "n\n\ny\n");
  const std::size_t replaced = r.output.find(" *** earlier files this run had replaced");
  ASSERT_NE(replaced, std::string::npos) << r.output;
  const std::size_t kept = r.output.find(" *** run-wide files kept with");
  ASSERT_NE(kept, std::string::npos) << r.output;
  EXPECT_GT(r.output.find("crns_", replaced), kept) << r.output;

  // A stop at the second of three data files names the third as not processed; the
  // run-wide files, one data file's, are not written, and the earlier ones stay.
  std::string bad = box.read_file("nc004.rwl");
  bad[bad.find('\n') + 15] = 'x';  // a letter in the first value of the second record
  box.write_file("bad2.rwl", bad);
  box.write_file("f.txt", "co021.rwl\nbad2.rwl\nnc004.rwl\n");
  const auto earlier = box.files("crns_");
  const std::string nc004 = box.read_file("nc004.rwl_crns.txt");
  r = box.kalder("\nf.txt\nT\nn\n\n\n\n\n");  // Return after the reader's message
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find(kept_and_removed("bad2.rwl") + " *** run-wide files not written, as " +
                          "fewer than two data files were processed to their end:\n" +
                          "       crns_raw.txt"),
            std::string::npos)
      << r.output;
  EXPECT_TRUE(r.output.ends_with(" *** data files of the list not processed:\n       nc004.rwl\n"))
      << r.output;
  EXPECT_EQ(box.files("crns_"), earlier);
  EXPECT_EQ(box.read_file("nc004.rwl_crns.txt"), nc004);
}

// A reader that cannot go on (min.rwl: values not in the fixed columns) stops the run the
// same way: nothing was written to the chronology files yet, and they go.
TEST(StoppedRun, a_reader_stop_leaves_no_empty_chronology_files) {
  Sandbox box;
  box.copy_data("min.rwl");
  box.write_file("f.txt", "min.rwl\n");
  RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
  EXPECT_EQ(r.status, 1) << r.output;
  EXPECT_NE(r.output.find(stop_report("min.rwl")), std::string::npos) << r.output;
  for (const char* name : {"min.rwl_tabs.txt", "min.rwl_crns.txt", "min.rwl_errs.txt"}) {
    EXPECT_FALSE(box.exists(name)) << name;
  }
  for (const char* name : kRunWide) EXPECT_FALSE(box.exists(name)) << name;
  EXPECT_NE(
      box.read_file("min.rwl_out.txt").find(" *** processing of this data file stopped here\n"),
      std::string::npos);
}

}  // namespace
}  // namespace dendro::e2e
