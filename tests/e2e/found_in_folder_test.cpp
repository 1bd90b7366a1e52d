// What a run finds in a folder before it writes: journals and lock files are input, checked
// before they are followed. A journal that is not this program's own whole journal of its
// own folder, or that would touch an input, stays as it is and is named once; a whole one is
// followed, in a folder moved or copied too; a lock file that is not this program's refuses
// the run, and is left as it was.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "series/file_system.h"
#include "series/journal.h"

namespace dendro::e2e {
namespace {

namespace fs = std::filesystem;
using std::string;

const string kData = "morc019.rwl";
const string kToBatch = "\nf.txt\nT\n";             // up to the batch question, then ends
const string kQuit = kToBatch + "/\n";              // "/" at the batch question
const string kDefaults = kToBatch + "n\n\n\n\n\n";  // interactive, every option at its default
const string kBatchQuestion = "run in batch mode from log file? y/<n>/h    ==>";

bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }

string contents(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What the folder holds, by path within it: each file by its size, checksum and names (when
// it has more than one), each link by its target, each folder and FIFO by what it is.
std::map<string, string> nodes(const fs::path& dir) {
  std::map<string, string> found;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
    const string at = e.path().lexically_relative(dir).string();
    const fs::file_status s = e.symlink_status();
    if (fs::is_symlink(s)) {
      found[at] = "link to " + fs::read_symlink(e.path()).string();
    } else if (fs::is_directory(s)) {
      found[at] = "folder";
    } else if (fs::is_fifo(s)) {
      found[at] = "fifo";
    } else if (fs::is_regular_file(s)) {
      const string text = contents(e.path());
      const auto names = fs::hard_link_count(e.path());
      found[at] = "file of " + std::to_string(text.size()) + " characters, checksum " +
                  checksum_of(text) + (names > 1 ? ", " + std::to_string(names) + " names" : "");
    } else {
      found[at] = "other";
    }
  }
  return found;
}

// The nodes of a text file `text`, as nodes() shows it.
string file_node(const string& text) {
  return "file of " + std::to_string(text.size()) + " characters, checksum " + checksum_of(text);
}

// A sandbox whose folder `site` holds the data file, listed in f.txt (in the sandbox's own
// folder) as site/morc019.rwl, and beside it a folder `elsewhere` with a file of notes.
struct Site {
  Sandbox box;
  fs::path dir = box.dir() / "site";
  string here;  // the identity of `dir`
  string data;  // the data file's text

  Site() {
    fs::create_directories(dir);
    fs::create_directories(box.dir() / "elsewhere");
    box.copy_data("keny002.rwl", "site/" + kData);
    box.write_file("f.txt", "site/" + kData + "\n");
    box.write_file("elsewhere/notes.txt", "field notes, plot 4\n");
    here = fs::canonical(dir).string();
    data = box.read_file("site/" + kData);
  }
  string path(const string& name) const { return here + "/" + name; }
  // A first run with every option at its default, which leaves the earlier files.
  void earlier_run() { ASSERT_EQ(box.kalder(kDefaults).status, 0); }
};

// The console names the journal `shown` once, as left as it is because `why`.
void expect_left(const RunResult& r, const string& shown, const string& why) {
  EXPECT_EQ(count_of(r.output, shown), 1u) << r.output;
  EXPECT_TRUE(shows(r, " *** " + shown + " is no journal this program follows (" + why +
                           "): it stays as it is;\n"
                           " *** remove it if no run of this folder was cut short\n"))
      << r.output;
}

TEST(FoundInFolder, a_journal_not_of_this_program_is_named_once_and_left_as_it_is) {
  // An old-format or hand-made journal of a dead process, with records but no header nor
  // checksums, naming an output of the run, the data file and a file of another folder as new
  // files of a group rolled back: in plain names and in full paths.
  for (const bool full_paths : {false, true}) {
    SCOPED_TRACE(full_paths ? "full paths" : "plain names");
    Site site;
    site.earlier_run();
    const string elsewhere = fs::canonical(site.box.dir()).string() + "/elsewhere/notes.txt";
    string records;
    for (const string& name : {full_paths ? site.path(kData + "_out.txt") : kData + "_out.txt",
                               full_paths ? site.path(kData) : kData,
                               full_paths ? elsewhere : "../elsewhere/notes.txt"}) {
      records += "move\t1\t0\t0\t" + name + "\n";
    }
    site.box.write_file("site/.dendro.99999999.journal", records + "back\t1\n");
    const auto before = nodes(site.box.dir());
    const string journal = "site/.dendro.99999999.journal";
    const string why = "it does not begin as a journal of this program";
    RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, 0);
    expect_left(r, journal, why);
    EXPECT_EQ(nodes(site.box.dir()), before);
    r = site.box.kalder(kToBatch);  // the end of the input at the batch question
    EXPECT_EQ(r.status, 3);
    expect_left(r, journal, why);
    EXPECT_EQ(nodes(site.box.dir()), before);
    // A whole run writes its outputs beside the journal, which still stays.
    r = site.box.kalder(kDefaults);
    EXPECT_EQ(r.status, 0);
    expect_left(r, journal, why);
    const auto after = nodes(site.box.dir());
    for (const string& kept : {journal, "site/" + kData, string("elsewhere/notes.txt")}) {
      EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
    }
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(site.box.read_file("site/" + kData), site.data);
  }
  // An empty journal and one of random bytes, side by side: each named once, both left.
  Site site;
  site.earlier_run();
  string noise;
  std::mt19937 bytes(20240601);
  for (int k = 0; k < 700; ++k) noise += static_cast<char>(bytes() & 0xff);
  site.box.write_file("site/.dendro.99999998.journal", "");
  site.box.write_file("site/.dendro.99999997.journal", noise);
  const auto before = nodes(site.box.dir());
  EXPECT_EQ(before.at("site/.dendro.99999997.journal"), file_node(noise));
  for (const string& answers : {kQuit, kDefaults}) {
    const RunResult r = site.box.kalder(answers);
    EXPECT_EQ(r.status, 0);
    for (const char* journal : {"site/.dendro.99999998.journal", "site/.dendro.99999997.journal"}) {
      expect_left(r, journal, "it does not begin as a journal of this program");
    }
    const auto after = nodes(site.box.dir());
    EXPECT_EQ(after.at("site/.dendro.99999997.journal"), file_node(noise));
    EXPECT_EQ(after.at("site/.dendro.99999998.journal"), file_node(""));
    EXPECT_EQ(after.size(), before.size());
  }
  EXPECT_EQ(site.box.read_file("site/" + kData), site.data);
}

// The lines that list `names` under `head`, each indented as the console shows a name.
string listed(const string& head, const std::vector<string>& names) {
  string lines = head + "\n";
  for (const string& name : names) lines += "       " + name + "\n";
  return lines;
}

const string kPartsRemoved = " *** temporary files of a run cut short, removed:";
const string kPutBack = " *** earlier files put back, which a run cut short had moved aside:";
const string kNewRemoved = " *** new files of a run cut short removed";

TEST(FoundInFolder, a_journal_cut_inside_its_last_record_loses_only_its_temporary_files) {
  // A dead run (this test's process, which holds no name) began the table and chronology
  // files, then recorded a group whose first move gives the general output file its name,
  // which no earlier file had; a file made by hand has that name now, of the size recorded.
  // The journal is cut before the group's decision is whole: before the decision, inside it,
  // just before its line end, or inside the last move, so that the group is never rolled back:
  // the temporary files go, and the journal, followed; the file made by hand stays.
  for (const char* cut : {"before the decision", "inside the decision", "before its line end",
                          "inside the last move"}) {
    SCOPED_TRACE(cut);
    Site site;
    const std::unique_ptr<FileSystem> disk = disk_files();
    const int pid = disk->process_id();
    const string out = kData + "_out.txt", tabs = kData + "_tabs.txt", crns = kData + "_crns.txt";
    const string made = "written by hand after the run died\n";
    site.box.write_file("site/" + out, made);
    std::vector<string> temps;
    for (const string& name : {tabs, crns}) {
      temps.push_back(temporary_name(name, pid));
      site.box.write_file("site/" + temps.back(), "the first lines of " + name + "\n");
    }
    {
      Journal journal(*disk, site.here);
      for (const string& name : {tabs, crns}) journal.note_part(name);
      journal.begin_group(1, {{out, false, false, made.size()},
                              {tabs, false, false, fs::file_size(site.dir / temps[0])}});
    }
    const fs::path path = journal_path(site.here, pid);
    const string text = contents(path);
    ASSERT_TRUE(text.ends_with("\n") && text.rfind("\nback\t1\t2\t") != string::npos);
    const string where = cut;
    const std::size_t at = where == "before the decision"   ? text.rfind("\nback\t") + 1
                           : where == "inside the decision" ? text.size() - 6
                           : where == "before its line end" ? text.size() - 1
                                                            : text.rfind("\nmove\t") + 9;
    fs::resize_file(path, at);
    auto expected = nodes(site.box.dir());
    for (const string& temp : temps) expected.erase("site/" + temp);
    expected.erase("site/" + path.filename().string());
    const RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(nodes(site.box.dir()), expected);
    EXPECT_EQ(site.box.read_file("site/" + out), made);
    EXPECT_TRUE(shows(r, listed(kPartsRemoved, {"site/" + temps[0], "site/" + temps[1]})))
        << r.output;
    EXPECT_FALSE(shows(r, kNewRemoved)) << r.output;
    EXPECT_FALSE(shows(r, kPutBack)) << r.output;
  }
}

TEST(FoundInFolder, a_whole_journal_that_reaches_another_folder_or_an_input_is_left) {
  // Real journals of a dead run whose group, rolled back, would remove a new file that has its
  // name and the size recorded, no temporary file being left of it: a file of a folder below
  // or above the journal's own, or the data file of the run. The group also moves the earlier
  // general output file, a name the run writes, so that the run looks at the journal.
  struct Case {
    const char* named;  // as the journal names it
    const char* file;   // the file it stands for, in the sandbox
    const char* why;    // why the journal is left
  };
  const Case cases[] = {
      {"sub/x.txt", "site/sub/x.txt", "it names \"sub/x.txt\", which is no file of its own folder"},
      {"../x.txt", "x.txt", "it names \"../x.txt\", which is no file of its own folder"},
      {"morc019.rwl", "site/morc019.rwl", "it names morc019.rwl, which is data file 1 of f.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.named);
    Site site;
    site.earlier_run();
    fs::create_directories(site.dir / "sub");
    if (!site.box.exists(c.file)) site.box.write_file(c.file, "a file the journal names\n");
    const string out = kData + "_out.txt";
    const std::unique_ptr<FileSystem> disk = disk_files();
    Journal(*disk, site.here)
        .begin_group(1, {{out, true, false, fs::file_size(site.dir / out)},
                         {c.named, false, false, fs::file_size(site.box.dir() / c.file)}});
    const string journal = "site/.dendro." + std::to_string(disk->process_id()) + ".journal";
    const auto before = nodes(site.box.dir());
    RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, 0);
    expect_left(r, journal, c.why);
    EXPECT_EQ(nodes(site.box.dir()), before);
    // Not refused: a whole run writes its outputs, and the journal and the file stay.
    r = site.box.kalder(kDefaults);
    EXPECT_EQ(r.status, 0);
    expect_left(r, journal, c.why);
    const auto after = nodes(site.box.dir());
    for (const string& kept : {journal, string(c.file), "site/" + kData}) {
      EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
    }
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(site.box.read_file("site/" + kData), site.data);
  }
  // A whole journal of another folder, reached by a link in this one, that would remove the
  // general output file as a new file of its group.
  const std::unique_ptr<FileSystem> disk = disk_files();
  const string journal = "site/.dendro." + std::to_string(disk->process_id()) + ".journal";
  {
    Site site;
    site.earlier_run();
    const string out = kData + "_out.txt";
    const fs::path other = fs::canonical(site.box.dir() / "elsewhere");
    Journal(*disk, other.string())
        .begin_group(1, {{out, false, false, fs::file_size(site.dir / out)}});
    fs::create_symlink(journal_path(other.string(), disk->process_id()), site.box.dir() / journal);
    const auto before = nodes(site.box.dir());
    const RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, 0);
    expect_left(r, journal, "it is a link to another file");
    EXPECT_EQ(nodes(site.box.dir()), before);
  }
  // A journal whose group names the data file alone, as a new file to remove.
  Site site;
  Journal(*disk, site.here).begin_group(1, {{kData, false, false, site.data.size()}});
  const auto before = nodes(site.box.dir());
  const RunResult r = site.box.kalder(kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nodes(site.box.dir()), before);
  expect_left(r, journal, "it names morc019.rwl, which is data file 1 of f.txt");
}

