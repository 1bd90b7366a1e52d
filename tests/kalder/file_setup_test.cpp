#include "kalder/file_setup.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "options/menu.h"
#include "tests/options/boundaries.h"
#include "tests/options/session.h"

namespace dendro {
namespace {

using testing::integers_in;
using testing::item_elements;

std::string padded(std::string text, std::size_t width) {
  text.resize(width, ' ');
  return text;
}

TEST(option_record, each_value_comes_from_its_own_element) {
  Icommands ic;
  testing::number_every_element(ic);
  Commands commands;
  commands.set(Commands::kSavedMaskFirst, Commands::kSavedMaskLast, "SSSTTCC");
  const std::vector<std::string> lines = option_record(ic, commands);
  const std::vector<std::vector<int>> values = item_elements();
  ASSERT_EQ(lines.size(), values.size() + 1);  // after the column head
  EXPECT_EQ(lines[0], "                       opt          plt");
  // The values stand before the label in column 42; no item's name holds a digit.
  for (std::size_t k = 0; k < values.size(); ++k) {
    EXPECT_EQ(integers_in(lines[k + 1].substr(0, 41)), values[k]) << lines[k + 1];
  }
  EXPECT_EQ(lines[15].substr(27, 8), "SSSTTCC ");  // the saved mask from column 28
}

// Every value at the edge of a rule prints whole, without asterisks, in the option record
// and in the menu: the value columns of the item's line hold its digits.
TEST(option_record, every_edge_of_the_value_rules_prints_whole) {
  const std::vector<std::vector<int>> items = item_elements();
  Commands commands;
  for (const testing::Edge& edge : testing::rule_edges()) {
    std::size_t item = 0;
    while (std::find(items[item].begin(), items[item].end(), edge.element) == items[item].end()) {
      ++item;
    }
    const std::string value = std::to_string(edge.value);
    const std::string record_line = option_record(edge.ic, commands)[item + 1].substr(0, 41);
    EXPECT_EQ(record_line.find('*'), std::string::npos) << record_line;
    EXPECT_NE(record_line.find(value), std::string::npos) << record_line << " " << value;
    const std::vector<std::string> menu = testing::lines_of(menu_text(edge.ic, commands));
    const std::string menu_line = menu.at(item + 4).substr(0, 46);
    EXPECT_EQ(menu_line.find('*'), std::string::npos) << menu_line;
    // Under the regional curve the menu's second detrending line has no plot flag.
    if (edge.element == 65 && edge.ic[opt::first_detrending] == -2) continue;
    EXPECT_NE(menu_line.find(value), std::string::npos) << menu_line << " " << value;
  }
  // The growth change threshold reaches 200: three columns that end where two always did.
  Icommands ic;
  ic[opt::release_threshold] = 200;
  EXPECT_EQ(option_record(ic, commands)[22].substr(0, 25), " percent growth change200");
  ic[opt::release_threshold] = 25;
  EXPECT_EQ(option_record(ic, commands)[22].substr(0, 25), " percent growth change 25");
}

TEST(header_line_checks, ids_take_the_stem_and_blank_header_lines_follow_the_title) {
  Commands commands;  // every header line blank
  const ChronologyIds ids =
      header_line_checks("oakridge", {"xy345678", "oak ridge, ring widths"}, commands);
  EXPECT_EQ(ids.chronology_id, "oakrid78");
  EXPECT_EQ(ids.data_title, padded("oak ridge, ring widths", 85));

  // Line 1 is the title (columns 1 to 58) and its tag (59 to 80); lines 2 and 3 repeat
  // line 1's first 58 columns with their own tags.
  const std::string head = padded("oak ridge, ring widths", 58);
  EXPECT_EQ(commands.header_line(1), padded(head + "1st itrdb line missing", 85));
  EXPECT_EQ(commands.header_line(2), padded(head + "2nd itrdb line missing", 85));
  EXPECT_EQ(commands.header_line(3), padded(head + "3rd itrdb line missing", 85));
}

TEST(header_line_checks, header_lines_in_place_stay_and_lend_their_start) {
  Commands commands;
  const std::string line1 = padded("OAK001 1 OAK RIDGE", 85);
  const std::string line3 = padded("OAK001 3 SITE NOTES", 85);
  commands.set_header_line(1, line1);
  commands.set_header_line(3, line3);
  // A short id is padded before the stem goes in; a long stem is cut to six characters.
  const ChronologyIds ids = header_line_checks("pinecone", {"", "title"}, commands);
  EXPECT_EQ(ids.chronology_id, "pineco  ");
  EXPECT_EQ(commands.header_line(1), line1);
  EXPECT_EQ(commands.header_line(2), padded(line1.substr(0, 58) + "2nd itrdb line missing", 85));
  EXPECT_EQ(commands.header_line(3), line3);
}

}  // namespace
}  // namespace dendro
