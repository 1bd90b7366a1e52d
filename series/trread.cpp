#include "series/trread.h"

#include <algorithm>
#include <cctype>
#include <ostream>
#include <stdexcept>
#include <unordered_map>

#include "series/compact.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/layout.h"
#include "series/records.h"
#include "series/stop.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {

namespace {

constexpr int kSummaryRows = 8;
constexpr int kStatColumns = 7;
constexpr int kHeadEvery = 20;  // the per-series table repeats its head
// The years that the programs take: the first and last year of the set are searched from
// 9999 and -9999, so that a set wholly outside these years would get a wrong span.
constexpr int kEarliestYear = -9999;
constexpr int kLatestYear = 9999;

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
  return tsi1.years[static_cast<std::size_t>(row - 1)];
}

// The format reader of the data kind, one series per call.
class SeriesSource {
 public:
  SeriesSource(std::istream& data, Kind kind, Commands& commands)
      : records_(data), kind_(kind), commands_(commands) {
    for (int h = 1; h <= 3; ++h) tucson_.header_lines[static_cast<std::size_t>(h - 1)] = commands.header_line(h);
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
          commands_.set_header_line(h, tucson_.header_lines[static_cast<std::size_t>(h - 1)]);
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

// Whether no value of the series is present: every value is missing (negative, or also 0
// when the data are transformed), as the gap scan counts them.
bool every_value_missing(const std::vector<float>& values, int transformation) {
  return std::all_of(values.begin(), values.end(),
                     [transformation](float v) { return v < 0 || (transformation > 0 && v <= 0); });
}

void write_statistics_table(std::ostream& out, Tsi1& tsi1, StatsTable& stats) {
  write_line(out, Layout("(t2,'|------------------ statistics of ',"
                         "'raw tree-ring measurements ------------------|')")
                      .write());
  const Layout head("(t2,'series   ident   frst   last   ',"
                    "'year    mean   stdev   skew   kurt   sens   ac(1)')");
  const Layout row("(t2,i5,3x,a7,i6,2i7,2f8.3,3f7.3,f8.3)");
  for (int i = 1; i <= tsi1.count; ++i) {
    if (i == 1 || i % kHeadEvery == 0) write_line(out, head.write());
    const SeriesYears& y = tsi1.year_row(i);
    std::vector<double> v;
    for (int c = 2; c <= kStatColumns; ++c) v.push_back(stats.at(i, c));
    write_line(out, row.write(i, tsi1.ids[static_cast<std::size_t>(i - 1)].substr(0, 7), y.ify,
                              y.ily, y.ily - y.ify + 1, v));
  }
}

// Rows 1 to 8 of columns 1 to 7 become the summary over the series: mean, standard
// deviation, median, hinge spread, minimum, lower hinge, upper hinge, maximum.
void summarise(StatsTable& stats, int count, std::vector<int>& presence) {
  presence.assign(static_cast<std::size_t>(count), 1);
  for (int j = 1; j <= kStatColumns; ++j) {
    std::vector<float> x(static_cast<std::size_t>(count));
    for (int i = 1; i <= count; ++i) x[static_cast<std::size_t>(i - 1)] = stats.at(i, j);
    const Moments m = moment1(x, presence);
    const FiveNumbers f = mfs1(x, presence);
    const float rows[kSummaryRows] = {m.mean,    m.std_dev,     f.median,      f.spread,
                                      f.minimum, f.lower_hinge, f.upper_hinge, f.maximum};
    for (int r = 1; r <= kSummaryRows; ++r) stats.at(r, j) = rows[r - 1];
  }
}

void write_summary(std::ostream& out, StatsTable& stats) {
  write_line(out, Layout("(t33,'year    mean   stdev   skew   kurt   sens   ','ac(1)')").write());
  const char* const labels[kSummaryRows] = {
      "arithmetic mean",     "standard deviation",         "median (50th quantile)",
      "interquartile range", "minimum value",              "lower hinge (25th quantile)",
      "upper hinge (75th quantile)", "maximum value"};
  const Layout row("(t2,a,t33,i4,2f8.3,3f7.3,f8.3)");
  for (int r = 1; r <= kSummaryRows; ++r) {
    // The count of the mean row is rounded, the others truncated.
    const float count = stats.at(r, 1);
    const int shown = r == 1 ? static_cast<int>(count + 0.5f) : static_cast<int>(count);
    std::vector<double> v;
    for (int c = 2; c <= kStatColumns; ++c) v.push_back(stats.at(r, c));
    write_line(out, row.write(labels[r - 1], shown, v));
  }
}

}  // namespace

std::string series_too_long(std::string_view id, int n, int max_years) {
  // The count in five columns as the message has it, wider rather than as asterisks.
  const std::string width = std::to_string(std::max<std::size_t>(5, std::to_string(n).size()));
  return Layout("('*** series read in exceeds maximum allowable ','length: ',a8,2x,i" + width +
                ",' > ',i5,' max ***')")
      .write(field(id, 8), n, max_years);
}

TrreadResult trread(std::istream& data, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, std::ostream& out, Console& console,
                    int max_years, int max_series) {
  // Start of the data file.
  const int transformation = icommands[opt::transformation];
  const int printout = icommands[opt::printout];
  const std::optional<Kind> kind = data_kind(commands.data_kind());
  if (!kind) {
    throw Stop("*** data kind code \"" + commands.data_kind() + "\" is none of mr, ir, qz, cd",
               kFailureStatus);
  }
  const bool batch = commands.batch_run();
  write_line(out, Layout("(t2,'|------------------- tree-ring series read ',"
                         "'in for processing ------------------|')")
                      .write());

  TrreadResult result;
  SeriesSource source(data, *kind, commands);
  std::vector<std::vector<float>> columns;  // the accepted series, as read
  std::unordered_map<std::string, int> first_with_id;
  tsi1.dropped.clear();
  int count = 0;
  int earliest = 9999, latest = -9999;

  // Series loop.
  for (;;) {
    result.current_id = *kind == Kind::index ? std::string(8, '*') : std::string(8, ' ');
    SeriesRead s = source.next(console, max_years);
    const int k = source.series_number();
    if (*kind == Kind::rings && k == 1) {
      write_line(out, Layout("(t2,a)").write("data header lines:"));
      for (int h = 1; h <= 3; ++h) {
        const std::string line = commands.header_line(h);
        if (line.substr(0, 6) != "      ") write_line(out, Layout("(2x,a)").write(line));
      }
    }
    if (source.is_end(s)) break;
    result.current_id = s.id;
    if (s.n > max_years) pause_and_stop(console, series_too_long(s.id, s.n, max_years));
    if (k > max_series) {
      pause_and_stop(console, Layout("('*** number of series exceeds maximum allowed: ',i4,"
                                     "' max ***')")
                                  .write(max_series));
    }
    const int last_year = s.first_year + s.n - 1;
    if (s.first_year < kEarliestYear || last_year > kLatestYear) {
      pause_and_stop(console, "*** series " + std::string(trim_right(s.id)) + ": years " +
                                  std::to_string(s.first_year) + " to " +
                                  std::to_string(last_year) + " lie outside " +
                                  std::to_string(kEarliestYear) + " to " +
                                  std::to_string(kLatestYear) +
                                  ", the years that the programs take");
    }
    // Rows of the batch detail file, one per series of the file in file order (in an
    // interactive run the per-file reset's rows).
    const SeriesYears detail_row = table_row(tsi1, k, transformation);
    const bool all_missing = every_value_missing(s.values, transformation);
    if ((batch && detail_row.icu != 1) || all_missing) {
      if (all_missing) {
        // No value gives no curve and no index: the file goes on without the series.
        const std::string note = "*** series " + std::to_string(k) + " (" +
                                 std::string(trim_right(s.id)) +
                                 "): every value is missing; the series is left out";
        console.say(note);
        write_line(out, Layout("(t2,a)").write(note));
      }
      DroppedSeries d{k, s.id, detail_row};
      d.row.ify = s.first_year;
      d.row.ily = last_year;
      tsi1.dropped.push_back(d);
      continue;
    }
    if (batch) {
      ++count;
      // All ten columns go with the series, so that every setting of the detail file
      // stays with its own series when the rows close up.
      table_row(tsi1, count, transformation) = detail_row;
    } else {
      ++count;
    }
    SeriesYears& row = table_row(tsi1, count, transformation);
    row.ify = s.first_year;
    row.ily = last_year;
    if (tsi1.ids.size() < static_cast<std::size_t>(count)) {
      tsi1.ids.resize(static_cast<std::size_t>(count), std::string(8, ' '));
    }
    tsi1.ids[static_cast<std::size_t>(count - 1)] = field(s.id, 8);

    if (count == 1) {
      result.title = field(field(s.text, 80), 85);
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
    earliest = std::min(earliest, s.first_year);
    latest = std::max(latest, last_year);

    // Two series of one id cannot be told apart in the outputs: say so.
    auto [seen, fresh] = first_with_id.emplace(field(s.id, 8), count);
    if (!fresh) {
      const std::string note = "*** series " + std::to_string(count) + " has the id of series " +
                               std::to_string(seen->second) + ": " + std::string(trim_right(s.id));
      console.say(note);
      write_line(out, Layout("(t2,a)").write(note));
    }

    MiaResult gaps = mia(s.values, s.id, count, s.first_year, transformation, out);
    if (gaps.missing > 0) ++result.series_with_gaps;
    result.presence = gaps.presence;

    std::vector<float> buffer = s.values;
    const Moments m = moment1(buffer, gaps.presence);
    stats.at(count, 1) = static_cast<float>(s.n - gaps.missing);
    stats.at(count, 2) = m.mean;
    stats.at(count, 3) = m.std_dev;
    stats.at(count, 4) = m.skewness;
    stats.at(count, 5) = m.kurtosis;
    stats.at(count, 6) = m.mean_sensitivity;
    stats.at(count, 7) = m.autocorrelation;
    columns.push_back(std::move(s.values));
  }

  // End of data.
  if (count == 0) {
    pause_and_stop(console, " *** nc .le. 0 after reading tree-ring data" + source.no_series_note());
  }
  if (result.series_with_gaps == 0) {
    write_line(out, Layout("(28x,a)").write("--- no gaps in data found ---"));
  }
  SeriesYears& set = table_row(tsi1, count + 1, transformation);
  set.ify = earliest;
  set.ily = latest;
  const int total = latest - earliest + 1;

  std::size_t longest = 0;
  for (const auto& c : columns) longest = std::max(longest, c.size());
  tsi1.reshape(static_cast<int>(longest), count);
  for (int i = 1; i <= count; ++i) {
    const auto& c = columns[static_cast<std::size_t>(i - 1)];
    std::copy(c.begin(), c.end(), tsi1.column(i).begin());
  }

  if (printout > 1) write_statistics_table(out, tsi1, stats);
  console.say(Layout("(i6,' series from',i7,' to',i7,i8,' years')").write(count, earliest, latest, total));
  write_line(out, Layout("(t2,'number of series read in: ',i4,'   from',i7,'  to',i7,i8,' years')")
                      .write(count, earliest, latest, total));

  if (count > 1) {
    write_line(out, Layout("(t2,'|---------------- summary of raw tree-ring ',"
                           "'series statistics ------------------|'/)")
                        .write());
    if (total > max_years) {
      pause_and_stop(console, Layout("('*** total series length exceeds maximum ',"
                                     "'allowable length: ',i6,' > ',i6,' max ***')")
                                  .write(total, max_years));
    }
    summarise(stats, count, result.presence);
    result.largest_mean = stats.at(kSummaryRows, 2);
    write_summary(out, stats);
  }
  return result;
}

TrreadResult trread(Units& units, Tsi1& tsi1, StatsTable& stats, Commands& commands,
                    const Icommands& icommands, Console& console, int max_years,
                    int max_series) {
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
    const long long n = std::min<long long>(static_cast<long long>(row.ily) - row.ify + 1, tsi1.rows);
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
