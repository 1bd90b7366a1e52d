#include "plots/plot_menu.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page_test_support.h"

namespace dendro {
namespace {

// Every line of a box is as wide as its title bar, whatever the page's widths.
void expect_even_box(const std::vector<std::string>& menu, std::size_t width) {
  for (const std::string& line : menu) EXPECT_EQ(line.size(), width + 2) << "'" << line << "'";
}

TEST(plot_menu, cells_right_justify_numbers_and_free_places) {
  const MenuBox box;
  // Hand-counted: a blank, 22 + 2 + 20 columns of cells, a blank.
  EXPECT_EQ(menu_item_row(box, {"replot", 0}, {"minor ticks y", 11}),
            "| replot             [0]  minor ticks y   [11] |");
  EXPECT_EQ(menu_item_row(box, {"major ticks y", 10}, {"", kFreeNumber}),
            "| major ticks y     [10]                  [  ] |");
  EXPECT_EQ(menu_item_row(box, {"sample depth plot"}, {"max z2", 22}),
            "| sample depth plot       max z2          [22] |");
  EXPECT_EQ(menu_item_row(box, {"line style", 6}, {}),
            "| line style         [6]                       |");
}

TEST(plot_menu, line_pages_offer_their_items_and_keep_the_rest_free) {
  EXPECT_EQ(line_page_menu({.colour_label = "fit  color"}), plot_test::kMenuTo17);
  const std::vector<std::string> to_21 = line_page_menu({.last_item = 21}, {"| extra |"});
  ASSERT_EQ(to_21.size(), 18u);  // the extra row goes after the eleven item rows
  EXPECT_EQ(to_21[11], "| major ticks y     [10]  symbol color    [21] |");
  EXPECT_EQ(to_21[12], "| extra |");
  const std::vector<std::string> narrow =
      line_page_menu({.box = {.width = 45, .left_cell = 21}, .tick_gap = "  "});
  EXPECT_EQ(narrow[9], "| major ticks  x    [8]                  [  ] |");
  expect_even_box(narrow, 45);
}

TEST(plot_menu, boxes_without_items_or_reset) {
  const MenuBox box{.width = 47};
  const std::vector<std::string> menu =
      plot_options_menu(box, {}, "", "       [s]ave   <[c]ontinue>   [r]eplot");
  EXPECT_EQ(menu, (std::vector<std::string>{
                      "|************* plot options menu ***************|",
                      "|-----------------------------------------------|",
                      "|       [s]ave   <[c]ontinue>   [r]eplot        |",
                      "|_______________________________________________|",
                  }));
  const MenuBox shifted{.title_indent = 14};
  EXPECT_EQ(plot_options_menu(shifted, {}, "x", "y")[0],
            "|************** plot options menu *************|");
  expect_even_box(plot_options_menu(shifted, {}, "x", "y"), 46);
}

}  // namespace
}  // namespace dendro
