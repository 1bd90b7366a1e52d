// Small series stores for the correlation tests, and a fixture that keeps what a routine
// reports on the console and to the general output file.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <span>
#include <sstream>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro::testing {

struct TestSeries {
  std::string id;
  int first_year;
  std::vector<float> values;  // one per year from first_year
};

// The store of the series on the years first_year..last_year (cells without a value
// hold the missing-year marker).
// Uniform deviates on [-0.5, 0.5) from a fixed 64-bit linear congruential generator
// (Knuth's MMIX constants), so every run sees the same noise.
class Noise {
 public:
  explicit Noise(std::uint64_t seed) : state_(seed) {}
  float next() {
    state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<float>(static_cast<double>(state_ >> 11) * 0x1.0p-53 - 0.5);
  }
  // A whole number from 0 to n - 1.
  int below(int n) { return static_cast<int>((next() + 0.5f) * static_cast<float>(n)) % n; }

 private:
  std::uint64_t state_;
};

inline Tsi1 make_store(int first_year, int last_year, const std::vector<TestSeries>& series) {
  Tsi1 tsi1;
  tsi1.reshape(last_year - first_year + 1, static_cast<int>(series.size()));
  for (int i = 1; i <= tsi1.count; ++i) {
    const TestSeries& s = series[static_cast<std::size_t>(i - 1)];
    SeriesYears& y = tsi1.year_row(i);
    y.ify = s.first_year;
    y.ily = s.first_year + static_cast<int>(s.values.size()) - 1;
    for (std::size_t t = 0; t < s.values.size(); ++t) {
      tsi1.at(s.first_year - first_year + 1 + static_cast<int>(t), i) = s.values[t];
    }
    tsi1.ids.push_back(field(s.id, 8));  // the store holds ids as 8-character fields
  }
  SeriesYears& set = tsi1.year_row(tsi1.count + 1);
  set.ify = first_year;
  set.ily = last_year;
  return tsi1;
}

// Patterns of period 2 and 4 with mean 0: orthogonal over any multiple of 4 years, so
// the correlations between u, -u and v are exactly 1, -1 and 0.
// Pearson's r from its definition, in double precision: the reference for the single-
// precision sums, which agree with it to a few units in the sixth decimal.
inline double pearson(std::span<const float> x, std::span<const float> y) {
  const double n = static_cast<double>(x.size());
  double mx = 0, my = 0;
  for (std::size_t t = 0; t < x.size(); ++t) {
    mx += x[t];
    my += y[t];
  }
  mx /= n;
  my /= n;
  double sxx = 0, syy = 0, sxy = 0;
  for (std::size_t t = 0; t < x.size(); ++t) {
    sxx += (x[t] - mx) * (x[t] - mx);
    syy += (y[t] - my) * (y[t] - my);
    sxy += (x[t] - mx) * (y[t] - my);
  }
  return sxy / std::sqrt(sxx * syy);
}

inline std::vector<float> pattern_u(int n, float sign = 1.0f) {
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) x[t] = 1.0f + sign * 0.5f * (t % 2 == 0 ? 1.0f : -1.0f);
  return x;
}
inline std::vector<float> pattern_v(int n) {
  std::vector<float> x(static_cast<std::size_t>(n));
  for (int t = 0; t < n; ++t) x[t] = 1.0f + 0.5f * (t % 4 < 2 ? 1.0f : -1.0f);
  return x;
}

// Runs a routine on a console and a general output file of its own; console_ and report_
// then hold what it wrote.
class ReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::path(::testing::TempDir()) /
            (std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".out");
  }
  void TearDown() override { std::filesystem::remove(path_); }

  template <class Routine>
  auto run_reporting(Routine&& routine) {
    console_.str("");
    std::istringstream in;
    Console con(in, console_);
    Units units;
    units.create(unit::out, path_.string());
    auto result = routine(con, units);
    units.close(unit::out);
    std::ifstream f(path_);
    std::stringstream text;
    text << f.rdbuf();
    report_ = text.str();
    return result;
  }

  std::filesystem::path path_;
  std::ostringstream console_;
  std::string report_;
};

}  // namespace dendro::testing
