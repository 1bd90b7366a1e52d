// A program started in a folder and answered through a pipe that stays open, so that it
// waits at a question while the test runs another program beside it, then goes on.
#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>

#include "harness.h"

namespace dendro::e2e {

class Background {
 public:
  Background(const std::filesystem::path& dir, const std::string& program,
             const std::string& input);
  Background(const Background&) = delete;
  Background& operator=(const Background&) = delete;
  // Kills and reaps a program still running.
  ~Background();

  pid_t pid() const { return child_; }
  // Waits until the console shows `text` `times` times (true), or the program ends or two
  // minutes pass (false).
  bool shows(const std::string& text, int times = 1);
  // Gives the program `more` answers and the end of its input, and waits for its end.
  RunResult finish(const std::string& more = "");

 private:
  std::string console() const;

  std::filesystem::path output_;  // outside the folder, which the tests compare
  pid_t child_ = -1;
  int input_ = -1;
  bool ended_ = false;
  int status_ = -1;
};

}  // namespace dendro::e2e
