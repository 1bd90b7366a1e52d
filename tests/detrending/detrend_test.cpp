#include "detrending/detrend.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/store.h"
#include "tests/count_of.h"
#include "tests/signal_status.h"

namespace dendro {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> lines_of(const fs::path& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);
  return lines;
}

bool has_line(const std::vector<std::string>& lines, const std::string& line) {
  for (const auto& l : lines) {
    if (l == line) return true;
  }
  return false;
}

int count_lines_starting(const std::vector<std::string>& lines, const std::string& head) {
  int k = 0;
  for (const auto& l : lines) k += l.starts_with(head);
  return k;
}

// One detrending pass over a small store, in a folder of its own, with the console's
// answers given up front and the plot pages recorded.
class Pass {
 public:
  Pass() {
    dir_ =
        fs::path(::testing::TempDir()) /
        ("detrend_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    commands.set_data_file((dir_ / "site.txt").string());
    icommands[opt::printout] = 2;
    plots.fit_page = [this](const FitPage& page, int& plot_flag, int&) {
      pages.push_back(page.name + page.pass_label);
      if (no_more_plots) plot_flag = 0;
    };
    plots.all_series = [this](const Tsi1& t, std::string_view title, std::string_view,
                              std::string_view y_label, int kind) {
      pages.push_back(std::string(title) + "/" + std::string(y_label) + "/" + std::to_string(kind));
      overlay = t.overlay;
    };
  }

  // Adds a series from `first_year`; the store spans 1901 to 1930.
  void add(const std::string& id, int first_year, const std::vector<float>& values) {
    series_.push_back({id, first_year, values});
  }

  void run(const std::string& answers) {
    tsi1.reshape(kRows, static_cast<int>(series_.size()));
    for (int i = 1; i <= tsi1.count; ++i) {
      const Series& s = series_[static_cast<std::size_t>(i - 1)];
      for (std::size_t k = 0; k < s.values.size(); ++k) {
        tsi1.at(s.first_year - kFirst + 1 + static_cast<int>(k), i) = s.values[k];
      }
      SeriesYears y;
      y.ify = s.first_year;
      y.ily = s.first_year + static_cast<int>(s.values.size()) - 1;
      y.icu = y.ics = 1;
      tsi1.year_row(i) = y;
      tsi1.ids.push_back(s.id);
    }
    tsi1.year_row(tsi1.count + 1) = SeriesYears{kFirst, kFirst + kRows - 1};
    units.create(unit::out, (dir_ / "site_out.txt").string());
    in_.str(answers);
    own_codes =
        detrend(tsi1, icommands, commands, units, con, stats, pass, plots, {}, series_codes);
    units.close(unit::out);
  }

  std::vector<std::string> report() const { return lines_of(dir_ / "site_out.txt"); }
  std::string console() const { return out_.str(); }
  const fs::path& dir() const { return dir_; }
  float at(int year, int i) { return tsi1.at(year - kFirst + 1, i); }

  static constexpr int kFirst = 1901, kRows = 30;
  Tsi1 tsi1;
  Icommands icommands;
  Commands commands;
  Units units;
  StatsTable stats;
  DetrendPlots plots;
  std::vector<std::string> pages;
  std::vector<float> overlay;
  bool no_more_plots = false;
  std::vector<int> series_codes;  // the batch detail file's codes, when set
  std::vector<int> own_codes;     // the codes followed in place of the option
  DetrendingPass pass = DetrendingPass::first;

 private:
  struct Series {
    std::string id;
    int first_year;
    std::vector<float> values;
  };
  fs::path dir_;
  std::vector<Series> series_;
  std::istringstream in_;
  std::ostringstream out_;

 public:
  Console con{in_, out_};
};

std::vector<float> values(int n, const std::function<float(int)>& f) {
  std::vector<float> v(static_cast<std::size_t>(n));
  for (int t = 1; t <= n; ++t) v[static_cast<std::size_t>(t - 1)] = f(t);
  return v;
}

// A straight line is its own fit: indices of exactly 1.0.
std::vector<float> line(int n) {
  return values(n, [](int t) { return 2.0f + 0.5f * static_cast<float>(t); });
}

// Two straight lines fitted by option 4 with the printout option given.
void run_two_lines(Pass& p, int printout, int second_first_year) {
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::printout] = printout;
  p.add("ABC01   ", 1901, line(20));
  p.add("ABC02   ", second_first_year, line(1931 - second_first_year));
  p.run("");
}

