#include "series/tucson.h"

#include <algorithm>
#include <cmath>
#include <ostream>
#include <stdexcept>

#include "series/layout.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {

namespace {

// The write layouts, parsed once for every record of every series: by the width of the
// id field in front of the year (a year below -999 takes a column or two of it), and for
// ring widths with the tag after a full decade.
const Layout kRingsWide("(a8,i4,10i6)"), kRingsMiddle("(a7,i5,10i6)"), kRingsNarrow("(a6,i6,10i6)");
const Layout kRingsWideTag("(a8,i4,10i6,t75,a)"), kRingsMiddleTag("(a7,i5,10i6,t75,a)"),
    kRingsNarrowTag("(a6,i6,10i6,t75,a)");
const Layout kIndexWide("(a6,i4,10(i4,i3),2x,a)"), kIndexMiddle("(a5,i5,10(i4,i3),2x,a)"),
    kIndexNarrow("(a4,i6,10(i4,i3),2x,a)");

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

int record_id_columns(bool rings, int year) {
  const int wide = rings ? 8 : 6;
  if (year >= -999 && year <= kLatestYear) return wide;
  if ((year >= -9999 && year <= -1001) || year > kLatestYear) return wide - 1;
  return wide - 2;
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

std::optional<std::size_t> index_misfit(std::span<const float> values, std::span<const int> depth) {
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

std::optional<std::size_t> ring_misfit(std::span<const float> values) {
  constexpr long long kLowest = kEndMarkerFine + 1, kHighest = 99999;
  for (std::size_t j = 0; j < values.size(); ++j) {
    if (!std::isfinite(values[j])) return j;
    const long long v = nint(values[j] * 1000.0f);
    if (v < kLowest || v > kHighest) return j;
  }
  return std::nullopt;
}

std::string written_id(std::string_view id, bool rings) {
  std::string written = field(id, 8);
  const auto last = static_cast<std::size_t>(rings ? 7 : 5);  // the id's last column
  const auto digit = [&](std::size_t k) { return written[k] >= '0' && written[k] <= '9'; };
  if (written[last] == '-') written[last] = '_';
  if (written[last - 1] == '-' && digit(last)) written[last - 1] = '_';
  return written;
}

void trrw_write(std::ostream& out, TucsonMode mode, std::string_view id, int first_year,
                std::span<const float> values, std::span<const int> depth, std::string_view tag) {
  if (values.empty()) return;
  const std::string id8 = written_id(id, mode == TucsonMode::mw);
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
      const int id_columns = record_id_columns(true, year);
      const Layout& layout = id_columns == 8   ? (full ? kRingsWideTag : kRingsWide)
                             : id_columns == 7 ? (full ? kRingsMiddleTag : kRingsMiddle)
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
    // The header's years take four columns each, as the mib pex reader reads them; years
    // below -999, which it cannot read, widen both fields so that a blank stays before each.
    const std::string year = first_year < -999 ? year_descriptor(first_year, 6) : "i4";
    out << Layout("(a6,2" + year + ")").write(id8, first_year, last_year) << '\n';
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
    const int id_columns = record_id_columns(false, year);
    const Layout& layout = id_columns == 6   ? kIndexWide
                           : id_columns == 5 ? kIndexMiddle
                                             : kIndexNarrow;
    out << layout.write(id8, year, pairs, tag3) << '\n';
    if (exhausted_within) return;
    year = year - slot_first + 11;
    slot_first = 1;
  }
}

}  // namespace dendro
