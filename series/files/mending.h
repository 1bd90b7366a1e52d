// Following the journal of a run cut short: each group rolled back or finished as its last
// decision says, every step acting only on the file the journal recorded, then its
// temporary files removed. docs/ARCHITECTURE.md ("Files") tells when a journal is followed.
#pragma once

#include <string>
#include <vector>

#include "series/files/file_system.h"
#include "series/files/journal.h"

namespace dendro {

// What following the journals of runs cut short did, by name.
struct Mended {
  std::vector<std::string> put_back;    // earlier files back under their names
  std::vector<std::string> undone;      // new files removed, as their group was rolled back
  std::vector<std::string> finished;    // earlier files removed, as their group was done
  std::vector<std::string> superseded;  // earlier files removed, as a newer file has the name
  std::vector<std::string> removed;     // temporary files removed
  std::vector<std::string> left;        // console lines: journals left as they are, and why
  std::vector<std::string> failures;    // console lines: what could not be done, and why
};

// The console lines that say what mending did: a head line and the names under it for each
// list that holds any, then the journals left and the failures.
std::vector<std::string> mended_lines(const Mended& mended);

// Why this run cannot follow the journal read as `r` in `folder`: a file it would move or
// remove that this run may not (the file and the reason); empty when it can.
std::string why_not_movable(const FileSystem& fs, const std::string& folder, const Recorded& r);

// Follows the journal `path` of a dead run in `folder`, read as `r`: each group rolled back
// or finished as its last decision says (a group without one has moved nothing), every
// temporary file it names removed, the folder flushed; then the journal goes. An earlier
// file that cannot come back because a newer file has its name since (a run that did not
// follow the journal wrote it) is superseded: it goes, and the newer file stays. Adds what
// it did to `mended`. False when a step failed: the journal stays whole for a later run,
// and this run must write none of the names it names.
bool follow_journal(FileSystem& fs, const std::string& path, const std::string& folder,
                    const Recorded& r, Mended& mended);

}  // namespace dendro
