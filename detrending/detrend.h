// One detrending pass over every series of the store: fit a growth curve to each series
// by the pass's curve-fit option, guard against curves that reach 0, report the fits, let
// the user look at them and change the option, replace the series by their indices, keep
// the curves (curve file, summary plot) and print the statistics tables of the indices.
#pragma once

#include <span>
#include <vector>

#include "detrending/detrend_plots.h"
#include "series/files/stop.h"

namespace dendro {

class Console;
class Units;
struct Commands;
struct Icommands;
struct StatsTable;
struct Tsi1;

// Thrown when the user lets a growth curve that goes negative end the run. The files are
// the run driver's to settle: the data file's table, chronology and error files are
// incomplete and go, while the run-wide chronology files also hold the chronologies of the
// data files processed earlier in the run, which must not be lost.
struct NegativeCurveStop : Stop {
  NegativeCurveStop() : Stop("*** negative growth curve value ***", kFailureStatus) {}
};

// The two detrending passes: the first fits the first detrending option's curves to the
// measurements, the second the second detrending option's to the first pass's indices.
enum class DetrendingPass { first, second };

// The last question before a curve that went negative ends the run: "is that what you
// really want? y/n". It has no default: an empty answer asks again. False for "n" or "N"
// (back to the fit), true for any other answer.
bool stop_confirmed(Console& con);

// Runs detrending pass `pass` on the series of `tsi1`: the first pass by the first
// detrending option with its parameter and plot flag, the second by the second detrending
// option's. Reads the second detrending option (labels), the robust, interactive, index,
// printout, save and summary plot options and the data file name in `commands`; writes its
// report to the general output file (unit 11, open), the curve file (prefix + "_crv1.txt"
// or "_crv2.txt") on unit 14, and the statistics of the indices into `stats`. On return
// every series column holds its indices on the chronology's year axis, `idt` the code of
// the curve finally fitted; under first differences every series and the set start one
// year later. `plot_vector` is handed unchanged to the series plot. `series_codes`, when
// given, holds a curve-fit code for each series (the batch detail file's) that takes the
// place of the pass's option for that series; 0 (and -2, which a regional curve run
// leaves) keeps the pass's option, and so does a code that fits no curve of its own or a
// running-median or lowess code, whose window the detail file does not keep (with a
// note). A code that the option's own fit of the series falls back to keeps the option,
// whose report then says so as it did in the run that wrote the code. Returns the codes of
// `series_codes` that were followed, in series order.
std::vector<int> detrend(Tsi1& tsi1, const Icommands& icommands, Commands& commands, Units& units,
                         Console& con, StatsTable& stats, DetrendingPass pass,
                         const DetrendPlots& plots = {}, std::span<const int> plot_vector = {},
                         std::span<const int> series_codes = {});

}  // namespace dendro