// Runs kalder in `dir` with `answers`, which end the run.
RunResult kalder_in(const fs::path& dir, const string& answers) {
  Child run(dir, KALDER_PATH, answers);
  return run.finish();
}

// A folder `name` of the sandbox that holds the data file, listed in its own f.txt, and the
// earlier files of a first run there with every option at its default.
fs::path folder_with_earlier_files(Sandbox& box, const string& name) {
  fs::create_directories(box.dir() / name);
  box.copy_data("keny002.rwl", name + "/" + kData);
  box.write_file(name + "/f.txt", kData + "\n");
  EXPECT_EQ(kalder_in(box.dir() / name, kDefaults).status, 0);
  return box.dir() / name;
}

// What a run killed while its group took its names leaves in `dir`: the journal of a group
// of `names` with their earlier files, each new version (the earlier file with its first line
// changed) written whole; the first `aside` earlier files moved aside, the new versions of
// the first `placed` of them in their names, the others under their temporary names. The
// dead run is this test's process, which holds no name. Returns its process id.
int killed_while_placing(const fs::path& dir, const std::vector<string>& names, std::size_t aside,
                         std::size_t placed) {
  const std::unique_ptr<FileSystem> disk = disk_files();
  const int pid = disk->process_id();
  Journal journal(*disk, fs::canonical(dir).string());
  std::vector<Move> moves;
  for (const string& name : names) {
    journal.note_part(name);
    const string earlier = contents(dir / name);
    const string fresh = "a new version of " + name + earlier.substr(earlier.find('\n'));
    std::ofstream(dir / temporary_name(name, pid), std::ios::binary) << fresh;
    moves.push_back({name, true, false, fresh.size()});
  }
  EXPECT_TRUE(journal.begin_group(1, moves).ok());
  for (std::size_t k = 0; k < aside; ++k) {
    fs::rename(dir / names[k], dir / aside_name(names[k], pid));
  }
  for (std::size_t k = 0; k < placed; ++k) {
    fs::rename(dir / temporary_name(names[k], pid), dir / names[k]);
  }
  return pid;
}

