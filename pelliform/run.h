// What the pelliform driver keeps for the whole run: the console and files, the series
// set as loaded and as reduced, the engine argument set that the dialogue fills, and the
// engine itself.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "pelliform/engine_args.h"
#include "pelliform/series_set.h"
#include "pelliform/sigfree.h"
#include "plots/plot_loop.h"
#include "series/console.h"
#include "series/files/units.h"

namespace dendro {

// The engine as the driver calls it; tests put a stand-in of their own here.
using Engine = std::function<void(EngineArgs&, SigfreeState&, EngineIo)>;

struct PelliformRun {
  // `usual_group`: the group of the files created without one of their own (the unit
  // table's); the program's driver puts them all in the data file's.
  PelliformRun(Console& console, Engine engine_call,
               PlotSession::Screen screen = PlotSession::Screen::detect,
               Commit usual_group = Commit::on_close)
      : con(console),
        units(disk_files(), usual_group),
        plots(console, units.files(), screen),
        engine(std::move(engine_call)) {}

  Console& con;
  Units units;
  PlotSession plots;
  Engine engine;

  std::string data_file;  // as typed
  std::string stem;       // the data file name up to its last "."
  // The report's opening lines, held from the choice of a data file until it has loaded.
  std::vector<std::string> report_opening;
  SeriesSet set;          // as loaded, then as the series processing menu reduced it
  SeriesSet saved;        // the reduced set, from which every engine run starts
  int median_length = 0;  // MED of the latest segment-length statistics
  // The pith offset file's offsets, one for each series of the data file in its order
  // (empty without a file); each engine run gives them to the series of `saved`.
  std::vector<int> pith_offsets_read;

  EngineArgs args;  // options of the dialogue and, after the engine, the chronologies
  SigfreeState state;

  // Writes a line to the report file only.
  void report(std::string_view line) { units.write(pelliform_unit::report, line); }
};

}  // namespace dendro