TEST(detrend, batch_pass_replaces_series_by_indices_and_reports) {
  Pass p;
  p.icommands[opt::robust_detrending] = 1;
  run_two_lines(p, 2, 1906);
  EXPECT_EQ(p.console(), "\nfirst detrending of individual tree-ring series\n\n");
  for (int year = 1901; year <= 1920; ++year) EXPECT_EQ(p.at(year, 1), 1.0f) << year;
  EXPECT_EQ(p.at(1921, 1), kMissing);
  EXPECT_EQ(p.at(1905, 2), kMissing);
  EXPECT_EQ(p.at(1930, 2), 1.0f);
  EXPECT_EQ(p.tsi1.year_row(1).idt, 4);
  EXPECT_EQ(p.tsi1.year_row(2).idt, 4);

  const auto r = p.report();
  EXPECT_EQ(r[1],
            " |--------------- growth curve used for detrending tree-ring data --------------|");
  EXPECT_EQ(r[2], "  option");
  EXPECT_EQ(r[3], "     -6: age dependent spline         f(i) = age dependent spline");
  EXPECT_TRUE(
      has_line(r, "   (a, b, c are coefficients, d is intercept or asymptote, p is pith offset)"));
  EXPECT_TRUE(has_line(
      r, " series   ident     option       a           b           c           d         p"));
  // gfortran: write(*,'(t2,i5,3x,a8,i7,1x,4f12.6,i8)') 1, 'ABC01   ', 4, 0., 0., 0.5, 2.0, 0
  EXPECT_TRUE(has_line(
      r, "     1   ABC01         4     0.000000    0.000000    0.500000    2.000000       0"));
  EXPECT_TRUE(has_line(
      r, " |-------------------- statistics of single tree-ring series -------------------|"));
  // No curve file without a save or summary plot option.
  EXPECT_FALSE(fs::exists(p.dir() / "site_crv1.txt"));
  EXPECT_FALSE(fs::exists(p.dir() / "index.tmp"));
}

TEST(detrend, fall_back_is_reported_with_the_new_code) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::neg_exponential;
  p.icommands[opt::robust_detrending] = 2;  // the robust heading
  p.add("ABC01   ", 1901, line(19));
  p.run("");
  EXPECT_NE(p.console().find(">> sbr curve:  only 19 values, no exponential curve fit"),
            std::string::npos);
  const auto r = p.report();
  EXPECT_EQ(r[1],
            " |------------ robust growth curve used for detrending tree-ring data -------------|");
  // gfortran: write(*,'(t2,i5,3x,a8,i7,3x,''--> curve fit option failed '', &
  //   ''and changed to: '',i5)') 1, 'ABC01   ', 1, 4
  EXPECT_TRUE(
      has_line(r, "     1   ABC01         1   --> curve fit option failed and changed to:     4"));
  EXPECT_EQ(p.tsi1.year_row(1).idt, 4);
}

TEST(detrend, first_differences_start_one_year_later) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::first_differences;
  p.add("ABC01   ", 1901,
        values(20, [](int t) { return 1.0f + 0.1f * static_cast<float>(t % 7); }));
  p.add("ABC02   ", 1905,
        values(26, [](int t) { return 2.0f + 0.3f * static_cast<float>(t % 5); }));
  p.run("");
  EXPECT_EQ(p.tsi1.year_row(1).ify, 1902);
  EXPECT_EQ(p.tsi1.year_row(2).ify, 1906);
  EXPECT_EQ(p.tsi1.year_row(3).ify, 1902);  // the set's first year
  EXPECT_EQ(p.tsi1.year_row(1).idt, -1);
  // Row 1 is now 1902; the row after the set's last year (1930) holds -9.99.
  for (int i = 1; i <= 2; ++i) EXPECT_EQ(p.tsi1.at(30, i), kMissing);
  for (int i = 1; i <= 2; ++i) {
    const SeriesYears& y = p.tsi1.year_row(i);
    double sum = 0;
    for (int year = y.ify; year <= y.ily; ++year) sum += p.tsi1.at(year - 1902 + 1, i);
    EXPECT_NEAR(sum / (y.ily - y.ify + 1), 1.0, 1e-5) << i;
  }
  EXPECT_NE(p.tsi1.at(1, 1), kMissing);
  EXPECT_EQ(p.tsi1.at(4, 2), kMissing);  // 1905: ABC02 starts in 1906
}

