#include "kalder/stand_dynamics.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "series/files/stop.h"
#include "tests/count_of.h"

namespace dendro {
namespace {

// A run over 1900-1929 with two series (the second from 1905) whose residuals are the
// mean overlay plus up to 0.01 up or down (eleven levels), and one far year each: +0.5 in
// 1910 for the first, -0.4 in 1920 for the second.
struct Stand {
  explicit Stand(const std::string& script)
      : in(script), con(in, out), run(con, PlotSession::Screen::none) {
    Tsi1& t = run.tsi1;
    t.reshape(30, 2);
    t.ids = {"ABC01A  ", "ABC02A  "};
    t.year_row(1) = {1900, 1929};
    t.year_row(2) = {1905, 1929};
    t.year_row(3) = {1900, 1929};
    t.overlay.resize(30);
    for (int r = 1; r <= 30; ++r) t.overlay[static_cast<std::size_t>(r - 1)] = 0.9f + 0.003f * r;
    for (int i = 1; i <= 2; ++i) {
      for (int year = t.year_row(i).ify; year <= 1929; ++year) {
        const int r = year - 1899;
        float d = 0.002f * static_cast<float>((year * 7) % 11 - 5);
        if (i == 1 && year == 1910) d = 0.5f;
        if (i == 2 && year == 1920) d = -0.4f;
        t.at(r, i) = t.overlay[static_cast<std::size_t>(r - 1)] + d;
      }
    }
    run.length = 30;
    run.first_year = 1900;
    run.tsi2.reshape(30);
    for (int r = 1; r <= 30; ++r) run.tsi2.at(r, 1) = r <= 5 ? 1.0f : 2.0f;
    run.icommands[opt::mean_chronology] = 2;  // the biweight
    run.icommands[opt::stand_dynamics] = 1;
  }
  std::istringstream in;
  std::ostringstream out;
  Console con;
  Run run;
};

TEST(endogenous_outliers, keep_only_the_far_years) {
  Stand s("");
  endogenous_outliers(s.run);
  EXPECT_EQ(s.out.str(), "");  // no plots, no questions
  for (int r = 1; r <= 30; ++r) {
    const int year = 1899 + r;
    EXPECT_NEAR(s.run.tsi1.at(r, 1), year == 1910 ? 1.5f : 1.0f, 1e-6) << year;
    EXPECT_NEAR(s.run.tsi1.at(r, 2),
                year < 1905    ? kMissing
                : year == 1920 ? 0.6f
                               : 1.0f,
                1e-6)
        << year;
  }
  // Counted per year: 1910 one positive of depth 2, 1920 one negative; 1.0 counts as
  // neither and -9.99 is no outlier.
  const OutlierCounts c = count_outliers(s.run.tsi1, s.run.tsi2.column(1), s.run.length);
  EXPECT_EQ(c.positive[10], 1.0f);
  EXPECT_EQ(c.positive_share[10], 0.5f);
  EXPECT_EQ(c.negative[20], -1.0f);
  EXPECT_EQ(c.negative_share[20], -0.5f);
  EXPECT_EQ(c.negative[0] + c.positive[0] + c.negative[11] + c.positive[11], 0.0f);
}

TEST(endogenous_outliers, edge_cases) {
  // A series that is the mean itself has no spread: no outlier, no division by 0.
  Stand flat("");
  for (int r = 1; r <= 30; ++r) flat.run.tsi1.at(r, 1) = flat.run.tsi1.overlay[r - 1];
  endogenous_outliers(flat.run);
  EXPECT_EQ(flat.run.tsi1.at(11, 1), 1.0f);
  // Depth 0 has no fraction: it shows 0.
  std::vector<float> depth(30, 0.0f);
  EXPECT_EQ(count_outliers(flat.run.tsi1, depth, 30).negative_share[20], 0.0f);
  // Option 20 at 0: nothing changes.
  Stand off("");
  off.run.icommands[opt::stand_dynamics] = 0;
  const std::vector<float> before = off.run.tsi1.matrix;
  endogenous_outliers(off.run);
  EXPECT_EQ(off.run.tsi1.matrix, before);
}

TEST(endogenous_outliers, no_more_plots_ends_the_series_pages) {
  // "n" at the first series' page ends the per-series pages; the pages of all outlier
  // series and of their counts follow (two more menus). A third page per series would
  // find no answer and end the run.
  Stand s("n\n\n\n");
  s.run.icommands[opt::stand_dynamics_plots] = 1;
  s.run.pooled_coefficients = {0.5f};
  EXPECT_NO_THROW(endogenous_outliers(s.run));
  EXPECT_EQ(count_of(s.out.str(), "[n]o more plots"), 3);
}

TEST(release_detection, settings_can_change_for_the_series_in_hand) {
  // Series 1: its page "c", "y", then a window of 4 and 51 (asked again) and 5, 30
  // percent, 0 errors, prefilter "x" (asked again) and "y"; after the second page "n".
  // Series 2: its page "c", then blank.
  Stand s("c\ny\n4\n51\n5\n30\n0\nx\ny\nc\nn\nc\n\n");
  s.run.icommands[opt::stand_dynamics] = 2;
  s.run.icommands[opt::stand_dynamics_plots] = 1;
  s.run.icommands[opt::release_window] = 10;
  s.run.icommands[opt::release_threshold] = 25;
  release_detection(s.run);
  const std::string console = s.out.str();
  EXPECT_EQ(count_of(console, "[n]o more plots"), 3);
  EXPECT_EQ(s.in.rdbuf()->in_avail(), 0);  // every answer read, none missing
  EXPECT_EQ(count_of(console, question_line("change release detection settings? y/<n>")), 3);
  EXPECT_EQ(count_of(console, "running mean window width (5-50)"), 3);
  EXPECT_EQ(count_of(console, "prefilter with 3-point binomial? y/<n>"), 2);

  // "n" at the first page ends the pages and the questions for every series.
  Stand stop("n\n");
  stop.run.icommands[opt::stand_dynamics] = 3;
  stop.run.icommands[opt::stand_dynamics_plots] = 1;
  stop.run.icommands[opt::release_window] = 5;
  EXPECT_NO_THROW(release_detection(stop.run));
  EXPECT_EQ(count_of(stop.out.str(), "[n]o more plots"), 1);
  EXPECT_EQ(count_of(stop.out.str(), "change release detection settings"), 0);

  // Without plots: no question, nothing on the console.
  Stand quiet("");
  quiet.run.icommands[opt::stand_dynamics] = 3;
  quiet.run.icommands[opt::release_window] = 10;
  release_detection(quiet.run);
  EXPECT_EQ(quiet.out.str(), "");
  // The measurements are left as they were.
  EXPECT_NEAR(quiet.run.tsi1.at(11, 1), 0.9f + 0.033f + 0.5f, 1e-6);
}

}  // namespace
}  // namespace dendro
