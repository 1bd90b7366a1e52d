#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/records.h"

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
  EXPECT_TRUE(s.console.starts_with("*** series too long\n"));
}

// A refused value shows as read: its digits, the point placed by the units' decimal shift,
// never a single-precision product (123456 x 0.01f is 1234.55994). Hand-placed points.
TEST(decimal_text, the_digits_read_with_the_point_shifted) {
  EXPECT_EQ(decimal_text("123456", -2), "1234.56");
  EXPECT_EQ(decimal_text("150000", -2), "1500");  // no zeros end the decimals
  EXPECT_EQ(decimal_text("+007", -5), "0.00007");
  EXPECT_EQ(decimal_text("-1.5D6"), "-1500000");
  EXPECT_EQ(decimal_text("1234567890123456"), "1.234567890123456e+15");  // past 15 places
  EXPECT_EQ(decimal_text("0.01e30"), "1e+28");
  EXPECT_EQ(decimal_text("1e999999999999"), "1e+1000000000");  // the exponent held in range
}

}  // namespace
}  // namespace dendro