// 10/t over 25 years: its least-squares line 3.98713 - 0.189288 t reaches 0 at t = 22
// (R: predict(lm(y ~ t)) gives -0.1772099 there), while every value is positive.
std::vector<float> hyperbola() {
  return values(25, [](int t) { return 10.0f / static_cast<float>(t); });
}

TEST(detrend, negative_curve_is_shown_and_changed) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.add("ABC01   ", 1901, line(20));
  p.add("ABC02   ", 1906, hyperbola());
  p.add("ABC03   ", 1901, line(30));
  // Return at the pause; change to option 6; then keep the refit and stay interactive.
  p.run("\ny\n6\nn\n\n");
  const std::string c = p.console();
  EXPECT_NE(
      c.find("\n*** series: ABC02     growth curve goes negative! ***\nyear:   1927   -0.177\n"
             " hit <ret> to display the dirty dog!"),
      std::string::npos);
  EXPECT_NE(c.find("change curve fit? y/<n>                     ==> "), std::string::npos);
  EXPECT_NE(c.find("you can change the current curve fit with any one of the following options:"),
            std::string::npos);
  EXPECT_NE(c.find("\nfirst detrending of individual tree-ring series continued\n\n"),
            std::string::npos);
  EXPECT_EQ(p.tsi1.year_row(2).idt, 6);
  EXPECT_NEAR(p.at(1906, 2), 10.0 / 1.526383, 1e-4);  // the value over the mean
  EXPECT_EQ(p.pages,
            (std::vector<std::string>{"ABC02 detrending      ", "ABC02 detrending      "}));
  // The negative fit has no report line; the refit has one, without a new heading.
  const auto r = p.report();
  EXPECT_EQ(count_lines_starting(r, "     2   ABC02"), 1);
  EXPECT_EQ(count_lines_starting(r, " series   ident     option"), 1);
}

TEST(detrend, refusing_to_change_a_negative_curve_ends_the_run) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.add("ABC01   ", 1906, hyperbola());
  const fs::path crn = p.dir() / "site_crn.txt";
  p.units.create(unit::crns, crn.string());
  // Return at the pause; no change; blank at "continue"; first "n" at the stop question
  // (back to the dialogue), then no change again and "y": the run ends.
  EXPECT_THROW(p.run("\nn\n\nn\nn\n\ny\n"), NegativeCurveStop);
  const std::string c = p.console();
  EXPECT_NE(c.find("the program will terminate now if\nyou do not change the curve fit\n"
                   "option to avoid a negative fit.\nis that what you really want? y/n"),
            std::string::npos);
  EXPECT_NE(c.find("==> \nokay, hasta la vista, baby!\n\n"), std::string::npos);
  EXPECT_EQ(p.pages.size(), 2u);  // shown again after the first "n"
  // The files are the run driver's to settle.
  EXPECT_TRUE(p.units.is_open(unit::crns));
}

TEST(detrend, negative_curve_help_and_blank_stop_answers_ask_again) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.add("ABC01   ", 1906, hyperbola());
  // Return at the pause; "h"; no change; blank at "continue"; blank, then "y" at the stop
  // question.
  EXPECT_THROW(p.run("\nh\nn\n\n\ny\n"), NegativeCurveStop);
  const std::string c = p.console();
  EXPECT_EQ(count_of(c, "change curve fit? y/<n>"), 2);
  EXPECT_EQ(count_of(c, "you can change the current curve fit with any one"), 1);
  EXPECT_EQ(count_of(c, "is that what you really want? y/n           ==> "), 2);
  EXPECT_EQ(count_of(c, "okay, hasta la vista, baby!"), 1);
  // "n" at the stop question goes back to the fit; a change to the mean then stands.
  Pass q;
  q.icommands[opt::first_detrending] = fit::line;
  q.add("ABC01   ", 1906, hyperbola());
  q.run("\nn\n\n\nn\ny\n6\nn\n\n");
  EXPECT_EQ(q.tsi1.year_row(1).idt, 6);
  EXPECT_EQ(count_of(q.console(), "is that what you really want? y/n"), 2);
}

