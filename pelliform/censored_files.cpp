#include "pelliform/censored_files.h"

#include <stdexcept>

#include "pelliform/file_names.h"
#include "series/files/forms.h"
#include "series/files/interrupts.h"
#include "series/layout.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {
namespace {

struct Reduction {
  char item;
  const char* suffix;  // up to the "="
  const char* label;   // marks the records
  const char* code;    // columns 85-88 of the title records
};
namespace pn = pelliform_names;
constexpr Reduction kReductions[] = {
    {'2', pn::kMinimumLengthTag, "mnsl", "MNSL"},  {'3', pn::kMaximumStartTag, "mxsy", "MXSY"},
    {'4', pn::kMinimumStartTag, "mnsy", "MNSY"},   {'5', pn::kTruncatedBeforeTag, "trnb", "TRNB"},
    {'6', pn::kTruncatedAfterTag, "trna", "TRNA"}, {'7', pn::kCommonPeriodTag, "comm", "COMM"},
};
constexpr int kCodeColumn = 85;

const Reduction& reduction(char item) {
  for (const Reduction& r : kReductions) {
    if (r.item == item) return r;
  }
  throw std::invalid_argument("savcen: no reduction for menu item " + std::string(1, item));
}

// The value right-justified in `width` columns, widened when it needs more.
std::string value_field(int value, int width) {
  const std::string digits = std::to_string(value);
  const int w = std::max(width, static_cast<int>(digits.size()));
  return Layout("(i" + std::to_string(w) + ")").write(value);
}

// Lengths and truncation years below 100 take 2 columns, below 1000 3, else 4.
int short_width(int value) { return value < 100 ? 2 : value < 1000 ? 3 : 4; }

}  // namespace

std::string censored_file_name(char item, int value, int second_value, std::string_view data_file) {
  const Reduction& r = reduction(item);
  std::string name = file_stem(data_file) + r.suffix;
  switch (item) {
    case '2':
    case '5':
    case '6':
      name += value_field(value, short_width(value));
      break;
    case '7':
      name += value_field(value, 4) + "-" + value_field(second_value, 4);
      break;
    default:
      name += value_field(value, 4);
  }
  return name + ".txt";
}

std::string savcen(char item, int value, int second_value, SeriesSet& set,
                   std::string_view data_file, Units& units, int unit, Console& con) {
  const Reduction& r = reduction(item);
  const std::string name = censored_file_name(item, value, second_value, data_file);
  // A set with a value the ring-width records cannot hold is not saved at all: a file
  // without that series would read back as another set.
  for (int s = 0; s < set.count(); ++s) {
    const auto k = static_cast<std::size_t>(s);
    const std::span<const float> values = set.values[k];
    if (const auto j = ring_misfit(values)) {
      con.say(Layout("(/' *** the censored set is not saved to ',a,': series ',a,' in ',i0,"
                     "' holds ',f0.3,',')")
                  .write(name, trim_right(set.ids[k]), set.rows[k].first + static_cast<int>(*j),
                         values[*j]));
      con.say("     and its records hold -9.998 to 99.999");
      return {};
    }
  }
  std::ostream& out = units.create(unit, name);
  con.say(Layout("(/'File for censored data created: ',a)").write(name));
  for (std::string& line : set.title) {
    line = field(line, kTitleLength);
    line.replace(kCodeColumn - 1, 4, r.code);
    out << line << '\n';
  }
  for (int s = 0; s < set.count(); ++s) {
    stop_if_interrupted();
    const auto k = static_cast<std::size_t>(s);
    trrw_write(out, TucsonMode::mw, set.ids[k], set.rows[k].first, set.values[k], {}, r.label);
  }
  units.close(unit);
  return name;
}

}  // namespace dendro
