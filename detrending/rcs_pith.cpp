#include "detrending/rcs_pith.h"

#include <algorithm>
#include <array>
#include <optional>

#include "options/pager.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/records.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kNameWidth = 40;    // the file name field; longer names are kept whole
constexpr std::size_t kRecordWidth = 85;  // a record of the save copy
constexpr std::size_t kGroup = 8;         // series per group of the listing
// The widest file the reformatting reads: its row of values stands in for the series.
constexpr long long kMaxColumns = kMaxSeriesKalder;

int printout(const RcsIo& io) { return io.icommands[opt::printout]; }

void write_listing(RcsIo& io, std::span<const std::string> ids, std::span<const int> offsets) {
  for (const std::string& line : offset_listing(ids, offsets)) io.units.write(unit::out, line);
}

std::vector<int> batch_offsets(Tsi1& tsi1, RcsIo& io) {
  std::vector<int> offsets;
  for (int i = 1; i <= tsi1.count; ++i) offsets.push_back(tsi1.year_row(i).yfp);
  if (!series_statistics_printed(printout(io))) return offsets;
  long long sum = 0;
  for (int p : offsets) sum += p;
  io.units.write(unit::out, Layout("(/16x,'rcs pith offset data read in from ',"
                                   "'batch detail file'/)")
                                .write());
  if (sum < 1) {
    io.units.write(unit::out, Layout("(20x,'***   all pith offset data are zero   ***')").write());
  } else {
    write_listing(io, std::span<const std::string>(tsi1.ids).first(offsets.size()), offsets);
  }
  return offsets;
}

// The file name answer, read whole (a long path is not cut to the 40-character field);
// "/" alone ends the run.
Answer ask_name(Console& con) {
  con.say("open rcs pith offset file:");
  con.prompt(question_line("file name (/ to exit, 0 = none)"));
  const std::string name = con.read_name_or_quit();
  return Answer::of(name, name.size());
}

bool reformat_wanted(Console& con) {
  const std::array<const char*, 11> text{"reformat the data? this act might be useful if the",
                                         "pith offset data are stored columnwise, are in some ",
                                         "column other than column #1, and are left-justified",
                                         "in that column. in this case, you can not use either",
                                         "the formated or free format read option. also, if",
                                         "your data are in the form of the number of the first",
                                         "cambial age years present, you will want to reformat",
                                         "the data as well because the program assumes that",
                                         "the pith offset data are the number of years missing.",
                                         "in any case, do not worry about doing this. if you",
                                         "reformat the data, your original file will be saved."};
  con.say("");
  for (const char* line : text) con.say(line);
  con.say("");
  return con.ask_yes_no("so, again, reformat the data? y/<n>", Meaning::no) == Meaning::yes;
}

// The layout of the reads: empty for free form.
std::string ask_format(RcsIo& io) {
  for (;;) {
    const Answer a = io.con.ask("data format (h to help, <ret> = free form)", kNameWidth);
    if (a.meaning({.help = true}) == Meaning::help) {
      snoop(io.units, unit::series, io.con, kSnoopWidthKalder);
      io.con.again();
      continue;
    }
    return a.blank() ? std::string() : std::string(trim_right(a.text));
  }
}

std::vector<int> dialogue_offsets(Tsi1& tsi1, RcsIo& io) {
  std::string name;
  for (;;) {
    const Answer a = ask_name(io.con);
    if (a.blank() || a.first() == '0')
      return std::vector<int>(static_cast<std::size_t>(tsi1.count), 0);
    name = a.text;
    if (io.units.open_old(unit::series, name)) break;
    io.con.say("*** error opening rcs pith offset file: " + name);
    if (io.units.files().exists(name)) {
      io.con.say("*** " + name + ": " + unreadable_reason(io.units.files().fs(), name));
    }
    io.con.again();
  }
  if (io.help) io.help(8);
  snoop(io.units, unit::series, io.con, kSnoopWidthKalder);
  // Only the user's own answer rewrites the file (its records first saved beside it);
  // nothing else of the run writes over it.
  if (reformat_wanted(io.con)) reformat_offsets(io, name);
  io.units.files().protect(name, "the pith offset file");

  const std::vector<int> offsets = read_offsets(io, ask_format(io));
  const int count = static_cast<int>(offsets.size());
  io.con.say(Layout("('pith offset values read: ',i5)").write(count));
  if (count != tsi1.count) {
    pause_and_stop(io.con, "*** pith offset values read .ne. number of series. oops!");
  }
  if (series_statistics_printed(printout(io))) {
    // The first 30 characters of the blank-filled name field, a short name left-justified.
    io.units.write(
        unit::out,
        Layout("(/9x,'rcs pith offset file processed:  ',a30/)").write(field(name, kNameWidth)));
    write_listing(io, std::span<const std::string>(tsi1.ids).first(offsets.size()), offsets);
  }
  io.units.close(unit::series);
  return offsets;
}

}  // namespace

