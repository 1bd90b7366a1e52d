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

// Asks a true-or-false question: an answer beginning with T or F (either case, after an
// optional period) decides it; an empty answer is false; anything else is asked again, and
// counts with the console's limit on answers that cannot be used.
bool ask_logical(Console& con, std::string_view question);

// The text in upper case (ASCII letters only).
std::string upper(std::string_view text);

// Writes `line` to the console and its upper-case copy to the report unit (when open).
void report_line(Console& con, Units& units, std::string_view line);

}  // namespace dendro
