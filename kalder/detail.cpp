#include "kalder/detail.h"

#include <algorithm>
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
  out << Layout("(' num  ident      ify   ily   yfp   itn   ','idt   ips   isb   icu   ics   cpa')")
             .write()
      << '\n';

  const Layout record("(i4,2x,a8,10i6)");
  std::vector<DroppedSeries> dropped = tsi1.dropped;
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

void write_detail(Units& units, std::string_view prefix, Tsi1& tsi1, int first_detrending,
                  Console& console) {
  const std::string name = detail_file_name(prefix);
  write_detail(units.create(unit::detail, name), tsi1, first_detrending);
  console.say(Layout("(/1x,'batch detail file saved: ',a)").write(name_field(name)));
  units.close(unit::detail);
}

DetailRead read_detail(std::istream& in, Tsi1& tsi1, int max_series) {
  DetailRead result;
  RecordStream records(in);
  for (int k = 0; k < kHeadLines; ++k) {
    if (!records.next()) {
      result.ok = false;  // the head lines are missing: nothing to read
      return result;
    }
  }
  const Layout layout("(i4,2x,a8,10i6)");
  for (int k = 1; k <= max_series; ++k) {
    std::optional<std::string> record = records.next();
    if (!record) break;
    std::vector<Field> f;
    try {
      f = layout.read(*record, 12);
    } catch (const ReadError&) {
      result.ok = false;
      break;
    }
    if (f[0].integer == 0) break;
    SeriesYears& row = tsi1.year_row(k);
    for (int c = 1; c <= 10; ++c) {
      row.col(c) = static_cast<int>(
          std::clamp<long long>(f[static_cast<std::size_t>(c + 1)].integer, -999999, 999999));
    }
    if (tsi1.ids.size() < count(k)) tsi1.ids.resize(count(k), std::string(8, ' '));
    tsi1.ids[at(k)] = field(f[1].text, 8);
    result.rows = k;
  }
  return result;
}

DetailRead read_detail(Units& units, std::string_view prefix, Tsi1& tsi1, Console& console,
                       int max_series) {
  const std::string name = detail_file_name(prefix);
  if (!units.open_old(unit::series, name)) {
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

}  // namespace dendro
