// The console: every question and message of the programs goes through one Console, which
// owns the prompt layout and turns end of input into a clean stop.
#pragma once

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace dendro {

struct Stop;

// What an answer means to the question that read it, whatever the characters typed.
enum class Meaning {
  value,  // none of the others: the caller reads the value typed
  blank,  // nothing typed: the question's default
  quit,   // "/" first: leave the program
  help,   // "h": show the help, then ask again
  back,   // "b": return to the question before
  yes,    // "y"
  no,     // "n"
};

// The meanings a question gives its answers besides a blank and a value. A letter is
// read in either case, as the first character, or with `whole_word` alone in the first five
// characters (the long answers: names, titles), where a blank answer is then five blanks.
struct Offers {
  bool quit = false;
  bool help = false;
  bool back = false;
  bool yes_no = false;
  bool whole_word = false;
  Meaning blank = Meaning::blank;  // what a blank answer means: the question's default
};

// A typed answer, held as a fixed-length field of the width the question reads, and as
// typed.
struct Answer {
  std::string text;   // padded with blanks to the field width, cut when typed longer
  std::string typed;  // the line as typed, without blanks at either end

  // The answer typed as `line` to a question that reads `width` characters.
  static Answer of(std::string_view line, std::size_t width);

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
  // What the answer means among `offers`.
  Meaning meaning(const Offers& offers) const;
  // The answer itself, unless it is "/": that ends the program quietly (status 0, no message).
  Answer or_quit() const;
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
  // Asks a one-character y/n question: yes or no (a blank is `blank_means`), or a value
  // for any other answer.
  Meaning ask_yes_no(std::string_view question, Meaning blank_means);
  // Reads an answer kept whole however long it is, as file names are read.
  Answer read_name();
  // Reads a file name without its trailing blanks; "/" alone ends the program quietly.
  std::string read_name_or_quit();
  // Shows `text` ("Hit Return to Continue" when it is blank) and waits for Return. A pause
  // is no question: it leaves the count of questions asked again as it is.
  void pause(std::string_view text);
  // Reads the answer to a prompt that pages through a listing: like a pause, it leaves the
  // count of questions asked again as it is.
  Answer read_page_answer(std::size_t width);
  // Asks a y/n question until the answer is y or n (a blank is `blank_means`), refusing
  // any other answer with refusal(answer, "enter y or n").
  Meaning ask_until_yes_no(std::string_view question, Meaning blank_means);
  // Says that the answer just read moved the dialogue nowhere (an answer the question
  // cannot use, its help, a step back), so that the question, or one before it, is asked
  // again. The kMaxAskedAgain-th such answer in a row ends the run with the status of end
  // of input and a message that says so, so that a script feeding one unusable answer for
  // ever (`yes ''`) cannot keep a question asking.
  // An answer used (read, and no again() said of it) starts the count again when the
  // question that took it is the one whose answer was refused last: the user has got past
  // it. Used at another question, an answer is a step back to an earlier question (a "y"
  // to "change?" before a code refused, round after round), and the count goes on until a
  // second answer in a row is used. A question is known by its prompt: the text that
  // prompt() wrote since the last line said or answer read; a question without one is
  // only ever the second kind.
  void again();

  static constexpr int kMaxAskedAgain = 100;

 private:
  // Reads one line; end of input throws Stop.
  std::string next_line();
  // Counts the answer before the one about to be read: used, or refused by again().
  void settle_last_answer();

  std::istream& in_;
  std::ostream& out_;
  int asked_again_ = 0;         // answers in a row that moved the dialogue nowhere
  int used_in_row_ = 0;         // answers used since the last one that moved nowhere
  bool again_pending_ = false;  // again() was said since the last question was read
  std::string prompt_;          // what prompt() wrote since the last line said or read
  std::string answered_;        // the prompt of the answer last read
  std::string refused_;         // the prompt of the answer last refused
};

// True when a file name answer is "/" alone, which ends the program (a name that begins
// with "/" is a path from the root).
bool quit_name(std::string_view name);

// The line that refuses answer `a`: " *** x is no answer here: " with x the answer as
// typed, and `wanted`, which says what the question takes ("enter y or n"); a blank answer
// shows as <ret>.
std::string refusal(const Answer& a, std::string_view wanted);

// Asks `question` until the answer is an integer from `low` to `high`, refusing any other
// with refusal(answer, "enter low to high"); `width` characters of the answer are read.
long long ask_between(Console& con, std::string_view question, std::size_t width, long long low,
                      long long high);

// True when `stop` is the console's end of input rather than a stop of the routine in hand.
bool end_of_input(const Stop& stop);

// The prompt line of a question: the question with "==> " placed in column 45.
std::string question_line(std::string_view question);

}  // namespace dendro
