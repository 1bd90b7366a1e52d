#include "series/tucson.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <stdexcept>

#include "series/compact.h"
#include "series/layout.h"
#include "series/stop.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {

namespace {

constexpr int kMaxTitleRecords = 25;
constexpr float kRingUnit = 0.01f;    // ring widths are read in hundredths of a millimetre
constexpr float kFineFactor = 0.1f;   // a series ended by -9999 was in thousandths
constexpr float kIndexUnit = 0.001f;  // index values are stored times 1000
constexpr long long kCountCap = 1000000000;

// The read layouts of one mode, by the width of the id field in front of the year.
struct ReadLayouts {
  explicit ReadLayouts(bool rings)
      : wide(rings ? "(a8,i4,10i6)" : "(a6,t7,i4,10(i4,i3))"),
        middle(rings ? "(a7,i5,10i6)" : "(a5,t6,i5,10(i4,i3))"),
        narrow(rings ? "(a6,i6,10i6)" : "(a4,t5,i6,10(i4,i3))") {}
  Layout wide, middle, narrow;
};

// The write layouts, parsed once for every record of every series: by the width of the
// id field in front of the year (a year below -999 takes a column or two of it), and for
// ring widths with the tag after a full decade.
const Layout kRingsWide("(a8,i4,10i6)"), kRingsMiddle("(a7,i5,10i6)"), kRingsNarrow("(a6,i6,10i6)");
const Layout kRingsWideTag("(a8,i4,10i6,t75,a)"), kRingsMiddleTag("(a7,i5,10i6,t75,a)"),
    kRingsNarrowTag("(a6,i6,10i6,t75,a)");
const Layout kIndexWide("(a6,i4,10(i4,i3),2x,a)"), kIndexMiddle("(a5,i5,10(i4,i3),2x,a)"),
    kIndexNarrow("(a4,i6,10(i4,i3),2x,a)");

// One record of a decadal file, as the reader sees it.
struct Parsed {
  enum class Kind { blank_year, title, ragged, data };
  Kind kind = Kind::title;
  std::string id;    // 8 characters
  int id_width = 8;  // columns of the id field in this record
  int year = 0;
  std::array<long long, 10> value{};
  std::array<long long, 10> depth{};
};

std::string trimmed(std::string_view s) { return std::string(trim_right(s)); }

bool blank_columns(std::string_view record, int first, int last) {
  for (int c = first; c <= last && c <= static_cast<int>(record.size()); ++c) {
    if (record[static_cast<std::size_t>(c - 1)] != ' ') return false;
  }
  return true;
}

// True when the characters of a numeric field that the record holds are not
// right-justified: a blank after a non-blank one. Read with blanks ignored, "  10 3"
// would silently become 103.
bool ragged(std::string_view record, int column, int width) {
  auto start = static_cast<std::size_t>(column - 1);
  if (start >= record.size()) return false;
  std::string_view f = record.substr(start, static_cast<std::size_t>(width));
  auto first = f.find_first_not_of(" \t");
  return first != std::string_view::npos && f.find_first_of(" \t", first) != std::string_view::npos;
}

Parsed parse_record(std::string_view record, bool rings, const ReadLayouts& layouts) {
  Parsed p;
  // The year field of the common layout decides whether the record is skipped.
  if (rings ? blank_columns(record, 9, 12) : blank_columns(record, 7, 10)) {
    p.kind = Parsed::Kind::blank_year;
    return p;
  }
  auto minus_at = [&](int column) {
    return static_cast<int>(record.size()) >= column &&
           record[static_cast<std::size_t>(column - 1)] == '-';
  };
  const int wide = rings ? 8 : 6;
  const Layout* layout = &layouts.wide;
  p.id_width = wide;
  if (minus_at(wide)) {
    layout = &layouts.middle;
    p.id_width = wide - 1;
  } else if (minus_at(wide - 1)) {
    layout = &layouts.narrow;
    p.id_width = wide - 2;
  }
  std::vector<Field> fields;
  try {
    fields = layout->read(record, rings ? 12 : 22);
  } catch (const ReadError&) {
    return p;  // a title record
  }
  const int year_end = rings ? 12 : 10;
  bool uneven = ragged(record, p.id_width + 1, year_end - p.id_width);
  for (int j = 0; j < 10; ++j) {
    if (rings) {
      uneven = uneven || ragged(record, 13 + 6 * j, 6);
      p.value[static_cast<std::size_t>(j)] = fields[static_cast<std::size_t>(2 + j)].integer;
    } else {
      uneven = uneven || ragged(record, 11 + 7 * j, 4) || ragged(record, 15 + 7 * j, 3);
      p.value[static_cast<std::size_t>(j)] = fields[static_cast<std::size_t>(2 + 2 * j)].integer;
      p.depth[static_cast<std::size_t>(j)] = fields[static_cast<std::size_t>(3 + 2 * j)].integer;
    }
  }
  if (uneven) {
    p.kind = Parsed::Kind::ragged;
    return p;
  }
  p.kind = Parsed::Kind::data;
  p.id = field(fields[0].text, 8);
  if (!rings) p.id.replace(6, 2, "  ");
  const long long year = fields[1].integer;
  p.year = static_cast<int>(year);
  return p;
}

// Some files hold ring-width records whose short id is followed by the year one column
// too early ("EGR108 1713   156 ..."): read as they stand, the year and every value lose a
// digit's place. When the record read with one or two blanks put back before the year
// keeps the fixed columns, that reading is taken. Returns the shift, 0 when none fits.
int realign(std::string_view record, const ReadLayouts& layouts, Parsed& p) {
  constexpr int kLargestShift = 2;
  for (int shift = 1; shift <= kLargestShift; ++shift) {
    const auto at = static_cast<std::size_t>(8 - shift);
    if (record.size() <= at) break;
    std::string moved(record);
    moved.insert(at, static_cast<std::size_t>(shift), ' ');
    moved.resize(std::min<std::size_t>(moved.size(), 80));
    Parsed q = parse_record(moved, true, layouts);
    if (q.kind == Parsed::Kind::data) {
      p = q;
      return shift;
    }
  }
  return 0;
}

// The id columns that a record of this year holds when it is written: the year fields of
// -1000 and of -1001 to -9999 take one or two of the id's columns, although a reader may
// take a column more (the "-" rule reads -1000 with the middle layout).
int id_columns(bool rings, int year) {
  const int wide = rings ? 8 : 6;
  if (year >= -999) return wide;
  if (year >= -9999 && year <= -1001) return wide - 1;
  return wide - 2;
}

// Ids of two records of one series agree in the columns that both records hold.
bool same_series(std::string_view a, int a_columns, std::string_view b, int b_columns) {
  auto w = static_cast<std::size_t>(std::min(a_columns, b_columns));
  return trim_right(a.substr(0, w)) == trim_right(b.substr(0, w));
}

// A title record just before the first record of a series that carries the series' id
// and a numeric year is the series' first record with a value that cannot be read: taken
// as a title, it would silently move the series' start a decade on.
bool damaged_first_record(std::string_view title, const Parsed& next, bool rings) {
  const int id_width = rings ? 8 : 6;
  if (static_cast<int>(title.size()) < id_width + 4) return false;
  if (trim_right(title.substr(0, static_cast<std::size_t>(id_width))) !=
      trim_right(std::string_view(next.id).substr(0, static_cast<std::size_t>(id_width)))) {
    return false;
  }
  std::string_view year = title.substr(static_cast<std::size_t>(id_width), 4);
  const auto first = year.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  year.remove_prefix(first);
  if (!year.empty() && year.front() == '-') year.remove_prefix(1);
  return !year.empty() && year.find_first_not_of("0123456789") == std::string_view::npos;
}

// Collects the values of one series, keeping at most max_years of them.
class SeriesBuilder {
 public:
  SeriesBuilder(SeriesRead& s, int max_years) : s_(s), max_(max_years) {}
  void add(float value, int depth) {
    if (s_.n < max_) {
      s_.values.push_back(value);
      s_.depth.push_back(depth);
    }
    ++s_.n;
  }
  // Years without a record: missing values with no sample depth.
  void add_missing(long long count) {
    for (long long k = 0; k < count; ++k) {
      if (s_.n >= max_) {
        // Past the limit only the count matters; it saturates far above any limit.
        s_.n = static_cast<int>(std::min<long long>(s_.n + (count - k), kCountCap));
        return;
      }
      missing_.push_back(s_.n);
      add(kMissing, 0);
    }
  }
  // Applies the units of the end marker; the missing years stay missing.
  void scale(float factor) {
    for (float& v : s_.values) v *= factor;
    for (int k : missing_) s_.values[static_cast<std::size_t>(k)] = kMissing;
  }

