// What a run leaves of the files of earlier runs: a run that stops, or is interrupted,
// changes no earlier file with one it had not completed; the run-wide chronologies are one
// set; the files of a data file's prefix that a run did not write are named; a save asks
// before it replaces a file and never takes the run's own.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <string>

#include "harness.h"

namespace dendro::e2e {
namespace {

using std::string;

const string kDefaults = "\nf.txt\nT\nn\n\n\n\n";    // interactive, one data file
const string kPlots = "\nf.txt\nT\nn\n19\n1\n\n\n";  // with summary plots
const string kKept =
    " *** earlier files kept as they were, as this run did not complete them:\n"
    "       s.rwl_out.txt\n";

const string kReplacedLog =
    " *** earlier files this run had replaced before it ended:\n       s.rwl_log.txt\n";

class KeptFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_file("s.rwl", similar_series("SITE", 8, 1850, 120));
    box.write_file("f.txt", "s.rwl\n");
  }
  // The files of s.rwl but its log file, and no unfinished version (".part") in the folder.
  std::map<string, string> outputs() {
    for (const auto& [name, text] : box.files("")) EXPECT_FALSE(name.ends_with(".part")) << name;
    auto files = box.files("s.rwl_");
    files.erase("s.rwl_log.txt");
    return files;
  }
  bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }
  Sandbox box;
};

TEST_F(KeptFiles, a_stopped_rerun_leaves_the_earlier_results_as_they_were) {
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const auto earlier = outputs();
  // A value of the third record that does not read stops a batch and an interactive run.
  string data = box.read_file("s.rwl");
  box.write_file("s.rwl", data.replace(data.find('\n', data.find('\n') + 1) + 15, 1, "x"));
  // A batch run; an interactive one, whose completed menu replaced the log file.
  for (const string& replaced : {string(), kReplacedLog}) {
    const RunResult r = box.kalder(replaced.empty() ? "\nf.txt\nT\ny\n\n\n" : kDefaults + "\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(shows(r, " *** s.rwl was not processed to its end\n" + replaced + kKept +
                             "       s.rwl_tabs.txt\n       s.rwl_crns.txt\n"));
    EXPECT_EQ(outputs(), earlier);
  }
}

TEST_F(KeptFiles, a_run_stopped_before_its_set_is_in_place_keeps_but_a_new_general_output_file) {
  // Bootstrap limits (option 12), to the first plot menu: the limit files are begun.
  const string to_first_page = "\nf.txt\nT\nn\n12\n2\ny\nn\n19\n1\n\n\n";
  const auto stop = [&](bool signalled) {
    return signalled ? box.interrupt(KALDER_PATH, to_first_page, "enter option number >", SIGTERM)
                     : box.kalder(to_first_page);
  };
  const string set =
      "       s.rwl_tabs.txt\n       s.rwl_crns.txt\n       s.rwl_errs.txt\n"
      "       s.rwl_raw_rbar.txt\n";
  const string removed = " *** new files of this run removed, as their set was not put in place:\n";
  // In a folder without earlier files, by the end of the input and by a signal.
  for (const bool signalled : {false, true}) {
    const RunResult r = stop(signalled);
    EXPECT_EQ(r.status, signalled ? 143 : 3);
    EXPECT_TRUE(shows(r,
                      " *** files of this run kept, as no earlier file had their names:\n"
                      "       s.rwl_out.txt\n" +
                          removed + set + "       s.rwl_raw_95%cl.txt\n"))
        << r.output;
    const auto left = outputs();
    EXPECT_TRUE(left.size() == 1 && left.count("s.rwl_out.txt") == 1);
    std::filesystem::remove(box.dir() / "s.rwl_out.txt");
  }
  // Beside the files of a run without the limits.
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const auto earlier = outputs();
  for (const bool signalled : {false, true}) {
    const RunResult r = stop(signalled);
    EXPECT_TRUE(shows(r, kKept + set + removed + "       s.rwl_raw_95%cl.txt\n")) << r.output;
    EXPECT_EQ(outputs(), earlier);
  }
}

