// The journal a run keeps in each folder it writes into, ".dendro.<pid>.journal": the
// temporary files it has begun there and, for each group of files it puts in place
// together, the moves it makes and its decisions, so that the next run can restore the
// earlier files, or finish the new ones, of a run killed at any step.
//
// A group is put in place as a database's rollback journal does it: its moves and the
// decision "back" are on the disk before the first move, so that a run cut short then is
// rolled back: the earlier files return and the new ones go. Once every new file has its
// name and the folder its list of names, the decision becomes "done", and the group is
// finished: the earlier files set aside go. A run that must go back on "done" (its flush
// failed) writes "back" again, flushed, before it undoes a step; the last whole decision is
// the one the next run follows.
//
// What a run finds in a folder is input: a journal is followed only when it is this
// program's own, whole, and of its own folder. It begins with a header (a mark, the run's
// process id and a token of the run); each record ends with a checksum of the token and the
// record, so that a record cut short, damaged or taken from another journal is passed over;
// a decision counts only when it holds the number of moves of its group that stand before
// it. Files are named by their names within the journal's own folder, with no folder part:
// a folder moved or copied whole mends itself, and no journal reaches outside its folder.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "series/files/file_system.h"

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
  std::string name;  // the file's name in the journal's folder
  bool earlier = false;
  bool none = false;
  std::uintmax_t size = 0;  // of the new version: a file of another size is not it
};

class Journal {
 public:
  // Creates the journal of this run in the folder `folder` (an identity) with its header,
  // flushed. A journal under its name must have been followed or set aside first. Throws
  // Stop when the folder takes no journal.
  Journal(FileSystem& fs, const std::string& folder);
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::string& path() const { return path_; }
  const std::string& folder() const { return folder_; }
  // Notes a temporary file begun for `name`. Not flushed: a file whose note is lost with the
  // power is only a temporary file left over.
  Outcome note_part(const std::string& name);
  // Writes group `group`'s moves and the decision "back", and flushes them to the disk.
  Outcome begin_group(int group, const std::vector<Move>& moves);
  // The decision "done", flushed.
  Outcome done(int group);
  // The decision "back" again, flushed: the run goes back on "done".
  Outcome back(int group);
  // "end": nothing of the group is left to do.
  void end(int group);
  // Closes the journal and removes it: every group ended and no temporary file is left.
  Outcome remove();

 private:
  Outcome write(const std::string& record, bool flush);
  Outcome decide(const char* decision, int group);

  FileSystem& fs_;
  std::string folder_;
  std::string path_;
  std::string token_;
  std::unique_ptr<FileStream> out_;
  std::map<int, std::size_t> moves_;  // each group's number of moves
};

// A group of a journal read back: its moves, and the last whole decision that counts: ""
// (none), "back", "done" or "end".
struct Group {
  std::vector<Move> moves;
  std::string decision;
};

// What a journal found in a folder holds, read whole or not at all.
struct Recorded {
  int pid = 0;                     // the run that wrote it
  std::string failure;             // it could not be read: the system's reason
  std::string foreign;             // it is not a whole journal of this program: why
  std::vector<std::string> parts;  // names whose temporary files the run began
  std::map<int, Group> groups;
};

// What following the journals of runs cut short did, by name.
struct Mended {
  std::vector<std::string> put_back;  // earlier files back under their names
  std::vector<std::string> undone;    // new files removed, as their group was rolled back
  std::vector<std::string> finished;  // earlier files removed, as their group was done
  std::vector<std::string> removed;   // temporary files removed
  std::vector<std::string> left;      // console lines: journals left as they are, and why
  std::vector<std::string> failures;  // console lines: what could not be done, and why
};

// The path of the journal of run `pid` in `folder`.
std::string journal_path(const std::string& folder, int pid);
// The process id in the name of a journal file; 0 when `file` (without folder) is none.
int journal_pid(const std::string& file);
// Reads the journal `path`.
Recorded read_journal(FileSystem& fs, const std::string& path);
// Every name the journal mentions.
std::vector<std::string> names_in(const Recorded& r);
// The names whose files following the journal of folder `folder` would touch: every name of
// a group with a decision to follow, and each name whose temporary file is still there.
std::vector<std::string> names_to_mend(FileSystem& fs, const std::string& folder,
                                       const Recorded& r);
// Follows the journal `path` of a run cut short, read as `r`: each group rolled back or
// finished as its last decision says (a group without one has moved nothing), every
// temporary file it names removed, the folder flushed; then the journal goes, unless a step
// failed (a later run follows it again). Adds what it did to `mended`.
void follow_journal(FileSystem& fs, const std::string& path, const Recorded& r, Mended& mended);

// A full path as the console shows it: from the working folder when it lies there or below.
std::string shown(FileSystem& fs, const std::string& full);

}  // namespace dendro
