#include "series/console.h"

#include <gtest/gtest.h>

#include <sstream>

#include "series/stop.h"

namespace dendro {
namespace {

TEST(console, question_puts_the_arrow_in_column_45) {
  std::istringstream in("y\n");
  std::ostringstream out;
  Console con(in, out);
  Answer a = con.ask("run in batch mode from log file? y/<n>/h", 1);
  EXPECT_EQ(out.str(), "run in batch mode from log file? y/<n>/h    ==> ");
  EXPECT_EQ(out.str().find("==> "), 44u);
  EXPECT_EQ(a.text, "y");
  EXPECT_EQ(question_line(std::string(50, 'q')), std::string(44, 'q') + "==> qq");
}

TEST(console, answers_are_fixed_fields) {
  std::istringstream in("b\r\nh  x\n\n 12\nabc\n-7\n4294967306\n2147483647\n");
  std::ostringstream out;
  Console con(in, out);
  Answer b = con.read(40);
  EXPECT_EQ(b.text.size(), 40u);
  EXPECT_TRUE(b.word('b'));
  EXPECT_TRUE(b.word('B'));
  Answer h = con.read(40);
  EXPECT_FALSE(h.word('h'));  // something follows within the first five characters
  EXPECT_TRUE(h.letter('H'));
  EXPECT_TRUE(con.read(8).blank());
  EXPECT_EQ(con.read(8).integer(), 12);
  EXPECT_EQ(con.read(8).integer(), std::nullopt);
  EXPECT_EQ(con.read(2).integer(), -7);
  // Ten characters can hold a number past an int: no answer, not one wrapped around to 10.
  EXPECT_EQ(con.read(10).integer(), std::nullopt);
  EXPECT_EQ(con.read(10).integer(), 2147483647);
}

TEST(console, end_of_input_stops_cleanly) {
  std::istringstream in("");
  std::ostringstream out;
  Console con(in, out);
  try {
    con.ask("Spline stiffness in years", 8);
    FAIL() << "expected Stop";
  } catch (const Stop& s) {
    EXPECT_EQ(s.status, kEndOfInputStatus);
  }
}

}  // namespace
}  // namespace dendro
