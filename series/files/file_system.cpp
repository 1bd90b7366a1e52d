#include "series/files/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ext/stdio_filebuf.h>
#include <filesystem>
#include <map>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "series/files/folder_lock.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

Outcome errno_outcome(bool ok) { return {ok ? "" : reason(errno)}; }

// A file buffer over a descriptor that keeps the reason of the first write that failed.
class RecordingBuffer final : public __gnu_cxx::stdio_filebuf<char> {
 public:
  RecordingBuffer(int fd, std::ios::openmode mode) : stdio_filebuf(fd, mode) {}
  int error = 0;

 protected:
  int sync() override {
    errno = 0;
    const int result = stdio_filebuf::sync();
    if (result != 0) record();
    return result;
  }
  int_type overflow(int_type c) override {
    errno = 0;
    const int_type result = stdio_filebuf::overflow(c);
    if (traits_type::eq_int_type(result, traits_type::eof())) record();
    return result;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    errno = 0;
    const std::streamsize written = stdio_filebuf::xsputn(s, n);
    if (written < n) record();
    return written;
  }

 private:
  void record() {
    if (error == 0) error = errno != 0 ? errno : EIO;
  }
};

class DiskStream final : public FileStream {
 public:
  DiskStream(int fd, std::ios::openmode mode) : FileStream(nullptr), buffer_(fd, mode) {
    rdbuf(&buffer_);
  }
  std::string write_failure() const override {
    return buffer_.error != 0 ? reason(buffer_.error) : "";
  }

 private:
  RecordingBuffer buffer_;
};

// The flags of ::open for each way of opening; every descriptor closes on exec.
int open_flags(Open how) {
  constexpr int kAlways = O_CLOEXEC;
  switch (how) {
    case Open::read:
      return O_RDONLY | O_NONBLOCK | kAlways;  // a FIFO must not wait for a writer
    case Open::read_own:
      return O_RDONLY | O_NONBLOCK | O_NOFOLLOW | kAlways;
    case Open::create:
    case Open::create_shared:
      return O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | kAlways;
    case Open::rewrite:
      return O_WRONLY | O_TRUNC | O_NOFOLLOW | kAlways;
  }
  return kAlways;
}

// Flushes what the system holds of `path` (a file or a folder) to the disk.
Outcome sync_path(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return errno_outcome(false);
  Outcome done = errno_outcome(::fsync(fd) == 0);
  if (::close(fd) != 0 && done.ok()) done = errno_outcome(false);
  return done;
}

Node node_of(mode_t mode) {
  if (S_ISREG(mode)) return Node::file;
  if (S_ISDIR(mode)) return Node::folder;
  if (S_ISLNK(mode)) return Node::link;
  return Node::other;
}

// A move that never replaces a file: by renameat2, or, where the file system knows no such
// move, by a second name that an existing file refuses and the first name's removal.
Outcome rename_no_replace(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return {};
  if (errno != EINVAL && errno != ENOSYS) return errno_outcome(false);
  if (::link(from.c_str(), to.c_str()) != 0) return errno_outcome(false);
  return errno_outcome(::unlink(from.c_str()) == 0);
}

// What `path` holds as `look` (lstat or stat) sees it.
Status status_of(const std::string& path, int (*look)(const char*, struct stat*)) {
  struct stat st {};
  if (look(path.c_str(), &st) != 0) {
    if (errno == ENOENT || errno == ENOTDIR) return {};
    return {Node::none, {}, reason(errno)};
  }
  return {node_of(st.st_mode),
          {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
           static_cast<std::uint64_t>(st.st_size),
           static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec},
          ""};
}

class DiskFiles final : public FileSystem {
 public:
  DiskFiles() : locks_([this](const std::string& path) { return shown(*this, path); }) {}

