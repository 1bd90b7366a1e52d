// Checks of the list of data files, made before any file of the run is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dendro {

// Two data files of one output prefix (plot1.txt and plot1, or one name listed twice)
// would overwrite each other's output files. Returns the console lines that refuse `name`
// when a name of `earlier` has its prefix; nothing when its prefix is new.
std::vector<std::string> shared_prefix_refusal(const std::vector<std::string>& earlier,
                                               std::string_view name);

}  // namespace dendro
