#include "series/files/lock_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string_view>
#include <thread>
#include <unordered_set>

#include "series/files/interrupts.h"
#include "series/text.h"

namespace dendro {
namespace {

const char* const kLockName = ".dendro.lock";
const std::string_view kMark = "dendro lock file 1\n";
const std::string_view kBlockKey = "hold\t";
// How long a run waits for another one to give the latch back, looking for a signal
// between tries.
constexpr auto kLatchWait = std::chrono::seconds(10);
constexpr auto kLatchPause = std::chrono::milliseconds(1);
// Names read or written between two looks for a signal.
constexpr std::size_t kNamesBetweenLooks = 4096;

// The lock file's path as the console shows it: from the working folder when it lies there
// or below.
std::string shown(const std::string& path) {
  std::error_code error;
  const std::filesystem::path here = std::filesystem::current_path(error);
  return error ? path : shown_from(here.string(), path);
}

struct flock range(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;
}

bool set_lock(int fd, short type, off_t start, off_t length) {
  struct flock lock = range(type, start, length);
  return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

// True when another run locks any byte of [start, end). The whole file locked is the last
// run out removing it: its blocks hold nothing.
bool locked_by_other(int fd, off_t start, off_t end) {
  struct flock lock = range(F_WRLCK, start, end - start);
  if (::fcntl(fd, F_OFD_GETLK, &lock) != 0) return false;
  return lock.l_type != F_UNLCK && !(lock.l_start == 0 && lock.l_len == 0);
}

// Why what has the lock file's name cannot serve as one; nothing when it can.
std::string unusable(const struct stat& st, const std::string& path) {
  if (S_ISDIR(st.st_mode)) {
    return shown(path) +
           " is a folder, not the lock file of these programs: rename it, then run "
           "again";
  }
  if (!S_ISREG(st.st_mode)) {
    return shown(path) +
           " is not a regular file (a device, a FIFO or a socket), so not the lock "
           "file of these programs: remove it, then run again";
  }
  if (st.st_nlink != 1) {
    return shown(path) +
           " has another name (a hard link), so it is not the lock file of these "
           "programs: remove it, then run again";
  }
  return "";
}

// Why the lock file could not be opened (`error`), naming what stands under its name.
std::string open_failure(const std::string& path, int error) {
  if (error == ELOOP) {
    return shown(path) +
           " is a symbolic link, which runs of these programs do not follow: "
           "remove it, then run again";
  }
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0) {
    if (std::string kind = unusable(st, path); !kind.empty()) return kind;
  }
  return "cannot open " + shown(path) +
         ", the lock file of these programs: " + std::strerror(error) +
         "; make it writable, or run in another folder";
}

// Opens the lock file without following a link; -1 with the reason when it cannot serve.
int open_checked(const std::string& path, bool create, std::string& why) {
  const int flags = (create ? O_RDWR | O_CREAT : O_RDONLY) | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
  const int fd = ::open(path.c_str(), flags, 0644);
  if (fd < 0) {
    why = open_failure(path, errno);
    return -1;
  }
  struct stat st {};
  why = ::fstat(fd, &st) != 0 ? "cannot read " + shown(path) + ": " + std::strerror(errno)
                              : unusable(st, path);
  if (why.empty()) return fd;
  ::close(fd);
  return -1;
}

// The whole file.
bool read_all(int fd, std::string& text) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  text.assign(static_cast<std::size_t>(st.st_size), '\0');
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::pread(fd, text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  text.resize(done);
  return true;
}

bool write_all(int fd, std::string_view text, off_t at) {
  std::size_t done = 0;
  while (done < text.size()) {
    const ssize_t n =
        ::pwrite(fd, text.data() + done, text.size() - done, at + static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

// When this process started, in clock ticks since the machine did (0 when unknown).
long long process_start() {
  std::ifstream stat("/proc/self/stat");
  std::string text;
  std::getline(stat, text);
  // The fields after the command's name, which ends with the last ')'.
  std::istringstream fields(text.substr(std::min(text.size(), text.rfind(')') + 1)));
  std::string field;
  for (int k = 3; k <= 22 && fields >> field; ++k) {
    if (k == 22) return std::atoll(field.c_str());
  }
  return 0;
}

// A block as it stands in the file: its bytes, the holder and the names.
struct Found {
  off_t start = 0;
  off_t end = 0;
  int pid = 0;
  long long started = 0;
  std::vector<std::string_view> names;
};

std::string block_head(int pid, long long started, std::size_t count, std::size_t bytes) {
  return std::string(kBlockKey) + std::to_string(pid) + "\t" + std::to_string(started) + "\t" +
         std::to_string(count) + "\t" + std::to_string(bytes) + "\t";
}

std::string block_of(int pid, long long started, const std::vector<std::string>& names) {
  std::string listed;
  for (std::size_t k = 0; k < names.size(); ++k) {
    if (k % kNamesBetweenLooks == 0) stop_if_interrupted();
    listed += names[k];
    listed += '\n';
  }
  const std::string head = block_head(pid, started, names.size(), listed.size());
  return head + checksum_of(head + listed) + "\n" + listed;
}

// Reads the whole block at `at`; false when what stands there is none.
bool read_block(std::string_view text, std::size_t at, Found& found) {
  const std::size_t line_end = text.find('\n', at);
  if (line_end == std::string_view::npos || text.substr(at, kBlockKey.size()) != kBlockKey) {
    return false;
  }
  const std::string_view line = text.substr(at, line_end - at);
  long long fields[4] = {};
  std::size_t from = kBlockKey.size();
  for (long long& value : fields) {
    const std::size_t tab = line.find('\t', from);
    if (tab == std::string_view::npos || tab == from) return false;
    value = whole_number(line.substr(from, tab - from));
    if (value < 0) return false;
    from = tab + 1;
  }
  const auto bytes = static_cast<std::size_t>(fields[3]);
  if (bytes > text.size() - line_end - 1) return false;
  const std::string_view listed = text.substr(line_end + 1, bytes);
  const std::string head(line.substr(0, from));
  if (line.substr(from) != checksum_of(head + std::string(listed))) return false;
  found.start = static_cast<off_t>(at);
  found.end = static_cast<off_t>(line_end + 1 + bytes);
  found.pid = static_cast<int>(fields[0]);
  found.started = fields[1];
  found.names.clear();
  for (std::size_t begin = 0; begin < listed.size();) {
    const std::size_t end = listed.find('\n', begin);
    found.names.push_back(listed.substr(begin, end - begin));
    begin = end + 1;
  }
  return found.names.size() == static_cast<std::size_t>(fields[2]);
}

// Hands each whole block that another run holds to `each`: another process (`pid` started at
// `started` is this one) locks its bytes. What is not a whole block is passed over, up to
// the next block.
template <class Each>
void for_each_live_block(int fd, std::string_view text, int pid, long long started, Each each) {
  std::size_t names = 0;
  for (std::size_t at = kMark.size(); at < text.size();) {
    Found found;
    if (!read_block(text, at, found)) {
      const std::size_t next = text.find(std::string("\n") + std::string(kBlockKey), at);
      if (next == std::string_view::npos) break;
      at = next + 1;
      continue;
    }
    at = static_cast<std::size_t>(found.end);
    names += found.names.size();
    if (names >= kNamesBetweenLooks) {
      stop_if_interrupted();
      names = 0;
    }
    const bool this_process = found.pid == pid && found.started == started;
    if (!this_process && locked_by_other(fd, found.start, found.end)) each(found);
  }
}

bool starts_with_mark(std::string_view text) {
  return text.empty() || text.substr(0, kMark.size()) == kMark;
}

std::string not_a_lock_file(const std::string& path) {
  return shown(path) +
         " is not the lock file of these programs: remove it if no run of them is using this "
         "folder, then run again";
}

// Holds the folder's latch (byte 0) while alive.
class Latch {
 public:
  explicit Latch(int fd) : fd_(fd) {}
  Latch(const Latch&) = delete;
  Latch& operator=(const Latch&) = delete;
  ~Latch() {
    if (held_) set_lock(fd_, F_UNLCK, 0, 1);
  }
  // Waits for the latch, looking for a signal between tries; false when it stays busy.
  bool take() {
    const auto until = std::chrono::steady_clock::now() + kLatchWait;
    while (!(held_ = set_lock(fd_, F_WRLCK, 0, 1))) {
      if (errno != EAGAIN && errno != EACCES) return false;
      stop_if_interrupted();
      if (std::chrono::steady_clock::now() > until) return false;
      std::this_thread::sleep_for(kLatchPause);
    }
    return true;
  }

 private:
  int fd_;
  bool held_ = false;
};

// True while `fd` is the file under `path`: the last run out may have removed it.
bool still_named(int fd, const std::string& path) {
  struct stat open_file {};
  struct stat named {};
  return ::fstat(fd, &open_file) == 0 && open_file.st_nlink > 0 &&
         ::lstat(path.c_str(), &named) == 0 && open_file.st_dev == named.st_dev &&
         open_file.st_ino == named.st_ino;
}

}  // namespace

LockFiles::LockFiles(int pid) : pid_(pid), start_(process_start()) {}

LockFiles::~LockFiles() {
  for (auto& [folder, f] : folders_) {
    if (f.fd < 0) continue;
    // Only the last run out can lock the whole file: every other run's blocks are locked.
    if (f.marked && set_lock(f.fd, F_WRLCK, 0, 0) && still_named(f.fd, f.path)) {
      ::unlink(f.path.c_str());
    }
    ::close(f.fd);
  }
}

std::string LockFiles::open(const std::string& folder, Folder*& opened) {
  Folder& f = folders_[folder];
  opened = &f;
  if (f.fd >= 0) return "";
  f.path = (std::filesystem::path(folder) / kLockName).string();
  std::string why;
  f.fd = open_checked(f.path, true, why);
  return why;
}

Claim LockFiles::hold(const std::string& folder, const std::vector<std::string>& names) {
  Folder* f = nullptr;
  for (int tries = 0;; ++tries) {
    if (std::string why = open(folder, f); !why.empty()) return {{}, why, 0};
    Latch latch(f->fd);
    if (!latch.take()) {
      return {{},
              shown(f->path) + " stays busy: another run has held it for " +
                  std::to_string(kLatchWait.count()) + " seconds; run again",
              0};
    }
    if (!still_named(f->fd, f->path)) {
      // Removed by the last run out before this one took the latch: open it anew.
      if (!f->holds.empty() || tries > 100) return {{}, shown(f->path) + " was removed", 0};
      ::close(f->fd);
      f->fd = -1;
      continue;
    }
    std::string text;
    if (!read_all(f->fd, text)) return {{}, "cannot read " + shown(f->path), 0};
    if (!starts_with_mark(text)) return {{}, not_a_lock_file(f->path), 0};
    if (text.empty() && !write_all(f->fd, kMark, 0)) {
      return {{}, "cannot write " + shown(f->path) + ": " + std::strerror(errno), 0};
    }
    f->marked = true;
    // The names asked for, each once (blocks of this process are no hindrance).
    std::unordered_set<std::string_view> wanted;
    std::vector<std::string> fresh;
    for (const std::string& name : names) {
      // A block and a journal hold a name a line.
      if (name.find('\n') != std::string::npos) return {{}, "a file name holds a line end", 0};
      if (wanted.insert(name).second) fresh.push_back(name);
    }
    Claim claim;
    std::unordered_set<std::string_view> refused;
    for_each_live_block(f->fd, text, pid_, start_, [&](const Found& found) {
      for (const std::string_view name : found.names) {
        if (wanted.count(name) != 0 && refused.insert(name).second) {
          claim.held.push_back({std::string(name), found.pid});
        }
      }
    });
    if (!claim.held.empty() || fresh.empty()) return claim;
    const std::string block = block_of(pid_, start_, fresh);
    const off_t start = static_cast<off_t>(text.empty() ? kMark.size() : text.size());
    if (!write_all(f->fd, block, start)) {
      return {{}, "cannot write " + shown(f->path) + ": " + std::strerror(errno), 0};
    }
    const off_t end = start + static_cast<off_t>(block.size());
    if (!set_lock(f->fd, F_WRLCK, start, end - start)) {
      return {{}, "cannot lock " + shown(f->path) + ": " + std::strerror(errno), 0};
    }
    claim.hold = ++holds_;
    f->holds[claim.hold] = {start, end};
    return claim;
  }
}

void LockFiles::let_go(const std::string& folder, int hold) {
  const auto it = folders_.find(folder);
  if (it == folders_.end()) return;
  Folder& f = it->second;
  const auto block = f.holds.find(hold);
  if (block == f.holds.end()) return;
  set_lock(f.fd, F_UNLCK, block->second.start, block->second.end - block->second.start);
  f.holds.erase(block);
}

LiveRuns LockFiles::live_runs(const std::string& folder) {
  LiveRuns runs;
  const auto it = folders_.find(folder);
  const bool open_here = it != folders_.end() && it->second.fd >= 0;
  const std::string path = (std::filesystem::path(folder) / kLockName).string();
  int fd = open_here ? it->second.fd : -1;
  if (!open_here) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 && errno == ENOENT) return runs;  // no run holds any
    fd = open_checked(path, false, runs.failure);
    if (fd < 0) return runs;
  }
  std::string text;
  if (!read_all(fd, text)) {
    runs.failure = "cannot read " + shown(path);
  } else if (!starts_with_mark(text)) {
    runs.failure = not_a_lock_file(path);
  } else {
    for_each_live_block(fd, text, pid_, start_, [&](const Found& found) {
      runs.pids.insert(found.pid);
      for (const std::string_view name : found.names) runs.names.emplace(name, found.pid);
    });
  }
  if (!open_here) ::close(fd);
  return runs;
}

}  // namespace dendro
