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
  EXPECT_EQ(count_of(s.out.str(), "values in file : " + path +
                                      "\nline 2: \" two\" holds no offset where (i4) reads one\n"
                                      "Do you want to try again? or quit?"),
            2u);
  EXPECT_TRUE(offsets.empty());
  EXPECT_FALSE(units.is_open(kUnit));
}

TEST_F(PithFiles, counts_of_offsets_and_blank_records) {
  // Three series (stopped_reading). A blank record between offsets reads 0; blank records
  // at the end of the file are passed over, also when the file falls short, so that the
  // count said is of the offsets the file gives.
  const std::vector<std::pair<std::string, std::string>> refused{
      {"  12\n\n", "1 pith offsets for 3 series"},
      {"  12\n   7\n\n\n", "2 pith offsets for 3 series"},
      {"  12\n   7\n\n   5\n", "4 pith offsets for 3 series"}};
  for (const auto& [text, said] : refused) {
    PSession s("T\n" + write("pith.txt", text) + "\n1\n0\n\\\n");
    EXPECT_STREQ(stopped_reading(s).what(), "Program Terminating ");
    EXPECT_TRUE(s.shows("pith.txt\n" + said +
                        ": each series needs one, in the order of the data file\n"
                        "Do you want to try again? or quit?"))
        << text;
  }
  for (const std::string text : {"  12\n\n   5\n\n    \n", "  12\r\n\r\n   5\r\n"}) {
    PSession s("T\n" + write("pith.txt", text) + "\n1\n0\n");
    bool flag = false;
    pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 3);
    EXPECT_EQ(offsets, (std::vector<int>{12, 0, 5}));
  }
}

TEST_F(PithFiles, offsets_that_count_no_rings_are_refused_naming_their_line) {
  // An offset counts the rings missing before the first ring (the rule itself is tested
  // with kalder's reader). The one-column layout reads columns 1 to 4 and refuses what
  // stands beyond them: "    10" would read 0 there.
  const std::vector<std::pair<std::string, std::string>> cases{
      {"   0\n  -1\n", "line 2: pith offset -1 is not a whole number of rings from 0 to 4999"},
      {"   0\n    10\n",
       "line 2: \"    10\" goes past column 4, and method 1 reads the offset in columns 1 to 4 "
       "only"}};
  for (const auto& [text, said] : cases) {
    const std::string path = write("pith.txt", text);
    PSession s("T\n" + path + "\n1\n0\n\\\n");
    EXPECT_STREQ(stopped_reading(s).what(), "Program Terminating ");
    EXPECT_TRUE(s.shows("values in file : " + path + "\n" + said + "\nDo you want to try again?"))
        << s.out.str();
  }
}

TEST_F(PithFiles, a_typed_layout_that_reads_no_offset_is_said_and_asked_again) {
  const std::string path = write("pith.txt", "  12\n   7\n   5\n");
  PSession s("T\n" + path + "\n2\n0\n(a4)\n(i4)\n");
  bool flag = false;
  pithy(s.con, units, kUnit, offsets, flag, "site.rwl", 3);
  EXPECT_EQ(offsets, (std::vector<int>{12, 7, 5}));
  EXPECT_TRUE(
      s.shows("==> *** layout \"(a4)\" reads text, not a number: type a layout such as "
              "(2x,i3)\n"));
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
