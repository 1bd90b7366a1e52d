// The names kalder writes for a data file, each its output prefix and a fixed suffix, and
// the checks made of them before the run writes anything: against the files the run reads,
// and against files of the same names that another data file or pelliform wrote.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "series/blocks.h"

namespace dendro {

class FileSystem;
class Units;

// The names the processing of `data_file` may write: under the options `options`, or under
// any options when there are none.
std::vector<std::string> data_file_outputs(std::string_view data_file, const Icommands* options);
// How the console names one of them: "an output of site.rwl".
std::string an_output_of(std::string_view data_file);
// Those it writes whatever its options: the general output, table, chronology, error, log
// and batch detail files.
std::vector<std::string> fixed_outputs(std::string_view data_file);

// The console lines that refuse writing `data_file`'s outputs over files of those names that
// hold the results of another data file (one whose name differs but has the same output
// prefix: site.txt and site) or, when its `options` write spectra, pelliform's spectra
// (site.txt in both programs); nothing when none does. Without options only the files
// written under any options are looked at.
std::vector<std::string> results_not_written_over(FileSystem& fs, std::string_view data_file,
                                                  const Icommands* options);

// The console lines that refuse the outputs the data files `names` write under the options
// of their log files: over an input of the run, for two data files at once, under a name of
// the run-wide chronology files `run_wide` (whether the run writes them or not), over a
// device or a FIFO, or over results of pelliform; nothing when none does. A log file that
// cannot be read is left to the data file's own set-up to report.
std::vector<std::string> outputs_by_options(Units& units, const std::vector<std::string>& names,
                                            const std::vector<std::string>& run_wide);

}  // namespace dendro
