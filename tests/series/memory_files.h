// A file system in memory for the tests of the file owner. It behaves as the disk does
// (folders, a missing file, two spellings of one file, a linked folder) and can fail each
// operation the disk can: a write (a full disk), opening a file for writing, a move, a
// removal, a resize, a flush of a file or of a folder.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "series/file_system.h"

namespace dendro::test {

class MemoryFiles final : public FileSystem {
 public:
  // The operations that can be made to fail, each for the paths named.
  enum class Op { create, rename, remove, resize, flush, flush_folder };

  bool full = false;  // every write to a file opened from now on fails
  // Fails `op` on `path` (the source of a move; "" is the working folder).
  void fail(Op op, const std::string& path) { failing_.insert({op, where(path)}); }
  void add_folder(const std::string& path) { folders_.insert(where(path)); }
  // `path` is a folder that links to the folder `target`.
  void link_folder(const std::string& path, const std::string& target) {
    links_[where(path)] = where(target);
  }

  void put(const std::string& path, const std::string& text) {
    files_[where(path)] = std::make_shared<std::stringbuf>(text);
  }
  std::string text(const std::string& path) const { return files_.at(where(path))->str(); }
  // Every file, as its path from the working folder, in name order.
  std::vector<std::string> all() const {
    std::vector<std::string> names;
    for (const auto& [path, b] : files_) {
      names.push_back(std::filesystem::path(path).lexically_relative(kHere).string());
    }
    return names;
  }

  std::unique_ptr<std::iostream> open(const std::string& path, std::ios::openmode mode) override {
    const std::string at = where(path);
    const bool writing = (mode & std::ios::out) != 0;
    if (writing && (fails(Op::create, at) || !is_folder(parent(at)))) return nullptr;
    if (writing) put(path, "");
    if (files_.count(at) == 0) return nullptr;
    auto s = std::make_unique<Stream>(writing ? files_[at]
                                              : std::make_shared<std::stringbuf>(text(path)));
    if (full && writing) s->setstate(std::ios::badbit);
    return s;
  }
  bool exists(const std::string& path) const override {
    return files_.count(where(path)) != 0 || is_folder(path);
  }
  bool is_folder(const std::string& path) const override {
    const std::string at = where(path);
    return at == kHere || folders_.count(at) != 0;
  }
  bool rename(const std::string& from, const std::string& to) override {
    const std::string a = where(from), b = where(to);
    if (files_.count(a) == 0 || fails(Op::rename, a) || !is_folder(parent(b))) return false;
    const auto moved = files_[a];
    files_.erase(a);
    files_[b] = moved;
    return true;
  }
  bool remove(const std::string& path) override {
    return !fails(Op::remove, where(path)) && files_.erase(where(path)) != 0;
  }
  std::uintmax_t size(const std::string& path) const override {
    const auto it = files_.find(where(path));
    return it == files_.end() ? 0 : it->second->str().size();
  }
  bool resize(const std::string& path, std::uintmax_t size) override {
    const auto it = files_.find(where(path));
    if (it == files_.end() || fails(Op::resize, it->first)) return false;
    it->second->str(it->second->str().substr(0, size));
    return true;
  }
  bool flush(const std::string& path) override {
    return files_.count(where(path)) != 0 && !fails(Op::flush, where(path));
  }
  bool flush_folder(const std::string& folder) override {
    return is_folder(folder) && !fails(Op::flush_folder, where(folder));
  }
  std::vector<std::string> files_in(const std::string& folder) const override {
    std::vector<std::string> names;
    for (const auto& [path, b] : files_) {
      if (parent(path) == where(folder)) names.push_back(std::filesystem::path(path).filename());
    }
    return names;
  }
  std::string identity(const std::string& path) const override { return where(path); }

 private:
  // A stream that keeps its file's characters alive.
  struct Stream : std::iostream {
    explicit Stream(std::shared_ptr<std::stringbuf> b) : std::iostream(b.get()), buffer(b) {}
    std::shared_ptr<std::stringbuf> buffer;
  };
  static constexpr const char* kHere = "/work";

  // The full path of `path` with "." and ".." resolved and linked folders followed.
  std::string where(const std::string& path) const {
    std::filesystem::path full = (std::filesystem::path(kHere) / path).lexically_normal();
    for (const auto& [link, target] : links_) {
      const std::string text = full.string();
      if (text == link || text.rfind(link + "/", 0) == 0) full = target + text.substr(link.size());
    }
    std::string text = full.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
  }
  static std::string parent(const std::string& path) {
    return std::filesystem::path(path).parent_path().string();
  }
  bool fails(Op op, const std::string& at) const { return failing_.count({op, at}) != 0; }

  std::map<std::string, std::shared_ptr<std::stringbuf>> files_;
  std::set<std::string> folders_;
  std::map<std::string, std::string> links_;
  std::set<std::pair<Op, std::string>> failing_;
};

}  // namespace dendro::test
