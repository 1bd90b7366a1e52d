#include "options/log_file.h"

#include <algorithm>
#include <climits>
#include <optional>
#include <ostream>
#include <vector>

#include "options/defaults.h"
#include "options/labels.h"
#include "options/value_rules.h"
#include "series/console.h"
#include "series/files/stop.h"
#include "series/files/units.h"
#include "series/fit_codes.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kLabelColumn = 20;  // every record's label starts here
constexpr int kMaskRecordItem = 15;
constexpr std::size_t kLineLength = 80;

// One value field of a record: the option table element it holds, its first column and
// its width.
struct FieldPlace {
  OptionElement element;
  int start;
  int width;
};

// One option record: the label item (option 1 to 20, or 21 to 23 for the stand-dynamics
// parameters), its layout as written, and its value fields in record order.
struct RecordFields {
  int item;
  const char* layout;
  int count;
  FieldPlace fields[4];
};

constexpr const char* kWide = "(a10,t20,a50)";
constexpr const char* kCodeAndFlag = "(a6,7x,a6,t20,a50)";
constexpr const char* kDetrending = "(a6,1x,a6,a6,t20,a50)";

// Records 2 to 24 in file order.
constexpr RecordFields kRecords[] = {
    {1, kWide, 1, {{opt::data_type, 1, 10}}},
    {2, kCodeAndFlag, 2, {{opt::missing_data, 1, 6}, {opt::missing_data_plots, 14, 6}}},
    {3, kCodeAndFlag, 2, {{opt::transformation, 1, 6}, {opt::transformation_plots, 14, 6}}},
    {4,
     kDetrending,
     3,
     {{opt::first_detrending, 1, 6},
      {opt::first_detrending_parameter, 8, 6},
      {opt::first_detrending_plots, 14, 6}}},
    {5,
     kDetrending,
     3,
     {{opt::second_detrending, 1, 6},
      {opt::second_detrending_parameter, 8, 6},
      {opt::second_detrending_plots, 14, 6}}},
    {6, kWide, 1, {{opt::robust_detrending, 1, 10}}},
    {7, kWide, 1, {{opt::interactive, 1, 10}}},
    {8, kWide, 1, {{opt::index_calculation, 1, 10}}},
    {9, kCodeAndFlag, 2, {{opt::ar_method, 1, 6}, {opt::ar_method_plots, 14, 6}}},
    {10, kCodeAndFlag, 2, {{opt::pooled_ar_order, 1, 6}, {opt::pooled_ar_plots, 14, 6}}},
    {11, kWide, 1, {{opt::series_ar_order, 1, 10}}},
    {12,
     "(a4,a4,a5,a1,t20,a50)",
     4,
     {{opt::mean_chronology, 1, 4},
      {opt::bootstrap_limits, 5, 4},
      {opt::bootstrap_spline, 9, 5},
      {opt::bootstrap_plots, 14, 1}}},
    {13, kWide, 1, {{opt::stabilisation, 1, 10}}},
    {14, "(2a6,t20,a50)", 2, {{opt::common_period_first, 1, 6}, {opt::common_period_last, 7, 6}}},
    {15, "(a8,t20,a50)", 0, {}},
    {16,
     "(2a6,1x,a6,t20,a50)",
     3,
     {{opt::running_rbar_window, 1, 6},
      {opt::running_rbar_overlap, 7, 6},
      {opt::running_rbar_plots, 14, 6}}},
    {17, kWide, 1, {{opt::printout, 1, 10}}},
    {18, kWide, 1, {{opt::core_series_save, 1, 10}}},
    {19, kWide, 1, {{opt::summary_plots, 1, 10}}},
    {20, kCodeAndFlag, 2, {{opt::stand_dynamics, 1, 6}, {opt::stand_dynamics_plots, 14, 6}}},
    {21, kWide, 1, {{opt::release_window, 1, 10}}},
    {22, kWide, 1, {{opt::release_threshold, 1, 10}}},
    {23, kWide, 1, {{opt::release_error_limit, 1, 10}}},
};

