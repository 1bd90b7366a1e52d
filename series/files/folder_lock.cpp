#include "series/files/folder_lock.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <functional>
#include <string_view>

namespace dendro {
namespace {

// The first line of the file, which the previous version of these programs wrote too.
const std::string_view kMark = "dendro lock file 1\n";
const std::string_view kHeldBy = "held by ";
// The previous version's records of names held: "hold\t<pid>\t...".
const std::string_view kOldHold = "hold\t";
// What a refusal reads of the file at most, and shows of a line.
constexpr std::size_t kWordsRead = 512;
constexpr std::size_t kWordsShown = 160;
// The byte whose lock vouches for the words: a holder that wrote them holds it.
constexpr off_t kWordsByte = 1;
// Tries at a lock file that is removed as the run opens it.
constexpr int kOpenTries = 8;

// "process 12 of user ann on host h, since 2026-12-10 15:29:19 UTC".
std::string this_run() {
  char host[256] = "";
  if (::gethostname(host, sizeof host - 1) != 0) host[0] = '\0';
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  char since[32] = "";
  if (::gmtime_r(&now, &utc) != nullptr) std::strftime(since, sizeof since, "%F %T UTC", &utc);
  return "process " + std::to_string(::getpid()) + " of user " + user_name(::geteuid()) +
         " on host " + host + ", since " + since;
}

// A lock on `length` bytes of the file from `start`, as an open file description takes it.
struct flock bytes(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;
}

// The printable characters of `text`, at most kWordsShown of them.
std::string shown_words(std::string_view text) {
  std::string words;
  for (const char c : text.substr(0, kWordsShown)) words += c >= ' ' && c <= '~' ? c : '?';
  return words;
}

// The line of the lock file that begins at `at`, read bounded.
std::string line_at(int fd, off_t at) {
  char buffer[kWordsRead];
  const ssize_t n = ::pread(fd, buffer, sizeof buffer, at);
  const std::string_view text(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
  return std::string(text.substr(0, text.find('\n')));
}

// Who holds the folder, as the holder's words tell: only a holder that wrote them vouches
// for them, by a lock on byte kWordsByte; without it they are an earlier run's.
std::string holder_in(int fd) {
  struct flock vouched = bytes(F_WRLCK, kWordsByte, 1);
  if (::fcntl(fd, F_OFD_GETLK, &vouched) != 0 || vouched.l_type == F_UNLCK) return "";
  const std::string line = line_at(fd, static_cast<off_t>(kMark.size()));
  return line.starts_with(kHeldBy) ? shown_words(std::string_view(line).substr(kHeldBy.size()))
                                   : "";
}

// A run of the previous version that locks bytes from `at`: the record it holds there
// names its process.
std::string previous_version_at(int fd, off_t at) {
  std::string words = "a run of the previous version of these programs";
  const std::string line = at > 0 ? line_at(fd, at) : "";
  if (!line.starts_with(kOldHold)) return words;
  const std::string_view pid = std::string_view(line).substr(kOldHold.size());
  return words + ", process " + shown_words(pid.substr(0, pid.find('\t')));
}

// Why what has the lock file's name cannot serve as one; nothing when it can.
std::string unusable(mode_t mode, const std::string& path) {
  if (S_ISLNK(mode)) {
    return path + " is a symbolic link, which runs of these programs do not follow: remove it, " +
           "then run again";
  }
  if (S_ISDIR(mode))
    return path + " is a folder, not the lock file of these programs: rename it, then run again";
  if (!S_ISREG(mode)) {
    return path + " is " + node_words(Node::other) +
           ", so not the lock file of these programs: remove it, then run again";
  }
  return "";
}

// Why this run cannot write into `folder` (`named` on the console), which it holds to write
// there: the reason and what to do; empty when it can. A lock file another user made lets
// any user hold the folder, but not write there.
std::string unwritable(const std::string& folder, const std::string& named) {
  if (::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return "";
  const int error = errno;
  if (error == EROFS) {
    return named +
           " lies on a read-only file system, and this run writes its files there: run "
           "in another folder";
  }
  return "this run cannot write into " + named + " (" + reason(error) +
         "), where it writes its files: make the folder writable for user " +
         user_name(::geteuid()) + ", or run in another folder";
}

std::string cannot(const std::string& what, const std::string& path, int error) {
  return "cannot " + what + " " + path + ", the lock file of these programs: " + reason(error);
}

// True when the words may be written into the lock file `fd`: it was opened for writing,
// and it is no other file's name too (a hard link to a data file, say), unless it begins as
// a lock file (a copy of the folder made with hard links shares it).
bool may_write_words(int fd, const struct stat& st) {
  if ((::fcntl(fd, F_GETFL) & O_ACCMODE) != O_RDWR) return false;
  if (st.st_nlink == 1) return true;
  char start[kMark.size()];
  return ::pread(fd, start, sizeof start, 0) == static_cast<ssize_t>(sizeof start) &&
         std::string_view(start, sizeof start) == kMark;
}

// Writes who holds the folder, for the words of a refusal, where the file can be written,
// and vouches for them (holder_in). A failure costs only those words.
void write_words(int fd, const std::string& whom) {
  const std::string text = std::string(kMark) + std::string(kHeldBy) + whom + "\n";
  if (::pwrite(fd, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()) ||
      ::ftruncate(fd, static_cast<off_t>(text.size())) != 0) {
    return;
  }
  struct flock vouch = bytes(F_RDLCK, kWordsByte, 1);
  if (::fcntl(fd, F_OFD_SETLK, &vouch) != 0) {
    // the words stay unvouched for, as a refusal then says
  }
}

}  // namespace

std::string user_name(uid_t uid) {
  char buffer[1024];
  struct passwd entry {};
  struct passwd* found = nullptr;
  if (::getpwuid_r(uid, &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
    return found->pw_name;
  }
  return "number " + std::to_string(uid);
}

FolderLocks::FolderLocks(std::function<std::string(const std::string&)> shown)
    : shown_(std::move(shown)), whom_(this_run()) {}

FolderLocks::~FolderLocks() {
  for (auto& [key, fd] : by_lock_file_) ::close(fd);
}

int FolderLocks::open_lock_file(const std::string& path, const std::string& named,
                                FolderHold& hold) const {
  constexpr int kFlags = O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
  for (int tries = 0; tries < kOpenTries; ++tries) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && !(hold.failure = unusable(st.st_mode, named)).empty()) {
      return -1;
    }
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | kFlags, 0666);
    if (fd >= 0) {
      // Any user who may write into the folder can hold it, whatever this one's umask.
      if (::fchmod(fd, 0666) == 0) return fd;
      hold.failure = cannot("set the mode of", named, errno);
      ::close(fd);
      return -1;
    }
    if (errno != EEXIST) {
      hold.failure = cannot("create", named, errno);
      return -1;
    }
    fd = ::open(path.c_str(), O_RDWR | kFlags);
    // Another user's file this one may not write, or an immutable one: reading is enough to
    // hold it.
    if (fd < 0 && (errno == EACCES || errno == EPERM || errno == EROFS)) {
      fd = ::open(path.c_str(), O_RDONLY | kFlags);
    }
    if (fd >= 0) return fd;
    if (errno == ENOENT) continue;  // removed by hand as this run opened it
    const int error = errno;
    if (::lstat(path.c_str(), &st) != 0 || (hold.failure = unusable(st.st_mode, named)).empty()) {
      hold.failure = cannot("open", named, error) + "; make it readable, or run in another folder";
    }
    return -1;
  }
  hold.failure = cannot("open", named, ENOENT);
  return -1;
}

bool FolderLocks::lock(int fd, const std::string& named, FolderHold& hold) const {
  const auto failed = [&](const char* what, int error) {
    hold.failure = cannot(what, named, error) +
                   ": runs of these programs need a folder whose file system takes locks, "
                   "such as a folder on a local disk";
    return false;
  };
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno != EWOULDBLOCK) return failed("lock", errno);
    hold.holder = holder_in(fd);
    return false;
  }
  // The previous version's runs lock bytes of the file: one alive there locks some now.
  struct flock probe = bytes(F_WRLCK, 0, 0);
  if (::fcntl(fd, F_OFD_GETLK, &probe) != 0) return failed("look at the locks of", errno);
  if (probe.l_type != F_UNLCK) {
    hold.holder = previous_version_at(fd, probe.l_start);
    return false;
  }
  struct flock barrier = bytes(F_RDLCK, 0, 1);
  if (::fcntl(fd, F_OFD_SETLK, &barrier) != 0) {
    if (errno != EAGAIN && errno != EACCES) return failed("lock", errno);
    hold.holder = previous_version_at(fd, 0);
    return false;
  }
  return true;
}

