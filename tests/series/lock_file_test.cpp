// The folder's lock file on the disk: what stands under its name is input, a hold lasts
// as long as its run whatever else the run opens and closes, and a run that waits for the
// folder's latch hears a signal.
#include "series/lock_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "series/interrupts.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, under the build's scratch folder.
struct Scratch {
  Scratch() {
    dir = fs::path(testing::TempDir()) /
          ("lock_" + std::to_string(::getpid()) + "_" +
           testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    dir = fs::canonical(dir);
  }
  ~Scratch() { fs::remove_all(dir); }
  std::string folder() const { return dir.string(); }
  fs::path lock() const { return dir / ".dendro.lock"; }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir / name) << text;
  }
  std::string read(const fs::path& path) const {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path dir;
};

TEST(LockFile, what_stands_under_its_name_is_refused_in_one_line_and_left_as_it_was) {
  struct Case {
    const char* what;
    std::string said;  // what the refusal says of it
  };
  for (const Case& c : {Case{"link",
                             "is a symbolic link, which runs of these programs do not "
                             "follow: remove it, then run again"},
                        Case{"dangling", "is a symbolic link"},
                        Case{"hard",
                             "has another name (a hard link), so it is not the lock file "
                             "of these programs: remove it, then run again"},
                        Case{"folder", "is a folder, not the lock file of these programs"},
                        Case{"fifo", "is not a regular file (a device, a FIFO or a socket)"},
                        Case{"text",
                             "is not the lock file of these programs: remove it if no run "
                             "of them is using this folder, then run again"}}) {
    Scratch s;
    s.write("s.rwl", "the data\n");
    const std::string what = c.what;
    const fs::path outside = s.dir / "elsewhere";
    if (what == "link") fs::create_symlink(s.dir / "s.rwl", s.lock());
    if (what == "dangling") fs::create_symlink(outside, s.lock());
    if (what == "hard") fs::create_hard_link(s.dir / "s.rwl", s.lock());
    if (what == "folder") fs::create_directory(s.lock());
    if (what == "fifo") {
      ASSERT_EQ(::mkfifo(s.lock().c_str(), 0644), 0);
    }
    if (what == "text") s.write(".dendro.lock", "notes\n");
    const fs::file_status before = fs::symlink_status(s.lock());
    {
      LockFiles locks(::getpid());
      const Claim claim = locks.hold(s.folder(), {"s.rwl_out.txt"});
      EXPECT_FALSE(claim.taken()) << what;
      EXPECT_NE(claim.failure.find(".dendro.lock "), std::string::npos)
          << what << ": " << claim.failure;
      EXPECT_NE(claim.failure.find(c.said), std::string::npos) << what << ": " << claim.failure;
      EXPECT_EQ(locks.live_runs(s.folder()).failure.empty(), false) << what;
    }
    EXPECT_EQ(fs::symlink_status(s.lock()).type(), before.type()) << what;
    EXPECT_EQ(s.read(s.dir / "s.rwl"), "the data\n") << what;
    EXPECT_FALSE(fs::exists(outside)) << what;
    EXPECT_TRUE(what != "text" || s.read(s.lock()) == "notes\n");
  }
}

TEST(LockFile, a_hold_outlasts_any_close_and_ends_with_its_run) {
  Scratch s;
  {
    LockFiles run(::getpid());
    ASSERT_TRUE(run.hold(s.folder(), {"x.txt", "y.txt"}).taken());
    // Another descriptor of the lock file, opened and closed: a process's record locks
    // (F_SETLK) on a file go with the first of its descriptors that closes.
    std::ifstream(s.lock()).close();
    const pid_t parent = ::getpid();
    const pid_t child = ::fork();
    if (child == 0) {
      LockFiles other(::getpid());
      const Claim refused = other.hold(s.folder(), {"z.txt", "x.txt"});
      const LiveRuns live = other.live_runs(s.folder());
      const bool right = refused.held.size() == 1 && refused.held[0].name == "x.txt" &&
                         refused.held[0].pid == parent && live.pids.count(parent) == 1 &&
                         live.names.count("y.txt") == 1 &&
                         other.hold(s.folder(), {"z.txt"}).taken();
      ::_exit(right ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_TRUE(fs::exists(s.lock()));
  }
  // The last run out removes it; the names are free again.
  EXPECT_FALSE(fs::exists(s.lock()));
  LockFiles later(::getpid());
  EXPECT_TRUE(later.hold(s.folder(), {"x.txt"}).taken());
}

TEST(LockFile, a_run_that_waits_for_the_latch_hears_a_signal) {
  Scratch s;
  {
    LockFiles first(::getpid());
    ASSERT_TRUE(first.hold(s.folder(), {"a.txt"}).taken());
  }
  // The test holds the latch, byte 0, as a run reading the blocks would.
  s.write(".dendro.lock", "dendro lock file 1\n");
  const int fd = ::open(s.lock().c_str(), O_RDWR);
  struct flock latch {};
  latch.l_type = F_WRLCK;
  latch.l_len = 1;
  ASSERT_EQ(::fcntl(fd, F_OFD_SETLK, &latch), 0);
  const int own_input = ::dup(STDIN_FILENO);
  const auto before = std::signal(SIGINT, SIG_DFL);
  int status = 0;
  const auto start = std::chrono::steady_clock::now();
  {
    const CatchInterrupts catching;
    LockFiles waiting(::getpid());
    std::raise(SIGINT);
    try {
      waiting.hold(s.folder(), {"b.txt"});
    } catch (const Stop& stop) {
      status = interrupted(stop) ? stop.status : -stop.status;
    }
  }
  const CatchInterrupts clear;  // the next test starts without the signal
  ::dup2(own_input, STDIN_FILENO);
  ::close(own_input);
  std::signal(SIGINT, before);
  ::close(fd);
  EXPECT_EQ(status, 130);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace dendro
