// The one owner of every file the programs write. Each file is written under a temporary
// name beside its own (the name plus ".part") and takes its name only when it is complete,
// so that an earlier file of that name stays byte for byte until a whole new one replaces
// it. When a version replaces its earlier file depends on what it belongs to (`Commit`); a
// run that stops settles every version not yet in place (`settle`), and an interrupt does
// the same from its signal handler (series/interrupts.h).
#pragma once

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "series/file_system.h"

namespace dendro {

// When a complete new version of a file replaces the earlier file of its name.
enum class Commit {
  on_close,        // when it is closed: log files, the typed list of data files
  on_save,         // when it is saved: plot pages and their value files
  with_data_file,  // with the other files of the data file in hand, once it is processed
                   // (outside a data file's processing, when it is closed)
  with_run,        // with kalder's run-wide chronology files, at the end of the run
};

// What settling did with each version a stopped run had not put in place, by file name.
struct Settled {
  std::vector<std::string> kept_earlier;  // the earlier file of the name stays as it was
  std::vector<std::string> kept_new;      // complete, and no earlier file had the name
  std::vector<std::string> removed;       // incomplete, and no earlier file had the name
};

// The console lines that say what settling did: a head line and the names under it for
// each list that holds any.
std::vector<std::string> settled_lines(const Settled& settled);

// A head line and, under it, each name indented; nothing when there are no names.
std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names);

class OutputFiles;

// The note, at the end of a data file, of the files of its output prefix that an earlier
// run left and this run did not write (OutputFiles::left_from_earlier): a head line and
// the names; nothing when there are none.
std::vector<std::string> earlier_files_note(const OutputFiles& files, const std::string& prefix);

class OutputFiles {
 public:
  explicit OutputFiles(std::unique_ptr<FileSystem> fs);
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  // Drops every version still pending: earlier files stay as they were.
  ~OutputFiles();

  FileSystem& fs() { return *fs_; }

  // Starts a new version of `name` and returns the temporary path to write it under; a
  // version of the name already begun is dropped first. An empty version begun without
  // `keep_empty` takes the earlier file away when its group is committed. Throws Stop
  // when a folder has the name.
  std::string begin(const std::string& name, Commit when, bool keep_empty = true);
  // From now until commit(Commit::with_data_file), the files of a data file wait for each
  // other: each one complete waits for the group to be committed.
  void start_data_file() { data_file_ = true; }
  // The version of `name` is written whole. One that does not wait for a group replaces
  // the earlier file at once (throws Stop when it cannot; the earlier file is then as it
  // was).
  void complete(const std::string& name);
  // Drops the version of `name`: its temporary file goes, the earlier file stays.
  void drop(const std::string& name);
  // The run leaves no file of the name: the version of `name` becomes one that takes the
  // earlier file away when it is put in place, at once or with its group as complete()
  // says. A run that stops first leaves the earlier file as it was.
  void leave_none(const std::string& name);
  // Moves every complete version of `group` over its earlier file, all or none; a
  // version still incomplete is dropped. Returns the earlier files that empty versions
  // without `keep_empty` took away. Throws Stop naming the file when a move fails: every
  // earlier file of the group is then as it was and the new versions are gone.
  std::vector<std::string> commit(Commit group);
  // Settles every version not yet in place, for a run that stops: where an earlier file
  // has the name the version goes and the earlier file stays; otherwise a complete
  // version takes the name and an incomplete one goes.
  Settled settle();
  // The path that holds what `name` holds now for this run: its complete version while
  // that waits for its group, else the name itself.
  std::string read_path(const std::string& name) const;

  // Marks `name` as an input of the run, never to be written over by a save.
  void protect(const std::string& name);
  // True when `name` is an input of the run or a file the run writes itself (plot pages
  // and their value files aside, which a later save may replace on request).
  bool of_this_run(const std::string& name) const;
  // True when a new version of `name` can be created (its folder takes files).
  bool can_create(const std::string& name);
  // True when `name` exists on the file system.
  bool exists(const std::string& name) const { return fs_->exists(name); }
  // The files whose names begin with `prefix` (in its folder) that this run neither
  // read nor wrote, in name order.
  std::vector<std::string> left_from_earlier(const std::string& prefix) const;

  // settle() for the interrupt handler, with only the system calls a signal handler may
  // make, on the real file system; says on standard output what it did.
  void settle_on_signal() const noexcept;

 private:
  struct Version {
    std::string name;
    std::string temp;
    Commit when = Commit::with_data_file;
    bool keep_empty = true;
    bool complete = false;
    bool none = false;  // takes the earlier file away, see leave_none
  };

  std::unique_ptr<FileSystem> fs_;
  std::vector<Version> versions_;  // begun and not yet in place, in the order begun
  std::set<std::string> written_;  // the files this run has put in place (as keys)
  std::set<std::string> pages_;    // those of them that were saves
  std::set<std::string> inputs_;   // the inputs of the run (as keys)
  bool data_file_ = false;         // a data file's processing has started

  // Takes the versions that `which` picks out of the pending ones.
  template <class Which>
  std::vector<Version> take_if(Which which);
  std::vector<Version> take(Commit group);
  std::vector<Version> take_name(const std::string& name);
  // Marks the version of `name` complete and puts it in place unless it waits for its
  // group.
  void finish(const std::string& name, bool none);
  const Version* pending(const std::string& name) const;
  void put_in_place(std::vector<Version> versions, std::vector<std::string>* taken_away);
  void note_written(const Version& v);
};

}  // namespace dendro
