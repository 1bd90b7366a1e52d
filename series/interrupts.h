// Ctrl-C and SIGTERM end a run the way a stop does: no temporary file is left behind, no
// earlier file is changed by a file this run had not completed, and the console says so.
#pragma once

#include <signal.h>

namespace dendro {

class OutputFiles;

// While alive, SIGINT and SIGTERM wait (on this thread), so that the interrupt handler
// never finds the file owner half way through a change. The file owner holds one around
// every change of its versions.
class HoldInterrupts {
 public:
  HoldInterrupts();
  ~HoldInterrupts();
  HoldInterrupts(const HoldInterrupts&) = delete;
  HoldInterrupts& operator=(const HoldInterrupts&) = delete;

 private:
  sigset_t previous_;
};

// While alive, SIGINT and SIGTERM settle the files of `files` as a stop would, say so on
// standard output and end the program with status 128 + the signal's number. The file
// owner must outlive it.
class CatchInterrupts {
 public:
  explicit CatchInterrupts(const OutputFiles& files);
  ~CatchInterrupts();
  CatchInterrupts(const CatchInterrupts&) = delete;
  CatchInterrupts& operator=(const CatchInterrupts&) = delete;

 private:
  struct sigaction previous_int_ {};
  struct sigaction previous_term_ {};
};

}  // namespace dendro