// Record 13 gives the mean chronology code four columns directly followed by the bootstrap
// flag: a quantile code of -100 would run into the flag. For such a code the writer
// keeps a blank after it and gives the flag (0 or 1) three columns; the later fields keep
// their columns.
constexpr RecordFields kMeanRecordWide = {12,
                                          "(a4,1x,a3,a5,a1,t20,a50)",
                                          4,
                                          {{opt::mean_chronology, 1, 4},
                                           {opt::bootstrap_limits, 6, 3},
                                           {opt::bootstrap_spline, 9, 5},
                                           {opt::bootstrap_plots, 14, 1}}};

// The value as the layout from intfrm1 prints it: exactly its characters, sign included;
// nothing when intfrm1 has no layout for it.
std::optional<std::string> printed(int value) {
  std::string layout = intfrm1(value);
  if (layout.empty()) return std::nullopt;
  return Layout(layout).write(value);
}

// Whether the value fits its field and leaves at least one blank before the next field
// (or the label) starts in column `next`.
bool fits(const FieldPlace& fs, int next, int value) {
  std::optional<std::string> text = printed(value);
  if (!text) return false;
  const int length = static_cast<int>(text->size());
  return length <= fs.width && fs.start + length <= next - 1;
}

// The field texts of a record, each padded to its width, when every value fits.
std::optional<std::vector<std::string>> field_texts(const RecordFields& record_fields,
                                                    const Icommands& ic) {
  std::vector<std::string> texts;
  for (int f = 0; f < record_fields.count; ++f) {
    const FieldPlace& fs = record_fields.fields[f];
    const int next = f + 1 < record_fields.count ? record_fields.fields[f + 1].start : kLabelColumn;
    if (!fits(fs, next, ic[fs.element])) return std::nullopt;
    texts.push_back(field(*printed(ic[fs.element]), static_cast<std::size_t>(fs.width)));
  }
  return texts;
}

// The label of a record for the values in `ic`. The reader labels a second detrending
// "rcs-" under regional curve standardization and shows stabilisation 2 as method 1.
std::string record_label(int item, const Icommands& ic, bool reading) {
  if (reading && item == 5 && ic[opt::first_detrending] == fit::regional_curve) {
    return detrending_label(5, ic[opt::second_detrending], "rcs-");
  }
  if (reading && item == 13 && ic[opt::stabilisation] == 2) return gmh(13, 1);
  return option_label(item, ic);
}

std::string write_record(const RecordFields& record_fields, const Icommands& ic) {
  auto texts = field_texts(record_fields, ic);
  const RecordFields* used = &record_fields;
  if (!texts && record_fields.item == 12) {
    used = &kMeanRecordWide;
    texts = field_texts(kMeanRecordWide, ic);
  }
  if (!texts) {
    std::string values;
    for (int f = 0; f < record_fields.count; ++f) {
      values += " " + std::to_string(ic[record_fields.fields[f].element]);
    }
    throw Stop("*** option " + std::to_string(std::min(record_fields.item, 20)) + " values" +
                   values + " do not fit the log file record",
               kFailureStatus);
  }
  std::vector<Value> values(texts->begin(), texts->end());
  std::string label = record_label(used->item, ic, false);
  values.emplace_back(label);
  return Layout(used->layout).write_values(values);
}

// ---- reading ----

enum class Failure { none, end_of_file, bad_value };

// `place`, when given, says where the record was refused and why, one line each.
void report(Console& con, Failure failure, const std::vector<std::string>& place) {
  con.say("");
  for (const std::string& line : place) con.say(" *** " + line);
  if (failure == Failure::end_of_file) {
    con.say(" *** end-of-file reading batch commands. re-run");
    con.say(" *** the program in interactive mode to create");
    con.say(" *** the correct log files for batch mode runs.");
  } else {
    con.say(" *** error reading batch commands. re-run the");
    con.say(" *** program in interactive mode to create the");
    con.say(" *** correct log files for batch mode runs.");
  }
}

// The median and lowess widths of a detrending record: an even median width is lowered to
// the odd one below, a width below -100 becomes -100. A width of 0 to 2 ends the program:
// the message of the Stop is returned for the caller to throw once it has said where.
std::optional<std::string> check_width(int code, int& width) {
  const bool median = code == fit::running_median;
  if (!median && code != fit::lowess) return std::nullopt;
  if (width >= 0 && width <= 2) {
    return median ? "*** median filter width inadmissable"
                  : "*** lowess smoother width inadmissable";
  }
  if (width < -100) width = -100;
  if (median && width > 2 && width % 2 == 0) width -= 1;
  return std::nullopt;
}

