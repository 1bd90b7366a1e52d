// The help page of each option, shown when the user answers "h" in the option dialogue.
#pragma once

#include <initializer_list>
#include <string_view>

namespace dendro {

class Console;

// Writes a help text: an empty line, then each line from column 2 (an empty line stays
// empty).
void show_text(Console& con, std::initializer_list<std::string_view> lines);

// Writes the help page of option 2 to 20; any other number shows the page of option 1.
// The page of the first detrending is seven pages long, each followed by a pause.
void helpq(int option, Console& con);

}  // namespace dendro
