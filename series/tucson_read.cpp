// Reading the tucson decadal formats: one ring-width or index series per call.
#include <algorithm>
#include <array>
#include <optional>
#include <ostream>
#include <stdexcept>

#include "series/compact.h"
#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/store.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {

namespace {

constexpr int kMaxTitleRecords = 25;
constexpr std::size_t kTitlesShown = 5;  // title records that a message lists
constexpr float kRingUnit = 0.01f;       // ring widths are read in hundredths of a millimetre
constexpr int kRingShift = -2;           // the decimal shift of that unit, for the messages
constexpr float kFineFactor = 0.1f;      // a series ended by -9999 was in thousandths
constexpr float kIndexUnit = 0.001f;     // index values are stored times 1000
constexpr long long kCountCap = 1000000000;

// The read layouts of one mode, by the width of the id field in front of the year.
struct ReadLayouts {
  explicit ReadLayouts(bool rings)
      : wide(rings ? "(a8,i4,10i6)" : "(a6,t7,i4,10(i4,i3))"),
        middle(rings ? "(a7,i5,10i6)" : "(a5,t6,i5,10(i4,i3))"),
        narrow(rings ? "(a6,i6,10i6)" : "(a4,t5,i6,10(i4,i3))") {}
  Layout wide, middle, narrow;
};

// One record of a decadal file, as the reader sees it.
struct Parsed {
  enum class Kind { blank_year, title, ragged, data };
  Kind kind = Kind::title;
  std::string id;    // 8 characters
  int id_width = 8;  // columns of the id field in this record
  int year = 0;
  bool has_year = false;  // the year field reads as a year (always so for a data record)
  // The value columns read as numbers (reads_as_numbers): a record that does not read as a
  // data record is then a damaged one, not a title.
  bool numbers = false;
  bool loose = false;  // a numeric field has a blank after its digits
  int shift = 0;       // blanks put back before the year to read the record (realign)
  std::string reason;  // title and ragged records: the field at fault and what is wrong
  std::array<long long, 10> value{};
  std::array<long long, 10> depth{};
};

std::string trimmed(std::string_view s) { return std::string(trim_right(s)); }

bool blank_columns(std::string_view record, int first, int last) {
  for (int c = first; c <= last && c <= static_cast<int>(record.size()); ++c) {
    if (record[at(c)] != ' ') return false;
  }
  return true;
}

// The id columns of the usual layout, the one of years from -999 on.
int usual_id_width(bool rings) { return rings ? 8 : 6; }

// Where a field of a data record stands.
struct Columns {
  int first = 0;
  int width = 0;
  int last() const { return first + width - 1; }
};

// The numeric fields of a data record: the year, then ten 6-column values (ring widths) or
// ten pairs of a 4-column index and a 3-column sample depth (indices).
int numeric_fields(bool rings) { return rings ? 11 : 21; }

// Numeric field k of a data record whose id takes `id_width` columns: k = 0 is the year,
// which ends in column 12 (ring widths) or 10 (indices), and the values follow it (for
// indices the index of slot j is field 2j - 1, its depth field 2j). Every look at the
// columns of a record asks here.
Columns numeric_field(bool rings, int id_width, int k) {
  const int year_end = rings ? 12 : 10;
  if (k == 0) return {id_width + 1, year_end - id_width};
  if (rings) return {year_end + 1 + 6 * (k - 1), 6};
  const int pair = year_end + 1 + 7 * ((k - 1) / 2);
  return k % 2 == 1 ? Columns{pair, 4} : Columns{pair + 4, 3};
}

// The value field of slot `slot` (1 to 10); the id does not move it.
Columns value_field(bool rings, int slot) {
  return numeric_field(rings, usual_id_width(rings), rings ? slot : 2 * slot - 1);
}

// The numeric field that holds `column`.
Columns field_at(bool rings, int id_width, int column) {
  for (int k = 0; k < numeric_fields(rings); ++k) {
    const Columns c = numeric_field(rings, id_width, k);
    if (column >= c.first && column <= c.last()) return c;
  }
  return {column, 1};  // not in a numeric field: the column alone
}

// How the characters of a numeric field stand. The fixed-column read ignores blanks, so
// "  090 " is 90 (loose: a blank after the digits), while "10 3" would become 103: its
// digits are split by a blank and the field cannot be read safely.
enum class Shape { justified, loose, split };

// True when the value columns of a record (ring widths 13-72, indices 11-80) read as
// numbers (reads_as_numbers), for index records in slots without an empty one between two
// filled: every index record fills its ten slots, with values or the fill. Title records
// hold words there ("Germany     Norway spruce     1520M"), or a word and a number far
// apart ("ebe96c64   KH ... 201601" in the index columns); a data record with a damaged
// character or two still holds its numbers. (A ring-width record may hold a damaged
// character in any slot after its series' end.)
bool value_columns_read_as_numbers(std::string_view record, bool rings) {
  const Columns first = numeric_field(rings, usual_id_width(rings), 1);
  const Columns last = numeric_field(rings, usual_id_width(rings), numeric_fields(rings) - 1);
  bool filled = false, gap = false;
  for (int slot = 1; slot <= 10 && !rings; ++slot) {
    const int column = value_field(false, slot).first;
    const bool blank = blank_columns(record, column, column + 6);  // the index and its depth
    if (!blank && gap) return false;
    gap = gap || (blank && filled);
    filled = filled || !blank;
  }
  return reads_as_numbers(field_text(record, first.first, last.last() - first.first + 1));
}

Shape shape(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return Shape::justified;
  const auto last = text.find_last_not_of(" \t");
  if (text.substr(first, last - first + 1).find_first_of(" \t") != std::string_view::npos) {
    return Shape::split;
  }
  return last + 1 < text.size() ? Shape::loose : Shape::justified;
}

// Reads the record with the layout whose id field takes `id_width` columns.
Parsed read_with(std::string_view record, bool rings, const Layout& layout, int id_width) {
  Parsed p;
  p.id_width = id_width;
  std::vector<Field> fields;
  try {
    fields = layout.read(record, rings ? 12 : 22);
  } catch (const ReadError& e) {
    const bool in_year = e.column <= numeric_field(rings, id_width, 0).last();
    const Columns at_fault = field_at(rings, id_width, e.column);
    p.reason = describe_field(record, at_fault.first, at_fault.width) +
               (in_year ? " do not read as a year" : " do not read as a number");
    p.numbers = value_columns_read_as_numbers(record, rings);
    p.id = field(field_text(record, 1, id_width), 8);
    if (!in_year) {
      p.has_year = true;
      p.year =
          static_cast<int>(std::clamp<long long>(layout.read(record, 2)[1].integer, -99999, 99999));
    }
    return p;  // a title record
  }
  p.has_year = true;
  p.numbers = true;
  p.id = field(fields[0].text, 8);
  if (!rings) p.id.replace(6, 2, "  ");
  p.year = static_cast<int>(std::clamp<long long>(fields[1].integer, -99999, 99999));
  for (int k = 0; k < numeric_fields(rings); ++k) {
    const Columns c = numeric_field(rings, id_width, k);
    const Shape s = shape(field_text(record, c.first, c.width));
    if (s == Shape::split) {
      p.kind = Parsed::Kind::ragged;
      p.reason = describe_field(record, c.first, c.width) + " hold digits split by a blank";
      return p;
    }
    // Index fields are right-justified in every file seen; a blank after the digits is a
    // damaged digit, which would turn the fill 9990 into the index 0.999.
    if (s == Shape::loose && !rings) {
      p.kind = Parsed::Kind::ragged;
      p.reason = describe_field(record, c.first, c.width) + " hold digits that do not end in " +
                 "the last column of their field";
      return p;
    }
    p.loose = p.loose || s == Shape::loose;
  }
  for (int j = 0; j < 10; ++j) {
    const auto k = static_cast<std::size_t>(j);
    if (rings) {
      p.value[k] = fields[static_cast<std::size_t>(2 + j)].integer;
    } else {
      p.value[k] = fields[static_cast<std::size_t>(2 + 2 * j)].integer;
      p.depth[k] = fields[static_cast<std::size_t>(3 + 2 * j)].integer;
    }
  }
  p.kind = Parsed::Kind::data;
  return p;
}

// True when `year` is one that the layout of an id field of `id_width` columns is written
// for: the middle layout holds -9999 to -1000, the narrow one -10000 and earlier.
bool layout_holds(bool rings, int id_width, int year) {
  const int wide = usual_id_width(rings);
  if (id_width == wide) return year >= -999;
  if (id_width == wide - 1) return year >= -9999 && year <= -1000;
  return year <= -10000;
}

Parsed parse_record(std::string_view record, bool rings, const ReadLayouts& layouts) {
  // The year field of the common layout decides whether the record is skipped.
  const Columns year = numeric_field(rings, usual_id_width(rings), 0);
  if (blank_columns(record, year.first, year.last())) {
    Parsed p;
    p.kind = Parsed::Kind::blank_year;
    return p;
  }
  auto minus_at = [&](int column) {
    return static_cast<int>(record.size()) >= column && record[at(column)] == '-';
  };
  // A "-" just before the usual year columns marks a year below -999, whose field takes
  // one or two columns of the id.
  const int wide = usual_id_width(rings);
  int id_width = wide;
  if (minus_at(wide)) {
    id_width = wide - 1;
  } else if (minus_at(wide - 1)) {
    id_width = wide - 2;
  }
  const Layout& chosen_layout = id_width == wide       ? layouts.wide
                                : id_width == wide - 1 ? layouts.middle
                                                       : layouts.narrow;
  Parsed chosen = read_with(record, rings, chosen_layout, id_width);
  if (id_width == wide ||
      (chosen.kind == Parsed::Kind::data && layout_holds(rings, id_width, chosen.year))) {
    return chosen;
  }
  // The "-" belongs to the id (as in "10ALAN-A1886"): the usual layout reads the record.
  Parsed standard = read_with(record, rings, layouts.wide, wide);
  if (standard.kind == Parsed::Kind::data) return standard;
  return chosen.kind != Parsed::Kind::title || (chosen.has_year && chosen.numbers) ? chosen
                                                                                   : standard;
}

// Some files hold ring-width records whose short id is followed by the year one column
// too early ("EGR108 1713   156 ..."): read as they stand, the year and every value lose a
// digit's place. When the record read with one or two blanks put back before the year
// keeps the fixed columns, that reading is taken. Returns the shift, 0 when none fits.
int realign(std::string_view record, const ReadLayouts& layouts, Parsed& p) {
  constexpr int kLargestShift = 2;
  for (int shift = 1; shift <= kLargestShift; ++shift) {
    const auto at = static_cast<std::size_t>(usual_id_width(true) - shift);
    if (record.size() <= at) break;
    std::string moved(record);
    moved.insert(at, static_cast<std::size_t>(shift), ' ');
    moved.resize(std::min<std::size_t>(moved.size(), 80));
    Parsed q = parse_record(moved, true, layouts);
    if (q.kind == Parsed::Kind::data && !q.loose) {
      p = q;
      p.shift = shift;
      return shift;
    }
  }
  return 0;
}

// The record after a series' decade 9990-9999 holds the year 10000 in the five-column year
// field, as trrw_write writes it: read by the usual layout it would give the year 0 and an
// id a column longer. Gives that record read with the five-column layout, or `p` (the
// record as read) when it holds another year there.
Parsed after_last_decade(std::string_view record, bool rings, const ReadLayouts& layouts,
                         const Parsed& p) {
  const Parsed q = read_with(record, rings, layouts.middle, rings ? 7 : 5);
  return q.kind == Parsed::Kind::data && q.year == kLatestYear + 1 ? q : p;
}

// Ids of two records of one series agree in the columns that both records hold.
bool same_series(std::string_view a, int a_columns, std::string_view b, int b_columns) {
  auto w = static_cast<std::size_t>(std::min(a_columns, b_columns));
  return trim_right(a.substr(0, w)) == trim_right(b.substr(0, w));
}

// The fixed columns of a data record of the mode, for the messages.
std::string columns_note(bool rings) {
  return rings ? " a tucson ring-width record holds the id in columns 1-8, the year in 9-12 and "
                 "ten values of 6 columns each from column 13, each value inside its own field"
               : " a tucson index record holds the id in columns 1-6, the year in 7-10 and ten "
                 "pairs of a 4-column index and a 3-column sample depth from column 11";
}

// "1 line", "3 lines": a count with its noun.
std::string counted(int n, const std::string& noun) {
  const bool plural = n != 1 && !noun.ends_with('s');
  return std::to_string(n) + " " + noun + (plural ? "s" : "");
}

// The title records listed, each with what kept it from being a data record.
std::string describe_titles(const std::vector<TucsonFile::TitleRecord>& titles) {
  std::string text;
  for (const auto& t : titles) {
    text += "\n   line " + std::to_string(t.line) + ": " + t.text + "\n     (" + t.reason + ")";
  }
  return text;
}

// True when a ring-width record reads as a record of the tucson index format, every
// field right-justified in its columns.
bool reads_as_index(std::string_view record) {
  const ReadLayouts index(false);
  const Parsed p = parse_record(record, false, index);
  return p.kind == Parsed::Kind::data && !p.loose;
}

// True when slot `slot` of a record holds no characters: read as 0, it would be a value.
bool blank_slot(std::string_view record, bool rings, int slot) {
  const Columns c = value_field(rings, slot);
  return blank_columns(record, c.first, c.last());
}

// Scans slots `from` to `to` of a ring-width record after a 999: true at a -9999 (the
// series is in thousandths), false at an empty slot (the series ended with its 999, in
// hundredths), nothing when the values go on into the next record.
std::optional<bool> fine_marker_ahead(std::string_view record, const Parsed& p, int from, int to) {
  for (int slot = from; slot <= to; ++slot) {
    if (blank_slot(record, true, slot)) return false;
    if (p.value[at(slot)] == kEndMarkerFine) return true;
  }
  return std::nullopt;
}

// Keeps title record `count` of the call: the first is the data title of the series, and
// the first three are the file's header lines.
void keep_title(int count, std::string_view record, TucsonFile& file, SeriesRead& s,
                std::vector<TucsonMessage>& messages) {
  const std::string_view r80 = record.substr(0, std::min<std::size_t>(record.size(), 80));
  messages.push_back(
      {count == 1 ? TucsonMessage::Kind::data_title : TucsonMessage::Kind::title, trimmed(record)});
  if (count == 1) s.text = field(record, 80);
  if (count <= 3) file.header_lines[at(count)] = field(r80, 85);
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
  void restart() { missing_.clear(); }  // a new series begins

 private:
  SeriesRead& s_;
  int max_;
  std::vector<int> missing_;
};

// Reads one series; the state of the call.
class SeriesReader {
 public:
  SeriesReader(RecordStream& in, bool rings, TucsonFile& file, int max_years)
      : in_(in), rings_(rings), file_(file), layouts_(rings), values_(s_, max_years) {}

