#include "pelliform/loader.h"

#include <optional>
#include <string>

#include "pelliform/column_readers.h"
#include "pelliform/dialogue.h"
#include "pelliform/format_help.h"
#include "pelliform/list_input.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"
#include "series/text.h"
#include "series/trread.h"
#include "series/tucson.h"

namespace dendro {
namespace {

enum Format { help = 0, ring_widths = 1, indices = 2, single_column = 3, multiple_columns = 4 };

constexpr char kContinue[] = "             Hit RETURN to Continue";

void show_menu(Console& con) {
  con.say("");
  for (const char* line : {"__ Input Data Format Menu __", "_____________________________", "",
                           "Raw ring-widths (Decade)  [1]", "Chronologies (Index)      [2]",
                           "Single Column             [3]", "Multiple Columns          [4]",
                           "Enter zer0 for HELP       [0]", "_____________________________"}) {
    con.say(*line == '\0' ? std::string() : Layout("(t19,a)").write(line));
  }
  con.say("");
}

constexpr char kFormatChoice[] = "a choice between [0-4] or [Q]uit";
constexpr char kHeaderCount[] = "a whole number of header lines";

// A free-format answer: its first item, which the questions read, and the line as typed,
// which their refusals repeat.
struct FreeAnswer {
  std::string item;
  std::string typed;
};

// The first item of a free-format answer; an empty answer is refused as no `wanted`, and
// the question asked again.
FreeAnswer first_item(Console& con, const char* question, const char* wanted) {
  for (;;) {
    con.prompt(prompt_line50(question));
    const std::string line = con.read_line();
    const std::vector<std::string> items = list_items(line);
    if (!items.empty()) return {items.front(), std::string(trim(line))};
    con.say(entry_refusal("", wanted));
    con.again();
  }
}

// Says why an answer to the format menu that is not a number reads no data.
void no_format_chosen(Console& con, const FreeAnswer& answer) {
  con.say("");
  if (answer.item[0] == 'q' || answer.item[0] == 'Q') {
    con.say("Quit chosen at the input data format menu: no data read");
  } else {
    con.say(entry_refusal(answer.typed, kFormatChoice) + ": no data read");
  }
}

// The header-line count; an answer that is not a number is refused and asked for again.
long long header_lines(Console& con) {
  for (;;) {
    con.say("Enter number of file header lines to skip");
    con.say("before reading data or columns. If none then");
    const FreeAnswer answer = first_item(con, "enter a zer[0] for none", kHeaderCount);
    if (std::optional<long long> n = list_integer(answer.item)) return *n;
    con.say(entry_refusal(answer.typed, kHeaderCount));
    con.again();
  }
}

LoadStatus fatal_read(Console& con) {
  con.say("");
  con.say("WARNING: Fatal error reading data from input file.");
  con.say("         Suggest checking file format and/or file type");
  con.say("         Unix/Dos/Mac?");
  con.pause(" Hit Return to Continue");
  return LoadStatus::failed;
}

// Reads every series of a tucson ring-width (mr) or index (ir) file.
LoadStatus read_tucson(RecordStream& in, TucsonMode mode, Console& con, SeriesSet& set) {
  TucsonFile file;
  file.title_limit = false;
  file.index_choice =
      "choose \"Chronologies (Index)\" [2] at the input data format menu to read it";
  // Each pass reads one series or the end of the file.
  for (;;) {
    stop_if_interrupted();
    SeriesRead s = trrw_read(in, mode, file, con, nullptr, kMaxYears);
    for (int h = 0; h < 3; ++h) {
      set.title[static_cast<std::size_t>(h)] =
          field(file.header_lines[static_cast<std::size_t>(h)], kTitleLength);
    }
    if (mode == TucsonMode::mr) mark_missing_titles(set);
    if (s.n == kEndOfData) break;
    if (s.n <= 0 && mode == TucsonMode::mr) return fatal_read(con);
    if (s.n > kMaxYears) {
      too_long(con, s.id, s.n);
      return LoadStatus::failed;
    }
    if (const std::string outside = years_outside(s); !outside.empty()) {
      con.say(outside);
      return LoadStatus::failed;
    }
    if (set.count() == kMaxSeriesPelliform) {
      too_many_series(con);
      return LoadStatus::failed;
    }
    s.values.resize(count(s.n));
    set.add(s.id, s.first_year, std::move(s.values));
  }
  if (set.count() == 0) {
    con.say(" *** no series were read from the data file");
    con.say(tucson_no_series_note(file, mode));
    return LoadStatus::failed;
  }
  set.summary = set.span_of_series();
  return LoadStatus::loaded;
}

// Reads the data in the chosen format; a reader's failure has shown its message.
LoadStatus read_format(int choice, RecordStream& in, Console& con, SeriesSet& set) {
  try {
    if (choice == ring_widths || choice == indices) {
      return read_tucson(in, choice == ring_widths ? TucsonMode::mr : TucsonMode::ir, con, set);
    }
  } catch (const Stop& stop) {
    // The tucson reader stops on records it cannot place; here that is a failed load, and
    // the user may choose another file. The end of the console input still ends the run.
    if (end_of_input(stop) || interrupted(stop)) throw;
    if (!stop.shown) con.say(stop.what());
    return LoadStatus::failed;
  }
  const bool ok = choice == single_column ? rd1col(in, con, set) : rdmcol(in, con, set);
  if (ok) return LoadStatus::loaded;
  con.say("");
  con.say("Input data not read in successfully");
  con.pause(kContinue);
  return LoadStatus::failed;
}

}  // namespace

void mark_missing_titles(SeriesSet& set) {
  const char* missing[] = {"1st itrdb line missing", "2nd itrdb line missing",
                           "3rd itrdb line missing"};
  for (std::size_t h = 0; h < 3; ++h) {
    std::string& line = set.title[h];
    line = field(line, kTitleLength);
    if (line.substr(0, 6) != "      ") continue;
    line.replace(0, 22, missing[h]);
    line.replace(58, 22, missing[h]);
  }
}

LoadStatus loaddat(Console& con, Units& units, int unit, SeriesSet& set) {
  // Each pass of the menu reads an answer, so the end of the input ends the loop.
  for (;;) {
    set.clear();
    show_menu(con);
    const FreeAnswer answer =
        first_item(con, "Enter a value between [0-4] or [Q]uit", kFormatChoice);
    const std::optional<long long> choice = list_integer(answer.item);
    if (!choice) {
      no_format_chosen(con, answer);
      return LoadStatus::failed;
    }
    RecordStream in(units.in(unit));
    if (*choice > indices) {
      const long long skip = header_lines(con);
      for (long long k = 0; k < skip && in.next(); ++k) {
      }
    }
    if (*choice == help) {
      dathlp(con, units, unit);
      con.again();
      continue;
    }
    if (*choice < help || *choice > multiple_columns) {
      con.say(entry_refusal(answer.typed, kFormatChoice));
      con.pause(kContinue);
      // The file starts again from its first record, so that records skipped for a
      // refused choice are not lost to the next one.
      units.rewind(unit);
      con.again();
      continue;
    }
    const LoadStatus status = read_format(static_cast<int>(*choice), in, con, set);
    if (status == LoadStatus::failed) return status;
    if (!within_limits(set, con)) return LoadStatus::failed;
    con.say("");
    con.say("Input data read successfully");
    return LoadStatus::loaded;
  }
}

}  // namespace dendro
