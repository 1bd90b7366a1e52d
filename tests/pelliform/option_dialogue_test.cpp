#include "pelliform/option_dialogue.h"

#include <gtest/gtest.h>

#include "run_fixture.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

using testing::RunTest;

class Options : public RunTest {};

TEST_F(Options, ratios_never_ask_the_power_question) {
  answers("x\nr\n");
  index_question(*run);
  EXPECT_EQ(run->args.index_mode, 0);
  EXPECT_TRUE(shows("Error reading input [R] or [S]. Try again or enter / to exit\n"));
  EXPECT_FALSE(shows("Power transform"));
  answers("S\nt\n");
  index_question(*run);
  EXPECT_EQ(run->args.index_mode, 1);
  EXPECT_EQ(run->args.power_transform, 1);
  EXPECT_EQ(file("report.txt"),
            "TREE-RING INDICES ARE CALCULATED AS RATIOS OF EXPECTED GROWTH\n"
            "TREE-RING INDICES ARE CALCULATED AS RESIDUALS FROM EXPECTED GROWTH\n");
}

TEST_F(Options, slash_at_the_index_question_terminates) {
  answers("/\n");
  EXPECT_THROW(index_question(*run), Stop);
  EXPECT_TRUE(shows("==> Program Terminating\n"));
}

TEST_F(Options, curve_fit_codes) {
  run->median_length = 47;
  answers("\n");  // empty: the age-dependent spline
  curve_fit_question(*run);
  EXPECT_EQ(run->args.curve_fit_option, 8);
  answers("7\n\n9\n");  // 7 is refused; 9 becomes the median segment length
  curve_fit_question(*run);
  EXPECT_TRUE(shows("Invalid Entry :>  7\n  Hit Return to try again."));
  EXPECT_EQ(run->args.curve_fit_option, 47);
  answers("-5\n12\n-5\n2.5\n");  // alpha out of range, then 2.5
  curve_fit_question(*run);
  EXPECT_TRUE(shows("Friedman tweeter not in admissible range\n"));
  EXPECT_EQ(run->args.curve_fit_option, -5);
  EXPECT_FLOAT_EQ(run->args.curve_fit_parameter, 2.5f);
  answers("-12\n");
  curve_fit_question(*run);
  answers("-7\n");  // accepted without a report row
  curve_fit_question(*run);
  EXPECT_EQ(run->args.curve_fit_option, -7);
  EXPECT_EQ(file("report.txt"),
            "\nCURVE FIT OPTION:\nAGE-DEPENDENT SPLINE SMOOTHING:  OPT    8\n"
            "\nCURVE FIT OPTION:\nSPLINE FILTER IN YEARS (FIXED) .GE. 10:  OPT   47\n"
            "\nCURVE FIT OPTION:\nFRIEDMAN VARIABLE SPAN SMOOTHER AND ALPHA:  OPT   -5    2\n"
            "\nCURVE FIT OPTION:\nSPLINE PCT N FILTER (VARIABLE) .LE. -10:  OPT  -12\n"
            "\nCURVE FIT OPTION:\n");
}

TEST_F(Options, regional_curve_reads_pith_offsets_on_the_first_pass) {
  answers("-2\nF\n");
  curve_fit_question(*run);
  EXPECT_EQ(run->args.rcs_flag, 1);
  EXPECT_EQ(run->args.curve_fit_option, -2);
  EXPECT_FLOAT_EQ(run->args.curve_fit_parameter, 0.0f);
  EXPECT_TRUE(shows("Is there a pith offset file? [T]rue or [F]alse   ==> "));
  // The file's offsets are counted against the data file's series, those the series menu
  // left out too.
  run->set.add("A", 1900, {1.0f, 2.0f});
  run->set.add("B", 1900, {1.0f, 2.0f});
  run->set.keep_if([](std::size_t k) { return k == 1; });
  std::ofstream(dir / "pith.txt") << "   4\n   7\n";
  answers("-2\nT\npith.txt\n1\n0\n");
  curve_fit_question(*run);
  EXPECT_EQ(run->pith_offsets_read, (std::vector<int>{4, 7}));
}

