// Names of pelliform's output files, built from the data file name.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "pelliform/engine_args.h"

namespace dendro {

// The data file name without trailing blanks, cut before its last "." (the whole name
// when it has none): "site.early.rwl" gives "site.early". Only the file's own name is
// searched, so that a folder such as "../" or "run.2/" in front of it does not cut the
// stem. The report, the censored sets, the chronologies and the engine's files are named
// by this stem.
std::string file_stem(std::string_view data_file);

// The name of one of the engine's series files (the unit of its measurements, curves or
// indices) for the standard (first pass) or the signal-free series: stem + "_STD_" or
// "_SSF_", "PTR_" for power-transformed residuals else "RAW_", then "Data.txt",
// "Curves.txt", or "Resids.txt" / "Ratios.txt" by the index mode.
std::string series_file_name(const EngineArgs& a, std::string_view stem, bool signal_free,
                             int unit);

// The stem of the spectra file: the file stem up to the first blank of its own name, at
// most 40 characters.
std::string spectra_stem(std::string_view data_file);

// The report file: the stem, "_out_v", the version and ".txt", every blank squeezed out
// ("site 1.rwl" gives "site1_out_v43ptr08.txt").
std::string report_file_name(std::string_view data_file);

// The names a run of `data_file` writes whatever its options (the report, the chronology
// files, the spectra), and every name it may write but the censored sets, whose names
// follow the user's answers.
std::vector<std::string> fixed_outputs(std::string_view data_file);
std::vector<std::string> possible_outputs(std::string_view data_file);

// The first 6 characters of the file's own name (without its folder) before its first
// ".", blank-padded to 8: the id of the chronologies written in the tucson index format.
std::string chronology_id(std::string_view data_file);

}  // namespace dendro
