// Sequential reading of a text file record by record, as the series readers need it:
// one record at a time, the record number for messages, and one step back.
#pragma once

#include <deque>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dendro {

class RecordStream {
 public:
  explicit RecordStream(std::istream& in) : in_(in) {}
  RecordStream(const RecordStream&) = delete;
  RecordStream& operator=(const RecordStream&) = delete;

  // The next record without its line end, or nothing at the end of the file. A line may
  // end in LF, CRLF or a lone CR, so that files from every system read alike.
  std::optional<std::string> next();
  // Steps back one record: the next call of next() returns the last record again.
  void back();
  // Gives back records read after the current one (in the order they were read), so that
  // a reader can look ahead: next() returns them again, with their own record numbers.
  void unread(const std::vector<std::string>& records);
  // Number of the record that next() returned last (1 for the first record).
  int number() const { return number_; }

 private:
  std::istream& in_;
  std::string last_;
  bool have_last_ = false;
  std::deque<std::string> replay_;  // records given back, next first
  int number_ = 0;
};

}  // namespace dendro

namespace dendro {

class Console;

// The largest magnitude a measurement may have in the units of its file. No ring-width
// field of the tucson formats holds a million units, and in the finest unit the readers
// take (0.001 mm) a million is a metre of wood in one ring; larger values would also
// overflow the fourth powers that the series statistics sum in single precision.
inline constexpr double kLargestMeasurement = 1.0e6;

// False for a value no measurement can have: a million units or more, or not a number.
bool is_measurement(double value);

// The widest ring the readers take, in millimetres. No tree grows a ring of a metre: a
// wider value comes from a file read in the wrong units.
inline constexpr double kWidestRing = 1000.0;

// False for a ring width in millimetres that no tree grows: 1000 mm or more, or not a
// number. Negative values are missing-value codes, not widths, and pass.
bool is_ring_width(double mm);

// Why a reader refuses a ring width: `place` (the line, columns and text of the value),
// the width in millimetres as read (decimal_text) and the units the file was read in:
// "line 5, columns 19-24 "150000" is a ring of 1500 mm read in 0.01 mm: no ring is 1000 mm
// or wider; are the file's units right?"
std::string not_a_ring_width(std::string_view place, std::string_view mm, std::string_view units);

// A number as a reader read it (`number`: a sign, digits with at most one point, an
// exponent after E, D or Q), times 10^shift, in exact decimal digits: "123456" shifted by
// -2 is "1234.56", "1.5e6" is "1500000". No zeros end the decimals; a number of more than
// 15 places before or after the point is written d.ddde+NN ("0.01e30" is "1e+28").
std::string decimal_text(std::string_view number, int shift = 0);

// Why a reader refuses a value that no measurement can have: `place` (the line, and the
// columns and text where the reader has them), the value as read (decimal_text) and the
// single-precision value that would be kept, named when only its rounding reaches the limit:
// "line 4, columns 1-4 "1e39" is 1e+39: values must lie above -1000000 and below 1000000"
std::string not_a_measurement(std::string_view place, std::string_view value, float kept);

// The most characters other than digits, blanks and signs that the numbers of a damaged
// record hold: one or two damaged characters. Free text holds more.
inline constexpr int kDamagedCharacters = 2;

// True when `text` reads as numbers, whatever a damaged character or two made of them: it
// holds a digit, and at most kDamagedCharacters characters that are not digits, blanks or
// signs. The readers tell a damaged record of numbers from a title by it.
bool reads_as_numbers(std::string_view text);

// The `width` characters of `record` from column `column` (1-based), fewer where the
// record ends inside them, none where it ends before them.
std::string_view field_text(std::string_view record, int column, int width);

// "columns 13-18 "  1x2 "": a field named by its columns and its text (padded to its
// width), the way the readers' messages point at what they could not take.
std::string describe_field(std::string_view record, int column, int width);

// Shows `message` on the console (one or more lines, as a layout wrote them), waits for
// Return after `pause_text` and stops the run with the failure status: the way a routine
// ends the program on data it cannot use. The stop carries the message without the blank
// lines a layout put around it, and is marked as shown.
[[noreturn]] void pause_and_stop(Console& console, std::string_view message,
                                 std::string_view pause_text = "");

}  // namespace dendro
