// A run driver's state for one stage, driven by a scripted console without a screen; files
// go to a fresh folder from the plot tests' `scratch`.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../plots/plot_test_support.h"
#include "kalder/run.h"
#include "tests/count_of.h"

namespace dendro::stage_test {

struct Stage {
  explicit Stage(const std::string& script)
      : scripted(script), run(scripted.con, PlotSession::Screen::none) {}
  plot_test::Scripted scripted;
  Run run;

  std::string console() const { return scripted.out.str(); }
};

using plot_test::scratch;

inline std::vector<std::string> lines_of(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace dendro::stage_test
