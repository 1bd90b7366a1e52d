#include "options/query.h"

#include <gtest/gtest.h>

#include "series/files/stop.h"
#include "session.h"

namespace dendro {
namespace {

using testing::lines_of;
using testing::Session;

// Runs the dialogue of `option` on `input` from the defaults.
struct Asked : Session {
  Asked(int option, const std::string& input, void (*setup)(Icommands&) = nullptr)
      : Session(input) {
    if (setup) setup(ic);
    query(option, ic, cmd, con);
  }
};

TEST(query, transformation_sets_the_index_calculation) {
  Asked blank(3, "\nleft over\n");
  EXPECT_EQ(blank.ic[opt::transformation], 0);
  EXPECT_EQ(blank.ic[opt::index_calculation], 1);
  EXPECT_EQ(blank.unread(), "left over\n");  // no plot question for untransformed data
  Asked two(3, "2\ny\n", [](Icommands& ic) { ic[opt::index_calculation] = 1; });
  EXPECT_EQ(two.ic[opt::transformation], 2);
  EXPECT_EQ(two.ic[opt::index_calculation], 2);
  EXPECT_EQ(two.ic[opt::transformation_plots], 1);
  // The index dialogue then marks differences as its default, and a blank keeps them.
  Asked index(8, "\n", [](Icommands& ic) {
    ic[opt::transformation] = 2;
    ic[opt::index_calculation] = 2;
  });
  EXPECT_EQ(index.ic[opt::index_calculation], 2);
  EXPECT_EQ(index.count(" residuals or differences (rt-gt)    <2>    ==> "), 1);
  EXPECT_EQ(index.count(" indices or ratios (rt/gt)            1\n"), 1);
}

TEST(query, dialogue_text_and_columns) {
  Asked data(1, "\n");
  EXPECT_EQ(data.out.str(),
            "\n input control parameters from keyboard\n"
            " hit <ret> for any specified default <parameters>\n"
            "\n tree-ring measurement types (/ to exit, h for help):\n"
            " raw measurements (tucson format)    <1>\n"
            " tree-ring series (mib pex format)    2\n"
            " tree-ring indices (tucson format)    3\n"
            " tree-ring series in compact format   4\n"
            " enter your data format type                ==> ");
  Asked stabilise(13, "\n");
  auto lines = lines_of(stabilise.out.str());
  EXPECT_EQ(lines[8], " smoothing spline (fixed n cutoff)  >9");  // from column 37
  EXPECT_EQ(lines[9], " smoothing spline (pct n cutoff)    <-9     ==> ");
  // Two headings join their texts with no blank between them.
  EXPECT_EQ(Asked(19, "\n").count("\n summary hi-res plot options(/ to exit, h for help):\n"), 1);
  EXPECT_EQ(Asked(20, "\n").count("\n stand dynamics analysis(/ to exit, h for help):\n"), 1);
  Asked transform(3, "\n");
  EXPECT_EQ(lines_of(transform.out.str())[9],
            " adaptive power transform (rt^p)      4             (*** experimental!!! ***)");
}

TEST(query, first_detrending) {
  Asked rcs(4, "-2\n\n", [](Icommands& ic) { ic[opt::second_detrending] = 0; });
  EXPECT_EQ(rcs.ic[opt::first_detrending], -2);
  EXPECT_EQ(rcs.ic[opt::second_detrending], 2);
  Asked keeps(4, "-2\n\n", [](Icommands& ic) { ic[opt::second_detrending] = 6; });
  EXPECT_EQ(keeps.ic[opt::second_detrending], 6);
  // No default: a blank is refused; so are -8 and 9 (the list offers ">9", not 9), each
  // with what the question takes.
  Asked nine(4, "\n-8\n9\n10\ny\n");
  EXPECT_EQ(nine.ic[opt::first_detrending], 10);
  EXPECT_EQ(nine.ic[opt::first_detrending_plots], 1);
  EXPECT_EQ(nine.count("first tree-ring detrending option:"), 1);
  EXPECT_EQ(nine.count(" smoothing spline (pct n cutoff)     <-9    ==> "), 4);
  const std::string takes = "first detrending takes -9999 to -10, -6 to 8 or 10 to 99999";
  EXPECT_EQ(nine.count("==>  *** <ret> is no answer here: " + takes + "\n"), 1);
  EXPECT_EQ(nine.count("==>  *** " + takes + ", not -8\n"), 1);
  EXPECT_EQ(nine.count("==>  *** " + takes + ", not 9\n"), 1);
  // The median width must be odd and above 2; a blank goes back to the codes.
  Asked median(4, "-3\n4\n5\n\n");
  EXPECT_EQ(median.ic[opt::first_detrending], -3);
  EXPECT_EQ(median.ic[opt::first_detrending_parameter], 5);
  EXPECT_EQ(median.count("enter the median window width"), 2);
  Asked back(4, "-4\n\n12\n\n", [](Icommands& ic) { ic[opt::first_detrending_parameter] = 77; });
  EXPECT_EQ(back.ic[opt::first_detrending], 12);
  EXPECT_EQ(back.ic[opt::first_detrending_parameter], 77);
  Asked lowess(4, "-4\n2\n-101\n99999\n\n");
  EXPECT_EQ(lowess.ic[opt::first_detrending_parameter], 99999);
  Asked wide(4, "-4\n100000\n-100\n\n");  // six characters would run into the plot flag
  EXPECT_EQ(wide.ic[opt::first_detrending_parameter], -100);
  Asked tweeter(4, "-5\n10\n5\n\n");
  EXPECT_EQ(tweeter.ic[opt::first_detrending_parameter], 5);
}

TEST(query, second_detrending) {
  Asked rcs(5, "-2\n-5\n\n", [](Icommands& ic) { ic[opt::second_detrending_parameter] = 7; });
  EXPECT_EQ(rcs.count("==> \n *** rcs option not allowed for 2nd detrending ***\n"), 1);
  EXPECT_EQ(rcs.ic[opt::second_detrending], -5);
  EXPECT_EQ(rcs.ic[opt::second_detrending_parameter],
            7);  // no sensitivity for the second detrending
  Asked first_differences(5, "-1\n\n");
  EXPECT_EQ(first_differences.ic[opt::second_detrending], -1);
  EXPECT_EQ(first_differences.count("first differences"), 0);
  // The regional curve needs a curve: 0 is refused under a first detrending of -2.
  Asked heading(5, "0\n9\n-6\n\n", [](Icommands& ic) { ic[opt::first_detrending] = -2; });
  EXPECT_EQ(heading.count("\n rcs growth curve option (/ to exit, h for help):\n"), 1);
  EXPECT_EQ(heading.count("==> \n *** rcs needs a growth curve option: 0 not allowed with rcs "
                          "***\n"),
            1);
  EXPECT_EQ(heading.ic[opt::second_detrending], -6);
  Asked none(5, "0\n\n", [](Icommands& ic) { ic[opt::first_detrending] = -6; });
  EXPECT_EQ(none.ic[opt::second_detrending], 0);
  Asked median(5, "-3\n9\ny\n");
  EXPECT_EQ(median.ic[opt::second_detrending_parameter], 9);
  EXPECT_EQ(median.ic[opt::second_detrending_plots], 1);
}

TEST(query, mean_chronology_and_stabilisation) {
  Asked none(12, "0\n", [](Icommands& ic) {
    ic[opt::bootstrap_plots] = ic[opt::bootstrap_limits] = 1;
    ic[opt::bootstrap_spline] = 20;
  });
  EXPECT_EQ(none.ic[opt::mean_chronology], 0);
  EXPECT_EQ(none.ic[opt::bootstrap_plots] + none.ic[opt::bootstrap_limits] +
                none.ic[opt::bootstrap_spline],
            0);
  EXPECT_EQ(none.count("bootstrap"), 0);

  Asked limits(12, "1\ny\nn\n", [](Icommands& ic) { ic[opt::stabilisation] = 1; });
  EXPECT_EQ(limits.ic[opt::mean_chronology], 1);
  EXPECT_EQ(limits.ic[opt::stabilisation], 0);
  EXPECT_EQ(limits.ic[opt::bootstrap_limits], 1);
  EXPECT_EQ(limits.ic[opt::bootstrap_spline], 20);
  EXPECT_EQ(limits.ic[opt::bootstrap_plots], 0);

  Asked quantile(12, "-101\n-100\n\n");
  EXPECT_EQ(quantile.ic[opt::mean_chronology], -100);
  EXPECT_EQ(quantile.ic[opt::bootstrap_limits], 0);

  // With bootstrap limits on no stabilisation is allowed.
  Asked refused(13, "1\n", [](Icommands& ic) { ic[opt::bootstrap_limits] = 1; });
  EXPECT_EQ(refused.ic[opt::stabilisation], 0);
  EXPECT_EQ(refused.count("==> \n bootstrap limits will be calculated.\n"
                          " no variance stabilization is allowed.\n"),
            1);
  // Codes without a method are asked again: the log file reader would refuse them.
  Asked spline(13, "5\n-5\n-67\n");
  EXPECT_EQ(spline.ic[opt::stabilisation], -67);
}

TEST(query, common_period_mask_and_running_rbar) {
  // Years must leave a blank before the next value of their log file record.
  Asked years(14, "-12345\n1850\n1234567\n\n");
  EXPECT_EQ(years.ic[opt::common_period_first], 1850);
  EXPECT_EQ(years.ic[opt::common_period_last], 0);

  Asked mask(15, "\n", [](Icommands& ic) { ic[opt::site_tree_core_mask] = 3; });
  EXPECT_EQ(mask.cmd.mask(), "        ");
  EXPECT_EQ(mask.ic[opt::site_tree_core_mask], 0);
  Asked typed(15, "ssttcabcdef\n");
  EXPECT_EQ(typed.cmd.mask(), "ssttcabc");

  Asked no_window(16, "\n\n\n");
  EXPECT_EQ(no_window.ic[opt::running_rbar_window], 0);
  EXPECT_EQ(no_window.ic[opt::running_rbar_overlap], 0);
  EXPECT_EQ(no_window.count("enter the running rbar window overlap"), 1);
  EXPECT_EQ(no_window.count("plot running rbar and eps? y/<n>"), 1);

  // Windows that do not move on are refused: the run would never end.
  Asked overlap(16, "30\n30\n31\n29\ny\n");
  EXPECT_EQ(overlap.ic[opt::running_rbar_window], 30);
  EXPECT_EQ(overlap.ic[opt::running_rbar_overlap], 29);
  EXPECT_EQ(overlap.ic[opt::running_rbar_plots], 1);
  EXPECT_EQ(overlap.count("enter the running rbar window overlap"), 3);
}

TEST(query, stand_dynamics) {
  Asked nowacki(20, "2\n\n10\n20\nmore\n");
  EXPECT_EQ(nowacki.ic[opt::stand_dynamics], 2);
  EXPECT_EQ(nowacki.ic[opt::stand_dynamics_plots], 0);
  EXPECT_EQ(nowacki.ic[opt::release_window], 10);
  EXPECT_EQ(nowacki.ic[opt::release_threshold], 20);
  EXPECT_EQ(nowacki.count("standard error"), 0);
  EXPECT_EQ(nowacki.unread(), "more\n");

  // A non-number goes back one question; out of range and blank ask the same again.
  Asked modified(20, "3\ny\n4\n\n5\nx\n7\n250\n8\nx\n6\n9\n2\n");
  EXPECT_EQ(modified.ic[opt::stand_dynamics_plots], 1);
  EXPECT_EQ(modified.ic[opt::release_window], 7);
  EXPECT_EQ(modified.ic[opt::release_threshold], 6);
  EXPECT_EQ(modified.ic[opt::release_error_limit], 2);
  EXPECT_EQ(modified.count("  percent growth changes (range 5-50)       ==> "), 4);
  EXPECT_EQ(modified.count("==>  *** <ret> is no answer here: running mean window takes 5 to 50 "
                           "with release detection\n"),
            1);
  EXPECT_EQ(modified.count("==>  *** x is no answer here: back to the question before\n"), 2);
  EXPECT_EQ(modified.count("==>  *** percent growth change threshold takes 5 to 200 with release "
                           "detection, not 250\n"),
            1);

  Asked outliers(20, "1\ny\n");
  EXPECT_EQ(outliers.ic[opt::stand_dynamics], 1);
  EXPECT_EQ(outliers.ic[opt::stand_dynamics_plots], 1);
}

TEST(query, answers_and_defaults) {
  // A leading blank takes the default digit: " 5" reads as 05 where the default is 0 ...
  Asked saved(18, " 5\n");
  EXPECT_EQ(saved.ic[opt::core_series_save], 5);
  // ... and as 12 where it is 1, which the data type refuses.
  Asked data(1, " 2\n3\n");
  EXPECT_EQ(data.ic[opt::data_type], 3);
  EXPECT_EQ(data.count("enter your data format type"), 2);
  // Option 2 offers no help: "h" is a number that fails. Its default is -9.
  Asked missing(2, "h\n\ny\n", [](Icommands& ic) { ic[opt::missing_data] = 0; });
  EXPECT_EQ(missing.ic[opt::missing_data], -9);
  EXPECT_EQ(missing.ic[opt::missing_data_plots], 1);
  EXPECT_EQ(missing.count("missing data flag for gaps"), 0);
  // A y/n question knows only y and n: "/" is refused.
  Asked plot(10, "4\n/\nY\n");
  EXPECT_EQ(plot.ic[opt::pooled_ar_order], 4);
  EXPECT_EQ(plot.ic[opt::pooled_ar_plots], 1);
  EXPECT_EQ(plot.count("==>  *** / is no answer here: enter y or n\n"), 1);
  Asked only_one(6, "2\n0\n\n");
  EXPECT_EQ(only_one.ic[opt::robust_detrending], 1);
  EXPECT_EQ(only_one.count("enter detrending method"), 3);
  Asked huge(11, "99999999999\n-1\n");
  EXPECT_EQ(huge.ic[opt::series_ar_order], -1);
  // No option has number 21: its answer is dropped.
  Asked beyond(21, "3\n");
  EXPECT_EQ(beyond.ic[opt::data_type], 1);
  EXPECT_EQ(beyond.count("enter your data format type"), 1);
}

TEST(query, help_pages_then_the_question_again) {
  Asked robust(6, "h\n\n");
  EXPECT_EQ(robust.count("Hit Return"), 0);
  EXPECT_EQ(robust.count("only non-robust least-squares curve fitting"), 1);
  EXPECT_EQ(robust.count("enter detrending method"), 2);
  Asked first(4, "H\n\n\n\n\n\n\n\n6\n\n");
  EXPECT_EQ(first.count("Hit Return to Continue"), 7);
  EXPECT_EQ(first.ic[opt::first_detrending], 6);
}

TEST(query, slash_and_end_of_input_stop_every_dialogue) {
  for (int option = 1; option <= 21; ++option) {
    Session ends("");
    try {
      query(option, ends.ic, ends.cmd, ends.con);
      ADD_FAILURE() << "option " << option << " returned at end of input";
    } catch (const Stop& stop) {
      EXPECT_EQ(stop.status, kEndOfInputStatus) << "option " << option;
    }
    Session slash("/\n");
    try {
      query(option, slash.ic, slash.cmd, slash.con);
      ADD_FAILURE() << "option " << option << " returned after /";
    } catch (const Stop& stop) {
      EXPECT_EQ(stop.status, 0) << "option " << option;
      EXPECT_STREQ(stop.what(), "");
    }
  }
  // End of input in the follow-up questions and the method parameters.
  for (const char* input : {"2\n", "-3\n", "3\ny\n10\n", "1\n"}) {
    Session s(input);
    const int option = input[0] == '-' ? 4 : input[0] == '1' ? 12 : input[0] == '2' ? 3 : 20;
    EXPECT_THROW(query(option, s.ic, s.cmd, s.con), Stop) << input;
  }
}

}  // namespace
}  // namespace dendro
