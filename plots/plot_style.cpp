#include "plots/plot_style.h"

#include <cstdlib>
#include <limits>
#include <optional>
#include <string_view>

#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::string_view kIndent = "             ";  // 13 blanks before every line

void line(Console& con, std::string_view text) {
  con.say(std::string(kIndent) + std::string(text));
}

void colour_table(Console& con) {
  con.say("");
  line(con, "color table ______________________________________________");
  line(con, "white(0) red(1)  yellow(2)  green(3)  aquamarine(4) pink(5) ");
  line(con, "wheat(6)  grey(7)  browm(8)  blue(9)  blueviolet(10)");
  line(con, "cyan(11)  turquoise(12)  magenta(13)  salmon(14)  black(15)");
  line(con, "___________________________________________________________");
  con.say("");
}

void background_table(Console& con) {
  con.say("");
  line(con, "color table (background only) ____________________________");
  line(con, "black(0) white(1)  user defined (2)");
  line(con, "___________________________________________________________");
  con.say("");
}

// How an answer is read: an integer field of 4 characters (an empty answer is 0), or the
// first value of a free-form line.
enum class Read { field4, free };

std::optional<int> read_integer(Console& con, Read how) {
  if (how == Read::field4) {
    const std::string answer = field(con.read_line(), 4);
    try {
      return static_cast<int>(Layout("(i4)").read(answer, 1)[0].integer);
    } catch (const ReadError&) {
      return std::nullopt;
    }
  }
  try {
    // A free-form number beyond an int is no answer, rather than one wrapped around.
    const long long v = read_list_integers(con.read_line(), 1)[0];
    if (v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
      return std::nullopt;
    }
    return static_cast<int>(v);
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

// The first value of a free-form line, separated by blanks or a comma.
std::optional<float> read_real(Console& con) {
  const std::string text = con.read_line();
  const auto first = text.find_first_not_of(" ,");
  if (first == std::string::npos) return std::nullopt;
  const auto last = text.find_first_of(" ,", first);
  const std::string token = text.substr(first, last == std::string::npos ? last : last - first);
  char* end = nullptr;
  const double value = std::strtod(token.c_str(), &end);
  if (end != token.c_str() + token.size()) return std::nullopt;
  return static_cast<float>(value);
}

// The style editor does not check ranges (PLplot takes any of its codes), but a text that
// is no number at all leaves the value as it was, and says so.
void unchanged(Console& con) { line(con, "*** not a number: the value is unchanged"); }

void set_integer(Console& con, Read how, int& value) {
  if (auto v = read_integer(con, how)) {
    value = *v;
  } else {
    unchanged(con);
  }
}

// "change ... from:" with the current value on its line, then "to > " for the answer.
void ask_change(Console& con, std::string_view question, std::string_view current) {
  con.say("");
  line(con, std::string(question) + std::string(current));
  con.prompt(std::string(kIndent) + "to > ");
}

void edit_background(Console& con, PlotStyle& s) {
  background_table(con);
  con.say("");
  con.prompt(std::string(kIndent) + "select new background color [0/1/2] : ");
  const std::optional<int> choice = read_integer(con, Read::free);
  if (choice == 0) {
    s.black_background = 1;
    s.bg_red = s.bg_green = s.bg_blue = 0;
  } else if (choice == 1) {
    s.black_background = 0;
    s.bg_red = s.bg_green = s.bg_blue = 255;
  } else if (choice == 2) {
    line(con, "enter red value [0-255] > ");
    set_integer(con, Read::free, s.bg_red);
    line(con, "enter green value [0-255] > ");
    set_integer(con, Read::free, s.bg_green);
    line(con, "enter blue value [0-255] > ");
    set_integer(con, Read::free, s.bg_blue);
    s.black_background = 0;
  }
}

void reset(PlotStyle& s) {
  const PlotStyle defaults;
  const Axis x = s.x, y = s.y, z = s.z;
  s = defaults;
  s.x = x;
  s.y = y;
  s.z = z;
}

// Items 2 to 7: a question that leaves the cursor on its line, and one integer.
void edit_plain(Console& con, std::string_view question, bool empty_line, Read how, int& value) {
  if (empty_line) con.say("");
  con.prompt(std::string(kIndent) + std::string(question));
  set_integer(con, how, value);
}

// The current value shown in a "change ... from:" question.
constexpr std::string_view kTickInterval = "(f6.0)";
constexpr std::string_view kCount = "(i4)";
constexpr std::string_view kLimit = "(f8.3)";

// "change ... from:" a real shown by `layout`, or an integer count or code.
void change(Console& con, std::string_view question, std::string_view layout, float& value) {
  ask_change(con, question, fmt_write(layout, value));
  read_value(con, value);
}
void change(Console& con, std::string_view question, Read how, int& value) {
  ask_change(con, question, fmt_write(kCount, value));
  set_integer(con, how, value);
}

}  // namespace

void arspltstyle(Console& con, PlotStyle& s, int item) {
  if (item >= 2 && item <= 5) colour_table(con);
  if (item == 21) colour_table(con);
  switch (item) {
    case 1:
      edit_background(con, s);
      break;
    case 2:
      edit_plain(con, "select new frame color [0-15] : ", false, Read::free, s.frame_colour);
      break;
    case 3:
      edit_plain(con, "select new text color: [0-15] : ", true, Read::free, s.text_colour);
      break;
    case 4:
      edit_plain(con, "select new line color: [0-15] : ", false, Read::field4, s.line_colour);
      break;
    case 5:
      edit_plain(con, "select new curve color: [0-15] : ", false, Read::field4, s.curve_colour);
      break;
    case 6:
      edit_plain(con, "select new line style: [0-8] : ", true, Read::field4, s.line_style);
      break;
    case 7:
      edit_plain(con, "select new curve width: [0-8]  : ", true, Read::field4, s.curve_width);
      break;
    case 8:
      change(con, "change x axis major tics from: ", kTickInterval, s.x.major);
      break;
    case 9:
      change(con, "change x axis minor tics from: ", Read::free, s.x.minor);
      break;
    case 10:
      change(con, "change y axis major tics from: ", kTickInterval, s.y.major);
      break;
    case 11:
      change(con, "change y axis minor tics from: ", Read::field4, s.y.minor);
      break;
    case 12:
      change(con, "change z axis major tics from: ", kTickInterval, s.z.major);
      break;
    case 13:
      change(con, "change z axis minor tics from: ", Read::field4, s.z.minor);
      break;
    case 14:
      change(con, "change x axis max value from: ", kLimit, s.x.max);
      break;
    case 15:
      change(con, "change x axis min value from: ", kLimit, s.x.min);
      break;
    case 16:
      change(con, "change y axis max value from: ", kLimit, s.y.max);
      break;
    case 17:
      change(con, "change y axis min value from: ", kLimit, s.y.min);
      break;
    case 18:
      change(con, "change z axis max value from: ", kLimit, s.z.max);
      break;
    case 19:
      change(con, "change z axis min value from: ", kLimit, s.z.min);
      break;
    case 20:
      change(con, "change symbol [0-126, 32 = no symbol]: ", Read::free, s.symbol);
      break;
    case 21:
      change(con, "change symbol color from: ", Read::free, s.symbol_colour);
      break;
    case kStyleReset:
      reset(s);
      break;
    default:
      break;
  }
}

void read_value(Console& con, float& value) {
  if (auto v = read_real(con)) {
    value = *v;
  } else {
    unchanged(con);
  }
}

void lalign(std::string& text) {
  const auto first = text.find_first_not_of(' ');
  if (first == std::string::npos || first == 0) return;
  const std::size_t length = text.size();
  text.erase(0, first);
  text.resize(length, ' ');
}

std::string left_justified(std::string_view text, std::size_t length) {
  std::string justified = field(text, length);
  lalign(justified);
  return justified;
}

}  // namespace dendro
