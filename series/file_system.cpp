#include "series/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

#include "series/layout.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

// The file in each folder through which runs lock the names they may write there: one
// byte of it stands for each name.
const char* const kLockFile = ".dendro.lock";
// How long a run waits for another one that is removing the folder's lock file.
constexpr int kLockTries = 200;
constexpr auto kLockPause = std::chrono::milliseconds(5);

std::string reason(int error) { return std::strerror(error != 0 ? error : EIO); }
Outcome outcome_of(const std::error_code& error) { return {error ? error.message() : ""}; }
Outcome errno_outcome(bool ok) { return {ok ? "" : reason(errno)}; }

// A file buffer that keeps the reason of the first write that failed.
class RecordingBuffer final : public std::filebuf {
 public:
  int error = 0;

 protected:
  int sync() override {
    errno = 0;
    const int result = std::filebuf::sync();
    if (result != 0) note();
    return result;
  }
  int_type overflow(int_type c) override {
    errno = 0;
    const int_type result = std::filebuf::overflow(c);
    if (traits_type::eq_int_type(result, traits_type::eof())) note();
    return result;
  }
  std::streamsize xsputn(const char* s, std::streamsize n) override {
    errno = 0;
    const std::streamsize written = std::filebuf::xsputn(s, n);
    if (written < n) note();
    return written;
  }

 private:
  void note() {
    if (error == 0) error = errno != 0 ? errno : EIO;
  }
};

class DiskStream final : public FileStream {
 public:
  DiskStream() : FileStream(&buffer_) {}
  bool open(const std::string& path, std::ios::openmode mode) {
    if (buffer_.open(path, mode) != nullptr) return true;
    setstate(std::ios::failbit);
    return false;
  }
  std::string write_failure() const override {
    return buffer_.error != 0 ? reason(buffer_.error) : "";
  }

 private:
  RecordingBuffer buffer_;
};

// Flushes what the system holds of `path` (a file or a folder) to the disk.
Outcome sync_path(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return errno_outcome(false);
  Outcome done = errno_outcome(::fsync(fd) == 0);
  if (::close(fd) != 0 && done.ok()) done = errno_outcome(false);
  return done;
}

// The byte of the lock file that stands for the name `id`: a 64-bit FNV-1a hash, kept
// clear of byte 0, which a run locks whole only to remove the file.
off_t lock_byte(const std::string& id) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : id) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return static_cast<off_t>(hash >> 2) + 1;
}

struct flock byte_lock(short type, off_t start, off_t length) {
  struct flock lock {};
  lock.l_type = type;
  lock.l_whence = SEEK_SET;
  lock.l_start = start;
  lock.l_len = length;
  return lock;
}

bool same_file(int fd, const std::string& path) {
  struct stat open_file {};
  struct stat named {};
  return ::fstat(fd, &open_file) == 0 && ::stat(path.c_str(), &named) == 0 &&
         open_file.st_dev == named.st_dev && open_file.st_ino == named.st_ino;
}

// The lock files of the folders this run writes into, each open once: a process's locks
// on a file go when any of its descriptors of the file is closed.
class FolderLocks {
 public:
  FolderLocks() = default;
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;
  ~FolderLocks() {
    for (const auto& [path, lock] : files_) release(path, lock);
  }

  Claim lock(const std::string& id) {
    const std::string path = (fs::path(id).parent_path() / kLockFile).string();
    for (int tries = 0; tries < kLockTries; ++tries) {
      LockFile& file = files_[path];
      if (file.fd < 0 && !open(path, file)) return {0, reason(errno)};
      struct flock wanted = byte_lock(F_WRLCK, lock_byte(id), 1);
      if (::fcntl(file.fd, F_SETLK, &wanted) == 0) {
        // A run that ended may have removed the file before this lock took: the lock
        // holds only in the file that has the name.
        if (file.checked || same_file(file.fd, path)) {
          file.checked = true;
          return {};
        }
      } else if (errno != EACCES && errno != EAGAIN) {
        return {0, reason(errno)};
      } else {
        struct flock held = byte_lock(F_WRLCK, lock_byte(id), 1);
        if (::fcntl(file.fd, F_GETLK, &held) == 0 && held.l_type != F_UNLCK && held.l_len != 0) {
          return {static_cast<int>(held.l_pid), ""};
        }
        // The whole file is locked by a run that is removing it: ask again in a moment.
        std::this_thread::sleep_for(kLockPause);
      }
      if (!file.checked) {
        ::close(file.fd);
        files_.erase(path);
      }
    }
    return {0, "the folder's lock file stays busy"};
  }

