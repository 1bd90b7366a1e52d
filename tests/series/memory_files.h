// A file system in memory for the tests of the file owner, with the failures a disk can
// give: writes that fail (a full disk), a move that is refused.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "series/file_system.h"

namespace dendro::test {

class MemoryFiles final : public FileSystem {
 public:
  bool full = false;                    // every write to a file opened from now on fails
  std::set<std::string> refused_moves;  // files that cannot be moved

  void put(const std::string& path, const std::string& text) {
    files_[path] = std::make_shared<std::stringbuf>(text);
  }
  std::string text(const std::string& path) const { return files_.at(path)->str(); }
  std::vector<std::string> files_in(const std::string& = "") const override {
    std::vector<std::string> all;
    for (const auto& [path, b] : files_) all.push_back(path);
    return all;
  }

  std::unique_ptr<std::iostream> open(const std::string& path, std::ios::openmode mode) override {
    if ((mode & std::ios::out) != 0) put(path, "");
    if (!exists(path)) return nullptr;
    auto s = std::make_unique<Stream>(
        (mode & std::ios::out) != 0 ? files_[path] : std::make_shared<std::stringbuf>(text(path)));
    if (full) s->setstate(std::ios::badbit);
    return s;
  }
  bool exists(const std::string& path) const override { return files_.count(path) != 0; }
  bool is_folder(const std::string&) const override { return false; }
  bool rename(const std::string& from, const std::string& to) override {
    if (!exists(from) || refused_moves.count(from) != 0) return false;
    files_[to] = files_[from];
    files_.erase(from);
    return true;
  }
  bool remove(const std::string& path) override { return files_.erase(path) != 0; }
  std::uintmax_t size(const std::string& path) const override { return text(path).size(); }
  bool resize(const std::string&, std::uintmax_t) override { return false; }

 private:
  // A stream that keeps its file's characters alive.
  struct Stream : std::iostream {
    explicit Stream(std::shared_ptr<std::stringbuf> b) : std::iostream(b.get()), buffer(b) {}
    std::shared_ptr<std::stringbuf> buffer;
  };
  std::map<std::string, std::shared_ptr<std::stringbuf>> files_;
};

}  // namespace dendro::test
