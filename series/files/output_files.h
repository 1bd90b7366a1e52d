// The one owner of every file the programs write. Each file is written under a temporary
// name beside its own (the name, the run's process id and ".part") and takes its name only
// when it is complete, so that an earlier file of that name stays byte for byte until a
// whole new one replaces it. When a version replaces its earlier file depends on the group
// it belongs to (`Commit`); a run that ends early settles every version not yet in place
// (`settle`). Files are known by what they are on the disk (FileSystem::identity), never by
// how their names are spelled; an output name that is a link is replaced, never written
// through.
//
// One run a folder: before a run writes into a folder it holds it (`hold`), and mends every
// journal it finds there, each a dead run's (series/files/found_in_folder.cpp).
// docs/ARCHITECTURE.md ("Files") tells the whole protocol.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "series/files/file_system.h"
#include "series/files/forms.h"
#include "series/files/journal.h"
#include "series/files/mending.h"
#include "series/files/placing.h"

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
  std::vector<std::string> kept_new;      // the general output file or report, new
  std::vector<std::string> removed;       // new files of a group not in place, or incomplete
  std::vector<std::string> failures;      // console lines: what could not be done, and why
};

// A name the run will write, and what it is for the console: "an output of site.rwl".
struct Wanted {
  std::string name;
  std::string what;
};

// A version begun: its temporary file, open for writing.
struct Begun {
  std::string temp;
  std::unique_ptr<FileStream> stream;
};

// What holding folders did: the console lines that refuse the run (another run holds a
// folder, or a folder cannot be held), and what mending the folders newly held did.
struct Holding {
  std::vector<std::string> refusal;
  Mended mended;
};

// Why folders could not be held for the run: the console lines that refuse a list of names,
// and the reason a name given later is refused, with what to do.
struct NotHeld {
  std::vector<std::string> list;
  std::string later;
};

// The console lines that say what settling did: a head line and the names under it for
// each list that holds any.
std::vector<std::string> settled_lines(const Settled& settled);

// The lines as one text, a line end between each two.
std::string joined_lines(const std::vector<std::string>& lines);

// A message as a console line that begins with one " *** ", however many stars the
// message itself begins with.
std::string stars_line(const std::string& message);

class OutputFiles;

// The note, at the end of a data file, of the files of its output prefix that an earlier
// run left and this run did not write (OutputFiles::left_from_earlier): an empty line, a
// head line and the names, each handed to `say`; nothing when there are none.
void name_earlier_files(const OutputFiles& files, const std::string& prefix,
                        const std::function<void(const std::string&)>& say);

// Whether a file's own name is of a form the programs write, by which a journal found is
// followed or left.
using Forms = bool (*)(std::string_view file);

class OutputFiles {
 public:
  explicit OutputFiles(std::unique_ptr<FileSystem> fs, Forms forms = of_either_programs_form);
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  // Drops every version still pending (earlier files stay as they were) and removes the
  // run's journals once nothing they name is left.
  ~OutputFiles();

  FileSystem& fs() { return *fs_; }
  // What `name` is on the disk (FileSystem::identity), worked out once a name.
  const std::string& identity(const std::string& name) const;

  // `name` is an input of the run (`what` says which: "data file 2 of files.txt"), which
  // the run never writes, nor the file it reads through a link.
  void protect(const std::string& name, const std::string& what);
  // The console lines that refuse names the run would write: one that is an input of the
  // run, one that two writers would write, one that is a folder, a device, a FIFO or a
  // socket, one that a journal left as it is names, one too long for its temporary file,
  // another user's file that its folder lets only its owner replace; each names the file
  // and what to do.
  // Nothing when all may be written.
  std::vector<std::string> check(const std::vector<Wanted>& wanted) const;

