// Test helpers of the transformation and regional curve tests: a series store built from
// given series and a scratch folder for the files the routines write.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/files/units.h"
#include "series/store.h"
#include "tests/series/aligned_store.h"

namespace dendro::testing {

using SeriesSpec = StoreSeries;

// A store holding the series on the year axis of the whole set (row 1 = the earliest first
// year), with the set's span in the row after the last series and use and save flags set.
inline Tsi1 make_store(const std::vector<SeriesSpec>& series) {
  Tsi1 t = aligned_store(series);
  t.years.resize(series.size() + 2);
  for (std::size_t i = 0; i < series.size(); ++i) t.years[i].icu = t.years[i].ics = 1;
  return t;
}

// A fresh folder, removed with its files at the end of the test.
class ScratchDir {
 public:
  ScratchDir() {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("transform_test_" + std::to_string(rd()) + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
  }
  ~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  std::string path(const std::string& name) const { return (dir_ / name).string(); }
  bool exists(const std::string& name) const { return std::filesystem::exists(dir_ / name); }
  void write(const std::string& name, const std::string& text) const {
    std::ofstream(dir_ / name) << text;
  }
  std::vector<std::string> lines(const std::string& name) const {
    std::ifstream in(dir_ / name);
    std::vector<std::string> out;
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
  }

 private:
  std::filesystem::path dir_;
};

// The text padded with blanks to `width` characters.
inline std::string pad(const std::string& text, std::size_t width) {
  return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// The lines of a text.
inline std::vector<std::string> split(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

}  // namespace dendro::testing
