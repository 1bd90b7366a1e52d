#include "series/files/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <unordered_map>

#include "series/files/lock_file.h"
#include "series/layout.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

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
  // The folder's identity is worked out once a spelling of it; the file's own name is then
  // looked at alone, and followed only when it is a link.
  std::string identity(const std::string& path) const override {
    const fs::path spelled(path);
    const std::string own = spelled.filename().string();
    if (own.empty() || own == "." || own == "..") return resolved(spelled);
    const fs::path in = fs::path(folder_identity(spelled.parent_path().string())) / own;
    struct stat st {};
    if (::lstat(in.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) return resolved(spelled);
    return in.string();
  }
  int process_id() const override { return pid_; }
  Claim hold(const std::string& folder, const std::vector<std::string>& names) override {
    return locks_.hold(folder, names);
  }
  void let_go(const std::string& folder, int hold) override { locks_.let_go(folder, hold); }
  LiveRuns live_runs(const std::string& folder) override { return locks_.live_runs(folder); }

 private:
  // The full path with "." and ".." resolved and every link followed, as far as it exists.
  static std::string resolved(const fs::path& path) {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    if (error) return path.lexically_normal().string();
    const fs::path canonical = fs::weakly_canonical(full, error);
    return (error ? full : canonical).lexically_normal().string();
  }
  const std::string& folder_identity(const std::string& folder) const {
    const std::lock_guard<std::mutex> guard(folders_mutex_);
    const auto [it, fresh] = folders_.try_emplace(folder);
    if (fresh) it->second = resolved(folder.empty() ? fs::path(".") : fs::path(folder));
    return it->second;
  }

  const int pid_ = static_cast<int>(::getpid());
  LockFiles locks_{pid_};
  mutable std::mutex folders_mutex_;
  mutable std::unordered_map<std::string, std::string> folders_;  // by spelling
};

}  // namespace

std::unique_ptr<FileSystem> disk_files() { return std::make_unique<DiskFiles>(); }

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

std::string shown_from(const std::string& here, const std::string& full) {
  const std::string relative = fs::path(full).lexically_relative(here).string();
  return relative.empty() || relative.starts_with("..") ? full : relative;
}

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
