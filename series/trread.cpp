#include "series/trread.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <stdexcept>
#include <unordered_map>

#include "series/compact.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/fit_codes.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/records.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {

namespace {

constexpr int kSummaryRows = 8;
constexpr int kStatColumns = 7;
constexpr int kHeadEvery = 20;  // the per-series table repeats its head

enum class Kind { rings, index, mib, compact };

std::optional<Kind> data_kind(const std::string& code) {
  std::string c = code;
  for (char& ch : c) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (c == "mr") return Kind::rings;
  if (c == "ir") return Kind::index;
  if (c == "qz") return Kind::mib;
  if (c == "cd") return Kind::compact;
  return std::nullopt;
}

// The row that the per-file reset gives every series before a data file is read.
SeriesYears reset_row(int row, int transformation) {
  SeriesYears r;
  r.itn = transformation;
  r.icu = 1;
  r.ics = 1;
  r.cpa = row;
  return r;
}

// Row `row` of the year table, added with the per-file reset's values when the table is
// shorter.
SeriesYears& table_row(Tsi1& tsi1, int row, int transformation) {
  while (tsi1.years.size() < static_cast<std::size_t>(row)) {
    tsi1.years.push_back(reset_row(static_cast<int>(tsi1.years.size()) + 1, transformation));
  }
  return tsi1.years[at(row)];
}

// The format reader of the data kind, one series per call.
class SeriesSource {
 public:
  SeriesSource(std::istream& data, Kind kind, Commands& commands)
      : records_(data), kind_(kind), commands_(commands) {
    for (int h = 1; h <= 3; ++h) tucson_.header_lines[at(h)] = commands.header_line(h);
    tucson_.index_choice =
        "set option 1 \"tree-ring data type\" to 3 (tucson tree-ring index format) to read it";
  }

  SeriesRead next(Console& console, int max_years) {
    switch (kind_) {
      case Kind::rings:
      case Kind::index: {
        SeriesRead s = trrw_read(records_, kind_ == Kind::rings ? TucsonMode::mr : TucsonMode::ir,
                                 tucson_, console, nullptr, max_years);
        for (int h = 1; h <= 3; ++h) {
          commands_.set_header_line(h, tucson_.header_lines[at(h)]);
        }
        return s;
      }
      case Kind::mib:
        return rinfrn(records_, number_, console, max_years);
      case Kind::compact:
        return cdf(records_, number_, console, max_years);
    }
    return {};
  }
  // The number of series read from the file so far.
  int series_number() const {
    return kind_ == Kind::rings || kind_ == Kind::index ? tucson_.series_number : number_;
  }
  bool is_end(const SeriesRead& s) const { return kind_ == Kind::compact ? s.n < 0 : s.n < 1; }
  // Lines that say why the file gave no series, after the "no series" message.
  std::string no_series_note() const {
    if (kind_ == Kind::rings) return "\n" + tucson_no_series_note(tucson_, TucsonMode::mr);
    if (kind_ == Kind::index) return "\n" + tucson_no_series_note(tucson_, TucsonMode::ir);
    return "";
  }

