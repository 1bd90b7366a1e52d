// Helpers of the plot tests: a scripted console, saved pages rendered with ghostscript, and
// two small readers of the real data files in tests/data.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plots/plot_loop.h"
#include "series/console.h"
#include "series/store.h"
#include "tests/series/aligned_store.h"

namespace dendro::plot_test {

// A console answering from `script`, and a plot session without a screen.
struct Scripted {
  explicit Scripted(const std::string& script)
      : in(script), con(in, out), session(con, files, PlotSession::Screen::none) {}
  std::istringstream in;
  std::ostringstream out;
  Console con;
  OutputFiles files{disk_files()};
  PlotSession session;
};

// A fresh folder for the files of one test, in the test process's own folder.
inline std::filesystem::path scratch(const std::string& name) {
  const auto dir = std::filesystem::temp_directory_path() / "plots_test_files" / name;
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

// Renders a PostScript page to PNG with ghostscript; the size of the PNG, or -1 when
// ghostscript failed (its messages are then in the PNG's name plus ".log").
inline long long render_png(const std::filesystem::path& ps, const std::filesystem::path& png) {
  const std::string command = "gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -sOutputFile='" +
                              png.string() + "' '" + ps.string() + "' >'" + png.string() +
                              ".log' 2>&1";
  if (std::system(command.c_str()) != 0) return -1;
  std::error_code ec;
  const auto size = std::filesystem::file_size(png, ec);
  return ec ? -1 : static_cast<long long>(size);
}

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The menu lines as the console shows them: two empty lines, each line after 15 blanks, an
// empty line and the prompt.
inline std::string menu_text(const std::vector<std::string>& menu) {
  std::string text = "\n\n";
  for (const auto& line : menu) text += "               " + line + "\n";
  return text + "\n                enter option number > ";
}

// The position after the first `lines` lines of a console text.
inline std::size_t after_lines(const std::string& text, int lines) {
  std::size_t at = 0;
  for (int k = 0; k < lines && at != std::string::npos; ++k) {
    at = text.find('\n', at);
    if (at != std::string::npos) ++at;
  }
  return at;
}

// Line `k` (from 1) of a console text, without its line end.
inline std::string line_of(const std::string& text, int k) {
  const std::size_t from = after_lines(text, k - 1);
  if (from == std::string::npos) return "(no such line)";
  return text.substr(from, text.find('\n', from) - from);
}

// The "from:" value that the style editor shows for an item, read back from the console:
// the limits a page set up are checked through the menu, as the user sees them.
inline std::string shown(const std::string& console, const std::string& question) {
  const auto at = console.find(question);
  if (at == std::string::npos) return "(not asked)";
  const auto from = at + question.size();
  return console.substr(from, console.find('\n', from) - from);
}

// A tucson chronology file: index values (thousandths) and sample depths from the fourth
// line on; 9990 marks an empty slot.
struct Chronology {
  int first_year = 0;
  std::vector<float> index;
  std::vector<int> depth;
};

inline Chronology read_crn(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  Chronology c;
  for (int k = 0; k < 3 && std::getline(in, line); ++k) {
  }
  while (std::getline(in, line)) {
    if (line.size() < 10) continue;
    const int decade = std::stoi(line.substr(6, 4));
    for (int j = 0; j < 10; ++j) {
      const std::size_t at = 10 + 7 * static_cast<std::size_t>(j);
      if (line.size() < at + 7) break;
      const int value = std::stoi(line.substr(at, 4));
      if (value == 9990) continue;
      if (c.index.empty()) c.first_year = decade + j;
      c.index.push_back(static_cast<float>(value) / 1000.0f);
      c.depth.push_back(std::stoi(line.substr(at + 4, 3)));
    }
  }
  return c;
}

// A tucson ring-width file (values in 0.01 mm, 999 ends a series) into a series store
// aligned on the set's first year, -9.99 outside each series.
inline Tsi1 read_rwl(const std::string& path) {
  std::vector<testing::StoreSeries> all;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.size() < 12) continue;
    char* end = nullptr;
    const std::string year_field = line.substr(8, 4);
    const long decade = std::strtol(year_field.c_str(), &end, 10);
    if (end == year_field.c_str() ||
        line.substr(12).find_first_not_of(" 0123456789-\r") != std::string::npos) {
      continue;  // a title record
    }
    const std::string id = line.substr(0, 8);
    if (all.empty() || all.back().id != id) all.push_back({id, static_cast<int>(decade), {}});
    for (std::size_t at = 12; at + 6 <= line.size(); at += 6) {
      const std::string value_field = line.substr(at, 6);
      if (value_field.find_first_not_of(" \r") == std::string::npos) break;
      const int value = std::stoi(value_field);
      if (value == 999) break;
      all.back().values.push_back(static_cast<float>(value) / 100.0f);
    }
  }
  return testing::aligned_store(all);
}

}  // namespace dendro::plot_test
