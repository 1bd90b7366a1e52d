// The one owner of every file the programs write. Each file is written under a temporary
// name beside its own (the name, the run's process id and ".part") and takes its name only
// when it is complete, so that an earlier file of that name stays byte for byte until a
// whole new one replaces it. When a version replaces its earlier file depends on the group
// it belongs to (`Commit`); a run that ends early, whatever ends it, settles every version
// not yet in place (`settle`). Files are known by what they are on the disk
// (FileSystem::identity), never by how their names are spelled.
//
// Before it writes, a run checks the names it will write against the files it reads and
// against each other (`check`), and holds them (`lock`), so that no other run writes them
// while it lives; then it mends what runs cut short left of them (`mend`), following their
// journals (series/journal.h) where they name only files this run may touch.
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
#include "series/files/journal.h"

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
  std::vector<std::string> failures;      // console lines: what could not be done, and why
};

// A name the run will write, and what it is for the console: "an output of site.rwl".
struct Wanted {
  std::string name;
  std::string what;
};

// The console lines that say what settling did: a head line and the names under it for
// each list that holds any.
std::vector<std::string> settled_lines(const Settled& settled);
// The same for what mending did.
std::vector<std::string> mended_lines(const Mended& mended);

// A head line and, under it, each name indented (kNameIndent); nothing when there are no
// names.
std::vector<std::string> name_list(const std::string& head, const std::vector<std::string>& names);

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

class OutputFiles {
 public:
  explicit OutputFiles(std::unique_ptr<FileSystem> fs);
  OutputFiles(const OutputFiles&) = delete;
  OutputFiles& operator=(const OutputFiles&) = delete;
  // Drops every version still pending (earlier files stay as they were) and removes the
  // run's journals once nothing they name is left.
  ~OutputFiles();

  FileSystem& fs() { return *fs_; }
  // What `name` is on the disk (FileSystem::identity), worked out once a name.
  const std::string& identity(const std::string& name) const;

  // The forms of the names this program writes: a name that ends with one of `suffixes`
  // (an output of a data file's prefix) or is one of `names`. Mending touches a name a
  // journal of a run cut short mentions only when it has such a form or this run holds it.
  void know_forms(std::vector<std::string> suffixes, std::vector<std::string> names);

  // `name` is an input of the run (`what` says which: "data file 2 of files.txt"), which
  // the run never writes.
  void protect(const std::string& name, const std::string& what);
  // The console lines that refuse names the run would write: one that is an input of the
  // run, one that two writers would write, one that is a device, a FIFO or a socket; each
  // names both files and what to do. Nothing when all may be written.
  std::vector<std::string> check(const std::vector<Wanted>& wanted) const;
  // Holds, for as long as the run lives, the names it writes whatever its options (`sure`)
  // and those it may write (`maybe`): few holds, one a folder. The console lines that
  // refuse the run when another run holds any (naming its process id and what to do), or
  // when a folder's lock file cannot be used; nothing when every name is this run's.
  std::vector<std::string> lock(const std::vector<std::string>& sure,
                                const std::vector<std::string>& maybe = {});
  // Mends what runs cut short left of the names the run holds: follows each journal of a
  // dead run in their folders that names any of them, where every name it would act on
  // has the form of a name this program writes, is no input and is held by this run (the
  // names it does not hold yet are held while it mends). A journal that fails a check, or
  // names an input of the run at all, is left as it is and named; journals of live runs,
  // and files no journal names, are left alone. Throws Stop when another live run holds a
  // name a journal needs.
  Mended mend();
  // Starts a new version of `name` in `group` and returns the temporary path to write it
  // under (beside the file the name stands for); a version of the file already begun is
  // dropped first. A name not yet held is held now. Throws Stop when the name is an input
  // of the run, a folder, a device, a FIFO or a socket, or another run holds it.
  std::string begin(const std::string& name, Commit group);
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
  // folder, through the journal; a version still incomplete is dropped. Returns the
  // earlier files that versions of leave_none took away. Throws Stop naming the file and
  // the reason when a step fails: then every earlier file of the group is as it was, or,
  // when putting them back failed too, the message names those left aside.
  std::vector<std::string> commit(Commit group);
  // What went wrong after a group took its names (an earlier file that could not be
  // removed, a folder not flushed), and what following a journal under this run's own name
  // did, as console lines, since the last call; the journal keeps what is left for the next
  // run.
  std::vector<std::string> take_notes();
  // Removes the run's journals once nothing they name is left, at the end of the run (or
  // of the owner); the console lines of those that could not be removed.
  std::vector<std::string> close_journals();
  // Settles every version not yet in place, for a run that ends early: where an earlier
  // file has the name the version goes and the earlier file stays (one this run had put
  // there is named among the files kept, not as earlier); otherwise a complete version
  // takes the name and an incomplete one goes. Names the earlier files the run had
  // replaced before. Then closes the journals (close_journals).
  Settled settle();
  // The path that holds what `name` holds now for this run: its complete version while
  // that waits for its group, else the name itself.
  std::string read_path(const std::string& name) const;

