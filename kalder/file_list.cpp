#include "kalder/file_list.h"

#include <unordered_map>

#include "options/log_creation.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/file_system.h"
#include "series/files/units.h"
#include "series/text.h"

namespace dendro {

std::vector<std::string> shared_prefix_refusal(const FileSystem& fs,
                                               const std::vector<std::string>& names) {
  // The output files' names, not the data file's (a link to a data file of another name
  // has outputs of its own), each worked out once.
  std::unordered_map<std::string, std::string_view> seen;
  for (const std::string& name : names) {
    const auto [first, fresh] = seen.try_emplace(fs.identity(output_prefix(name) + "_"), name);
    if (fresh) continue;
    return {" *** data files " + std::string(trim_right(first->second)) + " and " +
                std::string(trim_right(name)) + " have one output prefix, " + output_prefix(name) +
                ",",
            " *** so that their output files would overwrite each other"};
  }
  return {};
}

std::vector<std::string> names_left(Units& units) {
  std::vector<std::string> names;
  if (!units.is_open(unit::file_names)) return names;
  for (std::string name; next_listed_name(units, name);) names.push_back(name);
  return names;
}

std::vector<std::string> missing_log_files(const FileSystem& fs,
                                           const std::vector<std::string>& names) {
  std::vector<std::string> missing;
  for (const std::string& name : names) {
    const std::string log = log_file_name(name);
    if (!fs.is_file(log)) missing.push_back(log);
  }
  return missing;
}

void say_missing_log_files(Console& con, const FileSystem& fs,
                           const std::vector<std::string>& missing) {
  con.say("");
  for (const std::string& log : missing) {
    const std::string why = unreadable_reason(fs, log);
    con.say(why == kNoSuchFile || why.empty() ? "*** log file not found:  " + name_field(log)
                                              : "*** cannot read the log file " + log + ": " + why);
  }
  con.say("*** re-run program in interactive mode");
  con.say("*** to create the proper log file.");
}

}  // namespace dendro
