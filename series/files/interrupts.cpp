#include "series/files/interrupts.h"

#include <fcntl.h>
#include <pthread.h>
#include <unistd.h>

namespace dendro {
namespace {

// A signal handler has no argument to carry its context: the signal that came and the
// file that then stands in for the standard input are the only state of the program kept
// outside an object.
volatile sig_atomic_t caught_signal = 0;
volatile sig_atomic_t null_input = -1;

constexpr int kSignalBase = 128;
const char* const kInterrupted = " *** interrupted: the run ends here";

sigset_t ending_signals() {
  sigset_t set;
  sigemptyset(&set);
  for (const int s : kEndingSignals) sigaddset(&set, s);
  return set;
}

// Records the first signal, and puts an empty file in the place of the standard input: a
// read of it that is waiting starts again (as every call the signal cut does) and finds
// the input ended, as does one about to start. A console write that fails with the
// signal (SIGPIPE) leaves the stream failed and the run going on to its stop.
extern "C" void on_interrupt(int signal_number) {
  if (caught_signal == 0) caught_signal = signal_number;
  if (null_input >= 0) ::dup2(null_input, STDIN_FILENO);
}

}  // namespace

CatchInterrupts::CatchInterrupts() {
  caught_signal = 0;
  null_input_ = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
  null_input = null_input_;
  struct sigaction action {};
  action.sa_handler = on_interrupt;
  action.sa_mask = ending_signals();
  // A console write or a wait that the signal cuts goes on whole; a waiting read starts
  // again on the empty input.
  action.sa_flags = SA_RESTART;
  for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
    sigaction(kEndingSignals[k], nullptr, &previous_[k]);
    if (previous_[k].sa_handler != SIG_IGN) sigaction(kEndingSignals[k], &action, nullptr);
  }
}

CatchInterrupts::~CatchInterrupts() {
  for (std::size_t k = 0; k < kEndingSignals.size(); ++k) {
    sigaction(kEndingSignals[k], &previous_[k], nullptr);
  }
  null_input = -1;
  if (null_input_ >= 0) ::close(null_input_);
}

HoldInterrupts::HoldInterrupts() {
  const sigset_t set = ending_signals();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

HoldInterrupts::~HoldInterrupts() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

Stop interrupted_stop(int signal_number) { return Stop(kInterrupted, kSignalBase + signal_number); }

bool interrupted(const Stop& stop) { return stop.status > kSignalBase; }

int pending_interrupt() { return caught_signal; }

void stop_if_interrupted() {
  if (const int signal_number = pending_interrupt()) throw interrupted_stop(signal_number);
}

}  // namespace dendro
