#include "series/index_block.h"

#include <algorithm>

#include "series/console.h"
#include "series/layout.h"
#include "series/units.h"

namespace dendro {
namespace {

constexpr int kDeepest = 999;  // the largest depth three columns hold

// The names of the units, joined as a list ("a, b and c").
std::string names_of(Units& units, const std::vector<int>& targets) {
  std::string list;
  for (std::size_t k = 0; k < targets.size(); ++k) {
    if (k > 0) list += k + 1 == targets.size() ? " and " : ", ";
    list += units.name(targets[k]);
  }
  return list;
}

void say(Units& units, Console& con, int report, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) {
    con.say(line);
    if (units.is_open(report)) units.write(report, line);
  }
}

// The first value of the chronology, else of its error series, that the records cannot
// hold, as a line of the warning.
std::optional<std::string> misfit_line(const IndexPair& pair) {
  const char* const what[] = {"value", "error"};
  const std::span<const float> series[] = {pair.chronology.values, pair.error};
  for (int k = 0; k < 2; ++k) {
    if (const auto at = index_misfit(series[k], {})) {
      return Layout(
                 "('     its ',a,1x,f0.3,' in ',i0,"
                 "' does not fit the index records (-0.999 to 9.989)')")
          .write(what[k], series[k][*at], pair.chronology.first_year + static_cast<int>(*at));
    }
  }
  return std::nullopt;
}

void write_block(Units& units, std::span<const int> targets, const IndexBlock& block,
                 std::span<const float> values, std::span<const int> depth, std::string_view tag) {
  for (int u : targets) {
    for (const std::string& title : block.titles) units.write(u, title);
    trrw_write(units.out(u), block.mode, block.id, block.first_year, values, depth, tag);
  }
}

}  // namespace

std::optional<std::size_t> depth_above_records(std::span<const int> depth) {
  if (depth.empty() || depth[0] < 1) return std::nullopt;
  const auto deep = std::find_if(depth.begin(), depth.end(), [](int d) { return d > kDeepest; });
  if (deep == depth.end()) return std::nullopt;
  return static_cast<std::size_t>(deep - depth.begin());
}

bool write_index_pair(Units& units, Console& con, int report, const IndexPair& pair,
                      IndexNotes& notes, std::string_view kept_in) {
  const IndexBlock& block = pair.chronology;
  if (const auto line = misfit_line(pair)) {
    std::vector<int> targets(pair.files.begin(), pair.files.end());
    targets.insert(targets.end(), pair.error_files.begin(), pair.error_files.end());
    std::vector<std::string> lines{" *** the " + block.what +
                                       " and its error series are not written to " +
                                       names_of(units, targets) + ":",
                                   *line};
    if (!kept_in.empty()) lines.push_back("     its values are kept in " + std::string(kept_in));
    say(units, con, report, lines);
    return false;
  }
  std::span<const int> depth = block.depth;
  std::vector<int> capped;
  if (const auto deep = depth_above_records(depth)) {
    if (!notes.depth_capped) {
      notes.depth_capped = true;
      std::vector<std::string> lines{
          " *** sample depths above 999 are written as 999 in the chronology and error files:",
          "     the " + block.what + "'s sample depth is " + std::to_string(depth[*deep]) + " in " +
              std::to_string(block.first_year + static_cast<int>(*deep))};
      if (!kept_in.empty())
        lines.push_back("     the true depths are kept in " + std::string(kept_in));
      say(units, con, report, lines);
    }
    capped.assign(depth.begin(), depth.end());
    for (int& d : capped) d = std::min(d, kDeepest);
    depth = capped;
  }
  write_block(units, pair.files, block, block.values, depth, block.tag);
  write_block(units, pair.error_files, block, pair.error, depth, "err");
  return true;
}

}  // namespace dendro
