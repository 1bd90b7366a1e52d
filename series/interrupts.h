// Ctrl-C and SIGTERM end a run the way a stop does. The signal handler only records the
// signal; a question waiting for its answer returns at once, and the computations look
// between their stages (stop_if_interrupted), so that the run ends through the same path
// as any stop: the same fates for its files, the same lists on a console that is whole up
// to its last line, and the signal's own exit status (128 + its number).
#pragma once

#include <signal.h>

#include "series/stop.h"

namespace dendro {

// While alive, SIGINT and SIGTERM are recorded for the run instead of ending the process,
// and a signal makes the standard input read as ended, so that a question waiting for its
// answer returns. Restores the earlier handling when it goes.
class CatchInterrupts {
 public:
  CatchInterrupts();
  ~CatchInterrupts();
  CatchInterrupts(const CatchInterrupts&) = delete;
  CatchInterrupts& operator=(const CatchInterrupts&) = delete;

 private:
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
  int null_input_ = -1;  // the file read as standard input once a signal has come
};

// While alive, SIGINT and SIGTERM wait on this thread and on the threads it starts, so
// that a signal goes to the thread that asks the questions.
class HoldInterrupts {
 public:
  HoldInterrupts();
  ~HoldInterrupts();
  HoldInterrupts(const HoldInterrupts&) = delete;
  HoldInterrupts& operator=(const HoldInterrupts&) = delete;

 private:
  sigset_t previous_;
};

// The stop of a run that a signal ended: its message and the status 128 + `signal_number`.
Stop interrupted_stop(int signal_number);
// True when `stop` ended the run on a signal.
bool interrupted(const Stop& stop);
// The signal that came since the run began catching them; 0 when none has.
int pending_interrupt();
// Throws interrupted_stop when a signal has come since the run began catching them.
void stop_if_interrupted();

}  // namespace dendro
