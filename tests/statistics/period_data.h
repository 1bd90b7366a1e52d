// Series sets built from known signals for the tests of the common period analysis.
#pragma once

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/layout.h"
#include "series/store.h"
#include "statistics/site_tree_core.h"

namespace dendro::period_test {

// cos(2 pi k t / period) for t = 0 .. period - 1: over a whole number of cycles these are
// orthogonal for different k, have mean 0 and sum of squares period / 2, so every variance
// and correlation of their sums follows by hand.
inline float wave(int k, int t, int period) {
  return static_cast<float>(std::cos(2.0 * 3.14159265358979323846 * k * t / period));
}

// A series store of `ids.size()` series on one year axis from `first`, each given by its
// first year, last year and a value for each year.
template <class Value>
Tsi1 store(const std::vector<std::string>& ids, int first, int last,
           const std::vector<std::pair<int, int>>& spans, Value value) {
  Tsi1 tsi1;
  const int count = static_cast<int>(ids.size());
  tsi1.reshape(last - first + 1, count);
  tsi1.ids = ids;
  for (int i = 1; i <= count; ++i) {
    SeriesYears& y = tsi1.year_row(i);
    y.ify = spans[static_cast<std::size_t>(i - 1)].first;
    y.ily = spans[static_cast<std::size_t>(i - 1)].second;
    for (int year = y.ify; year <= y.ily; ++year) tsi1.at(year - first + 1, i) = value(i, year);
  }
  tsi1.year_row(count + 1).ify = first;
  tsi1.year_row(count + 1).ily = last;
  return tsi1;
}

// A fresh folder for the files of one test.
inline std::filesystem::path scratch(const std::string& name) {
  auto dir = std::filesystem::temp_directory_path() / ("statistics_test_" + name);
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

inline std::vector<std::string> lines_of(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Two trees of two cores over 1901-2000: a common wave, a tree wave of twice its amplitude
// and a wave of each core's own, all orthogonal. Hand: every series has variance 6 units
// (1 + 4 + 1); cores of one tree share 5 of them (r = 5/6), cores of different trees 1
// (r = 1/6). A fifth series starts in 1902 and is left out.
inline Tsi1 two_trees() {
  const std::vector<std::string> ids{"ABC01A  ", "ABC01B  ", "ABC02A  ", "ABC02B  ", "ABC03A  "};
  return store(ids, 1890, 2010,
               {{1890, 2010}, {1895, 2000}, {1901, 2005}, {1890, 2010}, {1902, 2010}},
               [](int i, int year) {
                 const int t = year - 1901;
                 const int tree = i <= 2 ? 2 : 3;
                 return 10.0f + wave(1, t, 100) + 2.0f * wave(tree, t, 100) + wave(3 + i, t, 100);
               });
}

struct Session {
  explicit Session(const std::string& name, const std::string& script = "")
      : dir(scratch(name)),
        in(script),
        con(in, out),
        plots(con, units.files(), PlotSession::Screen::none) {
    units.create(unit::out, (dir / "out.txt").string());
  }
  std::vector<std::string> report() {
    units.close(unit::out);
    return lines_of(dir / "out.txt");
  }
  std::filesystem::path dir;
  std::istringstream in;
  std::ostringstream out;
  Console con;
  Units units;
  PlotSession plots;
};

// The options of a period 1901-2000 with the given printout option.
inline Icommands period_options(int printout = 1, int plots = 0) {
  Icommands ic;
  ic[opt::common_period_first] = 1901;
  ic[opt::common_period_last] = 2000;
  ic[opt::printout] = printout;
  ic[opt::summary_plots] = plots;
  return ic;
}

// Tree numbers as the run driver leaves them: by the mask, 0 for a series that does not
// cover the period.
inline void number_trees(Tsi1& tsi1) {
  stc(tsi1, "SSSTTCC ");
  for (int i = 1; i <= tsi1.count; ++i) {
    SeriesYears& y = tsi1.year_row(i);
    if (y.ify > 1901 || y.ily < 2000) y.cpa = 0;
  }
}

inline bool has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// n series over 1901-2000, each a common wave and one of its own: r = 1/2 for every pair
// (or 0 without the common wave), every series its own tree.
inline Tsi1 single_cores(int n, float common) {
  std::vector<std::string> ids;
  for (int i = 1; i <= n; ++i) ids.push_back(Layout("('S',i3.3,'A  ')").write(i));
  return store(ids, 1901, 2000, std::vector<std::pair<int, int>>(n, {1901, 2000}),
               [common](int i, int year) {
                 return 5.0f + common * wave(1, year - 1901, 100) + wave(1 + i, year - 1901, 100);
               });
}

}  // namespace dendro::period_test
