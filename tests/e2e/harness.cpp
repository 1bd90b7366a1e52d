#include "harness.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "series/console.h"
#include "series/files/file_system.h"
#include "series/files/journal.h"
#include "series/records.h"
#include "series/tucson.h"

namespace dendro::e2e {

namespace fs = std::filesystem;

Sandbox::Sandbox(const fs::path& base) {
  std::random_device rd;
  dir_ = base / ("kalder_e2e_" + std::to_string(rd()) + std::to_string(rd()));
  fs::create_directories(dir_);
}

Sandbox::~Sandbox() {
  std::error_code ec;
  fs::remove_all(dir_, ec);
}

void Sandbox::copy_data(const std::string& name, const std::string& as) {
  fs::copy_file(fs::path(TEST_DATA_DIR) / name, dir_ / (as.empty() ? name : as),
                fs::copy_options::overwrite_existing);
}

void Sandbox::write_file(const std::string& name, const std::string& text) {
  std::ofstream(dir_ / name, std::ios::binary) << text;
}

std::string Sandbox::read_file(const std::string& name) const {
  std::ifstream in(dir_ / name, std::ios::binary);
  if (!in) throw std::runtime_error("missing output file " + name);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> Sandbox::read_lines(const std::string& name) const {
  return split_lines(read_file(name));
}

bool Sandbox::exists(const std::string& name) const { return fs::exists(dir_ / name); }

std::map<std::string, std::string> Sandbox::files(const std::string& prefix) const {
  std::map<std::string, std::string> contents;
  for (const auto& entry : fs::directory_iterator(dir_)) {
    const std::string name = entry.path().filename().string();
    if (name == kLockFile) continue;
    if (entry.is_regular_file() && name.starts_with(prefix)) contents[name] = read_file(name);
  }
  return contents;
}

RunResult Sandbox::run(const std::string& program, const std::string& input) {
  write_file("stdin.txt", input);
  std::string command =
      "cd '" + dir_.string() + "' && timeout 120 '" + program + "' < stdin.txt > stdout.txt 2>&1";
  int raw = std::system(command.c_str());
  RunResult r;
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  r.output = read_file("stdout.txt");
  fs::remove(dir_ / "stdin.txt");
  fs::remove(dir_ / "stdout.txt");
  return r;
}

RunResult Sandbox::kalder(const std::string& input) { return run(KALDER_PATH, input); }

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kWaitLimit = std::chrono::seconds(120);  // for the run to wait where it is cut
constexpr auto kEndLimit = std::chrono::seconds(30);    // for the run to end after the cut
constexpr int kPollMilliseconds = 10;

void set_nonblocking(int fd) { fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK); }

// True while `signal_number`, sent to the process, waits to be taken (/proc/<pid>/status).
bool pending(pid_t pid, int signal_number) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.starts_with("ShdPnd:")) {
      return (std::stoull(line.substr(7), nullptr, 16) >> (signal_number - 1) & 1) != 0;
    }
  }
  return false;
}

// The state letter of /proc/<pid>/stat, after the program name in parentheses.
char process_state(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t name_end = line.rfind(')');
  return name_end == std::string::npos || name_end + 2 >= line.size() ? '?' : line[name_end + 2];
}

}  // namespace

