#include "series/index_block.h"

#include <algorithm>
#include <sstream>

#include "series/console.h"
#include "series/files/units.h"
#include "series/layout.h"

namespace dendro {
namespace {

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

std::vector<std::string> warning(std::string_view files, const IndexBlock& block, std::size_t at,
                                 std::string_view kept_in) {
  const int year = block.first_year + static_cast<int>(at);
  // The value fits when the misfit is its depth.
  const bool depth_misfit = !index_misfit(block.values.subspan(at, 1), {}).has_value();
  std::vector<std::string> lines{" *** the " + block.what + " is not written to " +
                                 std::string(files) + ":"};
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

// The runs of years that hold a value, as [begin, end) positions of the block: years of
// sample depth 0 hold none when the block gives depths at all.
struct Covered {
  std::size_t begin = 0, end = 0;
};

std::vector<Covered> covered_runs(const IndexBlock& block) {
  const auto n = block.values.size();
  bool by_depth = false;
  for (int d : block.depth) by_depth = by_depth || d >= 1;
  auto empty = [&](std::size_t j) {
    return by_depth && j < block.depth.size() && block.depth[j] < 1;
  };
  std::vector<Covered> runs;
  for (std::size_t j = 0; j < n;) {
    if (empty(j)) {
      ++j;
      continue;
    }
    Covered run{j, j};
    while (run.end < n && !empty(run.end)) ++run.end;
    runs.push_back(run);
    j = run.end;
  }
  return runs;
}

std::span<const int> depth_of(const IndexBlock& block, const Covered& run) {
  if (run.begin >= block.depth.size()) return {};
  return block.depth.subspan(run.begin, std::min(run.end, block.depth.size()) - run.begin);
}

}  // namespace

std::optional<std::size_t> depth_above_records(std::span<const int> depth) {
  if (depth.empty() || depth[0] < 1) return std::nullopt;
  const auto deepest = std::max_element(depth.begin(), depth.end());  // the first of equals
  if (*deepest <= kDeepestRecorded) return std::nullopt;
  return static_cast<std::size_t>(deepest - depth.begin());
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
          "     the " + block.what + "'s largest sample depth is " + std::to_string(depth[*deep]) +
              " in " + std::to_string(block.first_year + static_cast<int>(*deep))};
      if (!kept_in.empty())
        lines.push_back("     the true depths are kept in " + std::string(kept_in));
      say(units, con, report, lines);
    }
    capped.assign(depth.begin(), depth.end());
    for (int& d : capped) d = std::min(d, kDeepestRecorded);
    depth = capped;
  }
  write_block(units, pair.files, block, block.values, depth, block.tag);
  write_block(units, pair.error_files, block, pair.error, depth, "err");
  return true;
}

std::vector<std::string> index_block_refusal(const IndexBlock& block, std::string_view files,
                                             std::string_view kept_in) {
  const std::vector<Covered> runs = covered_runs(block);
  const std::string head =
      " *** the " + block.what + " is not written to " + std::string(files) + ":";
  std::vector<std::string> lines;
  if (runs.empty()) lines = {head, "     it holds no year with a value"};
  for (std::size_t k = 1; k < runs.size() && lines.empty(); ++k) {
    const int from = block.first_year + static_cast<int>(runs[k - 1].end);
    const int to = block.first_year + static_cast<int>(runs[k].begin) - 1;
    // Only whole decades can be left out, and only by the tucson index records.
    if (block.mode == TucsonMode::iw && decade_slots(from) == 10 && decade_slots(to) == 1) continue;
    const std::string years = from == to ? Layout("('the year ',i0)").write(from)
                                         : Layout("(i0,' to ',i0)").write(from, to);
    lines = {head, "     no series covers " + years +
                       ", and the index records can leave out only whole decades"};
  }
  for (std::size_t k = 0; k < runs.size() && lines.empty(); ++k) {
    const Covered& run = runs[k];
    const auto misfit =
        index_misfit(block.values.subspan(run.begin, run.end - run.begin), depth_of(block, run));
    if (misfit) return warning(files, block, run.begin + *misfit, kept_in);
  }
  if (!lines.empty() && !kept_in.empty())
    lines.push_back("     its values are kept in " + std::string(kept_in));
  return lines;
}

void write_index_records(std::ostream& out, const IndexBlock& block) {
  for (const std::string& title : block.titles) out << title << '\n';
  const std::vector<Covered> runs = covered_runs(block);
  for (std::size_t k = 0; k < runs.size(); ++k) {
    const Covered& run = runs[k];
    std::ostringstream text;
    trrw_write(text, block.mode, block.id, block.first_year + static_cast<int>(run.begin),
               block.values.subspan(run.begin, run.end - run.begin), depth_of(block, run),
               block.tag);
    std::string records = text.str();
    // Before a left-out decade the series goes on: its closing record of fill, which would
    // end it, is dropped.
    if (k + 1 < runs.size() && records.size() > 1)
      records.erase(records.rfind('\n', records.size() - 2) + 1);
    out << records;
  }
}

}  // namespace dendro
