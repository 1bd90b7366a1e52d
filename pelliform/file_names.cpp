#include "pelliform/file_names.h"

#include <algorithm>

#include "series/files/forms.h"
#include "series/text.h"

namespace dendro {
namespace {

namespace pn = pelliform_names;

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
  name += signal_free ? pn::kSignalFreePass : pn::kStandardPass;
  name += residuals && transformed ? pn::kTransformedScale : pn::kRawScale;
  if (unit == pelliform_unit::series_data) return name + pn::kDataContents;
  if (unit == pelliform_unit::series_curves) return name + pn::kCurvesContents;
  return name + (residuals ? pn::kResidualsContents : pn::kRatiosContents);
}

}  // namespace

std::string series_file_name(const EngineArgs& a, std::string_view stem, bool signal_free,
                             int unit) {
  return series_file_name(stem, signal_free, a.index_mode != 0, a.power_transform != 0, unit);
}

std::string report_file_name(std::string_view data_file) {
  std::string name = file_stem(data_file) + pn::kReportTag + pn::kVersion + kTextEnd;
  stringclean(name);
  return std::string(trim_right(name));
}

std::vector<std::string> fixed_outputs(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  return {report_file_name(data_file), stem + pn::kChronologyColumns, stem + pn::kChronologyTucson,
          spectra_stem(data_file) + kSpectraSuffix};
}

std::vector<std::string> possible_outputs(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  std::vector<std::string> names = fixed_outputs(data_file);
  for (const char* suffix : pn::kStemSuffixes) names.push_back(stem + suffix);
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
