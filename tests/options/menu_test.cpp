#include "options/menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "options/labels.h"
#include "series/files/stop.h"
#include "series/text.h"
#include "session.h"

namespace dendro {
namespace {

using testing::integers_in;
using testing::item_elements;
using testing::lines_of;
using testing::number_every_element;
using testing::Session;

// The menu lines below were printed by gfortran 12 from the same layouts, with the default
// values and the labels of the label table padded to 50 characters, e.g.
//   write(*,"(t2,' [2] missing data in gaps',t26,i5,i13,t47,a)") -9, 0, l(2)
// The option's name runs into column 26, where the code field starts: "gap   -9".
const char* const kDefaultMenu[] = {
    "",
    " |************** kalder run time menu and current options settings **************|",
    "",
    "                            opt          plt",
    "  [1] tree-ring data type    1                !tucson ring-width format",
    "  [2] missing data in gap   -9            0   !missing values estimated (no plots)",
    "  [3] data transformation    0            0   !no data transformation (no plots)",
    "  [4] first detrending      -6      0     0   !1st-age dependent spline",
    "  [5] second detrending      0      0     0   !2nd-no detrending performed",
    "  [6] robust detrending      1                !non-robust detrending methods used",
    "  [7] interactive detrend    0                !no interactive detrending",
    "  [8] index calculation      1                !tree-ring indices or ratios (rt/gt)",
    "  [9] ar modeling method     1            0   !non-robust autoregressive modeling",
    " [10] pooled ar order        0            0   !minimum aic pooled ar model order fit ",
    " [11] series ar order        0                !pooled ar order fit to all series",
    " [12] mean chronology        2   0    0   0   !robust (biweight) mean chronology",
    " [13] stabilize variance     0                !no variance stabilization performed",
    " [14] common period years        0    0       !no common period analysis performed",
    " [15] site-tree-core mask       SSSTTCC       !site-tree-core separation mask",
    " [16] running rbar              50   25   0   !running rbar window/overlap (no plots)",
    " [17] printout option        2                !summary & series statistics printed",
    " [18] core series save       0                !no individual core series saved",
    " [19] summary plots          0                !no spaghetti and mean chronology plots",
    " [20] stand dynamics stuff   0            0   !no stand dynamics analyses done",
    "      running mean window    0                !running mean window width",
    "      percent growth change  0                !percent growth change threshold",
    "      std error threshold    0                !standard error limit threshold",
};

// A menu line as drawn: labels fill 50 characters from column 47 (line 10: 39).
std::string drawn(const std::string& line) {
  const std::size_t width = line.rfind("[10]", 5) != std::string::npos ? 39 : 50;
  return line.substr(0, 46) + field(line.substr(46), width);
}

TEST(menu, default_layout) {
  Session s("");
  auto lines = lines_of(menu_text(s.ic, s.cmd));
  ASSERT_EQ(lines.size(), std::size(kDefaultMenu));
  for (std::size_t k = 0; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k], k < 4 ? kDefaultMenu[k] : drawn(kDefaultMenu[k])) << "line " << k;
  }
}

TEST(menu, lines_follow_the_options) {
  Session s("");
  s.ic[opt::first_detrending] = -2;
  s.ic[opt::second_detrending] = 2;
  s.ic[opt::mean_chronology] = 1;
  s.ic[opt::pooled_ar_order] = 3;
  s.ic[opt::pooled_ar_plots] = 1;
  auto lines = lines_of(menu_text(s.ic, s.cmd));
  // gfortran: write(*,"(t2,' [5] rcs detrending',t26,i5,i13,t47,a)") 2, 0, l(5)
  EXPECT_EQ(lines[8], drawn("  [5] rcs detrending         2            0   "
                            "!rcs-neg expon curve (k>0), no = opt 5"));
  EXPECT_EQ(lines[13], " [10] pooled ar order        3            1" + std::string(42, ' '));
  EXPECT_EQ(lines[15].substr(46), field("!non-robust (arithmetic) mean chronology", 50));
  s.ic[opt::common_period_first] = -5000;  // the last year keeps a blank before it
  s.ic[opt::common_period_last] = -4000;
  EXPECT_EQ(lines_of(menu_text(s.ic, s.cmd))[17].substr(0, 46),
            " [14] common period years    -5000 -4000      ");
  s.ic[opt::mean_chronology] = 0;
  s.ic[opt::bootstrap_limits] = 1;
  EXPECT_EQ(lines_of(menu_text(s.ic, s.cmd))[15].substr(46),
            field("!no mean chronologies computed", 50));
}