// The batch detail file's code of a series takes the place of the pass's option without a
// question; codes it cannot take leave the pass's option, with a note.
TEST(detrend, batch_detail_codes_drive_the_series_fits) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  for (const char* id : {"ABC01   ", "ABC02   ", "ABC03   ", "ABC04   ", "ABC05   ", "ABC06   "}) {
    p.add(id, 1906, hyperbola());
  }
  p.series_codes = {6, 0, -2, 9, -3, 4};
  // Only series 2 to 6 keep option 4, whose curve goes negative: "n" to no change, "n" to
  // continue, then 6 for each of them.
  std::string answers;
  for (int k = 0; k < 5; ++k) answers += "\ny\n6\nn\nn\n";
  p.run(answers);
  const std::string c = p.console();
  EXPECT_EQ(c.find("*** series: ABC01"), std::string::npos);  // the mean line, no question
  EXPECT_NE(c.find("*** series: ABC02"), std::string::npos);
  EXPECT_NE(c.find(" *** series ABC04: detrending code 9 of the batch detail file fits no curve: "
                   "option 4 is used"),
            std::string::npos);
  EXPECT_NE(c.find(" *** series ABC05: detrending code -3 of the batch detail file needs a window "
                   "that the file does not keep: option 4 is used"),
            std::string::npos);
  EXPECT_EQ(count_of(c, "of the batch detail file"), 2);
  for (int i = 1; i <= 6; ++i) EXPECT_EQ(p.tsi1.year_row(i).idt, 6) << i;
  const std::vector<float> h = hyperbola();
  double mean = 0;
  for (float v : h) mean += v;
  mean /= static_cast<double>(h.size());
  EXPECT_NEAR(p.at(1906, 1), h[0] / mean, 1e-4);
  EXPECT_NEAR(p.at(1906, 1), p.at(1906, 2), 1e-6);

  // The super smoother from the file gets alpha 5.
  Pass q;
  q.icommands[opt::first_detrending] = fit::line;
  q.add("ABC01   ", 1901, line(30));
  q.series_codes = {-5};
  q.run("");
  EXPECT_EQ(q.tsi1.year_row(1).idt, -5);
  EXPECT_TRUE(has_line(
      q.report(), "     1   ABC01     -5    5           friedman super smoother curve and alpha"));

  // Option 2 on 19 values falls back to a line, or to the mean (reported as 5) when the
  // line rises: a 6 for the rising series is the option's own fall-back, reported again;
  // for the falling one it is the series' own code.
  Pass r;
  r.icommands[opt::first_detrending] = fit::neg_exponential_or_falling_line;
  r.add("ABC01   ", 1901, line(19));
  r.add("ABC02   ", 1901, values(19, [](int t) { return 12.0f - 0.5f * static_cast<float>(t); }));
  r.series_codes = {6, 6};
  r.run("");
  EXPECT_TRUE(has_line(
      r.report(), "     1   ABC01         2   --> curve fit option failed and changed to:     5"));
  EXPECT_EQ(r.own_codes, std::vector<int>{6});
  EXPECT_EQ(r.tsi1.year_row(1).idt, 6);
}

TEST(detrend, interactive_change_to_running_medians_with_a_percent_window) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::interactive] = 2;
  std::vector<float> y = values(80, [](int t) { return 3.0f + static_cast<float>(t % 9) * 0.2f; });
  p.add("ABC01   ", 1901, std::vector<float>(y.begin(), y.begin() + 30));
  // -10 percent of 30 values is 3, odd already; the window question comes once.
  p.run("y\n-3\n-10\nn\nn\n");
  EXPECT_EQ(p.tsi1.year_row(1).idt, -3);
  EXPECT_NE(
      p.console().find("and < the series length (  30) or a\npercent length: a negative integer\n"
                       "between -1 and -100, inclusive"),
      std::string::npos);
  // gfortran: write(*,'(t2,i5,3x,a8,i4,i5,11x,''median filter curve and window width'')')
  //   1, 'ABC01   ', -3, 3
  EXPECT_TRUE(has_line(
      p.report(), "     1   ABC01     -3    3           median filter curve and window width"));
}

