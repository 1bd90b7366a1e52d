#include "kalder/file_list.h"

#include "series/text.h"

namespace dendro {

std::vector<std::string> shared_prefix_refusal(const std::vector<std::string>& earlier,
                                               std::string_view name) {
  const std::string prefix = output_prefix(name);
  for (const std::string& other : earlier) {
    if (output_prefix(other) != prefix) continue;
    return {" *** data files " + std::string(trim_right(other)) + " and " +
                std::string(trim_right(name)) + " have one output prefix, " + prefix + ",",
            " *** so that their output files would overwrite each other"};
  }
  return {};
}

}  // namespace dendro