FolderHold FolderLocks::hold(const std::string& folder) {
  FolderHold hold;
  if (by_folder_.count(folder) != 0) {
    hold.held = true;
    return hold;
  }
  struct stat at {};
  if (::stat(folder.c_str(), &at) != 0) {
    hold.failure = errno == ENOENT || errno == ENOTDIR
                       ? "there is no folder " + shown_(folder)
                       : "cannot look at the folder " + shown_(folder) + ": " + reason(errno);
    return hold;
  }
  if (!S_ISDIR(at.st_mode)) {
    hold.failure = "there is no folder " + shown_(folder);
    return hold;
  }
  if (!(hold.failure = unwritable(folder, folder_named(shown_(folder)))).empty()) return hold;
  const std::string path = in_folder(folder, std::string(kLockFileName));
  const std::string named = shown_(path);
  const int fd = open_lock_file(path, named, hold);
  if (fd < 0) return hold;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    hold.failure =
        S_ISREG(st.st_mode) ? cannot("look at", named, errno) : unusable(st.st_mode, named);
    ::close(fd);
    return hold;
  }
  const Key key{st.st_dev, st.st_ino};
  // The same lock file under another folder's name (a copy made with hard links) that
  // this run holds already.
  if (by_lock_file_.count(key) != 0) {
    ::close(fd);
    by_folder_.emplace(folder, Held{key, path});
    hold.held = true;
    return hold;
  }
  if (st.st_nlink > 1) hold.shared = std::to_string(st.st_nlink);
  if (!lock(fd, named, hold)) {
    ::close(fd);  // what this run took of it goes with the descriptor
    return hold;
  }
  if (may_write_words(fd, st)) write_words(fd, whom_);
  by_lock_file_.emplace(key, fd);
  by_folder_.emplace(folder, Held{key, path});
  hold.held = true;
  hold.shared.clear();
  return hold;
}

