// The tests' one way to run work as a run does while the ending signals are caught.
#pragma once

#include <unistd.h>

#include <csignal>

#include "series/files/interrupts.h"
#include "series/files/stop.h"

namespace dendro {

// Runs `work` while the ending signals are caught, SIGINT raised first when `raise_first`
// (else `work` raises it itself): the status of the Stop it throws, 0 when none. The
// standard input, which the handler replaces, is the test's own again afterwards, and the
// next test starts without the signal.
template <class Work>
int status_when_signalled(bool raise_first, Work work) {
  const int own_input = ::dup(STDIN_FILENO);
  const auto before = std::signal(SIGINT, SIG_DFL);  // as a shell starts a program
  int status = 0;
  {
    const CatchInterrupts catching;
    if (raise_first) std::raise(SIGINT);
    try {
      work();
    } catch (const Stop& stop) {
      status = stop.status;
    }
  }
  { const CatchInterrupts clear; }
  ::dup2(own_input, STDIN_FILENO);
  ::close(own_input);
  std::signal(SIGINT, before);
  return status;
}

}  // namespace dendro
