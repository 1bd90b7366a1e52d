#include "series/compact.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <optional>
#include <ostream>

#include "series/index.h"
#include "series/layout.h"
#include "series/stop.h"
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
};

// The next record with anything in its first 80 columns, read through the three fields of
// `header`; nothing at the end of the file.
std::optional<HeaderRecord> next_header(RecordStream& in, const Layout& header) {
  while (std::optional<std::string> record = in.next()) {
    HeaderRecord h{first_80(*record), std::nullopt};
    if (all_blank(h.text)) continue;
    try {
      h.fields = header.read(h.text, 3);
    } catch (const ReadError&) {
      // a title
    }
    return h;
  }
  return std::nullopt;
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

// Reads `count` numbers in `layout` from the records that follow, record after record, and
// multiplies each by 10^exponent. The result tells whether the read met the end of the
// file, a field it could not read or a value that cannot be a measurement (with its line),
// and the last record it took (for the message).
struct ValuesRead {
  std::vector<float> values;
  bool end_of_file = false;
  bool error = false;
  std::string refused;  // the line and value of a value no measurement can have
  std::string last_record;
};

ValuesRead read_values(RecordStream& in, std::string_view layout, int count, int exponent = 0) {
  ValuesRead r;
  if (count <= 0) return r;
  std::vector<int> lines;  // the file's line number of each record the read takes
  std::function<std::optional<std::string>()> next = [&]() -> std::optional<std::string> {
    std::optional<std::string> rec = in.next();
    if (rec) {
      r.last_record = *rec;
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
      // A field after the end of its record is no value, whatever blanks would read as:
      // the file was cut short.
      if (f.beyond_end) {
        r.end_of_file = true;
        return r;
      }
      const double value = static_cast<double>(f.real_single) * scale;
      if (!is_measurement(value)) {
        r.refused = not_a_measurement(lines[at(f.record)], value);
        return r;
      }
      r.values.push_back(static_cast<float>(value));
    }
  } catch (const ReadError&) {
    r.error = !r.end_of_file;
  } catch (const FormatError&) {
    r.error = true;
  }
  return r;
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
  const Layout scale("(t69,i3,a8)");
  const Layout facts("(1x,a8,2i6,2x,a8)");
  SeriesRead s;
  int titles = 0;
  for (;;) {
    const std::optional<HeaderRecord> record = next_header(in, header);
    if (!record) return end_of_data(s, series_number);
    const std::string& r80 = record->text;
    if (!record->fields) {
      if (++titles > kMaxCompactTitles) {
        pause_and_stop(console, "*** header line read error in sbr cdf: \n" +
                                    facts.write(s.id, s.first_year, s.n, std::string(8, ' ')) +
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
    s.n = static_cast<int>(std::clamp<long long>(h[0].integer, -99999999, 99999999));
    s.first_year = static_cast<int>(h[1].integer);
    s.id = field(h[2].text, 8);
    if (s.n > max_years) {
      pause_and_stop(console, Layout("('*** series length exceeds maximum allowable length: ',"
                                     "a8,2x,i4,' > ',i4)")
                                  .write(s.id, s.n, max_years));
    }
    std::string descriptor(8, ' ');
    int exponent = 0;
    bool bad = s.n < 0;
    try {
      const std::vector<Field> p = scale.read(r80, 2);
      exponent = static_cast<int>(p[0].integer);
      descriptor = field(p[1].text, 8);
    } catch (const ReadError&) {
      bad = true;
    }
    const std::string error = "*** error reading data in sbr cdf: \n" +
                              facts.write(s.id, s.first_year, s.n, descriptor) + "\n ";
    if (!bad) {
      const std::string refused = exponent_refused(in.number(), exponent);
      if (!refused.empty()) pause_and_stop(console, error + refused);
    }
    ValuesRead v;
    if (!bad) v = read_values(in, descriptor, s.n, exponent);
    if (!v.refused.empty()) pause_and_stop(console, error + v.refused);
    if (bad || v.error || v.end_of_file) {
      pause_and_stop(console, error + trimmed(bad ? r80 : v.last_record));
    }
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

SeriesRead datar(RecordStream& in, std::string& title, Console& console, int max_years) {
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
    if (r80.rfind("n  ", 0) != 0) title = field(r80, 80);
    std::vector<Field> h;
    try {
      h = header.read(r80, 3);
    } catch (const ReadError&) {
      continue;
    }
    const std::string& descriptor = h[2].text;
    if (descriptor.find('(') == std::string::npos || descriptor.find(')') == std::string::npos) {
      continue;
    }
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
    ValuesRead v = read_values(in, descriptor, s.n);
    if (v.end_of_file) pause_and_stop(console, ">> sbr datar:  unexpected end reading data");
    if (v.error) pause_and_stop(console, ">> sbr datar:  error reading data");
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
      if (++errors == 1) first_title(console, s, r80);
      if (errors > kMaxMibErrors) pause_and_stop(console, " *** too many read errors in rinfrn");
      continue;
    }
    const std::vector<Field>& h = *record->fields;
    s.id = field(field(h[0].text, 6), 8);
    s.first_year = static_cast<int>(h[1].integer);
    const long long n = h[2].integer - h[1].integer + 1;
    const std::string where =
        " *** error reading tree-ring data in mib pex data format: series " + s.id.substr(0, 6);
    if (n < 1) {
      // A last year before the first would read as the end of the data.
      pause_and_stop(console, where + "\n line: " + trimmed(r80));
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
    std::string last;
    for (int taken = 0; taken < pairs;) {
      std::optional<std::string> data = in.next();
      if (!data) pause_and_stop(console, where + "\n line: " + trimmed(last));
      last = *data;
      std::vector<Field> f;
      const int here = std::min(10, pairs - taken);
      try {
        f = decade.read(last, static_cast<std::size_t>(2 * here));
      } catch (const ReadError&) {
        pause_and_stop(console, where + "\n line: " + trimmed(last));
      }
      for (int j = 0; j < here; ++j, ++taken) {
        if (f[static_cast<std::size_t>(2 * j)].beyond_end) {
          pause_and_stop(console, where + "\n line: " + trimmed(last));
        }
        if (taken < skip) continue;
        s.values.push_back(f[static_cast<std::size_t>(2 * j)].real_single);
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
      if (v.refused.empty()) v = read_values(in, p[1].text, s.n, exponent);
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
