// The boxed plot options menus of the plot pages. Every page's box has the same parts (a
// title bar, item rows, a reset row, a rule, the actions and a foot); each page keeps its
// own widths and spacing, which its users see, so the differences are parameters here.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace dendro {

// A cell holding the label alone, or nothing.
inline constexpr int kUnnumbered = -1;
// A cell whose bracket holds no number: "[  ]", a place the page keeps free.
inline constexpr int kFreeNumber = -2;

// The actions of the line pages' menus.
inline constexpr std::string_view kSaveContinueNoMore =
    "    [s]ave   <[c]ontinue>  [n]o more plots";

// One cell of an item row: the label at its left, the number in brackets at its right.
struct MenuItem {
  std::string_view label;
  int number = kUnnumbered;
};

// The shape of a page's menu box.
struct MenuBox {
  int width = 46;         // characters between the two bars
  int title_indent = 13;  // stars before " plot options menu "
  int left_cell = 22;     // an item row: a blank, the left cell, the gap, the right cell
  std::string_view gap = "  ";
  int right_cell = 20;
};

// "|" + the text padded to the box's width + "|".
std::string menu_line(const MenuBox& box, std::string_view text);

// An item row of two cells.
std::string menu_item_row(const MenuBox& box, MenuItem left, MenuItem right);

// The menu: the title bar, the item rows, then (when `reset` is not empty) a blank row and
// the reset row, the rule, the actions row and the foot. `reset` and `actions` are the texts
// between the bars without the padding at their right.
std::vector<std::string> plot_options_menu(const MenuBox& box,
                                           const std::vector<std::string>& item_rows,
                                           std::string_view reset, std::string_view actions);

// The eleven item rows of the line pages: the style items 0 to 10 on the left, with
// `colour_label` as item 5's label and `tick_gap` between "ticks" and the axis letter; on
// the right the items `right` in order (kFreeNumber for a free place), then blank cells.
std::vector<std::string> line_page_rows(const MenuBox& box, std::string_view colour_label,
                                        std::string_view tick_gap,
                                        std::initializer_list<int> right);

// The menu of a line page as it differs from page to page.
struct LinePageMenu {
  MenuBox box{};
  std::string_view colour_label = "curve  color";  // item 5
  std::string_view tick_gap = " ";
  int last_item = 17;  // the right column holds items 11 to this one, then free places
  std::string_view reset = "           reset plot options  [99]";
};

// A line page's menu: its item rows, then `extra_rows` (whole rows of the page's own
// items), the reset row and the actions save, continue and no more plots.
std::vector<std::string> line_page_menu(const LinePageMenu& page,
                                        const std::vector<std::string>& extra_rows = {});

}  // namespace dendro
