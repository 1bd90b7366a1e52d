#include "detrending/pith_records.h"

#include <cmath>

#include "series/blocks.h"
#include "series/layout.h"

namespace dendro {
namespace {

// A record of letters as wide as the longest record a layout may be typed for: a number
// field reads no letter, a text field reads any.
constexpr std::size_t kProbeWidth = kMaxYears;

}  // namespace

std::string pith_offset_refusal(double value, std::string_view as_read) {
  if (value >= 0 && value <= kLargestPithOffset && value == std::floor(value)) return "";
  return "pith offset " + std::string(as_read) + " is not a whole number of rings from 0 to " +
         std::to_string(kLargestPithOffset);
}

std::string offset_layout_fault(std::string_view text) {
  const std::string named = "layout \"" + std::string(text) + "\"";
  try {
    Layout(text).read(std::string(kProbeWidth, 'x'), 1);
    return named + " reads text, not a number";
  } catch (const FormatError& e) {
    const std::string why = e.what();
    return why.find(named) == std::string::npos ? named + ": " + why : why;
  } catch (const ReadError& e) {
    // A number field that meets the letters has a width; a read that runs out of records
    // has none.
    if (e.width > 0) return "";
    return named + " needs a second record for one offset";
  }
}

void OffsetRecords::offset(int value) {
  values_.insert(values_.end(), blanks_, 0);
  blanks_ = 0;
  values_.push_back(value);
}

}  // namespace dendro
