#include "detrending/rcs_pith.h"

#include <algorithm>
#include <array>
#include <optional>

#include "detrending/pith_records.h"
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
  for (int i = 1; i <= tsi1.count; ++i) {
    const int p = tsi1.year_row(i).yfp;
    const std::string why = pith_offset_refusal(p, std::to_string(p));
    if (!why.empty()) {
      pause_and_stop(io.con, "*** batch detail file: series " +
                                 std::string(trim_right(tsi1.ids[at(i)])) + ": " + why);
    }
    offsets.push_back(p);
  }
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

// The layout of the reads: empty for free form. An answer that cannot read an offset (an
// answer meant for an earlier question, say) is said as such and asked again.
std::string ask_format(RcsIo& io) {
  for (;;) {
    const Answer a = io.con.ask("data format (h to help, <ret> = free form)", kNameWidth);
    if (a.meaning({.help = true}) == Meaning::help) {
      snoop(io.units, unit::series, io.con, kSnoopWidthKalder);
      io.con.again();
      continue;
    }
    if (a.blank()) return std::string();
    const std::string layout(trim(a.text));
    const std::string fault = offset_layout_fault(layout);
    if (fault.empty()) return layout;
    io.con.say("*** " + fault + ": type a layout such as (i5), or Return to read free form");
    io.con.again();
  }
}

// The offsets of the series kept, each that of its place in the data file: the places of
// the series the reader left out (`tsi1.dropped`) hold offsets too.
std::vector<int> kept_offsets(const Tsi1& tsi1, const std::vector<int>& by_place) {
  std::vector<bool> left_out(by_place.size(), false);
  for (const DroppedSeries& d : tsi1.dropped) {
    if (d.position >= 1 && count(d.position) <= by_place.size()) left_out[at(d.position)] = true;
  }
  std::vector<int> kept;
  for (std::size_t k = 0; k < by_place.size(); ++k) {
    if (!left_out[k]) kept.push_back(by_place[k]);
  }
  return kept;
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

  const std::vector<int> read = read_offsets(io, ask_format(io));
  io.con.say(Layout("('pith offset values read: ',i5)").write(read.size()));
  const std::size_t in_file = count(tsi1.count) + tsi1.dropped.size();
  if (read.size() != in_file) {
    pause_and_stop(io.con, "*** pith offset values read .ne. number of series. oops!\n*** " +
                               std::to_string(read.size()) + " offsets for " +
                               std::to_string(in_file) +
                               " series: write one offset a record for each series of the data "
                               "file, in their order (a title record may come first)");
  }
  const std::vector<int> offsets = kept_offsets(tsi1, read);
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
  std::optional<Layout> typed;
  if (!layout.empty()) typed.emplace(layout);
  OffsetRecords offsets;
  int unreadable = 0;
  int line = 0;
  for (std::string record; io.units.read_record(unit::series, record);) {
    ++line;
    if (trim_right(chomp(record)).empty()) {
      // A free-form read passes over empty records to the next value.
      if (typed) offsets.blank();
      continue;
    }
    std::optional<double> value;
    std::string as_read;
    try {
      if (typed) {
        const Field f = typed->read(record, 1)[0];
        value = f.real;
        as_read = f.number;
      } else {
        value = static_cast<double>(read_list_integers(record, 1)[0]);
        as_read = std::to_string(static_cast<long long>(*value));
      }
    } catch (const ReadError&) {
      // no number here: a title record, or the error reported below
    }
    if (value) {
      const std::string why = pith_offset_refusal(*value, as_read);
      if (!why.empty()) {
        io.units.close(unit::series);
        pause_and_stop(io.con, "*** error reading rcs pith offset file\n*** line " +
                                   std::to_string(line) + ": " + why);
      }
      offsets.offset(static_cast<int>(*value));
      continue;
    }
    if (++unreadable == 1) {
      io.con.say("*** pith offset title:");
      io.con.say(field(record, kNameWidth));
      continue;
    }
    // The count of offsets read so far, then the record itself by its line of the file.
    io.units.close(unit::series);
    pause_and_stop(
        io.con, Layout("('*** error reading rcs pith offset file'/'*** error in line number: ',i4)")
                        .write(offsets.with_blanks()) +
                    "\n*** line " + std::to_string(line) + ": \"" +
                    std::string(trim_right(chomp(record))) + "\" holds no offset");
  }
  return offsets.values();
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
