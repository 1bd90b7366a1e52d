#include "series/compact.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>

#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {

namespace {

constexpr int kMaxCompactTitles = 3;
constexpr int kMaxMibErrors = 5;
constexpr int kLongestId = 40;
constexpr float kMibUnit = 0.01f;

std::string trimmed(std::string_view s) { return std::string(trim_right(s)); }

bool all_blank(std::string_view s) { return s.find_first_not_of(" \t") == std::string_view::npos; }

// The first 80 columns of a record: the readers look no further.
std::string first_80(const std::string& record) {
  return record.substr(0, std::min<std::size_t>(record.size(), 80));
}

// A filled record as a reader takes it: a header when its fields read, else a title.
struct HeaderRecord {
  std::string text;                          // the first 80 columns
  std::optional<std::vector<Field>> fields;  // nothing: a title
  std::string fault;                         // a title: the field that did not read
};

// The next record with anything in its first 80 columns, read through the three fields of
// `header`; nothing at the end of the file.
std::optional<HeaderRecord> next_header(RecordStream& in, const Layout& header) {
  while (std::optional<std::string> record = in.next()) {
    HeaderRecord h{first_80(*record), std::nullopt, ""};
    if (all_blank(h.text)) continue;
    try {
      h.fields = header.read(h.text, 3);
    } catch (const ReadError& e) {
      h.fault = describe_field(h.text, e.column, e.width) + " do not read as a number";
    }
    return h;
  }
  return std::nullopt;
}

// True when `record` holds `mark` at `column` (1-based), in either case.
bool marked(std::string_view record, int column, std::string_view mark) {
  const std::string_view at = field_text(record, column, static_cast<int>(mark.size()));
  if (at.size() != mark.size()) return false;
  for (std::size_t k = 0; k < mark.size(); ++k) {
    if (std::tolower(static_cast<unsigned char>(at[k])) != mark[k]) return false;
  }
  return true;
}

// A compact header carries "=n" after its count and "=i" after its first year (columns 9-10
// and 19-21, as datw writes them): a record with either that does not read as a header is
// a damaged header, not a title. Taken for a title, its series would be lost, and its
// values read as headers.
bool compact_header_marks(std::string_view record) {
  return marked(record, 9, "=n") || marked(record, 19, "=i");
}

// The first title of the data: shown on the console and kept with the series.
void first_title(Console& console, SeriesRead& s, const std::string& r80) {
  console.say(Layout("(/1x,'title of data:'/1x,a)").write(trimmed(r80)));
  s.text = field(r80, 80);
}

// The result that marks the end of the data, keeping what `s` has read so far.
SeriesRead& end_of_data(SeriesRead& s, int& series_number) {
  s.n = kEndOfData;
  series_number = kEndOfData;
  return s;
}

double power_of_ten(int e) { return std::pow(10.0, e); }

// Nearest integer, halves away from zero; values beyond any field (and NaN) saturate, so
// that they show as an overflowed field rather than wrapping around.
long long nearest(double x) {
  constexpr double kLimit = 9.0e17;
  if (!(std::fabs(x) < kLimit))
    return x < 0 ? -static_cast<long long>(kLimit) : static_cast<long long>(kLimit);
  return std::llround(x);
}

// A value layout read from a file must read numbers only: an A field would read as 0.
bool reads_numbers(std::string_view layout) {
  char quote = 0;
  for (char c : layout) {
    if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == '\'' || c == '"') {
      quote = c;
    } else if (c == 'a' || c == 'A') {
      return false;
    }
  }
  return true;
}

// The scale exponents a compact header may give: 10^6 times any non-zero integer is no
// measurement, and below 10^-37 a power of ten is no normal single-precision number, so
// that every value would vanish.
constexpr int kLargestExponent = 5;
constexpr int kSmallestExponent = -37;

