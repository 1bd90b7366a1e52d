// A folder's lock file on the disk: one run at a time holds the folder, whatever the file
// holds or whoever made it, a run of the previous version included.
#include "series/files/folder_lock.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <vector>

#include "tests/open_folder.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

// A folder of its own for each test, under the process's own folder unless given.
struct Scratch {
  explicit Scratch(const fs::path& base = testing::TempDir()) {
    dir = base / ("lock_" + std::to_string(::getpid()) + "_" +
                  testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    fs::create_directories(dir);
    dir = fs::canonical(dir);
  }
  ~Scratch() { fs::remove_all(dir); }
  std::string folder() const { return dir.string(); }
  fs::path lock() const { return dir / ".dendro.lock"; }
  void write(const fs::path& path, const std::string& text) const {
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string read(const fs::path& path) const {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path dir;
};

// A write lock on `length` bytes from `start` of the file `fd`, as an open file description
// takes it: 0 when taken, else errno.
int byte_lock(int fd, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0 ? 0 : errno;
}

// Sets or clears the immutable flag of `path`; false where this user or its file system
// cannot.
bool set_immutable(const fs::path& path, bool on) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
  done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  if (fd >= 0) ::close(fd);
  return done;
}

// What a child process with a mount namespace of its own, where a file system is mounted
// read-only over `folder`, is told when it would hold the folder; nothing when it cannot
// mount one (not root).
std::optional<std::string> read_only_refusal(const std::string& folder) {
  int words[2];
  if (::pipe(words) != 0) return std::nullopt;
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(words[0]);
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
        ::mount("none", folder.c_str(), "tmpfs", MS_RDONLY, nullptr) != 0) {
      _exit(2);
    }
    const std::string failure = disk_files()->hold(folder).failure;
    _exit(::write(words[1], failure.data(), failure.size()) == static_cast<ssize_t>(failure.size())
              ? 0
              : 1);
  }
  ::close(words[1]);
  std::string failure;
  char buffer[512];
  for (ssize_t n; (n = ::read(words[0], buffer, sizeof buffer)) > 0;) failure.append(buffer, n);
  ::close(words[0]);
  int status = -1;
  if (::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    return std::nullopt;
  }
  return failure;
}

const std::string kThisRun =
    "process " + std::to_string(::getpid()) + " of user " + user_name(::geteuid()) + " on host ";

TEST(FolderLock, one_run_holds_a_folder_until_it_ends_whatever_it_closes) {
  Scratch s;
  auto later = disk_files();  // a run of this process id in another pid namespace
  {
    auto first = disk_files();
    ASSERT_TRUE(first->hold(s.folder()).held);
    std::ifstream(s.lock()).close();  // would drop a process's record locks on the file
    const FolderHold refused = later->hold(s.folder());
    EXPECT_FALSE(refused.held);
    EXPECT_TRUE(refused.holder.starts_with(kThisRun)) << refused.holder;
    EXPECT_TRUE(refused.failure.empty());
  }
  ASSERT_TRUE(later->hold(s.folder()).held);
  EXPECT_TRUE(later->still_held(s.folder()).ok());
  // Replaced by hand, the file locked kept under another name: another run may hold the
  // folder by the new lock file now.
  fs::create_hard_link(s.lock(), s.dir / "kept");
  s.write(s.dir / "new", "");
  fs::rename(s.dir / "new", s.lock());
  EXPECT_NE(later->still_held(s.folder()).failure.find("was removed or replaced"),
            std::string::npos);
}

TEST(FolderLock, a_folder_and_its_copy_made_with_hard_links_are_each_held_by_their_own_name) {
  Scratch s;
  const std::string site = s.folder() + "/site", copy = s.folder() + "/copy";
  fs::create_directory(site);
  fs::create_directory(copy);
  auto run = disk_files();
  ASSERT_TRUE(run->hold(site).held);
  fs::create_hard_link(site + "/.dendro.lock", copy + "/.dendro.lock");
  // The run holds the copy too; another run is refused in either, told of the copy.
  EXPECT_TRUE(run->hold(copy).held);
  const FolderHold refused = disk_files()->hold(copy);
  EXPECT_FALSE(refused.held);
  EXPECT_EQ(refused.shared, "2");
  // The copy's lock file removed by hand, and a new one made and held by another run: the
  // run holds the copy no more, and still holds its folder.
  fs::remove(copy + "/.dendro.lock");
  auto other = disk_files();
  ASSERT_TRUE(other->hold(copy).held);
  EXPECT_FALSE(run->still_held(copy).ok());
  EXPECT_TRUE(run->still_held(site).ok());
}

TEST(FolderLock, a_run_of_the_previous_version_and_this_one_keep_out_of_each_other) {
  Scratch s;
  const std::string old_block = "dendro lock file 1\nhold\t4242\tx.txt\t1\n";
  s.write(s.lock(), old_block);
  // That version locks the bytes of the block it holds, which names its process.
  const int old_run = ::open(s.lock().c_str(), O_RDWR);
  ASSERT_EQ(byte_lock(old_run, 19, 20), 0);
  const FolderHold refused = disk_files()->hold(s.folder());
  EXPECT_FALSE(refused.held);
  EXPECT_EQ(refused.holder, "a run of the previous version of these programs, process 4242");
  EXPECT_EQ(s.read(s.lock()), old_block);
  ::close(old_run);
  // Held by this version, the previous one cannot take its latch on byte 0.
  auto run = disk_files();
  ASSERT_TRUE(run->hold(s.folder()).held);
  const int latch = ::open(s.lock().c_str(), O_RDWR);
  EXPECT_EQ(byte_lock(latch, 0, 1), EAGAIN);
  ::close(latch);
}

