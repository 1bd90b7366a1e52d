#include "options/pager.h"

#include <array>
#include <string>

#include "series/console.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kPage = 5;  // lines shown between questions, and lines kept for the end

class Pager {
 public:
  Pager(Units& units, int unit, Console& con, int width)
      : units_(units), unit_(unit), con_(con), width_(width) {}

  void run() {
    units_.rewind(unit_);
    con_.say("");
    con_.say(width_ == kSnoopWidthPelliform
                 ? " snooping in the data file (first 100 characters/line):"
                 : " snooping in the data file (first 80 characters/line):");
    ruler();
    // Each pass lists the file from its first line; the user ends it with "m".
    for (;;) {
      if (pass()) return;
    }
  }

 private:
  Units& units_;
  int unit_;
  Console& con_;
  int width_;
  int count_ = 0;
  std::array<std::string, kPage> last_;  // the latest lines, by count modulo kPage

  void ruler() {
    std::string digits =
        ".........1.........2.........3.........4.........5"
        ".........6.........7.........8";
    if (width_ == kSnoopWidthPelliform) digits += ".........9.........10";
    con_.say("     " + digits);
  }

  // A numbered line: the number right-justified in columns 2-4, the text from column 6.
  // Numbers above 999 take the columns to their left, so that the text stays under the
  // ruler as long as it can.
  void show(int number, const std::string& line) {
    const char* layout = number <= 999    ? "(1x,i3,1x,a)"
                         : number <= 9999 ? "(i4,1x,a)"
                                          : "(i0,1x,a)";
    con_.say(Layout(layout).write(number, line));
  }

  std::string cut(const std::string& record) const {
    std::string line = field(record, static_cast<std::size_t>(width_));
    for (char& c : line) {
      if (c == '\t') c = ' ';
    }
    return line;
  }

  // A data file at the limits has millions of lines: the blank after the colon is the
  // spaced field's, which widens beyond five digits.
  void end_message() { con_.say(Layout("(/1x,'end-of-snoop:',i6+,' lines read')").write(count_)); }

  // One pass over the file; true when the user returns to the program.
  bool pass() {
    count_ = 0;
    char answer = ' ';
    for (std::string record; units_.read_record(unit_, record);) {
      ++count_;
      last_[static_cast<std::size_t>(count_ % kPage)] = cut(record);
      if (answer == 'e' || answer == 'E') continue;
      show(count_, last_[static_cast<std::size_t>(count_ % kPage)]);
      if (count_ % kPage != 0) continue;
      con_.say("");
      con_.prompt(" more <ret>, read to end <e>, return to main program <m> ");
      answer = con_.read_page_answer(1).first();
      if (answer == 'm' || answer == 'M') {
        units_.rewind(unit_);
        end_message();
        return true;
      }
      if (answer != 'e' && answer != 'E') {
        ruler();
        answer = ' ';
      }
    }
    // "e" is only offered after a fifth line, so there are five lines to show.
    if (answer == 'e' || answer == 'E') {
      con_.say("");
      con_.say(" last 5 lines in file (first 80 characters):");
      ruler();
      for (int n = count_ - kPage + 1; n <= count_; ++n) {
        show(n, last_[static_cast<std::size_t>(n % kPage)]);
      }
    }
    units_.rewind(unit_);
    end_message();
    con_.say("");
    con_.prompt(" more <ret> or return to main program <m> ");
    const char again = con_.read(1).first();
    if (again == 'm' || again == 'M') return true;
    con_.again();  // the same listing and question once more
    return false;
  }
};

// Opens the file as the kind asks; the reason when it cannot be opened, else nothing.
std::string open_as(Units& units, char kind, int unit, const std::string& name) {
  const FileSystem& fs = units.files().fs();
  const auto read = [&] {
    return units.open_old(unit, name) ? std::string() : unreadable_reason(fs, name);
  };
  try {
    switch (kind) {
      case 'o':
        return read();
      case 'n':
        if (fs.exists(name)) return "a file of that name exists";
        units.create(unit, name);
        return "";
      case 'u':
        if (fs.exists(name)) return read();
        units.create(unit, name);
        return "";
      default:  // scratch: a fresh file that the caller closes with deletion
        units.create(unit, name);
        return "";
    }
  } catch (const Stop& s) {
    return stars_line(s.what()).substr(5);  // the file could not be created
  }
}

}  // namespace

void snoop(Units& units, int unit, Console& con, int width) {
  Pager(units, unit, con, width).run();
}

std::string openit(Units& units, Console& con, char kind, int unit) {
  const char k = static_cast<char>(kind | 0x20);
  if (k != 'o' && k != 'n' && k != 'u' && k != 's') {
    con.say("");
    con.say(" *** incorrect file type ***");
    con.say("");
    throw Stop("", kFailureStatus);
  }
  // Each failed name asks again; end of input ends the program inside the console.
  for (;;) {
    con.prompt(question_line(" file name (/ to exit)"));
    const std::string name = con.read_name_or_quit();
    const std::string why = name.empty() ? "" : open_as(units, k, unit, name);
    if (!name.empty() && why.empty()) return name;
    con.say("");
    con.say(" *** file cannot be opened. try again or bailout ***");
    if (!why.empty()) con.say(" *** " + name + ": " + why);
    con.again();
  }
}

}  // namespace dendro
