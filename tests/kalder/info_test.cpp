#include "kalder/info.h"

#include <gtest/gtest.h>

#include <sstream>

#include "series/console.h"
#include "series/files/stop.h"

namespace dendro {
namespace {

struct Shown {
  std::string text;
  std::string unread;
};
Shown shown(void (*page)(int, Console&), int number, const std::string& input = "") {
  std::istringstream in(input);
  std::ostringstream out;
  Console con(in, out);
  page(number, con);
  std::string rest;
  std::getline(in, rest, '\0');
  return {out.str(), rest};
}

TEST(helpm, numbers_outside_2_to_8_show_text_1) {
  const std::string first = shown(helpm, 1).text;
  EXPECT_EQ(shown(helpm, 0).text, first);
  EXPECT_EQ(shown(helpm, 9).text, first);
  EXPECT_NE(first.find("dorv klane"), std::string::npos);
  EXPECT_EQ(shown(helpm, 3).text,
            "\n you can enter in a general run title here. it\n"
            " will be applied identically to all data sets.\n");
  EXPECT_EQ(shown(helpm, 6).text,
            "\n if you only want to create a new set of log files\n"
            " for editing or posterity, you may stop now without\n"
            " running the program further.\n");
  EXPECT_EQ(shown(helpm, 8, "\n").unread, "\n");  // no pause
  // The pith offset page: its first and last lines as the regional curve stage shows them.
  const std::string pith = shown(helpm, 8).text;
  EXPECT_EQ(pith.find("\n the rcs pith offset file is an optional file for\n"), 0u);
  EXPECT_EQ(pith.substr(pith.size() - 40), " rcs option in batch mode. groovy, huh?\n");
}

TEST(info, only_page_2_waits_between_its_screens) {
  Shown one = shown(info, 1, "\n");
  EXPECT_TRUE(one.text.starts_with("\n ***************** welcome to kalder *****************\n"));
  EXPECT_NE(one.text.find(" your data file name(s) interactively. capeche?\n"), std::string::npos);
  EXPECT_EQ(one.unread, "\n");
  Shown two = shown(info, 2, "\nafter\n");
  EXPECT_EQ(two.unread, "after\n");
  EXPECT_NE(two.text.find(" this information helps you. if not, well ...\n"), std::string::npos);
  EXPECT_THROW(shown(info, 2, ""), Stop);  // end of input at the pause
  Shown three = shown(info, 3);
  EXPECT_NE(three.text.find(" run in batch mode. good luck, mr. quarst.\n"), std::string::npos);
}

}  // namespace
}  // namespace dendro
