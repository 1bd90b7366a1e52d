#include "pelliform/column_readers.h"

#include <algorithm>
#include <cctype>
#include <deque>
#include <optional>
#include <vector>

#include "pelliform/list_input.h"
#include "series/blocks.h"
#include "series/files/interrupts.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"
#include "series/store.h"
#include "series/text.h"
#include "series/trread.h"

namespace dendro {
namespace {

constexpr int kFieldWidth = 8;  // a field of a multi-column record, as ids are

// True when a record holds nothing but blanks, tabs and commas. A record whose "/" comes
// before its first item holds more: a value whose first character was damaged into "/"
// would otherwise be passed over, and every value after it move a year.
bool blank_record(std::string_view record) {
  return chomp(record).find_first_not_of(" \t,") == std::string_view::npos;
}

// The next record that is not blank: free-format reading passes over blank records.
std::optional<std::string> next_filled(RecordStream& in) {
  for (;;) {
    std::optional<std::string> r = in.next();
    if (!r || !blank_record(*r)) return r;
  }
}

// A year of a series must lie within the years that the programs take, which the
// chronology files can write.
bool year_within_limits(long long year) { return year >= kEarliestYear && year <= kLatestYear; }

// The Series/Number line of the single-column reader's messages, the number in five
// columns as it has them, wider rather than as asterisks.
std::string series_number_line(const std::string& id, int number) {
  const std::string width = std::to_string(std::max<std::size_t>(5, std::to_string(number).size()));
  return Layout("(t9,'Series: ',a,' Number: ',i" + width + ")").write(id, number);
}

// Shows a refusal of the single-column reader: its message (one or more lines), the
// series it was reading and the pause.
bool rd1col_error(Console& con, const std::string& what, const std::string& id, int number) {
  con.say(what);
  con.say(series_number_line(id, number));
  con.pause(" Hit return to continue");
  return false;
}

// A record of a column file that holds an item, with its line in the file.
struct Entry {
  int line = 0;
  ListItem item;  // the record's first item
};

// Every record from the current one to the end of the file that is not blank: free-format
// reading passes over blank records. A record without an item before its "/" comes as an
// empty item. A deque, as a vector of the tens of millions of records of a file at the
// limits would take seconds to move when it grows.
std::deque<Entry> filled_entries(RecordStream& in) {
  std::deque<Entry> entries;
  while (std::optional<std::string> r = in.next()) {
    stop_if_interrupted();  // a file of one value a record has millions of them
    if (blank_record(*r)) continue;
    std::vector<ListItem> items = list_fields(*r);
    if (items.empty()) items.push_back({"", static_cast<int>(r->find('/')) + 1});
    entries.push_back({in.number(), std::move(items.front())});
  }
  return entries;
}

bool digits_only(std::string_view s) {
  return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
}

enum class SeriesStart { no, yes, unclear };

// What the values of a series read so far tell about the records after them.
struct ValuesSoFar {
  int count = 0;
  bool whole = false;  // a value is written without a decimal point or exponent
  float largest = 0;
};

// Whether the numeric record `k`, met after the values `so_far` of a series, starts the
// next series. The layout has no end marker: a series ends where the next id record and
// first-year record follow, and an id made only of digits reads as a number too. A record
// of digits followed by a record holding a year starts the next series while every value of
// the series has a decimal point (or an exponent), when the record has as many characters
// as the series' own id, or when the year is 1000 or more and every value is below 1000, as
// rings in millimetres are. Otherwise the two records read as well as two values as they do
// as an id and its year: that is unclear, except for whole values under an id with letters,
// which stay two values as before.
SeriesStart starts_series(const std::deque<Entry>& entries, std::size_t k, std::string_view id,
                          const ValuesSoFar& so_far) {
  const std::string& text = entries[k].item.text;
  if (so_far.count == 0 || !digits_only(text) ||
      text.size() > static_cast<std::size_t>(kFieldWidth) || k + 1 >= entries.size()) {
    return SeriesStart::no;
  }
  const std::optional<long long> year = list_integer(entries[k + 1].item.text);
  if (!year || !year_within_limits(*year)) return SeriesStart::no;
  const bool beyond_rings = *year >= kWidestRing && so_far.largest < kWidestRing;
  if (!so_far.whole && (beyond_rings || text.size() == id.size())) return SeriesStart::yes;
  return !so_far.whole || digits_only(id) ? SeriesStart::unclear : SeriesStart::no;
}

std::string unclear_start(const std::deque<Entry>& entries, std::size_t k) {
  return "Rd1col: " + item_place(entries[k].line, entries[k].item) +
         " is a value, or the id of a new series with its first year on line " +
         std::to_string(entries[k + 1].line) +
         "\n        with ids made only of digits, write every value with a decimal point and every "
         "id with as many digits, or give the ids a letter";
}

// True when `text`, met where a series' values end, can be its value `before` with one or
// two characters damaged: as long, the same character or a digit in both wherever they
// differ but in at most two places, and more digits than such places. Such an item is no id
// the reader can tell: taken for one, it would end the series there and start another.
bool damaged_value(std::string_view text, std::string_view before) {
  if (text.size() != before.size()) return false;
  int changed = 0, digits = 0;
  for (std::size_t k = 0; k < text.size(); ++k) {
    const bool digit = std::isdigit(static_cast<unsigned char>(text[k]));
    digits += digit ? 1 : 0;
    if (text[k] != before[k] && !(digit && std::isdigit(static_cast<unsigned char>(before[k]))))
      ++changed;
  }
  return changed <= 2 && digits > changed;
}

std::string damaged_value_place(const Entry& e) {
  return "Rd1col: " + item_place(e.line, e.item) +
         " is a value that cannot be read, or the id of a new series\n        give every id more "
         "characters than a value, or more than two that are not in the value's places";
}

std::string year_outside(int line, long long year) {
  return "line " + std::to_string(line) + ": year " + std::to_string(year) + " lies outside " +
         std::to_string(kEarliestYear) + " to " + std::to_string(kLatestYear);
}

// Shows a refusal of the multi-column reader after a blank line; `place` names the field
// that could not be read, on a line of its own.
bool rdmcol_error(Console& con, const std::string& message, const std::string& place = "") {
  con.say("");
  con.say(message);
  if (!place.empty()) con.say(" " + place);
  return false;
}

// The number of columns, read with "(i4)"; an answer that gives none is refused and the
// question asked again.
int column_count(Console& con) {
  const Layout i4("(i4)");
  for (int round = 0;; ++round) {
    if (round > 0) {
      con.say("There was an error reading your entry.");
      con.again();
    }
    con.say("");
    con.say("Enter the total number of columns in your file");
    con.prompt("[Program assumes Col_1 contains the X values] : ");
    const std::string line = con.read_line();
    try {
      const long long n = i4.read(line, 1)[0].integer;
      if (n >= 1) return static_cast<int>(n);
    } catch (const ReadError&) {
    }
  }
}

}  // namespace

void too_many_series(Console& con) {
  con.say(Layout("('*** number of series exceeds maximum allowed: ',i4,' max ***')")
              .write(kMaxSeriesPelliform));
}

void too_long(Console& con, const std::string& id, int n) {
  con.say(series_too_long(id, n, kMaxYears));
}

bool within_limits(const SeriesSet& set, Console& con) {
  if (set.count() > kMaxSeriesPelliform) {
    too_many_series(con);
    return false;
  }
  if (set.count() > 0 && set.summary.span() > kMaxYears) {
    con.say(Layout("('*** total series length exceeds maximum ','allowable length: ',i6,' > ',"
                   "i6,' max ***')")
                .write(set.summary.span(), kMaxYears));
    return false;
  }
  return true;
}

bool is_sentinel(const std::string& field8, const std::string& sentinel8) {
  if (field8 == sentinel8) return true;
  auto stars = [](const std::string& s) {
    const std::string_view t = trim_right(s);
    return !t.empty() && t.find_first_not_of('*') == std::string_view::npos;
  };
  return stars(field8) && stars(sentinel8);
}

bool rd1col(RecordStream& in, Console& con, SeriesSet& set) {
  const std::deque<Entry> entries = filled_entries(in);
  for (const Entry& e : entries) {
    if (!e.item.text.empty()) continue;
    con.say("Rd1col: line " + std::to_string(e.line) + ": a \"/\" in column " +
            std::to_string(e.item.column) + " ends the record before its item");
    con.pause(" Hit return to continue");
    return false;
  }
  std::size_t k = 0;
  while (k < entries.size()) {
    stop_if_interrupted();
    const int number = set.count() + 1;
    // The id record.
    const std::string& id_text = entries[k].item.text;
    const std::string id = field(id_text, kFieldWidth);
    if (number > kMaxSeriesPelliform) {
      too_many_series(con);
      return false;
    }
    const int id_line = entries[k++].line;

    // The first-year record.
    const char* kNoYear = "Rd1col: Error reading series IYR value";
    if (k == entries.size()) {
      return rd1col_error(con,
                          std::string(kNoYear) + "\n        the file ends after the id on line " +
                              std::to_string(id_line),
                          id, number);
    }
    const Entry& year_entry = entries[k++];
    const std::optional<long long> year = list_integer(year_entry.item.text);
    if (!year) {
      return rd1col_error(
          con, std::string(kNoYear) + "\n        " + item_place(year_entry.line, year_entry.item),
          id, number);
    }
    if (!year_within_limits(*year)) {
      return rd1col_error(con, "Rd1col: " + year_outside(year_entry.line, *year), id, number);
    }

    // One value per record, until a record is not a number or starts the next series;
    // each value's year and size are checked as it is read. Values past the year limit are
    // counted for the message but not kept.
    std::vector<float> values;
    ValuesSoFar so_far;
    for (; k < entries.size(); ++k) {
      const Entry& e = entries[k];
      const std::optional<double> v = list_real(e.item.text);
      if (!v && so_far.count > 0 && damaged_value(e.item.text, entries[k - 1].item.text)) {
        return rd1col_error(con, damaged_value_place(e), id, number);
      }
      if (!v) break;  // the next series' id record
      const SeriesStart start = starts_series(entries, k, id_text, so_far);
      if (start == SeriesStart::yes) break;
      if (start == SeriesStart::unclear)
        return rd1col_error(con, unclear_start(entries, k), id, number);
      const auto kept = static_cast<float>(*v);
      if (!is_measurement(kept)) {
        return rd1col_error(con,
                            "Rd1col: " + not_a_measurement(item_place(e.line, e.item),
                                                           decimal_text(e.item.text), kept),
                            id, number);
      }
      if (!year_within_limits(*year + so_far.count)) {
        return rd1col_error(con, "Rd1col: " + year_outside(e.line, *year + so_far.count), id,
                            number);
      }
      if (list_integer(e.item.text)) so_far.whole = true;
      so_far.largest = std::max(so_far.largest, kept);
      if (++so_far.count <= kMaxYears) values.push_back(kept);
    }
    if (so_far.count > kMaxYears) {
      too_long(con, id, so_far.count);
      return false;
    }
    set.add(id, static_cast<int>(*year), std::move(values));
  }
  set.summary = set.span_of_series();
  return true;
}

bool rdmcol(RecordStream& in, Console& con, SeriesSet& set) {
  const int columns = column_count(con);
  con.say("");
  con.say("Enter the sentinal value or character used to ");
  con.prompt("pad the records [can not be spaces, if ******* enter *] : ");
  const std::string sentinel = field(con.read_line(), kFieldWidth);
  const int series = columns - 1;
  if (series > kMaxSeriesPelliform) {
    too_many_series(con);
    return false;
  }

  // The heading record: the year column's heading, then one id per series.
  std::optional<std::string> heading = next_filled(in);
  std::vector<std::string> ids = heading ? list_items(*heading) : std::vector<std::string>{};
  if (static_cast<int>(ids.size()) < columns) {
    return rdmcol_error(con,
                        "Error reading the heading record: fewer ids than columns (ids read: " +
                            std::to_string(ids.size()) + ", columns given: " +
                            std::to_string(columns) + "; the first id heads the years)",
                        heading ? "line " + std::to_string(in.number()) + ": \"" +
                                      std::string(trim_right(*heading)) + "\""
                                : "the file ends before a heading record");
  }

  // Every data record as text fields, one per column, with its line in the file; each
  // field keeps the item as the record holds it, for the messages.
  struct Row {
    int line = 0;
    std::vector<ListItem> items;
    std::vector<std::string> fields;  // the items in 8 characters, as they are read
  };
  std::vector<Row> table;
  while (std::optional<std::string> record = next_filled(in)) {
    stop_if_interrupted();
    Row row{in.number(), list_fields(*record), {}};
    // A field split by a damaged character would move every field after it to the next
    // column: a record holds as many fields as the file has columns.
    if (static_cast<int>(row.items.size()) != columns) {
      return rdmcol_error(con,
                          "Error reading record " + std::to_string(in.number()) + ": " +
                              (static_cast<int>(row.items.size()) < columns ? "fewer" : "more") +
                              " fields than columns");
    }
    if (static_cast<int>(table.size()) == kMaxYears) {
      return rdmcol_error(con, Layout("('*** data records exceed maximum allowable ',"
                                      "'length: ',i5,' max ***')")
                                   .write(kMaxYears));
    }
    row.items.resize(count(columns));
    for (const ListItem& item : row.items) row.fields.push_back(field(item.text, kFieldWidth));
    table.push_back(std::move(row));
  }

  const char* kBadValue = "Error reading y values check sentinel if ******* enter *";
  const char* kBadYear = "Error reading time steps";
  for (int c = 2; c <= columns; ++c) {
    stop_if_interrupted();
    const auto column = at(c);
    std::vector<float> values;
    int first_year = 0;
    for (const Row& row : table) {
      const std::vector<std::string>& fields = row.fields;
      if (is_sentinel(fields[column], sentinel)) continue;
      const std::string_view text = trim_right(fields[column]);
      const std::optional<double> v = list_real(text);
      const std::string place = item_place(row.line, row.items[column]);
      if (!v) return rdmcol_error(con, kBadValue, place);
      const auto kept = static_cast<float>(*v);
      if (!is_measurement(kept)) {
        return rdmcol_error(con, not_a_measurement(place, decimal_text(text), kept));
      }
      const std::optional<long long> year = list_integer(trim_right(fields[0]));
      if (!year) return rdmcol_error(con, kBadYear, item_place(row.line, row.items[0]));
      if (!year_within_limits(*year)) return rdmcol_error(con, year_outside(row.line, *year));
      if (values.empty()) {
        first_year = static_cast<int>(*year);
      } else {
        // Years between this value and the last one stored are missing.
        const long long position = *year - first_year;
        const auto stored = static_cast<long long>(values.size());
        if (position < stored) {
          return rdmcol_error(con, kBadYear,
                              item_place(row.line, row.items[0]) +
                                  ": the years must rise, and the column's last value is of " +
                                  std::to_string(first_year + stored - 1));
        }
        if (position >= kMaxYears) {
          too_long(con, ids[column], static_cast<int>(position + 1));
          return false;
        }
        values.resize(count(position), kMissing);
      }
      values.push_back(kept);
    }
    set.add(ids[column], first_year, std::move(values));
  }
  set.summary = set.span_of_series();
  return true;
}

}  // namespace dendro
