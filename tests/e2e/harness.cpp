#include "harness.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

#include "series/console.h"
#include "series/records.h"
#include "series/tucson.h"

namespace dendro::e2e {

namespace fs = std::filesystem;

Sandbox::Sandbox() {
  std::random_device rd;
  dir_ = fs::temp_directory_path() / ("kalder_e2e_" + std::to_string(rd()) + std::to_string(rd()));
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

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

}  // namespace

RunResult Sandbox::interrupt(const std::string& program, const std::string& input,
                             const std::string& shown, int signal_number, int times) {
  int in[2];
  if (pipe(in) != 0) throw std::runtime_error("no pipe");
  const pid_t child = fork();
  if (child == 0) {
    dup2(in[0], STDIN_FILENO);
    close(in[1]);
    const int out = open((dir_ / "stdout.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, STDOUT_FILENO);
    if (chdir(dir_.c_str()) == 0) execl(program.c_str(), program.c_str(), nullptr);
    _exit(127);
  }
  close(in[0]);
  if (write(in[1], input.data(), input.size()) < 0) throw std::runtime_error("no input");
  int raw = 0;
  bool ended = false;
  for (int poll = 0; poll < 1200 && !ended; ++poll, usleep(100000)) {  // two minutes
    ended = waitpid(child, &raw, WNOHANG) == child;
    if (!ended && exists("stdout.txt") && occurrences(read_file("stdout.txt"), shown) >= times) {
      kill(child, signal_number);
      break;
    }
  }
  close(in[1]);
  if (!ended) waitpid(child, &raw, 0);
  const RunResult r{WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, read_file("stdout.txt")};
  fs::remove(dir_ / "stdout.txt");
  return r;
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
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

std::vector<std::map<int, float>> read_chronologies(const std::string& text) {
  std::istringstream in(text), keys;
  std::ostringstream quiet;
  Console con(keys, quiet);
  RecordStream records(in);
  TucsonFile file;
  std::vector<std::map<int, float>> series;
  for (int guard = 0; guard < 100; ++guard) {
    SeriesRead s = trrw_read(records, TucsonMode::ir, file, con);
    if (s.n < 1) break;
    std::map<int, float> by_year;
    for (int k = 0; k < s.n; ++k) by_year[s.first_year + k] = s.values[static_cast<std::size_t>(k)];
    series.push_back(by_year);
  }
  return series;
}

std::size_t count_of(const std::string& text, const std::string& piece) {
  std::size_t count = 0;
  for (auto at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) {
    ++count;
  }
  return count;
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

}  // namespace dendro::e2e
