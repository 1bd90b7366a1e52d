// The signals that end a run from outside (Ctrl-C, a kill, the terminal closed, Ctrl-\, a
// console whose reader has gone) end it the way a stop does. The signal handler only
// records the signal; a question waiting for its answer returns at once, and the
// computations look between their stages (stop_if_interrupted), so that the run ends
// through the same path as any stop: the same fates for its files, the same lists on a
// console that can still be written, and the signal's own exit status (128 + its number).
#pragma once

#include <signal.h>

#include <array>
#include <cstddef>

#include "series/files/stop.h"

namespace dendro {

// The signals that end a run by the rule of a stop.
inline constexpr std::array<int, 5> kEndingSignals{SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// While alive, the ending signals are recorded for the run instead of ending the process,
// and a signal makes the standard input read as ended, so that a question waiting for its
// answer returns. A signal the process was started ignoring (nohup, a background job)
// stays ignored. Restores the earlier handling when it goes.
class CatchInterrupts {
 public:
  CatchInterrupts();
  ~CatchInterrupts();
  CatchInterrupts(const CatchInterrupts&) = delete;
  CatchInterrupts& operator=(const CatchInterrupts&) = delete;

 private:
  std::array<struct sigaction, kEndingSignals.size()> previous_{};
  int null_input_ = -1;  // the file read as standard input once a signal has come
};

// While alive, the ending signals wait on this thread and on the threads it starts, so
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
// The same at every kItemsBetweenLooks-th item of a loop over many names or records, the
// first among them: a look for each would cost more than the item.
inline constexpr std::size_t kItemsBetweenLooks = 4096;
inline void stop_if_interrupted_at(std::size_t item) {
  if (item % kItemsBetweenLooks == 0) stop_if_interrupted();
}

}  // namespace dendro
