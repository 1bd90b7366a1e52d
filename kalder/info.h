// The information pages offered at the start prompt and the help texts of the run
// dialogue's questions.
#pragma once

namespace dendro {

class Console;

// Information page 1, 2 or 3 (any other number shows page 1). Page 2 has two screens and
// waits for Return between them.
void info(int page, Console& con);

// The help text of a question of the run dialogue, 1 to 8; any number other than 2 to 8
// shows text 1.
void helpm(int number, Console& con);

}  // namespace dendro
