#include "plots/plot_menu.h"

#include <array>
#include <cstddef>

namespace dendro {
namespace {

constexpr std::string_view kTitle = " plot options menu ";

// The label alone, the label and its number, or the label and a free bracket, in `width`
// characters.
std::string cell(MenuItem item, int width) {
  std::string bracket;
  if (item.number == kFreeNumber) bracket = "[  ]";
  if (item.number >= 0) bracket = "[" + std::to_string(item.number) + "]";
  std::string text(item.label);
  const std::size_t size = static_cast<std::size_t>(width);
  if (text.size() + bracket.size() < size) text.resize(size - bracket.size(), ' ');
  return text + bracket;
}

// The label of a line page's item `number`, blank for no item. Item 5's label comes from
// `colour_label`; the tick items have `tick_gap` where their label holds '@'.
std::string line_label(int number, std::string_view colour_label, std::string_view tick_gap) {
  constexpr std::array<std::string_view, 22> kLabels{
      "replot",        "background color", "frame color",
      "text color",    "line color",       "",
      "line style",    "curve width",      "major ticks@x",
      "minor ticks@x", "major ticks@y",    "minor ticks@y",
      "major ticks@z", "minor ticks@z",    "max. x",
      "min. x",        "max. y",           "min. y",
      "max. z",        "min. z",           "symbol type",
      "symbol color"};
  if (number < 0 || number >= static_cast<int>(kLabels.size())) return "";
  if (number == 5) return std::string(colour_label);
  std::string label(kLabels[static_cast<std::size_t>(number)]);
  if (const std::size_t at = label.find('@'); at != std::string::npos) {
    label.replace(at, 1, tick_gap);
  }
  return label;
}

constexpr int kLeftItems = 11;  // items 0 to 10

std::vector<std::string> line_rows(const MenuBox& box, std::string_view colour_label,
                                   std::string_view tick_gap, const std::vector<int>& right) {
  std::vector<std::string> rows;
  for (int number = 0; number < kLeftItems; ++number) {
    const std::string left = line_label(number, colour_label, tick_gap);
    const auto at = static_cast<std::size_t>(number);
    const int right_number = at < right.size() ? right[at] : kUnnumbered;
    const std::string right_label = line_label(right_number, colour_label, tick_gap);
    rows.push_back(menu_item_row(box, MenuItem{left, number}, MenuItem{right_label, right_number}));
  }
  return rows;
}

}  // namespace

std::string menu_line(const MenuBox& box, std::string_view text) {
  std::string inner(text);
  const std::size_t width = static_cast<std::size_t>(box.width);
  if (inner.size() < width) inner.resize(width, ' ');
  return "|" + inner + "|";
}

std::string menu_item_row(const MenuBox& box, MenuItem left, MenuItem right) {
  return menu_line(
      box, " " + cell(left, box.left_cell) + std::string(box.gap) + cell(right, box.right_cell));
}

std::vector<std::string> plot_options_menu(const MenuBox& box,
                                           const std::vector<std::string>& item_rows,
                                           std::string_view reset, std::string_view actions) {
  const std::size_t width = static_cast<std::size_t>(box.width);
  const std::size_t indent = static_cast<std::size_t>(box.title_indent);
  std::string title = std::string(indent, '*') + std::string(kTitle);
  if (title.size() < width) title.resize(width, '*');
  std::vector<std::string> menu{"|" + title + "|"};
  menu.insert(menu.end(), item_rows.begin(), item_rows.end());
  if (!reset.empty()) {
    menu.push_back(menu_line(box, ""));
    menu.push_back(menu_line(box, reset));
  }
  menu.push_back("|" + std::string(width, '-') + "|");
  menu.push_back(menu_line(box, actions));
  menu.push_back("|" + std::string(width, '_') + "|");
  return menu;
}

std::vector<std::string> line_page_rows(const MenuBox& box, std::string_view colour_label,
                                        std::string_view tick_gap,
                                        std::initializer_list<int> right) {
  return line_rows(box, colour_label, tick_gap, std::vector<int>(right));
}

std::vector<std::string> line_page_menu(const LinePageMenu& page,
                                        const std::vector<std::string>& extra_rows) {
  constexpr int kFirstRightItem = 11;
  std::vector<int> right;
  for (int number = kFirstRightItem; number < kFirstRightItem + kLeftItems; ++number) {
    right.push_back(number <= page.last_item ? number : kFreeNumber);
  }
  std::vector<std::string> rows = line_rows(page.box, page.colour_label, page.tick_gap, right);
  rows.insert(rows.end(), extra_rows.begin(), extra_rows.end());
  return plot_options_menu(page.box, rows, page.reset, kSaveContinueNoMore);
}

}  // namespace dendro