 private:
  SeriesRead& s_;
  int max_;
  std::vector<int> missing_;
};

void show_title(int count, std::string_view record, TucsonFile& file, SeriesRead& s,
                Console& console, std::ostream* echo) {
  std::string text = trimmed(record);
  if (count == 1) {
    if (echo != nullptr) *echo << Layout("(/t10,'title of data:'/1x,a)").write(text) << '\n';
    console.say(Layout("(/1x,'title of data:'/1x,a)").write(text));
    s.text = field(record, 80);
    file.header_lines[0] = field(record.substr(0, std::min<std::size_t>(record.size(), 80)), 85);
    return;
  }
  if (echo != nullptr) *echo << Layout("(1x,a)").write(text) << '\n';
  if (count <= 3) {
    file.header_lines[static_cast<std::size_t>(count - 1)] =
        field(record.substr(0, std::min<std::size_t>(record.size(), 80)), 85);
  }
  console.say(Layout("(1x,a)").write(text));
}

}  // namespace

std::optional<TucsonMode> tucson_mode(std::string_view code) {
  std::string c(code.substr(0, std::min<std::size_t>(code.size(), 2)));
  for (char& ch : c) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  if (code.size() != 2) return std::nullopt;
  if (c == "mr") return TucsonMode::mr;
  if (c == "ir") return TucsonMode::ir;
  if (c == "mw") return TucsonMode::mw;
  if (c == "iw") return TucsonMode::iw;
  if (c == "qz") return TucsonMode::qz;
  return std::nullopt;
}

