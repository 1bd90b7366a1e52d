#include "kalder/detail.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <istream>
#include <map>
#include <optional>
#include <ostream>

#include "series/blocks.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/records.h"
#include "series/text.h"

namespace dendro {

namespace {

constexpr int kHeadLines = 8;
constexpr int kRowColumns = 10;              // the columns of the year table after the id
constexpr std::size_t kMismatchesShown = 5;  // rows named in the note on other ids

// The earliest year that the records of the file hold.
int earliest_year(const Tsi1& tsi1, const std::vector<DroppedSeries>& dropped,
                  int first_detrending) {
  int earliest = 0;
  for (const DroppedSeries& d : dropped) earliest = std::min({earliest, d.row.ify, d.row.ily});
  const int lowered = first_detrending == fit::first_differences ? 1 : 0;
  const std::size_t kept = std::min(count(tsi1.count), tsi1.years.size());
  for (std::size_t k = 0; k < kept; ++k) {
    earliest = std::min({earliest, tsi1.years[k].ify - lowered, tsi1.years[k].ily});
  }
  return earliest;
}

// The ten numbers after the id (columns 15 on) when blanks part them all, as written: the
// year fields may have widened. Nothing for another text, which is read by the fixed
// columns.
std::optional<std::array<long long, kRowColumns>> parted_numbers(std::string_view text) {
  std::array<long long, kRowColumns> numbers{};
  std::size_t n = 0;
  for (std::size_t k = text.find_first_not_of(' '); k != std::string_view::npos;
       k = text.find_first_not_of(' ', k)) {
    const std::size_t end = std::min(text.find(' ', k), text.size());
    const char* first = text.data() + k + (text[k] == '+' ? 1 : 0);
    const char* last = text.data() + end;
    long long v = 0;
    const auto [stop, error] = std::from_chars(first, last, v);
    if (error != std::errc() || stop != last || n == kRowColumns) return std::nullopt;
    numbers[n++] = v;
    k = end;
  }
  if (n != kRowColumns) return std::nullopt;
  return numbers;
}

// One record of the file: its number, id and the ten columns of its year table row.
struct DetailRecord {
  long long number = 0;
  std::string id;
  std::array<long long, kRowColumns> row{};
};

// Reads a record; a field that cannot be read throws ReadError.
DetailRecord read_record(std::string_view record) {
  DetailRecord r;
  const std::vector<Field> head = Layout("(i4,2x,a8)").read(record, 2);
  r.number = head[0].integer;
  r.id = head[1].text;
  const std::string_view rest = record.size() > 14 ? record.substr(14) : std::string_view();
  if (const auto numbers = parted_numbers(rest)) {
    r.row = *numbers;
    return r;
  }
  const std::vector<Field> f = Layout("(i4,2x,a8,10i6)").read(record, 12);
  for (std::size_t c = 0; c < r.row.size(); ++c) r.row[c] = f[c + 2].integer;
  return r;
}

void write_record(std::ostream& out, const Layout& layout, int number, std::string_view id,
                  SeriesYears& row) {
  out << layout.write(number, field(id, 8), row.ify, row.ily, row.yfp, row.itn, row.idt, row.ips,
                      row.isb, row.icu, row.ics, row.cpa)
      << '\n';
}

void failure_notice(Console& console) {
  console.say(Layout("(/ 1x,'*** batch detail data file either not found or'/ 1x,"
                     "'*** error in reading in data. defaults are used.')")
                  .write());
}

}  // namespace

std::string detail_file_name(std::string_view prefix) {
  return std::string(prefix) + "_detail.txt";
}

void write_detail(std::ostream& out, Tsi1& tsi1, int first_detrending) {
  const Layout first("(t2,a,t37,a)");
  const Layout legend("(t2,a,t39,a)");
  out << first.write("num = number of series", "ident = series identification") << '\n';
  out << legend.write("ify = first year of time series", "ily = last year of time series") << '\n';
  out << legend.write("yfp = years from pith for rcs", "itn = transform (>3 = power*1000)") << '\n';
  out << legend.write("idt = series detrending options", "ips = series ar model order options")
      << '\n';
  out << legend.write("isb = stabilize variance options", "icu = use (1) or do not use (0)")
      << '\n';
  out << legend.write("ics = save (1) or do not save (0)", "cpa = common period analysis series")
      << '\n';
  out << Layout("(t20,a)").write("-- do not delete these lines --") << '\n';
  std::vector<DroppedSeries> dropped = tsi1.dropped;
  // The year fields ify and ily: six columns, more for years before -9999.
  const std::string year =
      std::to_string(year_field(earliest_year(tsi1, dropped, first_detrending), 6));
  out << Layout("(' num  ident   ',2a" + year +
                ",'   yfp   itn   ','idt   ips   isb   icu   ics   cpa')")
             .write("ify", "ily")
      << '\n';

  const Layout record("(i4,2x,a8,2i" + year + ",8i6)");
  std::sort(dropped.begin(), dropped.end(),
            [](const DroppedSeries& a, const DroppedSeries& b) { return a.position < b.position; });
  const int total = tsi1.count + static_cast<int>(dropped.size());
  std::size_t next_dropped = 0;
  int next_series = 1;
  for (int position = 1; position <= total; ++position) {
    if (next_dropped < dropped.size() && dropped[next_dropped].position == position) {
      DroppedSeries& d = dropped[next_dropped++];
      write_record(out, record, position, d.id, d.row);
      continue;
    }
    if (next_series > tsi1.count) break;
    SeriesYears& row = tsi1.year_row(next_series);
    if (first_detrending == fit::first_differences) row.ify -= 1;
    const std::string id =
        count(next_series) <= tsi1.ids.size() ? tsi1.ids[at(next_series)] : std::string(8, ' ');
    write_record(out, record, position, id, row);
    ++next_series;
  }
}

std::string write_detail(Units& units, std::string_view prefix, Tsi1& tsi1, int first_detrending) {
  const std::string name = detail_file_name(prefix);
  write_detail(units.create(unit::detail, name), tsi1, first_detrending);
  units.close(unit::detail);
  return name;
}

void say_detail_saved(Console& console, const std::string& name) {
  console.say(Layout("(/1x,'batch detail file saved: ',a)").write(name_field(name)));
}

DetailRead read_detail(std::istream& in, Tsi1& tsi1, int max_series) {
  DetailRead result;
  tsi1.detail_rows = 0;
  RecordStream records(in);
  for (int k = 0; k < kHeadLines; ++k) {
    if (!records.next()) {
      result.ok = false;  // the head lines are missing: nothing to read
      return result;
    }
  }
  for (int k = 1; k <= max_series; ++k) {
    std::optional<std::string> record = records.next();
    if (!record) break;
    DetailRecord r;
    try {
      r = read_record(*record);
    } catch (const ReadError&) {
      result.ok = false;
      break;
    }
    // A record numbered 0 ends the rows only when it is blank: one with an id or settings
    // is a row whose number was damaged, and the rows after it would be lost.
    if (r.number == 0) {
      result.ok = trim_right(*record).empty();
      break;
    }
    SeriesYears& row = tsi1.year_row(k);
    for (int c = 1; c <= kRowColumns; ++c) {
      row.col(c) = static_cast<int>(std::clamp<long long>(r.row[at(c)], -999999, 999999));
    }
    if (tsi1.ids.size() < count(k)) tsi1.ids.resize(count(k), std::string(8, ' '));
    tsi1.ids[at(k)] = field(r.id, 8);
    result.rows = tsi1.detail_rows = k;
  }
  return result;
}

DetailRead read_detail(Units& units, std::string_view prefix, Tsi1& tsi1, Console& console,
                       int max_series) {
  const std::string name = detail_file_name(prefix);
  if (!units.open_old(unit::series, name)) {
    tsi1.detail_rows = 0;
    failure_notice(console);
    return DetailRead{false, 0};
  }
  console.say(Layout("(/1x,'batch detail file opened:  ',a)").write(name_field(name)));
  units.out(unit::out)
      << Layout("(t2,'batch detail file processed: ',t35,a/)").write(name_field(name)) << '\n';
  DetailRead result = read_detail(units.in(unit::series), tsi1, max_series);
  units.close(unit::series);
  if (!result.ok) failure_notice(console);
  return result;
}

std::vector<std::string> detail_code_note(std::string_view file, std::string_view stage,
                                          std::string_view column, int option,
                                          const std::vector<int>& codes) {
  if (codes.empty()) return {};
  std::map<int, int> counts;
  for (int code : codes) ++counts[code];
  std::string listed;
  for (const auto& [code, n] : counts) {
    listed += (listed.empty() ? "" : ", ") + std::to_string(code) + " (" + std::to_string(n) + ")";
  }
  return {" *** batch detail file " + std::string(file) + ": the " + std::string(stage) + " of " +
              std::to_string(codes.size()) + " series",
          " *** follows their own codes there, not the log file's option " +
              std::to_string(option) + ": codes " + listed,
          " *** to change them, edit the " + std::string(column) + " column of that file"};
}

std::vector<std::string> detail_id_note(std::string_view file,
                                        const std::vector<DetailIdMismatch>& mismatches) {
  if (mismatches.empty()) return {};
  const std::size_t n = mismatches.size();
  std::vector<std::string> lines{" *** batch detail file " + std::string(file) + ": " +
                                 std::to_string(n) + (n == 1 ? " row holds" : " rows hold") +
                                 " the id of another series"};
  const Layout row("(7x,'row',i5,': ',a,' in the detail file, ',a,' in the data file')");
  for (std::size_t k = 0; k < std::min(n, kMismatchesShown); ++k) {
    const DetailIdMismatch& m = mismatches[k];
    lines.push_back(row.write(m.row, trim_right(m.detail_id), trim_right(m.series_id)));
  }
  if (n > kMismatchesShown) {
    lines.push_back("       and " + std::to_string(n - kMismatchesShown) + " more");
  }
  lines.push_back(" *** rows are taken by position: each series gets the row at its place");
  return lines;
}

}  // namespace dendro