// Why a scale exponent read from `line` is refused; empty when it is taken.
std::string exponent_refused(int line, int exponent) {
  if (exponent >= kSmallestExponent && exponent <= kLargestExponent) return "";
  return "line " + std::to_string(line) + ": scale exponent " + std::to_string(exponent) +
         " cannot scale a measurement";
}

// The units a series scaled by 10^exponent is read in, when its values are millimetres.
std::string millimetres(int exponent) {
  return exponent == 0 ? "mm" : decimal_text("1", exponent) + " mm";
}

// Why a value read at `place` is refused, empty when it is taken: no measurement, or for
// ring widths a ring of 1000 mm or more. `value` is what would be kept (in millimetres for
// ring widths), `as_read` the value as read, `units` those it was read in.
std::string refusal(std::string_view place, double value, std::string_view as_read,
                    std::string_view units, SeriesValues kind) {
  if (!is_measurement(value)) return not_a_measurement(place, as_read, static_cast<float>(value));
  if (kind == SeriesValues::ring_widths && !is_ring_width(value)) {
    return not_a_ring_width(place, as_read, units);
  }
  return "";
}

// Reads `count` numbers in `layout` from the records that follow the header (the record
// read last), record after record, and multiplies each by 10^exponent. On a fault the result
// tells whether the read met the end of the file (or of a record before its last value), a
// field it could not read or a value that cannot be a measurement (nor, for ring widths in
// millimetres, a ring), where in the file and why, and the record it stopped in.
struct ValuesRead {
  std::vector<float> values;
  bool end_of_file = false;
  bool error = false;
  std::string refused;  // the line and value of a value no measurement can have
  std::string where;    // the line (and columns and text) of any fault, and what it is
  std::string last_record;
};

ValuesRead read_values(RecordStream& in, std::string_view layout, int count, SeriesValues kind,
                       int exponent = 0) {
  ValuesRead r;
  if (count <= 0) return r;
  const std::string header_line = std::to_string(in.number());
  const std::string announced = " of the " + std::to_string(count) +
                                " values that the header on line " + header_line + " announces";
  std::vector<int> lines;  // the file's line number of each record the read takes
  std::vector<std::string> records;
  std::function<std::optional<std::string>()> next = [&]() -> std::optional<std::string> {
    std::optional<std::string> rec = in.next();
    if (rec) {
      r.last_record = *rec;
      records.push_back(*rec);
      lines.push_back(in.number());
    } else {
      r.end_of_file = true;
    }
    return rec;
  };
  try {
    if (!reads_numbers(layout)) throw FormatError("text field in a value layout");
    const std::vector<Field> fields = Layout(layout).read(next, static_cast<std::size_t>(count));
    r.values.reserve(fields.size());
    const double scale = power_of_ten(exponent);
    for (const Field& f : fields) {
      const std::string line = std::to_string(lines[at(f.record)]);
      r.last_record = records[at(f.record)];
      // A field after the end of its record is no value, whatever blanks would read as:
      // the file was cut short.
      if (f.beyond_end) {
        r.end_of_file = true;
        r.where = "line " + line + " ends before value " + std::to_string(r.values.size() + 1) +
                  announced;
        return r;
      }
      const double value = static_cast<double>(f.real_single) * scale;
      r.refused =
          refusal("line " + line + ", " +
                      describe_field(r.last_record, f.column, static_cast<int>(f.text.size())),
                  value, decimal_text(f.number, exponent), millimetres(exponent), kind);
      if (!r.refused.empty()) {
        r.where = r.refused;
        return r;
      }
      r.values.push_back(static_cast<float>(value));
    }
    r.last_record.clear();
  } catch (const ReadError& e) {
    r.error = !r.end_of_file;
    if (r.end_of_file) r.last_record.clear();  // no record is at fault: the file ends
    r.where = r.end_of_file ? "the file ends after line " + std::to_string(in.number()) +
                                  ", before the last" + announced
                            : "line " + std::to_string(lines[at(e.record)]) + ": " +
                                  describe_field(r.last_record, e.column, e.width) +
                                  " do not read as a number";
  } catch (const FormatError&) {
    r.error = true;
    r.where = "line " + header_line + ": the value layout \"" + std::string(trim_right(layout)) +
              "\" cannot read numbers";
  }
  return r;
}

