// The decadal series formats: tucson ring widths (ten values per record), tucson indices
// (ten pairs of index and sample depth per record) and the mib pex index format of the
// series save. One series per call.
#pragma once

#include <array>
#include <iosfwd>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "series/blocks.h"
#include "series/console.h"
#include "series/records.h"

namespace dendro {

// n and the running series number of a reader at the end of the data.
inline constexpr int kEndOfData = -999;

// One series as a reader returns it.
struct SeriesRead {
  std::string id = std::string(8, ' ');  // 8 characters
  int first_year = 0;
  // Number of values, kEndOfData at the end of the data. A series longer than max_years
  // keeps at most max_years values (none, when a header gave its length), so that it costs
  // no memory and the caller can still report its length.
  int n = 0;
  std::vector<float> values;
  std::vector<int> depth;                   // index records: sample depth of each value
  std::string text = std::string(80, ' ');  // first title record met in the call
};

enum class TucsonMode { mr, ir, mw, iw, qz };

// The mode of a two-letter code ("mr", "ir" read; "mw", "iw", "qz" write), in either case;
// nothing for any other code.
std::optional<TucsonMode> tucson_mode(std::string_view code);

// What links the reading calls of one file; it belongs to the caller.
struct TucsonFile {
  int series_number = 0;  // running series number; kEndOfData after the end of the data
  // Title records 1 to 3 of a call, each in an 85-character field; blanked when the
  // running series number becomes 1.
  std::array<std::string, 3> header_lines{std::string(85, ' '), std::string(85, ' '),
                                          std::string(85, ' ')};
  // kalder stops the run at the 26th title record of one call; pelliform reads on.
  bool title_limit = true;
  // How the program's user asks for the tucson index reading: the advice on ring-width
  // records that read as index records.
  std::string index_choice = "read the file as tucson index data";

