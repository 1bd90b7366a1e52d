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