// The lines that a reader's message adds below its first line when the values did not read:
// the record the read stopped in (when it took one), then where and why.
std::string fault_place(const ValuesRead& v) {
  const std::string shown = v.last_record.empty() ? "" : "\n " + trimmed(v.last_record);
  return shown + "\n " + v.where;
}

// The line of the compact reader's messages that shows what a header gave: the id, the
// first year and the count (six columns each) and the value layout. A number too wide for
// its columns is shown whole, a blank still in front of it.
std::string header_facts(const SeriesRead& s, std::string_view descriptor) {
  return Layout("(1x,a8,1x," + year_descriptor(s.first_year, 5, 0) + ",1x," + whole_i(s.n, 5) +
                ",2x,a8)")
      .write(s.id, s.first_year, s.n, field(descriptor, 8));
}

}  // namespace

void datw(std::ostream& out, std::string_view id, std::span<const float> values, int first_year,
          std::string_view label) {
  const auto n = values.size();
  if (n == 0) return;
  const std::string name(id.substr(
      0, std::min(static_cast<std::size_t>(csr(id, 2)), static_cast<std::size_t>(kLongestId))));

  // Largest magnitude, a negative value counting ten times (room for its sign).
  float largest = 1.0f;
  std::size_t noted = 0;
  for (std::size_t i = 0; i < n; ++i) {
    largest = std::max(largest, std::max(values[i], -10.0f * values[i]));
    if (std::fabs(values[i]) > std::fabs(values[noted])) noted = i;
  }

  // Scale: the largest power of ten that keeps every value within six digits.
  int e = 16;
  while (e > -16 && !(power_of_ten(e) * largest < 999999.5)) --e;
  std::vector<long long> k(n);
  for (std::size_t i = 0; i < n; ++i) {
    k[i] = nearest(static_cast<double>(values[i]) * power_of_ten(e));
  }

  // Trailing zeros common to every value shorten the field.
  long long divisor = 1000000;
  int width = 1;
  long long power = 1;
  for (int m = 1; m <= 6; ++m) {
    power *= 10;
    const bool all_multiples =
        std::all_of(k.begin(), k.end(), [&](long long v) { return v % power == 0; });
    if (!all_multiples) {
      divisor = power / 10;
      width = 7 - m;
      break;
    }
  }
  if (divisor >= 10) {
    for (long long& v : k) v /= divisor;
  }

  const int exponent =
      k[noted] == 0
          ? 0
          : static_cast<int>(nearest(std::log10(std::fabs(static_cast<double>(values[noted])) /
                                                std::fabs(static_cast<double>(k[noted])))));
  const int per_record = 80 / width;
  const std::string descriptor = Layout("('(',i2.2,'f',i1,'.0)')").write(per_record, width);
  out << Layout("(i8,'=n',i8,'=i ',a,t69,i3,a,'~',1x,a)")
             .write(static_cast<long long>(n), first_year, name, exponent, descriptor,
                    field(label, 3))
      << '\n';
  const std::string values_layout = Layout("('(',i0,'i',i0,')')").write(per_record, width);
  out << Layout(values_layout).write(k) << '\n';
}