  // Holds the folders of `names` for the run, until it ends: each folder is held at once or
  // the run is refused, and nothing is waited for. A folder this user may not write into,
  // one on a read-only file system, one that cannot be listed or holds a journal that
  // cannot be read, and more folders than the run's limit of open files allows, refuse the
  // run too, before any lock file is made where the count is concerned. Then mends each
  // folder newly held: every journal there is a dead run's, followed where it is whole, of
  // its own folder, of either program's names and no input, else left as it is and named;
  // the names of a journal left, or not followed to its end, are not written. A temporary
  // file no journal names is removed.
  Holding hold(const std::vector<std::string>& names);
  // Starts a new version of `name` in `group`: its temporary file, a new file beside the
  // name, open for writing; a version of the file already begun is dropped first. A folder
  // not held yet is held now, and mended (what that did is among the notes). Throws Stop
  // when the name is an input of the run, a folder, a device, a FIFO or a socket, named by
  // a journal left as it is, in a folder another run holds, or cannot be created.
  Begun begin(const std::string& name, Commit group);
  // The version of `name` is written whole. A version of on_close or on_save replaces the
  // earlier file at once (throws Stop when it cannot: the console then says what the
  // folder holds); one of the two other groups waits for its group's commit.
  void complete(const std::string& name);
  // Drops the version of `name`: its temporary file goes, the earlier file stays.
  void drop(const std::string& name);
  // The run leaves no file of the name: the version of `name` becomes one that takes the
  // earlier file away when it is put in place, at once or with its group as complete()
  // says. A run that ends early leaves the earlier file as it was.
  void leave_none(const std::string& name);
  // Moves every complete version of `group` over its earlier file, all or none in each
  // folder, through the journal, once the run is sure it still holds the folder; a version
  // still incomplete is dropped. Returns the earlier files that versions of leave_none took
  // away. Throws Stop naming the file and the reason when a step fails: then every earlier
  // file of the group is as it was, or, when putting them back failed too, the message
  // names those left set aside.
  std::vector<std::string> commit(Commit group);
  // What went wrong after a group took its names (an earlier file that could not be
  // removed, a folder not flushed), and what mending a folder held for a name typed later
  // did, as console lines, since the last call; the journal keeps what is left for the next
  // run.
  std::vector<std::string> take_notes();
  // Removes the run's journals once nothing they name is left, at the end of the run (or
  // of the owner); the console lines of those that could not be removed.
  std::vector<std::string> close_journals();
  // Settles every version not yet in place, for a run that ends early: a group not in place
  // leaves none of its new files, but for the general output file or report `kept` when no
  // earlier file has its name; earlier files stay as they were (one this run had put there
  // is named among the files kept, not as earlier). Names the earlier files the run had
  // replaced before. Then closes the journals (close_journals).
  Settled settle(const std::string& kept = "");
  // The path that holds what `name` holds now for this run: its complete version while
  // that waits for its group, else the name itself.
  std::string read_path(const std::string& name) const;

  // `name` was read by the run: no save takes it.
  void mark_read(const std::string& name);
  // Names no save may take: those beginning with `prefix` (a data file's output prefix
  // and "_"), or the file `name`.
  void reserve_prefix(const std::string& prefix);
  void reserve_name(const std::string& name);
  // True when no save may take `name`: a file the run reads, a file the run has written or
  // is writing (plot pages and their value files aside, which a later save may replace on
  // request), a reserved name, a temporary name, or a journal or lock file (".dendro.").
  bool of_this_run(const std::string& name) const;
  // Why a file of `name` may not be written now: too long a name for its temporary file,
  // its folder held by another run or not to be held (this run holds it from now on, and
  // mends it), a journal left as it is names it, or it is another user's file that its
  // folder lets only its owner replace; empty when it may.
  std::string why_not_written(const std::string& name);
  // Gives back the folder of `name`, which the run no longer means to write into (a data
  // file given up), unless the run has begun or put a file there or keeps a journal there.
  void give_back_folder_of(const std::string& name);
  // Why a version of `name` cannot be created (its folder takes no file): the reason;
  // empty when it can.
  std::string creation_failure(const std::string& name);
  // True when `name` exists on the file system.
  bool exists(const std::string& name) const { return fs_->exists(name); }
  // The files whose names begin with `prefix` (in its folder) that this run neither
  // read nor wrote, in name order; the reason when the folder cannot be listed.
  Listing left_from_earlier(const std::string& prefix) const;

