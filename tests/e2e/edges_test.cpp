// What a run cannot finish, read or reach: met before it writes, said as what it is, and
// never built on. Journals another run left, folders and files of another user, the
// open-file limit, a lock file removed by hand from a copy of a folder, folders pelliform
// gives up, and names too long for their temporary files.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "harness.h"
#include "series/files/journal.h"

namespace dendro::e2e {
namespace {

namespace fs = std::filesystem;
using std::string;

const string kEnds = ": this run ends here, before it writes any file\n";
const string kEndsHeld =
    ": this run ends here, before it writes any file but the lock files (.dendro.lock) of the "
    "folders it looked at\n";
const string kTitleQuestion = "enter your overall run title";
const string kDataFileQuestion = "Enter data file name to process (/ to exit)      ==>";
constexpr int kNobody = 65534;  // user nobody and its group

bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }

string journal_of(pid_t pid) { return ".dendro." + std::to_string(pid) + ".journal"; }

// A new text for each output of s.rwl among `earlier` but its log file.
std::vector<std::pair<string, string>> new_versions(const std::map<string, string>& earlier) {
  std::vector<std::pair<string, string>> news;
  for (const auto& [name, text] : earlier) {
    if (name.starts_with("s.rwl_") && !name.ends_with("_log.txt")) {
      news.emplace_back(name, "a new " + name + "\n");
    }
  }
  return news;
}

// A folder `name` of the sandbox holding the data file s.rwl and its list f.txt.
fs::path site(Sandbox& box, const string& name) {
  fs::create_directories(box.dir() / name);
  box.write_file(name + "/s.rwl", similar_series("SITE", 8, 1850, 120));
  box.write_file(name + "/f.txt", "s.rwl\n");
  return box.dir() / name;
}

// A script of the sandbox that runs `program` in its folder `folder` as `how` says.
string script(Sandbox& box, const string& folder, const string& how, const string& program) {
  const string name = "run" + std::to_string(std::hash<string>()(folder + how + program)) + ".sh";
  box.write_file(name, "#!/bin/sh\ncd '" + folder + "' && " + how + " '" + program + "'\n");
  fs::permissions(box.dir() / name, fs::perms::owner_all);
  return (box.dir() / name).string();
}

// Runs of root and of user nobody in folders under /tmp that every user reaches, of
// programs every user may run.
class EdgesOfUsers : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0 || !fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "needs root, setpriv";
    fs::permissions(box.dir(), fs::perms(0755));
  }
  // The folder `name`, of `mode`, user `owner` and group `group`, with s.rwl and f.txt.
  fs::path folder(const string& name, int mode, int owner = 0, int group = 0) {
    const fs::path dir = site(box, name);
    for (const char* file : {"s.rwl", "f.txt"}) fs::permissions(dir / file, fs::perms(0644));
    EXPECT_EQ(::chown(dir.c_str(), owner, group), 0);
    fs::permissions(dir, fs::perms(mode));  // after chown, which drops the set-group bit
    return dir;
  }
  // A script that runs `program` in `folder` as root, after `before`, or as nobody.
  string as_root(const string& folder, const string& program = KALDER_PATH,
                 const string& before = "") {
    return script(box, folder, before + "exec", reachable(program));
  }
  string as_nobody(const string& folder, const string& program = KALDER_PATH) {
    return script(box, folder, "exec /usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups",
                  reachable(program));
  }
  // The program, or a copy of it in the sandbox where a folder on its path shuts out other
  // users (as a build tree may lie in one).
  string reachable(const fs::path& program) {
    for (fs::path p = program.parent_path(); p != p.root_path(); p = p.parent_path()) {
      if ((fs::status(p).permissions() & fs::perms::others_exec) == fs::perms::none) {
        const fs::path copy = box.dir() / program.filename();
        if (!fs::exists(copy)) fs::copy_file(program, copy);
        return copy.string();
      }
    }
    return program.string();
  }
  Sandbox box{"/tmp"};
};

// A group folder that root and nobody share; root's run killed as its group took its
// names, its journal made by an earlier version under umask 077.
TEST_F(EdgesOfUsers, a_journal_that_cannot_be_read_refuses_its_folder_until_its_owner_mends_it) {
  const fs::path group = folder("group", 02775, 0, kNobody);
  ASSERT_EQ(box.run(as_root("group"), kDefaults).status, 0);
  const auto earlier = files_in(group);
  killed_while_placing(group, 2, new_versions(earlier), 2, "back");
  const string journal = journal_of(::getpid());
  fs::permissions(group / journal, fs::perms::owner_read | fs::perms::owner_write);
  const auto left = files_in(group);
  const RunResult refused = box.run(as_nobody("group"), kDefaults);
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(shows(refused, " *** " + journal +
                                 ", the journal of a run of user root cut short, cannot be read "
                                 "(Permission denied): what it names cannot be known, so this "
                                 "run writes nothing in the working folder;\n *** run again as "
                                 "user root, or ask root to run these programs once in the "
                                 "working folder, or run in another folder" +
                                 kEndsHeld) &&
              !shows(refused, kTitleQuestion))
      << refused.output;
  EXPECT_EQ(files_in(group), left);
  // Root's next run puts the earlier set back whole.
  const RunResult mended = box.run(as_root("group"), kQuit);
  EXPECT_EQ(mended.status, 0);
  EXPECT_TRUE(
      shows(mended, " *** earlier files put back, which a run cut short had moved aside:\n"))
      << mended.output;
  EXPECT_EQ(files_in(group), earlier);
}

