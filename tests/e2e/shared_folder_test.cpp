// What a run does to files that are not its own to replace: its own inputs, the files of
// another run that is writing in the same folder, devices and FIFOs, and files that another
// data file or the other program wrote under a name that meets this run's.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "harness.h"
#include "series/files/journal.h"

namespace dendro::e2e {
namespace {

using std::string;

const string kPlots = "\nf.txt\nT\nn\n19\n1\n\n\n";  // interactive, with summary plots
const string kBatch = "\nf.txt\nT\ny\n\n\n";

bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }

// The files of the folder, no journal, lock or temporary file among them.
std::map<string, string> settled_files(const Sandbox& box) {
  const auto all = box.files("");
  for (const auto& [name, text] : all) {
    EXPECT_FALSE(name.starts_with(".dendro.") || name.ends_with(".part") || name.ends_with(".prev"))
        << name;
  }
  return all;
}

// The files of `prefix` but the log files, which completed menus write.
std::map<string, string> without_logs(const Sandbox& box, const string& prefix) {
  auto files = box.files(prefix);
  std::erase_if(files, [](const auto& file) { return file.first.ends_with("_log.txt"); });
  return files;
}

// kalder refuses the run with `refusal` (status 1) before it writes any output.
void expect_refused(Sandbox& box, const string& answers, const string& prefix,
                    const string& refusal) {
  const auto before = without_logs(box, prefix);
  const RunResult r = box.kalder(answers);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r, refusal)) << r.output;
  EXPECT_EQ(without_logs(box, prefix), before);
}

TEST(SharedFolder, a_run_never_writes_over_its_own_inputs) {
  Sandbox box;
  box.write_file("site.txt", similar_series("SITE", 8, 1850, 120));
  box.write_file("site_raw.txt", similar_series("RAWS", 8, 1860, 120));
  box.write_file("f.txt", "site.txt\nsite_raw.txt\n");
  // Core series saved (option 18 = 1): the first data file's raw series would be
  // site_raw.txt, the second data file. Refused once the options are known.
  const string raw = box.read_file("site_raw.txt");
  expect_refused(box, "\nf.txt\nT\nn\ny\n18\n1\n\n\n\n", "",
                 " *** site_raw.txt is data file 2 of f.txt, which this run would write over "
                 "with an output of site.txt\n"
                 " *** rename or move site_raw.txt, then run again with its new name\n");
  // Without the save the two go side by side.
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\ny\n\n\n\n").status, 0);
  EXPECT_EQ(box.read_file("site_raw.txt"), raw);
  // An earlier run's run-wide chronologies read as data files (option 1 = 3): the list is
  // refused before anything is written, and asked for again.
  box.copy_data("Tucson1.crn", "crns_std.txt");
  box.copy_data("Tucson2.crn", "crns_res.txt");
  box.write_file("g.txt", "crns_std.txt\ncrns_res.txt\n");
  const auto chronologies = box.files("crns_");
  const RunResult r = box.kalder("\ng.txt\n/\n");
  EXPECT_TRUE(shows(r,
                    " *** crns_std.txt is data file 1 of g.txt, which this run would write over "
                    "with a run-wide chronology file\n"));
  EXPECT_TRUE(shows(r, "\nopen the file listing the data file names\n"));
  EXPECT_EQ(box.files("crns_"), chronologies);
}

TEST(SharedFolder, no_output_of_a_data_file_takes_a_name_of_the_run_wide_set) {
  Sandbox box;
  box.write_file("a.rwl", similar_series("AAAA", 8, 1850, 120));
  box.write_file("b.rwl", similar_series("BBBB", 8, 1850, 120));
  box.write_file("two.txt", "a.rwl\nb.rwl\n");
  ASSERT_EQ(box.kalder("\ntwo.txt\nT\nn\ny\n\n\n\n").status, 0);
  ASSERT_TRUE(box.exists("crns_raw.txt") && box.exists("crns_res.txt"));
  // crns.txt has the output prefix crns: its core series saves (option 18 = 1) would be
  // crns_raw.txt and crns_res.txt. Alone in its list, interactively and then in batch from
  // the log file that run wrote, it is refused before anything but the log file is written.
  box.write_file("crns.txt", similar_series("CRNS", 8, 1850, 120));
  box.write_file("f.txt", "crns.txt\n");
  const string refusal =
      " *** crns_raw.txt is the name of a run-wide chronology file, which this run would write "
      "as an output of crns.txt\n"
      " *** crns_res.txt is the name of a run-wide chronology file, which this run would write "
      "as an output of crns.txt\n"
      " *** rename or move crns.txt, then run again with its new name\n";
  expect_refused(box, "\nf.txt\nT\nn\n18\n1\n\n\n\n", "crns", refusal);
  expect_refused(box, kBatch, "crns", refusal);
  // Listed with another data file, and named so that its outputs are spelled otherwise:
  // nothing is written, the other data file's files and the run-wide set stay as they were.
  box.write_file("g.txt", "./crns.txt\na.rwl\n");
  const string other_spelling =
      " *** ./crns_raw.txt is the name of a run-wide chronology file, which this run would "
      "write as an output of ./crns.txt\n";
  expect_refused(box, "\ng.txt\nT\ny\n\n\n", "", other_spelling);
  // Moved to a folder of its own, its saves have names of their own there.
  std::filesystem::create_directories(box.dir() / "sub");
  box.write_file("sub/crns.txt", box.read_file("crns.txt"));
  box.write_file("f.txt", "sub/crns.txt\n");
  const auto run_wide = box.files("crns_");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n18\n1\n\n\n\n").status, 0);
  EXPECT_TRUE(box.exists("sub/crns_raw.txt") && box.exists("sub/crns_res.txt"));
  EXPECT_EQ(box.files("crns_"), run_wide);
}

