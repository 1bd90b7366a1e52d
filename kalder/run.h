// The state of one kalder run: the storage blocks that live for the whole run, the series
// store refilled for every data file, and the driver's own values.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/bootstrap.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/index_block.h"
#include "series/store.h"

namespace dendro {

struct Run {
  // `usual_group`: the group of the files created without one of their own (the unit
  // table's); the program's driver groups them by data file.
  explicit Run(Console& console, PlotSession::Screen screen = PlotSession::Screen::detect,
               Commit usual_group = Commit::on_close)
      : con(console), units(disk_files(), usual_group), plots(console, units.files(), screen) {}

  Console& con;
  Units units;  // before the plots, which save their pages through its file owner
  PlotSession plots;
  Rand rand;
  Icommands icommands;
  Commands commands;

  // Run-wide dialogue results.
  std::string run_title;        // 80 characters
  std::string file_names_file;  // the file that lists the data files
  int file_count = 0;           // data files whose log file was read
  int batch_status = 0;

  // Per data file.
  std::string prefix;  // output prefix of the data file in hand
  // The summary plot pages still to show: the summary plot option as loaded, lowered by a
  // "no more plots" answer on a page.
  int summary_plots_state = 0;
  Tsi1 tsi1;
  StatsTable stats;
  Tsi2 tsi2;
  std::vector<int> rcs_series;  // per-series integers handed to the regional curve stage

  // Chronology axis and identifiers of the data file in hand.
  int first_year = 0, last_year = 0, length = 0;
  std::string chronology_id = std::string(8, ' ');
  // The first six characters of each chronology id given in the run, with the data file
  // that got it first.
  std::map<std::string, std::string> chronology_id_files;
  std::string data_title = std::string(85, ' ');
  std::string saved_headers[3];  // copies of the three header lines of `commands`
  IndexNotes index_notes;        // what the chronology files' writer has said for the file
  int series_with_gaps = 0;
  float largest_mean = 0;
  std::vector<int> presence;  // presence mask left by the series reader

  // Inter-series statistics: the latest all-series rbar (handed to the next mean
  // chronology), and the running rbar table, seven columns for each of the four series
  // stages, with the window count of the latest computation.
  float all_series_rbar = 0;

  // Results of the latest mean chronology (by year of the chronology axis): sample depth,
  // error series and bootstrap limits.
  std::vector<int> depth;
  std::vector<float> error, lower, upper;
  // Pooled autoregression of the data file: order and coefficients, and the variance
  // inflation of the latest call (a ratio, 1 for order 0).
  int pooled_order = 0;
  std::vector<float> pooled_coefficients;
  float variance_inflation = 1.0f;
  float limit_scale = 1.0f;  // 1 + sqrt(variance inflation - 1), for the limit files
  // Bootstrap limit files: the years with limits as the raw chronology's pass found them
  // (the leading years without limits, then the length of the span), kept for the later
  // passes of the data file, and the residual chronology as its limits surround it, from
  // which the kalder chronology's limits are derived.
  int limit_offset = 0, limit_span = 0;
  std::vector<float> residual_for_limits;
  std::vector<std::array<float, 28>> running_table;
  int window_count = 0;

  // The data file in hand is being processed (its set-up done, its last step not yet),
  // the data files processed to their end, and the sizes of the ten run-wide chronology
  // files when the data file in hand started, to which a stop cuts them back.
  bool in_progress = false;
  std::string detail_file;  // written for the data file in hand, said once it is in place
  int files_done = 0;
  std::array<std::streamoff, 10> run_wide_start{};

  // A failure that ended the run early (a missing data or log file, a bad log file):
  // the run still ends normally on the console, but the program's exit status says so.
  bool failed = false;
};

}  // namespace dendro
