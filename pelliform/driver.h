// The pelliform program: one data file per run, from the banner to the chronology files.
#pragma once

#include <iosfwd>

#include "pelliform/run.h"

namespace dendro {

// Runs pelliform on the console streams with the given engine; returns the exit status.
int pelliform_main(std::istream& in, std::ostream& out, const Engine& engine,
                   PlotSession::Screen screen = PlotSession::Screen::detect);

}  // namespace dendro