TEST(SharedFolder, one_run_at_a_time_writes_in_a_folder_and_others_go_on_in_theirs) {
  Sandbox box;
  std::filesystem::create_directories(box.dir() / "other");
  for (const char* site : {"s", "t", "other/u"}) {
    box.write_file(string(site) + ".rwl", similar_series("SITE", 8, 1850, 120));
  }
  box.write_file("f.txt", "s.rwl\n");
  box.write_file("g.txt", "t.rwl\n");
  box.write_file("h.txt", "other/u.rwl\n");
  for (const char* list : {"f.txt", "g.txt", "h.txt"}) {
    ASSERT_EQ(box.kalder("\n" + string(list) + "\nT\nn\n\n\n\n\n").status, 0);
  }
  // A run of s.rwl waits at its first plot page.
  Child first(box.dir(), KALDER_PATH, kPlots);
  ASSERT_TRUE(first.wait_at({"enter option number >"}));
  const auto waiting = box.files("");
  // A second run of s.rwl, and a run of another data file of the folder, end before they
  // write anything, naming the first run and what to do; pelliform's too.
  const string refusal = " *** another run (process " + std::to_string(first.pid()) + " of user ";
  const string what_to_do =
      " *** wait until that run has ended, or run in another folder: this run ends here, before "
      "it writes any file but the lock files (.dendro.lock) of the folders it looked at\n";
  for (const char* list : {"f.txt", "g.txt"}) {
    const RunResult r = box.kalder("\n" + string(list) + "\nT\ny\n\n\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(shows(r, refusal) && shows(r,
                                           ") is writing in the working folder: it holds the "
                                           "folder until it ends, at its last Return;\n" +
                                               what_to_do))
        << r.output;
  }
#ifdef PELLIFORM_PATH
  const RunResult p = box.run(PELLIFORM_PATH, "t.rwl\n");
  EXPECT_EQ(p.status, 1);
  EXPECT_TRUE(shows(p, refusal) && shows(p, what_to_do)) << p.output;
#endif
  EXPECT_EQ(box.files(""), waiting);
  // A run in another folder goes on beside it.
  EXPECT_EQ(box.kalder("\nh.txt\nT\ny\n\n\n").status, 0);
  first.give(string(60, '\n'));
  EXPECT_EQ(first.finish().status, 0);
  settled_files(box);
  // A list whose second data file lies in a folder another run holds is refused before its
  // first data file is written.
  Child other(box.dir(), KALDER_PATH, "\nh.txt\nT\nn\n19\n1\n\n\n");
  ASSERT_TRUE(other.wait_at({"enter option number >"}));
  box.write_file("both.txt", "s.rwl\nother/u.rwl\n");
  const auto before = box.files("s.rwl_");
  EXPECT_EQ(box.kalder("\nboth.txt\nT\ny\n\n\n").status, 1);
  EXPECT_EQ(box.files("s.rwl_"), before);
  other.give(string(60, '\n'));
  EXPECT_EQ(other.finish().status, 0);
}

TEST(SharedFolder, a_device_or_a_fifo_is_never_replaced_nor_read_as_data) {
  Sandbox box;
  box.write_file("s.rwl", similar_series("SITE", 8, 1850, 120));
  box.write_file("f.txt", "s.rwl\n");
  ASSERT_EQ(::mkfifo((box.dir() / "fifo").c_str(), 0644), 0);
  // Saves to the null device and to a FIFO are refused; a third name is saved.
  RunResult r = box.kalder(kPlots + "s\n/dev/null\nfifo\npage.ps\n" + string(40, '\n'));
  ASSERT_EQ(r.status, 0);
  for (const char* name : {"/dev/null", "fifo"}) {
    EXPECT_TRUE(shows(r, string("*** ") + name +
                             " is not a regular file (a device, a FIFO or a socket): give "
                             "another name"))
        << name;
  }
  EXPECT_TRUE(shows(r, " saved: page.ps\n"));
  EXPECT_TRUE(std::filesystem::is_fifo(box.dir() / "fifo"));
  EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
  // A FIFO in the place of an output or of a data file: refused before anything is written
  // (reading a FIFO would wait for a writer).
  std::filesystem::rename(box.dir() / "fifo", box.dir() / "s.rwl_tabs.txt");
  r = box.kalder("\nf.txt\n/\n");
  EXPECT_TRUE(shows(r,
                    " *** s.rwl_tabs.txt is not a regular file (a device, a FIFO or a socket), "
                    "which this run would write as an output of s.rwl: rename or move it\n"));
  std::filesystem::rename(box.dir() / "s.rwl_tabs.txt", box.dir() / "fifo");
  box.write_file("f.txt", "fifo\n");
  r = box.kalder("\nf.txt\n/\n");
  EXPECT_TRUE(shows(r,
                    "*** fifo: it is not a regular file (a device, a FIFO or a socket)\n"
                    "*** line 1 of f.txt: 1 of the 1 names listed are no regular file\n"));
  EXPECT_TRUE(std::filesystem::is_fifo(box.dir() / "fifo"));
}

