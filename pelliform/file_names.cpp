#include "pelliform/file_names.h"

#include <algorithm>

#include "pelliform/run.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kSpectraNameLength = 40;

// Where the file's own name (after the last "/") begins.
std::size_t own_name_start(std::string_view name) { return name.size() - own_name(name).size(); }

}  // namespace

std::string file_stem(std::string_view data_file) {
  const std::string_view name = trim_right(data_file);
  // Cut before the last period, so that "site.early.rwl" and "site.late.rwl" keep apart;
  // only the file's own name is searched, as folders may hold periods too.
  const std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < own_name_start(name)) return std::string(name);
  return std::string(name.substr(0, dot));
}

namespace {

// The engine's series file of `unit` by the three choices its name records.
std::string series_file_name(std::string_view stem, bool signal_free, bool residuals,
                             bool transformed, int unit) {
  std::string name(stem);
  name += signal_free ? "_SSF_" : "_STD_";
  name += residuals && transformed ? "PTR_" : "RAW_";
  if (unit == pelliform_unit::series_data) return name + "Data.txt";
  if (unit == pelliform_unit::series_curves) return name + "Curves.txt";
  return name + (residuals ? "Resids.txt" : "Ratios.txt");
}

}  // namespace

std::string series_file_name(const EngineArgs& a, std::string_view stem, bool signal_free,
                             int unit) {
  return series_file_name(stem, signal_free, a.index_mode != 0, a.power_transform != 0, unit);
}

std::string report_file_name(std::string_view data_file) {
  std::string name = file_stem(data_file) + "_out_v" + kVersion + ".txt";
  stringclean(name);
  return std::string(trim_right(name));
}

std::vector<std::string> fixed_outputs(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  return {report_file_name(data_file), stem + "_crns_col.txt", stem + "_crns_tuc.txt",
          spectra_stem(data_file) + "_spectra.txt"};
}

std::vector<std::string> possible_outputs(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  std::vector<std::string> names = fixed_outputs(data_file);
  for (const char* rbar : {"_Ssf_RBAR.txt", "_Raw_RBAR.txt", "_Std_RBAR.txt", "_RCScurves.txt"}) {
    names.push_back(stem + rbar);
  }
  for (const bool signal_free : {false, true}) {
    for (const bool residuals : {false, true}) {
      for (const bool transformed : {false, true}) {
        for (const int unit : {pelliform_unit::series_data, pelliform_unit::series_curves,
                               pelliform_unit::series_indices}) {
          names.push_back(series_file_name(stem, signal_free, residuals, transformed, unit));
        }
      }
    }
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  return names;
}

std::string spectra_stem(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  const std::string_view name = std::string_view(stem).substr(0, kSpectraNameLength);
  return std::string(name.substr(0, name.find(' ', own_name_start(name))));
}

std::string chronology_id(std::string_view data_file) {
  const std::string_view name = own_name(trim_right(data_file));
  const std::string_view id = name.substr(0, std::min(name.find('.'), std::size_t{6}));
  return field(id, 8);
}

}  // namespace dendro