  TucsonReading read();

 private:
  // What a record means for the series in hand.
  enum class Step { next_record, done };

  std::optional<Parsed> next_parsed(const std::string& record, int line);
  Step title(const std::string& record, const Parsed& p, int line);
  Step data(const std::string& record, const Parsed& p, int line);
  bool continues_to_fine_marker(std::string_view record, const Parsed& p, int slot, int slots);
  void note_wide_ring(std::string_view record, const Parsed& p, int slot, int line, float mm);
  Step end_in_hundredths();
  Step end_of_series();
  TucsonReading header_driven(std::string_view r80);
  TucsonReading series_read();
  void note(std::string text) { messages_.push_back({TucsonMessage::Kind::note, std::move(text)}); }
  [[noreturn]] void refuse(const std::string& message, std::string_view record);
  [[noreturn]] void refuse_unreadable(const Parsed& p, std::string_view record, int line);
  bool damaged(const Parsed& p);
  bool continues(const Parsed& before, const Parsed& next) const;
  bool next_record_continues(const Parsed& p);
  void check_first_record(std::string_view record, const Parsed& p, int line, int slots);
  bool ends_at_first_slot(std::string_view record, const Parsed& p) const;
  void check_index_record(std::string_view record, const Parsed& p, int line, int slots);
  [[noreturn]] void too_many_titles();
  std::string index_hint(std::string_view record) const;

