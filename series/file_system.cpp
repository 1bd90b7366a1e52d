#include "series/file_system.h"

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace dendro {
namespace {

namespace fs = std::filesystem;

// Flushes what the system holds of `path` (a file or a folder) to the disk.
bool sync_path(const std::string& path, int flags) {
  const int fd = ::open(path.c_str(), flags | O_CLOEXEC);
  if (fd < 0) return false;
  const bool synced = ::fsync(fd) == 0;
  return ::close(fd) == 0 && synced;
}

class DiskFiles final : public FileSystem {
 public:
  std::unique_ptr<std::iostream> open(const std::string& path, std::ios::openmode mode) override {
    auto stream = std::make_unique<std::fstream>(path, mode);
    if (!stream->is_open()) return nullptr;
    return stream;
  }
  bool exists(const std::string& path) const override {
    std::error_code error;
    return fs::exists(path, error);
  }
  bool is_folder(const std::string& path) const override {
    std::error_code error;
    return fs::is_directory(path, error);
  }
  bool rename(const std::string& from, const std::string& to) override {
    std::error_code error;
    fs::rename(from, to, error);
    return !error;
  }
  bool remove(const std::string& path) override {
    std::error_code error;
    return fs::remove(path, error);
  }
  std::uintmax_t size(const std::string& path) const override {
    std::error_code error;
    const std::uintmax_t n = fs::file_size(path, error);
    return error ? 0 : n;
  }
  bool resize(const std::string& path, std::uintmax_t size) override {
    std::error_code error;
    fs::resize_file(path, size, error);
    return !error;
  }
  bool flush(const std::string& path) override { return sync_path(path, O_RDONLY); }
  bool flush_folder(const std::string& folder) override {
    return sync_path(folder.empty() ? "." : folder, O_RDONLY | O_DIRECTORY);
  }
  std::vector<std::string> files_in(const std::string& folder) const override {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file(error)) names.push_back(it->path().filename().string());
    }
    return names;
  }
  std::string identity(const std::string& path) const override {
    std::error_code error;
    const fs::path full = fs::absolute(path, error);
    if (error) return fs::path(path).lexically_normal().string();
    const fs::path resolved = fs::weakly_canonical(full, error);
    return (error ? full : resolved).lexically_normal().string();
  }
};

}  // namespace

std::unique_ptr<FileSystem> disk_files() { return std::make_unique<DiskFiles>(); }

std::string folder_of(const std::string& path) { return fs::path(path).parent_path().string(); }

}  // namespace dendro