TEST(FolderLock, any_lock_file_is_held_at_once_and_only_its_own_content_is_rewritten) {
  Scratch s;
  for (const std::string& content :
       {std::string(32, '\0'), std::string("dendro lock file 1\nhold\t1\t2"),
        std::string(10 << 20, 'x')}) {
    s.write(s.lock(), content);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(disk_files()->hold(s.folder()).held) << content.size();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    const std::string words = s.read(s.lock());
    EXPECT_TRUE(words.starts_with("dendro lock file 1\nheld by " + kThisRun)) << words.size();
    EXPECT_LT(words.size(), 512u);
  }
  // Words no holder vouches for (one that only took the lock) are not shown.
  s.write(s.lock(), "dendro lock file 1\nheld by a run long gone\n");
  const int bare = ::open(s.lock().c_str(), O_RDONLY);
  ASSERT_EQ(::flock(bare, LOCK_EX | LOCK_NB), 0);
  const FolderHold refused = disk_files()->hold(s.folder());
  EXPECT_FALSE(refused.held);
  EXPECT_EQ(refused.holder, "");
  ::close(bare);
  // A lock file that is another name of a data file: held, and the data stays.
  fs::remove(s.lock());
  s.write(s.dir / "data.txt", "precious\n");
  fs::create_hard_link(s.dir / "data.txt", s.lock());
  EXPECT_TRUE(disk_files()->hold(s.folder()).held);
  EXPECT_EQ(s.read(s.dir / "data.txt"), "precious\n");
  // A new lock file may be held by any user who may write into the folder.
  fs::remove(s.lock());
  const mode_t mask = ::umask(077);
  const bool held = disk_files()->hold(s.folder()).held;
  ::umask(mask);
  EXPECT_TRUE(held);
  EXPECT_EQ(fs::status(s.lock()).permissions(), fs::perms(0666));
}

TEST(FolderLock, another_user_holds_a_folder_whose_lock_file_root_made) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root, to become another user";
  const OpenFolder open;
  Scratch s(open.dir());
  // One lock file made by a run of root under umask 077, one that root made readable only.
  const fs::path made = s.dir / "made", readable = s.dir / "readable";
  for (const fs::path& folder : {made, readable}) {
    fs::create_directory(folder);
    fs::permissions(folder, fs::perms(01777));
  }
  const mode_t mask = ::umask(077);
  ASSERT_TRUE(disk_files()->hold(made.string()).held);
  ::umask(mask);
  s.write(readable / ".dendro.lock", "");
  fs::permissions(readable / ".dendro.lock", fs::perms(0644));
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0) _exit(2);
    auto run = disk_files();
    _exit(run->hold(made.string()).held && run->hold(readable.string()).held ? 0 : 1);
  }
  int status = -1;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}

TEST(FolderLock, a_lock_file_this_run_may_not_write_holds_and_a_read_only_folder_is_refused) {
  // An immutable lock file, which even root may only read.
  Scratch s;
  s.write(s.lock(), "");
  if (!set_immutable(s.lock(), true)) GTEST_SKIP() << "needs root, to make a file immutable";
  const FolderHold hold = disk_files()->hold(s.folder());
  set_immutable(s.lock(), false);
  EXPECT_TRUE(hold.held) << hold.failure;
  const std::optional<std::string> refusal = read_only_refusal(s.folder());
  if (!refusal) GTEST_SKIP() << "needs root, to mount a read-only file system";
  EXPECT_EQ(*refusal, folder_named(shown(*disk_files(), s.folder())) +
                          " lies on a read-only file system, and this run writes its files "
                          "there: run in another folder");
}

TEST(DiskFiles, running_out_of_open_files_is_said_as_the_limit) {
  Scratch s;
  const std::unique_ptr<FileSystem> disk = disk_files();
  s.write(s.dir / "data.rwl", "the data\n");
  struct rlimit was {};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &was), 0);
  struct rlimit low = was;
  low.rlim_cur = 64;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &low), 0);
  std::vector<int> spent;
  for (int fd; (fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC)) >= 0;) spent.push_back(fd);
  const std::string opened = disk->open((s.dir / "data.rwl").string(), Open::read).failure;
  const std::string listed = disk->files_in(s.folder()).failure;
  for (const int fd : spent) ::close(fd);
  ::setrlimit(RLIMIT_NOFILE, &was);
  const std::string limit =
      "Too many open files: this run has reached its limit of 64 open files; raise the limit "
      "(ulimit -n), or put the data files in fewer folders";
  EXPECT_EQ(opened, limit);
  EXPECT_EQ(listed, limit);
}

TEST(DiskFiles, a_new_file_is_never_one_that_has_its_name_and_a_link_is_its_own_file) {
  Scratch s;
  const std::unique_ptr<FileSystem> disk = disk_files();
  const std::string data = (s.dir / "data.rwl").string(), link = (s.dir / "out.txt").string();
  s.write(data, "the data\n");
  fs::create_symlink(data, link);
  // A temporary name that a file or a link has refuses a new file; a link is not written
  // through.
  EXPECT_FALSE(disk->open(data, Open::create).stream);
  EXPECT_FALSE(disk->open(link, Open::create).stream);
  EXPECT_FALSE(disk->open(link, Open::rewrite).stream);
  EXPECT_FALSE(disk->open(link, Open::read_own).stream);
  EXPECT_TRUE(disk->open(link, Open::read).stream);  // an input's link is followed
  // A link's identity is its own name; what it reads is its target's.
  EXPECT_EQ(disk->identity(link), link);
  EXPECT_EQ(disk->target(link), data);
  EXPECT_TRUE(disk->open((s.dir / "new.txt").string(), Open::create).stream);
  EXPECT_EQ(s.read(data), "the data\n");
}

}  // namespace
}  // namespace dendro
