#include "pelliform/dialogue.h"

#include <cctype>
#include <optional>

#include "pelliform/engine_args.h"
#include "series/files/units.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {

std::string prompt_line50(std::string_view question) {
  return Layout("(a,t50,'==> ')").write(question);
}

Answer ask50(Console& con, std::string_view question, std::size_t width) {
  con.prompt(prompt_line50(question));
  return con.read(width);
}

std::string entry_refusal(std::string_view typed, std::string_view wanted) {
  const std::string_view entry = trim(typed);
  if (entry.empty()) return "An empty entry is not " + std::string(wanted);
  return "Entry > " + std::string(entry) + " < is not " + std::string(wanted);
}

bool ask_logical(Console& con, std::string_view question) {
  for (;;) {
    const Answer a = ask50(con, question, 80);
    const std::string& line = a.text;
    const auto start = line.find_first_not_of(' ');
    if (start == std::string::npos) return false;
    std::size_t k = start;
    if (line[k] == '.' && k + 1 < line.size()) ++k;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(line[k])));
    if (c == 'T') return true;
    if (c == 'F') return false;
    con.say(entry_refusal(a.typed, "[T]rue or [F]alse"));
    con.again();
  }
}

int ask_spline_stabilisation(Console& con) {
  const Layout row("(a,t39,a)");
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    con.say("Additional spline variance stabilization?");
    con.say(row.write("No additional spline stabilization", "<0>"));
    con.say(row.write("Age-dependent spline stabilization", " 1"));
    con.say(row.write("Smoothing spline (percent N cutoff)", "<-9"));
    const Answer a =
        ask50(con, row.write("Smoothing spline (fixed Yrs cutoff)", ">+9"), 10).or_quit();
    if (a.blank()) return 0;  // no stabilisation
    const std::optional<long long> s = a.integer();
    // Codes 2 to 9 and -9 to -1 name no stabilisation.
    if (s && !(*s >= 2 && *s <= 9) && !(*s >= -9 && *s <= -1)) return static_cast<int>(*s);
    con.say(entry_refusal(a.typed, "an option 0, 1, <-9 or >+9"));
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
