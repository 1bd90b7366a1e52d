// A run driver's state for one stage, driven by a scripted console without a screen, with
// its files in a fresh folder beside the test program.
#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "kalder/run.h"

namespace dendro::stage_test {

struct Stage {
  explicit Stage(const std::string& script)
      : in(script), con(in, out), run(con, PlotSession::Screen::none) {}
  std::istringstream in;
  std::ostringstream out;
  Console con;
  Run run;

  std::string console() const { return out.str(); }
};

inline std::filesystem::path scratch(const std::string& name) {
  const auto dir = std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                   "kalder_test_files" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::vector<std::string> lines_of(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

inline std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
}

}  // namespace dendro::stage_test