 private:
  struct Version {
    std::string name;
    std::string id;    // identity of the name
    std::string temp;  // beside the name
    Commit group = Commit::with_data_file;
    bool complete = false;
    bool none = false;  // takes the earlier file away, see leave_none
  };

  std::unique_ptr<FileSystem> fs_;
  Forms forms_;
  mutable std::unordered_map<std::string, std::string> ids_;  // identities, by name
  std::vector<Version> versions_;                 // begun and not yet in place, in the order begun
  std::set<std::string> written_;                 // the files this run has put in place
  std::set<std::string> pages_;                   // those of them that were saves
  std::set<std::string> read_;                    // the files the run has read
  std::map<std::string, std::string> inputs_;     // never written, by identity (and by the
                                                  // identity of what a link reads): what each is
  std::set<std::string> held_;                    // folders this run holds, by identity
  std::map<std::string, std::string> unwritten_;  // names journals left name, by identity:
                                                  // the journal
  std::vector<std::string> reserved_prefixes_;    // identities of starts of names
  std::set<std::string> reserved_names_;          // identities of names
  std::vector<std::string> replaced_;             // earlier files replaced, by name
  std::map<std::string, std::unique_ptr<Journal>> journals_;  // by folder
  std::set<std::string> unfinished_;  // folders whose journal names a file still to remove
  std::vector<std::string> notes_;    // see take_notes
  int groups_ = 0;

  template <class Which>
  std::vector<Version> take_if(Which which);
  std::vector<Version> take_file(const std::string& id);
  // Marks the version of `name` complete and puts it in place unless it waits for its
  // group.
  void finish(const std::string& name, bool none);
  const Version* pending(const std::string& name) const;
  // The checks begin() makes of a name before it writes it: throws Stop naming the reason
  // when it may not be written.
  void check_name(const std::string& name);
  // This run's journal in `folder`, created when first needed.
  Journal& journal(const std::string& folder);
  // Holds every folder of `folders` (identities) not held yet, then reads what dead runs
  // left in those newly held and mends them; false, with why not, when one could not be
  // held, would take the run past its limit of open files, cannot be listed or holds a
  // journal that cannot be read (nothing is then mended, and no folder newly taken kept).
  bool hold_folders(const std::set<std::string>& folders, Mended& mended, NotHeld& why);
  // Gives back a folder held: the failure among `mended`'s.
  void give_back(const std::string& folder, Mended& mended);
  // What dead runs left in a folder newly held: its files, each journal read.
  struct Found {
    std::string folder;
    std::vector<std::string> names;
    std::vector<std::pair<std::string, Recorded>> journals;  // by path
    std::string failure;                                     // the folder could not be listed: why
  };
  Found survey(const std::string& folder) const;
  // Why what dead runs left in `found` cannot be known (the folder cannot be listed, or a
  // journal cannot be read): the refusal; nothing when all of it can.
  std::optional<NotHeld> unknowable(const Found& found) const;
  // Follows or leaves each journal found, and removes the temporary files no journal names.
  void mend_folder(const Found& found, Mended& mended);
  // Follows the journal `path` of `folder`, read as `r`, or leaves it as it is and says why
  // (its names are then not written); the temporary files it names in `named`.
  void mend_journal(const std::string& folder, const std::string& path, const Recorded& r,
                    Mended& mended, std::set<std::string>& named);
  // Why a journal read as `r` in `folder` is not followed: a move names an input of the run,
  // or a name neither program writes; empty when none does.
  std::string why_not_followed(const std::string& folder, const Recorded& r) const;
  // Removes the temporary file of a version not put in place; a failure is said and the
  // journal kept for a later run.
  bool drop_temporary(const Version& v);
  // Keeps the complete version `v` of a run that ends early as a file of its name.
  void keep(const Version& v, Settled& settled);
  void put_in_place(std::vector<Version> versions, std::vector<std::string>* taken_away);
  void mark_written(const Version& v);
  void mark_replaced(const std::string& name);
  bool is_reserved(const std::string& id) const;
};

}  // namespace dendro