int decade_slots(int year) {
  if (year >= 0) return 10 - year % 10;
  int r = std::abs(year % 10);
  return r == 0 ? 10 : r;
}

long long nint(float value) {
  constexpr float kLimit = 2.0e9f;
  if (!(std::fabs(value) < kLimit)) return value < 0 ? -2000000000LL : 2000000000LL;
  return std::lround(value);
}

SeriesRead trrw_read(RecordStream& in, TucsonMode mode, TucsonFile& file, Console& console,
                     std::ostream* echo, int max_years) {
  if (mode != TucsonMode::mr && mode != TucsonMode::ir) {
    throw std::invalid_argument("trrw_read: not a reading mode");
  }
  const bool rings = mode == TucsonMode::mr;
  file.series_number = std::max(file.series_number, 0) + 1;
  if (file.series_number == 1) {
    for (auto& h : file.header_lines) h.assign(85, ' ');
  }
  const ReadLayouts layouts(rings);

  SeriesRead s;
  SeriesBuilder values(s, max_years);
  int titles = 0;
  bool started = false;  // a data record of this series has been read
  int id_width = 8;
  int start_line = 0;
  int next_year = 0;  // year that the next record of the series must carry
  bool realigned = false;  // a record out of place has been noted
  std::string previous_title;  // the title record read last, and its line
  int previous_title_line = -1;

  for (;;) {
    std::optional<std::string> record = in.next();
    if (!record) {
      if (!started) {
        s.n = kEndOfData;
        file.series_number = kEndOfData;
        return s;
      }
      // An index series may end with the file (its last decade full); a ring-width
      // series may not, as only its end marker tells the units of its values.
      if (!rings) return s;
      pause_and_stop(console, "*** series " + trimmed(s.id) + " (line " +
                                  std::to_string(start_line) +
                                  "): the file ends before its end marker (999 or -9999)");
    }
    const int line = in.number();
    std::string_view r80 = std::string_view(*record).substr(0, std::min<std::size_t>(record->size(), 80));

    // A header-driven series is marked by "#" in column 80 before its first value.
    if (!started && r80.size() == 80 && r80[79] == '#') {
      in.back();
      std::string title = field(r80, 80);
      SeriesRead d = datar(in, title, console, max_years);
      d.id = field(title, 8);
      if (echo != nullptr) {
        *echo << Layout("(/t10,'title of data:  ',a/)").write(trimmed(title)) << '\n';
      }
      if (d.n == kEndOfData) file.series_number = kEndOfData;
      return d;
    }

    Parsed p = parse_record(r80, rings, layouts);
    if (p.kind == Parsed::Kind::ragged && rings) {
      const int shift = realign(r80, layouts, p);
      if (shift > 0 && !realigned) {
        realigned = true;
        console.say("*** series " + trimmed(p.id) + ": line " + std::to_string(line) + " is " +
                    std::to_string(shift) + (shift == 1 ? " column" : " columns") +
                    " out of place; read as year " + std::to_string(p.year) +
                    " (the same for later records of the series)");
      }
    }
    switch (p.kind) {
      case Parsed::Kind::blank_year:
        if (started && !trim_right(r80).empty()) {
          console.say("*** line " + std::to_string(line) + " passed over: its year field is blank");
        }
        continue;
      case Parsed::Kind::ragged:
        pause_and_stop(console, "*** line " + std::to_string(line) +
                                    ": values are not in the fixed columns of the tucson "
                                    "format:\n " + trimmed(r80));
      case Parsed::Kind::title:
        if (started && !rings) {
          in.back();  // an index series needs no end mark: it ends before the title
          return s;
        }
        if (started) {
          pause_and_stop(console, "*** series " + trimmed(s.id) + ": line " +
                                      std::to_string(line) +
                                      " interrupts the series before its end marker:\n " +
                                      trimmed(r80));
        }
        if (++titles > kMaxTitleRecords && file.title_limit) {
          throw Stop("sbr trrw:  over 25 text lines", kFailureStatus);
        }
        show_title(titles, *record, file, s, console, echo);
        previous_title = std::string(r80);
        previous_title_line = line;
        continue;
      case Parsed::Kind::data:
        break;
    }

    int slots = 10;
    if (!started && previous_title_line == line - 1 &&
        damaged_first_record(previous_title, p, rings)) {
      pause_and_stop(console, "*** series " + trimmed(p.id) + ": line " +
                                  std::to_string(previous_title_line) +
                                  " holds a value that cannot be read:\n " +
                                  trimmed(previous_title));
    }
    if (!started) {
      started = true;
      s.id = p.id;
      s.first_year = p.year;
      id_width = id_columns(rings, p.year);
      start_line = line;
      slots = decade_slots(p.year);
      next_year = p.year + slots;
    } else {
      if (!same_series(p.id, id_columns(rings, p.year), s.id, id_width)) {
        if (!rings) {
          in.back();  // the next index series begins here
          return s;
        }
        pause_and_stop(console, "*** series " + trimmed(s.id) + " has no end marker: line " +
                                    std::to_string(line) + " begins series " + trimmed(p.id));
      }
      if (p.year != next_year) {
        const long long skipped = static_cast<long long>(p.year) - next_year;
        if (skipped < 0 || skipped % 10 != 0) {
          pause_and_stop(console, "*** series " + trimmed(s.id) + ": line " +
                                      std::to_string(line) + " holds year " +
                                      std::to_string(p.year) + " where " +
                                      std::to_string(next_year) + " was expected");
        }
        console.say("*** series " + trimmed(s.id) + ": line " + std::to_string(line) +
                    " skips the years " + std::to_string(next_year) + " to " +
                    std::to_string(p.year - 1) + "; they are read as missing");
        values.add_missing(skipped);
      }
      next_year = p.year + 10;
    }

    // The values of this record, up to the end of the series.
    bool ended = false;
    for (int slot = (rings ? 1 : 11 - slots); slot <= (rings ? slots : 10); ++slot) {
      const long long v = p.value[static_cast<std::size_t>(slot - 1)];
      // A blank or missing field would read as 0: for ring widths that is no value but a
      // record cut short; an index series simply ends there.
      const int column = rings ? 13 + 6 * (slot - 1) : 11 + 7 * (slot - 1);
      if (blank_columns(r80, column, column + (rings ? 5 : 3))) {
        if (!rings) {
          ended = true;
          break;
        }
        pause_and_stop(console, "*** series " + trimmed(s.id) + ": line " + std::to_string(line) +
                                    " holds no value for the year " +
                                    std::to_string(p.year + slot - 1));
      }
      if (rings && (v == kEndMarkerFine || v == kEndMarker)) {
        if (v == kEndMarkerFine) values.scale(kFineFactor);
        ended = true;
        break;
      }
      if (!rings && v >= kIndexEmpty) {
        ended = true;
        break;
      }
      if (rings) {
        values.add(static_cast<float>(v) * kRingUnit, 0);
      } else {
        values.add(static_cast<float>(v) * kIndexUnit,
                   static_cast<int>(p.depth[static_cast<std::size_t>(slot - 1)]));
      }
    }
    if (!ended) continue;
    if (s.n > 0) {
      if (rings) s.depth.clear();
      return s;
    }
    // A series that ends before its first value holds nothing; the next one follows.
    console.say("*** series " + trimmed(s.id) + " (line " + std::to_string(start_line) +
                ") holds no values; passed over");
    std::string text = std::move(s.text);
    s = SeriesRead{};
    s.text = std::move(text);
    started = false;
  }
}

