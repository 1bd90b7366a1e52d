// One run a folder: a run holds each folder it writes into by its lock file, whatever the
// file holds, until it ends; another run that would write there is refused before it writes
// anything. What a dead run left there, of either program or of an earlier release, is
// mended first.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "series/files/file_system.h"
#include "series/files/journal.h"
#include "tests/open_folder.h"

namespace dendro::e2e {
namespace {

namespace fs = std::filesystem;
using std::string;

const string kBatch = "\nf.txt\nT\ny\n\n\n";
const string kWaitOrMove =
    " *** wait until that run has ended, or run in another folder: this run ends here, before "
    "it writes any file but the lock files (.dendro.lock) of the folders it looked at\n";

bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }

// No journal, temporary or set-aside file is left in `dir`.
void expect_settled(const fs::path& dir) {
  EXPECT_EQ(leftovers(dir), std::vector<string>{}) << dir;
}

// The refusal of a run while run `holder` writes in `folder`.
void expect_refused(const RunResult& r, pid_t holder, const string& folder) {
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r, " *** another run (process " + std::to_string(holder) + " of user ") &&
              shows(r, ") is writing in " + folder +
                           ": it holds the folder until it ends, at its last Return;\n") &&
              shows(r, kWaitOrMove))
      << r.output;
}

struct Site {
  Site() {
    box.write_file("s.rwl", similar_series("SITE", 8, 1850, 120));
    box.write_file("f.txt", "s.rwl\n");
  }
  Sandbox box;
};

TEST(OneRunAFolder, a_lock_file_holding_anything_holds_the_folder_for_one_run) {
  string heads;  // of the previous release's blocks, damaged
  for (int k = 0; k < 100000; ++k) heads += "hold\t1\t2\t3\t9999999\tdamaged\n";
  // NUL bytes, a torn block, heads, and 100 MB (made empty, then grown).
  for (const string& held :
       {string(32, '\0'), string("dendro lock file 1\nhold\t1\t2"), heads, string()}) {
    Site site;
    const fs::path lock = site.box.dir() / kLockFile;
    site.box.write_file(kLockFile, held);
    if (held.empty()) fs::resize_file(lock, 100u << 20);
    const string what = "a lock file of " + std::to_string(fs::file_size(lock)) + " bytes";
    const auto start = std::chrono::steady_clock::now();
    Child first(site.box.dir(), KALDER_PATH, kPlots);
    ASSERT_TRUE(first.wait_at(kFirstPlotMenu)) << what;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << what;
    const auto waiting = files_in(site.box.dir());
    expect_refused(site.box.kalder(kBatch), first.pid(), "the working folder");
    EXPECT_EQ(files_in(site.box.dir()), waiting) << what;
    first.give(string(60, '\n'));
    EXPECT_EQ(first.finish().status, 0) << what;
    expect_settled(site.box.dir());
    // The lock file stays, holding words only.
    const string words = site.box.read_file(kLockFile);
    EXPECT_TRUE(words.size() < 512 && words.find('\0') == string::npos) << what;
  }
}

TEST(OneRunAFolder, of_two_runs_of_one_list_started_at_once_one_writes) {
  Site site;
  Child a(site.box.dir(), KALDER_PATH, "\nf.txt\nTitleA\nn\n19\n1\n\n\n");
  Child b(site.box.dir(), KALDER_PATH, "\nf.txt\nTitleB\nn\n19\n1\n\n\n");
  const bool a_waits = a.wait_at(kFirstPlotMenu);
  Child& winner = a_waits ? a : b;
  Child& loser = a_waits ? b : a;
  ASSERT_TRUE(a_waits || b.wait_at(kFirstPlotMenu));
  const RunResult refused = loser.finish();
  EXPECT_EQ(refused.status, 1) << refused.output;
  EXPECT_TRUE(shows(refused, " *** another run (") && shows(refused, kWaitOrMove))
      << refused.output;
  winner.give(string(60, '\n'));
  ASSERT_EQ(winner.finish().status, 0);
  // Every file of the list's data file is the winner's.
  const string title = a_waits ? "TitleA" : "TitleB";
  const auto files = files_in(site.box.dir());
  EXPECT_NE(files.at("s.rwl_out.txt").find(title), string::npos);
  for (const auto& [name, text] : files) {
    EXPECT_EQ(text.find(a_waits ? "TitleB" : "TitleA"), string::npos) << name;
  }
  expect_settled(site.box.dir());
}