TEST(detrend, even_percent_window_is_lowered_and_bad_entries_ask_again) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::interactive] = 3;
  p.add("ABC01   ", 1901,
        values(30, [](int t) { return 3.0f + static_cast<float>(t % 9) * 0.2f; }));
  // A bad answer, then y; option -3; window 0 and 2 are asked again; -20 percent of 30
  // is 6, lowered to 5. A refused option (-1) keeps the fit: only one change here.
  p.run("x\ny\n-3\n0\n2\n-20\ny\n-1\nn\n\n");
  EXPECT_EQ(p.tsi1.year_row(1).idt, -3);
  EXPECT_TRUE(has_line(
      p.report(), "     1   ABC01     -3    5           median filter curve and window width"));
  EXPECT_EQ(count_of(p.console(), "between -1 and -100, inclusive"), 3);
  EXPECT_EQ(count_of(p.console(), "change curve fit? y/<n>"), 3);
  EXPECT_EQ(count_of(p.console(), "you can change the current curve fit"), 3);
  EXPECT_EQ(count_of(p.console(), "==>  *** x is no answer here: enter y or n, or h for help\n"),
            1);
  EXPECT_EQ(count_of(p.console(),
                     "==>  *** 2 is no answer here: enter a width above 2, or -1 to "
                     "-100 percent\n"),
            1);
  EXPECT_EQ(count_of(p.console(), "==>  *** -1 is no answer here: the curve fit in hand stays\n"),
            1);
}

TEST(detrend, no_more_plots_accepts_without_a_question) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::first_detrending_plots] = 1;  // plot every fit
  p.no_more_plots = true;
  p.add("ABC01   ", 1901, line(20));
  p.add("ABC02   ", 1901, line(20));
  p.run("");
  EXPECT_EQ(p.pages.size(), 1u);
  EXPECT_EQ(p.console().find("change curve fit?"), std::string::npos);
}

TEST(detrend, curve_file_in_columns_and_the_summary_plot) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::core_series_save] = 5;
  p.icommands[opt::summary_plots] = 1;
  p.add("ABC01   ", 1901, line(20));
  p.add("ABC02   ", 1911, values(20, [](int t) { return 10.0f - 0.25f * static_cast<float>(t); }));
  p.run("");
  const auto curves = lines_of(p.dir() / "site_crv1.txt");
  ASSERT_FALSE(curves.empty());
  EXPECT_EQ(curves[0], "  year ABC01    ABC02   ");  // no header lines in a column file
  EXPECT_EQ(curves[1], "  1901   2.5000    .    ");
  EXPECT_EQ(p.pages.back(), "1st-detrending curves with mean/measurements/6");
  // Mean of the curves by year (hand): 1901 ABC01 alone, 2.5; 1911 (2 + 5.5 + 9.75) / 2.
  EXPECT_FLOAT_EQ(p.overlay[0], 2.5f);
  EXPECT_FLOAT_EQ(p.overlay[10], (7.5f + 9.75f) / 2.0f);
  EXPECT_FLOAT_EQ(p.overlay[29], 5.0f);  // 1930: ABC02 alone, 10 - 0.25 · 20
  // The matrix holds the indices again.
  EXPECT_EQ(p.at(1901, 1), 1.0f);
}

TEST(detrend, curve_file_with_header_lines_and_a_summary_plot_alone) {
  Pass p;
  p.pass = DetrendingPass::second;
  p.icommands[opt::second_detrending] = fit::line;
  p.icommands[opt::core_series_save] = 2;
  p.commands.set_header_line(1, "SITE");
  p.add("ABC01   ", 1901, line(15));  // up to 9.5: the index records hold it
  p.run("");
  EXPECT_EQ(p.console(), "\nsecond detrending of individual tree-ring series\n\n");
  const auto curves = lines_of(p.dir() / "site_crv2.txt");
  ASSERT_GE(curves.size(), 3u);
  EXPECT_EQ(curves[0].size(), 85u);
  EXPECT_EQ(curves[0].substr(0, 4), "SITE");
  EXPECT_EQ(curves[0].substr(79), " crv2 ");
  EXPECT_EQ(p.commands.header_line(1).substr(79), " crv2 ");  // the tag stays

  // Summary plot alone: the curves are drawn, then no curve file remains (not even an
  // earlier run's).
  Pass q;
  q.icommands[opt::first_detrending] = fit::line;
  q.icommands[opt::summary_plots] = 3;
  std::ofstream(q.dir() / "site_crv1.txt") << "stale\n";
  q.add("ABC01   ", 1901, line(20));
  q.run("");
  EXPECT_EQ(q.pages.size(), 1u);
  EXPECT_FALSE(fs::exists(q.dir() / "site_crv1.txt"));
}

