// What a run leaves of the files of earlier runs: a run that stops, or is interrupted,
// changes no earlier file with one it had not completed; the run-wide chronologies are one
// set; the files of a data file's prefix that a run did not write are named; a save asks
// before it replaces a file and never takes the run's own.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "harness.h"

namespace dendro::e2e {
namespace {

// An interactive run of one data file with the default options.
const std::string kDefaults = "\nf.txt\nT\nn\n\n\n\n";

// The files of the folder whose names end in ".part": a run's unfinished versions.
int unfinished(const Sandbox& box) {
  int n = 0;
  for (const auto& [name, text] : box.files("")) n += name.ends_with(".part") ? 1 : 0;
  return n;
}

class KeptFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_file("s.rwl", similar_series("SITE", 8, 1850, 120));
    box.write_file("f.txt", "s.rwl\n");
  }
  Sandbox box;
};

TEST_F(KeptFiles, a_stopped_rerun_leaves_every_earlier_result_as_it_was) {
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const auto earlier = box.files("s.rwl_");
  ASSERT_GE(earlier.size(), 8u);
  // A value of the third record no longer reads: a batch and an interactive re-run stop
  // there (after the reader's pause).
  std::string data = box.read_file("s.rwl");
  data[data.find('\n', data.find('\n') + 1) + 15] = 'x';
  box.write_file("s.rwl", data);
  for (const std::string& answers : {std::string("\nf.txt\nT\ny\n\n\n"), kDefaults + "\n"}) {
    const RunResult r = box.kalder(answers);
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(box.files("s.rwl_"), earlier);
    EXPECT_NE(r.output.find(" *** s.rwl was not processed to its end\n"
                            " *** earlier files kept as they were, as this run did not complete "
                            "them:\n       s.rwl_out.txt\n       s.rwl_tabs.txt\n"
                            "       s.rwl_crns.txt\n       s.rwl_errs.txt\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(unfinished(box), 0);
  }
}

TEST_F(KeptFiles, an_interrupt_leaves_every_earlier_result_as_it_was) {
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  auto earlier = box.files("s.rwl_");
  earlier.erase("s.rwl_log.txt");  // the menu of the interrupted run completes a new one
  // Summary plots: the run waits at the first plot menu when the signal comes.
  for (const int signal_number : {SIGINT, SIGTERM}) {
    const RunResult r = box.interrupt(KALDER_PATH, "\nf.txt\nT\nn\n19\n1\n\n\n",
                                      "enter option number >", signal_number);
    EXPECT_EQ(r.status, 128 + signal_number) << r.output;
    auto now = box.files("s.rwl_");
    now.erase("s.rwl_log.txt");
    EXPECT_EQ(now, earlier);
    EXPECT_NE(r.output.find("\n *** interrupted: the run ends here\n"
                            " *** earlier files kept as they were, as this run did not complete "
                            "them:\n       s.rwl_out.txt\n"),
              std::string::npos)
        << r.output;
    EXPECT_EQ(unfinished(box), 0);
  }
}

TEST_F(KeptFiles, the_run_wide_files_are_one_set_and_earlier_files_are_named) {
  box.write_file("t.rwl", similar_series("TREE", 8, 1870, 120));
  box.write_file("f.txt", "s.rwl\nt.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults + "\n").status, 0);
  ASSERT_TRUE(box.exists("crns_res.txt"));
  // No autoregressive modelling: no residual or kalder chronologies, nor their files.
  const RunResult r = box.kalder("\nf.txt\nT\nn\n\n9\n0\n\n\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  for (const char* name :
       {"crns_res.txt", "crns_kld.txt", "crns_res_err.txt", "crns_kld_err.txt"}) {
    EXPECT_FALSE(box.exists(name)) << name;
  }
  EXPECT_EQ(read_chronologies(box.read_file("crns_std.txt")).size(), 2u);
  EXPECT_NE(r.output.find(" *** run-wide files of an earlier run removed, as this run did not "
                          "write them:\n       crns_res.txt\n       crns_kld.txt\n"
                          "       crns_res_err.txt\n       crns_kld_err.txt\n"),
            std::string::npos)
      << r.output;
  // The first run's residual rbar of each file stays, named on the console and in the
  // general output file.
  for (const std::string site : {"s.rwl", "t.rwl"}) {
    const std::string note =
        " *** files left from an earlier run, which this run did not "
        "write:\n       " +
        site + "_res_rbar.txt\n";
    EXPECT_NE(r.output.find(note), std::string::npos) << site;
    EXPECT_TRUE(box.read_file(site + "_out.txt").ends_with(note)) << site;
  }
}

TEST_F(KeptFiles, a_save_asks_before_it_replaces_a_file_and_never_takes_the_runs_own) {
  box.write_file("old.ps", "an earlier page\n");
  // At the first summary plot: the data file, the list file, then old.ps, refused once.
  const RunResult r = box.kalder(
      "\nf.txt\nT\nn\n19\n1\n\n\ns\n./s.rwl\nf.txt\nold.ps\nn\n"
      "old.ps\ny\n" +
      std::string(20, '\n'));
  ASSERT_EQ(r.status, 0) << r.output.substr(r.output.size() - 3000);
  for (const char* name : {"./s.rwl", "f.txt"}) {
    EXPECT_NE(
        r.output.find(std::string("*** ") + name + " is a file of this run: give another name"),
        std::string::npos)
        << name;
  }
  EXPECT_NE(r.output.find("old.ps exists: replace it? y/<n> Enter graphics output file name:"),
            std::string::npos);
  EXPECT_TRUE(box.read_file("old.ps").starts_with("%!PS"));
  EXPECT_TRUE(box.read_file("s.rwl").starts_with("SITE0000"));
}

TEST_F(KeptFiles, the_typed_list_of_names_stays_until_a_new_one_is_complete) {
  box.write_file("kalder_files.txt", "s.rwl\n");
  // A blank first name and the end of input; then the end of input at the first name.
  for (const char* answers : {"\n\n\n", "\n\n"}) {
    EXPECT_EQ(box.kalder(answers).status, 3);
    EXPECT_EQ(box.read_file("kalder_files.txt"), "s.rwl\n") << answers;
  }
}

#ifdef PELLIFORM_PATH
// The demo's answers for `file`: tucson ring widths, ratios, every default, "c" at every
// page.
std::string pelliform_defaults(const std::string& file) {
  std::string input = file + "\n1\nR\n" + std::string(12, '\n');
  for (int k = 0; k < 400; ++k) input += "c\n";
  return input;
}

TEST(KeptPelliformFiles, a_stopped_run_or_another_data_file_replaces_nothing) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  ASSERT_EQ(box.run(PELLIFORM_PATH, pelliform_defaults("keny002.rwl")).status, 0);
  const auto earlier = box.files("keny002_");
  // "/" once the data file has loaded; another data file of the stem, answered no.
  EXPECT_EQ(box.run(PELLIFORM_PATH, "keny002.rwl\n1\nR\n/\n").status, 0);
  box.copy_data("keny002.rwl", "keny002.txt");
  const RunResult other = box.run(PELLIFORM_PATH, "keny002.txt\n\n");
  EXPECT_EQ(other.status, 0);
  EXPECT_NE(other.output.find(" *** keny002_out_v43ptr08.txt holds the results of keny002.rwl:\n"
                              " *** this run of keny002.txt replaces them and the other keny002_ "
                              "files\n"),
            std::string::npos)
      << other.output;
  EXPECT_NE(other.output.find(" *** nothing replaced: the run ends here"), std::string::npos);
  EXPECT_EQ(box.files("keny002_"), earlier);
  // Yes: the new results replace them.
  const RunResult yes =
      box.run(PELLIFORM_PATH, "keny002.txt\ny\n" + pelliform_defaults("").substr(1));
  EXPECT_EQ(yes.status, 0) << yes.output;
  EXPECT_NE(box.read_file("keny002_out_v43ptr08.txt").find("DATA FILE TO PROCESS: keny002.txt"),
            std::string::npos);
}
#endif

}  // namespace
}  // namespace dendro::e2e