TEST_F(EdgesOfUsers, a_journal_made_under_umask_077_is_followed_by_another_users_run) {
  const fs::path group = folder("group", 02775, 0, kNobody);
  box.interrupt(as_root("group", KALDER_PATH, "umask 077 && "), kPlots, kFirstPlotMenu.shown,
                SIGKILL);
  const auto left = leftovers(group);
  const auto journal = std::find_if(left.begin(), left.end(),
                                    [](const string& name) { return name.ends_with(".journal"); });
  ASSERT_NE(journal, left.end());
  EXPECT_EQ(fs::status(group / *journal).permissions(), fs::perms(0644));
  const RunResult r = box.run(as_nobody("group"), kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r, " *** temporary files of a run cut short, removed:\n")) << r.output;
  EXPECT_EQ(leftovers(group), std::vector<string>{});
}

TEST_F(EdgesOfUsers, a_folder_this_user_may_not_write_into_is_refused_at_the_list) {
  // Root's folder, where root's run made a lock file every user may write; nobody's own
  // folder of mode 555.
  folder("roots", 0755);
  folder("own", 0555, kNobody, kNobody);
  ASSERT_EQ(box.run(as_root("roots"), kDefaults).status, 0);
  for (const char* name : {"roots", "own"}) {
    const auto before = files_in(box.dir() / name);
    const RunResult r = box.run(as_nobody(name), kDefaults);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(shows(r,
                      " *** this run cannot write into the working folder (Permission denied), "
                      "where it writes its files: make the folder writable for user nobody, or "
                      "run in another folder\n") &&
                !shows(r, kTitleQuestion))
        << name << r.output;
    EXPECT_EQ(files_in(box.dir() / name), before) << name;
  }
}

#ifdef PELLIFORM_PATH
TEST_F(EdgesOfUsers, pelliform_refuses_a_data_file_whose_results_root_keeps_in_a_sticky_folder) {
  const fs::path sticky = folder("sticky", 01777);
  ASSERT_EQ(box.run(as_root("sticky", PELLIFORM_PATH), "s.rwl\n" + pelliform_defaults()).status, 0);
  const auto earlier = files_in(sticky);
  string listed;
  for (const auto& [name, text] : earlier) {
    if (name.starts_with("s_")) listed += "       " + name + "\n";
  }
  // Refused when the data file is named, before anything is computed, and asked for again.
  const RunResult r = box.run(as_nobody("sticky", PELLIFORM_PATH), "s.rwl\n/\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r,
                    "\n *** files this run would replace, which belong to user root in a folder "
                    "that lets only a file's owner replace them:\n" +
                        listed + " *** ask root to move them, or run in another folder\n") &&
              count_of(r.output, kDataFileQuestion) == 2 && !shows(r, "[0-4]"))
      << r.output;
  EXPECT_EQ(files_in(sticky), earlier);
}
#endif

TEST_F(EdgesOfUsers, a_journal_followed_to_its_end_that_its_owner_keeps_is_named_with_its_owner) {
  const fs::path sticky = folder("sticky", 01777);
  // Root's run cut short before its new file took its name; its temporary file since
  // removed by hand: the journal names nothing left to do.
  killed_while_placing(sticky, 2, {{"s.rwl_out.txt", "new\n"}}, 0, "back");
  fs::remove(sticky / temporary_name("s.rwl_out.txt", ::getpid()));
  const string journal = journal_of(::getpid());
  const RunResult r = box.run(as_nobody("sticky"), kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r, " *** could not remove " + journal +
                           ", the journal of a run cut short, which this run followed to its "
                           "end: it belongs to user root, and its folder lets only a file's "
                           "owner move or remove it; it does no harm: ask that user to remove "
                           "it\n"))
      << r.output;
  EXPECT_TRUE(fs::exists(sticky / journal));
}

