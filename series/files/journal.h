// The journal a run keeps in each folder it writes into: the temporary files it has begun
// there and, for each group of files it puts in place together, the moves it makes and its
// decisions, so that the next run in the folder can restore the earlier files, or finish
// the new ones, of a run killed at any step. docs/ARCHITECTURE.md ("Files") tells how.
//
// On the disk, ".dendro.<pid>.journal": a line a record, each ending with a tab and a
// checksum of the run's token and the record:
//   dendro journal 2 <pid> <token> <folder's device:inode> | part <name> |
//   back <g> <moves> | done <g> <moves> |
//   end <g> | move <g> <earlier> <none> <inode> <size> <modified> <earlier inode> <name>
// (fields separated by tabs; names are the files' own names in the journal's folder).
// In a copy of the folder (another device and inode) a file is known by its size alone.
// Journals of the earlier versions are read too: version 1, whose moves record only the new
// version's size, and the first, without header or checksums, which names files by full
// paths.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "series/files/file_system.h"

namespace dendro {

// The temporary name of a new version of `name` while run `pid` writes it, and the name
// an earlier file of `name` takes while the group it belongs to takes its names.
std::string temporary_name(const std::string& name, int pid);
std::string set_aside_name(const std::string& name, int pid);
// True when the file `file` (without folder) of run `pid` would have a temporary or a
// set-aside name longer than a file system takes (255 characters).
bool too_long_for_temporary(const std::string& file, int pid);
// True when `name` has the form of a temporary or a set-aside name (".part", ".prev").
bool temporary_form(const std::string& name);
// The name of whose temporary file `file` (without folder) would be under some process id;
// empty when it has no such form.
std::string temporary_of(const std::string& file);
// True when `file` (without folder) has the form of a journal's name.
bool journal_form(const std::string& file);

// One move of a group: the new version of `name` takes its name; an earlier file of the
// name is set aside first. A version of `none` only takes the earlier file away.
struct Move {
  std::string name;  // the file's own name in the journal's folder
  bool earlier = false;
  bool none = false;
  FileId version;                   // the new version's
  std::uint64_t earlier_inode = 0;  // the earlier file's
};

class Journal {
 public:
  // Creates a journal of this run in the folder `folder` (an identity) with its header,
  // flushed, and the folder flushed. Throws Stop when the folder takes no journal.
  Journal(FileSystem& fs, const std::string& folder);
  Journal(const Journal&) = delete;
  Journal& operator=(const Journal&) = delete;

  const std::string& path() const { return path_; }
  const std::string& folder() const { return folder_; }
  // Records a temporary file begun for `name`. Not flushed: a temporary file whose record
  // is lost with the power is removed as one no journal names.
  Outcome record_temporary(const std::string& name);
  // Writes group `group`'s moves and the decision "back", and flushes them to the disk.
  Outcome begin_group(int group, const std::vector<Move>& moves);
  // The decision "done", flushed.
  Outcome done(int group);
  // The decision "back" again, flushed: the run goes back on "done".
  Outcome back(int group);
  // "end": nothing of the group is left to do.
  Outcome end(int group);
  // Closes the journal and removes it: every group ended and no temporary file is left.
  Outcome remove();

 private:
  Outcome write(const std::string& record, bool flush);
  Outcome decide(std::string_view decision, int group);
  // The failure to write the journal, said once with its reason.
  std::string cannot_write(const std::string& why) const;

  FileSystem& fs_;
  std::string folder_;
  std::string path_;
  std::string token_;
  std::unique_ptr<FileStream> out_;
  std::map<int, std::size_t> moves_;  // each group's number of moves
};

// The decisions of a group: the run is rolled back; every new file has its name; nothing of
// the group is left to do.
inline constexpr std::string_view kBack = "back";
inline constexpr std::string_view kDone = "done";
inline constexpr std::string_view kEnd = "end";

// A group of a journal read back: its moves, and the last whole decision that counts: ""
// (none), kBack, kDone or kEnd.
struct Group {
  std::vector<Move> moves;
  std::string decision;
};

// What a journal found in a folder holds: the records read, and why it was not read to its
// end, when it was not.
struct Recorded {
  int version = 0;                 // 0, 1 or 2; which of its moves' fields are known
  int pid = 0;                     // the run that wrote it
  bool copied = false;             // its folder is a copy of the one it was written in
  std::string failure;             // it could not be opened or read to its end: why
  std::string foreign;             // it is no whole journal of these programs: why
  std::vector<std::string> parts;  // names whose temporary files the run began
  std::map<int, Group> groups;
};

// Reads the journal `path` of the folder `folder` (an identity).
Recorded read_journal(FileSystem& fs, const std::string& path, const std::string& folder);
// Every name the journal names.
std::vector<std::string> names_in(const Recorded& r);
// True when the file `now` under a move's name is the new version the move recorded, as far
// as the journal's version tells.
bool is_new_version(const Recorded& r, const Move& m, const Status& now);
// True when the file `now` under a move's set-aside name is the earlier file it recorded.
bool is_earlier_file(const Recorded& r, const Move& m, const Status& now);

}  // namespace dendro