TEST(detrend, printout_four_adds_decade_plots_and_heads_every_series) {
  Pass p;
  run_two_lines(p, 4, 1901);
  const auto r = p.report();
  EXPECT_EQ(count_lines_starting(r, " series   ident     option"), 2);
  EXPECT_EQ(count_lines_starting(r, "         ***  5-year means of measurements"), 2);
}

// Each pass runs its own option with that option's parameter and plot flag; the other
// pass's values are left alone (here they would fit a line and draw no page).
TEST(detrend, each_pass_takes_its_own_option_parameter_and_plot_flag) {
  auto options = [](Pass& p) {
    p.icommands[opt::first_detrending] = fit::line;
    p.icommands[opt::first_detrending_plots] = 0;
    p.icommands[opt::second_detrending] = fit::super_smoother;
    p.icommands[opt::second_detrending_parameter] = 7;
    p.icommands[opt::second_detrending_plots] = 1;
    p.no_more_plots = true;
    p.add("ABC01   ", 1901, line(30));
  };
  Pass second;
  options(second);
  second.pass = DetrendingPass::second;
  second.run("");
  EXPECT_TRUE(
      has_line(second.report(),
               "     1   ABC01     -5    7           friedman super smoother curve and alpha"));
  EXPECT_EQ(second.pages, std::vector<std::string>{"ABC01 2nd detrending  "});
  EXPECT_EQ(second.tsi1.year_row(1).idt, fit::super_smoother);

  Pass first;
  options(first);
  first.run("");
  EXPECT_TRUE(has_line(
      first.report(),
      "     1   ABC01         4     0.000000    0.000000    0.500000    2.000000       0"));
  EXPECT_TRUE(first.pages.empty());
  // With a second detrending to come, the first pass's pages say "1st".
  Pass labelled;
  options(labelled);
  labelled.icommands[opt::first_detrending_plots] = 1;
  labelled.run("");
  EXPECT_EQ(labelled.pages, std::vector<std::string>{"ABC01 1st detrending  "});
}

// A signal that comes while one series is fitted ends the pass before the next: the fitted
// series holds its indices, the next its measurements. The signal comes at the first
// series' page, which takes no answer (no more plots).
TEST(detrend, a_signal_ends_the_pass_before_the_next_series) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::line;
  p.icommands[opt::first_detrending_plots] = 1;
  int pages = 0;
  p.plots.fit_page = [&pages](const FitPage&, int& plot_flag, int&) {
    ++pages;
    plot_flag = 0;
    std::raise(SIGINT);
  };
  p.add("ABC01   ", 1901, line(20));
  p.add("ABC02   ", 1901, values(20, [](int t) { return 3.0f + 0.25f * static_cast<float>(t); }));
  EXPECT_EQ(status_when_signalled(false, [&] { p.run(""); }), 128 + SIGINT);
  EXPECT_EQ(pages, 1);
  for (int year = 1901; year <= 1920; ++year) EXPECT_EQ(p.at(year, 1), 1.0f) << year;
  EXPECT_EQ(p.at(1901, 2), 3.25f);
  EXPECT_EQ(p.at(1920, 2), 8.0f);
}

TEST(detrend, super_smoother_alpha_in_the_report) {
  Pass p;
  p.icommands[opt::first_detrending] = fit::super_smoother;
  p.icommands[opt::first_detrending_parameter] = 7;
  p.add("ABC01   ", 1901,
        values(30, [](int t) { return 3.0f + static_cast<float>(t % 4) * 0.2f; }));
  p.run("");
  EXPECT_TRUE(has_line(
      p.report(), "     1   ABC01     -5    7           friedman super smoother curve and alpha"));
}

}  // namespace
}  // namespace dendro
