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

  // Without a pause text: the message, its inner line ends kept, and the usual prompt.
  const Stopped plain = stop_with("\n", "*** error reading data\n line: 1850 12 x");
  EXPECT_EQ(plain.console, "*** error reading data\n line: 1850 12 x\nHit Return to Continue");
  EXPECT_EQ(plain.message, "*** error reading data\n line: 1850 12 x");
}

// With no answer left the pause ends the run by end of input, after the message.
TEST(pause_and_stop, end_of_input_at_the_pause) {
  const Stopped s = stop_with("", "*** series too long");
  EXPECT_EQ(s.status, kEndOfInputStatus);
  EXPECT_EQ(s.console.rfind("*** series too long\n", 0), 0u);
}

// A refused value shows whole: the fewest significant digits that give the single-precision
// value back, never six rounded digits of a longer number.
TEST(value_text, fewest_digits_that_give_the_value_back) {
  EXPECT_EQ(value_text(1.5e6), "1.5e+06");
  EXPECT_EQ(value_text(1234567.0), "1234567");
  EXPECT_EQ(value_text(static_cast<double>(0.1f)), "0.1");
  EXPECT_EQ(value_text(static_cast<double>(1.0e28f)), "1e+28");
  EXPECT_EQ(value_text(-2.5e6), "-2.5e+06");
  EXPECT_EQ(value_text(1.0e300), "1e+300");  // beyond single precision: the double itself
  EXPECT_EQ(not_a_measurement(7, 1234567.0), "line 7: 1234567 cannot be a measurement");
}

}  // namespace
}  // namespace dendro
