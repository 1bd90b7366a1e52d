// Both programs on edge inputs made here: every output file and the console must hold only
// numbers that read back (readable_scan.h), and each edge is written in its sound way.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "harness.h"
#include "readable_scan.h"
#include "series/store.h"
#include "series/tucson.h"

#ifdef PELLIFORM_PATH

namespace dendro::e2e {
namespace {

// A ring-width series of n years: a wave on a level, with `phase` setting it apart.
std::vector<float> wave(int n, float phase, float level = 1.0f) {
  std::vector<float> w;
  for (int t = 0; t < n; ++t) {
    const float v = level + 0.3f * std::sin(0.9f * static_cast<float>(t) + phase) +
                    0.2f * std::exp(-0.02f * static_cast<float>(t));
    w.push_back(std::round(v * 1000.0f) / 1000.0f);
  }
  return w;
}

struct Series {
  std::string id;
  int first = 0;
  std::vector<float> values;
};

std::string ring_width_file(const std::vector<Series>& set) {
  std::ostringstream out;
  for (const Series& s : set) trrw_write(out, TucsonMode::mw, s.id, s.first, s.values, {}, "");
  return out.str();
}

// The answers after the file name: input format, the index (ratios unless `index` says
// otherwise), no reduction, the curve fit, the mean (1 arithmetic), the running-RBAR window
// (with its spline question), the default convergence settings, and "c" at every plot page.
std::string answers(const std::string& file, const std::string& format, const std::string& fit,
                    const std::string& window, const std::string& index = "R") {
  std::string input = file + "\n" + format + "\n" + index + "\n\n" + fit + "\n1\n" + window + "\n";
  if (window != "0") input += "0\n";
  input += "\n\n";
  for (int k = 0; k < 400; ++k) input += "c\n";
  return input;
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Runs pelliform on the set and checks the console and every file it wrote.
RunResult run_clean(Sandbox& box, const std::string& file, const std::string& input) {
  const RunResult r = box.run(PELLIFORM_PATH, input);
  EXPECT_EQ(r.status, 0) << r.output;
  const auto console = scan_text("console", r.output);
  EXPECT_TRUE(console.empty()) << describe(console);
  const auto files = scan_folder(box.dir(), {file});
  EXPECT_TRUE(files.empty()) << describe(files);
  return r;
}

TEST(readable_scan, flags_overflow_run_together_and_not_a_number) {
  const std::string bad =
      "gap   1940****  0****  0\n"       // 1: asterisks in index records
      "  1940     0 -999.000-999.000\n"  // 2: run together
      "  1.234-5.678\n"                  // 3: run together
      " 1.5 ****** 2.5\n"                // 4: a field of asterisks
      "  0.125     nan    -inf\n"        // 5: not a number
      "  985***\n"                       // 6: asterisks
      "*****      1  -0.226 -99.900\n"   // 7: the first field of a row
      "  1506  0.0011094.264    3\n";    // 8: two decimal points
  const auto found = scan_text("f", bad);
  std::vector<int> lines;
  for (const Unreadable& u : found) lines.push_back(u.line);
  EXPECT_EQ(lines, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8})) << describe(found);
  EXPECT_EQ(found[0].file, "f");
}

TEST(readable_scan, passes_headings_ids_ranges_and_dates) {
  const std::string good =
      "                **********************************\n"
      "                ***       Creation Date:       ***\n"
      "                ***         10/17/2013         ***\n"
      " *** note: the series 10ALAN-A is read\n"
      " |************* plot options menu ***************|\n"
      "site_comm=1850-1990.txt  1940-1959  2024-05-16\n"
      "  1940     0  -999.00 -999.00  -9.990  Information infant\n"
      "gap   19001085  31114  31023  3 886  3  std\n"
      "nm580.1880-191 44 362  1.5e-3  -99.900  0.848*  v43ptr08\n"
      " *** 2 series left out\n"
      "**********************************\n";
  EXPECT_TRUE(scan_text("f", good).empty()) << describe(scan_text("f", good));
}

TEST(readable_outputs, a_gap_of_whole_decades_reads_back_as_a_gap) {
  // Three series over 1900-1939 and three over 1960-1999: no series covers 1940-1959.
  Sandbox box;
  std::vector<Series> set;
  for (int k = 0; k < 3; ++k) set.push_back({"GA0" + std::to_string(k), 1900, wave(40, k)});
  for (int k = 0; k < 3; ++k) set.push_back({"GB0" + std::to_string(k), 1960, wave(40, k + 0.5f)});
  box.write_file("gap.rwl", ring_width_file(set));
  run_clean(box, "gap.rwl", answers("gap.rwl", "1", "", "25"));

  // The column file: the empty-cell marker with a blank before it, the standard errors
  // with the missing-year marker.
  const auto rows = box.read_lines("gap_crns_col.txt");
  ASSERT_GT(rows.size(), 42u);
  EXPECT_EQ(rows[41],
            "  1940     0  -999.00 -999.00 -999.00 -999.00  -9.990  -9.990 -999.00 -999.00");
  // The tucson file: four chronologies, each read back with 1940-1959 missing.
  const auto chronologies = read_chronologies(box.read_file("gap_crns_tuc.txt"));
  ASSERT_EQ(chronologies.size(), 4u);
  for (const auto& c : chronologies) {
    ASSERT_EQ(c.size(), 100u);
    EXPECT_GT(c.at(1939), 0.5f);
    for (int year = 1940; year <= 1959; ++year) EXPECT_TRUE(is_missing(c.at(year))) << year;
    EXPECT_GT(c.at(1960), 0.5f);
  }
}

TEST(readable_outputs, a_gap_within_a_decade_leaves_the_chronology_out) {
  // No series covers 1945-1957: the index records cannot mark those years missing.
  Sandbox box;
  std::vector<Series> set;
  for (int k = 0; k < 3; ++k) set.push_back({"GA0" + std::to_string(k), 1900, wave(45, k)});
  for (int k = 0; k < 3; ++k) set.push_back({"GB0" + std::to_string(k), 1958, wave(40, k + 0.5f)});
  box.write_file("gap.rwl", ring_width_file(set));
  const RunResult r = run_clean(box, "gap.rwl", answers("gap.rwl", "1", "", "0"));
  EXPECT_TRUE(has(r.output,
                  " *** the standard chronology is not written to gap_crns_tuc.txt:\n"
                  "     no series covers 1945 to 1957, and the index records can leave "
                  "out only whole decades\n"
                  "     its values are kept in gap_crns_col.txt"))
      << r.output;
  EXPECT_TRUE(has(box.read_file("gap_out_v43ptr08.txt"),
                  " *** THE SIGNAL-FREE CHRONOLOGY IS NOT WRITTEN TO GAP_CRNS_TUC.TXT:"));
  EXPECT_TRUE(read_chronologies(box.read_file("gap_crns_tuc.txt")).empty());
}

TEST(readable_outputs, large_values_leave_series_and_chronologies_out) {
  // One ring of 500 mm among rings near 1 mm: its series does not fit the ring-width
  // records (at most 99.999 with a blank before it), and the arithmetic mean of its
  // index year is above 9.989, which the index records cannot hold.
  Sandbox box;
  std::vector<Series> set;
  for (int k = 0; k < 3; ++k) set.push_back({"BR0" + std::to_string(k), 1900, wave(50, k)});
  set[0].values[20] = 500.0f;
  box.write_file("big.rwl", ring_width_file(set));
  const RunResult r = run_clean(box, "big.rwl", answers("big.rwl", "1", "", "0"));
  EXPECT_TRUE(has(r.output,
                  " *** 1 series left out of big_STD_RAW_Data.txt, whose records hold "
                  "-9.998 to 99.999:\n     BR00 in 1920 holds 500.000"))
      << r.output;
  EXPECT_TRUE(has(r.output, " *** the standard chronology is not written to big_crns_tuc.txt:"));
  // The two other series are still in the file.
  const std::string data = box.read_file("big_STD_RAW_Data.txt");
  EXPECT_FALSE(has(data, "BR00"));
  EXPECT_TRUE(has(data, "BR01    1900"));
}

// Six series in the single-column layout, 1900-1959, of values between 981000 and 999000
// (a common wave and one of each series' own) with one of 999999.9, the largest it takes.
std::string near_a_million() {
  std::string text;
  char value[32];
  for (int k = 0; k < 6; ++k) {
    text += "MIL0" + std::to_string(k) + "\n1900\n";
    for (int t = 0; t < 60; ++t) {
      const double v = 990000.0 + 8000.0 * std::sin(0.9 * t) + 1000.0 * std::sin(0.37 * t + k);
      std::snprintf(value, sizeof value, "%.1f\n", k == 2 && t == 30 ? 999999.9 : v);
      text += value;
    }
  }
  return text;
}

TEST(readable_outputs, pelliform_on_column_values_up_to_999999_9) {
  // Ratios, power-transformed residuals, and the regional curve (-2 without pith offsets:
  // two pages, then no retry, no truncation, no series plots).
  std::string rcs = "one.txt\n3\n0\nR\n\n-2\nF\n1\n25\n0\n\n\nc\nc\nF\nF\nF\n";
  for (int k = 0; k < 400; ++k) rcs += "c\n";
  for (const std::string& input :
       {answers("one.txt", "3\n0", "", "25"), answers("one.txt", "3\n0", "6", "0", "S\nT"), rcs}) {
    Sandbox box;
    box.write_file("one.txt", near_a_million());
    run_clean(box, "one.txt", input);
  }
}

// Three waves a third of a cycle apart (pairwise correlations near -0.5), 100 years.
std::vector<Series> opposed_waves(const std::string& stem) {
  std::vector<Series> set;
  for (int k = 0; k < 3; ++k) {
    std::vector<float> v;
    for (int t = 0; t < 100; ++t) {
      v.push_back(std::round(1000.0f * (2.0f + 0.5f * std::sin(0.9f * static_cast<float>(t) +
                                                               2.0944f * static_cast<float>(k)))) /
                  1000.0f);
    }
    set.push_back({stem + std::to_string(k), 1900, v});
  }
  return set;
}

TEST(readable_outputs, eps_and_neff_are_undefined_for_a_negative_rbar) {
  // Three waves a third of a cycle apart: sin(x), sin(x + 120 deg), sin(x + 240 deg) have
  // pairwise correlations of cos(120 deg) = -0.5 over whole cycles, near it over windows.
  Sandbox box;
  const std::vector<Series> set = opposed_waves("NR0");
  box.write_file("neg.rwl", ring_width_file(set));
  run_clean(box, "neg.rwl", answers("neg.rwl", "1", "6", "25"));  // horizontal mean
  const auto lines = box.read_lines("neg_Std_RBAR.txt");
  ASSERT_EQ(lines.size(), 101u);
  for (std::size_t k = 1; k < lines.size(); ++k) {
    std::istringstream in(lines[k]);
    double year, n, rbar1, eps1, neff1, rbar2, eps2, neff2;
    in >> year >> n >> rbar1 >> eps1 >> neff1 >> rbar2 >> eps2 >> neff2;
    EXPECT_LT(rbar1, -0.4) << lines[k];
    EXPECT_EQ(eps1, -99.9) << lines[k];
    EXPECT_EQ(neff1, -99.9) << lines[k];
    EXPECT_EQ(eps2, -99.9) << lines[k];
    EXPECT_EQ(neff2, -99.9) << lines[k];
  }
}

TEST(readable_outputs, a_sample_depth_above_999_is_written_as_999_once_said) {
  Sandbox box;
  std::vector<Series> set;
  for (int k = 0; k < 1000; ++k) {
    char id[9];
    std::snprintf(id, sizeof id, "D%05d", k);
    set.push_back({id, 1950, wave(30, 0.1f * static_cast<float>(k))});
  }
  set.push_back({"E00000", 1960, wave(10, 0.5f)});  // depth 1001 in 1960-1969
  box.write_file("deep.rwl", ring_width_file(set));
  const RunResult r = run_clean(box, "deep.rwl", answers("deep.rwl", "1", "6", "0"));
  const std::string note =
      " *** sample depths above 999 are written as 999 to deep_crns_tuc.txt; the largest is "
      "1001 in 1960\n";
  EXPECT_EQ(r.output.find(note), r.output.rfind(note)) << "said once";
  EXPECT_TRUE(has(r.output, note)) << r.output;
  EXPECT_TRUE(has(box.read_file("deep_out_v43ptr08.txt"), "; THE LARGEST IS 1001 IN 1960"));
  const auto tucson = box.read_lines("deep_crns_tuc.txt");
  ASSERT_GT(tucson.size(), 3u);
  EXPECT_EQ(tucson[3].substr(14, 3), "999");  // depth of 1950
}

TEST(readable_outputs, kalder_on_real_files) {
  for (const char* file : {"keny002.rwl", "co021.rwl"}) {
    Sandbox box;
    box.copy_data(file);
    box.write_file("f.txt", std::string(file) + "\n");
    const RunResult r = box.kalder("\nf.txt\nT\nn\n\n\n\n");
    EXPECT_EQ(r.status, 0) << r.output;
    const auto console = scan_text("console", r.output);
    EXPECT_TRUE(console.empty()) << describe(console);
    const auto files = scan_folder(box.dir(), {file, "f.txt"});
    EXPECT_TRUE(files.empty()) << file << "\n" << describe(files);
  }
}

// kalder's default interactive run on the data file `file` of the box, with `options` typed
// at the menu before it starts: every file it wrote and the console read back.
RunResult run_kalder_clean(Sandbox& box, const std::string& file, const std::string& options = "",
                           int status = 0) {
  box.write_file("f.txt", file + "\n");
  const RunResult r = box.kalder("\nf.txt\nT\nn\n" + options + "\n\n\n" + std::string(40, '\n'));
  EXPECT_EQ(r.status, status) << r.output;
  const auto console = scan_text("console", r.output);
  EXPECT_TRUE(console.empty()) << file << "\n" << describe(console);
  const auto files = scan_folder(box.dir(), {file, "f.txt"});
  EXPECT_TRUE(files.empty()) << file << "\n" << describe(files);
  return r;
}

// Decade records of ring widths in 0.01 mm units, ended by 999.
std::string hundredths_series(const std::string& id, int first, const std::vector<float>& w) {
  std::string text;
  char field[32];
  int year = first;
  std::size_t next = 0;
  bool ended = false;
  while (!ended) {
    std::snprintf(field, sizeof field, "%-8s%4d", id.c_str(), year);
    std::string record = field;
    const int slots = year == first ? 10 - ((year % 10) + 10) % 10 : 10;
    for (int slot = 0; slot < slots && !ended; ++slot) {
      const bool value = next < w.size();
      std::snprintf(field, sizeof field, "%6d",
                    value ? static_cast<int>(std::lround(w[next++] * 100.0f)) : 999);
      record += field;
      ended = !value;
    }
    text += record + "\n";
    year += slots;
  }
  return text;
}

// kalder's default run on edge inputs: negatively correlated series; identical series in
// 0.001 and 0.01 mm (correlations of 1); a sample depth of 1004; release detection with a
// growth change threshold of 150 percent (option 20, a running mean of 10 years, the
// series tripling their growth halfway); a header-driven ring of 99999 mm, refused.
TEST(readable_outputs, kalder_on_edge_inputs) {
  std::vector<float> same = wave(60, 0.3f);
  for (float& v : same) v = std::round(v * 100.0f) / 100.0f;
  std::vector<Series> releasing;
  for (int k = 0; k < 3; ++k) {
    std::vector<float> w = wave(80, static_cast<float>(k), 0.5f);
    for (std::size_t t = 40; t < w.size(); ++t) w[t] *= 3.0f;
    releasing.push_back({"RL0" + std::to_string(k), 1900, w});
  }
  // A header-driven series of 49 rings of 1.00 mm and one of 99999.00 mm (line 17).
  std::string huge = "HUGE1" + std::string(74, ' ') + "#\nn       50      1950  (10f8.2)\n";
  for (int line = 0; line < 5; ++line) {
    for (int k = 0; k < 10; ++k) huge += line == 2 && k == 4 ? "99999.00" : "    1.00";
    huge += "\n";
  }
  struct Case {
    std::string file, text, options;
    int status;
    std::string says;
  };
  const Case cases[] = {
      {"neg.rwl", ring_width_file(opposed_waves("NK0")), "", 0, ""},
      {"same.rwl",
       ring_width_file({{"SAME01", 1901, same}, {"SAME02", 1901, same}, {"SAME03", 1901, same}}) +
           hundredths_series("SAME04", 1901, same),
       "", 0, ""},
      {"deep.rwl", similar_series("DP", 998, 1901, 20) + similar_series("LT", 6, 1905, 20), "", 0,
       ""},
      {"rel.rwl", ring_width_file(releasing), "20\n2\nn\n10\n150\n", 0, ""},
      {"huge.rwl",
       ring_width_file({{"NORM01", 1950, wave(50, 0.0f)}, {"NORM02", 1950, wave(50, 1.0f)}}) + huge,
       "", 1,
       ">> sbr datar:  line 17, columns 33-40 \"99999.00\" is a ring of 99999 mm read in mm"},
  };
  for (const Case& c : cases) {
    Sandbox box;
    box.write_file(c.file, c.text);
    const RunResult r = run_kalder_clean(box, c.file, c.options, c.status);
    EXPECT_TRUE(has(r.output, c.says)) << c.file << "\n" << r.output;
  }
}

// kalder at its series limit: 1500 series over 1901-1940, the running rbar over windows of
// 10 years 5 apart (middle years 1906, 1920, 1925, 1930, 1935), printout 4 and the ring-width
// save. Every series covers every window, so each holds 1500 x 1499 / 2 = 1,124,250
// correlations, as many as the all-series rbar.
TEST(readable_outputs, kalder_at_1500_series_counts_its_correlations) {
  Sandbox box;
  box.write_file("many.rwl", similar_series("M", 1500, 1901, 40));
  run_kalder_clean(box, "many.rwl", "16\n10\n5\nn\n17\n4\n18\n1\n");
  for (const char* suffix : {"_raw_rbar.txt", "_ind_rbar.txt", "_res_rbar.txt"}) {
    const auto rows = box.read_lines(std::string("many.rwl") + suffix);
    ASSERT_EQ(rows.size(), 6u) << suffix;
    EXPECT_EQ(rows[0], "year\tcorrs\trbar\tsdev\tserr\teps \tcores");
    EXPECT_EQ(rows[1].substr(0, 18), "  1906.\t 1124250.\t") << suffix;
    EXPECT_EQ(rows[5].substr(0, 18), "  1935.\t 1124250.\t") << suffix;
  }
  const std::string out = box.read_file("many.rwl_out.txt");
  EXPECT_EQ(count_of(out,
                     "\n    year   1906.  1920.  1925.  1930.  1935.\n"
                     "    corr  1124250. 1124250. 1124250. 1124250. 1124250.\n"),
            3u);
  EXPECT_EQ(count_of(out, "\n 1124250   "), 3u) << "the all-series rbar rows (i8)";
}

// `count` series over 1901-1940 of independent noise about 1 mm and a faint common signal
// (its variance 0.0004 of theirs): their correlations average a few ten-thousandths, and
// NEFF, the sample depth over 1 + (depth - 1) RBAR, comes to a large share of the depth.
std::string faint_signal(int count) {
  std::mt19937 gen(1500);
  const auto uniform = [&gen] { return static_cast<float>(gen() % 2001) / 1000.0f - 1.0f; };
  std::vector<float> common(40);
  for (float& c : common) c = uniform();
  std::vector<Series> set;
  for (int k = 0; k < count; ++k) {
    char id[16];
    std::snprintf(id, sizeof id, "F%05d", k);
    std::vector<float> w;
    for (float c : common)
      w.push_back(std::round(1000.0f + 300.0f * uniform() + 6.0f * c) / 1000.0f);
    set.push_back({id, 1901, w});
  }
  return ring_width_file(set);
}

// pelliform at its series limit: 4500 series over 1901-1940 with the running RBAR. The
// first window's RBAR (0.0003) makes NEFF more than 1000: the field keeps its columns and
// its blank with fewer decimals.
TEST(readable_outputs, pelliform_at_4500_series) {
  Sandbox box;
  box.write_file("many.rwl", faint_signal(4500));
  const RunResult r = run_clean(box, "many.rwl", answers("many.rwl", "1", "", "25"));
  EXPECT_TRUE(has(r.output, "Total series read in:          4500  1901  1940    40")) << r.output;
  for (const char* name : {"many_Std_RBAR.txt", "many_Ssf_RBAR.txt"}) {
    const auto rows = box.read_lines(name);
    ASSERT_EQ(rows.size(), 41u) << name;
    EXPECT_EQ(rows[1].substr(0, 12), " 1901   4500") << name;
    for (const std::string& row : rows) EXPECT_EQ(row.size(), 60u) << name << "\n" << row;
  }
  const std::string neff = box.read_lines("many_Std_RBAR.txt")[1].substr(28, 8);
  EXPECT_EQ(neff[0], ' ');
  EXPECT_GT(std::stod(neff), 1000.0) << neff;
}

TEST(readable_outputs, kalder_on_series_before_minus_9999) {
  Sandbox box;
  box.write_file("early.rwl", ring_width_file({{"LONG01", -10020, wave(120, 0.0f)},
                                               {"SHORT1", -10000, wave(80, 1.3f)}}));
  run_kalder_clean(box, "early.rwl");
  // The detail records widen their year fields; the batch re-run reads them back.
  EXPECT_TRUE(has(box.read_file("early.rwl_detail.txt"), "\n   1  LONG01   -10020  -9901     0"));
  const std::string chronologies = box.read_file("early.rwl_crns.txt");
  const RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  EXPECT_EQ(batch.status, 0) << batch.output;
  EXPECT_FALSE(has(batch.output, "error in reading in data")) << batch.output;
  EXPECT_EQ(box.read_file("early.rwl_crns.txt"), chronologies);
  // The waves are predicted exactly from order 2 on: those orders have no criterion.
  EXPECT_TRUE(has(box.read_file("early.rwl_out.txt"),
                  "\n      ar( 0)      ar( 1)      ar( 2)      ar( 3)      ar( 4)      ar( 5)  \n"
                  "      175.39      116.67   undefined   undefined   undefined   undefined\n"));
}

TEST(readable_outputs, both_ends_of_the_years) {
  // Ending in 9999, the records after 9990-9999 are headed 10000 in five columns, and read back.
  Sandbox box;
  box.write_file("late.rwl", ring_width_file({{"LATE01", 9900, wave(100, 0.0f)},
                                              {"LATE02", 9910, wave(90, 1.3f)},
                                              {"LATE03", 9905, wave(95, 2.1f)}}));
  run_kalder_clean(box, "late.rwl", "18\n1\n");
  run_clean(box, "late.rwl", answers("late.rwl", "1", "", "25"));
  for (const char* name : {"late.rwl_raw.txt", "late_STD_RAW_Data.txt"})
    EXPECT_TRUE(has(box.read_file(name), "\nLATE03 10000 -9999\n")) << name;
  for (const char* name : {"late.rwl_crns.txt", "late_crns_tuc.txt"}) {
    const auto chronologies = read_chronologies(box.read_file(name));
    ASSERT_EQ(chronologies.size(), 4u) << name;
    for (const auto& c : chronologies) EXPECT_EQ(c.rbegin()->first, 9999) << name;
  }
  // Before -9999: running rbar over windows of 20 years, 10 apart (the first that all three
  // series cover starts in -10030: middle year -10020), and the mib pex save.
  Sandbox early;
  early.write_file("early.rwl", ring_width_file({{"EA01", -10040, wave(140, 0.0f)},
                                                 {"EA02", -10030, wave(120, 1.3f)},
                                                 {"EA03", -10035, wave(125, 2.1f)}}));
  run_kalder_clean(early, "early.rwl", "16\n20\n10\nn\n18\n3\n");
  EXPECT_TRUE(
      has(early.read_file("early.rwl_out.txt"), "\n    year  -10020. -10010. -10000.  -9990."));
  EXPECT_TRUE(has(early.read_file("early.rwl_raw.txt"), "\nEA01   -10040  -9901\n"));
}

TEST(readable_outputs, pelliform_on_series_before_minus_9999) {
  Sandbox box;
  box.write_file("early.rwl", ring_width_file({{"LONG01", -10020, wave(120, 0.0f)},
                                               {"SHORT1", -10000, wave(80, 1.3f)},
                                               {"SHORT2", -10010, wave(100, 2.1f)}}));
  run_clean(box, "early.rwl", answers("early.rwl", "1", "", "25"));
}

TEST(readable_outputs, both_programs_on_rings_up_to_999_99_mm) {
  // Rings near 1 mm, near 995 mm, and near 1 mm with one of 999.99 mm, in 0.001 and 0.01 mm.
  std::vector<float> mixed = wave(60, 1.0f), huge = wave(60, 2.0f, 995.0f);
  mixed[20] = 999.99f;
  Sandbox box;
  box.write_file(
      "big.rwl",
      ring_width_file(
          {{"NM01", 1900, wave(60, 0.0f)}, {"MX01", 1900, mixed}, {"HG01", 1900, huge}}) +
          hundredths_series("NM02", 1900, wave(60, 3.0f)) + hundredths_series("MX02", 1900, mixed) +
          hundredths_series("HG02", 1900, huge));
  // kalder with horizontal lines, printout 4 and ring-width saves, with and without adaptive power.
  run_kalder_clean(box, "big.rwl", "3\n4\n\n4\n6\n\n17\n4\n18\n1\n");
  const RunResult r = run_kalder_clean(box, "big.rwl", "4\n6\n\n17\n4\n18\n1\n");
  EXPECT_TRUE(has(r.output, "(-9.998 to 99.999)\n     core series save 5 to 7 (columns) holds it"));
  run_clean(box, "big.rwl", answers("big.rwl", "1", "", "25"));
}

}  // namespace
}  // namespace dendro::e2e

#endif