std::vector<std::string> offset_listing(std::span<const std::string> ids,
                                        std::span<const int> offsets) {
  const Layout id_line("('  id: ',8(1x,a8))");
  const Layout offset_line("(3x,8i9)");
  std::vector<std::string> lines;
  for (std::size_t first = 0; first < offsets.size(); first += kGroup) {
    const std::size_t n = std::min(kGroup, offsets.size() - first);
    std::vector<std::string> group;
    for (std::size_t k = first; k < first + n; ++k) group.push_back(field(ids[k], 8));
    lines.push_back(id_line.write(group));
    lines.push_back(offset_line.write(offsets.subspan(first, n)));
  }
  return lines;
}

std::vector<int> read_offsets(RcsIo& io, const std::string& layout) {
  // A typed layout that is no layout, or that cannot read a number, makes every record
  // unreadable: the user is told why once, before the records are reported as unreadable.
  std::optional<Layout> typed;
  bool layout_faulty = false;
  const auto report_layout = [&](const FormatError& e) {
    if (!layout_faulty) io.con.say(std::string("*** ") + e.what());
    layout_faulty = true;
  };
  if (!layout.empty()) {
    try {
      typed.emplace(layout);
    } catch (const FormatError& e) {
      report_layout(e);
    }
  }
  std::vector<int> offsets;
  int unreadable = 0;
  int line = 0;
  for (std::string record; io.units.read_record(unit::series, record);) {
    ++line;
    // A free-form read passes over empty records to the next value.
    if (layout.empty() && trim_right(record).empty()) continue;
    std::optional<long long> value;
    try {
      if (layout.empty()) {
        value = read_list_integers(record, 1)[0];
      } else if (typed) {
        value = static_cast<long long>(typed->read(record, 1)[0].real);
      }
    } catch (const ReadError&) {
      // no number here: a title record, or the error reported below
    } catch (const FormatError& e) {
      report_layout(e);
    }
    if (value && (*value < -kLargestPithOffset || *value > kLargestPithOffset)) {
      io.units.close(unit::series);
      pause_and_stop(io.con, "*** error reading rcs pith offset file\n*** line " +
                                 std::to_string(line) + ": pith offset " + std::to_string(*value) +
                                 " lies outside " + std::to_string(-kLargestPithOffset) + " to " +
                                 std::to_string(kLargestPithOffset));
    }
    if (value) {
      offsets.push_back(static_cast<int>(*value));
      continue;
    }
    if (++unreadable == 1) {
      io.con.say("*** pith offset title:");
      io.con.say(field(record, kNameWidth));
      continue;
    }
    io.units.close(unit::series);
    pause_and_stop(
        io.con, Layout("('*** error reading rcs pith offset file'/'*** error in line number: ',i4)")
                    .write(offsets.size()));
  }
  return offsets;
}

void reformat_offsets(RcsIo& io, const std::string& name) {
  // The save copy keeps every record; a record longer than the field is not cut, since the
  // copy is all that remains of the user's file.
  const std::string save = name + "_save";
  io.units.create(unit::detail, save);
  for (std::string record; io.units.read_record(unit::series, record);) {
    io.units.write(unit::detail, field(record, std::max(kRecordWidth, record.size())));
  }
  io.units.close(unit::detail);
  io.units.close(unit::series, true);
  io.units.create(unit::series, name);
  io.units.open_old(unit::detail, save);

  const long long columns =
      ask_between(io.con, "how many columns in file", kNameWidth, 1, kMaxColumns);
  const long long column =
      ask_between(io.con, "which column has the pith offset data?", kNameWidth, 1, columns);
  io.con.say("is each listed pith offset value the");
  io.con.say("      number of years missing         (1)");
  io.con.say("              or the");
  const long long kind =
      ask_between(io.con, "  first cambial age year present?     (2)", kNameWidth, 1, 2);

  const Layout one("(i5)");
  int count = 0;
  for (std::string record; io.units.read_record(unit::detail, record);) {
    try {
      const std::vector<long long> row =
          read_list_integers(record, static_cast<std::size_t>(columns));
      io.units.write(unit::series, one.write(row[at(column)] - (kind - 1)));
      ++count;
    } catch (const ReadError&) {
      // a title or a short row: skipped
    }
  }
  io.con.say(Layout("(/1x,'reformatted pith offset data: ',i5,' values'/)").write(count));
  io.con.say("  *** read them in free format mode ***");
  io.units.close(unit::series);
  io.units.open_old(unit::series, name);
  io.units.close(unit::detail);
}

std::vector<int> pith_offsets(Tsi1& tsi1, RcsIo& io) {
  const char batch = io.commands.at(Commands::kBatchMode);
  if (batch == 'n' || batch == 'N') return dialogue_offsets(tsi1, io);
  return batch_offsets(tsi1, io);
}

}  // namespace dendro
