#include "pelliform/driver.h"

#include <exception>
#include <ostream>

#include "pelliform/chronology_files.h"
#include "pelliform/engine_call.h"
#include "pelliform/option_dialogue.h"
#include "pelliform/series_menu.h"
#include "pelliform/startup.h"
#include "series/stop.h"

namespace dendro {
namespace {

// A data file chosen and loaded; a failed load answered "T" asks for another file.
void open_data(PelliformRun& run, bool ask_for_file) {
  for (bool chosen = !ask_for_file;; chosen = false) {
    if (!chosen) choose_data_file(run);
    if (load_data(run)) return;
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
    if (run_engine(run) == EngineEnd::done) break;
    open_data(run, false);
  }
  end_of_run(run);
}

}  // namespace

int pelliform_main(std::istream& in, std::ostream& out, const Engine& engine,
                   PlotSession::Screen screen) {
  Console con(in, out);
  PelliformRun run(con, engine, screen);
  int status = 0;
  try {
    run_pelliform(run);
  } catch (const Stop& s) {
    if (!s.shown && !std::string(s.what()).empty()) con.say(s.what());
    status = s.status;
  } catch (const std::exception& e) {
    // The program's outer boundary: a fault of our own (a broken invariant, no memory)
    // is said on the console, and the files are still closed below.
    con.say(std::string("*** internal error: ") + e.what());
    status = 2;
  }
  run.units.close_all();
  out.flush();
  return status;
}

}  // namespace dendro
