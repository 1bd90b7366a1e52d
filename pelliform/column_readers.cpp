#include "pelliform/column_readers.h"

#include <algorithm>
#include <optional>
#include <vector>

#include "pelliform/list_input.h"
#include "series/blocks.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"
#include "series/store.h"
#include "series/text.h"
#include "series/trread.h"

namespace dendro {
namespace {

constexpr int kFieldWidth = 8;  // a field of a multi-column record, as ids are
// Unreadable answers to the column-count question before the reader gives up.
constexpr int kColumnCountTries = 20;

// The next record that holds an item: free-format reading passes over blank records.
std::optional<std::string> next_filled(RecordStream& in) {
  for (;;) {
    std::optional<std::string> r = in.next();
    if (!r || !list_items(*r).empty()) return r;
  }
}

bool rd1col_error(Console& con, const std::string& what, const std::string& id, int number) {
  con.say(what);
  con.say(Layout("(t9,'Series: ',a,' Number: ',i5)").write(id, number));
  con.pause(" Hit return to continue");
  return false;
}

// A year of a series must lie within the years that the programs take, which the
// chronology files can write.
bool year_within_limits(long long year) { return year >= kEarliestYear && year <= kLatestYear; }

std::string year_outside(int line, long long year) {
  return "line " + std::to_string(line) + ": year " + std::to_string(year) + " lies outside " +
         std::to_string(kEarliestYear) + " to " + std::to_string(kLatestYear);
}

bool rdmcol_error(Console& con, const std::string& message) {
  con.say("");
  con.say(message);
  return false;
}

// The number of columns, read with "(i4)"; nothing when the answers run out of tries.
std::optional<int> column_count(Console& con) {
  const Layout i4("(i4)");
  for (int tries = 0; tries < kColumnCountTries; ++tries) {
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
  return std::nullopt;
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
  for (;;) {
    const int number = set.count() + 1;
    // The id record; the end of the file ends the set.
    std::optional<std::string> record = next_filled(in);
    if (!record) break;
    const std::vector<std::string> id_items = list_items(*record);
    const std::string id = field(id_items.front(), kFieldWidth);
    if (number > kMaxSeriesPelliform) {
      too_many_series(con);
      return false;
    }

    // The first-year record.
    record = next_filled(in);
    const std::optional<long long> year = record ? first_integer(*record) : std::nullopt;
    if (!year) return rd1col_error(con, "Rd1col: Error reading series IYR value", id, number);
    if (!year_within_limits(*year)) {
      return rd1col_error(con, "Rd1col: " + year_outside(in.number(), *year), id, number);
    }

    // One value per record, until a record is not a number; each value's year and size
    // are checked as it is read. Values past the year limit are counted for the message but
    // not kept.
    std::vector<float> values;
    int n = 0;
    while ((record = next_filled(in))) {
      const std::optional<double> v = first_real(*record);
      if (!v) {
        in.back();  // the next series' id record
        break;
      }
      if (!is_measurement(*v)) {
        return rd1col_error(con, "Rd1col: " + not_a_measurement(in.number(), *v), id, number);
      }
      if (!year_within_limits(*year + n)) {
        return rd1col_error(con, "Rd1col: " + year_outside(in.number(), *year + n), id, number);
      }
      if (++n <= kMaxYears) values.push_back(static_cast<float>(*v));
    }
    if (n > kMaxYears) {
      too_long(con, id, n);
      return false;
    }
    set.add(id, static_cast<int>(*year), std::move(values));
  }
  set.summary = set.span_of_series();
  return true;
}

bool rdmcol(RecordStream& in, Console& con, SeriesSet& set) {
  const std::optional<int> columns = column_count(con);
  if (!columns) return rdmcol_error(con, "Error reading the number of columns");
  con.say("");
  con.say("Enter the sentinal value or character used to ");
  con.prompt("pad the records [can not be spaces, if ******* enter *] : ");
  const std::string sentinel = field(con.read_line(), kFieldWidth);
  const int series = *columns - 1;
  if (series > kMaxSeriesPelliform) {
    too_many_series(con);
    return false;
  }

  // The heading record: the year column's heading, then one id per series.
  std::optional<std::string> heading = next_filled(in);
  std::vector<std::string> ids = heading ? list_items(*heading) : std::vector<std::string>{};
  if (static_cast<int>(ids.size()) < *columns) {
    return rdmcol_error(con, "Error reading the heading record: fewer ids than columns");
  }

  // Every data record as text fields, one per column, with its line in the file.
  std::vector<std::vector<std::string>> table;
  std::vector<int> lines;
  while (std::optional<std::string> record = next_filled(in)) {
    std::vector<std::string> items = list_items(*record);
    if (static_cast<int>(items.size()) < *columns) {
      return rdmcol_error(con, "Error reading record " + std::to_string(in.number()) +
                                   ": fewer fields than columns");
    }
    if (static_cast<int>(table.size()) == kMaxYears) {
      return rdmcol_error(con, Layout("('*** data records exceed maximum allowable ',"
                                      "'length: ',i5,' max ***')")
                                   .write(kMaxYears));
    }
    items.resize(count(*columns));
    for (std::string& f : items) f = field(f, kFieldWidth);
    table.push_back(std::move(items));
    lines.push_back(in.number());
  }

  for (int c = 2; c <= *columns; ++c) {
    const auto column = at(c);
    std::vector<float> values;
    int first_year = 0;
    for (std::size_t r = 0; r < table.size(); ++r) {
      const std::vector<std::string>& fields = table[r];
      if (is_sentinel(fields[column], sentinel)) continue;
      const std::optional<double> v = list_real(trim_right(fields[column]));
      if (!v) return rdmcol_error(con, "Error reading y values check sentinel if ******* enter *");
      if (!is_measurement(*v)) return rdmcol_error(con, not_a_measurement(lines[r], *v));
      const std::optional<long long> year = list_integer(trim_right(fields[0]));
      if (!year) return rdmcol_error(con, "Error reading time steps");
      if (!year_within_limits(*year)) return rdmcol_error(con, year_outside(lines[r], *year));
      if (values.empty()) {
        first_year = static_cast<int>(*year);
      } else {
        // Years between this value and the last one stored are missing.
        const long long position = *year - first_year;
        if (position < static_cast<long long>(values.size())) {
          return rdmcol_error(con, "Error reading time steps");
        }
        if (position >= kMaxYears) {
          too_long(con, ids[column], static_cast<int>(std::min<long long>(position + 1, 99999)));
          return false;
        }
        values.resize(count(position), kMissing);
      }
      values.push_back(static_cast<float>(*v));
    }
    set.add(ids[column], first_year, std::move(values));
  }
  set.summary = set.span_of_series();
  return true;
}

}  // namespace dendro
