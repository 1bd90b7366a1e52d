#include "series/console.h"

#include <istream>
#include <ostream>

#include "series/layout.h"
#include "series/stop.h"
#include "series/text.h"

namespace dendro {

bool Answer::word(char c) const {
  std::string head = field(text, 5);
  return (head[0] == c || head[0] == static_cast<char>(c ^ 0x20)) && head.substr(1) == "    ";
}

bool Answer::letter(char c) const {
  char f = first();
  return f == c || f == static_cast<char>(c ^ 0x20);
}

std::optional<long long> Answer::integer() const {
  std::string work = text;
  int width = intfrm(work);
  if (width == 0) return std::nullopt;
  try {
    Layout layout("(i" + std::to_string(width) + ")");
    return layout.read(work, 1)[0].integer;
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

std::optional<double> Answer::real() const {
  std::string work = text;
  int width = intfrm(work);
  if (width == 0) return std::nullopt;
  try {
    Layout layout("(f" + std::to_string(width) + ".0)");
    return layout.read(work, 1)[0].real;
  } catch (const ReadError&) {
    return std::nullopt;
  }
}

Console::Console(std::istream& in, std::ostream& out) : in_(in), out_(out) {}

void Console::say(std::string_view line) { out_ << line << '\n'; }

void Console::prompt(std::string_view text) { out_ << text << std::flush; }

std::string Console::read_line() {
  out_.flush();
  std::string line;
  if (!std::getline(in_, line)) {
    out_ << '\n';
    throw Stop("*** end of input: no answer to the question above, run ended", kEndOfInputStatus);
  }
  return std::string(chomp(line));
}

Answer Console::read(std::size_t width) { return Answer{field(read_line(), width)}; }

Answer Console::ask(std::string_view question, std::size_t width) {
  prompt(question_line(question));
  return read(width);
}

void Console::pause(std::string_view text) {
  prompt(text);
  read_line();
}

std::string question_line(std::string_view question) {
  return Layout("(a,t45,'==> ')").write(question);
}

}  // namespace dendro
