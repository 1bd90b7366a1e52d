#include "pelliform/pith_offsets.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "pelliform_session.h"
#include "series/blocks.h"
#include "series/files/stop.h"
#include "tests/count_of.h"

namespace dendro {
namespace {

using testing::PSession;

constexpr int kUnit = 70;

class PithFiles : public ::testing::Test {
 protected:
  std::filesystem::path dir = std::filesystem::temp_directory_path() /
                              (std::string("pith_offsets_") +
                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
  void SetUp() override { std::filesystem::create_directories(dir); }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = (dir / name).string();
    std::ofstream(path) << text;
    return path;
  }
  // Reads the offsets with the answers of `s`, which end the run; the stop comes back.
  Stop stopped_reading(PSession& s) {
    bool flag = false;
    return testing::stop_of([&] { pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 3); });
  }
  Units units;
  std::vector<int> offsets;
};

TEST_F(PithFiles, no_file_means_every_offset_is_zero) {
  PSession s("F\n");
  Units units;
  std::vector<int> offsets{4, 5};
  bool flag = true;
  pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 2);
  EXPECT_FALSE(flag);
  EXPECT_TRUE(offsets.empty());
  EXPECT_FALSE(s.shows("NOTE"));
}

TEST_F(PithFiles, unusable_answers_to_the_true_or_false_question_end_the_run_at_100) {
  // The input holds no more than the 100 answers: uncounted, they would end it there too,
  // with the message of the end of input.
  std::string junk;
  for (int k = 0; k < 100; ++k) junk += "x\n";
  PSession s(junk);
  const Stop stop = stopped_reading(s);
  EXPECT_EQ(stop.status, kEndOfInputStatus);
  EXPECT_STREQ(stop.what(), "*** 100 answers in a row could not be used: run ended");
  EXPECT_TRUE(s.shows("Entry > x < is not [T]rue or [F]alse\n"));
}

TEST_F(PithFiles, single_column_after_numbered_header_lines) {
  const std::string path =
      write("pith.txt", "offsets of site\nby series\nin rings\n  12\n   0\n 105\n");
  PSession s("T\n" + path + "\n1\n3\n");
  Units units;
  std::vector<int> offsets;
  bool flag = false;
  pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 3);
  EXPECT_TRUE(flag);
  EXPECT_EQ(offsets, (std::vector<int>{12, 0, 105}));
  EXPECT_TRUE(s.shows("of the file raw ring width records: site.rwl\n"));
  EXPECT_TRUE(s.shows(
      "\n  1Title Line: offsets of site\n  2Title Line: by series\n  3Title Line: in rings\n"));
  EXPECT_FALSE(units.is_open(kUnit));
}

TEST_F(PithFiles, a_typed_layout_reads_its_own_columns) {
  // (2x,i3) reads characters 3-5 of each record.
  const std::string path = write("pith.txt", "AB 12xx\nCD  7yy\n");
  PSession s("T\n" + path + "\n2\n0\n(2x,i3)\n");
  Units units;
  std::vector<int> offsets;
  bool flag = false;
  pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 2);
  EXPECT_EQ(offsets, (std::vector<int>{12, 7}));
}

TEST_F(PithFiles, missing_file_bad_method_and_unreadable_records) {
  const std::string path = write("pith.txt", "  1\n two\n");
  // A name that does not exist, then the file; method 3 is refused; "(i4)" fails on
  // " two", and "x" goes back to the method question; the second failure is answered
  // with "\", which ends the run.
  PSession s("T\nnowhere.txt\n\n" + path + "\n3\n0\n\n1\n0\nx\n1\n0\n\\\n");
  const Stop stop = stopped_reading(s);
  EXPECT_EQ(std::string(stop.what()), "Program Terminating ");
  EXPECT_NE(stop.status, 0);
  EXPECT_TRUE(s.shows("\n\n          File > nowhere.txt               < not found\n"));
  EXPECT_TRUE(s.shows("\n          Please enter 1 or 2 \n"));
  EXPECT_EQ(s.out.str().find("There was an error reading the pith offset") != std::string::npos,
            true);
  EXPECT_EQ(offsets, (std::vector<int>{1}));  // read before the failing record
  EXPECT_FALSE(units.is_open(kUnit));
}

