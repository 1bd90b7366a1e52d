#include "pelliform/format_help.h"

#include <initializer_list>
#include <string_view>

#include "options/pager.h"
#include "series/layout.h"

namespace dendro {
namespace {

using Lines = std::initializer_list<std::string_view>;

// Every example line is shown after one blank; every example ends the same way.
void show(Console& con, Lines lines) {
  for (std::string_view line : lines) con.say(" " + std::string(line));
}

void example_end(Console& con) {
  show(con, {"..........", "und so veite, und so veite, ... "});
  con.pause(" <Hit Return to continue>");
}

void ring_widths(Console& con) {
  show(con, {
                "rrw - decade format",
                "Example:",
                "HBM01A  1936   171   150   139   158",
                "HBM01A  1940   176   198   164   188   214   148   188    66   150    88",
                "HBM01A  1950   120   135   101    97   143   160   112   125   131   108",
                "..........",
                "HBM01A  2000   178    62   236 -9999",
                "HBM01B  1754   201   188   243   198   176   215",
                "HBM01B  1760   187   164   170   155   149   166   172   139   158   161",
                "..........",
                "HBM01B  1790   156 -9999",
            });
  example_end(con);
}

void indices(Console& con) {
  show(con,
       {
           "chronology - index format",
           "Example:",
           "tst1a.raw -- no data title --                             1st itrdb line missing  raw",
           "tst1a.raw -- no data title --                             2nd itrdb line missing  raw",
           "tst1a.raw -- no data title --                             3rd itrdb line missing  raw",
           "tst1a.1950 356 38 439 38 276 38 132 38 424 38 423 38 258 38 295 38 379 38 382 38  raw",
           "tst1a.1960 412 38 398 37 501 37 467 36 389 36 402 35 455 35 478 34 390 34 421 33  raw",
           "..........",
           "tst1a.2000 507 32 295 32 505 329990  09990  09990  09990  09990  09990  09990  0  raw",
           "tst1a.std -- no data title --                             1st itrdb line missing  std",
           "tst1a.std -- no data title --                             2nd itrdb line missing  std",
           "tst1a.std -- no data title --                             3rd itrdb line missing  std",
           "tst1a.1950 913 381096 38 884 38 731 381057 381040 38 869 38 902 38 995 38 998 38  std",
           "..........",
           "tst1a.2000 1102 32 877 321095 329990  09990  09990  09990  09990  09990  09990  0  std",
       });
  example_end(con);
}

void single_column(Console& con) {
  show(con, {"Single Column", "Give every id a letter. Where the values have no decimal",
             "point, an id made only of digits and its first year read",
             "as two more values of the series before them (or the file",
             "is refused): no rule can tell them apart.", ""});
  show(con, {"Example:", "abscdef", "1771", "0.1", "0.2", "0.3", "0.25", "..........", "bbscdef",
             "1772", "1.1", "1.4", "0.9", "..........", "cbscdef", "1801", "0.45", "0.52"});
  example_end(con);
}

void multiple_columns(Console& con) {
  show(con, {
                "Multiple Columns",
                "This format requires you to provide the total number ",
                "of columns in your file (e.g., 6 in the examples below)",
                "along with the sentinel value or character string used ",
                "as a spacer to keep the rows correctly aligned by year. ",
                "",
                "Example 1:  Sentinel = ******* ",
                " YEAR   HKTC01A  HKTC01B  HKTC01C  HKTC01D  HKTC25A ",
                " 1941  *******  *******   2.8200   3.3580  *******   ",
                " 1942  *******  *******   3.0150   5.1010  *******   ",
                " 1943  *******  *******   2.9970   4.8700  *******   ",
                " 1944  *******  *******   3.2260   6.0800  *******   ",
                " 1945   1.4470   2.3340   3.4180   5.7730   0.9910   ",
            });
  con.pause(" <Hit Return to continue>");
  show(con, {
                "Example 2:  Sentinel = -9.9 ",
                "  YEAR  HKTC01A  HKTC01B  HKTC01C  HKTC01D  HKTC25A",
                "  1941  -9.9     -9.9      2.8200   3.3580  -9.9  ",
                "  1942  -9.9     -9.9      3.0150   5.1010  -9.9  ",
                "  1943  -9.9     -9.9      2.9970   4.8700  -9.9  ",
                "  1944  -9.9     -9.9      3.2260   6.0800  -9.9  ",
                "  1945   1.4470   2.3340   3.4180   5.7730   0.9910",
            });
  example_end(con);
}

void menu(Console& con) {
  con.say("");
  for (std::string_view line :
       {"_____   Input Format Help Menu    _____", "Raw ring-widths (mm-decade)          [1] ",
        "Chronologies (index-decade)          [2] ", "Single Column                        [3]",
        "Multiple Columns                     [4]", "Enter zero when finished             [0]",
        "Enter H for further help", "________________________________________"}) {
    con.say(line);
  }
  con.prompt("Enter a value between  [0-4]       : ");
}

}  // namespace

void dathlp(Console& con, Units& units, int unit) {
  const Layout one_digit("(i1)");
  con.say("");
  con.say("Select a file type to see an example.");
  // Each pass reads one answer, so the end of the input ends the loop.
  for (int round = 0;; ++round) {
    if (round > 0) con.again();  // a file type shown, or a snoop: the menu again
    menu(con);
    long long choice = 0;
    try {
      choice = one_digit.read(con.read_line(), 1)[0].integer;
    } catch (const ReadError&) {
      snoop(units, unit, con, kSnoopWidthPelliform);
      continue;
    }
    switch (choice) {
      case 0:
        return;
      case 1:
        ring_widths(con);
        break;
      case 2:
        indices(con);
        break;
      case 3:
        single_column(con);
        break;
      case 4:
        multiple_columns(con);
        break;
      default:
        con.say("");
        con.say("You must enter a value between 0 and 4");
        con.say("");
    }
  }
}

}  // namespace dendro
