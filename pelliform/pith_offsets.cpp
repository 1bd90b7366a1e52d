#include "pelliform/pith_offsets.h"

#include <algorithm>
#include <optional>

#include "pelliform/dialogue.h"
#include "series/blocks.h"
#include "series/files/stop.h"
#include "series/index.h"
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

// Says why the offsets of the file cannot be used, after the lines of `why`, and asks
// whether to try again: false for yes; "\" ends the run. The file is closed.
bool tried_again(Console& con, Units& units, int unit, const std::string& name,
                 const std::vector<std::string>& why) {
  con.say("");
  con.say(Layout("(t11,a)").write("There was an error reading the pith offset "));
  con.say("values in file : " + name);
  for (const std::string& line : why) con.say(line);
  con.say("Do you want to try again? or quit?");
  con.prompt("enter [\\] to quit  : ");
  const char answer = con.read(1).first();
  units.close(unit);
  if (answer == '\\') throw Stop("Program Terminating ", kFailureStatus);
  return false;
}

// Reads the offsets of `series` series; false when a record did not read or the file does
// not hold one offset a series, and the user wants to try again. Blank records read 0;
// those after the last series' offset are passed over.
bool read_offsets(Console& con, Units& units, int unit, const std::string& name, const Method& m,
                  int series, std::vector<int>& offsets) {
  std::string record;
  for (long long h = 1; h <= m.headers && units.read_record(unit, record); ++h) {
    con.say(Layout("(1x,i2,'Title Line: ',a)").write(h, record));
  }
  std::size_t k = 0;
  std::size_t filled = 0;  // offsets read up to the last record that is not blank
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
      std::vector<std::string> why;
      if (!layout_fault.empty()) why.push_back(layout_fault);
      if (value) {
        why.push_back("line " + std::to_string(line) + ": pith offset " + std::to_string(*value) +
                      " lies outside " + std::to_string(-kLargestPithOffset) + " to " +
                      std::to_string(kLargestPithOffset));
      }
      return tried_again(con, units, unit, name, why);
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
    if (!trim_right(record).empty()) filled = k;
  }
  // A series without its offset would take another's, or 0, in the regional curve.
  const std::size_t read = k < count(series) ? k : filled;
  if (read != count(series)) {
    return tried_again(con, units, unit, name,
                       {std::to_string(read) + " pith offsets for " + std::to_string(series) +
                        " series: each series needs one, in the order of the data file"});
  }
  units.close(unit);
  return true;
}

}  // namespace

void pithy(Console& con, Units& units, int unit, std::vector<int>& offsets, bool& flag,
           const std::string& data_file, int series) {
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
    if (read_offsets(con, units, unit, name, m, series, offsets)) return;
    con.again();
  }
}

}  // namespace dendro
