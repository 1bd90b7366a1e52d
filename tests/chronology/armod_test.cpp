#include "chronology/armod.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "series/store.h"
#include "tests/chronology/run_fixture.h"

namespace dendro {
namespace {

class ArmodRun : public ChronologyRun {
 protected:
  // A set of `count` series on the years 1801 .. 1800 + rows; series i starts 2(i - 1) years
  // after the set and runs to its end.
  void make_set(int rows, int count, unsigned seed) {
    std::mt19937 gen(seed);
    std::normal_distribution<float> shock(0.0f, 0.1f);
    store_.reshape(rows, count);
    for (int i = 1; i <= count; ++i) {
      const int offset = 2 * (i - 1);
      float v = 0.0f;
      for (int r = offset + 1; r <= rows; ++r) {
        v = 0.4f * v + shock(gen);
        store_.at(r, i) = 1.0f + v;
      }
      store_.year_row(i) = SeriesYears{.ify = 1801 + offset, .ily = 1800 + rows};
      store_.ids.push_back("SER" + std::to_string(100 + i) + "  ");
    }
    store_.year_row(count + 1) = SeriesYears{.ify = 1801, .ily = 1800 + rows};
    table_.reshape(rows);
    for (int r = 1; r <= rows; ++r) {
      int depth = 0;
      for (int i = 1; i <= count; ++i) depth += store_.at(r, i) != kMissing;
      table_.at(r, 1) = static_cast<float>(depth);
    }
  }
  std::vector<SeriesModel> run(int pooled_order = 1) {
    return armod(store_, table_, stats_, pooled_order, icommands_, commands_, units_, plots_);
  }
  Tsi1 store_;
  Tsi2 table_;
  StatsTable stats_;
};

TEST_F(ArmodRun, ordinary_method_leaves_residual_indices) {
  // Order 0 (option 11 = 0 with a pooled order of 0): the residual is the value minus the
  // series' mean. Series 1: [0.5, 1, 4.5, 2], mean 2, residuals -1.5, -1, 2.5, 0, indices
  // -0.5 (floored to 0), 0, 3.5, 1.
  store_.reshape(4, 1);
  const std::vector<float> x{0.5f, 1.0f, 4.5f, 2.0f};
  std::copy(x.begin(), x.end(), store_.matrix.begin());
  store_.year_row(1) = SeriesYears{.ify = 1901, .ily = 1904, .ips = 7};
  store_.year_row(2) = SeriesYears{.ify = 1901, .ily = 1904};
  store_.ids = {"ONE     "};
  table_.reshape(4);
  for (int r = 1; r <= 4; ++r) {
    table_.at(r, 13) = 5.0f;
    table_.at(r, 15) = 7.0f;
  }
  icommands_[opt::ar_method] = 1;
  icommands_[opt::series_ar_order] = 0;
  icommands_[opt::printout] = 2;
  const auto models = run(0);
  ASSERT_EQ(models.size(), 1u);
  EXPECT_EQ(models[0].order, 0);
  EXPECT_EQ(store_.matrix, (std::vector<float>{0.0f, 0.0f, 3.5f, 1.0f}));
  EXPECT_EQ(store_.years[0].ips, 0);
  EXPECT_EQ(table_.at(2, 13), 0.0f);
  EXPECT_EQ(table_.at(2, 14), 0.0f);
  EXPECT_EQ(table_.at(2, 15), 7.0f);  // the fractions belong to the robust methods
  EXPECT_FALSE(exists("site_auto_outs.txt"));
  // The statistics of the indices (mean 1.125 of 0, 0, 3.5, 1) replace row 1 and then, as
  // the summary sorts each column, row 1 holds the column's mean.
  EXPECT_FLOAT_EQ(stats_.at(1, 2), 1.125f);
  EXPECT_FLOAT_EQ(stats_.at(1, 1), 4.0f);
  const auto lines = report();
  EXPECT_TRUE(contains(lines,
                       " |------------------- statistics of prewhitened tree-ring data"
                       " -----------------|"));
  EXPECT_TRUE(contains(lines,
                       " |------------- summary of prewhitened tree-ring series statistics"
                       " -------------|"));
  // "(t2,i5,2x,a8,i6,2i7,2f8.3,3f7.3,f8.3)": number, id, years, length, then the statistics
  // summary of 0, 0, 3.5, 1 by hand (mean 1.125, sd sqrt(8.1875 / 3), skewness and kurtosis
  // with their small-sample factors, sensitivity (2 + 2.5 / 2.25) / 3, autocorrelation
  // -1.703125 / 8.1875).
  EXPECT_TRUE(contains(lines,
                       "     1  ONE       1901   1904      4   1.125   1.652  3.165 "
                       "15.673  1.037  -0.208"));
  EXPECT_EQ(out_.str(), "\n calculate individual series autoregressions\n\n");
}

TEST_F(ArmodRun, robust_method_tallies_outliers_by_year) {
  make_set(120, 6, 4);
  store_.at(61, 3) += 1.0f;  // a pulse of ten shock deviations in series 3, year 1860
  icommands_[opt::ar_method] = 2;
  icommands_[opt::series_ar_order] = 1;
  icommands_[opt::core_series_save] = 5;
  commands_.set_header_line(1, std::string(85, 'a'));
  const Tsi1 before = store_;
  run();
  // Series 3 counts a positive outlier in 1860 and the echo of its pulse a negative one in
  // 1861; the fractions divide by the six series of those years.
  EXPECT_EQ(table_.at(61, 14), 1.0f);
  EXPECT_EQ(table_.at(62, 13), -1.0f);
  EXPECT_FLOAT_EQ(table_.at(61, 16), 1.0f / 6.0f);
  EXPECT_FLOAT_EQ(table_.at(62, 15), -1.0f / 6.0f);
  // The series matrix holds residual indices again after the outlier file, with -9.99 before
  // each series' first year.
  EXPECT_EQ(store_.at(4, 3), kMissing);
  EXPECT_NE(store_.at(5, 3), kMissing);
  EXPECT_NE(store_.at(61, 3), before.matrix[2 * 120 + 60]);
  EXPECT_EQ(store_.overlay[0], kMissing);
  EXPECT_TRUE(exists("site_auto_outs.txt"));
  // Column files of option 18 above 3 have no title records; the tag stays in the block only
  // for the title-record formats.
  EXPECT_EQ(commands_.header_line(1), std::string(85, 'a'));
}

TEST_F(ArmodRun, outlier_file_holds_the_outliers_at_four_decimals) {
  // The outlier series come back from working records with four decimals (10f9.4): the
  // compact save holds exactly the values that the column save prints, k x 10^p with p no
  // finer than -4 (more decimals would give a finer scale and other digits).
  auto saved = [&](int code) {
    make_set(120, 6, 4);
    store_.at(61, 3) += 1.0f;  // series 3 gets outliers in 1860 and 1861
    for (int i = 1; i <= 6; ++i) store_.year_row(i).ics = 1;
    icommands_[opt::ar_method] = 2;
    icommands_[opt::series_ar_order] = 1;
    icommands_[opt::core_series_save] = code;
    run();
    return lines_of(path("site_auto_outs.txt"));
  };
  const auto columns = saved(5);
  const auto compact = saved(4);
  // Series 3 runs from 1805 (row 5) to 1920; its compact header and values.
  std::size_t at = 0;
  while (at < compact.size() && compact[at].find("=i SER103") == std::string::npos) ++at;
  ASSERT_LT(at, compact.size());
  const std::string& head = compact[at];
  const int n = std::stoi(head.substr(0, 8));
  const int p = std::stoi(head.substr(68, 3));
  const int per_record = std::stoi(head.substr(72, 2));
  const int width = head[75] - '0';
  ASSERT_EQ(n, 116);
  ASSERT_GE(p, -4) << head;
  int departures = 0;
  for (int t = 0; t < n; ++t) {
    const std::string& record = compact[at + 1 + static_cast<std::size_t>(t / per_record)];
    const long long k = std::stoll(record.substr(static_cast<std::size_t>((t % per_record) * width),
                                                 static_cast<std::size_t>(width)));
    long long ten_thousandths = k;
    for (int e = p; e > -4; --e) ten_thousandths *= 10;
    // Column 3 of the column file: year 1805 + t is line 5 + t (after the head).
    const std::string value = columns[static_cast<std::size_t>(5 + t)].substr(6 + 9 * 2 + 1, 8);
    EXPECT_EQ(ten_thousandths, std::llround(std::stod(value) * 10000.0)) << 1805 + t;
    departures += ten_thousandths != 10000;
  }
  EXPECT_GE(departures, 2);
}

TEST_F(ArmodRun, outlier_file_titles_carry_the_tag) {
  make_set(60, 2, 5);
  icommands_[opt::ar_method] = 3;
  icommands_[opt::series_ar_order] = 1;
  icommands_[opt::core_series_save] = 2;
  commands_.set_header_line(2, "second header");
  run();
  const auto lines = lines_of(path("site_auto_outs.txt"));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[1], std::string("second header") + std::string(67, ' ') + " aout");
  EXPECT_EQ(commands_.header_line(2).substr(80), " aout");
}

TEST_F(ArmodRun, no_more_plots_ends_the_series_pages) {
  // Outlier plots on: the first series' page is answered "n", so the other two series get no
  // page; the pages of all outlier series and of the yearly counts follow (blank answers).
  make_set(50, 3, 8);
  icommands_[opt::ar_method] = 2;
  icommands_[opt::series_ar_order] = 1;
  icommands_[opt::ar_method_plots] = 1;
  in_.str("n\n\n\n");
  run();
  const std::string text = out_.str();
  std::size_t menus = 0;
  for (std::size_t at = text.find("plot options menu"); at != std::string::npos;
       at = text.find("plot options menu", at + 1)) {
    ++menus;
  }
  EXPECT_EQ(menus, 3u);
}

TEST_F(ArmodRun, model_table_heads_repeat_at_multiples_of_20) {
  make_set(140, 41, 6);
  icommands_[opt::ar_method] = 1;
  icommands_[opt::series_ar_order] = 2;
  icommands_[opt::printout] = 2;
  const auto models = run();
  for (const SeriesModel& m : models) EXPECT_EQ(m.order, 2);
  const auto lines = report();
  const std::string head =
      "     series    ident    order     rsq     t-1     t-2     t-3   .....    t-ip";
  EXPECT_EQ(count_of(lines, head), 3);  // before series 1, 20 and 40
  const auto at = std::find(lines.begin(), lines.end(), head);
  ASSERT_NE(at, lines.end());
  // "(t6,i5,3x,a8,i6,2x,6f8.3)": series 1 with its order and two coefficients.
  const std::string row = *(at + 1);
  EXPECT_EQ(row.substr(0, 29), "         1   SER101       2  ");
  EXPECT_EQ(row.size(), 5u + 5 + 3 + 8 + 6 + 2 + 3 * 8);
}

TEST_F(ArmodRun, order_summary_rounds_only_the_mean) {
  // A batch run fits series 1 at order 2 and series 2 at order 3 (their ips codes); the run's
  // option 11 below 0 summarises orders and r-squared: mean order 2.5 prints as 3, the median
  // 2.5 as 2, the standard deviation 0.707 as 0.
  make_set(100, 2, 7);
  commands_.at(Commands::kBatchMode) = 'y';
  store_.years[0].ips = 2;
  store_.years[1].ips = 3;
  icommands_[opt::ar_method] = 1;
  icommands_[opt::series_ar_order] = -1;
  const auto models = run();
  EXPECT_EQ(models[0].order, 2);
  EXPECT_EQ(models[1].order, 3);
  EXPECT_EQ(store_.years[0].ips, -1);
  const auto lines = report();
  const auto head = std::find(lines.begin(), lines.end(), "                        order     rsq");
  ASSERT_NE(head, lines.end());
  // "(t4,a,t25,i3,...)": the label from column 4, the order statistic in columns 25 to 27.
  auto start = [](const std::string& label, const std::string& order) {
    return "   " + label + std::string(21 - label.size(), ' ') + order;
  };
  EXPECT_EQ((head + 1)->substr(0, 27), start("arithmetic mean", "  3"));
  EXPECT_EQ((head + 2)->substr(0, 27), start("standard deviation", "  0"));
  EXPECT_EQ((head + 3)->substr(0, 27), start("median", "  2"));
  EXPECT_EQ((head + 5)->substr(0, 27), start("minimum value", "  2"));
  EXPECT_EQ((head + 8)->substr(0, 27), start("maximum value", "  3"));
}

}  // namespace
}  // namespace dendro
