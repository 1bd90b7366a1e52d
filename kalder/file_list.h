// Checks of the list of data files, made before any file of the run is written.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dendro {

class Console;
class FileSystem;
class Units;

// Two data files of one output prefix (plot1.txt and plot1, or one name listed twice,
// however spelled) would overwrite each other's output files. Returns the console lines
// that refuse the first name of `names` whose prefix an earlier one has, as `fs` knows
// files; nothing when every prefix is new.
std::vector<std::string> shared_prefix_refusal(const FileSystem& fs,
                                               const std::vector<std::string>& names);

// The names the list on unit::file_names still holds, read to the end of the list.
std::vector<std::string> names_left(Units& units);

// The log files of the data files `names` that are no regular file this user may read, in
// list order.
std::vector<std::string> missing_log_files(const FileSystem& fs,
                                           const std::vector<std::string>& names);

// Says on the console that the log files `missing` were not found (or why they cannot be
// read) and how to make them.
void say_missing_log_files(Console& con, const FileSystem& fs,
                           const std::vector<std::string>& missing);

}  // namespace dendro
