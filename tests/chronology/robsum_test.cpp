#include "chronology/robsum.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "series/biweight.h"
#include "series/bootstrap.h"
#include "series/store.h"
#include "tests/chronology/run_fixture.h"
#include "tests/chronology/series_set.h"

namespace dendro {
namespace {

std::string bar_text(float mean, int year, char code, float reference = 1.0f) {
  const auto kind = static_cast<MeanKind>(code);
  const auto bar = text_bar(mean, year, bar_scale(kind, reference), kind);
  return std::string(bar.begin(), bar.end());
}

std::string padded(const std::string& s) { return s + std::string(32 - s.size(), ' '); }

TEST(text_bar, positions_and_marks) {
  // Raw data, scale reference 0.15: 0.1 / (0.3 / 31) + 1.5 = 11.83, the digit at 12, '-' on
  // 2 to 11 and ':' on 2.
  EXPECT_EQ(bar_text(0.1f, 1953, 'n', 0.15f), padded(" :---------3"));
  // Indices: 1.0 sits on the first mark; 0.5 at NINT(1.5 + 5.17) = 7 with '-' up to the mark.
  EXPECT_EQ(bar_text(1.0f, 1950, 's'), padded(" :         0         :"));
  EXPECT_EQ(bar_text(0.5f, 1957, 's'), padded(" :    7----:         :"));
  EXPECT_EQ(bar_text(1.5f, 1961, 'r'), padded(" :         :----1    :"));
  // 3.0 and above are drawn at character 32; the dashes run over the second mark.
  EXPECT_EQ(bar_text(3.0f, 1948, 's'), " :         :-------------------8");
  EXPECT_EQ(bar_text(7.0f, 1948, 's'), " :         :-------------------8");
  // Age-aligned data mark the scale and then dash from character 2.
  // 0.25 at NINT(1.5 + 25.83) = 27: the dashes from character 2 run over both marks.
  EXPECT_EQ(bar_text(0.25f, 1902, 'b', 0.15f), " :" + std::string(24, '-') + "2     ");
  // A mean of 0 stands on character 2.
  EXPECT_EQ(bar_text(0.0f, 2000, 'n', 0.15f), padded(" 0"));
}

TEST(text_bar, scale_by_reference_and_code) {
  EXPECT_EQ(bar_scale(MeanKind::raw, 0.2f).header, "0-------0.1-------0.2--->");
  EXPECT_EQ(bar_scale(MeanKind::age_aligned, 0.21f).header, "0----:---1/2---:----1--->");
  EXPECT_EQ(bar_scale(MeanKind::raw, 0.5f).header, "0----:---1/2---:----1--->");
  EXPECT_EQ(bar_scale(MeanKind::raw, 1.0f).header, "0----:----1----:----2--->");
  EXPECT_EQ(bar_scale(MeanKind::raw, 2.0f).header, "0----:----1----:----2--->");
  const BarScale wide = bar_scale(MeanKind::raw, 2.5f);
  EXPECT_EQ(wide.header, "0----1----2----3----4--->");
  EXPECT_EQ(wide.first_mark, 4);
  EXPECT_EQ(wide.second_mark, 7);
  EXPECT_EQ(bar_scale(MeanKind::standard, 0.1f).header, "0----:----1----:----2--->");
}

// Tukey's biweight as the mean routine defines it, in double: median M, MAD, then one pass
// from M and three more with u = (x - T) / (c MAD); weights (1 - u^2)^2 inside |u| < 1.
struct Biweight {
  double location = 0;
  std::vector<double> weights;  // of the values in the order given
};

Biweight brute_force_biweight(std::vector<double> x, double c) {
  std::vector<double> s = x;
  std::sort(s.begin(), s.end());
  const std::size_t n = s.size();
  const double median = (s[n - n / 2 - 1] + s[n / 2]) / 2;
  std::vector<double> d;
  for (double v : s) d.push_back(std::fabs(v - median));
  std::sort(d.begin(), d.end());
  const std::size_t h = (n + 1) / 2;
  const double mad = (d[n - h] + d[h - 1]) / 2;
  Biweight b;
  double t = median;
  for (int pass = 0; pass < 4; ++pass) {
    double sw = 0, swd = 0;
    b.weights.clear();
    for (double v : x) {
      const double u = (v - t) / (c * mad);
      const double w = std::fabs(u) < 1 ? (1 - u * u) * (1 - u * u) : 0.0;
      b.weights.push_back(w);
      sw += w;
      swd += w * (v - t);
    }
    t += swd / sw;
  }
  b.location = t;
  return b;
}

// Three series of 60 years, level + trend t + (0.1 + 0.01 t) sin(1.3 (t + i)) for series
// i = 0, 1, 2 in year t = 0 .. 59: a wave whose spread widens along the years.
std::vector<std::vector<float>> widening_series(float level, float trend) {
  std::vector<std::vector<float>> columns(3);
  for (int t = 0; t < 60; ++t) {
    const auto ft = static_cast<float>(t);
    for (int i = 0; i < 3; ++i) {
      columns[static_cast<std::size_t>(i)].push_back(
          level + trend * ft + (0.1f + 0.01f * ft) * std::sin(1.3f * static_cast<float>(t + i)));
    }
  }
  return columns;
}

class RobsumRun : public ChronologyRun {
 protected:
  // The arithmetic mean of widening_series over 1801-1860, stabilised by a spline of 50%
  // of its length (option 13 = -50) at printout 4; the general output file.
  std::vector<std::string> spline_stabilised(float level, float trend) {
    make_set(1801, widening_series(level, trend));
    icommands_[opt::mean_chronology] = 1;
    icommands_[opt::stabilisation] = -50;
    icommands_[opt::printout] = 4;
    run('s');
    return report();
  }
  // Series given as columns of years from `first`; kMissing marks no value.
  void make_set(int first, const std::vector<std::vector<float>>& columns) {
    store_ = series_set(first, columns);
    resize(store_.rows);
  }
  void resize(int n) {
    depth_.assign(static_cast<std::size_t>(n), -1);
    seg_.assign(static_cast<std::size_t>(n), -1.0f);
    age_.assign(static_cast<std::size_t>(n), -1.0f);
    crn_.assign(static_cast<std::size_t>(n), -1.0f);
    err_.assign(static_cast<std::size_t>(n), -1.0f);
    lower_.assign(static_cast<std::size_t>(n), 0.0f);
    upper_.assign(static_cast<std::size_t>(n), 0.0f);
  }
  void run(char kind, float reference = 1.0f, float rbar = 0.5f) {
    commands_.set_data_kind(std::string(1, kind) + " ");
    store(robsum(store_, static_cast<MeanKind>(kind), reference, rbar, icommands_,
                 {commands_, units_, plots_}, rand_),
          ChronologyColumns{depth_, seg_, age_, crn_, err_, lower_, upper_});
  }
  Tsi1 store_;
  Rand rand_;
  std::vector<int> depth_;
  std::vector<float> seg_, age_, crn_, err_, lower_, upper_;
};

constexpr float M = kMissing;

TEST_F(RobsumRun, arithmetic_means_depths_and_ages) {
  // 1901-1904: series 1 from 1901 to 1903, series 2 from 1902 to 1903, series 3 in 1901
  // only; no series in 1904.
  make_set(1901, {{0.9f, 1.2f, 0.6f, M}, {M, 1.0f, 1.4f, M}, {1.5f, M, M, M}});
  icommands_[opt::mean_chronology] = 1;
  icommands_[opt::bootstrap_limits] = 1;  // bootstrap limits
  lower_[3] = upper_[3] = 0.0f;
  run('s');
  EXPECT_EQ(depth_, (std::vector<int>{2, 2, 2, 0}));
  EXPECT_FLOAT_EQ(crn_[0], 1.2f);  // (0.9 + 1.5) / 2
  EXPECT_FLOAT_EQ(crn_[1], 1.1f);
  EXPECT_FLOAT_EQ(crn_[2], 1.0f);
  EXPECT_EQ(crn_[3], 1.0f);  // no series: 1.0 for indices
  // Segment lengths 3, 2, 1 years; ages in 1901: 1 and 1; in 1903: 3 and 2.
  EXPECT_FLOAT_EQ(seg_[0], 2.0f);
  EXPECT_FLOAT_EQ(seg_[2], 2.5f);
  EXPECT_FLOAT_EQ(age_[0], 1.0f);
  EXPECT_FLOAT_EQ(age_[2], 2.5f);
  EXPECT_EQ(seg_[3], 0.0f);
  EXPECT_EQ(age_[3], 0.0f);
  // Standard error sd / sqrt(n): 1901 sd = 0.6 / sqrt(2), error 0.3.
  EXPECT_NEAR(err_[0], 0.3f, 1e-6);
  EXPECT_EQ(err_[3], 0.0f);
  // Fewer than six values: both limits the mean; the empty year keeps its 0.0.
  EXPECT_FLOAT_EQ(lower_[1], 1.1f);
  EXPECT_FLOAT_EQ(upper_[1], 1.1f);
  EXPECT_EQ(lower_[3], 0.0f);
  // Raw data put 0.0 in the empty year.
  run('n');
  EXPECT_EQ(crn_[3], 0.0f);
}

TEST_F(RobsumRun, biweight_year_equals_brute_force) {
  const std::vector<double> year{0.92, 1.31, 0.87, 1.05, 2.90, 0.99, 1.12, 0.80, 1.01};
  std::vector<std::vector<float>> columns;
  for (double v : year) columns.push_back({static_cast<float>(v), 1.0f});
  make_set(1801, columns);
  icommands_[opt::mean_chronology] = 2;
  icommands_[opt::summary_plots] = 2;  // keeps the weights for the weights plot
  run('s');
  const Biweight expected = brute_force_biweight(year, 7.5);
  EXPECT_NEAR(crn_[0], expected.location, 1e-5);
  EXPECT_NEAR(crn_[1], 1.0, 1e-6);
  // The mean overlay vector holds the median of the year's weights after the weights pass.
  std::vector<double> w = expected.weights;
  std::sort(w.begin(), w.end());
  EXPECT_NEAR(store_.overlay[0], w[4], 1e-5);
  EXPECT_NEAR(store_.overlay[1], 1.0, 1e-6);
  // The series matrix holds the values again.
  EXPECT_FLOAT_EQ(store_.at(1, 5), 2.90f);
  // The weights page was shown, and continued with an empty answer.
  EXPECT_NE(out_.str().find("|           reset plot options  [99]           |"), std::string::npos);
}

TEST_F(RobsumRun, bootstrap_draws_follow_the_three_seeds) {
  // Year 1 has exactly six values: 700 resamples, the first drawn from the seeds.
  const std::vector<float> year1{0.82f, 1.10f, 0.95f, 1.31f, 0.77f, 1.02f};
  std::vector<std::vector<float>> columns;
  for (std::size_t i = 0; i < 8; ++i) {
    columns.push_back({i < 6 ? year1[i] : M, 0.9f + 0.05f * static_cast<float>(i)});
  }
  make_set(1701, columns);
  icommands_[opt::mean_chronology] = 2;
  icommands_[opt::bootstrap_limits] = 1;
  rand_.random();  // the builder resets the seeds itself
  run('r');
  const float lower = lower_[0], upper = upper_[0];
  const float lower2 = lower_[1], upper2 = upper_[1];
  EXPECT_LT(lower, crn_[0]);
  EXPECT_GT(upper, crn_[0]);
  EXPECT_LT(lower2, upper2);
  // The same limits again from a fresh call.
  run('r');
  EXPECT_EQ(lower_[0], lower);
  EXPECT_EQ(upper_[1], upper2);

  // The first year's draws by Wichmann and Hill (AS 183) from 12848, 13079, 22085, as
  // position int(u n) of the year's values.
  long s1 = 12848, s2 = 13079, s3 = 22085;
  auto u = [&]() {
    s1 = 171 * s1 % 30269;
    s2 = 172 * s2 % 30307;
    s3 = 170 * s3 % 30323;
    const float sum = static_cast<float>(s1) / 30269.0f + static_cast<float>(s2) / 30307.0f +
                      static_cast<float>(s3) / 30323.0f;
    return sum - std::floor(sum);
  };
  std::vector<float> replicates(700), sample(6);
  for (float& r : replicates) {
    for (float& v : sample) v = year1[static_cast<std::size_t>(u() * 6.0f)];
    r = biwgt(sample, 7.5f, 2).location;
  }
  std::vector<float> values = year1;
  const float mean = biwgt(values, 7.5f, 2).location;
  const BootstrapLimits limits = mccon(year1, 95.0f, mean, replicates, 2);
  EXPECT_EQ(lower, limits.bca.lower);
  EXPECT_EQ(upper, limits.bca.upper);
}

TEST_F(RobsumRun, table_rows_and_progress) {
  make_set(1950, {{0.9f, 1.0f}, {1.0f, 1.0f}, {1.1f, 1.0f}});
  icommands_[opt::mean_chronology] = 1;
  icommands_[opt::printout] = 3;
  run('s');
  const auto lines = report();
  EXPECT_TRUE(contains(lines, "         gaussian mean standard chronology"));
  EXPECT_TRUE(contains(lines, std::string(56, ' ') + "       indices"));
  EXPECT_TRUE(contains(lines,
                       "  year   cores   mean   std dev   std err    eff  iter  "
                       "0----:----1----:----2--->"));
  // Mean 1.0, sd 0.1, error 0.1 / sqrt(3) = 0.0577, efficiency 1, no iterations.
  EXPECT_TRUE(contains(lines,
                       "  1950      3   1.000    0.100     0.058   1.000    0  "
                       " :         0         :          "));
  EXPECT_NE(out_.str().find("\n calculate the gaussian standard tree-ring chronology\n"),
            std::string::npos);
  EXPECT_NE(out_.str().find("    year:   1950\n    year:   1951\n"), std::string::npos);
}

TEST_F(RobsumRun, statistics_of_a_single_series) {
  std::vector<float> x;
  for (int t = 0; t < 1200; ++t) x.push_back(1.0f + 0.3f * std::sin(0.37f * t));
  make_set(801, {x});
  icommands_[opt::mean_chronology] = 1;
  run('n');
  const auto lines = report();
  EXPECT_TRUE(contains(lines,
                       " |---------------- gaussian mean raw data chronology statistics"
                       " ----------------|"));
  // 1200 years print in nine characters; one series has no standard-deviation line.
  const auto row = std::find_if(lines.begin(), lines.end(), [](const std::string& l) {
    return l.starts_with("    801    2000     1200");
  });
  EXPECT_NE(row, lines.end());
  // "(f13.3,f13.3,f11.3,i23,i15)": no gains, 1200 losses (every efficiency is 1.0).
  EXPECT_TRUE(contains(lines, "        0.000        0.000      0.000" + std::string(22, ' ') + "0" +
                                  std::string(11, ' ') + "1200"));
  EXPECT_TRUE(contains(lines,
                       " |--------------------- segment length summary statistics"
                       " ----------------------|"));
  // "(f9.0,f15.0,f16.0,f13.0,f12.0,f14.0)": median, spread, minimum, hinges, maximum.
  EXPECT_TRUE(contains(lines, "    1200." + std::string(13, ' ') + "0." + std::string(11, ' ') +
                                  "1200." + std::string(8, ' ') + "1200." + std::string(7, ' ') +
                                  "1200." + std::string(9, ' ') + "1200."));
}

TEST_F(RobsumRun, stabilisation_moves_the_limits) {
  // rbar 0.5 with depths 1, 2, 4 and the chronology 1.0, 1.2, 0.8 (hand): mean 1.0, effective
  // depths 1, 2/1.5, 4/2.5; deviations 0, 0.2 sqrt(4/3) = 0.23094, -0.2 sqrt(1.6) = -0.25298;
  // rescaled to the mean 1.0 and sd 0.2 of the chronology over all three years.
  make_set(1601, {{1.0f, 1.2f, 0.8f}, {M, 1.2f, 0.8f}, {M, M, 0.8f}, {M, M, 0.8f}});
  icommands_[opt::mean_chronology] = 1;
  icommands_[opt::bootstrap_limits] = 1;
  icommands_[opt::stabilisation] = 1;
  icommands_[opt::printout] = 1;
  run('s', 1.0f, 0.5f);
  const double s[] = {0.0, 0.2 * std::sqrt(4.0 / 3.0), -0.2 * std::sqrt(1.6)};
  const double mean = (s[0] + s[1] + s[2]) / 3;
  double ss = 0;
  for (double v : s) ss += (v - mean) * (v - mean);
  const double sd = std::sqrt(ss / 2);
  for (int t = 0; t < 3; ++t) {
    const double expected = (s[t] - mean) / sd * 0.2 + 1.0;
    EXPECT_NEAR(crn_[t], expected, 1e-5);
    // Fewer than six values: the limits were the unstabilised mean, moved with it.
    EXPECT_NEAR(lower_[t], expected, 1e-5);
    EXPECT_NEAR(upper_[t], expected, 1e-5);
  }
  const auto lines = report();
  EXPECT_TRUE(contains(lines, " *** variance stabilized with briffa rbar-weighted method ***"));
  // Below printout 4 no decade-mean plot frames the stabilisation.
  EXPECT_FALSE(contains(lines, " *** series before variance stabilization ***"));
}

TEST_F(RobsumRun, the_stabilisation_lines_reach_the_console_after_the_years) {
  make_set(1601, {{1.0f, 1.2f, 0.8f}, {M, 1.2f, 0.8f}, {M, M, 0.8f}});
  icommands_[opt::mean_chronology] = 1;
  icommands_[opt::stabilisation] = 1;
  run('s', 1.0f, 0.0f);
  EXPECT_NE(out_.str().find("    year:   1603\n*** rbar .le. 0 in sbr stabbm ***\n"),
            std::string::npos);
}

TEST_F(RobsumRun, spline_stabilisation_reports_its_length) {
  // Option 13 = -50 asks for a spline of 50% of the 60 years: 30 years.
  const auto lines = spline_stabilised(1.0f, 0.0f);
  EXPECT_TRUE(contains(lines, " *** variance stabilized with spline curve fit ***"));
  EXPECT_TRUE(contains(lines, " spline curve fit used:    30  years"));
  EXPECT_EQ(icommands_[opt::stabilisation], -50);  // the option itself is not rewritten
  // The spread grows along the series; the stabilised chronology's does not.
  auto spread = [&](int from) {
    double s = 0;
    for (int t = from; t < from + 20; ++t) s += std::fabs(crn_[static_cast<std::size_t>(t)] - 1.0);
    return s;
  };
  EXPECT_LT(spread(40) / spread(0), 2.0);
}

TEST_F(RobsumRun, decade_plots_frame_the_stabilisation) {
  // Three series over 1801-1860 rising by 0.02 a year. Printout 4 writes the decade-mean
  // plot of the chronology before and after the spline stabilisation (5-year blocks for
  // 60 years), labelled 1800 .. 1850 (the last year 1860 takes one block off).
  const auto lines = spline_stabilised(0.5f, 0.02f);
  const std::string heading =
      "         ***  5-year means of measurements, curve fit (x), and indices ***";
  std::vector<std::size_t> at;
  for (std::size_t k = 0; k < lines.size(); ++k) {
    if (lines[k] == heading) at.push_back(k);
  }
  ASSERT_EQ(at.size(), 2u);
  // Before: the chronology as measurements and as indices, a flat curve of 1.0. Hand
  // (python, the mean of the three formulas over t = 0..4 and 50..54): 0.53855, 1.54641.
  const std::string first = lines[at[0] + 5];
  EXPECT_EQ(first.substr(0, 18), "  1800  0.54  1.00");
  EXPECT_EQ(first.substr(53, 6), "  0.54");
  const std::string last = lines[at[0] + 15];
  EXPECT_EQ(last.substr(0, 18), "  1850  1.55  1.00");
  EXPECT_EQ(last.substr(53, 6), "  1.55");
  EXPECT_EQ(lines[at[1] + 5].substr(0, 6), "  1800");
  EXPECT_EQ(lines[at[1] + 15].substr(0, 6), "  1850");
}

TEST_F(RobsumRun, age_aligned_kind_takes_the_aligned_span) {
  // The whole set runs 1901-1903; the aligned set (row count + 2) has 2 age rows.
  make_set(1901, {{1.0f, 2.0f, 3.0f}, {3.0f, 4.0f, 5.0f}});
  store_.year_row(4) = SeriesYears{.ify = 1, .ily = 2};
  icommands_[opt::mean_chronology] = 1;
  run('b', 3.0f);
  EXPECT_EQ(depth_[0], 2);
  EXPECT_FLOAT_EQ(crn_[0], 2.0f);
  EXPECT_FLOAT_EQ(crn_[1], 3.0f);
  EXPECT_EQ(crn_[2], -1.0f);  // beyond the aligned length: not written
  const auto lines = report();
  EXPECT_TRUE(contains(lines,
                       " |-------------- gaussian mean age-aligned chronology statistics"
                       " ---------------|"));
  // The report ends with the efficiency results: no segment lengths, autocorrelations or model.
  // Both years' standard deviations are sqrt(2): no correlation, and the line of the
  // deviations on the means is their level sqrt(2); no gains, two losses.
  EXPECT_EQ(lines.back(), "        0.000        0.000      1.414" + std::string(22, ' ') + "0" +
                              std::string(14, ' ') + "2");
}

TEST_F(RobsumRun, weights_file_needs_six_series_in_a_year) {
  make_set(1501, {{1.0f}, {1.1f}, {0.9f}, {1.2f}, {0.8f}});
  icommands_[opt::mean_chronology] = 2;
  icommands_[opt::core_series_save] = 1;
  run('r');
  EXPECT_FALSE(exists("site_res_wgts.txt"));
  make_set(1501, {{1.0f}, {1.1f}, {0.9f}, {1.2f}, {0.8f}, {1.05f}});
  commands_.set_header_line(3, "third");
  run('r');
  ASSERT_TRUE(exists("site_res_wgts.txt"));
  const auto lines = lines_of(path("site_res_wgts.txt"));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[2], "third" + std::string(75, ' ') + " wgts");
}

TEST_F(RobsumRun, weights_file_holds_the_weights_at_four_decimals) {
  // One year of six values, c = 7.5: median 1.025, MAD 0.1, four passes; the last pass gives
  // the weights 0.99964, 0.97141, 0.95743, 0.87578, 0.84933, 0.99432 (python3, the passes
  // of brute_force_biweight above in double). At four decimals each is a multiple of 1e-4,
  // so the compact save scales by 10^5, drops one common zero and writes width 5, p = -4.
  make_set(1501, {{1.0f}, {1.1f}, {0.9f}, {1.2f}, {0.8f}, {1.05f}});
  for (int i = 1; i <= 6; ++i) store_.year_row(i).ics = 1;  // every series is saved
  icommands_[opt::mean_chronology] = 2;
  icommands_[opt::core_series_save] = 4;
  run('r');
  const auto lines = lines_of(path("site_res_wgts.txt"));
  ASSERT_EQ(lines.size(), 12u);
  const std::string gap(45, ' ');  // from the id to column 69
  EXPECT_EQ(lines[0], "       1=n    1501=i S1" + gap + " -4(16f5.0)~ res");
  const char* const weights[] = {" 9996", " 9714", " 9574", " 8758", " 8493", " 9943"};
  for (std::size_t k = 0; k < 6; ++k) EXPECT_EQ(lines[2 * k + 1], weights[k]) << k;
}

}  // namespace
}  // namespace dendro