  RecordStream& in_;
  bool rings_;
  TucsonFile& file_;
  ReadLayouts layouts_;
  SeriesRead s_;
  std::vector<TucsonMessage> messages_;
  SeriesBuilder values_;
  int titles_ = 0;
  std::vector<TucsonFile::TitleRecord> call_titles_;  // the first title records of the call
  bool started_ = false;                              // a data record of this series has been read
  bool fine_ = false;  // the series is known to end with -9999: a 999 in it is a value
  int id_width_ = 8;
  int start_line_ = 0;
  int next_year_ = 0;       // year that the next record of the series must carry
  bool realigned_ = false;  // a record out of place has been noted
  // Why the series is refused when its end marker says hundredths: its first value that is
  // then a ring of 1000 mm or more. In thousandths every 6-column value is a narrower ring.
  std::string wide_ring_;
};

// How the reading of a series ends when the records cannot be read safely: thrown from
// where the reader meets the fault and caught in read(), which returns it.
struct Refusal {
  TucsonEnd end;
  std::string text;
};

void SeriesReader::refuse(const std::string& message, std::string_view record) {
  std::string text = message;
  if (!record.empty()) text += "\n " + trimmed(record) + "\n" + columns_note(rings_);
  text += index_hint(record);
  throw Refusal{TucsonEnd::refused, text};
}

// A ring-width record that reads as a tucson index record points to a chronology file.
std::string SeriesReader::index_hint(std::string_view record) const {
  if (!rings_ || record.empty() || !reads_as_index(record)) return "";
  return "\n the record reads as a tucson index (chronology) record: the file looks like a "
         "chronology, not ring widths; " +
         file_.index_choice;
}

void SeriesReader::refuse_unreadable(const Parsed& p, std::string_view record, int line) {
  refuse("*** series " + trimmed(p.id) + ": line " + std::to_string(line) + " holds a " +
             (p.has_year ? "value" : "year") + " that cannot be read: " + p.reason,
         record);
}

// The one rule of the title records. A record that does not read as a data record of the
// mode is a damaged record of a series, never a title, when
// - its value columns read as numbers (reads_as_numbers), whatever its id and year, or
// - it carries the id and the year that the series in hand needs next, or
// - the next record continues it as the same series' next decade.
// Only a record that is none of these is a title record: before a series' first data
// record, or after an index series, which it then ends.
bool SeriesReader::damaged(const Parsed& p) {
  if (p.numbers) return true;
  if (!p.has_year) return false;
  if (started_ && p.year == next_year_ &&
      same_series(p.id, record_id_columns(rings_, p.year), s_.id, id_width_)) {
    return true;
  }
  return !started_ && next_record_continues(p);
}

// True when `next` is the record of the same series that follows `before`: its id, and
// the year after `before`'s decade.
bool SeriesReader::continues(const Parsed& before, const Parsed& next) const {
  return next.year == before.year + decade_slots(before.year) &&
         same_series(next.id, record_id_columns(rings_, next.year), before.id,
                     record_id_columns(rings_, before.year));
}

// Looks past blank records at the next record, which is given back to the stream.
bool SeriesReader::next_record_continues(const Parsed& p) {
  std::vector<std::string> ahead;
  bool continued = false;
  while (std::optional<std::string> next = in_.next()) {
    ahead.push_back(*next);
    const Parsed q =
        parse_record(next->substr(0, std::min<std::size_t>(next->size(), 80)), rings_, layouts_);
    if (q.kind == Parsed::Kind::blank_year) continue;
    continued = q.has_year && continues(p, q);
    break;
  }
  in_.unread(ahead);
  return continued;
}

// The first record of a series holds values only from its year to the end of its decade:
// ring widths leave the slots after it blank, index records fill the slots before it. A
// value beyond would be dropped, and the record's year moves every value.
void SeriesReader::check_first_record(std::string_view record, const Parsed& p, int line,
                                      int slots) {
  for (int slot = 1; slot <= 10; ++slot) {
    const bool outside = rings_ ? slot > slots : slot <= 10 - slots;
    if (!outside || blank_slot(record, rings_, slot)) continue;
    if (!rings_ && p.value[at(slot)] >= kIndexEmpty) continue;
    const Columns c = value_field(rings_, slot);
    refuse("*** series " + trimmed(p.id) + ": line " + std::to_string(line) + " holds a value " +
               (rings_ ? "after" : "before") + " the years " + std::to_string(p.year) + " to " +
               std::to_string(p.year + slots - 1) + " that its year leaves in its decade: " +
               describe_field(record, c.first - p.shift, c.width),
           record);
  }
}

// True when the first slot of a record holds no value but the series' end.
bool SeriesReader::ends_at_first_slot(std::string_view record, const Parsed& p) const {
  if (blank_slot(record, rings_, 1)) return true;
  const long long v = p.value[0];
  return rings_ ? v == kEndMarker || v == kEndMarkerFine : v >= kIndexEmpty;
}

// An index series ends at its first fill: a value after it in the record is a damaged
// fill or a damaged value.
void SeriesReader::check_index_record(std::string_view record, const Parsed& p, int line,
                                      int slots) {
  bool filled = false;
  for (int slot = 11 - slots; slot <= 10; ++slot) {
    const bool fill = blank_slot(record, false, slot) || p.value[at(slot)] >= kIndexEmpty;
    if (filled && !fill) {
      const Columns c = value_field(false, slot);
      refuse("*** series " + trimmed(p.id) + ": line " + std::to_string(line) +
                 " holds a value after the fill " + std::to_string(kIndexEmpty) +
                 " that ends the series: " + describe_field(record, c.first, c.width),
             record);
    }
    filled = filled || fill;
  }
}

void SeriesReader::too_many_titles() {
  std::string text = "sbr trrw:  over 25 text lines\n " + std::to_string(titles_) +
                     " records were taken for title records, as they do not read as data "
                     "records of the tucson " +
                     (rings_ ? "ring-width" : "index") + " format; the first of them:";
  text += describe_titles(call_titles_);
  text += "\n" + columns_note(rings_);
  if (!call_titles_.empty()) text += index_hint(call_titles_.front().text);
  throw Refusal{TucsonEnd::title_limit, text};
}

// The record goes back to the stream for the header-driven reader.
TucsonReading SeriesReader::header_driven(std::string_view r80) {
  in_.back();
  return {std::move(s_), std::move(messages_), TucsonEnd::header_driven, field(r80, 80)};
}

TucsonReading SeriesReader::series_read() {
  return {std::move(s_), std::move(messages_), TucsonEnd::series, ""};
}

// The record parsed, realigned when it was written a column or two early; nothing for a
// record that is passed over.
std::optional<Parsed> SeriesReader::next_parsed(const std::string& record, int line) {
  Parsed p = parse_record(record, rings_, layouts_);
  if (rings_ && (p.kind == Parsed::Kind::ragged || (p.kind == Parsed::Kind::data && p.loose))) {
    const int shift = realign(record, layouts_, p);
    if (shift > 0 && !realigned_) {
      realigned_ = true;
      note("*** series " + trimmed(p.id) + ": line " + std::to_string(line) + " is " +
           std::to_string(shift) + (shift == 1 ? " column" : " columns") +
           " out of place; read as year " + std::to_string(p.year) +
           " (the same for later records of the series)");
    }
  }
  if (started_ && next_year_ > kLatestYear) p = after_last_decade(record, rings_, layouts_, p);
  switch (p.kind) {
    case Parsed::Kind::blank_year:
      if (started_ && !trim_right(record).empty()) {
        note("*** line " + std::to_string(line) + " passed over: its year field is blank");
      }
      return std::nullopt;
    case Parsed::Kind::ragged:
      refuse("*** line " + std::to_string(line) +
                 ": values are not in the fixed columns of the tucson format: " + p.reason,
             record);
    case Parsed::Kind::title:
    case Parsed::Kind::data:
      break;
  }
  return p;
}

SeriesReader::Step SeriesReader::title(const std::string& record, const Parsed& p, int line) {
  if (damaged(p)) refuse_unreadable(p, record, line);
  if (started_ && !rings_) {
    in_.back();  // an index series needs no end mark: it ends before the title
    return Step::done;
  }
  if (started_) {
    refuse("*** series " + trimmed(s_.id) + ": line " + std::to_string(line) +
               " interrupts the series before its end marker: " + p.reason,
           record);
  }
  const std::string_view r80 =
      std::string_view(record).substr(0, std::min<std::size_t>(record.size(), 80));
  const TucsonFile::TitleRecord t{line, trimmed(r80), p.reason};
  if (call_titles_.size() < kTitlesShown) call_titles_.push_back(t);
  if (file_.titles.size() < kTitlesShown) file_.titles.push_back(t);
  ++file_.title_count;
  if (++titles_ > kMaxTitleRecords && file_.title_limit) too_many_titles();
  keep_title(titles_, record, file_, s_, messages_);
  return Step::next_record;
}

// A 999 in `slot` of a ring-width record (of `slots` slots) is the end marker of a series in
// hundredths, unless values of the same series follow it up to a -9999: then the series is
// in thousandths and the 999 is a ring of 0.999 mm. The records read to decide are given
// back.
bool SeriesReader::continues_to_fine_marker(std::string_view record, const Parsed& p, int slot,
                                            int slots) {
  std::optional<bool> fine = fine_marker_ahead(record, p, slot + 1, slots);
  std::vector<std::string> ahead;
  int year = next_year_;
  while (!fine) {
    std::optional<std::string> next = in_.next();
    if (!next) {
      fine = false;
      break;
    }
    ahead.push_back(*next);
    const std::string_view r80 =
        std::string_view(*next).substr(0, std::min<std::size_t>(next->size(), 80));
    Parsed q = parse_record(r80, true, layouts_);
    if (q.kind == Parsed::Kind::ragged || (q.kind == Parsed::Kind::data && q.loose)) {
      realign(r80, layouts_, q);
    }
    if (year > kLatestYear) q = after_last_decade(r80, true, layouts_, q);
    if (q.kind == Parsed::Kind::blank_year) continue;
    if (q.kind != Parsed::Kind::data || q.year != year ||
        !same_series(q.id, record_id_columns(true, q.year), s_.id, id_width_)) {
      fine = false;
      break;
    }
    year += 10;
    fine = fine_marker_ahead(r80, q, 1, 10);
  }
  in_.unread(ahead);
  return *fine;
}

SeriesReader::Step SeriesReader::data(const std::string& record, const Parsed& p, int line) {
  int slots = 10;
  if (!started_) {
    check_first_record(record, p, line, decade_slots(p.year));
    started_ = true;
    s_.id = p.id;
    s_.first_year = p.year;
    id_width_ = record_id_columns(rings_, p.year);
    start_line_ = line;
    slots = decade_slots(p.year);
    next_year_ = p.year + slots;
  } else {
    if (!same_series(p.id, record_id_columns(rings_, p.year), s_.id, id_width_)) {
      if (!rings_ && p.year != next_year_) {
        in_.back();  // the next index series begins here
        return Step::done;
      }
      if (!rings_) {
        refuse("*** series " + trimmed(s_.id) + ": line " + std::to_string(line) +
                   " carries the id " + trimmed(p.id) + " where the series goes on in " +
                   std::to_string(next_year_) + "; an index series ends with the fill " +
                   std::to_string(kIndexEmpty) + " before the next one begins",
               record);
      }
      refuse("*** series " + trimmed(s_.id) + " has no end marker: line " + std::to_string(line) +
                 " begins series " + trimmed(p.id),
             "");
    }
    if (p.year != next_year_) {
      // Decades left out are missing years inside a series; none end it.
      const long long skipped = static_cast<long long>(p.year) - next_year_;
      if (skipped < 0 || skipped % 10 != 0 || ends_at_first_slot(record, p)) {
        refuse("*** series " + trimmed(s_.id) + ": line " + std::to_string(line) + " holds year " +
                   std::to_string(p.year) + " where " + std::to_string(next_year_) +
                   " was expected",
               "");
      }
      note("*** series " + trimmed(s_.id) + ": line " + std::to_string(line) + " skips the years " +
           std::to_string(next_year_) + " to " + std::to_string(p.year - 1) +
           "; they are read as missing");
      values_.add_missing(skipped);
    }
    next_year_ = p.year + 10;
  }
  if (!rings_) check_index_record(record, p, line, slots);

  // The values of this record, up to the end of the series.
  for (int slot = (rings_ ? 1 : 11 - slots); slot <= (rings_ ? slots : 10); ++slot) {
    const long long v = p.value[at(slot)];
    // A blank field would read as 0: for ring widths that is no value but a record cut
    // short; an index series simply ends there.
    if (blank_slot(record, rings_, slot)) {
      if (!rings_) return end_of_series();
      refuse("*** series " + trimmed(s_.id) + ": line " + std::to_string(line) +
                 " holds no value for the year " + std::to_string(p.year + slot - 1),
             "");
    }
    if (rings_ && v == kEndMarkerFine) {
      values_.scale(kFineFactor);
      return end_of_series();
    }
    if (rings_ && v == kEndMarker) {
      fine_ = fine_ || continues_to_fine_marker(record, p, slot, slots);
      if (!fine_) return end_in_hundredths();
    }
    if (!rings_ && v >= kIndexEmpty) return end_of_series();
    if (rings_) {
      const float mm = static_cast<float>(v) * kRingUnit;
      note_wide_ring(record, p, slot, line, mm);
      values_.add(mm, 0);
    } else {
      values_.add(static_cast<float>(v) * kIndexUnit, static_cast<int>(p.depth[at(slot)]));
    }
  }
  return Step::next_record;
}

// Keeps the place of the series' first value that is a ring of `mm` millimetres, 1000 or
// more, while the series is read in hundredths.
void SeriesReader::note_wide_ring(std::string_view record, const Parsed& p, int slot, int line,
                                  float mm) {
  if (!wide_ring_.empty() || is_ring_width(mm)) return;
  const int column = value_field(true, slot).first - p.shift;
  wide_ring_ =
      "*** series " + trimmed(s_.id) + ": " +
      not_a_ring_width("line " + std::to_string(line) + ", " + describe_field(record, column, 6),
                       decimal_text(std::to_string(p.value[at(slot)]), kRingShift), "0.01 mm");
}

// A 999 has ended the series in hundredths, where its values are the rings read.
SeriesReader::Step SeriesReader::end_in_hundredths() {
  if (!wide_ring_.empty()) refuse(wide_ring_, "");
  return end_of_series();
}

// The series has met its end: it is returned, or passed over when it holds no value.
SeriesReader::Step SeriesReader::end_of_series() {
  if (s_.n > 0) {
    if (rings_) s_.depth.clear();
    return Step::done;
  }
  note("*** series " + trimmed(s_.id) + " (line " + std::to_string(start_line_) +
       ") holds no values; passed over");
  ++file_.empty_series;
  std::string text = std::move(s_.text);
  s_ = SeriesRead{};
  s_.text = std::move(text);
  values_.restart();
  started_ = false;
  fine_ = false;
  return Step::next_record;
}

TucsonReading SeriesReader::read() {
  try {
    for (;;) {
      std::optional<std::string> record = in_.next();
      if (!record) {
        if (!started_) {
          s_.n = kEndOfData;
          file_.series_number = kEndOfData;
          return series_read();
        }
        // An index series may end with the file (its last decade full); a ring-width
        // series may not, as only its end marker tells the units of its values.
        if (!rings_) return series_read();
        refuse("*** series " + trimmed(s_.id) + " (line " + std::to_string(start_line_) +
                   "): the file ends before its end marker (999 or -9999)",
               "");
      }
      const int line = in_.number();
      if (line > file_.records) {
        file_.records = line;
        if (trim_right(*record).empty()) ++file_.blank_records;
      }
      const std::string r80 = record->substr(0, std::min<std::size_t>(record->size(), 80));

      // A header-driven series is marked by "#" in column 80 before its first value; a
      // record whose values read as numbers is a damaged data record instead.
      if (!started_ && r80.size() == 80 && r80[79] == '#') {
        if (!value_columns_read_as_numbers(r80, rings_)) return header_driven(r80);
        refuse("*** line " + std::to_string(line) + " holds \"#\" in column 80, the mark of a " +
                   "header-driven series, but numbers where a series' values stand",
               r80);
      }

      const std::optional<Parsed> p = next_parsed(r80, line);
      if (!p) continue;
      const Step step =
          p->kind == Parsed::Kind::title ? title(*record, *p, line) : data(r80, *p, line);
      if (step == Step::done) return series_read();
    }
  } catch (Refusal& r) {
    return {std::move(s_), std::move(messages_), r.end, std::move(r.text)};
  }
}

// Shows the title records and notes of a reading on the console, and the title records
// on `echo` when it is given.
void report(const std::vector<TucsonMessage>& messages, Console& console, std::ostream* echo) {
  for (const TucsonMessage& m : messages) {
    switch (m.kind) {
      case TucsonMessage::Kind::data_title:
        if (echo != nullptr) *echo << Layout("(/t10,'title of data:'/1x,a)").write(m.text) << '\n';
        console.say(Layout("(/1x,'title of data:'/1x,a)").write(m.text));
        break;
      case TucsonMessage::Kind::title:
        if (echo != nullptr) *echo << Layout("(1x,a)").write(m.text) << '\n';
        console.say(Layout("(1x,a)").write(m.text));
        break;
      case TucsonMessage::Kind::note:
        console.say(m.text);
        break;
    }
  }
}

// Reads the series whose first record has "#" in column 80 with the header-driven reader.
SeriesRead read_header_driven(RecordStream& in, TucsonMode mode, std::string title,
                              TucsonFile& file, Console& console, std::ostream* echo,
                              int max_years) {
  SeriesRead d = datar(in, title, console, max_years,
                       mode == TucsonMode::mr ? SeriesValues::ring_widths : SeriesValues::indices);
  d.id = field(title, 8);
  if (echo != nullptr) {
    *echo << Layout("(/t10,'title of data:  ',a/)").write(trimmed(title)) << '\n';
  }
  if (d.n == kEndOfData) file.series_number = kEndOfData;
  return d;
}

}  // namespace

