#include "kalder/summary_plots.h"

#include <gtest/gtest.h>

#include <cmath>

#include "series/store.h"
#include "stage_support.h"

namespace dendro {
namespace {

using stage_test::scratch;
using stage_test::Stage;

// The menus as the console shows them: the all-series plot's box is one star narrower than
// the chronology plot's; only the chronology pair pages offer the sample depth limits.
std::size_t series_pages(const std::string& console) {
  return count_of(console, "plot options menu *************|");
}
std::size_t chronology_pages(const std::string& console) {
  return count_of(console, "plot options menu **************|");
}
std::size_t pair_pages(const std::string& console) {
  return count_of(console, "sample depth plot");
}

// A data file of `count` series over 30 years from 1901 with all four chronologies and
// `windows` running rbar windows; no detrending, so that the spectra stay out of the way.
void set_up(Run& run, int count, int windows) {
  constexpr int n = 30;
  run.first_year = 1901;
  run.length = n;
  run.tsi1.reshape(n, count);
  for (int j = 1; j <= count; ++j) {
    for (int i = 1; i <= n; ++i) run.tsi1.at(i, j) = 1.0f + 0.1f * std::sin(float(i + j));
    run.tsi1.year_row(j) = SeriesYears{1901, 1930};
    run.tsi1.ids.push_back("SER0" + std::to_string(j) + "   ");
  }
  run.tsi1.year_row(count + 1) = SeriesYears{1901, 1930};
  run.tsi1.overlay.assign(n, 1.0f);
  run.tsi2.reshape(n);
  run.depth.assign(n, count);
  for (int i = 1; i <= n; ++i) {
    run.tsi2.at(i, 1) = static_cast<float>(count);
    run.tsi2.at(i, 2) = 30.0f;
    run.tsi2.at(i, 3) = static_cast<float>(i);
    for (int c = 4; c <= 7; ++c) run.tsi2.at(i, c) = 1.0f + 0.2f * std::cos(float(i * c));
  }
  run.running_table.assign(static_cast<std::size_t>(windows), {});
  for (int w = 0; w < windows; ++w) {
    for (int stage = 0; stage < 4; ++stage) {
      auto& row = run.running_table[static_cast<std::size_t>(w)];
      const auto c0 = static_cast<std::size_t>(7 * stage);
      row[c0] = 1905.0f + 10.0f * static_cast<float>(w);  // middle year
      row[c0 + 1] = 3.0f;
      row[c0 + 2] = 0.4f + 0.1f * static_cast<float>(w);  // rbar
      row[c0 + 4] = 0.05f;                                // standard error
      row[c0 + 5] = 0.8f;                                 // eps
    }
  }
  run.window_count = windows;
  run.icommands[opt::mean_chronology] = 2;
  run.icommands[opt::first_detrending] = 0;
  run.icommands[opt::ar_method] = 1;
  run.icommands[opt::running_rbar_window] = 10;
  run.icommands[opt::running_rbar_overlap] = 5;
  run.commands.set_data_file("site");
}

struct Outcome {
  std::size_t pairs = 0, pages = 0;
  std::string console;
};

Outcome end_plots(const std::string& script, int code, int rbar_plot, int count = 3,
                  int windows = 3, int transform = 0) {
  Stage s(script);
  set_up(s.run, count, windows);
  s.run.icommands[opt::summary_plots] = code;
  s.run.summary_plots_state = 0;  // a "[n]o more plots" of an earlier data file
  s.run.icommands[opt::running_rbar_plots] = rbar_plot;
  s.run.icommands[opt::transformation] = transform;
  summary_plots(s.run);
  const std::string console = s.console();
  return {pair_pages(console), chronology_pages(console), console};
}

TEST(summary_plots, pages_by_code_and_answers) {
  // Code 3, all pages continued: raw and standard chronologies, segment length and age,
  // raw running rbar (without detrending the sequence ends there).
  Outcome o = end_plots("\n\n\n\n", 3, 0);
  EXPECT_EQ(o.pairs, 1u);
  EXPECT_EQ(o.pages, 3u);
  // With a transformation the transformed running rbar page follows the raw one.
  EXPECT_EQ(end_plots("\n\n\n\n\n", 2, 0, 3, 3, 1).pages, 4u);
  // "[n]o more plots" in the first page ends the summary plots; with code 3 the running
  // rbar flag does not bring them back.
  EXPECT_EQ(end_plots("n\n", 3, 1).pages, 1u);
  // With code 2 it does: the running rbar page is drawn.
  o = end_plots("n\n\n", 2, 1);
  EXPECT_EQ(o.pairs, 1u);
  EXPECT_EQ(o.pages, 2u);
  // Codes 0 and 1 draw no summary page, but the running rbar flag lifts the state to 2.
  for (int code : {0, 1}) {
    o = end_plots("\n", code, 1);
    EXPECT_EQ(o.pairs, 0u) << code;
    EXPECT_EQ(o.pages, 1u) << code;
    EXPECT_EQ(end_plots("", code, 0).pages, 0u) << code;
  }
}

TEST(summary_plots, residual_and_kalder_pair_and_spectra_with_detrending) {
  const auto dir = scratch("summary_detrended");
  for (int answer : {0, 1}) {
    // The spectra page follows the summary plots code, not the plot state: it takes the
    // last Return either way.
    Stage s(answer == 0 ? std::string(20, '\n') : "n\n\n");
    set_up(s.run, 3, 3);
    s.run.commands.set_data_file((dir / "site").string());
    s.run.icommands[opt::first_detrending] = -6;
    s.run.icommands[opt::summary_plots] = 3;
    summary_plots(s.run);
    // Continued: both chronology pairs; "[n]o more plots" in the first: no second pair.
    EXPECT_EQ(pair_pages(s.console()), answer == 0 ? 2u : 1u);
    EXPECT_TRUE(std::filesystem::exists(dir / "site_spectra.txt"));  // either way
    std::filesystem::remove(dir / "site_spectra.txt");
  }
}

TEST(summary_plots, running_rbar_notices) {
  // One series: the notice names it; no segment length page (needs more than one series).
  Outcome o = end_plots("\n", 2, 0, 1, 3);
  EXPECT_NE(o.console.find("\n *** no running rbar plotted ***\n"
                           " *** only 1 series processed ***\n"),
            std::string::npos);
  EXPECT_EQ(o.pages, 1u);
  // One window: the segment length page is drawn, the running rbar pages are not.
  o = end_plots("\n\n", 2, 0, 3, 1);
  EXPECT_NE(o.console.find("\n *** no running rbar plotted ***\n"
                           " *** number of segments is 1 ***\n"),
            std::string::npos);
  EXPECT_EQ(o.pages, 2u);
  // No window at all: no segment length page either.
  EXPECT_EQ(end_plots("\n", 2, 0, 3, 0).pages, 1u);
  // Without summary plots and without the running rbar flag: no notice.
  EXPECT_EQ(end_plots("", 1, 0, 1, 0).console.find("no running rbar"), std::string::npos);
}

TEST(summary_plots, spaghetti_points) {
  struct Case {
    SpaghettiPoint point;
    bool with_mean;  // the mean drawn over the series; else drawn only without a mean
  };
  const Case cases[] = {
      {SpaghettiPoint::gap_filled, false},     {SpaghettiPoint::transformed, false},
      {SpaghettiPoint::raw_mean, true},        {SpaghettiPoint::detrended, false},
      {SpaghettiPoint::standard_mean, true},   {SpaghettiPoint::residuals, false},
      {SpaghettiPoint::rewhitened_mean, true},
  };
  for (const Case& c : cases) {
    for (int code = 0; code <= 3; ++code) {
      for (int mean : {0, 2}) {
        Stage s("\n");
        set_up(s.run, 3, 3);
        s.run.icommands[opt::summary_plots] = code;
        s.run.icommands[opt::mean_chronology] = mean;
        spaghetti_plot(s.run, c.point);
        const bool drawn = (code == 1 || code == 3) && (c.with_mean || mean == 0);
        EXPECT_EQ(series_pages(s.console()), drawn ? 1u : 0u)
            << static_cast<int>(c.point) << " code " << code << " mean " << mean;
        // Pages without a mean hide the overlay; the others keep the chronology in it.
        EXPECT_EQ(s.run.tsi1.overlay[0], drawn && !c.with_mean ? kMissing : 1.0f);
      }
    }
  }
}

}  // namespace
}  // namespace dendro
