#include "pelliform/sigfree.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engine_fixture.h"
#include "pelliform/engine_run.h"
#include "series/files/stop.h"
#include "series/index.h"

namespace dendro {
namespace {

using testing::EngineHarness;
using testing::SeriesSet;

float signal(int year) {
  return 1.0f + 0.2f * std::sin(static_cast<float>(year) * 0.7f) +
         0.1f * std::cos(static_cast<float>(year) * 0.13f);
}

// Pairs of series with the same years, each pair starting 10 years after the one before,
// growing along known straight lines by age times one common signal by year.
SeriesSet linear_pairs() {
  SeriesSet set;
  set.count = 24;
  set.per_start = 2;
  set.stagger = 10;
  set.growth = [](int j, int k) {
    return 3.0f + 0.1f * static_cast<float>(j) - 0.015f * static_cast<float>(k);
  };
  set.signal = signal;
  return set;
}

// The largest difference between the chronology and the signal, both scaled to mean 1.
double worst_error(std::span<const float> chron, int first_year) {
  const std::size_t n = chron.size();
  double c = 0, s = 0;
  for (std::size_t k = 0; k < n; ++k) {
    c += chron[k];
    s += signal(first_year + static_cast<int>(k));
  }
  double worst = 0;
  for (std::size_t k = 0; k < n; ++k) {
    worst = std::max(
        worst, std::fabs(chron[k] / (c / n) - signal(first_year + static_cast<int>(k)) / (s / n)));
  }
  return worst;
}

TEST(sigfree, common_signal_on_straight_growth_lines_is_recovered) {
  // Every year has at least two series, so the signal is removed everywhere; with the
  // signal divided out each series is its own straight line, which the linear fit holds
  // exactly: the chronology proportional to the signal is the fixed point.
  const auto dir = testing::scratch_folder("common_signal");
  EngineArgs a = testing::engine_args(linear_pairs(), dir);
  a.curve_fit_option = 3;
  a.rescale_switch = 'n';
  a.convergence_threshold = 1e-6f;
  EngineHarness h;
  h.run(a);
  EXPECT_EQ(a.restart_counter, 0);
  EXPECT_LT(a.iteration, kMaxIterations);
  const double before = worst_error(a.standard.column(1), 1801);
  const double after = worst_error(a.signal_free.column(1), 1801);
  EXPECT_GT(before, 0.02);  // the first pass's lines take up part of the signal's trend
  EXPECT_LT(after, 2e-3);
}

TEST(sigfree, series_files_of_a_ratio_run) {
  const auto dir = testing::scratch_folder("files_ratio");
  EngineArgs a = testing::engine_args(linear_pairs(), dir);
  a.curve_fit_option = 3;
  EngineHarness h;
  h.run(a);
  for (const char* name :
       {"oak_STD_RAW_Data.txt", "oak_STD_RAW_Curves.txt", "oak_STD_RAW_Ratios.txt",
        "oak_SSF_RAW_Data.txt", "oak_SSF_RAW_Curves.txt", "oak_SSF_RAW_Ratios.txt"}) {
    EXPECT_TRUE(std::filesystem::exists(dir / name)) << name;
  }
  // Window 0: no RBAR file.
  EXPECT_FALSE(std::filesystem::exists(dir / "oak_Std_RBAR.txt"));

  // The closing message, "Final iteration with convergence (<" f6.4 " change): " i2 after a
  // blank line: the iteration count in two columns (a converged run ends before 100).
  ASSERT_EQ(a.restart_counter, 0);
  ASSERT_GE(a.iteration, 1);
  ASSERT_LT(a.iteration, 10);  // one digit: the field shows a blank before it
  const std::string closing =
      "\nFinal iteration with convergence (<0.0001 change):  " + std::to_string(a.iteration) + "\n";
  EXPECT_NE(h.out.str().find(closing), std::string::npos) << h.out.str();
  std::ifstream data(dir / "oak_STD_RAW_Data.txt");
  std::string title, first;
  std::getline(data, title);
  std::getline(data, first);
  EXPECT_EQ(title.size(), 88u);
  // Series 1 starts in 1801: 9 values in its first decade record, 0.001 units.
  EXPECT_EQ(first.substr(0, 12), "TREE101 1801");
  // (3.0 + 0.1 - 0.015) x signal(1801) = 3.085 x 0.83259 = 2.5685 (python3: math.sin and
  // math.cos of 1801 x 0.7 and 1801 x 0.13), written in 0.001 units.
  EXPECT_EQ(first.substr(12, 6), "  2569");
}

TEST(sigfree, residual_and_raw_average_names) {
  const auto dir = testing::scratch_folder("files_resid");
  EngineArgs a = testing::engine_args(linear_pairs(), dir);
  a.curve_fit_option = pfit::raw_average;
  a.index_mode = 1;
  a.power_transform = 1;
  a.rbar_window = 51;
  EngineHarness h;
  h.run(a);
  EXPECT_TRUE(std::filesystem::exists(dir / "oak_STD_PTR_Data.txt"));
  // The raw-data average has no standard indices, but the iteration (option 6) has.
  EXPECT_FALSE(std::filesystem::exists(dir / "oak_STD_PTR_Resids.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "oak_SSF_PTR_Resids.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "oak_Raw_RBAR.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "oak_Ssf_RBAR.txt"));
  EXPECT_EQ(a.curve_fit_option, pfit::horizontal_mean);  // the driver restores its saved option
  // The stabilised chronologies are set and re-centred on 1.
  double mean = 0;
  for (int k = 1; k <= a.chronology_length(); ++k) mean += a.stabilised.at(k, 2);
  EXPECT_NEAR(mean / a.chronology_length(), 1.0, 0.02);
}

TEST(sigfree, every_run_ends_and_restarts_are_bounded) {
  // A threshold of 0 is never met: each run ends at the iteration limit or hands back a
  // restart; the driver's restarts end after the tenth.
  const auto dir = testing::scratch_folder("bounded");
  SeriesSet set = linear_pairs();
  EngineArgs saved = testing::engine_args(set, dir);
  EngineHarness h(std::string(200000, '\n'));
  int calls = 0;
  int restart = 0;
  EngineArgs a;
  do {
    a = saved;
    a.restart_counter = restart;
    a.added_constant = 0.1f * static_cast<float>(restart);
    for (float& v : a.measurements.cells) v += a.added_constant;
    a.curve_fit_option = 30;
    a.convergence_threshold = 0.0f;
    h.run(a);
    restart = a.restart_counter;
    ++calls;
    EXPECT_LE(a.iteration, kMaxIterations);
  } while (restart >= 1 && restart <= kMaxRestarts && calls < 20);
  EXPECT_LE(calls, kMaxRestarts + 1);
  EXPECT_TRUE(restart == 0 || restart == kMaxRestarts + 1);
}

// linear_pairs() with fixed pseudo-random noise on every ring: with the super smoother
// (option -5) the convergence statistics of this set keep rising after iteration 6 through
// every restart, and the last two iterations differ by more than 0.002 in some years.
SeriesSet noisy_pairs() {
  SeriesSet set = linear_pairs();
  set.growth = [](int j, int k) {
    unsigned state = static_cast<unsigned>(j * 1000 + k) * 2654435761u;
    state = state * 1103515245u + 12345u;
    const float noise = static_cast<float>((state >> 16) & 0x7fff) / 32768.0f - 0.5f;
    return 3.0f + 0.1f * static_cast<float>(j) - 0.015f * static_cast<float>(k) + 0.3f * noise;
  };
  return set;
}

// Runs the engine as the driver does: the saved measurements plus 0.1 x the restart
// counter, until the engine asks for no further restart. Returns the number of calls.
int run_with_restarts(EngineHarness& h, const EngineArgs& saved, EngineArgs& a) {
  int restart = 0, calls = 0;
  do {
    a = saved;
    a.restart_counter = restart;
    a.added_constant = 0.1f * static_cast<float>(restart);
    for (float& v : a.measurements.cells) {
      if (v != kEmptyCell) v += a.added_constant;
    }
    h.run(a);
    restart = a.restart_counter;
    ++calls;
  } while (restart >= 1 && restart <= kMaxRestarts && calls <= kMaxRestarts + 1);
  return calls;
}

// Values of the series `id` in a tucson ring-width file (0.001 units, i6 fields from
// column 13), up to its end marker.
std::vector<int> tucson_values(const std::filesystem::path& file, const std::string& id) {
  std::ifstream in(file);
  std::vector<int> values;
  for (std::string line; std::getline(in, line);) {
    if (!line.starts_with(id)) continue;
    for (std::size_t at = 12; at + 6 <= line.size(); at += 6) {
      const int v = std::stoi(line.substr(at, 6));
      if (v == -9999) return values;
      values.push_back(v);
    }
  }
  return values;
}

TEST(sigfree, without_convergence_every_final_result_is_the_kept_iteration) {
  const auto dir = testing::scratch_folder("not_converged");
  EngineArgs saved = testing::engine_args(noisy_pairs(), dir);
  saved.curve_fit_option = -5;
  EngineHarness h(std::string(200000, '\n'));
  EngineArgs a;
  ASSERT_EQ(run_with_restarts(h, saved, a), kMaxRestarts + 1);
  ASSERT_EQ(a.restart_counter, kMaxRestarts + 1);

  // The kept iteration is the one before the rise; the rejected one stays in the table.
  const int kept = a.iteration;
  const int n = a.chronology_length();
  float gap = 0;
  for (int k = 1; k <= n; ++k) {
    gap = std::max(gap, std::fabs(a.iteration_chronologies.at(k, kept + 1) -
                                  a.iteration_chronologies.at(k, kept + 2)));
  }
  ASSERT_GT(gap, 0.002f);  // large enough for the checks below to tell the two apart

  const std::string out = h.out.str();
  EXPECT_EQ(out.find("Final iteration with convergence"), std::string::npos);
  EXPECT_NE(
      out.find("\nNo convergence (<0.0001 change) after 11 engine calls, constant added: 1.000\n"
               "Every final result comes from iteration " +
               std::to_string(kept) +
               ", the last before the tests rose:\n"
               "chronology, spread, standard error, stabilised chronology, sample depth\n"
               "and the signal-free series files.\n"),
      std::string::npos)
      << out;

  // Chronology, spread and depth against the year matrix the engine leaves (the indices
  // the running RBAR reads), by hand: arithmetic mean and standard deviation (n - 1) of
  // each year's values; the chronology is that mean shifted by the unit-mean constant.
  std::vector<double> shift;
  for (int k = 1; k <= n; ++k) {
    double sum = 0, squares = 0;
    int count = 0;
    for (int j = 1; j <= a.series_count; ++j) {
      const float v = a.year_matrix.at(k, j);
      if (v == kEmptyCell) continue;
      sum += v;
      ++count;
    }
    ASSERT_EQ(a.sample_depth[at(k)], count) << k;
    const double mean = sum / count;
    for (int j = 1; j <= a.series_count; ++j) {
      const float v = a.year_matrix.at(k, j);
      if (v != kEmptyCell) squares += (v - mean) * (v - mean);
    }
    const double sd = count > 1 ? std::sqrt(squares / (count - 1)) : 0.0;
    EXPECT_NEAR(a.signal_free.at(k, 2), sd, 2e-5) << k;
    EXPECT_EQ(a.signal_free.at(k, 1), a.iteration_chronologies.at(k, kept + 1)) << k;
    shift.push_back(a.signal_free.at(k, 1) - mean);
  }
  for (double d : shift) EXPECT_NEAR(d, shift.front(), 2e-5);

  // The signal-free curves file: with ratios each year-matrix index is the measurement over
  // the curve, and the file holds the curve less the constant in 0.001 units.
  const std::vector<int> curve = tucson_values(dir / "oak_SSF_RAW_Curves.txt", "TREE101");
  ASSERT_EQ(curve.size(), 120u);
  for (int k = 1; k <= 120; ++k) {
    const float fitted = static_cast<float>(curve[at(k)]) / 1000.0f + a.added_constant;
    EXPECT_NEAR(a.year_matrix.at(k, 1), a.measurements.at(k, 1) / fitted, 5e-4) << k;
  }
}

TEST(sigfree, without_convergence_the_stabilised_chronology_is_the_kept_one) {
  const auto dir = testing::scratch_folder("not_converged_rbar");
  EngineArgs saved = testing::engine_args(noisy_pairs(), dir);
  saved.curve_fit_option = -5;
  saved.rbar_window = 51;
  EngineHarness h(std::string(200000, '\n'));
  EngineArgs a;
  ASSERT_EQ(run_with_restarts(h, saved, a), kMaxRestarts + 1);
  // The running RBAR stabilises the kept chronology, the table's column 1.
  for (int k = 1; k <= a.chronology_length(); ++k) {
    EXPECT_EQ(a.rbar_chronology.at(k, 1), a.iteration_chronologies.at(k, a.iteration + 1)) << k;
  }
}

// The whole of a file, byte for byte.
std::string file_text(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// noisy_pairs() by negative exponential curves, series 3, 7 and 11 cut to 12, 15 and 18
// rings (too few for the curve, which says so on the console each time it is fitted),
// through every restart, with a running RBAR; the engine's series on `threads` threads.
struct ThreadedRun {
  EngineArgs a;
  std::string console;
  std::filesystem::path dir;
};

ThreadedRun run_on_threads(int threads) {
  ThreadedRun r;
  r.dir = testing::scratch_folder("threads_" + std::to_string(threads));
  EngineArgs saved = testing::engine_args(noisy_pairs(), r.dir);
  saved.curve_fit_option = 1;
  saved.rbar_window = 51;
  for (auto [j, rings] : {std::pair{3, 12}, std::pair{7, 15}, std::pair{11, 18}}) {
    saved.years[at(j)].last = saved.years[at(j)].first + rings - 1;
  }
  EngineHarness h(std::string(200000, '\n'));
  h.threads = threads;
  run_with_restarts(h, saved, r.a);
  r.console = h.out.str();
  return r;
}

// The series of each pass go to several threads: the console lines, every file and every
// result must be those of a run on one thread, bit for bit, the lines in series order.
TEST(sigfree, the_number_of_threads_changes_nothing) {
  const ThreadedRun one = run_on_threads(1);
  const ThreadedRun four = run_on_threads(4);
  ASSERT_GE(one.a.iteration, 2);
  EXPECT_EQ(four.console, one.console);
  EXPECT_EQ(four.a.signal_free.cells, one.a.signal_free.cells);
  EXPECT_EQ(four.a.standard.cells, one.a.standard.cells);
  EXPECT_EQ(four.a.stabilised.cells, one.a.stabilised.cells);
  EXPECT_EQ(four.a.iteration_chronologies.cells, one.a.iteration_chronologies.cells);
  EXPECT_EQ(four.a.year_matrix.cells, one.a.year_matrix.cells);
  EXPECT_EQ(four.a.iteration, one.a.iteration);
  EXPECT_EQ(four.a.restart_counter, one.a.restart_counter);
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(one.dir)) {
    const auto name = entry.path().filename();
    if (name == ".dendro.lock") continue;  // the run's hold of the folder, which stays
    EXPECT_EQ(file_text(four.dir / name), file_text(entry.path())) << name;
    ++files;
  }
  EXPECT_EQ(files, 8);  // three standard and three signal-free series files, two RBAR files

  // Each fit of the three short series says so, always in series order.
  std::vector<int> said;
  const std::string head = ">> sbr curve:  only";
  for (std::size_t at = four.console.find(head); at != std::string::npos;
       at = four.console.find(head, at + 1)) {
    said.push_back(std::stoi(four.console.substr(at + head.size(), 3)));
  }
  ASSERT_GE(said.size(), 6u);
  ASSERT_EQ(said.size() % 3, 0u);
  for (std::size_t k = 0; k < said.size(); ++k)
    EXPECT_EQ(said[k], 12 + 3 * static_cast<int>(k % 3)) << k;
}

// The series files are written when the iteration loop ends: a run that stops inside the
// loop (the answers end at a plot of the second iteration or later) must still leave the
// signal-free series files of an iteration, every series in them.
TEST(sigfree, a_run_stopped_within_the_iterations_leaves_the_signal_free_files) {
  const auto dir = testing::scratch_folder("stopped_loop");
  const SeriesSet set = linear_pairs();
  bool stopped_late = false;
  // Plot menu, no retry, no truncation, lots of plots; then fewer and fewer plot answers
  // short of a whole run.
  for (int answers = 400; answers >= 0 && !stopped_late; answers -= 5) {
    std::filesystem::remove(dir / "oak_SSF_RAW_Data.txt");
    EngineArgs a = testing::engine_args(set, dir);
    a.rcs_flag = 1;
    a.curve_fit_option = 4;
    a.convergence_threshold = 0.0f;
    EngineHarness h("\n\nF\nF\nT\n" + std::string(static_cast<std::size_t>(answers), '\n'));
    try {
      h.run(a);
    } catch (const Stop&) {
      stopped_late = a.iteration >= 2;
    }
  }
  ASSERT_TRUE(stopped_late);
  std::set<std::string> ids;
  std::ifstream data(dir / "oak_SSF_RAW_Data.txt");
  ASSERT_TRUE(data.good());
  std::string line;
  std::getline(data, line);  // the title
  while (std::getline(data, line)) ids.insert(line.substr(0, 8));
  EXPECT_EQ(ids.size(), 24u);
}

// The message the engine stops with on `set`, or "" when it runs.
std::string refusal(const SeriesSet& set, const std::filesystem::path& dir) {
  EngineArgs a = testing::engine_args(set, dir);
  EngineHarness h;
  try {
    h.run(a);
  } catch (const Stop& s) {
    return s.what();
  }
  return "";
}

TEST(sigfree, a_set_without_overlapping_series_is_refused) {
  const auto dir = testing::scratch_folder("no_overlap");
  SeriesSet one = linear_pairs();
  one.count = 1;
  EXPECT_EQ(refusal(one, dir),
            "*** The set holds one series only: the signal-free method needs series that "
            "overlap. Run ended.");
  EXPECT_FALSE(std::filesystem::exists(dir / "oak_STD_RAW_Data.txt"));

  // Three series of 120 years, each starting 120 years after the one before.
  SeriesSet apart = linear_pairs();
  apart.count = 3;
  apart.per_start = 1;
  apart.stagger = 120;
  EXPECT_EQ(refusal(apart, dir),
            "*** No two of the 3 series overlap in any year: the signal-free method needs "
            "series that overlap. Run ended.");
  // One shared year is enough to iterate on.
  apart.stagger = 119;
  EXPECT_EQ(refusal(apart, dir), "");
}

TEST(sigfree, regional_curve_retry_and_run) {
  const auto dir = testing::scratch_folder("regional");
  SeriesSet set = linear_pairs();
  EngineArgs a = testing::engine_args(set, dir);
  a.rcs_flag = 1;
  a.curve_fit_option = pfit::regional_curve;
  {
    // Plot menu, then "T" to the retry question: back to the driver at once.
    EngineHarness retry("\n\nT\n");
    retry.run(a);
    EXPECT_TRUE(a.retry_rcs);
  }

  EngineArgs b = testing::engine_args(set, dir);
  b.rcs_flag = 1;
  b.curve_fit_option = 4;  // a retry pass chose a straight regional curve
  b.convergence_threshold = 0.01f;
  EngineHarness run("\n\nF\nF\nF\n" + std::string(4000, '\n'));
  run.run(b);
  EXPECT_FALSE(b.retry_rcs);
  EXPECT_EQ(b.restart_counter, 0);
  std::ifstream curves(dir / "oak_RCScurves.txt");
  std::string head;
  std::getline(curves, head);
  // "Bio Year" right-justified in a10, then "   RC     fRC" left-justified in a15, 1x.
  EXPECT_EQ(head.substr(0, 26), "  Bio Year   RC     fRC   ");
  std::string age1;
  std::getline(curves, age1);
  EXPECT_EQ(age1.substr(0, 8), "    1.00");
}

TEST(sigfree, negative_regional_curve_warning) {
  // Growth that decays towards a floor: the straight regional curve fitted to it (option 4)
  // falls below 0 at the oldest ages, which brings the warning and the retry question.
  const auto dir = testing::scratch_folder("regional_negative");
  SeriesSet set = linear_pairs();
  set.growth = [](int, int k) { return 5.0f * std::exp(-0.05f * static_cast<float>(k)) + 0.05f; };
  set.signal = [](int) { return 1.0f; };
  EngineArgs a = testing::engine_args(set, dir);
  a.rcs_flag = 1;
  a.curve_fit_option = 4;
  // Two plot menus, the pause of the warning, then "T": back to the driver.
  EngineHarness h("\n\n\nT\n");
  h.run(a);
  EXPECT_TRUE(a.retry_rcs);
  // The first and the last warning line each follow a blank line (the first one's ends
  // the line of the plot menu's prompt, which the answer ends on a screen).
  const std::string warning =
      "enter option number > \n**************** WARNING ****************\n"
      "    Regional Curve goes south (negative) \n"
      " Suggest choosing another RCS configuration.\n"
      "\n**************** WARNING ****************\n"
      "                   Hit RETURN to Continue";
  EXPECT_NE(h.out.str().find(warning), std::string::npos) << h.out.str();
}

TEST(convergence, sftest_statistics) {
  // Depths 4, 1 and 0: the empty year is left out; weights sqrt(4/4) = 1, sqrt(1/4) = 1/2.
  const std::vector<float> d{0.2f, 0.4f, 9.0f};
  const std::vector<int> depth{4, 1, 0};
  const ConvergenceStats s = sftest(d, depth);
  EXPECT_FLOAT_EQ(s.uw_mean, 0.3f);
  EXPECT_FLOAT_EQ(s.uw_median, 0.3f);
  EXPECT_FLOAT_EQ(s.wt_mean, 0.2f);  // (0.2 + 0.4 / 2) / 2
  EXPECT_FLOAT_EQ(s.wt_median, 0.2f);
  // No year with depth: not a number, which ends the loop.
  EXPECT_TRUE(std::isnan(sftest(d, std::vector<int>{0, 0, 0}).uw_mean));
}

TEST(convergence, tested_statistic_by_switch_and_option) {
  EXPECT_EQ(tested_statistic('n', 1, -5), 0);
  EXPECT_EQ(tested_statistic('n', 2, 6), 0);
  EXPECT_EQ(tested_statistic('n', 2, -5), 2);
  EXPECT_EQ(tested_statistic('y', 1, 8), 0);
  EXPECT_EQ(tested_statistic('y', 2, 6), 1);
  EXPECT_EQ(tested_statistic('y', 2, -5), 3);
  EXPECT_EQ(tested_statistic('y', 3, -2), 1);
}

TEST(convergence, stop_and_restart_rule) {
  EXPECT_EQ(convergence_rule(0.0001f, 0.0f, 0.0001f, 3), RuleOutcome::converged);  // equal
  EXPECT_EQ(convergence_rule(0.5f, 0.4f, 0.0001f, 6),
            RuleOutcome::go_on);  // a rise by 6 is allowed
  EXPECT_EQ(convergence_rule(0.5f, 0.4f, 0.0001f, 7), RuleOutcome::not_monotonic);
  EXPECT_EQ(convergence_rule(0.4f, 0.5f, 0.0001f, 7), RuleOutcome::go_on);
  EXPECT_EQ(convergence_rule(0.4f, 0.5f, 0.0001f, 100), RuleOutcome::iteration_limit);
  EXPECT_EQ(convergence_rule(std::nanf(""), 0.5f, 0.0001f, 2), RuleOutcome::not_a_number);
}

}  // namespace
}  // namespace dendro
