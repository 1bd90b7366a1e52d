// What a run finds in a folder before it writes is input: a journal or a lock file that is
// not the program's own is named and left, and touches nothing; a whole journal is followed,
// in a folder moved or copied too.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "harness.h"
#include "series/files/file_system.h"
#include "series/files/journal.h"

namespace dendro::e2e {
namespace {

namespace fs = std::filesystem;
using std::string;

const string kData = "morc019.rwl";
const string kQuit = "\nf.txt\nT\n/\n";  // "/" at the batch question

// What the folder holds, by path within it: each file by a checksum of its characters and
// its number of names, each link by its target, anything else by its kind.
std::map<string, string> nodes(const fs::path& dir) {
  std::map<string, string> found;
  for (const fs::directory_entry& e : fs::recursive_directory_iterator(dir)) {
    if (e.path().filename() == kLockFile) continue;
    const fs::file_status s = e.symlink_status();
    string& node = found[e.path().lexically_relative(dir).string()];
    if (fs::is_symlink(s)) {
      node = "link to " + fs::read_symlink(e.path()).string();
    } else if (fs::is_regular_file(s)) {
      std::ifstream in(e.path(), std::ios::binary);
      const string text{std::istreambuf_iterator<char>(in), {}};
      node = checksum_of(text) + " " + std::to_string(fs::hard_link_count(e.path()));
    } else {
      node = fs::is_directory(s) ? "folder" : "other";
    }
  }
  return found;
}

// A sandbox with the data file in site/, listed in f.txt, and site/../elsewhere/notes.txt.
struct Site {
  Site() {
    fs::create_directories(box.dir() / "site");
    fs::create_directories(box.dir() / "elsewhere");
    box.copy_data("keny002.rwl", "site/" + kData);
    box.write_file("f.txt", "site/" + kData + "\n");
    box.write_file("elsewhere/notes.txt", "field notes\n");
  }
  fs::path dir() const { return box.dir() / "site"; }
  Sandbox box;
};

TEST(FoundInFolder, a_journal_or_lock_file_not_the_programs_own_touches_nothing) {
  struct Case {
    const char* what;
    std::function<void(const Site&)> make;
    int status;
    string said;  // once on the console; nothing for a run that goes on and says nothing
  };
  const auto journal = [](const std::function<string(const Site&)>& text) {
    return
        [text](const Site& s) { std::ofstream(s.dir() / ".dendro.99999999.journal") << text(s); };
  };
  const auto lock = [](const std::function<void(const fs::path&, const fs::path&)>& make) {
    return [make](const Site& s) { make(s.dir() / kData, s.dir() / kLockFile); };
  };
  const string left = " is no journal this program follows (a journal of an earlier version: ";
  const Case cases[] = {
      // A journal of the first version names files by full paths: one that names the data
      // file, one that names a file elsewhere.
      {"an old journal naming the data file", journal([](const Site& s) {
         return "move\t1\t0\t0\t" + fs::canonical(s.dir()).string() + "/" + kData + "\nback\t1\n";
       }),
       0,
       " *** site/.dendro.99999999.journal" + left + "it names " + kData +
           ", which is data file 1 of f.txt)"},
      {"an old journal naming a file elsewhere", journal([](const Site& s) {
         return "move\t1\t0\t0\t" + fs::canonical(s.dir()).string() + "/../elsewhere/notes.txt\n";
       }),
       0, " *** site/.dendro.99999999.journal" + left + "it names \""},
      {"a journal of no whole line", journal([](const Site&) { return "dendro jour"; }), 0, ""},
      {"a hard-linked lock file", lock([](auto& to, auto& at) { fs::create_hard_link(to, at); }), 0,
       ""},
      {"a lock file of other text", lock([](auto&, auto& at) { std::ofstream(at) << "notes\n"; }),
       0, ""},
      {"a linked lock file", lock([](auto& to, auto& at) { fs::create_symlink(to, at); }), 1,
       " *** site/.dendro.lock is a symbolic link, which runs of these programs do not follow: "
       "remove it, then run again\n"},
      {"a lock file linked to nothing", lock([](auto& to, auto& at) {
         fs::create_symlink(to.parent_path() / "../elsewhere/l", at);
       }),
       1, " *** site/.dendro.lock is a symbolic link"},
      {"a FIFO as lock file", lock([](auto&, auto& at) { ::mkfifo(at.c_str(), 0644); }), 1,
       " *** site/.dendro.lock is not a regular file"},
      {"a folder as lock file", lock([](auto&, auto& at) { fs::create_directory(at); }), 1,
       " *** site/.dendro.lock is a folder, not the lock file of these programs"},
  };
  for (const Case& c : cases) {
    Site site;
    c.make(site);
    auto before = nodes(site.box.dir());
    const RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, c.status) << c.what;
    EXPECT_EQ(count_of(r.output, c.said.empty() ? "\n *** " : c.said), c.said.empty() ? 0u : 1u)
        << c.what << ": " << r.output;
    if (c.said.empty() && c.status == 0) before.erase("site/.dendro.99999999.journal");
    EXPECT_EQ(nodes(site.box.dir()), before) << c.what;
  }
  // pelliform too.
  Site site;
  cases[0].make(site);
  const auto before = nodes(site.box.dir());
  const RunResult r = site.box.run(PELLIFORM_PATH, "site/" + kData + "\n");
  EXPECT_EQ(count_of(r.output, " *** site/.dendro.99999999.journal" + left + "it names " + kData +
                                   ", which is the data file)"),
            1u)
      << r.output;
  EXPECT_EQ(nodes(site.box.dir()), before);
}

TEST(FoundInFolder, a_folder_moved_or_copied_after_a_kill_mends_itself) {
  Site site;
  ASSERT_EQ(site.box.kalder("\nf.txt\nT\nn\n\n\n\n\n").status, 0);
  const auto earlier = nodes(site.dir());
  // Killed as its new files took their names; the folder moved, and a copy of it made.
  std::vector<std::pair<string, string>> news;  // every output but the log file, anew
  for (const auto& e : fs::directory_iterator(site.dir())) {
    const string name = e.path().filename().string();
    if (name.starts_with(kData + "_") && !name.ends_with("_log.txt")) {
      news.emplace_back(name, "a new " + name + "\n");
    }
  }
  killed_while_placing(site.dir(), 2, news, 2, "back");
  fs::copy(site.dir(), site.box.dir() / "copy", fs::copy_options::recursive);
  fs::rename(site.dir(), site.box.dir() / "moved");
  for (const string folder : {"moved", "copy"}) {
    site.box.write_file("f.txt", folder + "/" + kData + "\n");
    const RunResult r = site.box.kalder(kQuit);
    EXPECT_EQ(r.status, 0) << folder;
    EXPECT_TRUE(r.output.find(" *** earlier files put back, which a run cut short had moved "
                              "aside:\n       " +
                              folder + "/" + kData + "_") != string::npos)
        << r.output;
    EXPECT_EQ(nodes(site.box.dir() / folder), earlier) << folder;
  }
}

}  // namespace
}  // namespace dendro::e2e
