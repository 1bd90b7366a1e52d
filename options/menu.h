// The option menu: all twenty options with their values and labels; the user picks an
// option to change until answering with a blank or 0.
#pragma once

#include "series/blocks.h"

namespace dendro {

class Console;

// Resets the options to their defaults, then draws the menu and runs the dialogue of each
// option the user picks. "/" throws Stop with status 0 and no message.
void menu(Icommands& icommands, Commands& commands, Console& con);

// The menu as drawn: an empty line, the title, an empty line, the column head and one
// line per option, without a final newline.
std::string menu_text(const Icommands& icommands, const Commands& commands);

}  // namespace dendro
