// The screen path of the plot loop, on a virtual X display started by the test.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <plplot/plplot.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <fstream>

#include "plot_test_support.h"
#include "plots/panel.h"
#include "plots/plot_loop.h"

namespace dendro {
namespace {

constexpr int kStartTimeoutMs = 10000;

bool on_path(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const auto end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// A virtual X server for the length of one test; it picks a free display number itself.
class VirtualDisplay {
 public:
  VirtualDisplay() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      close(fds[0]);
      const int devnull = open("/dev/null", O_WRONLY);
      if (devnull >= 0) dup2(devnull, STDERR_FILENO);
      const std::string fd = std::to_string(fds[1]);
      execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
             "800x600x24", static_cast<char*>(nullptr));
      _exit(127);
    }
    close(fds[1]);
    if (pid_ < 0) {
      close(fds[0]);
      return;
    }
    pollfd ready{fds[0], POLLIN, 0};
    std::string number;
    while (poll(&ready, 1, kStartTimeoutMs) > 0) {
      char c;
      if (read(fds[0], &c, 1) != 1 || c == '\n') break;
      number += c;
    }
    close(fds[0]);
    if (!number.empty()) name_ = ":" + number;
  }
  ~VirtualDisplay() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      waitpid(pid_, nullptr, 0);
    }
  }
  const std::string& name() const { return name_; }

 private:
  pid_t pid_ = -1;
  std::string name_;
};

// Runs the plot loop on the display in a child process (the X connections of PLplot's
// drivers then end with it) and returns what it found: the devices each drawing went to,
// then the console.
std::string loop_on_display(const std::string& display, const std::filesystem::path& dir) {
  const auto report = dir / "report.txt";
  const pid_t child = fork();
  if (child == 0) {
    setenv("DISPLAY", display.c_str(), 1);
    std::istringstream in("0\ns\n" + (dir / "page.ps").string() + "\nc\n");
    std::ostringstream out;
    Console con(in, out);
    OutputFiles files(disk_files());
    PlotSession session(con, files);
    std::string devices;
    PlotDefinition plot;
    plot.menu = full_menu();
    plot.set_up = [](PlotStyle& s) {
      s.x = {1900, 2000, 20, 5};
      s.y = {0, 2, 0.5f, 4};
    };
    plot.draw = [&devices](const PlotStyle& s) {
      std::array<char, 80> device{};
      plgdev(device.data());
      devices += std::string(device.data()) + " ";
      draw_frame(s, {0.12, 0.95, 0.2, 0.8}, s.x, s.y, "years", "indices (y)", "screen");
    };
    int status = 1;
    try {
      status = plot_loop(session, plot) == PlotExit::proceed ? 0 : 2;
    } catch (const std::exception& e) {
      out << "exception: " << e.what();
    }
    std::ofstream(report) << devices << "\n" << out.str();
    _exit(status);
  }
  int status = -1;
  waitpid(child, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return "child failed";
  return plot_test::read_file(report);
}

TEST(plot_screen, page_on_a_virtual_display) {
  if (!on_path("Xvfb")) GTEST_SKIP() << "Xvfb is not installed: the screen path is not tried";
  VirtualDisplay display;
  if (display.name().empty()) GTEST_SKIP() << "Xvfb did not start a display";
  const auto dir = plot_test::scratch("screen");
  const std::string report = loop_on_display(display.name(), dir);
  // First drawing and the replot on the screen, the save in PostScript; the loop went on
  // after each, without the no-screen note.
  EXPECT_TRUE(report.starts_with("xcairo xcairo psc \n") || report.starts_with("xwin xwin psc \n"))
      << report;
  EXPECT_EQ(report.find("no X display"), std::string::npos);
  EXPECT_GT(plot_test::render_png(dir / "page.ps", dir / "page.png"), 0);
}

}  // namespace
}  // namespace dendro
