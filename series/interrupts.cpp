#include "series/interrupts.h"

#include <pthread.h>
#include <unistd.h>

#include "series/output_files.h"

namespace dendro {
namespace {

// A signal handler has no argument to carry its context: the one file owner being
// watched is the only state of the program kept outside an object.
const OutputFiles* watched = nullptr;

sigset_t interrupt_signals() {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, SIGINT);
  sigaddset(&set, SIGTERM);
  return set;
}

extern "C" void on_interrupt(int signal_number) {
  if (watched != nullptr) watched->settle_on_signal();
  _exit(128 + signal_number);
}

}  // namespace

HoldInterrupts::HoldInterrupts() {
  const sigset_t set = interrupt_signals();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

HoldInterrupts::~HoldInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

CatchInterrupts::CatchInterrupts(const OutputFiles& files) {
  watched = &files;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  action.sa_mask = interrupt_signals();  // one signal's settling is not cut by the other
  sigaction(SIGINT, &action, &previous_int_);
  sigaction(SIGTERM, &action, &previous_term_);
}

CatchInterrupts::~CatchInterrupts() {
  sigaction(SIGINT, &previous_int_, nullptr);
  sigaction(SIGTERM, &previous_term_, nullptr);
  watched = nullptr;
}

}  // namespace dendro