TucsonReading read_tucson_series(RecordStream& in, TucsonMode mode, TucsonFile& file,
                                 int max_years) {
  if (mode != TucsonMode::mr && mode != TucsonMode::ir) {
    throw std::invalid_argument("trrw_read: not a reading mode");
  }
  file.series_number = std::max(file.series_number, 0) + 1;
  if (file.series_number == 1) {
    for (auto& h : file.header_lines) h.assign(85, ' ');
  }
  return SeriesReader(in, mode == TucsonMode::mr, file, max_years).read();
}

SeriesRead trrw_read(RecordStream& in, TucsonMode mode, TucsonFile& file, Console& console,
                     std::ostream* echo, int max_years) {
  TucsonReading r = read_tucson_series(in, mode, file, max_years);
  report(r.messages, console, echo);
  switch (r.end) {
    case TucsonEnd::series:
      break;
    case TucsonEnd::header_driven:
      return read_header_driven(in, mode, std::move(r.text), file, console, echo, max_years);
    case TucsonEnd::refused:
      pause_and_stop(console, r.text);
    case TucsonEnd::title_limit:
      throw Stop(r.text, kFailureStatus);
  }
  return std::move(r.series);
}

std::string tucson_no_series_note(const TucsonFile& file, TucsonMode mode) {
  const bool rings = mode == TucsonMode::mr;
  std::string note =
      std::string(" the file holds no tucson ") + (rings ? "ring-width" : "index") + " series: ";
  if (file.records == 0) return note + "it is empty";
  if (file.records == file.blank_records) return note + "it holds only blank lines";
  note += "its " + counted(file.records, "line") + (file.records == 1 ? " holds " : " hold ") +
          counted(file.title_count, "title record");
  if (file.empty_series > 0)
    note += " and " + counted(file.empty_series, "series") + " without values";
  if (file.titles.empty()) return note;
  note += "; the first title records, each with what kept it from being a data record:" +
          describe_titles(file.titles);
  return note + "\n" + columns_note(rings);
}

}  // namespace dendro