  void unlock(const std::string& id) {
    const auto it = files_.find((fs::path(id).parent_path() / kLockFile).string());
    if (it == files_.end()) return;
    struct flock none = byte_lock(F_UNLCK, lock_byte(id), 1);
    ::fcntl(it->second.fd, F_SETLK, &none);
  }

 private:
  struct LockFile {
    int fd = -1;
    bool checked = false;  // a lock has held in the file under its name
  };

  static bool open(const std::string& path, LockFile& file) {
    file.fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    return file.fd >= 0;
  }

  // The last run out of the folder removes its lock file: it locks the whole file, which
  // only holds when no other run holds a name there.
  static void release(const std::string& path, const LockFile& file) {
    struct flock whole = byte_lock(F_WRLCK, 0, 0);
    if (file.checked && ::fcntl(file.fd, F_SETLK, &whole) == 0 && same_file(file.fd, path)) {
      ::unlink(path.c_str());
    }
    ::close(file.fd);
  }

  std::map<std::string, LockFile> files_;
};

class DiskFiles final : public FileSystem {
 public:
  Opened open(const std::string& path, std::ios::openmode mode) override {
    auto stream = std::make_unique<DiskStream>();
    errno = 0;
    if (!stream->open(path, mode)) return {nullptr, reason(errno)};
    return {std::move(stream), ""};
  }
  Node node(const std::string& path) const override {
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    switch (status.type()) {
      case fs::file_type::not_found:
      case fs::file_type::none:
        return Node::none;
      case fs::file_type::regular:
        return Node::file;
      case fs::file_type::directory:
        return Node::folder;
      default:
        return Node::other;
    }
  }
  Outcome rename(const std::string& from, const std::string& to) override {
    std::error_code error;
    fs::rename(from, to, error);
    return outcome_of(error);
  }
  Outcome remove(const std::string& path) override {
    std::error_code error;
    fs::remove(path, error);
    return outcome_of(error);
  }
  std::uintmax_t size(const std::string& path) const override {
    std::error_code error;
    const std::uintmax_t n = fs::file_size(path, error);
    return error ? 0 : n;
  }
  Outcome resize(const std::string& path, std::uintmax_t size) override {
    std::error_code error;
    fs::resize_file(path, size, error);
    return outcome_of(error);
  }
  Outcome flush(const std::string& path) override { return sync_path(path, O_RDONLY); }
  Outcome flush_folder(const std::string& folder) override {
    return sync_path(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  }
  Listing files_in(const std::string& folder) const override {
    Listing listing;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
      std::error_code kind;
      if (it->is_regular_file(kind)) listing.names.push_back(it->path().filename().string());
    }
    listing.failure = error ? error.message() : "";
    return listing;
  }
  std::string identity(const std::string& path) const override {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    if (error) return fs::path(path).lexically_normal().string();
    const fs::path resolved = fs::weakly_canonical(full, error);
    return (error ? full : resolved).lexically_normal().string();
  }
  int process_id() const override { return static_cast<int>(::getpid()); }
  Claim lock(const std::string& path) override { return locks_.lock(identity(path)); }
  void unlock(const std::string& path) override { locks_.unlock(identity(path)); }

 private:
  FolderLocks locks_;
};

}  // namespace

std::unique_ptr<FileSystem> disk_files() { return std::make_unique<DiskFiles>(); }

std::string folder_of(const std::string& path) { return fs::path(path).parent_path().string(); }

std::string unreadable_reason(const FileSystem& fs, const std::string& path) {
  switch (fs.node(path)) {
    case Node::file:
      return "";
    case Node::none:
      return "no such file";
    case Node::folder:
      return "it is a folder";
    case Node::other:
      return "it is not a regular file (a device, a FIFO or a socket)";
  }
  return "";
}

std::string first_line(FileSystem& fs, const std::string& path,
                       bool (*keep)(const std::string& line)) {
  const Opened in = fs.open(path, std::ios::in | std::ios::binary);
  for (std::string line; in.stream && std::getline(*in.stream, line);) {
    line.resize(chomp(line).size());
    if (keep(line)) return line;
  }
  return "";
}

}  // namespace dendro