TEST_F(KeptFiles, a_file_this_run_put_in_place_is_never_called_earlier) {
  // The list typed, then typed again after going back from the title: the list this run
  // wrote first is its own, which the second replaces; a run ended then names neither.
  box.write_file("t.rwl", similar_series("TREE", 8, 1870, 120));
  const RunResult r = box.kalder("\n\ns.rwl\n\nb\n\nt.rwl\ns.rwl\n\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_FALSE(shows(r, "kalder_files.txt\n")) << r.output;
  EXPECT_EQ(box.read_file("kalder_files.txt"), "t.rwl\ns.rwl\n");
}

TEST_F(KeptFiles, the_run_wide_files_are_one_set_and_earlier_files_are_named) {
  box.write_file("t.rwl", similar_series("TREE", 8, 1870, 120));
  box.write_file("f.txt", "s.rwl\nt.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults + "\n").status, 0);
  // No autoregressive modelling: no residual or kalder chronologies, nor their files.
  const RunResult r = box.kalder("\nf.txt\nT\nn\n\n9\n0\n\n\n\n");
  ASSERT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r,
                    " *** run-wide files of an earlier run removed, as this run did not "
                    "write them:\n       crns_res.txt\n       crns_kld.txt\n"
                    "       crns_res_err.txt\n       crns_kld_err.txt\n"));
  EXPECT_EQ(box.files("crns_").size(), 4u);  // raw and standard, with their errors
  EXPECT_EQ(read_chronologies(box.read_file("crns_std.txt")).size(), 2u);
  // Each file's residual rbar of the first run stays, named on the console and at the end
  // of the general output file.
  for (const string site : {"s.rwl", "t.rwl"}) {
    const string note =
        " *** files left from an earlier run, which this run did not write:\n"
        "       " +
        site + "_res_rbar.txt\n";
    EXPECT_TRUE(shows(r, note) && box.read_file(site + "_out.txt").ends_with(note)) << site;
  }
}

TEST_F(KeptFiles, saves_ask_before_they_replace_a_file_and_never_take_the_runs_own) {
  box.write_file("old.ps", "an earlier page\n");
  // At the first plot: the data file, the list file, then old.ps, refused once.
  const RunResult r =
      box.kalder(kPlots + "s\n./s.rwl\nf.txt\nold.ps\nn\nold.ps\ny\n" + string(20, '\n'));
  ASSERT_EQ(r.status, 0);
  for (const char* name : {"./s.rwl", "f.txt"}) {
    EXPECT_TRUE(shows(r, string("*** ") + name + " is a file of this run: give another name"));
  }
  EXPECT_TRUE(shows(r, "old.ps exists: replace it? y/<n> Enter graphics output file name:"));
  EXPECT_TRUE(box.read_file("old.ps").starts_with("%!PS"));
  EXPECT_TRUE(box.read_file("s.rwl").starts_with("SITE0000"));
  // The typed list stays until a new one is complete: a blank first name, then the end of
  // input; the end of input at the first name.
  box.write_file("kalder_files.txt", "s.rwl\n");
  for (const char* answers : {"\n\n\n", "\n\n"}) {
    EXPECT_EQ(box.kalder(answers).status, 3);
    EXPECT_EQ(box.read_file("kalder_files.txt"), "s.rwl\n") << answers;
  }
}

TEST_F(KeptFiles, a_save_under_any_spelling_never_takes_a_file_of_the_run) {
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  std::filesystem::create_directory_symlink(".", box.dir() / "here");
  const string data = box.read_file("s.rwl");
  // An output written and to be written, the data file through a linked folder, an
  // output through it, the run's own temporary names, an absolute path, an output still
  // to come (the batch detail file), then no name.
  const std::vector<string> names{"./s.rwl_out.txt",     "here/s.rwl",
                                  "here/s.rwl_tabs.txt", "s.rwl_out.txt.part",
                                  "s.rwl_crns.txt.prev", (box.dir() / "s.rwl_crns.txt").string(),
                                  "s.rwl_detail.txt"};
  string answers = kPlots + "s\n";
  for (const string& name : names) answers += name + "\n";
  const RunResult r = box.kalder(answers + string(30, '\n'));
  ASSERT_EQ(r.status, 0);
  for (const string& name : names) {
    EXPECT_TRUE(shows(r, "*** " + name + " is a file of this run: give another name")) << name;
  }
  EXPECT_FALSE(shows(r, "replace it?"));
  EXPECT_EQ(box.read_file("s.rwl"), data);
  for (const auto& [name, text] : outputs()) EXPECT_FALSE(text.starts_with("%!PS")) << name;
}

