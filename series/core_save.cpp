#include "series/core_save.h"

#include <ostream>
#include <stdexcept>
#include <string>

#include "series/compact.h"
#include "series/files/interrupts.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {

namespace {

constexpr int kLongestColumnLine = 8998;  // 6 + 9 x 999 series
constexpr std::string_view kMissingField = " -9.9900";
constexpr std::string_view kMissingDot = "   .    ";

// The values of series i, from its first to its last year, in the aligned matrix.
std::span<float> stored_values(Tsi1& tsi1, int i) {
  const SeriesYears& set = tsi1.year_row(tsi1.count + 1);
  const SeriesYears& row = tsi1.year_row(i);
  const long long offset = static_cast<long long>(row.ify) - set.ify;
  const long long n = static_cast<long long>(row.ily) - row.ify + 1;
  if (n < 1) return {};
  if (offset < 0 || offset + n > tsi1.rows) {
    throw std::out_of_range("sis: series " + std::to_string(i) +
                            " lies outside the aligned series matrix");
  }
  return tsi1.column(i).subspan(static_cast<std::size_t>(offset), static_cast<std::size_t>(n));
}

void save_columns(std::ostream& out, Tsi1& tsi1, int code, Console& console) {
  if (6 + 9LL * tsi1.count > kLongestColumnLine) {
    console.say("*** too many series to store in column mode ***");
    return;
  }
  std::vector<int> saved;
  int first = 0, last = 0;
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesYears& row = tsi1.year_row(i);
    if (row.ics != 1) continue;
    if (saved.empty() || row.ify < first) first = row.ify;
    if (saved.empty() || row.ily > last) last = row.ily;
    saved.push_back(i);
  }
  if (saved.empty()) return;

  const std::string_view separator = code == save::spaces ? " " : code == save::tabs ? "\t" : ",";
  std::vector<Value> head;
  for (int i : saved) {
    if (code != save::spaces) head.emplace_back(separator);
    head.emplace_back(std::string_view(tsi1.ids[at(i)]));
  }
  const Layout head_layout(code == save::spaces ? "('  year',1000(1x,a8))"
                                                : "(' year',1000(a,a8))");
  out << head_layout.write_values(head) << '\n';

  const int set_first = tsi1.year_row(tsi1.count + 1).ify;
  const Layout line_layout("(i6,1000(a,f8.4))");
  std::vector<Value> fields;
  for (int year = first; year <= last; ++year) {
    stop_if_interrupted();  // a line holds every series
    fields.clear();
    fields.emplace_back(static_cast<long long>(year));
    const int row = year - set_first + 1;
    for (int i : saved) {
      fields.emplace_back(separator);
      fields.emplace_back(static_cast<double>(tsi1.at(row, i)));
    }
    std::string line = line_layout.write_values(fields);
    if (code == save::spaces) {
      // A missing value shows as a period, so that programs reading the columns see a gap.
      for (std::size_t at = 7; at + kMissingField.size() <= line.size(); at += 9) {
        if (std::string_view(line).substr(at, kMissingField.size()) == kMissingField) {
          line.replace(at, kMissingDot.size(), kMissingDot);
        }
      }
    }
    out << line << '\n';
  }
}

// A series with a value that its records cannot hold (in the index records 10 or more, or
// one that would read back as the fill that ends a series; in the ring-width records 100
// or more, which would join the value before it) is left out of the save rather than
// written as asterisks or as another value; the console says which value and which saves
// hold it. `records` names the records and their range, as "index records (-0.999 to 9.989)".
void say_left_out(Console& console, std::string_view id, int first_year,
                  std::span<const float> values, std::size_t misfit, std::string_view records) {
  console.say(" *** series " + std::string(trim_right(id)) + " is left out of the saved series:");
  console.say(Layout("('     its value ',f0.3,' in ',i0,' does not fit the ',a)")
                  .write(values[misfit], first_year + static_cast<int>(misfit), records));
  console.say(ring_misfit(values) ? "     core series save 5 to 7 (columns) holds it"
                                  : "     core series save 1 (ring-width records) or 5 to 7 "
                                    "(columns) holds it");
}

}  // namespace

void sis(std::ostream& out, Tsi1& tsi1, int code, std::string_view kind_tag, Console& console) {
  if (code >= save::spaces && code <= save::commas) {
    save_columns(out, tsi1, code, console);
    return;
  }
  if (code < save::tucson_rings || code > save::compact) return;
  for (int i = 1; i <= tsi1.count; ++i) {
    stop_if_interrupted();
    const SeriesYears& row = tsi1.year_row(i);
    if (row.ics != 1) continue;
    const std::string& id = tsi1.ids[at(i)];
    std::span<const float> values = stored_values(tsi1, i);
    switch (code) {
      case save::tucson_rings:
        if (const auto misfit = ring_misfit(values)) {
          say_left_out(console, id, row.ify, values, *misfit,
                       "ring-width records (-9.998 to 99.999)");
          break;
        }
        trrw_write(out, TucsonMode::mw, id, row.ify, values, {}, kind_tag);
        break;
      case save::tucson_index:
      case save::mib_index: {
        // Index formats have no room for a sign: a negative value is written as 0.
        std::vector<float> buffer(values.begin(), values.end());
        for (float& v : buffer) v = v < 0 ? 0.0f : v;
        if (const auto misfit = index_misfit(buffer, {})) {
          say_left_out(console, id, row.ify, buffer, *misfit, "index records (-0.999 to 9.989)");
          break;
        }
        const std::vector<int> depth(buffer.size(), 1);
        trrw_write(out, code == save::tucson_index ? TucsonMode::iw : TucsonMode::qz, id, row.ify,
                   buffer, depth, kind_tag);
        break;
      }
      default:
        datw(out, id, values, row.ify, kind_tag);
        break;
    }
  }
}

MiaResult mia(std::span<const float> values, int first_year, int transformation) {
  MiaResult r;
  r.presence.assign(values.size(), 1);
  for (std::size_t j = 0; j < values.size(); ++j) {
    const bool missing = values[j] < 0 || (transformation > 0 && values[j] <= 0);
    if (!missing) continue;
    r.presence[j] = 0;
    ++r.missing;
    const int year = first_year + static_cast<int>(j);
    if (r.gaps.empty() || year - r.gaps.back().last >= 2) {
      r.gaps.push_back({year, year});
    } else {
      r.gaps.back().last = year;
    }
  }
  return r;
}

void write_gap_report(std::ostream& out, const MiaResult& gaps, int series_number,
                      std::string_view id) {
  if (gaps.missing == 0) return;
  std::vector<long long> pairs;  // first and last year of each gap
  for (const YearRun& g : gaps.gaps) {
    pairs.push_back(g.first);
    pairs.push_back(g.last);
  }
  out << Layout("(i12,7x,a8,7x,'missing values found:',i4,' in',i4,' gaps')")
             .write(series_number, field(id, 8), gaps.missing, static_cast<int>(gaps.gaps.size()))
      << '\n';
  // A gap in years that five columns cannot hold widens the year fields of its report; the
  // "/" and the blank before each year keep them apart.
  const std::string year = year_descriptor(gaps.gaps.front().first, 5, 0);
  out << Layout("((13x,'/',4(" + year + ",1x," + year + ",' /')))").write(pairs) << '\n';
  out << Layout("(7x,a)").write(std::string(68, '-')) << '\n';
}

}  // namespace dendro