TEST(OneRunAFolder, an_output_link_into_another_folder_is_replaced_not_written_through) {
  Sandbox box;
  for (const char* dir : {"P", "Q"}) fs::create_directory(box.dir() / dir);
  box.copy_data("keny002.rwl", "P/morc019.rwl");
  box.copy_data("co021.rwl", "Q/morc019.rwl");
  box.write_file("f.txt", "Q/morc019.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const auto q = files_in(box.dir() / "Q");
  fs::create_symlink("../Q/morc019.rwl_out.txt", box.dir() / "P/morc019.rwl_out.txt");
  box.write_file("f.txt", "P/morc019.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(box.dir() / "P/morc019.rwl_out.txt")));
  EXPECT_NE(box.read_file("P/morc019.rwl_out.txt").find("P/morc019.rwl "), string::npos);
  EXPECT_EQ(files_in(box.dir() / "Q"), q);
}

TEST(OneRunAFolder, journals_of_the_two_earlier_releases_are_followed) {
  for (const int version : {0, 1}) {
    for (const string decision : {"back", "done"}) {
      Site site;
      ASSERT_EQ(site.box.kalder(kDefaults).status, 0);
      const auto earlier = files_in(site.box.dir());
      std::vector<std::pair<string, string>> news;
      auto done = earlier;
      for (auto& [name, text] : done) {
        if (!name.starts_with("s.rwl_") || name.ends_with("_log.txt")) continue;
        text = "a new " + name + "\n";
        news.emplace_back(name, text);
      }
      killed_while_placing(site.box.dir(), version, news, decision == "back" ? 2 : news.size(),
                           decision);
      const RunResult r = site.box.kalder(kQuit);
      const string what = "version " + std::to_string(version) + ", " + decision;
      EXPECT_EQ(r.status, 0) << what;
      EXPECT_TRUE(shows(r, decision == "back"
                               ? " *** earlier files put back, which a run cut short had moved "
                                 "aside:\n       s.rwl_crns.txt\n"
                               : " *** earlier files removed, which a run cut short had "
                                 "replaced with files that had all taken their names:\n"
                                 "       s.rwl_crns.txt\n"))
          << what << r.output;
      EXPECT_EQ(files_in(site.box.dir()), decision == "back" ? earlier : done) << what;
      expect_settled(site.box.dir());
    }
  }
}

TEST(OneRunAFolder, a_copy_made_with_hard_links_shares_the_hold_of_its_folder) {
  Sandbox box;
  const fs::path site = box.dir() / "site", snapshot = box.dir() / "snapshot";
  fs::create_directory(site);
  box.write_file("site/s.rwl", similar_series("SITE", 8, 1850, 120));
  box.write_file("f.txt", "site/s.rwl\n");
  box.write_file("g.txt", "snapshot/s.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  // The copy is made while a run in site waits, its temporary files and journal with it.
  Child first(box.dir(), KALDER_PATH, kPlots);
  ASSERT_TRUE(first.wait_at(kFirstPlotMenu));
  fs::create_directory(snapshot);
  for (const auto& e : fs::directory_iterator(site)) {
    fs::create_hard_link(e.path(), snapshot / e.path().filename());
  }
  const auto copied = files_in(snapshot);
  const RunResult r = box.kalder("\ng.txt\nT\nn\n\n\n\n");
  // The words say first that the lock file is shared, then who holds it.
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r,
                    "opened\n *** snapshot/.dendro.lock has 2 names: a copy of the folder "
                    "snapshot made with hard links shares it, and another run (process " +
                        std::to_string(first.pid()) + " of user ") &&
              shows(r,
                    "holds it: that run may be writing in the folder snapshot or in the "
                    "copy, until it ends, at its last Return;\n") &&
              shows(r, kWaitOrMove))
      << r.output;
  EXPECT_EQ(files_in(snapshot), copied);
  first.give(string(60, '\n'));
  ASSERT_EQ(first.finish().status, 0);
  // Once that run has ended the copy is free; its run replaces no file of site.
  const auto in_site = files_in(site);
  const RunResult later = box.kalder("\ng.txt\nT\nn\n\n\n\n");
  EXPECT_EQ(later.status, 0) << later.output;
  EXPECT_TRUE(shows(later, " *** temporary files of a run cut short, removed:\n")) << later.output;
  EXPECT_EQ(files_in(site), in_site);
  expect_settled(snapshot);
}

TEST(OneRunAFolder, a_folder_a_page_is_saved_into_is_held_until_the_run_ends) {
  Sandbox box;
  for (const char* dir : {"site", "other"}) fs::create_directory(box.dir() / dir);
  for (const char* name : {"site/s.rwl", "t.rwl", "other/u.rwl"}) {
    box.write_file(name, similar_series("SITE", 8, 1850, 120));
  }
  box.write_file("f.txt", "site/s.rwl\n");
  box.write_file("g.txt", "t.rwl\n");
  box.write_file("h.txt", "other/u.rwl\n");
  // A run of t.rwl saves its first page into site, and waits at the page's menu again.
  Child first(box.dir(), KALDER_PATH, "\ng.txt\nT\nn\n19\n1\n\n\ns\nsite/page.ps\n");
  ASSERT_TRUE(first.wait_at({kFirstPlotMenu.shown, 2}));
  expect_refused(box.kalder(kDefaults), first.pid(), "the folder site");
  const RunResult r =
      box.kalder("\nh.txt\nT\nn\n19\n1\n\n\ns\nsite/p.ps\nother/u.ps\n" + string(60, '\n'));
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r, "*** another run (process " + std::to_string(first.pid()) + " of user ") &&
              shows(r,
                    ") is writing in the folder site: wait until that run has ended, or use "
                    "another folder: give another name\n"))
      << r.output;
  EXPECT_TRUE(box.exists("other/u.ps") && !box.exists("site/p.ps"));
  first.give(string(60, '\n'));
  ASSERT_EQ(first.finish().status, 0);
  EXPECT_TRUE(box.exists("site/page.ps"));
  EXPECT_EQ(box.kalder(kDefaults).status, 0);
}