TEST_F(KeptFiles, a_page_or_file_that_could_not_be_written_whole_is_not_kept) {
  ASSERT_EQ(box.kalder(kPlots + string(30, '\n')).status, 0);
  const auto earlier = outputs();
  box.write_file("old.ps", "an earlier page\n");
  // A disk that fills, as a limit of 8 KB on each file the program writes (sh counts blocks
  // of 512 bytes): a batch run of the same options, whose pages and general output file do
  // not fit. The console goes through a pipe, out of the limit.
  box.write_file("full.sh", string("trap '' XFSZ\n{ (ulimit -f 16; exec '") + KALDER_PATH +
                                "'); echo $? > status; } | cat\nexit $(cat status)\n");
  std::filesystem::permissions(box.dir() / "full.sh", std::filesystem::perms::owner_all);
  const RunResult r = box.run((box.dir() / "full.sh").string(),
                              "\nf.txt\nT\ny\ns\nnew.ps\ns\nold.ps\ny\n" + string(30, '\n'));
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r,
                    "*** PLplot could not write the page whole\n"
                    "             *** new.ps is not saved\n"));
  EXPECT_TRUE(shows(r, "*** old.ps is not saved: the earlier file is kept as it was\n"));
  EXPECT_FALSE(shows(r, "\n saved: ") || shows(r, "*** ***"));
  EXPECT_FALSE(box.exists("new.ps"));
  EXPECT_EQ(box.read_file("old.ps"), "an earlier page\n");
  // The general output file failed to write: the run stops, and it is among the earlier
  // files kept as they were.
  EXPECT_TRUE(shows(r,
                    "*** could not write file s.rwl_out.txt: File too large\n\n"
                    " *** s.rwl was not processed to its end\n" +
                        kKept));
  EXPECT_EQ(outputs(), earlier);
}

TEST_F(KeptFiles, the_leftovers_of_a_killed_run_are_mended_by_the_next_and_nothing_else) {
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const auto earlier = outputs();
  // Files no run of the programs wrote, which mending leaves alone.
  box.write_file("s.rwl_detail.txt.prev", "a backup made by hand\n");
  box.write_file("s.rwl_notes.txt.part", "notes\n");
  // Killed at the first plot menu: the data file's new files stay unfinished, named in the
  // run's journal.
  box.interrupt(KALDER_PATH, kPlots, "enter option number >", SIGKILL);
  const auto left = box.files("");
  const auto journal = std::find_if(left.begin(), left.end(),
                                    [](const auto& f) { return f.first.starts_with(".dendro."); });
  ASSERT_NE(journal, left.end());
  const string pid = journal->first.substr(8, journal->first.find(".journal") - 8);
  EXPECT_TRUE(box.exists("s.rwl_out.txt." + pid + ".part"));
  const RunResult r = box.kalder("\nf.txt\nT\n/\n");  // "/" at the batch mode question
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r, " *** temporary files of a run cut short, removed:\n"));
  for (const char* name : {"s.rwl_out.txt", "s.rwl_tabs.txt", "s.rwl_crns.txt"}) {
    EXPECT_TRUE(shows(r, string("\n       ") + name + "." + pid + ".part\n")) << name;
  }
  EXPECT_FALSE(shows(r, "notes") || shows(r, "s.rwl_detail.txt.prev"));
  auto after = box.files("s.rwl_");
  EXPECT_EQ(after["s.rwl_detail.txt.prev"], "a backup made by hand\n");
  EXPECT_EQ(after["s.rwl_notes.txt.part"], "notes\n");
  after.erase("s.rwl_detail.txt.prev");
  after.erase("s.rwl_notes.txt.part");
  after.erase("s.rwl_log.txt");
  EXPECT_EQ(after, earlier);
  for (const auto& [name, text] : box.files("")) {
    EXPECT_FALSE(name.starts_with(".dendro.") || name.ends_with(pid + ".part")) << name;
  }
}

