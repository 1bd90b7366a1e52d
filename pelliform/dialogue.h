// Console conventions of pelliform: questions end with "==> " in column 50, and a line
// that records a choice or a result goes to the console as written and to the report file
// in upper case.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "series/console.h"

namespace dendro {

class Units;

// The question with "==> " placed in column 50 (over the question's tail when longer).
std::string prompt_line50(std::string_view question);

// Asks the question with its prompt in column 50 and reads an answer of `width` characters.
Answer ask50(Console& con, std::string_view question, std::size_t width);

// The line that refuses the answer `typed`: "Entry > x < is not " and `wanted` (such as
// "a whole number"), or "An empty entry is not ..." when nothing but blanks was typed.
std::string entry_refusal(std::string_view typed, std::string_view wanted);

// Asks a true-or-false question: an answer beginning with T or F (either case, after an
// optional period) decides it; an empty answer is false; anything else is refused with
// entry_refusal and asked again, and counts with the console's limit on answers that
// cannot be used.
bool ask_logical(Console& con, std::string_view question);

// Asks the spline stabilisation of the chronology: 0 (none, also for a blank), 1 (the
// age-dependent spline), or a smoothing spline of 10 years and more or -10 percent and
// below; any other answer is refused and asked again, "/" ends the program.
int ask_spline_stabilisation(Console& con);

// The text in upper case (ASCII letters only).
std::string upper(std::string_view text);

// Writes `line` to the console and its upper-case copy to the report unit (when open).
void report_line(Console& con, Units& units, std::string_view line);

}  // namespace dendro
