#include "kalder/output_names.h"

#include <set>
#include <sstream>

#include "options/log_file.h"
#include "series/console.h"
#include "series/files/file_system.h"
#include "series/files/forms.h"
#include "series/files/units.h"
#include "series/option_values.h"
#include "series/text.h"

namespace dendro {
namespace {

using kalder_names::kComponentFiles;
using kalder_names::kComponentStages;
using kalder_names::kFixedOutputs;
using kalder_names::kOutputs;
using kalder_names::When;

// The words before the name on the line of a general output file that names the data file
// it was written for.
constexpr std::string_view kProcessedHead = "data file processed:";

bool written(When when, const Icommands& o) {
  switch (when) {
    case When::always:
      return true;
    case When::core_save:
      return series_saved(o[opt::core_series_save]);
    case When::curves:
      return series_saved(o[opt::core_series_save]) || spaghetti_plots_on(o[opt::summary_plots]);
    case When::transformed:
      return o[opt::transformation] != 0;
    case When::bootstrap:
      return o[opt::bootstrap_limits] == 1;
    case When::common_period:
      return o[opt::common_period_first] != 0 && o[opt::common_period_last] != 0;
    case When::spectra:
      return o[opt::first_detrending] != 0 && o[opt::mean_chronology] != 0;
  }
  return true;
}

// The options of the log file of `data_file`, read quietly; false when it cannot be read.
bool read_options(Units& units, const std::string& data_file, Icommands& options) {
  if (!units.open_old(unit::log, log_file_name(data_file))) return false;
  std::istringstream none;
  std::ostringstream quiet;
  Console con(none, quiet);
  Commands commands;
  const bool read = batch(units, options, commands, con, name_field(data_file)) == 0;
  units.close(unit::log);
  return read;
}

}  // namespace

std::vector<std::string> data_file_outputs(std::string_view data_file, const Icommands* options) {
  const std::string prefix = output_prefix(data_file);
  std::vector<std::string> names;
  for (const kalder_names::Output& out : kOutputs) {
    if (options == nullptr || written(out.when, *options)) names.push_back(prefix + out.suffix);
  }
  if (options == nullptr || written(When::common_period, *options)) {
    for (const char* file : kComponentFiles) {
      for (const char* stage : kComponentStages) {
        names.push_back(prefix + file + stage + kTextEnd);
      }
    }
  }
  return names;
}

std::string an_output_of(std::string_view data_file) {
  return "an output of " + std::string(trim_right(data_file));
}

std::vector<std::string> fixed_outputs(std::string_view data_file) {
  const std::string prefix = output_prefix(data_file);
  std::vector<std::string> names;
  for (int k = 0; k < kFixedOutputs; ++k) names.push_back(prefix + kOutputs[k].suffix);
  return names;
}

std::vector<std::string> results_not_written_over(FileSystem& fs, std::string_view data_file,
                                                  const Icommands* options) {
  const std::string name(trim_right(data_file));
  const std::string prefix = output_prefix(name);
  std::vector<std::string> lines;
  const auto refuse = [&](const std::string& file, const std::string& what) {
    lines.push_back(" *** " + file + " holds " + what + ",");
    lines.push_back(" *** which this run of " + name +
                    " would write over: move that file, or rename " + name);
  };
  const std::string out = prefix + "_out.txt";
  const std::string line = first_line(
      fs, out, [](const std::string& l) { return l.find(kProcessedHead) != std::string::npos; });
  if (!line.empty()) {
    const std::string other(trim(line.substr(line.find(kProcessedHead) + kProcessedHead.size())));
    if (own_name(other) != own_name(name)) refuse(out, "the results of " + other);
  }
  if (options == nullptr || !written(When::spectra, *options)) return lines;
  // pelliform names its spectra by the data file's name up to its last period.
  const std::string spectra = prefix + kSpectraSuffix;
  const std::string spectra_head = first_line(fs, spectra, [](const std::string&) { return true; });
  if (spectra_head.starts_with(" FREQUENCY") && spectra_head.find("_KLD_") == std::string::npos) {
    refuse(spectra, "pelliform's spectra of a data file named " + prefix + ".*");
  }
  return lines;
}

std::vector<std::string> outputs_by_options(Units& units, const std::vector<std::string>& names,
                                            const std::vector<std::string>& run_wide) {
  const OutputFiles& files = units.files();
  std::set<std::string> run_wide_ids;
  for (const std::string& file : run_wide) run_wide_ids.insert(files.identity(file));
  std::vector<Wanted> wanted;
  std::vector<std::string> others;
  for (const std::string& name : names) {
    Icommands options;
    if (!read_options(units, name, options)) continue;
    bool takes_run_wide = false;
    for (const std::string& out : data_file_outputs(name, &options)) {
      wanted.push_back({out, an_output_of(name)});
      if (run_wide_ids.count(files.identity(out)) == 0) continue;
      others.push_back(" *** " + out + " is the name of a run-wide chronology file, " +
                       "which this run would write as " + an_output_of(name));
      takes_run_wide = true;
    }
    if (takes_run_wide) {
      others.push_back(" *** rename or move " + std::string(trim_right(name)) +
                       ", then run again with its new name");
    }
    const std::vector<std::string> lines =
        results_not_written_over(units.files().fs(), name, &options);
    others.insert(others.end(), lines.begin(), lines.end());
  }
  std::vector<std::string> refusal = files.check(wanted);
  refusal.insert(refusal.end(), others.begin(), others.end());
  return refusal;
}

}  // namespace dendro