TEST(menu, each_value_comes_from_its_own_element) {
  Session s("");
  number_every_element(s.ic);
  const auto lines = lines_of(menu_text(s.ic, s.cmd));
  ASSERT_EQ(lines.size(), std::size(kDefaultMenu));
  const std::vector<std::vector<int>> values = item_elements();
  ASSERT_EQ(values.size(), lines.size() - 4);
  // The values stand in columns 26 to 46, between the option's name and its label.
  for (std::size_t k = 0; k < values.size(); ++k) {
    EXPECT_EQ(integers_in(lines[k + 4].substr(25, 21)), values[k]) << lines[k + 4];
  }
}

TEST(menu, every_call_starts_from_the_defaults) {
  Session s("3\n2\ny\n\n\n");
  s.ic[opt::missing_data_plots] = 1;
  s.ic[opt::stand_dynamics_plots] = 1;
  s.ic[opt::site_tree_core_mask] = 7;
  menu(s.ic, s.cmd, s.con);
  EXPECT_EQ(s.ic[opt::transformation], 2);
  EXPECT_EQ(s.ic[opt::transformation_plots], 1);
  EXPECT_EQ(s.ic[opt::index_calculation], 2);
  menu(s.ic, s.cmd, s.con);  // the blank line left in the input closes it at once
  EXPECT_EQ(s.ic[opt::transformation], 0);
  EXPECT_EQ(s.ic[opt::transformation_plots], 0);
  EXPECT_EQ(s.ic[opt::index_calculation], 1);
  EXPECT_EQ(s.ic[opt::missing_data_plots],
            1);  // the gap-filling and stand dynamics plot flags and the mask's
  EXPECT_EQ(s.ic[opt::stand_dynamics_plots], 1);  // option code are not reset
  EXPECT_EQ(s.ic[opt::site_tree_core_mask], 7);
}

TEST(menu, answers_at_the_prompt) {
  // A 3 typed after a blank closes the menu; 3 in the first column opens option 3.
  Session closes(" 3\n4\n");
  menu(closes.ic, closes.cmd, closes.con);
  EXPECT_EQ(closes.unread(), "4\n");
  EXPECT_EQ(closes.count("input control parameters"), 0);

  // Not a number, a negative number: the prompt again, without the menu, after a line that
  // says what was typed.
  Session again("x\n7x\n-1\n0\n");
  menu(again.ic, again.cmd, again.con);
  EXPECT_EQ(again.count("kalder run time menu"), 1);
  EXPECT_EQ(again.count("enter the option to change (<ret> = go)    ==> "), 4);
  EXPECT_EQ(again.count("==>  *** x is no answer here: enter 1 to 20, or <ret> to go\n"), 1);
  EXPECT_EQ(again.count("==>  *** 7x is no answer here: enter 1 to 20, or <ret> to go\n"), 1);

  // A number not on the menu is refused with a message: the prompt again, no dialogue.
  Session beyond("21\n-1\n\n");
  menu(beyond.ic, beyond.cmd, beyond.con);
  EXPECT_EQ(beyond.count("==>  *** there is no option 21: enter 1 to 20, or <ret> to go\n"), 1);
  EXPECT_EQ(beyond.count("==>  *** there is no option -1: enter 1 to 20, or <ret> to go\n"), 1);
  EXPECT_EQ(beyond.count("kalder run time menu"), 1);
}

TEST(menu, slash_and_end_of_input_stop) {
  Session slash("/\n");
  try {
    menu(slash.ic, slash.cmd, slash.con);
    FAIL() << "expected Stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, 0);
    EXPECT_STREQ(stop.what(), "");
  }
  Session ends("7\n");
  try {
    menu(ends.ic, ends.cmd, ends.con);
    FAIL() << "expected Stop";
  } catch (const Stop& stop) {
    EXPECT_EQ(stop.status, kEndOfInputStatus);
  }
}

}  // namespace
}  // namespace dendro
