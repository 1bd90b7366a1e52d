#include "pelliform/file_names.h"

#include <algorithm>

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

std::string series_file_name(const EngineArgs& a, std::string_view stem, bool signal_free,
                             int unit) {
  const bool residuals = a.index_mode != 0;
  std::string name(stem);
  name += signal_free ? "_SSF_" : "_STD_";
  name += residuals && a.power_transform != 0 ? "PTR_" : "RAW_";
  if (unit == pelliform_unit::series_data) return name + "Data.txt";
  if (unit == pelliform_unit::series_curves) return name + "Curves.txt";
  return name + (residuals ? "Resids.txt" : "Ratios.txt");
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