 private:
  RecordStream records_;
  Kind kind_;
  Commands& commands_;
  TucsonFile tucson_;
  int number_ = 0;
};

void write_line(std::ostream& out, const std::string& line) { out << line << '\n'; }

void write_statistics_table(std::ostream& out, Tsi1& tsi1, StatsTable& stats) {
  write_line(out, Layout("(t2,'|------------------ statistics of ',"
                         "'raw tree-ring measurements ------------------|')")
                      .write());
  const SeriesTableLayout table(tsi1.year_row(tsi1.count + 1).ify, 7);
  for (int i = 1; i <= tsi1.count; ++i) {
    if (i == 1 || i % kHeadEvery == 0) write_line(out, table.head());
    const SeriesYears& y = tsi1.year_row(i);
    write_line(out, table.row(i, tsi1.ids[at(i)].substr(0, 7), y.ify, y.ily, y.ily - y.ify + 1) +
                        statistics_fields(stats.at(i, 2), stats.at(i, 3), stats.at(i, 4),
                                          stats.at(i, 5), stats.at(i, 6), stats.at(i, 7)));
  }
}

void write_summary(std::ostream& out, StatsTable& stats) {
  for (const std::string& line : summary_table_lines(stats)) write_line(out, line);
}

// The header lines of a ring-width file, after its first series is read.
void write_header_lines(std::ostream& out, const Commands& commands) {
  write_line(out, Layout("(t2,a)").write("data header lines:"));
  for (int h = 1; h <= 3; ++h) {
    const std::string line = commands.header_line(h);
    if (line.substr(0, 6) != "      ") write_line(out, Layout("(2x,a)").write(line));
  }
}

// The head of the gap report, before the first series kept.
void write_gap_head(std::ostream& out, int transformation) {
  write_line(out, Layout("(t2,'|------------ series gaps found ',"
                         "'based on any negative number found ------------|')")
                      .write());
  if (transformation > 0) {
    write_line(out, Layout("('      *** when data are transformed, ',"
                           "'zeros are also treated as missing ***')")
                        .write());
  }
  write_line(out, Layout("('       series      ident      ',"
                         "'results of scans for gaps or missing values')")
                      .write());
}

void say_and_write(Console& console, std::ostream& out, const std::string& note) {
  console.say(note);
  write_line(out, Layout("(t2,a)").write(note));
}

// Shows what taking one series came to, or stops the run on a series beyond the limits.
void report_taken(const SeriesTaken& taken, const Tsi1& tsi1, int transformation, std::ostream& out,
                  Console& console) {
  switch (taken.fate) {
    case SeriesTaken::Fate::refused:
      pause_and_stop(console, taken.message);
    case SeriesTaken::Fate::left_out:
      if (!taken.message.empty()) say_and_write(console, out, taken.message);
      return;
    case SeriesTaken::Fate::kept:
      if (taken.position == 1) write_gap_head(out, transformation);
      if (!taken.message.empty()) say_and_write(console, out, taken.message);
      write_gap_report(out, taken.gaps, taken.position, tsi1.ids[at(taken.position)]);
      return;
  }
}

// The end of the report: the gaps, the statistics table, the count and the summary.
TrreadResult report_set(const SetRead& set, Tsi1& tsi1, StatsTable& stats, int printout,
                        std::ostream& out, Console& console) {
  if (set.series_with_gaps == 0) {
    write_line(out, Layout("(28x,a)").write("--- no gaps in data found ---"));
  }
  if (series_statistics_printed(printout)) write_statistics_table(out, tsi1, stats);
  console.say(Layout("(i6,' series from',i7,' to',i7,i8,' years')")
                  .write(set.count, set.first_year, set.last_year, set.years()));
  write_line(out, Layout("(t2,'number of series read in: ',i4,'   from',i7,'  to',i7,i8,' years')")
                      .write(set.count, set.first_year, set.last_year, set.years()));
  TrreadResult result;
  result.title = set.title;
  result.series_with_gaps = set.series_with_gaps;
  result.presence = set.presence;
  result.detail_id_mismatches = set.detail_id_mismatches;
  if (set.count > 1) {
    write_line(out, Layout("(t2,'|---------------- summary of raw tree-ring ',"
                           "'series statistics ------------------|'/)")
                        .write());
    if (!set.too_long.empty()) pause_and_stop(console, set.too_long);
    summarise_statistics(stats, set.count);
    result.presence.assign(count(set.count), 1);
    result.largest_mean = stats.at(kSummaryRows, 2);
    write_summary(out, stats);
  }
  return result;
}

}  // namespace

std::string series_too_long(std::string_view id, int n, int max_years) {
  // The count in five columns as the message has it, wider rather than as asterisks.
  return Layout("('*** series read in exceeds maximum allowable ','length: ',a8,2x," +
                whole_i(n, 5) + ",' > '," + whole_i(max_years, 5) + ",' max ***')")
      .write(field(id, 8), n, max_years);
}

std::string years_outside(const SeriesRead& s) {
  const long long last_year = static_cast<long long>(s.first_year) + s.n - 1;
  if (s.first_year >= kEarliestYear && last_year <= kLatestYear) return "";
  return "*** series " + std::string(trim_right(s.id)) + ": years " + std::to_string(s.first_year) +
         " to " + std::to_string(last_year) + " lie outside " + std::to_string(kEarliestYear) +
         " to " + std::to_string(kLatestYear) + ", the years that the programs take";
}

SeriesIntake::SeriesIntake(Tsi1& tsi1, StatsTable& stats, const IntakeRules& rules)
    : tsi1_(tsi1), stats_(stats), rules_(rules) {
  tsi1_.dropped.clear();
}

std::string SeriesIntake::limit_passed(const SeriesRead& s, int number) const {
  if (s.n > rules_.max_years) return series_too_long(s.id, s.n, rules_.max_years);
  if (number > rules_.max_series) {
    return Layout("('*** number of series exceeds maximum allowed: ',i4,' max ***')")
        .write(rules_.max_series);
  }
  return years_outside(s);
}

