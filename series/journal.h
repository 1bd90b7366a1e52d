// The journal a run keeps in each folder it writes into, ".dendro.<pid>.journal": the
// temporary files it has begun there and, for each group of files it puts in place
// together, the moves it makes and its decision, so that a run killed at any step leaves a
// record from which the next run can restore the earlier files or finish the new ones,
// whole either way. The journal of a run that is alive is locked by it; a journal nobody
// holds is the record of a run cut short.
//
// A group is put in place as a database's rollback journal is: its moves and the decision
// "back" are on the disk before the first move, so a run cut short then is rolled back: the
// earlier files return and the new ones go. Once every new file has its name and the folder
// its list of names, the decision becomes "done", and from then on the earlier files set
// aside are only removed.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "series/file_system.h"

namespace dendro {

// The temporary name of a new version of `name` while run `pid` writes it, and the name
// an earlier file of `name` takes while the group it belongs to takes its names.
std::string temporary_name(const std::string& name, int pid);
std::string aside_name(const std::string& name, int pid);
// True when `name` has the form of a temporary or an aside name (".part", ".prev").
bool temporary_form(const std::string& name);

// One move of a group: the new version of `name` takes its name; an earlier file of the
// name steps aside first. A version of `none` only takes the earlier file away.
struct Move {
  std::string name;  // the full path (identity)
  bool earlier = false;
  bool none = false;
};

class Journal {
 public:
  // Creates the journal of this run in the folder `folder` (a full path) and locks it;
  // a journal already under its name (a run cut short that had this run's process id) is
  // handed to `follow_earlier` first. Throws Stop when the folder takes no journal.
  Journal(FileSystem& fs, const std::string& folder,
          const std::function<void(const std::string&)>& follow_earlier);
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::string& path() const { return path_; }
  // The folder (a full path) whose files it records.
  const std::string& folder() const { return folder_; }
  // Notes a temporary file begun for `name` (a full path). Not flushed: a file whose note is
  // lost with the power is only a temporary file left over.
  Outcome note_part(const std::string& name);
  // Writes group `group`'s moves and the decision "back", and flushes them to the disk.
  Outcome begin_group(int group, const std::vector<Move>& moves);
  // The decision "done", flushed; then "end" once its earlier files are gone.
  Outcome done(int group);
  void end(int group);
  // Closes the journal and removes it: every group ended and no temporary file is left.
  Outcome remove();

 private:
  Outcome write(const std::string& line, bool flush);

  FileSystem& fs_;
  std::string folder_;
  std::string path_;
  std::unique_ptr<FileStream> out_;
};

// What following the journals of runs cut short did, by name.
struct Mended {
  std::vector<std::string> put_back;  // earlier files back under their names
  std::vector<std::string> undone;    // new files removed, as their group was rolled back
  std::vector<std::string> finished;  // earlier files removed, as their group was done
  std::vector<std::string> removed;   // temporary files removed
  std::vector<std::string> failures;  // console lines: what could not be done, and why
};

// The process id in the name of a journal file; 0 when `file` (without folder) is none.
int journal_pid(const std::string& file);
// The names (full paths) a journal mentions, which a run must hold before it follows it.
std::vector<std::string> journal_names(FileSystem& fs, const std::string& path);
// Follows the journal `path` of a run cut short: each group rolled back or finished as its
// last decision says, every temporary file it names removed, the folder flushed; then the
// journal goes, unless a step failed (a later run follows it again). Adds what it did to
// `mended`.
void follow_journal(FileSystem& fs, const std::string& path, Mended& mended);

}  // namespace dendro