#ifdef PELLIFORM_PATH
TEST(KeptPelliformFiles, a_stopped_run_or_another_data_file_replaces_nothing) {
  const string defaults = pelliform_defaults();
  Sandbox box;
  box.copy_data("keny002.rwl");
  ASSERT_EQ(box.run(PELLIFORM_PATH, "keny002.rwl\n" + defaults).status, 0);
  const auto earlier = box.files("keny002_");
  // "/" once the data file has loaded; the end of the input and a signal at the first plot
  // page (after seven questions), which end alike; the console gone there (SIGPIPE at the
  // next write); another data file of the stem, answered no.
  EXPECT_EQ(box.run(PELLIFORM_PATH, "keny002.rwl\n1\nR\n/\n").status, 0);
  const string to_first_page = "keny002.rwl\n1\nR\n" + string(7, '\n');
  const RunResult stopped = box.run(PELLIFORM_PATH, to_first_page);
  EXPECT_EQ(stopped.status, 3);
  const RunResult interrupted =
      box.interrupt(PELLIFORM_PATH, to_first_page, "enter option number >", SIGINT);
  EXPECT_EQ(interrupted.status, 130);
  EXPECT_EQ(box.cut_short(PELLIFORM_PATH, to_first_page, {"enter option number >"},
                          {0, Cut::Console::closed, "c\n"})
                .status,
            141);
  const string lists =
      " *** earlier files kept as they were, as this run did not complete them:\n"
      "       keny002_out_v43ptr08.txt\n";
  ASSERT_TRUE(stopped.output.find(lists) != string::npos &&
              interrupted.output.find("\n *** interrupted: the run ends here\n\n" + lists) !=
                  string::npos);
  EXPECT_EQ(interrupted.output.substr(interrupted.output.find(lists)),
            stopped.output.substr(stopped.output.find(lists)));
  EXPECT_EQ(box.files("keny002_"), earlier);
  box.copy_data("keny002.rwl", "keny002.txt");
  const RunResult no = box.run(PELLIFORM_PATH, "keny002.txt\nmaybe \n\n");
  EXPECT_EQ(no.status, 0);
  EXPECT_NE(no.output.find(" *** keny002_out_v43ptr08.txt holds the results of keny002.rwl:\n"
                           " *** this run of keny002.txt replaces them and the other keny002_ "
                           "files\n"
                           "Replace them? y/<n>"),
            string::npos);
  EXPECT_NE(no.output.find(" *** maybe is no answer here: answer y to replace them, or n or <ret> "
                           "to end the run\n"),
            string::npos);
  EXPECT_NE(no.output.find(" *** nothing replaced: the run ends here"), string::npos);
  EXPECT_EQ(box.files("keny002_"), earlier);
  ASSERT_EQ(box.run(PELLIFORM_PATH, "keny002.txt\ny\n" + defaults).status, 0);
  EXPECT_NE(box.read_file("keny002_out_v43ptr08.txt").find("DATA FILE TO PROCESS: keny002.txt"),
            string::npos);
}

TEST(KeptPelliformFiles, a_first_run_stopped_keeps_its_report_alone) {
  Sandbox box;
  box.copy_data("keny002.rwl");
  // A signal at the seventh plot page, once the series files of both passes are begun.
  const RunResult r =
      box.interrupt(PELLIFORM_PATH, "keny002.rwl\n1\nR\n" + string(7, '\n') + "c\nc\nc\nc\nc\nc\n",
                    "enter option number >", SIGTERM, 7);
  EXPECT_EQ(r.status, 143);
  EXPECT_NE(r.output.find(" *** files of this run kept, as no earlier file had their names:\n"
                          "       keny002_out_v43ptr08.txt\n"
                          " *** new files of this run removed, as their set was not put in place:\n"
                          "       keny002_STD_RAW_Data.txt\n"),
            string::npos)
      << r.output;
  const auto left = box.files("keny002_");
  EXPECT_TRUE(left.size() == 1 && left.count("keny002_out_v43ptr08.txt") == 1);
}
#endif

}  // namespace
}  // namespace dendro::e2e