Child::Child(const fs::path& dir, const std::string& program, const std::string& input) {
  // A run that ends while answers are still waiting makes a write fail: that is no fault.
  signal(SIGPIPE, SIG_IGN);
  int in[2], out[2];
  if (pipe2(in, O_DIRECT | O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
    throw std::runtime_error("no pipe");
  }
  const char* folder = dir.c_str();
  pid_ = fork();
  if (pid_ == 0) {
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(out[1], STDERR_FILENO);
    // As from a shell: every signal at its default action, none held.
    for (int s = 1; s < NSIG; ++s) signal(s, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    if (chdir(folder) == 0) execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  close(in[0]);
  in_ = in[1];
  out_ = out[0];
  spare_ = out[1];
  for (int fd : {in_, out_}) set_nonblocking(fd);
  give(input);
}

Child::~Child() {
  if (!ended_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  for (int fd : {in_, out_, spare_}) {
    if (fd >= 0) close(fd);
  }
}

void Child::give(const std::string& answers) {
  for (std::size_t at = 0; at < answers.size();) {
    const std::size_t end = std::min(answers.find('\n', at), answers.size() - 1);
    answers_.push_back(answers.substr(at, end + 1 - at));
    at = end + 1;
  }
}

void Child::give_at_once(const std::string& answers) {
  if (!answers.empty()) answers_.push_back(answers);
}

void Child::send(int signal_number) {
  if (signal_number == 0) return;
  kill(pid_, signal_number);
  // Until the run has taken the signal, a full console stays full: a write that waits
  // then meets the signal whatever the test's own pace.
  if (!step_until([&] { return !pending(pid_, signal_number); }, kWaitLimit) && !ended_) {
    kill_with_note("the run never took the signal");
  }
}

void Child::read_console() {
  char buffer[4096];
  for (ssize_t n; reading_ && (n = read(out_, buffer, sizeof buffer)) > 0;) {
    for (ssize_t k = 0; k < n; ++k) {
      if (buffer[k] != '\0') output_ += buffer[k];
    }
  }
}

void Child::step() {
  pollfd fds[2] = {{in_, POLLOUT, 0}, {reading_ ? out_ : -1, POLLIN, 0}};
  if (answers_.empty()) fds[0].fd = -1;
  poll(fds, 2, kPollMilliseconds);
  while (!answers_.empty() && write(in_, answers_.front().data(), answers_.front().size()) > 0) {
    answers_.pop_front();
  }
  read_console();
  if (waitpid(pid_, &raw_status_, WNOHANG) == pid_) {
    ended_ = true;
    read_console();  // what the run wrote before it ended is all in the pipe
  }
}

template <class Done>
bool Child::step_until(Done done, Clock::duration limit) {
  for (const auto end = Clock::now() + limit; Clock::now() < end;) {
    step();
    if (ended_) return false;
    if (done()) return true;
  }
  return false;
}

bool Child::read_every_answer() const {
  int unread = 0;
  return answers_.empty() && ioctl(in_, FIONREAD, &unread) == 0 && unread == 0;
}

bool Child::wait_at(const Waiting& at) {
  const auto there = [&] {
    const std::size_t last = output_.rfind(at.shown);
    return read_every_answer() && count_of(output_, at.shown) >= std::size_t(at.times) &&
           output_.find_first_not_of(" \n", last + at.shown.size()) == std::string::npos;
  };
  if (step_until(there, kWaitLimit)) {
    if (count_of(output_, at.shown) == std::size_t(at.times)) return true;
    kill_with_note("the run went past " + at.shown + " number " + std::to_string(at.times));
  } else if (!ended_) {
    kill_with_note("the run never waited at " + at.shown + " number " + std::to_string(at.times));
  }
  return false;
}

bool Child::wait_to_write() {
  const bool waits =
      step_until([&] { return read_every_answer() && process_state(pid_) == 'S'; }, kWaitLimit);
  if (!waits && !ended_) kill_with_note("the run never waited to write");
  return waits;
}

void Child::close_console() {
  reading_ = false;
  for (int* fd : {&out_, &spare_}) {
    close(*fd);
    *fd = -1;
  }
}

void Child::fill_console() {
  reading_ = false;
  // A page at a time while the pipe has a free page: each write fills one whole.
  const std::string page(4096, '\0');
  for (pollfd room{spare_, POLLOUT, 0}; poll(&room, 1, 0) == 1 && (room.revents & POLLOUT);) {
    if (write(spare_, page.data(), page.size()) <= 0) break;
  }
}

void Child::kill_with_note(const std::string& note) {
  kill(pid_, SIGKILL);
  waitpid(pid_, &raw_status_, 0);
  ended_ = true;
  read_console();
  output_ += "\n[harness: " + note + "]\n";
}

RunResult Child::finish() {
  reading_ = out_ >= 0;
  step_until([] { return false; }, kEndLimit);  // steps until the run ends
  if (!ended_) kill_with_note("the run was still going 30 seconds after the cut");
  return {WIFEXITED(raw_status_) ? WEXITSTATUS(raw_status_) : -1, output_};
}

RunResult Sandbox::interrupt(const std::string& program, const std::string& input,
                             const std::string& shown, int signal_number, int times) {
  return cut_short(program, input, {shown, times}, {signal_number});
}

RunResult Sandbox::cut_short(const std::string& program, const std::string& input,
                             const Waiting& at, const Cut& how) {
  Child child(dir_, program, input);
  if (!child.wait_at(at)) return child.finish();
  if (how.console == Cut::Console::full) {
    child.fill_console();
    child.give_at_once(how.more);
    if (child.wait_to_write()) child.send(how.signal_number);
    return child.finish();
  }
  if (how.console == Cut::Console::closed) child.close_console();
  child.send(how.signal_number);
  child.give_at_once(how.more);
  return child.finish();
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::map<std::string, std::string> files_in(const fs::path& dir) {
  std::map<std::string, std::string> found;
  for (const auto& e : fs::directory_iterator(dir)) {
    if (e.path().filename() == kLockFile || !e.is_regular_file()) continue;
    std::ifstream in(e.path(), std::ios::binary);
    found[e.path().filename().string()] = {std::istreambuf_iterator<char>(in), {}};
  }
  return found;
}

std::vector<std::string> leftovers(const fs::path& dir) {
  std::vector<std::string> left;
  for (const auto& [name, text] : files_in(dir)) {
    if (name.starts_with(".dendro.") || name.ends_with(".part") || name.ends_with(".prev")) {
      left.push_back(name);
    }
  }
  return left;
}

std::vector<std::map<int, double>> space_delimited_series(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);  // head: "year" and the ids
  std::istringstream head(line);
  std::vector<std::map<int, double>> series;
  for (std::string id; head >> id;) {
    if (id != "year") series.emplace_back();
  }
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    int year = 0;
    fields >> year;
    std::string v;
    for (auto& values : series) {
      if (!(fields >> v)) break;
      if (v != ".") values[year] = std::stod(v);
    }
  }
  return series;
}

std::vector<std::map<int, float>> read_chronologies(const std::string& text, bool ring_widths) {
  std::istringstream in(text), keys;
  std::ostringstream quiet;
  Console con(keys, quiet);
  RecordStream records(in);
  TucsonFile file;
  std::vector<std::map<int, float>> series;
  for (int guard = 0; guard < 100; ++guard) {
    SeriesRead s = trrw_read(records, ring_widths ? TucsonMode::mr : TucsonMode::ir, file, con);
    if (s.n < 1) break;
    std::map<int, float> by_year;
    for (int k = 0; k < s.n; ++k) by_year[s.first_year + k] = s.values[static_cast<std::size_t>(k)];
    series.push_back(by_year);
  }
  return series;
}

std::string pelliform_defaults() {
  std::string answers = "1\nR\n" + std::string(12, '\n');
  for (int k = 0; k < 400; ++k) answers += "c\n";
  return answers;
}

std::map<int, double> table_column(const std::string& text, int column) {
  std::map<int, double> values;
  std::istringstream in(text);
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    std::vector<double> v;
    for (std::string f; std::getline(fields, f, '\t');) v.push_back(std::stod(f));
    values[static_cast<int>(v[0])] = v[static_cast<std::size_t>(column)];
  }
  return values;
}

std::string similar_series(const std::string& stem, int count, int first, int years) {
  std::ostringstream out;
  for (int i = 0; i < count; ++i) {
    std::vector<float> w;
    for (int t = 0; t < years; ++t) {
      const float wave = 0.2f * std::sin(0.9f * static_cast<float>(t + i % 5));
      w.push_back(std::round(1000.0f * (1.2f + wave + 0.003f * static_cast<float>(i % 11))) /
                  1000.0f);
    }
    char id[16];
    std::snprintf(id, sizeof id, "%s%04d", stem.c_str(), i);
    trrw_write(out, TucsonMode::mw, id, first, w, {}, "   ");
  }
  return out.str();
}

void killed_while_placing(const fs::path& dir, int version,
                          const std::vector<std::pair<std::string, std::string>>& news,
                          std::size_t placed, const std::string& decision) {
  const std::unique_ptr<FileSystem> disk = disk_files();
  const int pid = disk->process_id();
  const std::string folder = fs::canonical(dir).string();
  const std::string token = "0123456789abcdef";
  const auto line = [&](const std::string& text) {
    return (version == 0 ? text : text + "\t" + checksum_of(token + "\n" + text)) + "\n";
  };
  const std::string head = "dendro journal 1\t" + std::to_string(pid) + "\t" + token;
  std::string journal = version == 1 ? head + "\t" + checksum_of(head) + "\n" : "";
  std::vector<Move> moves;
  for (const auto& [name, text] : news) {
    const std::string temp = (dir / temporary_name(name, pid)).string();
    std::ofstream(temp, std::ios::binary) << text;
    const Status earlier = disk->status((dir / name).string());
    const bool had = earlier.node != Node::none;
    moves.push_back({name, had, false, disk->status(temp).id, earlier.id.inode});
    journal += line("move\t1\t" + std::string(had ? "1" : "0") + "\t0\t" +
                    (version == 0 ? folder + "/" : std::to_string(text.size()) + "\t") + name);
  }
  if (version == 2) {
    Journal written(*disk, folder);  // "back": the journal of a group taking its names
    if (!written.begin_group(1, moves).ok()) throw std::runtime_error("cannot write the journal");
  } else {
    journal += line(decision + "\t1" + (version == 0 ? "" : "\t" + std::to_string(news.size())));
    std::ofstream(dir / (".dendro." + std::to_string(pid) + ".journal")) << journal;
  }
  for (std::size_t k = 0; k < news.size(); ++k) {
    const std::string& name = news[k].first;
    if (moves[k].earlier) fs::rename(dir / name, dir / set_aside_name(name, pid));
    if (k < placed) fs::rename(dir / temporary_name(name, pid), dir / name);
  }
}

}  // namespace dendro::e2e
