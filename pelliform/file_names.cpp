#include "pelliform/file_names.h"

#include <algorithm>

#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kSpectraNameLength = 40;

// Position where the file's own name begins (after the last "/").
std::size_t own_name_start(std::string_view name) {
  const std::size_t slash = name.rfind('/');
  return slash == std::string_view::npos ? 0 : slash + 1;
}

}  // namespace

std::string file_stem(std::string_view data_file) {
  const std::string_view name = trim_right(data_file);
  // The period is looked for in the file's own name: folders may hold periods too.
  const auto dot = name.find('.', own_name_start(name));
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
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
  const std::string_view name = data_file.substr(0, std::min(data_file.size(), kSpectraNameLength));
  const std::size_t end = name.find_first_of(" .", own_name_start(name));
  return std::string(name.substr(0, end));
}

std::string chronology_id(std::string_view data_file) {
  const std::string stem = file_stem(data_file);
  const std::string_view name = std::string_view(stem).substr(own_name_start(stem));
  return field(name.substr(0, std::min<std::size_t>(name.size(), 6)), 8);
}

}  // namespace dendro
