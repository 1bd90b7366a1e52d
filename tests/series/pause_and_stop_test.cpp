#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "series/console.h"
#include "series/records.h"
#include "series/stop.h"

namespace dendro {
namespace {

struct Stopped {
  std::string console;
  std::string message;
  int status = 0;
  bool shown = false;
};

Stopped stop_with(const std::string& answers, const std::string& message,
                  const std::string& pause_text = "") {
  std::istringstream in(answers);
  std::ostringstream out;
  Console con(in, out);
  Stopped r;
  try {
    pause_and_stop(con, message, pause_text);
  } catch (const Stop& s) {
    r.message = s.what();
    r.status = s.status;
    r.shown = s.shown;
  }
  r.console = out.str();
  return r;
}

// The message is shown with its blank lines, the pause text follows it, and the stop
// carries the message without the blank lines around it (the run driver writes it into
// the output file), marked as shown so that it is not printed twice.
TEST(pause_and_stop, shows_the_message_pauses_and_stops_with_it_trimmed) {
  const Stopped s = stop_with("\n", "\n in gamoff ne > nemax:\n", "bye.");
  EXPECT_EQ(s.console, "\n in gamoff ne > nemax:\n\nbye.");
  EXPECT_EQ(s.message, " in gamoff ne > nemax:");
  EXPECT_EQ(s.status, kFailureStatus);
  EXPECT_TRUE(s.shown);

  // Without a pause text: the message alone, its inner line ends kept.
  const Stopped plain = stop_with("\n", "*** error reading data\n line: 1850 12 x");
  EXPECT_EQ(plain.console, "*** error reading data\n line: 1850 12 x\n");
  EXPECT_EQ(plain.message, "*** error reading data\n line: 1850 12 x");
}

// With no answer left the pause ends the run by end of input, after the message.
TEST(pause_and_stop, end_of_input_at_the_pause) {
  const Stopped s = stop_with("", "*** series too long");
  EXPECT_EQ(s.status, kEndOfInputStatus);
  EXPECT_EQ(s.console.rfind("*** series too long\n", 0), 0u);
}

}  // namespace
}  // namespace dendro
