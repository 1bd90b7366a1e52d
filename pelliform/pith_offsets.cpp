#include "pelliform/pith_offsets.h"

#include <algorithm>
#include <optional>

#include "detrending/pith_records.h"
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
  std::string layout;  // kSingleColumn or the user's layout
  long long headers = 0;
};

// Method 1 reads the offset in columns 1 to 4; what stands beyond them is no part of it.
constexpr char kSingleColumn[] = "(i4)";
constexpr std::size_t kSingleColumnWidth = 4;

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

// The user's layout of the offsets; an answer that cannot read one is said and asked again.
std::string typed_layout(Console& con) {
  for (int round = 0;; ++round) {
    if (round > 0) con.again();
    con.say("");
    con.say("Enter format to read just the ");
    con.say("offset values (within parentheses)");
    con.prompt(prompt_line50("[e.g.,(2x,i3)]"));
    const std::string layout(trim(con.read_line()));
    const std::string fault = offset_layout_fault(layout);
    if (fault.empty()) return layout;
    con.say("*** " + fault + ": type a layout such as (2x,i3)");
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
      m.layout = kSingleColumn;
      return m;
    }
    if (choice == 2) {
      m.layout = typed_layout(con);
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

// Why `record`, line `line` of the file, holds no offset for `m`; empty when it holds one,
// which goes to `offset`.
std::string offset_of(const std::string& record, long long line, const Method& m,
                      const Layout& layout, int& offset) {
  const std::string where = "line " + std::to_string(line) + ": ";
  const std::string text(trim_right(chomp(record)));
  Field f;
  try {
    f = layout.read(record, 1)[0];
  } catch (const ReadError&) {
    return where + "\"" + text + "\" holds no offset where " + m.layout + " reads one";
  }
  if (m.layout == kSingleColumn && text.size() > kSingleColumnWidth) {
    return where + "\"" + text + "\" goes past column " + std::to_string(kSingleColumnWidth) +
           ", and method 1 reads the offset in columns 1 to " + std::to_string(kSingleColumnWidth) +
           " only";
  }
  const std::string why = pith_offset_refusal(f.real, f.number);
  if (!why.empty()) return where + why;
  offset = static_cast<int>(f.real);
  return "";
}

// Reads the offsets of the data file's `series` series; false when a record holds no
// offset or the file does not hold one a series, and the user wants to try again. A blank
// record reads 0; blank records at the end of the file are passed over.
bool read_offsets(Console& con, Units& units, int unit, const std::string& name, const Method& m,
                  int series, std::vector<int>& offsets) {
  std::string record;
  for (long long h = 1; h <= m.headers && units.read_record(unit, record); ++h) {
    con.say(Layout("(1x,i2,'Title Line: ',a)").write(h, record));
  }
  const Layout layout(m.layout);  // checked when it was typed
  OffsetRecords read;
  long long line = std::max(m.headers, 0LL);
  while (units.read_record(unit, record)) {
    ++line;
    if (trim_right(chomp(record)).empty()) {
      read.blank();
      continue;
    }
    int offset = 0;
    const std::string why = offset_of(record, line, m, layout, offset);
    if (!why.empty()) return tried_again(con, units, unit, name, {why});
    if (read.with_blanks() >= static_cast<std::size_t>(kMaxSeriesPelliform)) {
      con.say("");
      con.say(Layout("(t11,a)").write("The number of pith offset values read exceeds the"));
      con.say("the dimensions of the array in which they are stored");
      con.say("");
      con.say("This is a fatal error, there is no recovery ");
      throw Stop("Program Terminating ", kFailureStatus);
    }
    read.offset(offset);
  }
  // A series without its offset would take another's, or 0, in the regional curve.
  if (read.size() != count(series)) {
    return tried_again(
        con, units, unit, name,
        {std::to_string(read.size()) + " pith offsets for " + std::to_string(series) +
         " series: each series needs one, in the order of the data file"});
  }
  offsets = read.values();
  units.close(unit);
  return true;
}

}  // namespace

std::vector<int> offsets_by_series(const SeriesSet& set, std::span<const int> read) {
  set.check_origins();
  if (!read.empty() && read.size() != count(set.series_read)) {
    throw Stop("*** the data file now holds " + std::to_string(set.series_read) +
                   " series, where its pith offset file gave " + std::to_string(read.size()) +
                   " offsets: run again",
               kFailureStatus);
  }
  std::vector<int> offsets;
  offsets.reserve(set.origins.size());
  for (const SeriesOrigin& o : set.origins) {
    offsets.push_back((read.empty() ? 0 : read[at(o.place)]) + o.rings_cut);
  }
  return offsets;
}

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