// The method parameter that the detrending record of `item` (4 or 5) holds, and its code.
struct DetrendingFields {
  OptionElement code, parameter;
};
std::optional<DetrendingFields> detrending_fields(int item) {
  if (item == 4) return DetrendingFields{opt::first_detrending, opt::first_detrending_parameter};
  if (item == 5) return DetrendingFields{opt::second_detrending, opt::second_detrending_parameter};
  return std::nullopt;
}

// How many characters of the record's label part are compared with the label of its
// values before the echo puts that label in its place.
int compared_length(int item) {
  switch (item) {
    case 2:
    case 9:
      return 50;
    case 3:
    case 4:
    case 5:
      return 40;
    case 18:
      return 30;
    default:
      return 20;
  }
}

// The echo line of an option record: the record as read, with the label of its values
// from column 20 when the record's own label is missing or out of date.
std::string echo_line(const RecordFields& record_fields, const std::string& record,
                      const Icommands& ic) {
  std::string line = field(record, kLineLength);
  if (record_fields.item == 8) {
    line = field(std::to_string(ic[opt::index_calculation]), kLineLength);
  }
  const std::string label = record_label(record_fields.item, ic, true);
  const std::size_t at = kLabelColumn - 1;
  bool same;
  if (record_fields.item == 12) {
    same = line.compare(at, 27, label.substr(0, 26) + " ") == 0;
  } else {
    const auto n = static_cast<std::size_t>(compared_length(record_fields.item));
    same = line.compare(at, n, label, 0, n) == 0;
  }
  if (!same) line.replace(at, kLabelLength, label);
  return line;
}

struct Reader {
  Units& units;
  Icommands& ic;
  Commands& commands;
  Console& con;
  Layout echo{"(1x,a)"};
  std::vector<std::string> reason;  // where the last record failed and why

  Failure read(std::string& record) {
    return units.read_record(unit::log, record) ? Failure::none : Failure::end_of_file;
  }

  // Records are numbered from the header record: option k's record is k + 1.
  static std::string record_name(int item) {
    return "record " + std::to_string(item + 1) + " of the log file";
  }

  // Where a word of the record of `item` stands: its columns and its text.
  static std::string place(int item, const ListWord& word) {
    const std::string columns = word.first_column == word.last_column
                                    ? "column " + std::to_string(word.first_column)
                                    : "columns " + std::to_string(word.first_column) + "-" +
                                          std::to_string(word.last_column);
    return record_name(item) + ", " + columns + ": \"" + word.text + "\"";
  }

  Failure refuse(std::vector<std::string> lines) {
    reason = std::move(lines);
    return Failure::bad_value;
  }

  // Reads the values of one option record in record order. Each value is checked against
  // its element's rule once the values before it are in place, since a rule may depend on
  // them (a detrending parameter on its code, the overlap on the window); a detrending
  // width is corrected before its check.
  Failure option_record(const RecordFields& record_fields) {
    std::string record;
    if (read(record) != Failure::none) return Failure::end_of_file;
    const int item = record_fields.item;
    const auto count = static_cast<std::size_t>(record_fields.count);
    const std::vector<ListWord> words = list_words(record, count);
    for (const ListWord& word : words) {
      if (!word.value) return refuse({place(item, word), "not an integer"});
    }
    // The values stand before the label (column 20, or an earlier "!"): one more there is a
    // value split or a character damaged, which would move the values after it.
    const std::string_view before_label = std::string_view(record).substr(
        0, std::min({record.size(), record.find('!'), std::size_t{kLabelColumn - 1}}));
    const std::size_t found = list_words(before_label, count + 1).size();
    if (words.size() < count || found > count) {
      return refuse({record_name(item) + ": \"" + std::string(trim_right(chomp(record))) + "\"",
                     "expected " + std::to_string(count) + " values, found " +
                         std::to_string(std::max(words.size(), found)) +
                         (found > count ? " before the label" : "")});
    }
    Icommands next = ic;
    const std::optional<DetrendingFields> detrending = detrending_fields(item);
    for (std::size_t f = 0; f < count; ++f) {
      const OptionElement element = record_fields.fields[f].element;
      long long v = *words[f].value;
      if (detrending && element.element() == detrending->parameter.element() && v >= INT_MIN &&
          v <= INT_MAX) {
        int width = static_cast<int>(v);
        if (const auto stop = check_width(next[detrending->code], width)) {
          con.say("");
          con.say(" *** " + place(item, words[f]));
          throw Stop(*stop, kFailureStatus);
        }
        v = width;
      }
      if (const auto refusal = value_refusal(element, v, next)) {
        return refuse({place(item, words[f]), *refusal});
      }
      next[element] = static_cast<int>(v);
    }
    con.say(echo.write(echo_line(record_fields, record, next)));
    ic = next;
    return Failure::none;
  }