#ifdef PELLIFORM_PATH
TEST(SharedFolder, names_that_meet_another_data_file_or_program_are_asked_about) {
  Sandbox box;
  box.copy_data("keny002.rwl", "site.rwl");
  box.copy_data("keny002.rwl", "site 1.rwl");
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site.rwl\n" + pelliform_defaults()).status, 0);
  const string spectra = box.read_file("site_spectra.txt");
  // "site 1.rwl": its spectra are named up to the first blank, site_spectra.txt; its
  // report has its blanks squeezed out.
  RunResult r = box.run(PELLIFORM_PATH, "site 1.rwl\n\n");
  EXPECT_TRUE(shows(r,
                    " *** site_spectra.txt holds the spectra of a data file whose name begins "
                    "site:\n *** this run of site 1.rwl replaces it with its own spectra\n"
                    "Replace them? y/<n>"));
  EXPECT_EQ(box.read_file("site_spectra.txt"), spectra);
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site 1.rwl\ny\n" + pelliform_defaults()).status, 0);
  EXPECT_TRUE(box.exists("site1_out_v43ptr08.txt") && box.exists("site 1_crns_col.txt"));
  // kalder and pelliform on site.txt: each program's spectra are site_spectra.txt. kalder
  // refuses to write over pelliform's; pelliform asks before it writes over kalder's.
  box.copy_data("keny002.rwl", "site.txt");
  box.write_file("f.txt", "site.txt\n");
  expect_refused(box, "\nf.txt\nT\nn\n\n\n\n", "site_",
                 " *** site_spectra.txt holds pelliform's spectra of a data file named "
                 "site.*,\n *** which this run of site.txt would write over: move that file, "
                 "or rename site.txt\n");
  std::filesystem::remove(box.dir() / "site_spectra.txt");
  ASSERT_EQ(box.kalder("\nf.txt\nT\nn\n\n\n\n").status, 0);
  const string kalders = box.read_file("site_spectra.txt");
  r = box.run(PELLIFORM_PATH, "site.txt\nn\n");
  EXPECT_TRUE(
      shows(r, " *** site_spectra.txt holds kalder's spectra of a data file of that name:\n"));
  EXPECT_EQ(box.read_file("site_spectra.txt"), kalders);
  // A data file whose output prefix is another's (site.txt, then site) is refused too.
  box.copy_data("keny002.rwl", "site");
  box.write_file("f.txt", "site\n");
  r = box.kalder("\nf.txt\n/\n");
  EXPECT_TRUE(shows(r, " *** site_out.txt holds the results of site.txt,\n"));
}

TEST(SharedFolder, pelliform_mends_what_a_run_cut_short_left_before_it_reads_it) {
  Sandbox box;
  box.copy_data("keny002.rwl", "site.rwl");
  ASSERT_EQ(box.run(PELLIFORM_PATH, "site.rwl\n" + pelliform_defaults()).status, 0);
  const auto earlier = settled_files(box);
  // What a run killed as its files took their names leaves: the report aside under the
  // run's process id, and the journal that says the group is to be rolled back (written by
  // this test's process, which holds no name).
  const std::unique_ptr<FileSystem> disk = disk_files();
  const string here = std::filesystem::canonical(box.dir()).string();
  const string report = here + "/site_out_v43ptr08.txt";
  const std::uint64_t inode = disk->status(report).id.inode;
  std::filesystem::rename(report, set_aside_name(report, disk->process_id()));
  Journal(*disk, here).begin_group(1, {{"site_out_v43ptr08.txt", true, false, {}, inode}});
  // Another data file of the stem: the report is put back first, so the question that it
  // holds site.rwl's results is asked; no, and nothing is replaced.
  box.copy_data("keny002.rwl", "site.txt");
  const RunResult r = box.run(PELLIFORM_PATH, "site.txt\nn\n");
  EXPECT_TRUE(shows(r,
                    " *** earlier files put back, which a run cut short had moved aside:\n"
                    "       site_out_v43ptr08.txt\n"));
  EXPECT_TRUE(shows(r, " *** site_out_v43ptr08.txt holds the results of site.rwl:\n"));
  auto after = settled_files(box);
  after.erase("site.txt");
  EXPECT_EQ(after, earlier);
}
#endif

}  // namespace
}  // namespace dendro::e2e
