#include "kalder/info.h"
#include "series/console.h"

namespace dendro {

void info(int page, Console& con) { con.say(" information page " + std::to_string(page)); }
void helpm(int number, Console& con) { con.say(" help text " + std::to_string(number)); }

}  // namespace dendro
