#include "series/file_system.h"

#include <filesystem>
#include <fstream>

namespace dendro {
namespace {

namespace fs = std::filesystem;

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
  std::vector<std::string> files_in(const std::string& folder) const override {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(folder.empty() ? "." : folder, error), end; !error && it != end;
         it.increment(error)) {
      if (it->is_regular_file(error)) names.push_back(it->path().filename().string());
    }
    return names;
  }
};

}  // namespace

std::unique_ptr<FileSystem> disk_files() { return std::make_unique<DiskFiles>(); }

}  // namespace dendro