TEST_F(PithFiles, fewer_or_more_offsets_than_series_are_said_as_a_record_that_does_not_read) {
  // Three series (stopped_reading). Two offsets: said, "x" asks the method again, "\\" ends
  // the run. Four (a blank record reads 0) are said too; blanks after the third are not.
  PSession s("T\n" + write("two.txt", "  12\n   7\n") + "\n1\n0\nx\n1\n0\n\\\n");
  EXPECT_STREQ(stopped_reading(s).what(), "Program Terminating ");
  EXPECT_EQ(count_of(s.out.str(),
                     "two.txt\n2 pith offsets for 3 series: each series needs one, in "
                     "the order of the data file\nDo you want to try again? or quit?"),
            2u);
  PSession t("T\n" + write("four.txt", "  12\n   7\n\n   5\n") + "\n1\n0\n\\\n");
  EXPECT_STREQ(stopped_reading(t).what(), "Program Terminating ");
  PSession u("T\n" + write("three.txt", "  12\n   7\n   5\n\n    \n") + "\n1\n0\n");
  bool flag = false;
  pithy(u.con, units, kUnit, offsets, flag, "site.rwl", 3);
  EXPECT_TRUE(t.shows("\n4 pith offsets for 3 series: ") && !u.shows("There was an error"));
}

TEST_F(PithFiles, offsets_past_the_regional_curves_ages_are_refused_with_their_line) {
  // (i12) holds offsets that overflow an integer's sums or wrap in one (4294967296 would
  // read as 0); 4999 and -4999 are taken. After the refusal "\" ends the run.
  const std::string path = write("pith.txt", "head\n        4999\n       -4999\n  4294967296\n");
  PSession s("T\n" + path + "\n2\n1\n(i12)\n\\\n");
  const Stop stop = stopped_reading(s);
  EXPECT_EQ(std::string(stop.what()), "Program Terminating ");
  EXPECT_TRUE(s.shows("values in file : " + path +
                      "\nline 4: pith offset 4294967296 lies outside -4999 to 4999\n"
                      "Do you want to try again? or quit?\n"));
  EXPECT_EQ(offsets, (std::vector<int>{4999, -4999}));
}

TEST_F(PithFiles, a_layout_that_does_not_parse_is_named) {
  const std::string path = write("pith.txt", "  12\n");
  PSession s("T\n" + path + "\n2\n0\n(q4)\n\\\n");
  const Stop stop = stopped_reading(s);
  EXPECT_NE(stop.status, 0);
  EXPECT_TRUE(s.shows("values in file : " + path + "\nbad layout \"(q4)\": "));
  EXPECT_TRUE(offsets.empty());
}

TEST_F(PithFiles, more_offsets_than_the_series_limit_end_the_run) {
  std::string exactly;
  for (int k = 0; k < kMaxSeriesPelliform; ++k) exactly += "   1\n";
  const std::string full = write("full.txt", exactly);
  PSession s("T\n" + full + "\n1\n0\n");
  Units units;
  std::vector<int> offsets;
  bool flag = false;
  pithy(s.con, units, kUnit, offsets, flag, "site.rwl", kMaxSeriesPelliform);
  EXPECT_EQ(offsets.size(), static_cast<std::size_t>(kMaxSeriesPelliform));

  const std::string over = write("over.txt", exactly + "   2\n");
  PSession t("T\n" + over + "\n1\n0\n");
  EXPECT_THROW(pithy(t.con, units, kUnit, offsets, flag, "site.rwl", kMaxSeriesPelliform), Stop);
  EXPECT_TRUE(t.shows("This is a fatal error, there is no recovery "));
}

}  // namespace
}  // namespace dendro