// The earlier files of the data file that a group takes together: all but its log file,
// which its menu put in place alone.
std::vector<string> group_of(const fs::path& dir) {
  std::vector<string> names;
  for (const auto& [name, node] : nodes(dir)) {
    if (name.starts_with(kData + "_") && !name.ends_with("_log.txt")) names.push_back(name);
  }
  return names;
}

// The console lines of the mending of a group killed as killed_while_placing() says.
string mending_lines(const std::vector<string>& names, std::size_t aside, std::size_t placed,
                     int pid) {
  const std::vector<string> back(names.begin(), names.begin() + static_cast<std::ptrdiff_t>(aside));
  std::vector<string> temps;
  for (std::size_t k = placed; k < names.size(); ++k) {
    temps.push_back(temporary_name(names[k], pid));
  }
  return listed(kPutBack, back) + listed(kPartsRemoved, temps);
}

TEST(FoundInFolder, a_folder_moved_or_copied_after_a_kill_mends_itself) {
  Sandbox box;
  // Killed as its new files took their names: every earlier file aside, two new files in
  // their names. The folder is moved; a run there puts every earlier file back.
  const fs::path site = folder_with_earlier_files(box, "site");
  const auto earlier = nodes(site);
  const std::vector<string> names = group_of(site);
  ASSERT_GE(names.size(), 4u);
  int pid = killed_while_placing(site, names, names.size(), 2);
  ASSERT_NE(nodes(site), earlier);
  fs::rename(site, box.dir() / "site2");
  RunResult r = kalder_in(box.dir() / "site2", kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nodes(box.dir() / "site2"), earlier);
  EXPECT_TRUE(shows(r, mending_lines(names, names.size(), 2, pid))) << r.output;
  EXPECT_FALSE(shows(r, kNewRemoved)) << r.output;
  EXPECT_FALSE(fs::exists(site));
  // Killed as its earlier files stepped aside: three aside, every new file under its
  // temporary name. The folder is copied whole; each copy mends itself, the other left as
  // the kill left it.
  const fs::path plot = folder_with_earlier_files(box, "plot");
  const auto plot_earlier = nodes(plot);
  pid = killed_while_placing(plot, names, 3, 0);
  const auto killed = nodes(plot);
  fs::copy(plot, box.dir() / "plot_copy", fs::copy_options::recursive);
  ASSERT_EQ(nodes(box.dir() / "plot_copy"), killed);
  r = kalder_in(box.dir() / "plot_copy", kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nodes(box.dir() / "plot_copy"), plot_earlier);
  EXPECT_EQ(nodes(plot), killed);
  EXPECT_TRUE(shows(r, mending_lines(names, 3, 0, pid))) << r.output;
  r = kalder_in(plot, kQuit);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(nodes(plot), plot_earlier);
  EXPECT_TRUE(shows(r, mending_lines(names, 3, 0, pid))) << r.output;
}

