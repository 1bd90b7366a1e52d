// The option dialogue: the questions that set one option of the option table, with their
// defaults, checks and effects on other options.
#pragma once

#include "series/blocks.h"

namespace dendro {

class Console;

// Asks the new value of option `option` (below 1 is taken as 1) and its follow-up
// questions, and stores the answers. Every number is checked before it is stored: an
// answer that is not a number, is out of range or does not fit the option's log file
// record asks again. "/" throws Stop with status 0 and no message.
void query(int option, Icommands& icommands, Commands& commands, Console& con);

}  // namespace dendro
