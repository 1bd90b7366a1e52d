// Ending the program from inside a routine: the routine throws Stop, and main prints the
// message, closes every open file and exits with the status.
#pragma once

#include <stdexcept>
#include <string>

namespace dendro {

struct Stop : std::runtime_error {
  Stop(std::string message, int exit_status) : std::runtime_error(message), status(exit_status) {}
  int status;  // 0 for a normal end or the user's "/", above 0 for a failure
  // True when the routine has already shown the message on the console (with a pause
  // before stopping), so that main need not print it again.
  bool shown = false;
};

// Ends the run without a message and with status 0: the user chose to leave, and the
// console has already said whatever needed saying.
[[noreturn]] inline void stop_quietly() { throw Stop("", 0); }

// Exit status of a run that ended because the console input ran out.
inline constexpr int kEndOfInputStatus = 3;
// Exit status of a run that ended on bad data or a failed file.
inline constexpr int kFailureStatus = 1;

}  // namespace dendro