TEST_F(Options, regional_curve_menu_on_a_retry) {
  run->args.retry_rcs = true;
  // x starts over; -3 with an even window is refused, 7 is accepted; -4 with -40 too.
  answers("-2\nx\n-2\n-3\n8\n-3\n7\n");
  curve_fit_question(*run);
  EXPECT_EQ(run->args.curve_fit_option, -3);
  EXPECT_EQ(run->args.rcs_parameter, 7);
  EXPECT_FLOAT_EQ(run->args.curve_fit_parameter, 7.0f);
  EXPECT_FALSE(shows("pith offset"));
  EXPECT_TRUE(shows("  -2:  Age-dependent spline smoothing\n"));
  EXPECT_TRUE(shows("\nenter  option  (x to start over)  ==> "));
  answers("-2\n-4\n2\n-4\n-40\n");
  curve_fit_question(*run);
  EXPECT_EQ(run->args.curve_fit_option, -4);
  EXPECT_EQ(run->args.rcs_parameter, -40);
  answers("-2\n-5\n10\n-5\n3\n");
  curve_fit_question(*run);
  EXPECT_TRUE(shows("Friedman alpha not in admissible 0-9 range\n"));
  EXPECT_EQ(run->args.rcs_parameter, 3);
}

TEST_F(Options, mean_window_and_spline_questions) {
  answers("3\n1\n");
  mean_question(*run);
  EXPECT_EQ(run->args.mean_type, 1);
  EXPECT_TRUE(shows("Mean index choice not admissible\n"));
  answers("24\n-5\nx\n26\n5\n-9\n-10\n");  // 24, -5, x refused; 26 -> 27; 5, -9 refused
  window_questions(*run);
  EXPECT_EQ(run->args.rbar_window, 27);
  EXPECT_EQ(run->args.spline_stabilisation, -10);
  EXPECT_TRUE(shows("==> Entry > x < is not a window width in years, or 0 to skip\n"));
  EXPECT_TRUE(shows("==> Entry > -9 < is not an option 0, 1, <-9 or >+9\n"));
  EXPECT_TRUE(shows("Running RBAR window width must be .ge. 25\n"));
  EXPECT_TRUE(shows("Running RBAR window width increased to make it odd:    27\n"));
  out.str("");
  answers("0\n");  // skips the spline question; the option keeps its value
  window_questions(*run);
  EXPECT_EQ(run->args.rbar_window, 0);
  EXPECT_EQ(run->args.spline_stabilisation, -10);
  EXPECT_FALSE(shows("Additional spline"));
  answers("\n\n");
  window_questions(*run);
  EXPECT_EQ(run->args.rbar_window, 51);
  EXPECT_EQ(run->args.spline_stabilisation, 0);
  EXPECT_NE(file("report.txt").find("NON-ROBUST ARITHMETIC MEAN CHRONOLOGY CALCULATED:    1\n"),
            std::string::npos);
}

TEST_F(Options, convergence_threshold_and_tweaks) {
  answers("3\n0.002\nmaybe\nN\n");
  convergence_questions(*run);
  EXPECT_FLOAT_EQ(run->args.convergence_threshold, 0.002f);
  EXPECT_EQ(run->args.tweaks, 'n');
  EXPECT_EQ(run->args.unit_mean_switch, 'n');
  EXPECT_EQ(run->args.median_switch, 'n');
  EXPECT_EQ(run->args.refit_switch, 'n');
  EXPECT_TRUE(shows("Answer not entered as y or n\n"));
  answers("1\n\n");
  convergence_questions(*run);
  EXPECT_FLOAT_EQ(run->args.convergence_threshold, 0.0005f);
  EXPECT_EQ(run->args.tweaks, 'y');
  EXPECT_EQ(
      file("report.txt"),
      "\nORIGINAL CONVERGENCE CRITERIA USED - MAY BE SLOWER TO CONVERGE\n\n"
      "FOR SPLINE AND FRIEDMAN FLEXIBLE CURVE FITS A COUNT-WEIGHTED CONVERGENCE CRITERION IS "
      "USED.\n"
      "THIS SPEEDS CONVERGENCE AND REDUCES THE CHANCES OF EXCESSIVE SIGNAL FREE INTERATIONS.\n"
      "\nVORN CONVERGENCE CRITERIA USED - SHOULD BE FASTER TO CONVERGE\n\n"
      "FOR SPLINE AND FRIEDMAN FLEXIBLE CURVE FITS A COUNT-WEIGHTED CONVERGENCE CRITERION IS "
      "USED.\n"
      "THIS SPEEDS CONVERGENCE AND REDUCES THE CHANCES OF EXCESSIVE SIGNAL FREE INTERATIONS.\n");
}

TEST_F(Options, slash_ends_the_run_quietly) {
  for (const char* input : {"/\n", "", "5\n/\n"}) {
    answers(input);
    EXPECT_THROW(mean_question(*run), Stop) << input;
  }
}

}  // namespace
}  // namespace dendro
