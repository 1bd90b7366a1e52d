#include "pelliform/startup.h"

#include <gtest/gtest.h>

#include "pelliform/file_names.h"
#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::RunTest;

TEST(startup, banner_and_warning_boxes) {
  const std::vector<std::string> b = banner();
  ASSERT_EQ(b.size(), 12u);
  const std::string at17(16, ' ');
  EXPECT_EQ(b[0], at17 + std::string(34, '*'));
  EXPECT_EQ(b[2], at17 + "***     Program  Pelliform     ***");
  EXPECT_EQ(b[7], at17 + "***     Max Series:  4500      ***");
  EXPECT_EQ(b[8], at17 + "***     Max Years :  5000      ***");
  EXPECT_EQ(b[10], at17 + "********* Version 43ptr08 ********");
  for (const std::string& line : b) EXPECT_EQ(line.size(), 50u);
  const std::vector<std::string> w = gap_warning();
  ASSERT_EQ(w.size(), 7u);
  EXPECT_EQ(w[0], " " + std::string(67, '*'));
  for (const std::string& line : w) EXPECT_EQ(line.size(), 68u);
}

TEST(startup, report_file_names) {
  EXPECT_EQ(report_file_name("survey.txt"), "survey_out_v43ptr08.txt");
  EXPECT_EQ(report_file_name("abc.d.txt"), "abc.d_out_v43ptr08.txt");
  EXPECT_EQ(report_file_name("abc"), "abc_out_v43ptr08.txt");
  EXPECT_EQ(report_file_name("my site.rwl"), "mysite_out_v43ptr08.txt");  // blanks squeezed out
}

class DataFile : public RunTest {};

TEST_F(DataFile, empty_and_unknown_names_are_asked_again) {
  std::ofstream("abc.d.txt") << "x\n";
  answers("\n\nno_such_file_with_a_long_name.rwl\n\nabc.d.txt\n");  // each message pauses
  choose_data_file(*run);
  EXPECT_TRUE(
      shows("There was an error reading your entry.\n"
            "Hit return to enter a new file name or / to exit program."));
  EXPECT_TRUE(
      shows("\nFile > no_such_file_with_a_long_ < not found\n\n"
            "Hit return to enter a new file name or / exit program."));
  EXPECT_EQ(run->data_file, "abc.d.txt");
}

TEST_F(DataFile, slash_alone_ends_the_run) {
  answers("/\n");
  EXPECT_EQ(testing::stop_of([&] { choose_data_file(*run); }).status, 0);
}

TEST_F(DataFile, negative_values_end_the_run_after_listing_every_series) {
  std::ofstream("gaps.txt") << "A\n1901\n1\n-1\n2\nB\n1901\n1\n2\nC\n1950\n-0.5\n-2\n";
  run->data_file = "gaps.txt";
  answers("3\n0\n\n");
  EXPECT_NE(testing::stop_of([&] { load_data(*run); }).status, 0);
  EXPECT_TRUE(
      shows("Regardless of the warning, test for missing data flags:\n"
            "Series A        has   1 missing (negative) values\n"
            "Series C        has   2 missing (negative) values\n"
            "Missing (negative) values encountered:         3\n"
            "Run the data set through KALDER to fill the gaps and save the data.\n\n"
            "Abnormal termination of program Pelliform_Version 43ptr08\n\n"
            "Hit RETURN to Quit"));
}

TEST_F(DataFile, a_loaded_set_is_summarised) {
  std::ofstream("two.txt") << "A\n1901\n1\n1.5\n2\nB\n1899\n1\n2\nEMPTY\n1950\n";
  run->data_file = "two.txt";
  answers("3\n0\n");
  ASSERT_TRUE(load_data(*run));
  EXPECT_EQ(run->set.count(), 2);  // the series without values is left out
  EXPECT_TRUE(shows(" *** series EMPTY holds no values: left out\n"));
  EXPECT_TRUE(
      shows("\n                                 NS   IFY   ILY   NYR\n"
            "Total series read in:             2  1899  1903     5\n"));
  EXPECT_EQ(file("report.txt"),
            "\n                                 NS   IFY   ILY   NYR\n"
            "TOTAL SERIES READ IN:             2  1899  1903     5  SERIES, FIRST YEAR, LAST YEAR, "
            "TOTAL YEARS\n");
  answers("two.txt\n3\n0\n3\n0\n");  // a file chosen anew, then a retry that loads it again
  choose_data_file(*run);
  ASSERT_TRUE(load_data(*run) && load_data(*run));
  const std::string report = file("two_out_v43ptr08.txt");
  EXPECT_NE(report.find("READ IN"), report.rfind("READ IN"));  // begun once, not again
}

TEST_F(DataFile, a_failed_load_offers_another_file_or_ends) {
  std::ofstream("x.txt") << "A\n";
  run->data_file = "x.txt";
  answers("Q\nt\n");
  EXPECT_FALSE(load_data(*run));
  answers("Q\nq\n");
  EXPECT_THROW(load_data(*run), Stop);
  EXPECT_TRUE(shows("[T]ry again or [Q]uit the program now?" + std::string(11, ' ') +
                    "==> Program Terminating\n"));
  // Each failure says why; none is tested for missing data. The column count is asked again.
  answers("x\nt\n4\n0\nx\n2\n*\n\nt\n");
  EXPECT_FALSE(load_data(*run) || load_data(*run));
  EXPECT_TRUE(shows("\nQuit chosen at the input data format menu: no data read\n"));
  EXPECT_TRUE(shows("\nEntry > x < is not a choice between [0-4] or [Q]uit: no data read\n"));
  EXPECT_TRUE(shows("There was an error reading your entry.\n\nEnter the total number of"));
  EXPECT_FALSE(shows("Proceed!"));
}

}  // namespace
}  // namespace dendro