// What stands under the name of the lock file, made by someone else, and what kalder says of
// it: the one line that names it.
struct Foreign {
  const char* what;
  void (*make)(const Site& site);
  string line;
};

const Foreign kForeignLocks[] = {
    {"a symbolic link to the data file",
     [](const Site& s) { fs::create_symlink(kData, s.dir / ".dendro.lock"); },
     " *** site/.dendro.lock is a symbolic link, which runs of these programs do not follow: "
     "remove it, then run again\n"},
    {"a hard link to the data file",
     [](const Site& s) { fs::create_hard_link(s.dir / kData, s.dir / ".dendro.lock"); },
     " *** site/.dendro.lock has another name (a hard link), so it is not the lock file of "
     "these programs: remove it, then run again\n"},
    {"a symbolic link to nothing outside the folder",
     [](const Site& s) {
       fs::create_symlink(fs::canonical(s.box.dir()) / "elsewhere" / "lock",
                          s.dir / ".dendro.lock");
     },
     " *** site/.dendro.lock is a symbolic link, which runs of these programs do not follow: "
     "remove it, then run again\n"},
    {"a folder",
     [](const Site& s) {
       fs::create_directory(s.dir / ".dendro.lock");
       std::ofstream(s.dir / ".dendro.lock" / "inside.txt") << "kept\n";
     },
     " *** site/.dendro.lock is a folder, not the lock file of these programs: rename it, then "
     "run again\n"},
    {"a FIFO",
     [](const Site& s) { ASSERT_EQ(::mkfifo((s.dir / ".dendro.lock").c_str(), 0644), 0); },
     " *** site/.dendro.lock is not a regular file (a device, a FIFO or a socket), so not the "
     "lock file of these programs: remove it, then run again\n"},
    {"a file of other text",
     [](const Site& s) { std::ofstream(s.dir / ".dendro.lock") << "locked by hand\n"; },
     " *** site/.dendro.lock is not the lock file of these programs: remove it if no run of "
     "them is using this folder, then run again\n"},
};