std::optional<std::size_t> index_misfit(std::span<const float> values,
                                        std::span<const int> depth) {
  constexpr long long kLowest = -999, kHighest = kIndexEmpty - 1, kDeepest = 999;
  const bool all_one = depth.empty() || depth[0] < 1;
  for (std::size_t j = 0; j < values.size(); ++j) {
    if (!std::isfinite(values[j])) return j;
    const long long v = nint(values[j] * 1000.0f);
    if (v < kLowest || v > kHighest) return j;
    if (!all_one && j < depth.size() && (depth[j] < 0 || depth[j] > kDeepest)) return j;
  }
  return std::nullopt;
}

void trrw_write(std::ostream& out, TucsonMode mode, std::string_view id, int first_year,
                std::span<const float> values, std::span<const int> depth,
                std::string_view tag) {
  if (values.empty()) return;
  const std::string id8 = field(id, 8);
  const std::string tag3 = field(tag, 3);
  const auto n = values.size();

  if (mode == TucsonMode::mw) {
    int year = first_year;
    int slots = decade_slots(year);
    std::size_t next = 0;
    std::vector<long long> record;
    for (bool marked = false; !marked;) {
      record.clear();
      for (int slot = 1; slot <= slots; ++slot) {
        if (next < n) {
          long long v = nint(values[next++] * 1000.0f);
          // 999 would read back as the end marker of hundredths.
          record.push_back(v == kEndMarker ? 1000 : v);
        } else {
          record.push_back(kEndMarkerFine);
          slots = slot;
          marked = true;
          break;
        }
      }
      const bool full = slots == 10;
      const bool middle = year >= -9999 && year <= -1001;
      const Layout& layout = year >= -999 ? (full ? kRingsWideTag : kRingsWide)
                             : middle     ? (full ? kRingsMiddleTag : kRingsMiddle)
                                          : (full ? kRingsNarrowTag : kRingsNarrow);
      out << (full ? layout.write(id8, year, record, tag3) : layout.write(id8, year, record))
          << '\n';
      year += slots;
      slots = 10;
    }
    return;
  }

  if (mode != TucsonMode::iw && mode != TucsonMode::qz) {
    throw std::invalid_argument("trrw_write: not a writing mode");
  }
  const bool qz = mode == TucsonMode::qz;
  const int last_year = first_year + static_cast<int>(n) - 1;
  if (qz) {
    const char* header = first_year < -999 || last_year < -999 ? "(a6,2i5)" : "(a6,2i4)";
    out << Layout(header).write(id8, first_year, last_year) << '\n';
  }
  const bool all_one = depth.empty() || depth[0] < 1;
  int year = first_year;
  int slot_first = 11 - decade_slots(year);
  std::size_t next = 0;
  std::vector<long long> pairs;
  for (;;) {
    if (qz && next == n) return;
    pairs.clear();
    bool exhausted_within = false;  // a slot of this record found no value left
    for (int slot = 1; slot <= 10; ++slot) {
      if (slot >= slot_first && next < n) {
        pairs.push_back(nint(values[next] * 1000.0f));
        pairs.push_back(all_one ? 1 : (next < depth.size() ? depth[next] : 1));
        ++next;
      } else {
        exhausted_within = exhausted_within || slot >= slot_first;
        pairs.push_back(kIndexEmpty);
        pairs.push_back(0);
      }
    }
    const Layout& layout = year >= -999                     ? kIndexWide
                           : year >= -9999 && year <= -1001 ? kIndexMiddle
                                                            : kIndexNarrow;
    out << layout.write(id8, year, pairs, tag3) << '\n';
    if (exhausted_within) return;
    year = year - slot_first + 11;
    slot_first = 1;
  }
}

}  // namespace dendro
