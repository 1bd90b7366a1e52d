#include "background.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>

namespace dendro::e2e {

Background::Background(const std::filesystem::path& dir, const std::string& program,
                       const std::string& input)
    : output_(std::filesystem::temp_directory_path() /
              (dir.filename().string() + "_background_" + std::to_string(::getpid()) + ".txt")) {
  int in[2];
  if (::pipe(in) != 0) throw std::runtime_error("no pipe");
  child_ = ::fork();
  if (child_ == 0) {
    ::dup2(in[0], STDIN_FILENO);
    ::close(in[1]);
    const int out = ::open(output_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, STDOUT_FILENO);
    if (::chdir(dir.c_str()) == 0) ::execl(program.c_str(), program.c_str(), nullptr);
    ::_exit(127);
  }
  ::close(in[0]);
  input_ = in[1];
  if (::write(input_, input.data(), input.size()) < 0) throw std::runtime_error("no input");
}

Background::~Background() {
  if (!ended_) {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, &status_, 0);
  }
  if (input_ >= 0) ::close(input_);
  std::filesystem::remove(output_);
}

std::string Background::console() const {
  std::ifstream in(output_, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool Background::shows(const std::string& text, int times) {
  for (int poll = 0; poll < 1200; ++poll, ::usleep(100000)) {  // two minutes
    if (count_of(console(), text) >= static_cast<std::size_t>(times)) return true;
    if (::waitpid(child_, &status_, WNOHANG) == child_) {
      ended_ = true;
      return false;
    }
  }
  return false;
}

RunResult Background::finish(const std::string& more) {
  if (!more.empty() && ::write(input_, more.data(), more.size()) < 0) {
    throw std::runtime_error("no input");
  }
  ::close(input_);
  input_ = -1;
  if (!ended_) ::waitpid(child_, &status_, 0);
  ended_ = true;
  return {WIFEXITED(status_) ? WEXITSTATUS(status_) : -1, console()};
}

}  // namespace dendro::e2e