SeriesRead cdf(RecordStream& in, int& series_number, Console& console, int max_years) {
  const Layout header("(1x,i7,2x,i8,3x,a8)");
  const Layout scale("(t69,i3)");
  SeriesRead s;
  int titles = 0;
  for (;;) {
    const std::optional<HeaderRecord> record = next_header(in, header);
    if (!record) return end_of_data(s, series_number);
    const std::string& r80 = record->text;
    if (!record->fields) {
      if (compact_header_marks(r80)) {
        pause_and_stop(console, "*** header line read error in sbr cdf: \n" + header_facts(s, "") +
                                    "\n " + trimmed(r80) + "\n line " +
                                    std::to_string(in.number()) + ": " + record->fault +
                                    ": a record marked =n and =i is a series header");
      }
      if (++titles > kMaxCompactTitles) {
        pause_and_stop(console, "*** header line read error in sbr cdf: \n" + header_facts(s, "") +
                                    "\n " + trimmed(r80));
      }
      if (titles == 1) {
        first_title(console, s, r80);
      } else {
        console.say(Layout("(1x,a)").write(trimmed(r80)));
      }
      continue;
    }
    const std::vector<Field>& h = *record->fields;
    const std::string line = "line " + std::to_string(in.number()) + ": ";
    s.n = static_cast<int>(std::clamp<long long>(h[0].integer, -99999999, 99999999));
    s.first_year = static_cast<int>(h[1].integer);
    s.id = field(h[2].text, 8);
    if (s.n > max_years) {
      pause_and_stop(console,
                     Layout("('*** series length exceeds maximum allowable length: ',a8,2x," +
                            whole_i(s.n, 4) + ",' > '," + whole_i(max_years, 4) + ")")
                         .write(s.id, s.n, max_years));
    }
    const std::string descriptor = field(field_text(r80, 72, 8), 8);
    int exponent = 0;
    std::string refused;  // why the header itself cannot lead to values
    try {
      exponent = static_cast<int>(scale.read(r80, 1)[0].integer);
    } catch (const ReadError& e) {
      refused = line + describe_field(r80, e.column, e.width) + " do not read as a scale exponent";
    }
    if (s.n < 0) {
      refused = line + describe_field(r80, 2, 7) + " give a count of values below 0";
    }
    const std::string error = "*** error reading data in sbr cdf: \n" + header_facts(s, descriptor);
    if (!refused.empty()) pause_and_stop(console, error + "\n " + trimmed(r80) + "\n " + refused);
    const std::string exponent_note = exponent_refused(in.number(), exponent);
    if (!exponent_note.empty()) pause_and_stop(console, error + "\n " + exponent_note);
    const ValuesRead v = read_values(in, descriptor, s.n, SeriesValues::ring_widths, exponent);
    if (!v.refused.empty()) pause_and_stop(console, error + "\n " + v.refused);
    if (v.error || v.end_of_file) pause_and_stop(console, error + fault_place(v));
    if (s.n == 0) {
      console.say("*** series " + trimmed(s.id) + " holds no values; passed over");
      std::string text = std::move(s.text);
      s = SeriesRead{};
      s.text = std::move(text);
      continue;
    }
    s.values = std::move(v.values);
    series_number = std::max(series_number, 0) + 1;
    return s;
  }
}