  Opened open(const std::string& path, Open how) override {
    const int fd = ::open(path.c_str(), open_flags(how), 0666);
    if (fd < 0) return {nullptr, reason(errno)};
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
      const int error = S_ISREG(st.st_mode) ? errno : EINVAL;
      ::close(fd);
      return {nullptr,
              error == EINVAL ? "it is " + node_words(node_of(st.st_mode)) : reason(error)};
    }
    const bool reading = how == Open::read || how == Open::read_own;
    if ((reading && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) ||
        (how == Open::create_shared && ::fchmod(fd, 0644) != 0)) {
      const int error = errno;
      ::close(fd);
      return {nullptr, reason(error)};
    }
    const std::ios::openmode mode = reading ? std::ios::in : std::ios::out;
    return {std::make_unique<DiskStream>(fd, mode | std::ios::binary), ""};
  }
  Status status(const std::string& path) const override { return status_of(path, ::lstat); }
  Status target_status(const std::string& path) const override {
    Status s = status_of(path, ::stat);
    if (s.node == Node::file && ::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
      s.failure = reason(errno);
    }
    return s;
  }
  Outcome rename(const std::string& from, const std::string& to, Replace how) override {
    if (how == Replace::no) return rename_no_replace(from, to);
    return errno_outcome(::rename(from.c_str(), to.c_str()) == 0);
  }
  Outcome remove(const std::string& path) override {
    return errno_outcome(::unlink(path.c_str()) == 0 || errno == ENOENT);
  }
  Outcome resize(const std::string& path, std::uintmax_t size) override {
    return errno_outcome(::truncate(path.c_str(), static_cast<off_t>(size)) == 0);
  }
  Outcome flush(const std::string& path) override { return sync_path(path, O_RDONLY | O_NOFOLLOW); }
  Outcome flush_folder(const std::string& folder) override {
    return sync_path(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  }
  Listing files_in(const std::string& folder) const override {
    Listing listing;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
      std::error_code kind;
      const fs::file_type type = it->symlink_status(kind).type();
      if (type == fs::file_type::regular || type == fs::file_type::symlink) {
        listing.names.push_back(it->path().filename().string());
      }
    }
    listing.failure = error ? reason(error.value()) : "";
    return listing;
  }
  std::string why_not_movable(const std::string& path) const override {
    struct stat folder {};
    struct stat file {};
    const std::string parent = folder_of(path);
    if (::lstat(parent.empty() ? "." : parent.c_str(), &folder) != 0 ||
        ::lstat(path.c_str(), &file) != 0) {
      return "";  // the move itself says why, if it fails
    }
    const uid_t me = ::geteuid();
    if ((folder.st_mode & S_ISVTX) == 0 || me == 0 || folder.st_uid == me || file.st_uid == me) {
      return "";
    }
    return "it belongs to user " + user_name(file.st_uid) +
           ", and its folder lets only a file's owner move or remove it";
  }
  std::string owner_of(const std::string& path) const override {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && st.st_uid != ::geteuid() ? user_name(st.st_uid) : "";
  }
  std::uint64_t open_file_limit() const override {
    struct rlimit limit {};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
      return UINT64_MAX;
    }
    return limit.rlim_cur;
  }
  // The folder's identity is worked out once a spelling of it; the file's own name is then
  // taken as it is.
  std::string identity(const std::string& path) const override {
    const fs::path spelled(path);
    const std::string own = spelled.filename().string();
    if (own.empty() || own == "." || own == "..") return folder_identity(path);
    return (fs::path(folder_identity(spelled.parent_path().string())) / own).string();
  }
  std::string target(const std::string& path) const override { return resolved(path); }
  int process_id() const override { return pid_; }
  FolderHold hold(const std::string& folder) override { return locks_.hold(folder); }
  Outcome still_held(const std::string& folder) override { return locks_.still_held(folder); }
  Outcome give_back(const std::string& folder) override { return locks_.give_back(folder); }

 private:
  // The full path with "." and ".." resolved and every link followed, as far as it exists.
  static std::string resolved(const fs::path& path) {
    std::error_code error;
    const fs::path full = fs::absolute(path.empty() ? fs::path(".") : path, error);
    if (error) return path.lexically_normal().string();
    const fs::path canonical = fs::weakly_canonical(full, error);
    std::string text = (error ? full : canonical).lexically_normal().string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
  }
  // A folder is known by its device and inode: the first spelling met of it stands for it.
  const std::string& folder_identity(const std::string& folder) const {
    const std::lock_guard<std::mutex> guard(folders_mutex_);
    const auto [it, fresh] = folders_.try_emplace(folder);
    if (!fresh) return it->second;
    it->second = resolved(folder);
    struct stat st {};
    if (::stat(it->second.c_str(), &st) == 0) {
      it->second = by_inode_.try_emplace({st.st_dev, st.st_ino}, it->second).first->second;
    }
    return it->second;
  }

  const int pid_ = static_cast<int>(::getpid());
  FolderLocks locks_;
  mutable std::mutex folders_mutex_;
  mutable std::unordered_map<std::string, std::string> folders_;  // by spelling
  mutable std::map<std::pair<dev_t, ino_t>, std::string> by_inode_;
};

}  // namespace

std::unique_ptr<FileSystem> disk_files() { return std::make_unique<DiskFiles>(); }

void raise_open_file_limit() {
  struct rlimit limit {};
  if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == limit.rlim_max) return;
  limit.rlim_cur = limit.rlim_max;
  if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) {
    // the run goes on with the limit it has; a list that needs more is refused by count
  }
}

std::string reason(int error) {
  if (error == 0) error = EIO;
  const std::string text = std::strerror(error);
  struct rlimit limit {};
  if (error == EMFILE && ::getrlimit(RLIMIT_NOFILE, &limit) == 0) {
    return text + ": this run has reached its limit of " + std::to_string(limit.rlim_cur) +
           " open files; raise the limit (ulimit -n), or put the data files in fewer folders";
  }
  if (error == ENFILE) {
    return text +
           ": the system has as many files open as it takes; end other programs, or put "
           "the data files in fewer folders";
  }
  return text;
}

std::string node_words(Node node) {
  return node == Node::folder ? "a folder" : "not a regular file (a device, a FIFO or a socket)";
}

std::string checksum_of(std::string_view text) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  char digits[17];
  std::snprintf(digits, sizeof digits, "%016llx", static_cast<unsigned long long>(hash));
  return digits;
}

std::string folder_of(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string in_folder(const std::string& folder, const std::string& file) {
  return folder.empty() ? file : (fs::path(folder) / file).string();
}

std::string shown_from(const std::string& here, const std::string& full) {
  const std::string relative = fs::path(full).lexically_relative(here).string();
  return relative.empty() || relative.starts_with("..") ? full : relative;
}

std::string folder_named(const std::string& shown) {
  return shown == "." ? "the working folder" : "the folder " + shown;
}

std::string shown(const FileSystem& fs, const std::string& full) {
  return shown_from(fs.identity("."), full);
}

std::string unreadable_reason(const FileSystem& fs, const std::string& path) {
  const Status s = fs.target_status(path);
  if (s.node == Node::file || !s.failure.empty()) return s.failure;
  if (s.node == Node::none) return std::string(kNoSuchFile);
  return "it is " + node_words(s.node);
}

std::string first_line(FileSystem& fs, const std::string& path,
                       bool (*keep)(const std::string& line)) {
  const Opened in = fs.open(path, Open::read_own);
  for (std::string line; in.stream && std::getline(*in.stream, line);) {
    line.resize(chomp(line).size());
    if (keep(line)) return line;
  }
  return "";
}

}  // namespace dendro
