#include "kalder/stopped_run.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "kalder/file_list.h"
#include "series/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kRunWideFirst = unit::crns_raw;
constexpr int kRunWideLast = unit::err_rcs;

bool run_wide(int u) { return u >= kRunWideFirst && u <= kRunWideLast; }

std::size_t run_wide_index(int u) { return static_cast<std::size_t>(u - kRunWideFirst); }

// The run-wide files are open from the first data file of the list to the end of the run.
bool processing_list(Run& run) { return run.units.is_open(kRunWideFirst); }

// A head line and the names under it; nothing when there are no names.
void say_files(Console& con, std::string_view head, const std::vector<std::string>& names) {
  if (names.empty()) return;
  con.say(" *** " + std::string(head));
  for (const std::string& name : names) con.say("       " + name);
}

// The run-wide files that were open, and whether they took their names.
struct RunWideClosed {
  bool kept = false;
  std::vector<std::string> names;  // those that held something
};

// The run-wide files keep the chronologies of the data files processed to their end, and
// only when there are two or more of them (one data file's are in its own files);
// otherwise they are dropped and an earlier run's files of those names stay as they were.
RunWideClosed close_run_wide(Run& run) {
  RunWideClosed closed{run.files_done > 1, {}};
  for (int u = kRunWideFirst; u <= kRunWideLast; ++u) {
    if (!run.units.is_open(u)) continue;
    const std::streamoff size =
        run.in_progress ? run.run_wide_start[run_wide_index(u)] : run.units.written(u);
    if (size > 0) closed.names.push_back(run.units.name(u));
    if (closed.kept) {
      run.units.close_cut(u, size);
    } else {
      run.units.close(u, true);
    }
  }
  return closed;
}

// A log file still being written when the run stops (its menu left with "/" or at the end
// of the input) is dropped: an earlier log file of the data file stays as it was.
void settle_log_file(Run& run) {
  const std::vector<int> outputs = run.units.output_units();
  if (std::find(outputs.begin(), outputs.end(), unit::log) == outputs.end()) return;
  const std::string name = run.units.name(unit::log);
  run.units.close(unit::log, true);
  run.con.say("");
  if (std::filesystem::exists(name)) {
    run.con.say(" *** " + name + " not written: the earlier log file is kept as it was");
  } else {
    run.con.say(" *** " + name + " not written");
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
  say_files(run.con, "removed, being incomplete:", removed);
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

void close_run_wide_files(Run& run, bool early) {
  const RunWideClosed closed = close_run_wide(run);
  if (!early) return;
  say_files(run.con,
            closed.kept ? "run-wide files kept with the data files processed to their end only:"
                        : "run-wide files not written, as fewer than two data files were "
                          "processed to their end:",
            closed.names);
}

void report_unprocessed(Run& run, std::string_view in_hand) {
  std::vector<std::string> names;
  if (!in_hand.empty()) names.emplace_back(in_hand);
  for (const std::string& name : names_left(run.units)) names.push_back(name);
  say_files(run.con, "data files of the list not processed:", names);
}

void settle_stopped_run(Run& run, std::string_view message) noexcept {
  try {
    settle_log_file(run);
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
    if (run.in_progress) report_files(run, removed);
    if (processing_list(run)) {
      close_run_wide_files(run, true);
      report_unprocessed(run, run.in_progress ? "" : trim_right(run.commands.data_file));
    }
  } catch (const std::exception& e) {
    // The run is already ending on a stop or a fault: a file that fails to close now is
    // reported, and the remaining files are still closed below.
    run.con.say(std::string(" *** ") + e.what());
  }
  run.units.close_all();
}

}  // namespace dendro