// The program, answered for a whole run, refuses it with `line`, the one line that names the
// lock file, and leaves the sandbox as it was.
void expect_lock_refused(Sandbox& box, const string& program, const string& answers,
                         const string& line) {
  const auto before = nodes(box.dir());
  const RunResult r = box.run(program, answers);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(count_of(r.output, ".dendro.lock"), 1u) << r.output;
  EXPECT_TRUE(shows(r, line)) << r.output;
  EXPECT_EQ(nodes(box.dir()), before);
}

TEST(FoundInFolder, a_lock_file_that_is_not_this_programs_refuses_the_run_and_stays) {
  for (const Foreign& lock : kForeignLocks) {
    SCOPED_TRACE(lock.what);
    Site site;
    lock.make(site);
    expect_lock_refused(site.box, KALDER_PATH, kDefaults, lock.line);
    EXPECT_EQ(site.box.read_file("site/" + kData), site.data);
    EXPECT_FALSE(fs::exists(fs::symlink_status(site.box.dir() / "elsewhere" / "lock")));
  }
}

TEST(FoundInFolder, two_runs_of_one_list_are_kept_apart_by_a_lock_file_of_their_own) {
  // With a link under the lock file's name, a run waiting at a question and a second run of
  // the same list would not be kept apart: both are refused.
  for (const Foreign& lock : {kForeignLocks[0], kForeignLocks[1]}) {
    SCOPED_TRACE(lock.what);
    Site site;
    lock.make(site);
    const auto before = nodes(site.box.dir());
    Child first(site.box.dir(), KALDER_PATH, kToBatch);
    const bool waits = first.wait_at({kBatchQuestion});
    EXPECT_FALSE(waits);
    expect_lock_refused(site.box, KALDER_PATH, kDefaults, lock.line);
    if (waits) first.give("/\n");
    const RunResult r = first.finish();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(count_of(r.output, ".dendro.lock"), 1u) << r.output;
    EXPECT_TRUE(shows(r, lock.line)) << r.output;
    EXPECT_EQ(nodes(site.box.dir()), before);
  }
  // With no lock file at first, the first run makes its own and holds its names while it
  // waits; the second is refused, naming it; the first then ends whole.
  Site site;
  Child first(site.box.dir(), KALDER_PATH, kToBatch);
  ASSERT_TRUE(first.wait_at({kBatchQuestion}));
  EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(site.dir / ".dendro.lock")));
  const auto waiting = nodes(site.box.dir());
  RunResult r = site.box.kalder(kDefaults);
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(shows(r, " *** another run (process " + std::to_string(first.pid()) +
                           ") is using site/" + kData + "_out.txt and "))
      << r.output;
  EXPECT_TRUE(shows(r, " *** this run ends here, before it writes any of them\n")) << r.output;
  EXPECT_EQ(nodes(site.box.dir()), waiting);
  first.give("n\n\n\n\n\n");
  r = first.finish();
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(shows(r, "this is the end.")) << r.output;
  const auto after = nodes(site.box.dir());
  EXPECT_TRUE(after.count("site/" + kData + "_out.txt"));
  for (const auto& [name, node] : after) {
    EXPECT_FALSE(name.find(".dendro.") != string::npos || name.ends_with(".part") ||
                 name.ends_with(".prev"))
        << name;
  }
  EXPECT_EQ(after.at("site/" + kData), file_node(site.data));
}

