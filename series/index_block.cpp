#include "series/index_block.h"

#include "series/console.h"
#include "series/layout.h"
#include "series/units.h"

namespace dendro {
namespace {

// The names of the units, joined as a list ("a, b and c").
std::string names_of(Units& units, std::span<const int> targets) {
  std::string list;
  for (std::size_t k = 0; k < targets.size(); ++k) {
    if (k > 0) list += k + 1 == targets.size() ? " and " : ", ";
    list += units.name(targets[k]);
  }
  return list;
}

std::vector<std::string> warning(Units& units, std::span<const int> targets,
                                 const IndexBlock& block, std::size_t at,
                                 std::string_view kept_in) {
  const int year = block.first_year + static_cast<int>(at);
  // The value fits when the misfit is its depth.
  const bool depth_misfit = !index_misfit(block.values.subspan(at, 1), {}).has_value();
  std::vector<std::string> lines{" *** the " + block.what + " is not written to " +
                                 names_of(units, targets) + ":"};
  if (depth_misfit) {
    lines.push_back(Layout("('     its sample depth ',i0,' in ',i0,"
                           "' does not fit the index records (at most 999)')")
                        .write(block.depth[at], year));
  } else {
    lines.push_back(Layout("('     its value ',f0.3,' in ',i0,"
                           "' does not fit the index records (-0.999 to 9.989)')")
                        .write(block.values[at], year));
  }
  if (!kept_in.empty()) lines.push_back("     its values are kept in " + std::string(kept_in));
  return lines;
}

}  // namespace

bool write_index_block(Units& units, Console& con, int report, std::span<const int> targets,
                       const IndexBlock& block, std::string_view kept_in) {
  if (const auto at = index_misfit(block.values, block.depth)) {
    for (const std::string& line : warning(units, targets, block, *at, kept_in)) {
      con.say(line);
      if (units.is_open(report)) units.write(report, line);
    }
    return false;
  }
  for (int u : targets) {
    for (const std::string& title : block.titles) units.write(u, title);
    trrw_write(units.out(u), block.mode, block.id, block.first_year, block.values, block.depth,
               block.tag);
  }
  return true;
}

}  // namespace dendro
