// Helpers of the tests of the pages that write files of fixed names into the current folder.
#pragma once

#include <filesystem>

namespace dendro::plot_test {

// Works in `folder` for the life of the object, then returns to the folder it came from.
class InFolder {
 public:
  explicit InFolder(const std::filesystem::path& folder)
      : previous_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~InFolder() { std::filesystem::current_path(previous_); }
  InFolder(const InFolder&) = delete;
  InFolder& operator=(const InFolder&) = delete;

 private:
  std::filesystem::path previous_;
};

}  // namespace dendro::plot_test
