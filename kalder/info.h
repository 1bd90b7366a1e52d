// Information pages and help texts of the run dialogue.
#pragma once

namespace dendro {

class Console;

void info(int page, Console& con);
void helpm(int number, Console& con);

}  // namespace dendro