TEST(OneRunAFolder, a_run_whose_lock_file_was_removed_puts_nothing_in_place) {
  Site site;
  ASSERT_EQ(site.box.kalder(kDefaults).status, 0);
  Child first(site.box.dir(), KALDER_PATH, kPlots);
  ASSERT_TRUE(first.wait_at(kFirstPlotMenu));
  // Removed by hand: another run then holds the folder by a new one, and writes there.
  fs::remove(site.box.dir() / kLockFile);
  const RunResult other = site.box.kalder(kBatch + string(60, '\n'));
  ASSERT_EQ(other.status, 0) << other.output;
  const auto after = files_in(site.box.dir());
  first.give(string(60, '\n'));
  const RunResult r = first.finish();
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r,
                    "*** could not put the new s.rwl_out.txt in place: .dendro.lock, the lock "
                    "file by which this run holds its folder, was removed or replaced while the "
                    "run held it; none of the files that would take their names with it is "
                    "written\n"))
      << r.output;
  EXPECT_EQ(files_in(site.box.dir()), after);
}

#ifdef PELLIFORM_PATH
TEST(OneRunAFolder, each_program_mends_what_a_dead_run_of_the_other_left) {
  // pelliform's files of site.txt, made in a folder of their own.
  Sandbox other;
  other.copy_data("keny002.rwl", "site.txt");
  ASSERT_EQ(other.run(PELLIFORM_PATH, "site.txt\n" + pelliform_defaults()).status, 0);
  Sandbox box;
  box.copy_data("keny002.rwl", "site.txt");
  box.write_file("f.txt", "site.txt\n");
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  const string kalders = box.read_file("site_spectra.txt");
  // pelliform killed as its report and spectra had taken their names (kalder's spectra
  // aside), its series file not.
  std::vector<std::pair<string, string>> news;
  for (const char* name : {"site_out_v43ptr08.txt", "site_spectra.txt", "site_STD_RAW_Data.txt"}) {
    news.emplace_back(name, other.read_file(name));
  }
  killed_while_placing(box.dir(), 2, news, 2, "back");
  RunResult r = box.kalder(kDefaults);
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(shows(r,
                    " *** earlier files put back, which a run cut short had moved aside:\n"
                    "       site_spectra.txt\n"
                    " *** new files of a run cut short removed, as the rest of their group had "
                    "not taken their names:\n       site_out_v43ptr08.txt\n"))
      << r.output;
  EXPECT_EQ(box.read_file("site_spectra.txt"), kalders);
  EXPECT_FALSE(box.exists("site_out_v43ptr08.txt") || box.exists("site_STD_RAW_Data.txt"));
  expect_settled(box.dir());
  // kalder killed at its first plot page: pelliform removes what it left, then replaces
  // kalder's spectra on request.
  box.interrupt(KALDER_PATH, kPlots, kFirstPlotMenu.shown, SIGKILL);
  r = box.run(PELLIFORM_PATH, "site.txt\ny\n" + pelliform_defaults());
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_TRUE(shows(r, " *** temporary files of a run cut short, removed:\n       site_out.txt."))
      << r.output;
  EXPECT_EQ(box.read_file("site_spectra.txt"), other.read_file("site_spectra.txt"));
  expect_settled(box.dir());
}
#endif