  Failure mask_record() {
    std::string record;
    if (read(record) != Failure::none) return Failure::end_of_file;
    const std::string mask = field(record, 8);
    commands.set_mask(mask);
    ic[opt::site_tree_core_mask] = 0;
    std::string line = field(record, kLineLength);
    const std::string label = gmh(kMaskRecordItem, 0);
    if (mask == " none   ") {
      line.replace(kLabelColumn - 1, kLabelLength + 1, " " + label);
    } else if (line.compare(kLabelColumn - 1, 20, label, 0, 20) != 0) {
      line.replace(kLabelColumn - 1, kLabelLength, label);
    }
    con.say(echo.write(line));
    return Failure::none;
  }

  // Echoes the header record with the name of the data file in hand.
  Failure header(std::string_view data_file_name) {
    std::string record;
    if (read(record) != Failure::none) return Failure::end_of_file;
    std::string line = field(record, std::max(kLineLength, record.size()));
    const std::string name = name_field(data_file_name);
    if (trim_right(line.substr(20)) != trim_right(name)) {
      std::string tail = name.size() == 40 ? line.substr(60) : std::string();
      line = field(line.substr(0, 20) + name + tail, kLineLength);
    }
    con.say("");
    con.say(echo.write(line));
    con.say(" batch file inputs:");
    con.say(" inputs.............!input indentification");
    return Failure::none;
  }
};

}  // namespace

bool fits_log_field(OptionElement element, int value) {
  for (const RecordFields& record_fields : kRecords) {
    for (int f = 0; f < record_fields.count; ++f) {
      if (record_fields.fields[f].element.element() != element.element()) continue;
      const int next =
          f + 1 < record_fields.count ? record_fields.fields[f + 1].start : kLabelColumn;
      if (fits(record_fields.fields[f], next, value)) return true;
      // A mean chronology code of four characters is kept apart by the widened record.
      return element.element() == opt::mean_chronology.element() &&
             fits(kMeanRecordWide.fields[0], kMeanRecordWide.fields[1].start, value);
    }
  }
  return true;
}

std::string log_header(int count, std::string_view data_file_name) {
  return Layout("('data file #',i3,'  --  ',a)").write(count, name_field(data_file_name));
}

void wlf(const Icommands& icommands, std::string_view mask, std::ostream& out) {
  for (const RecordFields& record_fields : kRecords) {
    if (record_fields.item == kMaskRecordItem) {
      out << Layout(record_fields.layout)
                 .write(field(mask, 8), record_label(record_fields.item, icommands, false))
          << '\n';
    } else {
      out << write_record(record_fields, icommands) << '\n';
    }
  }
}

int batch(Units& units, Icommands& icommands, Commands& commands, Console& con,
          std::string_view data_file_name) {
  Reader reader{units, icommands, commands, con, Layout("(1x,a)"), {}};
  units.rewind(unit::log);
  int status = 1;
  Failure failure = reader.header(data_file_name);
  for (const RecordFields& record_fields : kRecords) {
    if (failure != Failure::none) break;
    status = std::min(record_fields.item, 20);
    if (record_fields.item > 20 && !stand_dynamics_on(icommands[opt::stand_dynamics])) {
      // Without a stand dynamics analysis the release parameters are not read.
      icommands[opt::release_window] = 0;
      icommands[opt::release_threshold] = 0;
      icommands[opt::release_error_limit] = 0;
      break;
    }
    failure = record_fields.item == kMaskRecordItem ? reader.mask_record()
                                                    : reader.option_record(record_fields);
  }
  if (failure != Failure::none) {
    report(con, failure, reader.reason);
    return status;
  }
  return 0;
}

}  // namespace dendro