  // What the reading met, for the message on a file that gives no series.
  struct TitleRecord {
    int line = 0;
    std::string text;    // the record, without trailing blanks
    std::string reason;  // what kept it from being a data record
  };
  std::vector<TitleRecord> titles;  // the first title records of the file
  int title_count = 0;              // title records of the file
  int records = 0;                  // records of the file read so far
  int blank_records = 0;
  int empty_series = 0;  // series passed over without a value
};

// A line that reading one series has for the console: a title record met (the first of a
// call is the data title) or a note on the records.
struct TucsonMessage {
  enum class Kind { data_title, title, note };
  Kind kind = Kind::note;
  std::string text;  // the title record without trailing blanks, or the note
};

// How the reading of one series ended.
enum class TucsonEnd {
  series,         // a series, or the end of the data (n is kEndOfData)
  header_driven,  // a record with "#" in column 80 begins a series for `datar`
  refused,        // records that cannot be read safely: the run stops after a pause
  title_limit,    // more than 25 title records in one call: the run stops
};

// One series of a decadal file with everything the reading met, in the order met.
struct TucsonReading {
  SeriesRead series;
  std::vector<TucsonMessage> messages;
  TucsonEnd end = TucsonEnd::series;
  // header_driven: the record (80 columns), given back to the stream for `datar`;
  // refused and title_limit: the message that stops the run.
  std::string text;
};

// The reading of trrw_read without the console: reads one series in mode mr or ir and
// returns it with its title records, notes and end.
TucsonReading read_tucson_series(RecordStream& in, TucsonMode mode, TucsonFile& file,
                                 int max_years = kMaxYears);

// Reads one series in mode mr (ring widths, returned in millimetres) or ir (indices).
// Records that are not data records of the mode are title records: they are shown on the
// console (and written to `echo` when it is given). A record with "#" in column 80 before
// the first value hands the series over to the header-driven reader `datar`.
//
// A numeric field is read by its columns with blanks ignored ("  090 " is 90). A "-"
// before the year columns picks the layout of years below -999 (one more column for -1001
// to -9999, two for -1000 and for -10000 down to -99999) only when that layout reads the
// record with such a year; otherwise (an id such as "10ALAN-A") the usual layout reads
// it. In a ring-width series a 999 followed by more values of the series up to a -9999 is
// a ring of 0.999 mm; otherwise it ends a series in hundredths.
//
// Beyond the fixed columns the reader checks that the records of a series belong
// together, so that no value is read into the wrong year or the wrong series: it stops
// the run (throws Stop, with the line, the columns and the text at fault) for a field whose
// digits are split by a blank (or, in index records, do not end in the field's last
// column), for a damaged record of a series (a record that does not read as a data record
// is a title only where its value columns read as text and neither the series in hand nor
// the next record needs it, such as "bgpc1   2 Germany ... 1520M  4741 1252", numbered in
// the index year columns), for a first record with a value outside the years its year
// leaves in its decade, for an index value after the fill that ends its series, for a
// ring-width series without its end marker (its units are unknown), for a record that
// interrupts a series, for a record whose year goes back or off the decade steps, for an
// index record of another id where the series goes on, and for a series in hundredths with
// a ring of 1000 mm or more. A record whose year skips whole decades, and holds values,
// leaves those years missing, with a console note. The stop on more than 25 title records
// lists the first of them with what kept each from being a data record.
SeriesRead trrw_read(RecordStream& in, TucsonMode mode, TucsonFile& file, Console& console,
                     std::ostream* echo = nullptr, int max_years = kMaxYears);

// Lines that follow a program's "no series" message: why the file read with `mode` gave no
// series (empty, only blank lines, only title records, with the first of them and what kept
// each from being data).
std::string tucson_no_series_note(const TucsonFile& file, TucsonMode mode);

// The id as trrw_write writes it. The reader takes a "-" just before the year columns for
// the sign of a year below -999, so that "HNG03-" with the year 1790 would read back as
// "HNG03" of -1790: a "-" in the id's last column (the sixth of index records, the eighth
// of ring-width records), and one in the column before it followed by a digit, is written
// "_". Every other id is written as it is.
std::string written_id(std::string_view id, bool rings);

// Writes one series in mode mw (ring widths in 0.001 mm with the -9999 marker), iw
// (indices) or qz (mib pex indices). `depth` is the sample depth of each value for iw and
// qz; when it is empty or its first element is below 1 every depth is written as 1.
// `tag` (3 characters) marks the records. The id is written as written_id gives it. Writes
// nothing when there is no value.
void trrw_write(std::ostream& out, TucsonMode mode, std::string_view id, int first_year,
                std::span<const float> values, std::span<const int> depth, std::string_view tag);

// The first position of a series that the index records (modes iw and qz) cannot hold as
// it is: a value whose thousandths (rounded) lie outside -999 to 9989 (four columns; 9990
// and above read back as the fill that ends a series) or that is not a number, or a sample
// depth outside 0 to 999 (three columns; the depth is not checked when trrw_write writes 1
// for every value). Nothing when the whole series fits.
std::optional<std::size_t> index_misfit(std::span<const float> values, std::span<const int> depth);

// The first position of a series that the ring-width records (mode mw) cannot hold with a
// blank before every value: a value whose thousandths (rounded) lie outside -9998 to 99999
// (further out a value fills its six columns and runs into the one before it; -9999 reads
// back as the end marker) or that is not a number. Nothing when the whole series fits.
std::optional<std::size_t> ring_misfit(std::span<const float> values);

// Columns of the id field of a decadal record headed by `year`, ring-width (8 at most) or
// index (6): a year below -999 takes one of them (-1001 to -9999) or two (-1000, and
// -10000 and earlier), and the year 10000 one: a series whose last value falls in 9999
// ends with a record of that year, holding only its end marker or its fill.
int record_id_columns(bool rings, int year);

// Slots of the first decadal record of a series beginning in `year`: the years from it to
// the end of its decade (the decade of a negative year runs from the next lower multiple
// of ten: -15 lies in -20 to -11).
int decade_slots(int year);

// Nearest integer, halves away from zero, as the formats store values. Values beyond the
// integer range saturate, so that they overflow their field instead of wrapping around.
long long nint(float value);

}  // namespace dendro