SeriesTaken SeriesIntake::take(SeriesRead s, int number) {
  std::string refusal = limit_passed(s, number);
  if (!refusal.empty()) return {SeriesTaken::Fate::refused, std::move(refusal), 0, {}};
  // Rows of the batch detail file, one per series of the file in file order (in an
  // interactive run the per-file reset's rows).
  const SeriesYears detail_row = table_row(tsi1_, number, rules_.transformation);
  compare_detail_id(s.id, number);
  MiaResult gaps = mia(s.values, s.first_year, rules_.transformation);
  const int present = static_cast<int>(s.values.size()) - gaps.missing;
  // No value gives no curve and no index, and one value no first difference: the file
  // goes on without such a series.
  if (present == 0) return leave_out(s, number, detail_row, "every value is missing");
  if (rules_.batch && detail_row.icu != 1) return leave_out(s, number, detail_row, "");
  if (present == 1 && rules_.first_differences) {
    return leave_out(s, number, detail_row, "one value has no first difference");
  }
  return keep(std::move(s), detail_row, std::move(gaps));
}

// Rows are taken by position, as stored detail files rely on; a row that holds another
// series' id (a series taken out of the data file shifts every later row) is only listed.
// The id of row `number` is still the detail file's: the series before took rows below it.
void SeriesIntake::compare_detail_id(std::string_view id, int number) {
  if (!rules_.batch || number > tsi1_.detail_rows || dendro::count(number) > tsi1_.ids.size()) {
    return;
  }
  const std::string& detail_id = tsi1_.ids[at(number)];
  std::string series_id = field(id, 8);
  if (detail_id != series_id) {
    set_.detail_id_mismatches.push_back({number, detail_id, std::move(series_id)});
  }
}

SeriesTaken SeriesIntake::leave_out(const SeriesRead& s, int number, const SeriesYears& detail_row,
                                    std::string_view why) {
  DroppedSeries d{number, s.id, detail_row};
  d.row.ify = s.first_year;
  d.row.ily = s.first_year + s.n - 1;
  tsi1_.dropped.push_back(d);
  SeriesTaken taken{SeriesTaken::Fate::left_out, "", 0, {}};
  if (!why.empty()) {
    taken.message = "*** series " + std::to_string(number) + " (" + std::string(trim_right(s.id)) +
                    "): " + std::string(why) + "; the series is left out";
  }
  return taken;
}

SeriesTaken SeriesIntake::keep(SeriesRead s, const SeriesYears& detail_row, MiaResult gaps) {
  const int position = ++count_;
  // In a batch run all ten columns go with the series, so that every setting of the
  // detail file stays with its own series when the rows close up.
  if (rules_.batch) table_row(tsi1_, position, rules_.transformation) = detail_row;
  SeriesYears& row = table_row(tsi1_, position, rules_.transformation);
  row.ify = s.first_year;
  row.ily = s.first_year + s.n - 1;
  const std::size_t kept = dendro::count(position);
  if (tsi1_.ids.size() < kept) tsi1_.ids.resize(kept, std::string(8, ' '));
  tsi1_.ids[at(position)] = field(s.id, 8);
  if (position == 1) set_.title = field(field(s.text, 80), 85);
  // The set's years come from its series alone (the first series sets them), so that no
  // starting value of the search can stretch the span of a set that lies before it.
  set_.first_year = position == 1 ? row.ify : std::min(set_.first_year, row.ify);
  set_.last_year = position == 1 ? row.ily : std::max(set_.last_year, row.ily);
  if (gaps.missing > 0) ++set_.series_with_gaps;
  set_.presence = gaps.presence;
  keep_statistics(s, gaps);

  SeriesTaken taken{SeriesTaken::Fate::kept, "", position, std::move(gaps)};
  // Two series of one id cannot be told apart in the outputs: say so.
  auto [seen, fresh] = first_with_id_.emplace(field(s.id, 8), position);
  if (!fresh) {
    taken.message = "*** series " + std::to_string(position) + " has the id of series " +
                    std::to_string(seen->second) + ": " + std::string(trim_right(s.id));
  }
  columns_.push_back(std::move(s.values));
  return taken;
}

void SeriesIntake::keep_statistics(const SeriesRead& s, const MiaResult& gaps) {
  const Moments m = moment1(s.values, gaps.presence);
  const float row[kStatColumns] = {static_cast<float>(s.n - gaps.missing),
                                   m.mean,
                                   m.std_dev,
                                   m.skewness,
                                   m.kurtosis,
                                   m.mean_sensitivity,
                                   m.autocorrelation};
  for (int c = 1; c <= kStatColumns; ++c) stats_.at(count_, c) = row[at(c)];
}

