// End-to-end runs of kalder in which the user edits options from the menu: each answer
// must land in its log record, with the side effects on other options, and show in the
// option record of the general output file.
#include <gtest/gtest.h>

#include <utility>

#include "harness.h"

namespace dendro::e2e {
namespace {

std::string pad(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

// A log record: the value columns 1 to 19, then the 50-character label from column 20.
std::string log_record(const std::string& values, const std::string& label) {
  return pad(values, 19) + pad(label, 50);
}

class OptionsDialogue : public ::testing::Test {
 protected:
  void SetUp() override {
    box.copy_data("ca533.rwl", "site1.txt");
    box.write_file("f.txt", "site1.txt\n");
  }
  // Runs an interactive session with `menu` typed at the option menu. Then "n" (no more
  // plots) answers the first series page of the transformation, "c" its statistics page,
  // "0" the regional curve's pith offset file question (none), and "n" any later plot page.
  RunResult run_with_menu(const std::string& menu) {
    std::string no_more_plots;
    for (int k = 0; k < 40; ++k) no_more_plots += "n\n";
    return box.kalder("\nf.txt\nT\nn\n" + menu + "\n\nn\nc\n0\n" + no_more_plots);
  }
  Sandbox box;
};

TEST_F(OptionsDialogue, answers_land_in_the_log_file_with_their_side_effects) {
  // Option 3: log(x+1/6) with plots, which makes option 8 differences. Option 4: regional
  // curve, which makes option 5 the curve of the age-aligned mean (code 2). Option 12:
  // arithmetic mean with bootstrap limits (spline length 20, no plots). Option 13: refused
  // while bootstrap limits are on.
  RunResult r = run_with_menu("3\n2\ny\n4\n-2\n\n12\n1\ny\nn\n13\n1\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("bootstrap limits will be calculated."), std::string::npos);

  const auto log = box.read_lines("site1_log.txt");
  ASSERT_EQ(log.size(), 24u);
  EXPECT_EQ(log[3], log_record("2            1", "!log (rt+1/6) transform (w/ plots)"));
  EXPECT_EQ(log[4], log_record("-2     0     0", "!1st-regional curve method (briffa rcs)"));
  EXPECT_EQ(log[5], log_record("2      0     0", "!2nd-neg expon curve (k>0), no = opt 5"));
  EXPECT_EQ(log[8], log_record("2", "!residuals or differences (rt-gt)"));
  EXPECT_EQ(log[12], log_record("1   1   20   0", "!arithmetic mean with bootstrap limits"));
  EXPECT_EQ(log[13], log_record("0", "!no variance stabilization performed"));

  // The option record shows the labels; the second detrending is the regional curve's.
  const std::string out = box.read_file("site1_out.txt");
  EXPECT_NE(out.find(" second detrending      2      0     0   " +
                     pad("!rcs-neg expon curve (k>0), no = opt 5", 50)),
            std::string::npos);
  EXPECT_NE(out.find(" mean chronology        1   1   20   0   " +
                     pad("!arithmetic mean with bootstrap limits", 50)),
            std::string::npos);
}

TEST_F(OptionsDialogue, bad_answers_are_asked_again_and_never_stored) {
  // At the menu prompt: a word, a negative number; then option 16 with a window of 30 and
  // an overlap of 30 (refused: the window would never advance), then 10.
  RunResult r = run_with_menu("abc\n-3\n16\n30\n30\n10\nn\n");
  ASSERT_EQ(r.status, 0) << r.output;
  const auto log = box.read_lines("site1_log.txt");
  EXPECT_EQ(log[16], log_record("30    10     0", "!running rbar window/overlap (no plots)"));
}

// Codes that the detrending lists do not offer (9: the lists offer ">9"), the regional
// curve as the second detrending and no curve for the regional curve are refused; a log
// file that holds them anyway is refused by the batch run, naming the record and why.
TEST_F(OptionsDialogue, detrending_codes_the_lists_do_not_offer) {
  // Option 4: 9 is asked again, 20 stands. Option 5: -2 and 9 are refused, 0 stands.
  // Then option 4 -2 (option 5 becomes 2) and option 5 0, refused under it, then 6.
  RunResult r = run_with_menu("4\n9\n20\n\n5\n-2\n9\n0\n\n4\n-2\n\n5\n0\n6\n\n");
  ASSERT_EQ(r.status, 0) << r.output;
  EXPECT_NE(r.output.find("==> \n *** rcs option not allowed for 2nd detrending ***\n"),
            std::string::npos);
  EXPECT_NE(
      r.output.find("==> \n *** rcs needs a growth curve option: 0 not allowed with rcs ***\n"),
      std::string::npos);
  auto log = box.read_lines("site1_log.txt");
  EXPECT_TRUE(log[4].starts_with("-2     0     0")) << log[4];
  EXPECT_TRUE(log[5].starts_with("6      0     0")) << log[5];
  const std::string chronologies = box.read_file("site1_crns.txt");

  struct Edit {
    std::string first, second, reason;
  };
  const Edit edits[] = {
      {"-7     0     0", "0      0     0",
       " *** record 5 of the log file, columns 1-2: \"-7\"\n"
       " *** first detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not -7"},
      {"9      0     0", "0      0     0",
       " *** record 5 of the log file, column 1: \"9\"\n"
       " *** first detrending takes -9999 to -10, -6 to 8 or 10 to 99999, not 9"},
      {"-6     0     0", "-2     0     0",
       " *** record 6 of the log file, columns 1-2: \"-2\"\n"
       " *** rcs option not allowed for 2nd detrending"},
      {"-2     0     0", "0      0     0",
       " *** record 6 of the log file, column 1: \"0\"\n"
       " *** rcs needs a growth curve option: 0 not allowed with rcs"}};
  for (const Edit& e : edits) {
    log[4] = e.first;
    log[5] = e.second;
    std::string text;
    for (const auto& l : log) text += l + "\n";
    box.write_file("site1_log.txt", text);
    RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
    EXPECT_NE(batch.status, 0);
    EXPECT_NE(batch.output.find(e.reason + "\n *** error reading batch commands. re-run the\n"),
              std::string::npos)
        << batch.output;
    // Nothing processed: the interactive run's chronology file is left as it was.
    EXPECT_EQ(box.read_file("site1_crns.txt"), chronologies);
  }
}

// A batch run whose log file was edited to a value its option does not take stops before
// any processing and says which record, which columns and text, and what the option takes.
TEST_F(OptionsDialogue, an_edited_log_record_is_refused_with_its_place) {
  RunResult r = run_with_menu("");
  ASSERT_EQ(r.status, 0) << r.output;
  const std::string chronologies = box.read_file("site1_crns.txt");
  auto log = box.read_lines("site1_log.txt");
  ASSERT_EQ(log.size(), 24u);
  EXPECT_EQ(log[7], log_record("0", "!no interactive detrending"));
  log[7] = log_record("5", "!no interactive detrending");
  std::string text;
  for (const auto& l : log) text += l + "\n";
  box.write_file("site1_log.txt", text);
  RunResult batch = box.kalder("\nf.txt\nT\ny\n\n");
  EXPECT_NE(batch.status, 0);
  EXPECT_NE(batch.output.find("\n *** record 8 of the log file, column 1: \"5\"\n"
                              " *** interactive detrend takes 0 to 3, not 5\n"
                              " *** error reading batch commands. re-run the\n"
                              " *** program in interactive mode to create the\n"
                              " *** correct log files for batch mode runs.\n"),
            std::string::npos)
      << batch.output;
  EXPECT_EQ(box.read_file("site1_crns.txt"), chronologies);
}

TEST_F(OptionsDialogue, end_of_input_inside_a_dialogue_stops_cleanly) {
  RunResult r = box.kalder("\nf.txt\nT\nn\n4\n-3\n");
  EXPECT_NE(r.status, 0);
  EXPECT_NE(r.output.find("end of input"), std::string::npos);
  EXPECT_NE(r.output.find(" *** new files of this run removed, as their set was not put in "
                          "place:\n       site1_log.txt\n"),
            std::string::npos);
  // No log file was complete: none is left, nor any run-wide chronology file.
  EXPECT_FALSE(box.exists("site1_log.txt"));
  EXPECT_FALSE(box.exists("crns_raw.txt"));
  EXPECT_FALSE(box.exists("crns_rcs_err.txt"));

  // With an earlier run's log file: "/" or end of input at the menu or inside an option's
  // questions leave it byte for byte and say so, and a batch run still finds it.
  ASSERT_EQ(run_with_menu("").status, 0);
  const std::string earlier = box.read_file("site1_log.txt");
  const std::pair<const char*, int> stops[] = {{"/\n", 0}, {"", 3}, {"4\n/\n", 0}, {"4\n-3\n", 3}};
  for (const auto& [menu, status] : stops) {
    r = box.kalder("\nf.txt\nT\nn\n" + std::string(menu));
    EXPECT_EQ(r.status, status) << menu;
    EXPECT_NE(r.output.find(" *** earlier files kept as they were, as this run did not complete "
                            "them:\n       site1_log.txt\n"),
              std::string::npos);
    EXPECT_EQ(box.read_file("site1_log.txt"), earlier) << menu;
  }
  EXPECT_EQ(box.kalder("\nf.txt\nT\ny\n\n").status, 0);
}

}  // namespace
}  // namespace dendro::e2e
