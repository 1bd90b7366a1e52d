#include "series/files/interrupts.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <sstream>
#include <string>

#include "series/console.h"

namespace dendro {
namespace {

// A signal ends the run at its next question, with the status 128 + its number, and
// leaves the answer waiting there unread. The handler puts an empty file in the place of
// the standard input: the test's own is put back after each signal. A signal the program
// was started ignoring (nohup, a background job) stays ignored.
TEST(CatchInterrupts, every_ending_signal_stops_the_run_at_its_next_question) {
  const int own_input = dup(STDIN_FILENO);
  for (const int signal_number : kEndingSignals) {
    const auto before = signal(signal_number, SIG_DFL);  // as a shell starts a program
    std::istringstream in("y\n");
    std::ostringstream out;
    Console con(in, out);
    int status = 0;
    {
      const CatchInterrupts catching;
      raise(signal_number);
      try {
        con.ask("go on?", 1);
      } catch (const Stop& stop) {
        status = interrupted(stop) ? stop.status : -stop.status;
      }
    }
    dup2(own_input, STDIN_FILENO);
    signal(signal_number, before);
    EXPECT_EQ(status, 128 + signal_number);
    EXPECT_EQ(out.str(), question_line("go on?") + "\n");
    std::string unread;
    EXPECT_TRUE(std::getline(in, unread) && unread == "y") << signal_number;
  }
  close(own_input);
  const auto before = signal(SIGHUP, SIG_IGN);
  {
    const CatchInterrupts catching;
    raise(SIGHUP);
    EXPECT_EQ(pending_interrupt(), 0);
  }
  EXPECT_EQ(signal(SIGHUP, before), SIG_IGN);
}

}  // namespace
}  // namespace dendro
