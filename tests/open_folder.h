// A folder for a test that runs as another user: a test process's own folder lies where only
// its user may go, and so may the build tree.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <stdexcept>
#include <string>

namespace dendro {

// A fresh folder under /tmp that every user may enter, as every folder on its path; removed
// with all it holds at the end.
class OpenFolder {
 public:
  OpenFolder() {
    std::string name = "/tmp/dendro_open_XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) throw std::runtime_error("cannot make " + name);
    dir_ = name;
    std::filesystem::permissions(dir_, std::filesystem::perms(0755));
    for (auto p = dir_; p != p.root_path(); p = p.parent_path()) {
      if ((std::filesystem::status(p).permissions() & std::filesystem::perms::others_exec) ==
          std::filesystem::perms::none) {
        throw std::runtime_error(p.string() + " is closed to other users");
      }
    }
  }
  ~OpenFolder() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  OpenFolder(const OpenFolder&) = delete;
  OpenFolder& operator=(const OpenFolder&) = delete;

  const std::filesystem::path& dir() const { return dir_; }

 private:
  std::filesystem::path dir_;
};

}  // namespace dendro