SetRead SeriesIntake::finish() {
  set_.count = count_;
  SeriesYears& span = table_row(tsi1_, count_ + 1, rules_.transformation);
  span.ify = set_.first_year;
  span.ily = set_.last_year;
  if (count_ > 1 && set_.years() > rules_.max_years) {
    set_.too_long = Layout(
                        "('*** total series length exceeds maximum ',"
                        "'allowable length: ',i6,' > ',i6,' max ***')")
                        .write(set_.years(), rules_.max_years);
  }
  std::size_t longest = 0;
  for (const auto& c : columns_) longest = std::max(longest, c.size());
  tsi1_.reshape(static_cast<int>(longest), count_);
  for (int i = 1; i <= count_; ++i) {
    const std::vector<float>& c = columns_[at(i)];
    std::copy(c.begin(), c.end(), tsi1_.column(i).begin());
  }
  return set_;
}

void summarise_statistics(StatsTable& stats, int count) {
  const std::vector<int> presence(dendro::count(count), 1);
  for (int j = 1; j <= kStatColumns; ++j) {
    std::vector<float> x(dendro::count(count));
    for (int i = 1; i <= count; ++i) x[at(i)] = stats.at(i, j);
    const Moments m = moment1(x, presence);
    const FiveNumbers f = mfs1(x, presence);
    const float rows[kSummaryRows] = {m.mean,    m.std_dev,     f.median,      f.spread,
                                      f.minimum, f.lower_hinge, f.upper_hinge, f.maximum};
    for (int r = 1; r <= kSummaryRows; ++r) stats.at(r, j) = rows[at(r)];
  }
}

TrreadResult trread(std::istream& data, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, std::ostream& out, Console& console, int max_years,
                    int max_series) {
  const std::optional<Kind> kind = data_kind(commands.data_kind());
  if (!kind) {
    throw Stop("*** data kind code \"" + commands.data_kind() + "\" is none of mr, ir, qz, cd",
               kFailureStatus);
  }
  const int transformation = icommands[opt::transformation];
  write_line(out, Layout("(t2,'|------------------- tree-ring series read ',"
                         "'in for processing ------------------|')")
                      .write());
  SeriesSource source(data, *kind, commands);
  const bool first_differences = icommands[opt::first_detrending] == fit::first_differences ||
                                 icommands[opt::second_detrending] == fit::first_differences;
  SeriesIntake intake(
      tsi1, stats,
      {transformation, commands.batch_run(), max_years, max_series, first_differences});
  for (;;) {
    stop_if_interrupted();
    SeriesRead s = source.next(console, max_years);
    const int k = source.series_number();
    if (*kind == Kind::rings && k == 1) write_header_lines(out, commands);
    if (source.is_end(s)) break;
    report_taken(intake.take(std::move(s), k), tsi1, transformation, out, console);
  }
  if (intake.count() == 0) {
    pause_and_stop(console,
                   " *** nc .le. 0 after reading tree-ring data" + source.no_series_note());
  }
  TrreadResult result =
      report_set(intake.finish(), tsi1, stats, icommands[opt::printout], out, console);
  // The current series id as the reading of the end of the data left it.
  result.current_id = *kind == Kind::index ? std::string(8, '*') : std::string(8, ' ');
  return result;
}

TrreadResult trread(Units& units, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, Console& console, int max_years, int max_series) {
  return trread(units.in(unit::data), tsi1, stats, commands, icommands, units.out(unit::out),
                console, max_years, max_series);
}

void align_on_chronology(Tsi1& tsi1) {
  if (tsi1.count < 1) return;
  const SeriesYears set = tsi1.year_row(tsi1.count + 1);
  const int length = set.ily - set.ify + 1;
  if (length < 1) return;
  Tsi1 aligned;
  aligned.reshape(length, tsi1.count);
  for (int i = 1; i <= tsi1.count; ++i) {
    const SeriesYears& row = tsi1.year_row(i);
    const long long n =
        std::min<long long>(static_cast<long long>(row.ily) - row.ify + 1, tsi1.rows);
    const long long offset = static_cast<long long>(row.ify) - set.ify;
    if (n < 1) continue;
    if (offset < 0 || offset + n > length) {
      throw std::logic_error("align_on_chronology: series " + std::to_string(i) +
                             " lies outside the set's years");
    }
    std::span<const float> from = tsi1.column(i).first(static_cast<std::size_t>(n));
    std::copy(from.begin(), from.end(), aligned.column(i).begin() + offset);
  }
  tsi1.rows = aligned.rows;
  tsi1.matrix = std::move(aligned.matrix);
}

}  // namespace dendro
