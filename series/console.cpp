#include "series/console.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>

#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {

Answer Answer::of(std::string_view line, std::size_t width) {
  return Answer{field(line, width), std::string(trim(line))};
}

bool Answer::word(char c) const {
  std::string head = field(text, 5);
  return (head[0] == c || head[0] == static_cast<char>(c ^ 0x20)) && head.substr(1) == "    ";
}

bool Answer::letter(char c) const {
  char f = first();
  return f == c || f == static_cast<char>(c ^ 0x20);
}

Meaning Answer::meaning(const Offers& offers) const {
  const auto is = [&](char c) { return offers.whole_word ? word(c) : letter(c); };
  if (offers.quit && quit()) return Meaning::quit;
  if (offers.whole_word ? field(text, 5) == "     " : blank()) return offers.blank;
  if (offers.help && is('h')) return Meaning::help;
  if (offers.back && is('b')) return Meaning::back;
  if (offers.yes_no && is('y')) return Meaning::yes;
  if (offers.yes_no && is('n')) return Meaning::no;
  return Meaning::value;
}

Answer Answer::or_quit() const {
  if (quit()) stop_quietly();
  return *this;
}

namespace {

// The non-blank characters of an answer read as one field of the edit descriptor `kind`
// (with their width, then `decimals`); nothing when that read fails.
std::optional<Field> read_field(const std::string& text, char kind, std::string_view decimals) {
  std::string work = text;
  int width = intfrm(work);
  if (width == 0) return std::nullopt;
  try {
    Layout layout("(" + std::string(1, kind) + std::to_string(width) + std::string(decimals) + ")");
    return layout.read(work, 1)[0];
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<long long> Answer::integer() const {
  const std::optional<Field> f = read_field(text, 'i', "");
  if (!f || f->integer < std::numeric_limits<int>::min() ||
      f->integer > std::numeric_limits<int>::max()) {
    return std::nullopt;
  }
  return f->integer;
}

std::optional<double> Answer::real() const {
  const std::optional<Field> f = read_field(text, 'f', ".0");
  if (!f) return std::nullopt;
  return f->real;
}

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void Console::say(std::string_view line) {
  out_ << line << '\n';
  prompt_.clear();
}

void Console::prompt(std::string_view text) {
  out_ << text << std::flush;
  prompt_ += text;
}

namespace {

// Ends the run with the end-of-input status: input that ran out, or input that keeps
// coming without an answer that can be used (`message` says which).
[[noreturn]] void end_of_input_stop(std::ostream& out, const std::string& message) {
  out << '\n';
  throw Stop(message, kEndOfInputStatus);
}

}  // namespace

std::string Console::next_line() {
  out_.flush();
  // A signal ends the run at the question, before or while its answer is read (the
  // signal makes a waiting read return); the prompt's line is ended first.
  const auto stop_if_interrupted_here = [this] {
    if (const int signal_number = pending_interrupt()) {
      out_ << '\n';
      throw interrupted_stop(signal_number);
    }
  };
  stop_if_interrupted_here();
  std::string line;
  const bool read = static_cast<bool>(std::getline(in_, line));
  stop_if_interrupted_here();
  if (!read) {
    end_of_input_stop(out_, "*** end of input: no answer to the question above, run ended");
  }
  return std::string(chomp(line));
}

void Console::settle_last_answer() {
  if (again_pending_) {
    used_in_row_ = 0;
    return;
  }
  used_in_row_ = std::min(used_in_row_ + 1, 2);
  if (used_in_row_ == 2 || (!answered_.empty() && answered_ == refused_)) asked_again_ = 0;
}

std::string Console::read_line() {
  settle_last_answer();
  again_pending_ = false;
  answered_ = prompt_;
  prompt_.clear();
  return next_line();
}

void Console::again() {
  again_pending_ = true;
  refused_ = answered_;
  if (++asked_again_ >= kMaxAskedAgain) {
    end_of_input_stop(out_, "*** " + std::to_string(kMaxAskedAgain) +
                                " answers in a row could not be used: run ended");
  }
}

Answer Console::read(std::size_t width) { return Answer::of(read_line(), width); }

Answer Console::ask(std::string_view question, std::size_t width) {
  prompt(question_line(question));
  return read(width);
}

Meaning Console::ask_yes_no(std::string_view question, Meaning blank_means) {
  return ask(question, 1).meaning({.yes_no = true, .blank = blank_means});
}

Meaning Console::ask_until_yes_no(std::string_view question, Meaning blank_means) {
  for (;;) {
    const Answer a = ask(question, 1);
    const Meaning m = a.meaning({.yes_no = true, .blank = blank_means});
    if (m == Meaning::yes || m == Meaning::no) return m;
    say(refusal(a, "enter y or n"));
    again();
  }
}

Answer Console::read_name() {
  const std::string line = read_line();
  return Answer{name_field(line), std::string(trim(line))};
}

std::string Console::read_name_or_quit() {
  std::string name(trim_right(read_line()));
  if (quit_name(name)) stop_quietly();
  return name;
}

Answer Console::read_page_answer(std::size_t width) { return Answer::of(next_line(), width); }

void Console::pause(std::string_view text) {
  // A pause without a text of its own still says that it waits.
  out_ << (trim_right(text).empty() ? "Hit Return to Continue" : text) << std::flush;
  prompt_.clear();
  next_line();
}

std::string refusal(const Answer& a, std::string_view wanted) {
  return " *** " + (a.typed.empty() ? std::string("<ret>") : a.typed) +
         " is no answer here: " + std::string(wanted);
}

long long ask_between(Console& con, std::string_view question, std::size_t width, long long low,
                      long long high) {
  for (;;) {
    const Answer a = con.ask(question, width);
    const std::optional<long long> v = a.integer();
    if (v && *v >= low && *v <= high) return *v;
    con.say(refusal(a, "enter " + std::to_string(low) + " to " + std::to_string(high)));
    con.again();
  }
}

bool quit_name(std::string_view name) { return trim_right(name) == "/"; }

bool end_of_input(const Stop& stop) { return stop.status == kEndOfInputStatus; }

std::string question_line(std::string_view question) {
  return Layout("(a,t45,'==> ')").write(question);
}

}  // namespace dendro
