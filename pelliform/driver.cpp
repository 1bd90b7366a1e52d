#include "pelliform/driver.h"

#include <exception>
#include <ostream>

#include "pelliform/chronology_files.h"
#include "pelliform/dialogue.h"
#include "pelliform/engine_call.h"
#include "pelliform/option_dialogue.h"
#include "pelliform/series_menu.h"
#include "pelliform/startup.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/text.h"

namespace dendro {
namespace {

// A data file chosen and loaded; a failed load answered "T" asks for another file, and the
// run gives back the folder of the one it gave up.
void open_data(PelliformRun& run, bool ask_for_file) {
  for (bool chosen = !ask_for_file;; chosen = false) {
    if (!chosen) choose_data_file(run);
    if (load_data(run)) return;
    run.units.files().give_back_folder_of(run.data_file);
  }
}

// Settles the files of a run that stops with `message`: the report gets a closing note,
// then every file not yet in place is settled (earlier files stay as they were; of the new
// ones only the report is kept, where no earlier file has its name), as the console says.
void settle_stopped_run(PelliformRun& run, std::string_view message) noexcept {
  try {
    std::string report;
    if (run.units.is_open(pelliform_unit::report)) {
      run.report("");
      run.report(" *** PROCESSING OF THIS DATA FILE STOPPED HERE");
      if (!message.empty()) run.report(" " + upper(trim_left(message)));
      report = run.units.name(pelliform_unit::report);
      run.units.close(pelliform_unit::report);
    }
    const std::vector<std::string> lines = settled_lines(run.units.settle(report));
    if (!lines.empty()) run.con.say("");
    for (const std::string& line : lines) run.con.say(line);
  } catch (const std::exception& e) {
    // The run is already ending: a file that fails to close now is reported.
    run.con.say(stars_line(e.what()));
  }
}

void run_pelliform(PelliformRun& run) {
  start_up(run);
  open_data(run, true);
  // Each retry of the regional curve loads the file again and asks the whole dialogue.
  for (;;) {
    index_question(run);
    segment_report(run, false);
    series_menu(run);
    options_after_menu(run);
    stop_if_interrupted();
    if (run_engine(run) == EngineEnd::done) break;
    open_data(run, false);
  }
  stop_if_interrupted();
  end_of_run(run);
}

}  // namespace

int pelliform_main(std::istream& in, std::ostream& out, const Engine& engine,
                   PlotSession::Screen screen) {
  Console con(in, out);
  // Every file of the run is the data file's: they replace earlier ones together at the
  // end of the run.
  PelliformRun run(con, engine, screen, Commit::with_data_file);
  const CatchInterrupts interrupts;
  int status = 0;
  try {
    run_pelliform(run);
  } catch (const Stop& s) {
    if (!s.shown && !std::string(s.what()).empty()) con.say(s.what());
    settle_stopped_run(run, s.what());
    status = s.status;
  } catch (const std::exception& e) {
    // The program's outer boundary: a fault of our own (a broken invariant, no memory)
    // is said on the console, and the files are settled as for a stop.
    const std::string message = std::string("*** internal error: ") + e.what();
    con.say(message);
    settle_stopped_run(run, message);
    status = 2;
  }
  run.units.close_all();
  out.flush();
  return status;
}

}  // namespace dendro
