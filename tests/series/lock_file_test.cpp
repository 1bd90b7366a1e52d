// The folder's lock file on the disk: a hold lasts as long as its run whatever else the run
// opens and closes, and a run that waits for the folder's latch hears a signal. (What stands
// under its name is refused end to end: tests/e2e/found_in_folder_test.cpp.)
#include "series/files/lock_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "tests/signal_status.h"

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
  const auto start = std::chrono::steady_clock::now();
  LockFiles waiting(::getpid());
  const int status = status_when_signalled(true, [&] { waiting.hold(s.folder(), {"b.txt"}); });
  ::close(fd);
  EXPECT_EQ(status, 130);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
}

}  // namespace
}  // namespace dendro
