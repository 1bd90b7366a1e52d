// The help page of each option, shown when the user answers "h" in the option dialogue.
#pragma once

namespace dendro {

class Console;

// Writes the help page of option 2 to 20; any other number shows the page of option 1.
// The page of the first detrending is seven pages long, each followed by a pause.
void helpq(int option, Console& con);

}  // namespace dendro
