// How new versions of files take the names of their earlier files: one file in one move;
// a group in one folder all or none, through the run's journal (series/journal.h).
#pragma once

#include <string>
#include <vector>

#include "series/files/file_system.h"
#include "series/files/journal.h"
#include "series/files/stop.h"

namespace dendro {

// A new version, complete, and the name it takes.
struct Placement {
  std::string name;   // as the run spells it, for the console
  std::string id;     // its identity: the file the moves act on
  std::string temp;   // the temporary file that holds it, beside `id`
  bool none = false;  // the run leaves no file of the name: the earlier file goes
};

// What placing did.
struct Placed {
  std::vector<std::string> replaced;    // earlier files replaced by new ones
  std::vector<std::string> taken_away;  // earlier files that versions of `none` took away
  std::vector<std::string> notes;       // what failed once the new files had their names
  bool unfinished = false;              // the journal names a file still to remove or put back
};

// A placing that failed: the Stop that says what the folder holds, and whether the journal
// still names a file for the next run to remove or put back.
struct PlacingFailed : Stop {
  PlacingFailed(const std::string& message, bool journal_unfinished);
  bool unfinished;
};

// The indent of each name in a list of files on the console.
inline constexpr const char* kNameIndent = "       ";

// A head line and, under it, each name indented (kNameIndent); nothing when there are no
// names.
std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names);
// Adds name_list(head, names) to `lines`.
void add_name_list(std::vector<std::string>& lines, const std::string& head,
                   const std::vector<std::string>& names);

// Removes the temporary file `temp` (a new version's, or one a dead run left): the one place
// that does. When it cannot, adds the console line that says so (the next run in the folder
// removes it) to `failures`; when it can, its name as the console shows it to `removed`, if
// given. True when it is gone.
bool remove_temporary(FileSystem& fs, const std::string& temp, std::vector<std::string>& failures,
                      std::vector<std::string>* removed = nullptr);

// Puts one version in place by one move, which replaces the earlier file (or a link of the
// name) whole or not at all. Throws Stop naming the file and the reason when it cannot: the
// earlier file is then as it was.
Placed place_one(FileSystem& fs, const Placement& p);

// Puts the versions of one folder in place together, as group `group` of `journal`: every
// new file flushed; the moves and the decision "back" recorded and flushed; the earlier
// files set aside, the new ones in their names; the folder flushed; the decision "done";
// the earlier files removed, and the folder flushed again. A move never replaces a file,
// and an undo acts only on the file it recorded. Throws Stop when a step before
// "done" holds fails, once every earlier file is back (after "done" was written, "back" is
// written again first); when one cannot be put back, the message names it and where it
// stays; when "back" cannot be written again, nothing is undone and the message says where
// each file stands.
Placed place_group(FileSystem& fs, Journal& journal, int group,
                   const std::vector<Placement>& versions);

}  // namespace dendro
