#include "plots/plot_style.h"

#include <gtest/gtest.h>

#include <sstream>

#include "series/files/stop.h"

namespace dendro {
namespace {

struct Edit {
  PlotStyle style;
  std::string console;
};

// Runs one item of the editor on `style` with the typed answers.
Edit edit(int item, const std::string& answers, PlotStyle style = {}) {
  std::istringstream in(answers);
  std::ostringstream out;
  Console con(in, out);
  arspltstyle(con, style, item);
  return {style, out.str()};
}

const std::string kIndent(13, ' ');

TEST(arspltstyle, background_choices) {
  Edit black = edit(1, "0\n");
  EXPECT_EQ(black.style.black_background, 1);
  EXPECT_EQ(black.style.bg_red + black.style.bg_green + black.style.bg_blue, 0);
  EXPECT_EQ(black.console, "\n" + kIndent +
                               "color table (background only) ____________________________\n" +
                               kIndent + "black(0) white(1)  user defined (2)\n" + kIndent +
                               "___________________________________________________________\n\n\n" +
                               kIndent + "select new background color [0/1/2] : ");

  Edit white = edit(1, "1\n", black.style);
  EXPECT_EQ(white.style.black_background, 0);
  EXPECT_EQ(white.style.bg_red, 255);
  EXPECT_EQ(white.style.bg_blue, 255);

  Edit light_blue = edit(1, "2\n200\n200\n255\n", black.style);
  EXPECT_EQ(light_blue.style.black_background, 0);
  EXPECT_EQ(light_blue.style.bg_red, 200);
  EXPECT_EQ(light_blue.style.bg_green, 200);
  EXPECT_EQ(light_blue.style.bg_blue, 255);
  EXPECT_NE(light_blue.console.find(kIndent + "enter green value [0-255] > \n"), std::string::npos);

  Edit other = edit(1, "3\n", black.style);
  EXPECT_EQ(other.style.black_background, 1);
  EXPECT_EQ(other.style.bg_red, 0);
}

TEST(arspltstyle, reset_restores_looks_and_keeps_axes) {
  PlotStyle s;
  s.symbol = 3, s.symbol_colour = 2, s.line_style = 4, s.curve_width = 7;
  s.line_colour = 5, s.curve_colour = 6, s.second_curve_colour = 7, s.text_colour = 1;
  s.frame_colour = 2, s.bg_red = 0, s.bg_green = 0, s.bg_blue = 0, s.black_background = 1;
  s.x = {1900, 2000, 20, 5};
  s.y = {0, 1.5f, 0.5f, 4};
  s.z = {-1, 3, 1, 2};
  Edit r = edit(kStyleReset, "", s);
  EXPECT_EQ(r.console, "");  // no question
  EXPECT_EQ(r.style.symbol, 20);
  EXPECT_EQ(r.style.symbol_colour, 9);
  EXPECT_EQ(r.style.line_style, 1);
  EXPECT_EQ(r.style.curve_width, 2);
  EXPECT_EQ(r.style.line_colour, 15);
  EXPECT_EQ(r.style.curve_colour, 1);
  EXPECT_EQ(r.style.second_curve_colour, 9);
  EXPECT_EQ(r.style.text_colour, 15);
  EXPECT_EQ(r.style.frame_colour, 15);
  EXPECT_EQ(r.style.bg_red + r.style.bg_green + r.style.bg_blue, 3 * 255);
  EXPECT_EQ(r.style.black_background, 0);
  EXPECT_EQ(r.style.x.max, 2000);
  EXPECT_EQ(r.style.y.major, 0.5f);
  EXPECT_EQ(r.style.z.min, -1);
  EXPECT_EQ(r.style.z.minor, 2);
}

TEST(arspltstyle, values_are_stored_unchecked) {
  EXPECT_EQ(edit(5, "\n").style.curve_colour, 0);     // a 4-character field: blank is 0
  EXPECT_EQ(edit(2, "42\n").style.frame_colour, 42);  // no range check
  EXPECT_EQ(edit(6, "  3\n").style.line_style, 3);
  EXPECT_EQ(edit(7, "12345\n").style.curve_width, 1234);  // the field is 4 characters
  EXPECT_EQ(edit(3, " 1 \n").style.text_colour, 1);
  EXPECT_EQ(edit(20, "32\n").style.symbol, 32);
  EXPECT_EQ(edit(9, "3, 4\n").style.x.minor, 3);  // free form: the first value
  EXPECT_FLOAT_EQ(edit(16, "2.75\n").style.y.max, 2.75f);
  EXPECT_FLOAT_EQ(edit(10, "1e-1\n").style.y.major, 0.1f);
}

TEST(arspltstyle, questions_and_tables) {
  PlotStyle s;
  s.x = {1900, 2000, 20, 5};
  EXPECT_EQ(edit(8, "25\n", s).console,
            "\n" + kIndent + "change x axis major tics from:    20.\n" + kIndent + "to > ");
  EXPECT_EQ(edit(9, "4\n", s).console,
            "\n" + kIndent + "change x axis minor tics from:    5\n" + kIndent + "to > ");
  EXPECT_EQ(edit(14, "2010\n", s).console,
            "\n" + kIndent + "change x axis max value from: 2000.000\n" + kIndent + "to > ");
  EXPECT_EQ(edit(4, "1\n").console,
            "\n" + kIndent + "color table ______________________________________________\n" +
                kIndent + "white(0) red(1)  yellow(2)  green(3)  aquamarine(4) pink(5) \n" +
                kIndent + "wheat(6)  grey(7)  browm(8)  blue(9)  blueviolet(10)\n" + kIndent +
                "cyan(11)  turquoise(12)  magenta(13)  salmon(14)  black(15)\n" + kIndent +
                "___________________________________________________________\n\n" + kIndent +
                "select new line color: [0-15] : ");
  EXPECT_EQ(edit(7, "3\n").console, "\n" + kIndent + "select new curve width: [0-8]  : ");
  // Item 21 shows the colour table before its question; item 20 does not.
  EXPECT_NE(edit(21, "4\n").console.find("color table"), std::string::npos);
  EXPECT_EQ(edit(20, "4\n").console.find("color table"), std::string::npos);
}

TEST(arspltstyle, answers_that_are_no_number_change_nothing) {
  PlotStyle s;
  s.y.max = 1.5f;
  Edit e = edit(16, "abc\n", s);
  EXPECT_EQ(e.style.y.max, 1.5f);
  EXPECT_NE(e.console.find("*** not a number: the value is unchanged"), std::string::npos);
  EXPECT_EQ(edit(4, "x\n").style.line_colour, 15);
  EXPECT_EQ(edit(2, "\n").style.frame_colour, 15);  // free form: an empty answer is none
  // A free-form number beyond an int is none either, rather than 4294967297 wrapped to 1.
  EXPECT_EQ(edit(2, "4294967297\n").style.frame_colour, 15);
  // Codes the editor does not know ask nothing and change nothing.
  EXPECT_EQ(edit(22, "").console, "");
  EXPECT_EQ(edit(100, "").console, "");
  // End of input while a question waits ends the run cleanly.
  EXPECT_THROW(edit(14, ""), Stop);
}

TEST(lalign, moves_text_left) {
  const auto aligned = [](std::string text) {
    lalign(text);
    return text;
  };
  EXPECT_EQ(aligned("   ring width"), "ring width   ");
  EXPECT_EQ(aligned("ring width"), "ring width");
  EXPECT_EQ(aligned("    "), "    ");
  EXPECT_EQ(aligned(""), "");
  EXPECT_EQ(aligned(" a "), "a  ");
}

}  // namespace
}  // namespace dendro
