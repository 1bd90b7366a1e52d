#include "kalder/stopped_run.h"

#include <algorithm>
#include <string>
#include <vector>

#include "kalder/detail.h"
#include "kalder/file_list.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr int kRunWideFirst = unit::crns_raw;
constexpr int kRunWideLast = unit::err_rcs;

std::size_t run_wide_index(int u) { return static_cast<std::size_t>(u - kRunWideFirst); }

// The run-wide files are open from the first data file of the list to the end of the run.
bool processing_list(Run& run) { return run.units.is_open(kRunWideFirst); }

void say_lines(Console& con, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) con.say(line);
}

// A head line and the names under it; nothing when there are no names.
void say_files(Console& con, std::string_view head, const std::vector<std::string>& names) {
  say_lines(con, name_list(" *** " + std::string(head), names));
}

// The run-wide files that were open, whether they took their names, and the files of an
// earlier run's set that this run did not write, taken away.
struct RunWideClosed {
  bool kept = false;
  std::vector<std::string> names;  // those that held something
  std::vector<std::string> taken_away;
};

// The run-wide files keep the chronologies of the data files processed to their end, and
// only when there are two or more of them (one data file's are in its own files): then
// they replace an earlier run's set whole. Otherwise they are dropped and an earlier
// run's files of those names stay as they were.
RunWideClosed close_run_wide(Run& run) {
  RunWideClosed closed{run.files_done > 1, {}, {}};
  for (int u = kRunWideFirst; u <= kRunWideLast; ++u) {
    if (!run.units.is_open(u)) continue;
    const std::streamoff size =
        run.in_progress ? run.run_wide_start[run_wide_index(u)] : run.units.written(u);
    if (size > 0) closed.names.push_back(run.units.name(u));
    if (!closed.kept) {
      run.units.drop(u);
    } else if (size > 0) {
      run.units.close_cut(u, size);
    } else {
      run.units.close(u, /*remove=*/true);  // the set has no such file: an earlier one goes
    }
  }
  if (closed.kept) closed.taken_away = run.units.commit(Commit::with_run);
  return closed;
}

void say_unprocessed(Console& con, const std::vector<std::string>& names) {
  say_files(con, "data files of the list not processed:", names);
}

void say_run_wide(Run& run, const RunWideClosed& closed, bool early) {
  if (early) {
    say_files(run.con,
              closed.kept ? "run-wide files kept with the data files processed to their end only:"
                          : "run-wide files not written, as fewer than two data files were "
                            "processed to their end:",
              closed.names);
  }
  say_files(run.con, "run-wide files of an earlier run removed, as this run did not write them:",
            closed.taken_away);
}

}  // namespace

void begin_data_file(Run& run) {
  for (int u = kRunWideFirst; u <= kRunWideLast; ++u) {
    run.run_wide_start[run_wide_index(u)] = run.units.is_open(u) ? run.units.written(u) : 0;
  }
  run.in_progress = true;
}

void finish_data_file(Run& run) {
  name_earlier_files(run.units.files(), run.prefix + "_", [&run](const std::string& line) {
    run.con.say(line);
    run.units.write(unit::out, line);
  });
  run.units.commit(Commit::with_data_file);
  if (!run.detail_file.empty()) say_detail_saved(run.con, run.detail_file);
  run.detail_file.clear();
  say_lines(run.con, run.units.files().take_notes());
  run.in_progress = false;
  ++run.files_done;
}

void close_run_wide_files(Run& run, bool early) {
  say_run_wide(run, close_run_wide(run), early);
  say_lines(run.con, run.units.files().take_notes());
}

namespace {

// The data files of the list not processed: `in_hand` (when not empty) and the names the
// list still holds.
std::vector<std::string> unprocessed(Run& run, std::string_view in_hand) {
  std::vector<std::string> names;
  if (!in_hand.empty()) names.emplace_back(in_hand);
  for (const std::string& name : names_left(run.units)) names.push_back(name);
  return names;
}

}  // namespace

void report_unprocessed(Run& run, std::string_view in_hand) {
  say_unprocessed(run.con, unprocessed(run, in_hand));
}

void settle_stopped_run(Run& run, std::string_view message) noexcept {
  // Each step runs whatever failed in the one before: the run is already ending on a
  // stop or a fault, so a file that fails to close now is reported and the rest settled.
  const auto step = [&run](const auto& work) {
    try {
      work();
    } catch (const std::exception& e) {
      run.con.say(stars_line(e.what()));
    }
  };
  const bool listing = processing_list(run);
  RunWideClosed run_wide;
  Settled settled;
  std::vector<std::string> left;  // the data files of the list not processed
  std::string out;                // the general output file, kept with its closing note
  step([&] {
    if (listing) left = unprocessed(run, run.in_progress ? "" : trim_right(run.commands.data_file));
  });
  step([&] {
    if (run.in_progress && run.units.is_open(unit::out)) {
      run.units.write(unit::out, "");
      run.units.write(unit::out, " *** processing of this data file stopped here");
      if (!message.empty()) run.units.write(unit::out, " " + std::string(trim_left(message)));
      out = run.units.name(unit::out);
      run.units.close(unit::out);
    }
  });
  step([&] {
    if (listing) run_wide = close_run_wide(run);
  });
  step([&] {
    settled = run.units.settle(out);
    // The run-wide set took its names as the run stopped: it has a head of its own.
    if (run_wide.kept) {
      std::erase_if(settled.replaced, [&run_wide](const std::string& name) {
        return std::find(run_wide.names.begin(), run_wide.names.end(), name) !=
               run_wide.names.end();
      });
    }
  });
  step([&] {
    const std::vector<std::string> lines = settled_lines(settled);
    if (run.in_progress || !lines.empty()) run.con.say("");
    if (run.in_progress) {
      run.con.say(" *** " + std::string(trim_right(run.commands.data_file)) +
                  " was not processed to its end");
    }
    say_lines(run.con, lines);
    if (listing) say_run_wide(run, run_wide, true);
    say_unprocessed(run.con, left);
  });
  run.units.close_all();
}

}  // namespace dendro
