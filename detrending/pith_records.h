// What the pith offset readers of both programs hold a record of a pith offset file to. A
// pith offset counts the rings missing between the pith and the first measured ring, so it
// is a whole number from 0 to kLargestPithOffset.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace dendro {

// Why `value`, read as the text `as_read`, is no pith offset; empty when it is one.
std::string pith_offset_refusal(double value, std::string_view as_read);

// Why the layout a user typed cannot read one pith offset from a record: it is no layout,
// it has no field, its first field reads text, or it needs a second record. Empty when it
// can.
std::string offset_layout_fault(std::string_view text);

// The offsets of a file in the order of their records. A blank record read by a fixed
// layout is an offset of 0, as the layout reads it; blank records that no offset follows
// (at the end of a file) are passed over, so that a file cut short is never made up with
// zeros.
class OffsetRecords {
 public:
  void blank() { ++blanks_; }
  void offset(int value);
  // The offsets so far, the blank records before the latest offset among them.
  std::size_t size() const { return values_.size(); }
  // As size(), with the blank records since the latest offset.
  std::size_t with_blanks() const { return values_.size() + blanks_; }
  const std::vector<int>& values() const { return values_; }

 private:
  std::vector<int> values_;
  std::size_t blanks_ = 0;  // blank records since the latest offset
};

}  // namespace dendro