SeriesRead datar(RecordStream& in, std::string& title, Console& console, int max_years,
                 SeriesValues kind) {
  const Layout header("(2(2x,i8),t23,a8)");
  SeriesRead s;
  for (;;) {
    std::optional<std::string> record = in.next();
    if (!record) {
      s.n = kEndOfData;
      s.text = title;
      return s;
    }
    const std::string r80 = first_80(*record);
    // A header begins "n  " and gives its value layout in parentheses in columns 23-30: a
    // line with either that does not read as a header is a damaged one, which passed over
    // would lose its series and take its values for titles.
    const bool mark = r80.starts_with("n  ");
    if (!mark) title = field(r80, 80);
    const std::string_view layout = field_text(r80, 23, 8);
    const bool parentheses =
        layout.find('(') != std::string_view::npos && layout.find(')') != std::string_view::npos;
    const std::string line = "line " + std::to_string(in.number()) + ": ";
    std::vector<Field> h;
    try {
      h = header.read(r80, 3);
    } catch (const ReadError& e) {
      if (!mark && !parentheses) continue;
      pause_and_stop(console, ">> sbr datar:  header read error\n " + trimmed(r80) + "\n " + line +
                                  describe_field(r80, e.column, e.width) +
                                  " do not read as a number");
    }
    if (!parentheses) {
      if (!mark) continue;
      pause_and_stop(console, ">> sbr datar:  header read error\n " + trimmed(r80) + "\n " + line +
                                  describe_field(r80, 23, 8) + " hold no value layout in " +
                                  "parentheses");
    }
    const std::string descriptor = h[2].text;
    s.n = static_cast<int>(std::clamp<long long>(h[0].integer, -99999999, 99999999));
    s.first_year = static_cast<int>(h[1].integer);
    s.text = title;
    if (s.n < 1) {
      // A count of no values would read as the end of the data.
      console.say(">> sbr datar:  header without values passed over: " + trimmed(r80));
      s = SeriesRead{};
      continue;
    }
    if (s.n > max_years) return s;  // too long: the caller reports it
    ValuesRead v = read_values(in, descriptor, s.n, kind);
    if (v.end_of_file) {
      pause_and_stop(console, ">> sbr datar:  unexpected end reading data" + fault_place(v));
    }
    if (v.error) pause_and_stop(console, ">> sbr datar:  error reading data" + fault_place(v));
    if (!v.refused.empty()) pause_and_stop(console, ">> sbr datar:  " + v.refused);
    s.values = std::move(v.values);
    return s;
  }
}

SeriesRead rinfrn(RecordStream& in, int& series_number, Console& console, int max_years) {
  const Layout header("(a6,2i4)");
  const Layout decade("(10x,10(f4.2,i3))");
  SeriesRead s;
  int errors = 0;
  for (;;) {
    const std::optional<HeaderRecord> record = next_header(in, header);
    if (!record) return end_of_data(s, series_number);
    const std::string& r80 = record->text;
    if (!record->fields) {
      // A header holds an id and two years in columns 1-14 and nothing after them: a record
      // of that shape whose years hold numbers is a damaged header, not a title.
      if (reads_as_numbers(field_text(r80, 7, 8)) && all_blank(field_text(r80, 15, 66))) {
        pause_and_stop(console,
                       " *** error reading tree-ring data in mib pex data format: "
                       "header\n line: " +
                           trimmed(r80) + "\n line " + std::to_string(in.number()) + ": " +
                           record->fault);
      }
      if (++errors == 1) first_title(console, s, r80);
      if (errors > kMaxMibErrors) pause_and_stop(console, " *** too many read errors in rinfrn");
      continue;
    }
    const std::vector<Field>& h = *record->fields;
    s.id = field(field(h[0].text, 6), 8);
    s.first_year = static_cast<int>(h[1].integer);
    // The message of every fault in the series: the series, the record, where and why.
    std::string last = r80;
    auto refuse = [&](const std::string& why) {
      pause_and_stop(console, " *** error reading tree-ring data in mib pex data format: series " +
                                  s.id.substr(0, 6) + "\n line: " + trimmed(last) + "\n line " +
                                  std::to_string(in.number()) + ": " + why);
    };
    const long long n = h[2].integer - h[1].integer + 1;
    if (n < 1) {
      // A last year before the first would read as the end of the data.
      refuse("the last year " + std::to_string(h[2].integer) + " comes before the first year " +
             std::to_string(h[1].integer));
    }
    s.n = static_cast<int>(n);
    if (s.n > max_years) return s;  // too long: the caller reports it
    int skip = 0;                   // slots before the first year in its decade
    if (s.first_year >= 0) {
      skip = s.first_year % 10;
    } else {
      const int r = std::abs(s.first_year % 10);
      skip = r == 0 ? 0 : 10 - r;
    }
    const int pairs = skip + s.n;
    s.values.reserve(static_cast<std::size_t>(s.n));
    s.depth.reserve(static_cast<std::size_t>(s.n));
    for (int taken = 0; taken < pairs;) {
      // The year of the next slot, for the messages.
      const std::string year = std::to_string(s.first_year - skip + taken);
      std::optional<std::string> data = in.next();
      if (!data) {
        refuse("the file ends after this line, before the value of " + year +
               " (the series runs to " + std::to_string(h[2].integer) + ")");
      }
      last = *data;
      std::vector<Field> f;
      const int here = std::min(10, pairs - taken);
      try {
        f = decade.read(last, static_cast<std::size_t>(2 * here));
      } catch (const ReadError& e) {
        refuse(describe_field(last, e.column, e.width) + " do not read as a number");
      }
      for (int j = 0; j < here; ++j, ++taken) {
        const Field& value = f[static_cast<std::size_t>(2 * j)];
        const int column = 11 + 7 * j;  // of the value's 4 columns
        if (value.beyond_end) {
          refuse("the record ends before column " + std::to_string(column) +
                 ", where the value of " + std::to_string(s.first_year - skip + taken) +
                 " would be");
        }
        if (taken < skip) continue;
        const std::string refused =
            refusal(describe_field(last, column, 4), value.real_single, decimal_text(value.number),
                    "0.01 mm", SeriesValues::ring_widths);
        if (!refused.empty()) refuse(refused);
        s.values.push_back(value.real_single);
        s.depth.push_back(static_cast<int>(f[static_cast<std::size_t>(2 * j + 1)].integer));
      }
    }
    series_number = std::max(series_number, 0) + 1;
    return s;
  }
}

