// A run's shared blocks for the chronology tests: the option table, the character block, the
// unit table with the general output file open in a fresh folder, a console over string
// streams and a plot session without a screen.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

class ChronologyRun : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = std::filesystem::temp_directory_path() /
           (std::string("chronology_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(dir_);
    std::filesystem::create_directories(dir_);
    units_.create(unit::out, path("out.txt"));
    commands_.set_data_file(path("site.txt"));
  }
  void TearDown() override {
    units_.close_all();
    std::filesystem::remove_all(dir_);
  }
  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  static std::vector<std::string> lines_of(const std::string& file) {
    std::ifstream in(file);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }
  // The general output file so far (it is closed).
  std::vector<std::string> report() {
    units_.close(unit::out);
    return lines_of(path("out.txt"));
  }
  static bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
  }
  static long count_of(const std::vector<std::string>& lines, const std::string& line) {
    return std::count(lines.begin(), lines.end(), line);
  }

  std::filesystem::path dir_;
  Units units_;
  Icommands icommands_;
  Commands commands_;
  std::istringstream in_{std::string(20, '\n')};
  std::ostringstream out_;
  Console console_{in_, out_};
  PlotSession plots_{console_, units_.files(), PlotSession::Screen::none};
};

}  // namespace dendro
