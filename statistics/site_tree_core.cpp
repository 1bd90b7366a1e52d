#include "statistics/site_tree_core.h"

#include <cstddef>
#include <string>

#include "series/index.h"
#include "series/text.h"

namespace dendro {
namespace {
constexpr std::size_t kIdLength = 8;
}  // namespace

void stc(Tsi1& tsi1, std::string_view mask) {
  std::size_t site = 0, tree = 0;
  for (char c : mask.substr(0, kIdLength)) {
    if (c == 's' || c == 'S') ++site;
    if (c == 't' || c == 'T') ++tree;
  }
  const std::size_t key_length = site + tree;  // the id's characters 1 to ns + nt

  const int count = tsi1.count;
  for (int i = 1; i <= count; ++i) tsi1.year_row(i).cpa = 0;
  // Every pass names one tree after the first series not yet placed, so a series is placed
  // in each pass and the loop ends after at most `count` passes.
  int assigned = 0;
  for (int tree_number = 1; assigned < count; ++tree_number) {
    int first = 1;
    while (tsi1.year_row(first).cpa != 0) ++first;
    const std::string key = field(tsi1.ids[at(first)], kIdLength).substr(0, key_length);
    for (int i = first; i <= count; ++i) {
      SeriesYears& row = tsi1.year_row(i);
      if (row.cpa != 0) continue;
      if (field(tsi1.ids[at(i)], kIdLength).starts_with(key)) {
        row.cpa = tree_number;
        ++assigned;
      }
    }
  }
}

}  // namespace dendro