SeriesRead datr(RecordStream& in, Console& console, int max_years) {
  SeriesRead s;
  for (;;) {
    std::optional<std::string> record = in.next();
    if (!record) {
      s.n = kEndOfData;
      return s;
    }
    const std::string line(trim_right(*record));
    if (std::count_if(line.begin(), line.end(), [](char c) { return c != ' '; }) < 2) continue;
    if (line.back() != '~') continue;
    const auto first_eq = line.find('=');
    const auto second_eq = first_eq == std::string::npos ? first_eq : line.find('=', first_eq + 1);
    const std::size_t tail = 12;  // exponent (3) and layout (8) before the "~"
    if (second_eq == std::string::npos || first_eq < 8 || second_eq < first_eq + 9 ||
        line.size() < second_eq + 3 + tail) {
      continue;
    }
    try {
      const Layout integer("(i8)");
      s.n = static_cast<int>(integer.read(line.substr(first_eq - 8, 8), 1)[0].integer);
      s.first_year = static_cast<int>(integer.read(line.substr(second_eq - 8, 8), 1)[0].integer);
      const std::size_t id_start = second_eq + 3;
      s.id = field(trim_right(line.substr(id_start, line.size() - tail - id_start)), 8);
      const std::vector<Field> p = Layout("(i3,a8)").read(line.substr(line.size() - tail, 11), 2);
      if (s.n > max_years || s.n < 1) return s;
      const int exponent = static_cast<int>(p[0].integer);
      ValuesRead v;
      v.refused = exponent_refused(in.number(), exponent);
      if (v.refused.empty()) {
        v = read_values(in, p[1].text, s.n, SeriesValues::ring_widths, exponent);
      }
      if (v.end_of_file || v.error || !v.refused.empty()) {
        console.say(v.end_of_file ? " >> sbr datr:  eof unexpected"
                    : v.error     ? " >> sbr datr:  read error"
                                  : " >> sbr datr:  " + v.refused);
        s = SeriesRead{};
        s.n = kEndOfData;
        return s;
      }
      s.values = std::move(v.values);
      return s;
    } catch (const ReadError&) {
      console.say(" >> sbr datr:  read error");
      s = SeriesRead{};
      s.n = kEndOfData;
      return s;
    }
  }
}

}  // namespace dendro
