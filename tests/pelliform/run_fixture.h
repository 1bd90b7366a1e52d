// A pelliform run over string streams in a scratch folder, with its report file open,
// for the tests of the driver's steps.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "pelliform/run.h"
#include "pelliform_session.h"

namespace dendro::testing {

class RunTest : public ::testing::Test {
 protected:
  std::filesystem::path dir;
  std::filesystem::path previous;
  std::istringstream in;
  std::ostringstream out;
  Console con{in, out};
  std::unique_ptr<PelliformRun> run;

  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          (std::string("pelliform_") +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    previous = std::filesystem::current_path();
    std::filesystem::current_path(dir);
    run = std::make_unique<PelliformRun>(con, nullptr, PlotSession::Screen::none);
    run->units.create(pelliform_unit::report, "report.txt");
    run->data_file = "site.rwl";
    run->stem = "site";
  }
  void TearDown() override {
    run.reset();
    std::filesystem::current_path(previous);
    std::filesystem::remove_all(dir);
  }
  void answers(const std::string& text) {
    in.str(text);
    in.clear();
  }
  bool shows(const std::string& text) const { return out.str().find(text) != std::string::npos; }
  // The file's text (the report file is closed first so that all of it is there).
  std::string file(const std::string& name) {
    if (run) run->units.close(pelliform_unit::report);
    std::ifstream f(dir / name);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
  }
};

}  // namespace dendro::testing