Outcome FolderLocks::give_back(const std::string& folder) {
  const auto key = by_folder_.find(folder);
  if (key == by_folder_.end()) return {};
  const Key lock_file = key->second.lock_file;
  by_folder_.erase(key);
  // Another folder's name of the same lock file keeps it.
  for (const auto& [other, held] : by_folder_) {
    if (held.lock_file == lock_file) return {};
  }
  const int fd = by_lock_file_.at(lock_file);
  by_lock_file_.erase(lock_file);
  return {::close(fd) == 0 ? "" : reason(errno)};
}

Outcome FolderLocks::still_held(const std::string& folder) const {
  const auto key = by_folder_.find(folder);
  if (key == by_folder_.end()) return {"this run does not hold the folder " + folder};
  const Held& held = key->second;
  struct stat open_file {};
  struct stat named {};
  if (::fstat(by_lock_file_.at(held.lock_file), &open_file) == 0 && open_file.st_nlink > 0 &&
      ::lstat(held.path.c_str(), &named) == 0 && open_file.st_dev == named.st_dev &&
      open_file.st_ino == named.st_ino) {
    return {};
  }
  return {shown_(held.path) +
          ", the lock file by which this run holds its folder, was removed or "
          "replaced while the run held it"};
}

}  // namespace dendro
