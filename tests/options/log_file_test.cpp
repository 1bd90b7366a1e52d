#include "options/log_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <utility>

#include "boundaries.h"
#include "options/defaults.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/text.h"

namespace dendro {
namespace {

// A record as written: the label takes the full 50 characters from column 20.
std::string record(std::string_view values, std::string_view label) {
  return field(values, 19) + field(label, 50);
}

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

struct Defaults {
  Icommands ic;
  Commands cmd;
  Defaults() { reset_options(ic, cmd); }
};

std::vector<std::string> written(const Icommands& ic, std::string_view mask = "SSSTTCC ") {
  std::ostringstream out;
  wlf(ic, mask, out);
  return lines_of(out.str());
}

// Reads `content` as the log file of data file `name` into `ic` and `cmd`.
struct BatchRun {
  int status = -1;
  std::string console;
};
BatchRun read_log(const std::string& content, Icommands& ic, Commands& cmd,
                  std::string_view name = "oak1.txt") {
  // One file per test: ctest may run the tests of this file side by side.
  const std::string path = ::testing::TempDir() + "options_log_" +
                           ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".txt";
  std::ofstream(path, std::ios::trunc) << content;
  Units units;
  EXPECT_TRUE(units.open_old(unit::log, path));
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  BatchRun run;
  run.status = batch(units, ic, cmd, con, name);
  run.console = out.str();
  return run;
}

std::string log_text(const Icommands& ic, std::string_view mask = "SSSTTCC ") {
  std::ostringstream out;
  out << log_header(1, "oak1.txt") << '\n';
  wlf(ic, mask, out);
  return out.str();
}

// Expected records below were printed by gfortran 12 from the same layouts and values,
// e.g. write(*,'(a6,1x,a6,a6,t20,a50)') f1, f2, f3, lab with f1 = '-3', f2 = '7', f3 = '1'.
TEST(wlf, records_keep_their_columns) {
  Defaults d;
  d.ic[opt::first_detrending] = -3;
  d.ic[opt::first_detrending_parameter] = 7;
  d.ic[opt::first_detrending_plots] = 1;
  d.ic[opt::mean_chronology] = -50;
  d.ic[opt::bootstrap_limits] = 1;
  d.ic[opt::bootstrap_spline] = 20;
  d.ic[opt::bootstrap_plots] = 1;
  d.ic[opt::common_period_first] = 1900;
  d.ic[opt::common_period_last] = 1950;
  d.ic[opt::running_rbar_window] = 100;
  d.ic[opt::running_rbar_overlap] = 50;
  d.ic[opt::running_rbar_plots] = 1;
  d.ic[opt::missing_data_plots] = 0;
  auto r = written(d.ic);
  ASSERT_EQ(r.size(), 23u);
  EXPECT_EQ(r[0], record("1", "!tucson ring-width format"));
  EXPECT_EQ(r[1], record("-9           0", "!missing values estimated (no plots)"));
  EXPECT_EQ(r[3], record("-3     7     1", "!1st-median filter and window length"));
  EXPECT_EQ(r[4], record("0      0     0", "!2nd-no detrending performed"));
  EXPECT_EQ(r[11], record("-50 1   20   1", "!jth quantile with bootstrap limits"));
  EXPECT_EQ(r[13], record("1900  1950", "!first and last years of common period"));
  EXPECT_EQ(r[14], record("SSSTTCC", "!site-tree-core separation mask"));
  EXPECT_EQ(r[15], record("100   50     1", "!running rbar window/overlap (w/ plots)"));
  EXPECT_EQ(r[20], record("0", "!running mean window width"));
  EXPECT_EQ(r[22], record("0", "!standard error limit threshold"));
  EXPECT_EQ(log_header(7, "oak1.txt"), "data file #  7  --  oak1.txt" + std::string(32, ' '));
}

TEST(wlf, labels_follow_plot_flags_and_blank_codes) {
  Defaults d;
  d.ic[opt::transformation] = 2;
  d.ic[opt::transformation_plots] = 1;
  d.ic[opt::pooled_ar_order] = 3;  // a fixed order above 1 has no label
  d.ic[opt::pooled_ar_plots] = 1;
  d.ic[opt::stabilisation] = 2;      // stabilisation 2 has no label of its own in the file
  d.ic[opt::second_detrending] = 9;  // neither has spline code 9
  auto r = written(d.ic);
  EXPECT_EQ(r[2], record("2            1", "!log (rt+1/6) transform (w/ plots)"));
  EXPECT_EQ(r[4], record("9      0     0", ""));
  EXPECT_EQ(r[9], record("3            1", ""));
  EXPECT_EQ(r[12], record("2", ""));
}

TEST(wlf, quantile_code_of_minus_100_stays_apart_from_the_flag) {
  Defaults d;
  d.ic[opt::mean_chronology] = -100;
  d.ic[opt::bootstrap_limits] = 1;
  d.ic[opt::bootstrap_spline] = 20;
  d.ic[opt::bootstrap_plots] = 0;
  auto r = written(d.ic);
  // The flag moves one column to the right; the spline length and plot flag keep columns
  // 9-13 and 14.
  EXPECT_EQ(r[11], record("-100 1  20   0", "!jth quantile with bootstrap limits"));
  Defaults back;
  EXPECT_EQ(read_log(log_text(d.ic), back.ic, back.cmd).status, 0);
  EXPECT_EQ(back.ic[opt::mean_chronology], -100);
  EXPECT_EQ(back.ic[opt::bootstrap_limits], 1);
  EXPECT_EQ(back.ic[opt::bootstrap_spline], 20);
  EXPECT_EQ(back.ic[opt::bootstrap_plots], 0);
}

TEST(wlf, refuses_values_that_would_run_together_or_be_cut) {
  EXPECT_TRUE(fits_log_field(opt::common_period_first, 99999));
  // Six characters would run into the last year.
  EXPECT_FALSE(fits_log_field(opt::common_period_first, -12345));
  // Six characters, then blanks up to the label.
  EXPECT_TRUE(fits_log_field(opt::common_period_last, -99999));
  EXPECT_FALSE(fits_log_field(opt::missing_data, 1234567));       // seven characters in six columns
  EXPECT_FALSE(fits_log_field(opt::missing_data_plots, 123456));  // would touch the label
  EXPECT_TRUE(fits_log_field(opt::stabilisation, -999999));
  // Beyond the integer layouts of the writer.
  EXPECT_FALSE(fits_log_field(opt::stabilisation, 1000000));
  EXPECT_TRUE(fits_log_field(opt::mean_chronology, -100));  // kept apart by the widened record
  EXPECT_FALSE(fits_log_field(opt::mean_chronology, -1000));
  EXPECT_FALSE(fits_log_field(opt::bootstrap_plots, 10));
  // Element 151 is not in the log file.
  EXPECT_TRUE(fits_log_field(OptionElement{1, 5}, 123456789));
  Defaults d;
  d.ic[opt::common_period_first] = -12345;
  EXPECT_THROW(written(d.ic), Stop);
  d.ic[opt::common_period_first] = 0;
  d.ic[opt::mean_chronology] = -101;
  d.ic[opt::bootstrap_limits] = 100;  // the widened record gives the flag three columns
  EXPECT_THROW(written(d.ic), Stop);
  d.ic[opt::bootstrap_limits] = 10;
  EXPECT_NO_THROW(written(d.ic));
}

TEST(batch, reads_back_what_wlf_writes) {
  Defaults d;
  const std::pair<OptionElement, int> changed[] = {
      {opt::data_type, 3},
      {opt::missing_data, -9},
      {opt::missing_data_plots, 1},
      {opt::transformation, 4},
      {opt::transformation_plots, 1},
      {opt::first_detrending, -4},
      {opt::first_detrending_parameter, -40},
      {opt::first_detrending_plots, 1},
      {opt::second_detrending, -3},
      {opt::second_detrending_parameter, 13},
      {opt::second_detrending_plots, 1},
      {opt::robust_detrending, 1},
      {opt::interactive, 2},
      {opt::index_calculation, 2},
      {opt::ar_method, 3},
      {opt::ar_method_plots, 1},
      {opt::pooled_ar_order, 4},
      {opt::pooled_ar_plots, 1},
      {opt::series_ar_order, -1},
      {opt::mean_chronology, 1},
      {opt::bootstrap_limits, 1},
      {opt::bootstrap_spline, 20},
      {opt::bootstrap_plots, 1},
      {opt::stabilisation, -67},
      {opt::common_period_first, 1850},
      {opt::common_period_last, 1990},
      {opt::running_rbar_window, 40},
      {opt::running_rbar_overlap, 20},
      {opt::running_rbar_plots, 1},
      {opt::printout, 4},
      {opt::core_series_save, 7},
      {opt::summary_plots, 3},
      {opt::stand_dynamics, 3},
      {opt::stand_dynamics_plots, 1},
      {opt::release_window, 10},
      {opt::release_threshold, 25},
      {opt::release_error_limit, 2},
  };
  for (const auto& [e, v] : changed) d.ic[e] = v;
  Icommands back;
  Commands cmd;
  back[opt::spare_first] = 2;
  BatchRun run = read_log(log_text(d.ic, "ssttc   "), back, cmd);
  ASSERT_EQ(run.status, 0) << run.console;
  for (const auto& [e, v] : changed) EXPECT_EQ(back[e], v) << "element " << e.element();
  EXPECT_EQ(cmd.mask(), "ssttc   ");
  EXPECT_EQ(back[opt::site_tree_core_mask], 0);
  EXPECT_EQ(back[opt::spare_first], 2);  // elements that no record holds keep their values
}

TEST(batch, echo_shows_the_name_in_hand_and_current_labels) {
  Defaults d;
  d.ic[opt::first_detrending] = -2;
  d.ic[opt::second_detrending] = 2;
  d.ic[opt::stabilisation] = 2;
  d.ic[opt::index_calculation] = 1;
  std::string text = log_text(d.ic);
  // An out-of-date label on the index record and a missing one on the data type record.
  text.replace(text.find("!tree-ring indices"), 5, "!xxxx");
  text.replace(text.find("!tucson ring-width format"), 25, std::string(25, ' '));
  Defaults back;
  BatchRun run = read_log(text, back.ic, back.cmd, "pine2.txt");
  ASSERT_EQ(run.status, 0);
  auto c = lines_of(run.console);
  ASSERT_EQ(c.size(), 24u);  // records 22 to 24 are not read without option 20
  auto echo = [](std::string_view values, std::string_view label) {
    return " " + field(record(values, label), 80);
  };
  EXPECT_EQ(c[0], "");
  EXPECT_EQ(c[1], " " + field("data file #  1  --  pine2.txt", 80));
  EXPECT_EQ(c[2], " batch file inputs:");
  EXPECT_EQ(c[3], " inputs.............!input indentification");
  EXPECT_EQ(c[4], echo("1", "!tucson ring-width format"));
  EXPECT_EQ(c[8], echo("2      0     0", "!rcs-neg expon curve (k>0), no = opt 5"));
  EXPECT_EQ(text.find("!rcs-"), std::string::npos);  // the file itself says "2nd-"
  EXPECT_EQ(c[11], echo("1", "!tree-ring indices or ratios (rt/gt)"));
  EXPECT_EQ(c[16], echo("2", "!rbar weighted stabilization method"));
}

TEST(batch, mask_none_shows_its_label_one_column_later) {
  Defaults d;
  Defaults back;
  BatchRun run = read_log(log_text(d.ic, " none"), back.ic, back.cmd);
  ASSERT_EQ(run.status, 0);
  EXPECT_EQ(back.cmd.mask(), " none   ");
  EXPECT_EQ(lines_of(run.console)[18], "  none" + std::string(15, ' ') +
                                           field("!site-tree-core separation mask", 50) +
                                           std::string(10, ' '));
}

TEST(batch, detrending_widths_are_corrected_or_stop_the_run) {
  auto with = [](int code, int width) {
    Defaults d;
    d.ic[opt::first_detrending] = code;
    d.ic[opt::first_detrending_parameter] = width;
    return log_text(d.ic);
  };
  Defaults a;
  EXPECT_EQ(read_log(with(-3, 8), a.ic, a.cmd).status, 0);
  EXPECT_EQ(a.ic[opt::first_detrending_parameter], 7);
  EXPECT_EQ(read_log(with(-4, -150), a.ic, a.cmd).status, 0);
  EXPECT_EQ(a.ic[opt::first_detrending_parameter], -100);
  EXPECT_EQ(read_log(with(-4, 8), a.ic, a.cmd).status, 0);
  EXPECT_EQ(a.ic[opt::first_detrending_parameter], 8);  // lowess widths may be even
  try {
    read_log(with(-4, 2), a.ic, a.cmd);
    FAIL() << "expected Stop";
  } catch (const Stop& s) {
    EXPECT_STREQ(s.what(), "*** lowess smoother width inadmissable");
    EXPECT_GT(s.status, 0);
  }
  EXPECT_THROW(read_log(with(-3, 0), a.ic, a.cmd), Stop);
}

// A log file that asks for what the option dialogue refuses is refused with the record's
// number and the reason; a code the dialogue takes is read.
TEST(batch, detrending_codes_the_dialogue_refuses) {
  auto with = [](int first, int second) {
    Defaults d;
    d.ic[opt::first_detrending] = first;
    d.ic[opt::second_detrending] = second;
    return log_text(d.ic);
  };
  const std::string rest =
      " *** error reading batch commands. re-run the\n"
      " *** program in interactive mode to create the\n"
      " *** correct log files for batch mode runs.\n";
  struct Case {
    int first, second, status;
    std::string reason;
  };
  const Case cases[] = {
      {-7, 0, 4,
       "record 5 of the log file, columns 1-2: \"-7\"\n"
       " *** first detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not -7"},
      {9, 0, 4,
       "record 5 of the log file, column 1: \"9\"\n"
       " *** first detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not 9"},
      {-6, -2, 5,
       "record 6 of the log file, columns 1-2: \"-2\"\n"
       " *** rcs option not allowed for 2nd detrending"},
      {-6, -8, 5,
       "record 6 of the log file, columns 1-2: \"-8\"\n"
       " *** second detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not -8"},
      {-2, 0, 5,
       "record 6 of the log file, column 1: \"0\"\n"
       " *** rcs needs a growth curve option: 0 not allowed with rcs"},
  };
  for (const Case& c : cases) {
    Defaults back;
    const BatchRun r = read_log(with(c.first, c.second), back.ic, back.cmd);
    EXPECT_EQ(r.status, c.status) << c.first << " " << c.second;
    const std::string tail = "\n *** " + c.reason + "\n" + rest;
    EXPECT_EQ(r.console.substr(r.console.size() - std::min(r.console.size(), tail.size())), tail);
  }
  for (const auto& [first, second] : {std::pair{-2, 2}, std::pair{10, -1}, std::pair{-6, -10}}) {
    Defaults back;
    EXPECT_EQ(read_log(with(first, second), back.ic, back.cmd).status, 0) << first << " " << second;
    EXPECT_EQ(back.ic[opt::first_detrending], first);
    EXPECT_EQ(back.ic[opt::second_detrending], second);
  }
}

TEST(batch, failures_report_the_option_and_keep_earlier_values) {
  const std::string error_message =
      "\n *** error reading batch commands. re-run the\n"
      " *** program in interactive mode to create the\n"
      " *** correct log files for batch mode runs.\n";
  const std::string eof_message =
      "\n *** end-of-file reading batch commands. re-run\n"
      " *** the program in interactive mode to create\n"
      " *** the correct log files for batch mode runs.\n";
  auto ends_with = [](const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
  };

  Defaults back;
  BatchRun empty = read_log("", back.ic, back.cmd);
  EXPECT_GT(empty.status, 0);
  EXPECT_EQ(empty.console, eof_message);

  Defaults d;
  d.ic[opt::printout] = 5;  // known to the labels only
  Icommands before;
  Commands cmd;
  BatchRun printout = read_log(log_text(d.ic), before, cmd);
  EXPECT_EQ(printout.status, 17);
  EXPECT_TRUE(ends_with(printout.console, error_message));
  EXPECT_EQ(before[opt::running_rbar_window], 50);  // stored before the failing record
  EXPECT_EQ(before[opt::printout], 0);              // not stored

  Defaults o;
  std::string text = log_text(o.ic);
  text[text.rfind('\n', text.find("!non-robust detrending")) + 1] = 'x';
  Icommands t;
  EXPECT_EQ(read_log(text, t, cmd).status, 6);

  Defaults cut;
  std::string lines = log_text(cut.ic);
  lines.resize(lines.find("\n", lines.find("!summary statistics") == std::string::npos
                                    ? lines.find("!summary & series")
                                    : 0) +
               1);
  BatchRun short_file = read_log(lines, t, cmd);
  EXPECT_EQ(short_file.status, 18);
  EXPECT_TRUE(ends_with(short_file.console, eof_message));

  Defaults rbar;
  rbar.ic[opt::running_rbar_window] = 20;
  rbar.ic[opt::running_rbar_overlap] = 20;  // windows that never move on
  EXPECT_EQ(read_log(log_text(rbar.ic), t, cmd).status, 16);
}

TEST(batch, release_parameters) {
  auto run = [](int method, int window) {
    Defaults d;
    d.ic[opt::stand_dynamics] = method;
    d.ic[opt::release_window] = window;
    d.ic[opt::release_threshold] = 20;
    d.ic[opt::release_error_limit] = 1;
    Defaults back;
    back.ic[opt::release_window] = back.ic[opt::release_threshold] =
        back.ic[opt::release_error_limit] = 9;
    int status = read_log(log_text(d.ic), back.ic, back.cmd).status;
    return std::pair{status, back.ic};
  };
  EXPECT_EQ(run(1, 3).first, 0);
  EXPECT_EQ(run(2, 3).first, 20);
  EXPECT_EQ(run(3, 50).first, 0);
  EXPECT_EQ(run(3, 51).first, 20);

  // Without a stand dynamics analysis the file may end after record 21.
  Defaults d;
  std::string text = log_text(d.ic);
  text.resize(text.rfind('\n', text.find("!running mean window")) + 1);
  Defaults back;
  back.ic[opt::release_window] = back.ic[opt::release_threshold] =
      back.ic[opt::release_error_limit] = 9;
  EXPECT_EQ(read_log(text, back.ic, back.cmd).status, 0);
  EXPECT_EQ(back.ic[opt::release_window], 0);
  EXPECT_EQ(back.ic[opt::release_threshold], 0);
  EXPECT_EQ(back.ic[opt::release_error_limit], 0);
}

// The log file `text` with the value columns (1 to 19) of record `number` replaced.
std::string with_values(const std::string& text, int number, std::string_view values) {
  std::vector<std::string> lines = lines_of(text);
  std::string& line = lines.at(static_cast<std::size_t>(number - 1));
  line = field(values, 19) + (line.size() > 19 ? line.substr(19) : "");
  std::string edited;
  for (const std::string& l : lines) edited += l + "\n";
  return edited;
}

// Each refused record is named with the columns and text of the value and what its
// element takes, ahead of the usual message; the status is the option's number.
TEST(batch, refusals_say_where_and_why) {
  Defaults release;
  release.ic[opt::stand_dynamics] = 2;
  release.ic[opt::release_window] = 10;
  release.ic[opt::release_threshold] = 20;
  struct Case {
    std::string log;
    int status;
    std::string place, why;
  };
  const std::string plain = log_text(Defaults().ic);
  const Case cases[] = {
      {with_values(plain, 8, "5"), 7, "record 8 of the log file, column 1: \"5\"",
       "interactive detrend takes 0 to 3, not 5"},
      {with_values(plain, 9, "0"), 8, "record 9 of the log file, column 1: \"0\"",
       "index calculation takes 1 or 2, not 0"},
      {with_values(plain, 14, "2147483647"), 13,
       "record 14 of the log file, columns 1-10: \"2147483647\"",
       "stabilize variance takes -9999 to -10, 0 to 2 or 10 to 99999, not 2147483647"},
      {with_values(plain, 15, "1900 -2147483648"), 14,
       "record 15 of the log file, columns 6-16: \"-2147483648\"",
       "common period last year takes -9999 to 99999, not -2147483648"},
      {with_values(plain, 15, "-99999 0"), 14, "record 15 of the log file, columns 1-6: \"-99999\"",
       "common period first year takes -9999 to 99999, not -99999"},
      {with_values(plain, 17, "30    30     0"), 16,
       "record 17 of the log file, columns 7-8: \"30\"",
       "running rbar overlap takes -9999 to 29 with a window of 30, not 30"},
      {with_values(plain, 13, "2   0   0    2"), 12, "record 13 of the log file, column 14: \"2\"",
       "bootstrap plot flag takes 0 or 1, not 2"},
      {with_values(plain, 13, "1   1   4    0"), 12, "record 13 of the log file, column 9: \"4\"",
       "bootstrap spline length takes 0 or 5 to 9999, not 4"},
      {with_values(plain, 5, "-5     12    0"), 4, "record 5 of the log file, columns 8-9: \"12\"",
       "first detrending parameter takes 0 to 9 with the super smoother, not 12"},
      {with_values(log_text(release.ic), 23, "201"), 20,
       "record 23 of the log file, columns 1-3: \"201\"",
       "percent growth change threshold takes 5 to 200 with release detection, not 201"},
      {with_values(plain, 7, "x1"), 6, "record 7 of the log file, columns 1-2: \"x1\"",
       "not an integer"},
  };
  const std::string message =
      " *** error reading batch commands. re-run the\n"
      " *** program in interactive mode to create the\n"
      " *** correct log files for batch mode runs.\n";
  for (const Case& c : cases) {
    Defaults back;
    const BatchRun r = read_log(c.log, back.ic, back.cmd);
    EXPECT_EQ(r.status, c.status) << c.place;
    const std::string tail = "\n\n *** " + c.place + "\n *** " + c.why + "\n" + message;
    ASSERT_GE(r.console.size(), tail.size()) << r.console;
    EXPECT_EQ(r.console.substr(r.console.size() - tail.size()), tail);
  }

  // A record cut short of its values, label and all; one with a value more before its
  // label: a value split by a damaged blank.
  const std::pair<std::string, std::string> records[] = {
      {"4", "\n *** record 11 of the log file: \"4\"\n *** expected 2 values, found 1\n"},
      {"1  2         0     !label",
       "\n *** record 11 of the log file: \"1  2         0     !label\"\n"
       " *** expected 2 values, found 3 before the label\n"}};
  for (const auto& [record, said] : records) {
    std::vector<std::string> lines = lines_of(plain);
    lines[10] = record;
    std::string text;
    for (const std::string& l : lines) text += l + "\n";
    Defaults back;
    const BatchRun r = read_log(text, back.ic, back.cmd);
    EXPECT_EQ(r.status, 10);
    EXPECT_NE(r.console.find(said + " *** error reading"), std::string::npos) << r.console;
  }
}

// A median width that stops the run is named before the stop.
TEST(batch, a_width_that_stops_the_run_is_named_first) {
  const std::string path = ::testing::TempDir() + "options_log_width_stop.txt";
  std::ofstream(path, std::ios::trunc) << with_values(log_text(Defaults().ic), 5, "-3     2     0");
  Units units;
  ASSERT_TRUE(units.open_old(unit::log, path));
  std::istringstream in;
  std::ostringstream out;
  Console con(in, out);
  Defaults back;
  EXPECT_THROW(batch(units, back.ic, back.cmd, con, "oak1.txt"), Stop);
  const std::string tail = "\n\n *** record 5 of the log file, column 8: \"2\"\n";
  ASSERT_GE(out.str().size(), tail.size());
  EXPECT_EQ(out.str().substr(out.str().size() - tail.size()), tail);
}

// Every value at the edge of a rule, as the dialogue may leave it, is written and read back.
TEST(batch, reads_back_every_edge_of_the_value_rules) {
  for (const testing::Edge& edge : testing::rule_edges()) {
    const bool release = edge.element == 50 || edge.element == 80 || edge.element == 110;
    if (release && edge.ic[opt::stand_dynamics] == 0) continue;  // not read without stand dynamics
    Defaults back;
    const BatchRun r = read_log(log_text(edge.ic), back.ic, back.cmd);
    EXPECT_EQ(r.status, 0) << edge.element << " " << edge.value << r.console;
    EXPECT_EQ(back.ic[testing::element_of(edge.element)], edge.value) << edge.element;
  }
}

}  // namespace
}  // namespace dendro