#ifdef PELLIFORM_PATH
TEST(FoundInFolder, pelliform_leaves_a_journal_not_its_own_and_refuses_a_linked_lock_file) {
  // A hand-made journal of a dead process naming the report, the data file and a file of
  // another folder as new files of a group rolled back.
  Site site;
  site.box.copy_data("keny002.rwl", "site/site.rwl");
  const string run = "site/site.rwl\n" + pelliform_defaults();
  ASSERT_EQ(site.box.run(PELLIFORM_PATH, run).status, 0);
  site.box.write_file("site/.dendro.99999999.journal",
                      "move\t1\t0\t0\tsite_out_v43ptr08.txt\nmove\t1\t0\t0\tsite.rwl\n"
                      "move\t1\t0\t0\t../elsewhere/notes.txt\nback\t1\n");
  const auto before = nodes(site.box.dir());
  const string journal = "site/.dendro.99999999.journal";
  const string why = "it does not begin as a journal of this program";
  RunResult r = site.box.run(PELLIFORM_PATH, "site/site.rwl\n");  // then the end of the input
  EXPECT_EQ(r.status, 3);
  expect_left(r, journal, why);
  EXPECT_EQ(nodes(site.box.dir()), before);
  r = site.box.run(PELLIFORM_PATH, run);
  EXPECT_EQ(r.status, 0);
  expect_left(r, journal, why);
  const auto after = nodes(site.box.dir());
  for (const string& kept : {journal, string("site/site.rwl"), string("elsewhere/notes.txt")}) {
    EXPECT_EQ(after.at(kept), before.at(kept)) << kept;
  }
  EXPECT_EQ(after.size(), before.size());
  // A symbolic link to the data file under the lock file's name.
  fs::remove(site.dir / ".dendro.99999999.journal");
  fs::create_symlink("site.rwl", site.dir / ".dendro.lock");
  expect_lock_refused(site.box, PELLIFORM_PATH, run, kForeignLocks[0].line);
}
#endif

}  // namespace
}  // namespace dendro::e2e
