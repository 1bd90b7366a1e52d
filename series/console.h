// The console: every question and message of the programs goes through one Console, which
// owns the prompt layout and turns end of input into a clean stop.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace dendro {

// A typed answer, held as a fixed-length field of the width the question reads.
struct Answer {
  std::string text;  // padded with blanks to the field width, cut when typed longer

  char first() const { return text.empty() ? ' ' : text[0]; }
  bool blank() const { return first() == ' '; }
  bool quit() const { return first() == '/'; }
  // True when the answer is the letter (either case) alone in the first five characters,
  // as the run driver tests "b", "h" in its long answers.
  bool word(char letter) const;
  // True when the first character is the letter in either case.
  bool letter(char letter) const;
  // The answer read as one integer through the layout that fits its non-blank characters;
  // nothing when that read fails or the number lies beyond an int (a ten-character answer
  // can hold 4294967306, which every question would otherwise take as 10).
  std::optional<long long> integer() const;
  // The answer read as one real number (blanks ignored); nothing when it is not one.
  std::optional<double> real() const;
};

class Console {
 public:
  Console(std::istream& in, std::ostream& out);

  std::ostream& out() { return out_; }
  // Writes one line (the newline is added).
  void say(std::string_view line);
  // Writes text without ending the line and flushes it, so that the user sees the prompt.
  void prompt(std::string_view text);
  // Reads one line of input without its line end. End of input throws Stop.
  std::string read_line();
  // Reads an answer field of `width` characters.
  Answer read(std::size_t width);
  // Writes the question, then "==> " from column 45 (over the question's tail when it is
  // longer), and reads an answer field of `width` characters.
  Answer ask(std::string_view question, std::size_t width);
  // Shows `text` and waits for Return.
  void pause(std::string_view text);

 private:
  std::istream& in_;
  std::ostream& out_;
};

// The prompt line of a question: the question with "==> " placed in column 45.
std::string question_line(std::string_view question);

}  // namespace dendro
