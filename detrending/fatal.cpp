#include "detrending/fatal.h"

#include <string>

#include "series/console.h"
#include "series/stop.h"

namespace dendro {

void fatal(Console& con, std::string_view record, std::string_view pause_text) {
  con.say(record);
  con.pause(pause_text);
  // The message for the program's end, without the blank lines the layout put around it.
  std::string message(record);
  while (!message.empty() && message.front() == '\n') message.erase(0, 1);
  while (!message.empty() && message.back() == '\n') message.pop_back();
  Stop stop(message, kFailureStatus);
  stop.shown = true;  // on the console already, above the pause
  throw stop;
}

}  // namespace dendro