// Root's data files: one in a folder nobody may enter, one nobody may read in a folder
// every user enters.
TEST_F(EdgesOfUsers, a_data_file_this_user_may_not_reach_or_read_is_said_with_its_reason) {
  folder("priv", 0700);
  fs::permissions(folder("shut", 0755) / "s.rwl", fs::perms(0600));
  for (const string data : {"priv/s.rwl", "shut/s.rwl"}) {
    box.write_file("f.txt", data + "\n");
    fs::permissions(box.dir() / "f.txt", fs::perms(0644));
    const RunResult k = box.run(as_nobody("."), "\nf.txt\n/\n");
    EXPECT_TRUE(shows(k, "\n*** " + data +
                             ": Permission denied\n*** line 1 of f.txt: 1 of the 1 names listed "
                             "cannot be read\n") &&
                !shows(k, "not found"))
        << k.output;
#ifdef PELLIFORM_PATH
    const RunResult p = box.run(as_nobody(".", PELLIFORM_PATH), data + "\n\n/\n");
    EXPECT_TRUE(shows(p, "\n *** " + data + ": Permission denied\n") && !shows(p, "not found"))
        << p.output;
#endif
  }
}

// A run of an earlier version, which leaves this version's journals alone, wrote a name
// where a put-back would go.
TEST(Edges, a_put_back_that_meets_a_newer_file_leaves_it_and_ends_the_journal) {
  Sandbox box;
  site(box, ".");
  ASSERT_EQ(box.kalder(kDefaults).status, 0);
  auto expected = box.files("");
  const auto news = new_versions(expected);
  killed_while_placing(box.dir(), 2, news, 1, "back");
  const string newer = news.back().first;
  box.write_file(newer, expected[newer] = "a newer " + newer + "\n");
  const RunResult r = box.kalder(kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(count_of(r.output,
                     " *** earlier files removed, which a run cut short had set aside, as newer "
                     "files have taken their names since:\n       " +
                         newer + "\n"),
            1u)
      << r.output;
  EXPECT_EQ(box.files(""), expected);
  const RunResult next = box.kalder(kQuit);
  EXPECT_FALSE(shows(next, "cut short")) << next.output;
}

// A run keeps two files open for each folder it writes into and counts 34 for its own
// work: under a limit of 40, (40 - 34) / 2 = 3 folders.
TEST(Edges, a_run_is_refused_only_past_what_the_open_file_limit_keeps_open) {
  Sandbox box;
  // Soft and hard limits of 36 and 40: raised to 40. Three data files in three folders and
  // the working folder, where the run-wide files go, make 4 folders.
  const string limited = script(box, ".", "ulimit -Sn 36 && ulimit -Hn 40 && exec", KALDER_PATH);
  string list;
  for (int k = 0; k < 3; ++k) {
    const string name = "d" + std::to_string(k);
    site(box, name);
    list += name + "/s.rwl\n";
  }
  box.write_file("f.txt", list);
  const RunResult refused = box.run(limited, kDefaults);
  EXPECT_EQ(refused.status, 1);
  EXPECT_TRUE(shows(refused,
                    " *** this run would write into 4 folders and keep 42 files open at once, two "
                    "for each folder and 34 for its own work: more than the 40 this system lets "
                    "it have open;\n *** raise the limit (ulimit -n), or put the data files in "
                    "fewer folders" +
                        kEnds) &&
              !shows(refused, kTitleQuestion))
      << refused.output;
  for (const auto& e : fs::recursive_directory_iterator(box.dir())) {
    EXPECT_NE(e.path().filename(), kLockFile) << e.path();
  }
  // One folder fewer: the run goes to its end.
  box.write_file("f.txt", list.substr(list.find('\n') + 1));
  const RunResult r = box.run(limited, kDefaults + "\n");
  EXPECT_EQ(r.status, 0) << r.output;
#ifdef PELLIFORM_PATH
  // pelliform's run of one data file needs 36.
  const RunResult p = box.run(script(box, "d0", "ulimit -n 36 && exec", PELLIFORM_PATH),
                              "s.rwl\n" + pelliform_defaults());
  EXPECT_EQ(p.status, 0) << p.output;
  const RunResult one =
      box.run(script(box, "d0", "ulimit -n 35 && exec", PELLIFORM_PATH), "s.rwl\n");
  EXPECT_TRUE(shows(one,
                    " *** this run would write into 1 folder and keep 36 files open at once, two "
                    "for each folder and 34 for its own work: more than the 35 this system lets it "
                    "have open;\n *** raise the limit (ulimit -n)" +
                        kEnds))
      << one.output;
#endif
}

// A run holds a folder and its copy made with hard links, which share one lock file. The
// copy's name of it is removed by hand: another run makes a new one, holds the copy and
// writes there, but not under a name of the first run, whose general output file would
// then have no earlier file to keep. The first run goes on to its end, or is stopped at the
// copy's first plot page.
TEST(Edges, a_copy_whose_lock_file_another_run_made_anew_gets_nothing_more_from_this_run) {
  for (const bool stopped : {false, true}) {
    Sandbox box;
    const fs::path copy = box.dir() / "copy";
    site(box, "site");
    box.write_file("site/t.rwl", similar_series("TREE", 8, 1850, 120));
    box.write_file("f.txt", "site/s.rwl\ncopy/s.rwl\n");
    box.write_file("g.txt", "copy/t.rwl\n");
    box.write_file("h.txt", "site/s.rwl\n");
    ASSERT_EQ(box.kalder("\nh.txt\nT\n/\n").status, 0);  // the site's lock file made
    ASSERT_EQ(std::system(("cd '" + box.dir().string() + "' && cp -al site copy").c_str()), 0);
    Child first(box.dir(), KALDER_PATH, "\nf.txt\nT\nn\n\n19\n1\n\n\n");
    ASSERT_TRUE(first.wait_at(kFirstPlotMenu));
    fs::remove(copy / kLockFile);
    ASSERT_EQ(box.kalder("\ng.txt\nT\nn\n\n\n\n").status, 0);
    const auto others = files_in(copy);
    if (stopped) {
      first.give(string(4, '\n'));  // the site's four plot pages
      ASSERT_TRUE(first.wait_at({kFirstPlotMenu.shown, 5}));
      first.send(SIGTERM);
    } else {
      first.give(string(80, '\n'));
    }
    const RunResult r = first.finish();
    EXPECT_EQ(r.status, stopped ? 143 : 1);
    const string removed =
        "copy/.dendro.lock, the lock file by which this run holds its folder, was removed or "
        "replaced while the run held it";
    EXPECT_TRUE(shows(r, stopped
                             ? " *** could not keep the new copy/s.rwl_out.txt: " + removed
                             : "*** could not put the new copy/s.rwl_out.txt in place: " + removed +
                                   "; none of the files that would take their "
                                   "names with it is written\n"))
        << r.output;
    EXPECT_EQ(files_in(copy), others) << stopped;
    // The batch detail file is said saved once its group is in place: the site's only.
    EXPECT_TRUE(shows(r, "batch detail file saved: site/s.rwl_detail.txt") &&
                !shows(r, "batch detail file saved: copy/"))
        << r.output;
  }
}

#ifdef PELLIFORM_PATH
TEST(Edges, pelliform_gives_back_the_folder_of_a_data_file_it_gave_up) {
  Sandbox box;
  site(box, "A");
  box.write_file("A/clash.rwl", box.read_file("A/s.rwl"));
  fs::create_directory(box.dir() / "A/clash_spectra.txt");  // refuses clash.rwl when named
  site(box, "P");
  box.write_file("g.txt", "A/s.rwl\n");
  const auto kalder_in_a = [&](const string& when) {
    const RunResult r = box.kalder("\ng.txt\nT\n/\n");
    EXPECT_EQ(r.status, 0) << when << r.output;
  };
  // A data file of A that fails to load, tried again ("q" at the format menu, then "T").
  Child pelliform(box.dir() / "P", PELLIFORM_PATH, "../A/s.rwl\nq\nT\n");
  ASSERT_TRUE(pelliform.wait_at({kDataFileQuestion, 2}));
  kalder_in_a("after the load failed");
  // One refused when named, then a data file of its own folder.
  pelliform.give("../A/clash.rwl\ns.rwl\n1\nR\n" + string(7, '\n'));
  ASSERT_TRUE(pelliform.wait_at(kFirstPlotMenu));
  kalder_in_a("after the name was refused");
  for (int k = 0; k < 400; ++k) pelliform.give("c\n");
  EXPECT_EQ(pelliform.finish().status, 0);
}

TEST(Edges, pelliform_refuses_a_data_file_whose_series_files_names_are_too_long) {
  Sandbox box;
  Child pelliform(box.dir(), PELLIFORM_PATH, "");
  // The longest name whose report, of the data file's stem and 17 bytes, has a temporary
  // name of 255 bytes (its own, a period, the process id and ".part"); the engine's series
  // files of the stem and 19 bytes are too long: 231 bytes where the process id has five
  // digits.
  const std::size_t length = 236 - std::to_string(pelliform.pid()).size();
  const string stem(length - 4, 's'), data = stem + ".rwl";
  box.write_file(data, similar_series("SITE", 8, 1850, 120));
  const auto before = box.files("");
  pelliform.give(data + "\n/\n");
  const RunResult r = pelliform.finish();
  EXPECT_TRUE(shows(r, " *** " + stem + "_SSF_PTR_Curves.txt, which this run would write as an " +
                           "output of " + data + ", is too long a name") &&
              !shows(r, "_out_v43ptr08.txt, which") && !shows(r, "[0-4]") &&
              count_of(r.output, kDataFileQuestion) == 2)
      << r.output;
  EXPECT_EQ(box.files(""), before);
}
#endif

}  // namespace
}  // namespace dendro::e2e
