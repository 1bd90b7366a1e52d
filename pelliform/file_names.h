// Names of pelliform's output files, built from the data file name.
#pragma once

#include <string>
#include <string_view>

#include "pelliform/engine_args.h"

namespace dendro {

// The data file name without trailing blanks, cut before its first "." (the whole name
// when it has none). Only the file's own name is searched, so that a folder such as
// "../" or "run.2/" in front of it does not cut the stem. The engine names its files by
// the same stem.
std::string file_stem(std::string_view data_file);

// The name of one of the engine's series files (the unit of its measurements, curves or
// indices) for the standard (first pass) or the signal-free series: stem + "_STD_" or
// "_SSF_", "PTR_" for power-transformed residuals else "RAW_", then "Data.txt",
// "Curves.txt", or "Resids.txt" / "Ratios.txt" by the index mode.
std::string series_file_name(const EngineArgs& a, std::string_view stem, bool signal_free,
                             int unit);

// The stem of the spectra file: the name up to its first blank or "." among its first 40
// characters (searched, as above, after the folder part).
std::string spectra_stem(std::string_view data_file);

// The first 6 characters of the stem's own name (without its folder), blank-padded to 8:
// the id of the chronologies written in the tucson index format.
std::string chronology_id(std::string_view data_file);

}  // namespace dendro
