#include "pelliform/dialogue.h"

#include <cctype>

#include "pelliform/engine_args.h"
#include "series/layout.h"
#include "series/units.h"

namespace dendro {

std::string prompt_line50(std::string_view question) {
  return Layout("(a,t50,'==> ')").write(question);
}

Answer ask50(Console& con, std::string_view question, std::size_t width) {
  con.prompt(prompt_line50(question));
  return con.read(width);
}

bool ask_logical(Console& con, std::string_view question) {
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    const std::string line = ask50(con, question, 80).text;
    const auto start = line.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    std::size_t k = start;
    if (line[k] == '.' && k + 1 < line.size()) ++k;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
    if (c == 'T') return true;
    if (c == 'F') return false;
  }
}

std::string upper(std::string_view text) {
  std::string u(text);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

void report_line(Console& con, Units& units, std::string_view line) {
  con.say(line);
  if (units.is_open(pelliform_unit::report)) units.write(pelliform_unit::report, upper(line));
}

}  // namespace dendro