  // `name` was read by the run: no save takes it.
  void note_read(const std::string& name);
  // Names no save may take: those beginning with `prefix` (a data file's output prefix
  // and "_"), or the file `name`.
  void reserve_prefix(const std::string& prefix);
  void reserve_name(const std::string& name);
  // True when no save may take `name`: a file the run reads, a file the run has written or
  // is writing (plot pages and their value files aside, which a later save may replace on
  // request), a reserved name, a temporary name, or a journal or lock file (".dendro.").
  bool of_this_run(const std::string& name) const;
  // Whether another live run holds `name` (its process id in `held`), or why that cannot be
  // told: a question, which holds nothing.
  Claim holder_of(const std::string& name);
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
    std::string temp;  // beside the file the name stands for
    Commit group = Commit::with_data_file;
    bool complete = false;
    bool none = false;  // takes the earlier file away, see leave_none
  };

  std::unique_ptr<FileSystem> fs_;
  mutable std::unordered_map<std::string, std::string> ids_;  // identities, by name
  std::vector<Version> versions_;               // begun and not yet in place, in the order begun
  std::set<std::string> written_;               // the files this run has put in place
  std::set<std::string> pages_;                 // those of them that were saves
  std::set<std::string> read_;                  // the files the run has read
  std::map<std::string, std::string> inputs_;   // never written, by identity: what each is
  std::unordered_set<std::string> locked_;      // names this run holds, by identity
  std::vector<std::string> reserved_prefixes_;  // identities of starts of names
  std::set<std::string> reserved_names_;        // identities of names
  std::vector<std::string> suffixes_;           // see know_forms
  std::set<std::string> form_names_;
  std::vector<std::string> replaced_;                         // earlier files replaced, by name
  std::map<std::string, std::unique_ptr<Journal>> journals_;  // by folder
  std::set<std::string> unfinished_;  // folders whose journal names a file still to remove
  std::set<std::string> named_;       // journals named as left as they are
  std::vector<std::string> notes_;    // see take_notes
  int groups_ = 0;

  template <class Which>
  std::vector<Version> take_if(Which which);
  std::vector<Version> take_file(const std::string& id);
  // Marks the version of `name` complete and puts it in place unless it waits for its
  // group.
  void finish(const std::string& name, bool none);
  const Version* pending(const std::string& name) const;
  // The checks begin() makes of a name before it writes it.
  void claim(const std::string& name);
  // This run's journal in `folder`, created when first needed, once a journal of a run cut
  // short under its name has been followed.
  Journal& journal(const std::string& folder);
  // Follows the journals of runs cut short in `folder` that name a name this run holds.
  void mend_folder(const std::string& folder, Mended& mended, std::vector<std::string>& blocked);
  // Follows the journal `path` of a run cut short when it names a name this run holds (or
  // always, with `any`), holding every name it acts on for the while; the lines of another
  // run that holds one of them go to `blocked`.
  void mend_journal(const std::string& path, bool any, Mended& mended,
                    std::vector<std::string>& blocked);
  // Why a journal that names `names` of `folder` is not followed: one is an input of the
  // run, or one is neither held by the run nor of the program's forms; nothing when none.
  std::string input_named(const std::string& folder, const std::vector<std::string>& names) const;
  std::string unwritten_name(const std::string& folder,
                             const std::vector<std::string>& names) const;
  bool of_form(const std::string& file) const;
  // Removes a temporary file; a failure is said and the journal kept for a later run.
  Outcome remove_temporary(const Version& v);
  void put_in_place(std::vector<Version> versions, std::vector<std::string>* taken_away);
  void note_written(const Version& v);
  void note_replaced(const std::string& name);
  bool is_reserved(const std::string& id) const;
};

}  // namespace dendro
