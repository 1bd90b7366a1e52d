// A file system in memory for the tests of the file owner, with the failures a disk can
// give: a write beyond the room left, a move that is refused.
#pragma once

#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "series/file_system.h"

namespace dendro::test {

class MemoryFiles final : public FileSystem {
 public:
  // A file's characters; writes beyond `room` fail, as on a full disk.
  class Buffer : public std::stringbuf {
   public:
    std::size_t room = std::string::npos;

   protected:
    int_type overflow(int_type c) override {
      return used() >= room ? traits_type::eof() : std::stringbuf::overflow(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
      const std::size_t left = room == std::string::npos ? n : room - std::min(room, used());
      return std::stringbuf::xsputn(s, std::min<std::streamsize>(n, left));
    }

   private:
    std::size_t used() const { return static_cast<std::size_t>(pptr() - pbase()); }
  };

  std::set<std::string> refused_moves;   // files that cannot be moved
  std::size_t room = std::string::npos;  // for each file opened for writing

  void put(const std::string& path, const std::string& text) {
    auto b = std::make_shared<Buffer>();
    b->str(text);
    files_[path] = b;
  }
  std::string text(const std::string& path) const {
    auto it = files_.find(path);
    return it == files_.end() ? "(none)" : it->second->str();
  }
  std::vector<std::string> paths() const {
    std::vector<std::string> all;
    for (const auto& [path, b] : files_) all.push_back(path);
    return all;
  }

  std::unique_ptr<std::iostream> open(const std::string& path, std::ios::openmode mode) override {
    std::shared_ptr<Buffer> b;
    if ((mode & std::ios::out) != 0) {
      b = std::make_shared<Buffer>();
      b->room = room;
      files_[path] = b;
    } else if (auto it = files_.find(path); it != files_.end()) {
      b = std::make_shared<Buffer>();
      b->str(it->second->str());
    } else {
      return nullptr;
    }
    return std::make_unique<Stream>(b);
  }
  bool exists(const std::string& path) const override { return files_.count(path) != 0; }
  bool is_folder(const std::string&) const override { return false; }
  bool rename(const std::string& from, const std::string& to) override {
    auto it = files_.find(from);
    if (it == files_.end() || refused_moves.count(from) != 0) return false;
    std::shared_ptr<Buffer> b = it->second;
    files_.erase(it);
    files_[to] = b;
    return true;
  }
  bool remove(const std::string& path) override { return files_.erase(path) != 0; }
  std::uintmax_t size(const std::string& path) const override {
    return exists(path) ? text(path).size() : 0;
  }
  bool resize(const std::string& path, std::uintmax_t size) override {
    if (!exists(path)) return false;
    files_[path]->str(text(path).substr(0, size));
    return true;
  }
  std::vector<std::string> files_in(const std::string&) const override { return paths(); }

 private:
  // A stream that keeps its file's buffer alive.
  class Stream : public std::iostream {
   public:
    explicit Stream(std::shared_ptr<Buffer> b) : std::iostream(b.get()), buffer_(std::move(b)) {}

   private:
    std::shared_ptr<Buffer> buffer_;
  };
  std::map<std::string, std::shared_ptr<Buffer>> files_;
};

}  // namespace dendro::test
