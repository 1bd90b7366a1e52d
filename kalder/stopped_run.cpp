#include "kalder/stopped_run.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "series/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kRunWideFirst = unit::crns_raw;
constexpr int kRunWideLast = unit::err_rcs;

bool run_wide(int u) { return u >= kRunWideFirst && u <= kRunWideLast; }

std::size_t run_wide_index(int u) { return static_cast<std::size_t>(u - kRunWideFirst); }

// The run-wide files keep the chronologies of the data files processed to their end, and
// only when there are two or more of them (one data file's are in its own files).
void settle_run_wide_files(Run& run) {
  const bool keep = run.files_done > 1;
  for (int u = kRunWideFirst; u <= kRunWideLast; ++u) {
    if (!run.units.is_open(u)) continue;
    if (!keep) {
      run.units.close(u, true);
    } else if (run.in_progress) {
      run.units.close_cut(u, run.run_wide_start[run_wide_index(u)]);
    } else {
      run.units.close(u);
    }
  }
}

void report_files(Run& run, const std::vector<std::string>& removed) {
  std::vector<std::string> kept;
  for (const std::string& name : run.units.created()) {
    const bool gone = std::find(removed.begin(), removed.end(), name) != removed.end();
    const bool listed = std::find(kept.begin(), kept.end(), name) != kept.end();
    if (!gone && !listed && std::filesystem::exists(name)) kept.push_back(name);
  }
  const std::string data_file(trim_right(run.commands.data_file));
  run.con.say("");
  run.con.say(" *** " + data_file + " was not processed to its end; its files kept:");
  for (const std::string& name : kept) run.con.say("       " + name);
  if (removed.empty()) return;
  run.con.say(" *** removed, being incomplete:");
  for (const std::string& name : removed) run.con.say("       " + name);
}

}  // namespace

void start_data_file(Run& run) {
  for (int u = kRunWideFirst; u <= kRunWideLast; ++u) {
    run.run_wide_start[run_wide_index(u)] = run.units.is_open(u) ? run.units.written(u) : 0;
  }
  run.in_progress = true;
}

void finish_data_file(Run& run) {
  for (int u : {unit::out, unit::tabs, unit::crns, unit::errs}) run.units.close(u);
  run.in_progress = false;
  ++run.files_done;
}

void settle_stopped_run(Run& run, std::string_view message) noexcept {
  try {
    if (run.in_progress && run.units.is_open(unit::out)) {
      run.units.write(unit::out, "");
      run.units.write(unit::out, " *** processing of this data file stopped here");
      if (!message.empty()) run.units.write(unit::out, " " + std::string(message));
      run.units.close(unit::out);
    }
    std::vector<std::string> removed;
    for (int u : run.units.output_units()) {
      if (u == unit::out || run_wide(u)) continue;
      removed.push_back(run.units.name(u));
      run.units.close(u, true);
    }
    settle_run_wide_files(run);
    if (run.in_progress) report_files(run, removed);
  } catch (const std::exception& e) {
    // The run is already ending on a stop or a fault: a file that fails to close now is
    // reported, and the remaining files are still closed below.
    run.con.say(std::string(" *** ") + e.what());
  }
  run.units.close_all();
}

}  // namespace dendro
