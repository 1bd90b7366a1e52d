#include "pelliform/pith_offsets.h"

#include <algorithm>
#include <optional>

#include "pelliform/dialogue.h"
#include "series/blocks.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

// How the offsets are read.
struct Method {
  std::string layout;  // "(i4)" or the user's layout
  long long headers = 0;
};

std::string file_name(Console& con, const FileSystem& fs) {
  // Each pass reads an answer, so the end of the input ends the loop.
  for (;;) {
    con.prompt(prompt_line50("Okay? So enter pith offset file name here"));
    const std::string name = con.read_name_or_quit();
    if (!name.empty() && fs.is_file(name)) return name;
    con.say("");
    con.say("");
    con.say(Layout("(t11,'File > ',a,' < not found')").write(field(name, 25)));
    if (fs.exists(name)) con.say(" *** " + name + ": " + unreadable_reason(fs, name));
    con.pause(" Hit return to enter a new file name or / to quit program.");
    con.again();
  }
}

long long header_count(Console& con) {
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    con.say("");
    const Answer a = ask50(con, "Enter number of header lines to skip [none=0]", 10);
    if (std::optional<long long> n = a.integer()) return *n;
    con.say(entry_refusal(a.typed, "a whole number of header lines"));
  }
}

Method method(Console& con) {
  // Each pass reads answers, so the end of the input ends the loop.
  for (;;) {
    con.say("");
    con.say("");
    con.say("Select method to read the offset information:");
    con.say("Single column offset i.e. <i4> [1]");
    con.say("User defined fortran format [2]");
    const std::optional<long long> choice = ask50(con, "Enter option number", 10).integer();
    Method m;
    m.headers = header_count(con);
    if (choice == 1) {
      m.layout = "(i4)";
      return m;
    }
    if (choice == 2) {
      con.say("");
      con.say("Enter format to read just the ");
      con.say("offset values (within parentheses)");
      con.prompt(prompt_line50("[e.g.,(2x,i3)]"));
      m.layout = std::string(trim_right(con.read_line()));
      return m;
    }
    con.say("");
    con.say(Layout("(t11,a)").write("Please enter 1 or 2 "));
    con.pause(" Hit RETURN and try again.");
    con.again();
  }
}

// Reads the offsets; false when a record did not read and the user wants to try again.
bool read_offsets(Console& con, Units& units, int unit, const std::string& name, const Method& m,
                  std::vector<int>& offsets) {
  std::string record;
  for (long long h = 1; h <= m.headers && units.read_record(unit, record); ++h) {
    con.say(Layout("(1x,i2,'Title Line: ',a)").write(h, record));
  }
  std::size_t k = 0;
  long long line = std::max(m.headers, 0LL);
  std::optional<Layout> layout;  // parsed at the first offset record
  while (units.read_record(unit, record)) {
    ++line;
    std::optional<long long> value;
    std::string layout_fault;  // why the typed layout cannot read any record
    try {
      if (!layout) layout.emplace(m.layout);
      value = layout->read(record, 1)[0].integer;
    } catch (const ReadError&) {
      // a record without a number where the layout looks for it
    } catch (const FormatError& e) {
      layout_fault = e.what();
    }
    const bool in_range = value && *value >= -kLargestPithOffset && *value <= kLargestPithOffset;
    if (!in_range) {
      con.say("");
      con.say(Layout("(t11,a)").write("There was an error reading the pith offset "));
      con.say("values in file : " + name);
      if (!layout_fault.empty()) con.say(layout_fault);
      if (value) {
        con.say("line " + std::to_string(line) + ": pith offset " + std::to_string(*value) +
                " lies outside " + std::to_string(-kLargestPithOffset) + " to " +
                std::to_string(kLargestPithOffset));
      }
      con.say("Do you want to try again? or quit?");
      con.prompt("enter [\\] to quit  : ");
      const char answer = con.read(1).first();
      units.close(unit);
      if (answer == '\\') throw Stop("Program Terminating ", kFailureStatus);
      return false;
    }
    if (k == static_cast<std::size_t>(kMaxSeriesPelliform)) {
      con.say("");
      con.say(Layout("(t11,a)").write("The number of pith offset values read exceeds the"));
      con.say("the dimensions of the array in which they are stored");
      con.say("");
      con.say("This is a fatal error, there is no recovery ");
      throw Stop("Program Terminating ", kFailureStatus);
    }
    if (offsets.size() <= k) offsets.resize(k + 1, 0);
    offsets[k++] = static_cast<int>(*value);
  }
  units.close(unit);
  return true;
}

}  // namespace

void pithy(Console& con, Units& units, int unit, std::vector<int>& offsets, bool& flag,
           const std::string& data_file) {
  con.say("");
  flag = ask_logical(con, "Is there a pith offset file? [T]rue or [F]alse");
  if (!flag) {
    offsets.clear();
    return;
  }
  con.say("");
  con.say("NOTE: the order of pith offsets must follow the order");
  con.say("of the file raw ring width records: " + data_file);
  con.say("");
  const std::string name = file_name(con, units.files().fs());
  // Each pass reads answers, so the end of the input ends the loop.
  for (;;) {
    const Method m = method(con);
    if (!units.open_old(unit, name))
      throw Stop("*** cannot open the pith offset file " + name, kFailureStatus);
    units.files().protect(name, "the pith offset file");
    con.say("");
    con.say("Reading offset file: " + name);
    if (read_offsets(con, units, unit, name, m, offsets)) return;
    con.again();
  }
}

}  // namespace dendro
