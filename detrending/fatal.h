// The orderly stop of a routine that meets input it cannot handle: the message on the
// console, a pause until the user presses Return, then the program ends.
#pragma once

#include <string_view>

namespace dendro {

class Console;

// Shows `record` (one or more lines, as a layout wrote them), pauses with `pause_text`
// and throws Stop with the record's text and the failure status.
[[noreturn]] void fatal(Console& con, std::string_view record, std::string_view pause_text = "");

}  // namespace dendro
