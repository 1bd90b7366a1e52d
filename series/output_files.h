// The one owner of every file the programs write. Each file is written under a temporary
// name beside its own (the name plus ".part") and takes its name only when it is complete,
// so that an earlier file of that name stays byte for byte until a whole new one replaces
// it. When a version replaces its earlier file depends on the group it belongs to
// (`Commit`); a run that ends early, whatever ends it, settles every version not yet in
// place (`settle`). Files are known by what they are on the disk (FileSystem::identity),
// never by how their names are spelled.
#pragma once

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "series/file_system.h"

namespace dendro {

// The group a new version of a file belongs to, which decides when it replaces the earlier
// file of its name.
enum class Commit {
  on_close,        // when it is closed: log files, the typed list of data files
  on_save,         // when it is saved: plot pages and their value files
  with_data_file,  // with the other files of the data file in hand, when the driver commits
                   // the data file's group
  with_run,        // with kalder's run-wide chronology files, when the driver commits them
};

// What settling did with each version a run that ended early had not put in place, by
// file name, and the earlier files it had replaced before.
struct Settled {
  std::vector<std::string> replaced;      // earlier files replaced before the run ended
  std::vector<std::string> kept_earlier;  // the earlier file of the name stays as it was
  std::vector<std::string> kept_new;      // complete, and no earlier file had the name
  std::vector<std::string> removed;       // incomplete, and no earlier file had the name
};

// What a run found of an earlier run that was cut short (killed, or the power lost) while
// its files took their names, and what it did with them.
struct Mended {
  std::vector<std::string> put_back;  // earlier files that had stepped aside, back in place
  std::vector<std::string> removed;   // temporary files, removed
};

// The console lines that say what settling did: a head line and the names under it for
// each list that holds any.
std::vector<std::string> settled_lines(const Settled& settled);
// The same for what mending did.
std::vector<std::string> mended_lines(const Mended& mended);

// A head line and, under it, each name indented; nothing when there are no names.
std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names);

// A message as a console line that begins with one " *** ", however many stars the
// message itself begins with.
std::string stars_line(const std::string& message);

class OutputFiles;

// The note, at the end of a data file, of the files of its output prefix that an earlier
// run left and this run did not write (OutputFiles::left_from_earlier): an empty line, a
// head line and the names, each handed to `say`; nothing when there are none.
void name_earlier_files(const OutputFiles& files, const std::string& prefix,
                        const std::function<void(const std::string&)>& say);

class OutputFiles {
 public:
  explicit OutputFiles(std::unique_ptr<FileSystem> fs);
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  // Drops every version still pending: earlier files stay as they were.
  ~OutputFiles();

  FileSystem& fs() { return *fs_; }
  // What `name` is on the disk (FileSystem::identity).
  std::string identity(const std::string& name) const { return fs_->identity(name); }

  // Starts a new version of `name` in `group` and returns the temporary path to write it
  // under; a version of the file already begun is dropped first. Throws Stop when a folder
  // has the name.
  std::string begin(const std::string& name, Commit group);
  // The version of `name` is written whole. A version of on_close or on_save replaces the
  // earlier file at once (throws Stop when it cannot: the earlier file is then as it
  // was); one of the two other groups waits for its group's commit.
  void complete(const std::string& name);
  // Drops the version of `name`: its temporary file goes, the earlier file stays.
  void drop(const std::string& name);
  // The run leaves no file of the name: the version of `name` becomes one that takes the
  // earlier file away when it is put in place, at once or with its group as complete()
  // says. A run that ends early leaves the earlier file as it was.
  void leave_none(const std::string& name);
  // Moves every complete version of `group` over its earlier file, all or none; a
  // version still incomplete is dropped. Returns the earlier files that versions of
  // leave_none took away. Throws Stop naming the file when a step fails: every earlier
  // file of the group is then as it was and the new versions are gone.
  std::vector<std::string> commit(Commit group);
  // Settles every version not yet in place, for a run that ends early: where an earlier
  // file has the name the version goes and the earlier file stays; otherwise a complete
  // version takes the name and an incomplete one goes. Names the earlier files the run
  // had replaced before.
  Settled settle();
  // The path that holds what `name` holds now for this run: its complete version while
  // that waits for its group, else the name itself.
  std::string read_path(const std::string& name) const;

  // Marks `name` as an input of the run, never to be written over by a save.
  void protect(const std::string& name);
  // The run may write files whose names begin with `prefix` (a data file's output prefix
  // and "_"), or the file `name`: no save takes them, and mend() looks for their
  // leftovers.
  void reserve_prefix(const std::string& prefix);
  void reserve_name(const std::string& name);
  // True when no save may take `name`: an input of the run, a file the run has written
  // or is writing (plot pages and their value files aside, which a later save may replace
  // on request), a name the run reserved, or one of the owner's own temporary names.
  bool of_this_run(const std::string& name) const;
  // True when a new version of `name` can be created (its folder takes files).
  bool can_create(const std::string& name);
  // True when `name` exists on the file system.
  bool exists(const std::string& name) const { return fs_->exists(name); }
  // The files whose names begin with `prefix` (in its folder) that this run neither
  // read nor wrote, in name order.
  std::vector<std::string> left_from_earlier(const std::string& prefix) const;
  // Mends what a run cut short left of the reserved names: when an earlier file that had
  // stepped aside misses its name, the earlier files of that move all go back; otherwise
  // the new files had all taken their names and the earlier ones go; every temporary file
  // goes.
  Mended mend();

 private:
  struct Version {
    std::string name;
    std::string id;  // identity of the name
    std::string temp;
    Commit group = Commit::with_data_file;
    bool complete = false;
    bool none = false;  // takes the earlier file away, see leave_none
  };

  // A name, or a start of names, that the run may write.
  struct Reserved {
    std::string folder;  // as given ("" for the working folder)
    std::string start;   // the file name, or its start
    std::string id;      // the identity of folder and start
    bool whole = false;  // a whole name rather than a start
  };

  std::unique_ptr<FileSystem> fs_;
  std::vector<Version> versions_;      // begun and not yet in place, in the order begun
  std::set<std::string> written_;      // the files this run has put in place
  std::set<std::string> pages_;        // those of them that were saves
  std::set<std::string> inputs_;       // the inputs of the run
  std::vector<Reserved> reserved_;     // what the run may write
  std::vector<std::string> replaced_;  // earlier files replaced, by name

  // Takes the versions that `which` picks out of the pending ones.
  template <class Which>
  std::vector<Version> take_if(Which which);
  std::vector<Version> take_file(const std::string& id);
  void reserve(const std::string& name, bool whole);
  // Marks the version of `name` complete and puts it in place unless it waits for its
  // group.
  void finish(const std::string& name, bool none);
  const Version* pending(const std::string& name) const;
  void put_in_place(std::vector<Version> versions, std::vector<std::string>* taken_away);
  // Flushes the temporary files of the versions to the disk; the first that fails.
  const Version* unflushed(const std::vector<Version>& versions);
  // Flushes the folders of the versions' names, each once; the first version whose
  // folder fails.
  const Version* unflushed_folder(const std::vector<Version>& versions);
  void note_written(const Version& v);
  bool is_reserved(const std::string& id) const;
  // The leftovers (".part", ".prev") of the reserved names found in their folders.
  std::vector<std::string> leftovers() const;
};

}  // namespace dendro
