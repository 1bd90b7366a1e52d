#include "kalder/bootstrap_files.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "stage_support.h"

namespace dendro {
namespace {

using stage_test::lines_of;
using stage_test::scratch;
using stage_test::Stage;

constexpr int kFirstYear = 1901;

// A limits file record: year, depth, then value, lower, upper, smoothed value, smoothed
// lower, smoothed upper.
struct Record {
  int year = 0, depth = 0;
  std::array<double, 6> v{};
};

Record parse(const std::string& line) {
  Record r;
  r.year = std::stoi(line.substr(0, 6));
  r.depth = std::stoi(line.substr(6, 6));
  for (std::size_t k = 0; k < 6; ++k) r.v[k] = std::stod(line.substr(12 + 8 * k, 8));
  return r;
}

// A chronology of n years from 1901: value(i) = 1 + 0.1 i, depth 7 in the table, limits
// value - 0.2 and value + 0.3 in years first..last (1-based), 0.0 elsewhere.
void set_up(Run& run, const std::filesystem::path& dir, int n, int first, int last) {
  run.prefix = (dir / "site").string();
  run.commands.set_data_file("site");
  run.icommands[opt::bootstrap_limits] = 1;
  run.icommands[opt::bootstrap_spline] = 20;
  run.first_year = kFirstYear;
  run.length = n;
  run.tsi2.reshape(n);
  run.depth.assign(static_cast<std::size_t>(n), 0);
  run.tsi1.overlay.assign(static_cast<std::size_t>(n), 0.0f);
  run.lower.assign(static_cast<std::size_t>(n), 0.0f);
  run.upper.assign(static_cast<std::size_t>(n), 0.0f);
  for (int i = 1; i <= n; ++i) {
    const auto at = static_cast<std::size_t>(i - 1);
    run.tsi2.at(i, 1) = 7.0f;
    run.tsi1.overlay[at] = 1.0f + 0.1f * static_cast<float>(i);
    if (i >= first && i <= last) {
      run.lower[at] = run.tsi1.overlay[at] - 0.2f;
      run.upper[at] = run.tsi1.overlay[at] + 0.3f;
    }
  }
}

// Compares a record with the expected six values to the printed 3 decimals.
void expect_record(const Record& r, int year, std::array<double, 6> expected) {
  EXPECT_EQ(r.year, year);
  for (std::size_t k = 0; k < 6; ++k) {
    EXPECT_NEAR(r.v[k], expected[k], 0.0011) << "year " << year << " field " << k;
  }
}

TEST(bootstrap_files, raw_pass_span_placeholders_and_file_layout) {
  const auto dir = scratch("raw_pass");
  Stage s("");
  set_up(s.run, dir, 12, 3, 11);  // years 1, 2 and 12 without limits
  bootstrap_files(s.run, BootstrapPass::raw);

  EXPECT_EQ(s.run.limit_offset, 2);
  EXPECT_EQ(s.run.limit_span, 9);
  for (int d : s.run.depth) EXPECT_EQ(d, 7);  // reset from the table's column 1
  const auto lines = lines_of(dir / "site_raw_95%cl.txt");
  ASSERT_EQ(lines.size(), 13u);
  // The spline length (20) in characters 37-41, right before "spl".
  EXPECT_EQ(lines[0], "  year    nc     raw    2.5%   97.5%   20spl    2.5%   97.5%");
  EXPECT_EQ(lines[1], "  1901     7   1.100   1.100   1.100   1.100   1.100   1.100");
  // A cubic smoothing spline keeps a straight line as it is, so the smoothed values are the
  // values (1 + 0.1 i) and the smoothed limits the limits (value - 0.2, value + 0.3).
  expect_record(parse(lines[2]), 1902, {1.2, 1.2, 1.2, 1.2, 1.2, 1.2});
  expect_record(parse(lines[3]), 1903, {1.3, 1.1, 1.6, 1.3, 1.1, 1.6});
  expect_record(parse(lines[11]), 1911, {2.1, 1.9, 2.4, 2.1, 1.9, 2.4});
  expect_record(parse(lines[12]), 1912, {2.2, 2.2, 2.2, 2.2, 2.2, 2.2});
  // The placeholders stay in the limit vectors for the later passes.
  EXPECT_FLOAT_EQ(s.run.lower[0], s.run.tsi1.overlay[0]);
  EXPECT_FLOAT_EQ(s.run.upper[11], s.run.tsi1.overlay[11]);
  EXPECT_EQ(s.console(), "");  // no plot flag: no plot and no dialogue
}

TEST(bootstrap_files, kalder_limits_from_the_residual_ones) {
  const auto dir = scratch("kalder_pass");
  Stage s("");
  set_up(s.run, dir, 12, 3, 11);
  bootstrap_files(s.run, BootstrapPass::raw);

  // Residual chronology 1.0 everywhere with limits 0.9 and 1.2 over the span.
  for (std::size_t i = 2; i <= 10; ++i) {
    s.run.tsi1.overlay[i] = 1.0f;
    s.run.lower[i] = 0.9f;
    s.run.upper[i] = 1.2f;
  }
  bootstrap_files(s.run, BootstrapPass::residual);

  // The table's residual column is rewhitened after the residual pass; the distances are
  // taken from the chronology that the limits surround, so this column plays no part.
  for (float& v : s.run.tsi2.column(6)) v = 0.5f;
  // Kalder chronology 1 + 0.05 i, limit scale 1.5: hand, lower = kld - 1.5 * (1.0 - 0.9)
  // = kld - 0.15 and upper = kld + 1.5 * (1.2 - 1.0) = kld + 0.3.
  for (int i = 1; i <= 12; ++i) {
    s.run.tsi1.overlay[static_cast<std::size_t>(i - 1)] = 1.0f + 0.05f * static_cast<float>(i);
  }
  s.run.limit_scale = 1.5f;
  bootstrap_files(s.run, BootstrapPass::kalder);

  const auto lines = lines_of(dir / "site_kld_95%cl.txt");
  ASSERT_EQ(lines.size(), 13u);
  EXPECT_EQ(lines[0], "  year    nc     kld    2.5%   97.5%   20spl    2.5%   97.5%");
  // Outside the span (years 1, 2 and 12) the smoothed lower limit stays 0.0: placeholders.
  expect_record(parse(lines[1]), 1901, {1.05, 1.05, 1.05, 1.05, 1.05, 1.05});
  expect_record(parse(lines[12]), 1912, {1.6, 1.6, 1.6, 1.6, 1.6, 1.6});
  expect_record(parse(lines[3]), 1903, {1.15, 1.0, 1.45, 1.15, 1.0, 1.45});
  expect_record(parse(lines[7]), 1907, {1.35, 1.2, 1.65, 1.35, 1.2, 1.65});
}

TEST(bootstrap_files, no_year_with_limits_gives_placeholders_only) {
  const auto dir = scratch("no_limits");
  Stage s("");
  set_up(s.run, dir, 6, 7, 0);                // no year has limits
  s.run.icommands[opt::bootstrap_plots] = 1;  // nothing to plot: no page and no dialogue
  bootstrap_files(s.run, BootstrapPass::raw);
  EXPECT_LT(s.run.limit_span, 1);
  const auto lines = lines_of(dir / "site_raw_95%cl.txt");
  ASSERT_EQ(lines.size(), 7u);
  for (int i = 1; i <= 6; ++i) {
    const double v = 1.0 + 0.1 * i;
    expect_record(parse(lines[static_cast<std::size_t>(i)]), 1900 + i, {v, v, v, v, v, v});
  }
  EXPECT_EQ(s.console(), "");

  // Off: no file at all.
  std::filesystem::remove(dir / "site_std_95%cl.txt");
  s.run.icommands[opt::bootstrap_limits] = 0;
  bootstrap_files(s.run, BootstrapPass::standard);
  EXPECT_FALSE(std::filesystem::exists(dir / "site_std_95%cl.txt"));
}

TEST(bootstrap_files, spline_dialogue_after_the_raw_plot) {
  const auto dir = scratch("dialogue");
  // The plot continues; "x" and "/" are wrong answers; "y", then 3 (too short), "abc" (no
  // number) and 30; the redrawn plot continues; a blank keeps the spline.
  Stage s("\nx\n/\ny\n3\nabc\n30\n\n\n");
  set_up(s.run, dir, 12, 1, 12);
  s.run.icommands[opt::bootstrap_plots] = 1;
  bootstrap_files(s.run, BootstrapPass::raw);

  const std::string console = s.console();
  EXPECT_EQ(count_of(console, "plot options menu"), 2u);
  EXPECT_EQ(count_of(console, "\n change the spline? y/<n>                   ==> "), 4u);
  EXPECT_EQ(count_of(console, " enter the new spline smoothing in years    ==> "), 3u);
  EXPECT_EQ(count_of(console, "\n --> spline cutoff must be .ge. 5 years\n\n"), 1u);
  EXPECT_EQ(s.run.icommands[opt::bootstrap_spline], 30);
  EXPECT_EQ(lines_of(dir / "site_raw_95%cl.txt")[0],
            "  year    nc     raw    2.5%   97.5%   30spl    2.5%   97.5%");

  // The later passes of the data file use the new length, without a dialogue.
  s.run.icommands[opt::bootstrap_plots] = 0;
  bootstrap_files(s.run, BootstrapPass::standard);
  EXPECT_EQ(lines_of(dir / "site_std_95%cl.txt")[0],
            "  year    nc     std    2.5%   97.5%   30spl    2.5%   97.5%");
}

TEST(bootstrap_files, a_changed_spline_smooths_the_limits_as_given) {
  // A wavy chronology with a year inside the span that has no limits: smoothing again with
  // 8 years after a first smoothing with 20 gives the file that 8 years gives at once.
  auto wavy = [](dendro::Run& run) {
    for (std::size_t i = 0; i < run.tsi1.overlay.size(); ++i) {
      run.tsi1.overlay[i] = 1.0f + 0.4f * std::sin(static_cast<float>(i));
      run.lower[i] = run.tsi1.overlay[i] - 0.3f;
      run.upper[i] = run.tsi1.overlay[i] + 0.2f;
    }
    run.lower[9] = run.upper[9] = 0.0f;
  };
  const auto dir_a = scratch("changed_a"), dir_b = scratch("changed_b");
  Stage a("\ny\n8\n\n\n");
  set_up(a.run, dir_a, 30, 1, 30);
  wavy(a.run);
  a.run.icommands[opt::bootstrap_plots] = 1;
  bootstrap_files(a.run, BootstrapPass::raw);
  Stage b("");
  set_up(b.run, dir_b, 30, 1, 30);
  wavy(b.run);
  b.run.icommands[opt::bootstrap_spline] = 8;
  bootstrap_files(b.run, BootstrapPass::raw);

  const auto la = lines_of(dir_a / "site_raw_95%cl.txt");
  EXPECT_EQ(la, lines_of(dir_b / "site_raw_95%cl.txt"));
  // The year without limits shows the value as both limits.
  const Record r = parse(la[10]);
  EXPECT_EQ(r.v[1], r.v[0]);
  EXPECT_EQ(r.v[2], r.v[0]);
}

TEST(bootstrap_files, a_shorter_later_chronology_keeps_the_span_within_its_years) {
  // First differences make the standard chronology one year shorter than the raw one.
  const auto dir = scratch("shorter");
  Stage s("");
  set_up(s.run, dir, 12, 1, 12);
  bootstrap_files(s.run, BootstrapPass::raw);
  EXPECT_EQ(s.run.limit_span, 12);
  s.run.length = 11;
  s.run.first_year = kFirstYear + 1;
  bootstrap_files(s.run, BootstrapPass::standard);
  const auto lines = lines_of(dir / "site_std_95%cl.txt");
  ASSERT_EQ(lines.size(), 12u);
  expect_record(parse(lines[11]), 1912, {2.1, 1.9, 2.4, 2.1, 1.9, 2.4});
}

}  // namespace
}  // namespace dendro