// Another user in a folder every user may write into, where root ran first with a umask
// that lets no one else read what it makes.
TEST(OneRunAFolder, another_user_holds_a_folder_by_roots_lock_file) {
  const char* setpriv = "/usr/bin/setpriv";
  if (::geteuid() != 0 || !fs::exists(setpriv)) GTEST_SKIP() << "needs root and setpriv";
  // The other user reaches the program and the folder through folders any user may enter.
  const OpenFolder open;
  Sandbox box(open.dir());
  const fs::path kalder = open.dir() / "kalder";
  fs::copy_file(KALDER_PATH, kalder);
  const fs::path shared = box.dir() / "shared";
  fs::create_directory(shared);
  fs::permissions(shared, fs::perms::all | fs::perms::sticky_bit);
  box.write_file("shared/a.rwl", similar_series("AAAA", 8, 1850, 120));
  box.write_file("shared/b.rwl", similar_series("BBBB", 8, 1850, 120));
  box.write_file("shared/f.txt", "a.rwl\n");
  box.write_file("shared/g.txt", "b.rwl\n");
  const auto script = [&](const string& name, const string& how) {
    box.write_file(name, "#!/bin/sh\ncd shared && " + how + " '" + kalder.string() + "'\n");
    fs::permissions(box.dir() / name, fs::perms::owner_all);
    return (box.dir() / name).string();
  };
  const string root = script("root.sh", "umask 077 && exec");
  const string nobody = script(
      "nobody.sh", string("exec ") + setpriv + " --reuid=65534 --regid=65534 --clear-groups");
  ASSERT_EQ(box.run(root, kDefaults).status, 0);
  const RunResult r = box.run(nobody, "\ng.txt\nT\nn\n\n\n\n");
  EXPECT_EQ(r.status, 0) << r.output;
  EXPECT_FALSE(shows(r, ".dendro.lock")) << r.output;
  EXPECT_TRUE(fs::exists(shared / "b.rwl_out.txt"));
  // A lock file the other user may only read, as the previous release left it: it holds the
  // folder all the same, and the refusal of a run meanwhile names no run that holds nothing.
  box.write_file("shared/.dendro.lock", "dendro lock file 1\nhold\t4242\t1\t2\t3\tdamaged\n");
  fs::permissions(shared / kLockFile, fs::perms::owner_read | fs::perms::owner_write |
                                          fs::perms::group_read | fs::perms::others_read);
  Child other(box.dir(), nobody, "\ng.txt\nT\nn\n19\n1\n\n\n");
  ASSERT_TRUE(other.wait_at(kFirstPlotMenu));
  const RunResult refused = box.run(root, kDefaults);
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(shows(refused, kWaitOrMove) && !shows(refused, "process 4242")) << refused.output;
  other.give(string(60, '\n'));
  EXPECT_EQ(other.finish().status, 0);
}

}  // namespace
}  // namespace dendro::e2e
