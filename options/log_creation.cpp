#include "options/log_creation.h"

#include <string>

#include "options/log_file.h"
#include "options/menu.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {

bool next_listed_name(Units& units, std::string& name) {
  std::string record;
  if (!units.read_record(unit::file_names, record) || field(record, 10) == std::string(10, ' ')) {
    return false;
  }
  name = trim_right(record);
  return true;
}

namespace {

// The number of names on the list, which is left at its start.
int listed_names(Units& units) {
  int names = 0;
  for (std::string name; next_listed_name(units, name);) ++names;
  units.rewind(unit::file_names);
  return names;
}

}  // namespace

int mlf(Units& units, Icommands& icommands, Commands& commands, Console& con) {
  const char same = commands.at(Commands::kSameCommands);
  const bool every_file = same == 'n' || same == 'N';
  const bool first_file = same == 'y' || same == 'Y';
  // Among menus one for each data file, a line says which data file each one is for.
  const bool named_menus = every_file && listed_names(units) > 1;
  int count = 0;
  // The list is a finite file: the loop ends at its end or at a blank name. Each name is
  // whole, never cut to a 40-character field, so that the log file name is the one the run
  // driver derives from the same data file.
  for (std::string name; next_listed_name(units, name);) {
    if (named_menus) {
      con.say("");
      con.say(Layout("(' ==> options for data file: ',a)").write(name));
    }
    ++count;
    const std::string shown = name_field(name);

    // A stop in the menu ("/", end of input) leaves an earlier log file of the data file
    // as it was: the new one replaces it when it is closed, complete.
    units.create(unit::log, log_file_name(name), Commit::on_close);
    if (every_file || (first_file && count == 1)) menu(icommands, commands, con);
    if (count == 1) con.say(Layout("(' ')").write());
    con.say(Layout("(' ==> writing batch commands for: ',a)").write(shown));

    units.write(unit::log, log_header(count, name));
    wlf(icommands, commands.mask(), units.out(unit::log));
    units.close(unit::log);
  }
  con.say(Layout("(/1x,i4,'  batch command files created')").write(count));
  return count;
}

}  // namespace dendro
