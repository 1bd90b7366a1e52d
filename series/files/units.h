// The unit table: each numbered unit is one open text file, as the programs' files are
// known by their unit numbers. Every file written goes through the table's file owner
// (series/output_files.h): it is written under a temporary name and replaces the earlier
// file of its name only when complete.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "series/files/output_files.h"

namespace dendro {

class Units {
 public:
  // A file created without a group of its own belongs to `usual_group`: the programs'
  // drivers give with_data_file and commit it for each data file; a table whose files
  // each stand alone (tests, tools) keeps on_close.
  // `forms` as OutputFiles takes them.
  explicit Units(std::unique_ptr<FileSystem> fs = disk_files(),
                 Commit usual_group = Commit::on_close, Forms forms = of_either_programs_form);
  Units(const Units&) = delete;
  Units& operator=(const Units&) = delete;
  ~Units();

  // Creates a new version of `name` on `unit` (closing what the unit held), empty, to
  // replace the earlier file of that name when it is complete, at the moment its `group`
  // (by default the table's usual group) says. Throws Stop when the file cannot be created.
  std::ostream& create(int unit, const std::string& name, std::optional<Commit> group = {});
  // A unit that is written to memory only and never reaches the disk: closing or dropping
  // it leaves nothing, and no earlier file of `name` is touched.
  std::ostream& create_in_memory(int unit, const std::string& name);
  // Opens a file for reading on `unit`; false when it cannot be opened or is no regular
  // file. A file this run has written and not yet put in place is read as written.
  bool open_old(int unit, const std::string& name);

  bool is_open(int unit) const;
  const std::string& name(int unit) const;
  // The unit's stream; throws std::logic_error when the unit is not open.
  std::ostream& out(int unit);
  std::istream& in(int unit);
  // Reads the next record of an input unit without its line end; false at end of file.
  bool read_record(int unit, std::string& record);
  // Writes one record (the newline is added).
  void write(int unit, std::string_view record);
  void rewind(int unit);

  // Closes the unit. An output unit's file is complete; with `remove` the run leaves no
  // file of its name (OutputFiles::leave_none). A write that failed on the way (a full
  // disk, say) leaves the file incomplete and throws Stop naming it: output is never lost
  // silently.
  // An input file is only closed.
  void close(int unit, bool remove = false);
  // Closes an output unit and forgets what was written: the earlier file of its name
  // stays as it was.
  void drop(int unit);
  // Closes an output unit as complete with its file cut back to its first `size`
  // characters.
  void close_cut(int unit, std::streamoff size);
  // Closes the open units of `group` as complete and puts the group's files in place
  // (OutputFiles::commit); returns the earlier files taken away.
  std::vector<std::string> commit(Commit group);
  // Closes every open unit and settles every file not yet in place, for a run that stops
  // (OutputFiles::settle, which keeps the new general output file or report `kept`): a
  // file still open is incomplete.
  Settled settle(const std::string& kept = "");
  // Closes every open unit at the end of the program; files not yet in place are
  // dropped, as they may be incomplete.
  void close_all() noexcept;

  // The units open for writing, in unit order.
  std::vector<int> output_units() const;
  // How many characters an output unit's file holds so far (its buffer is flushed).
  std::streamoff written(int unit);

  OutputFiles& files() { return files_; }

 private:
  struct File {
    std::string name;
    std::string path;  // the file read or written: for output, the temporary one
    std::unique_ptr<FileStream> stream;
    bool output = false;
    bool in_memory = false;  // see create_in_memory
    // An output file that the file owner puts in place.
    bool on_disk() const { return output && !in_memory; }
    Commit group = Commit::with_data_file;
  };
  OutputFiles files_;
  Commit usual_group_;
  std::map<int, std::unique_ptr<File>> units_;

  File& file(int unit);
  // Takes the unit's file out of the table (nothing when the unit is not open).
  std::unique_ptr<File> take(int unit);
  // Flushes and closes the unit's stream; the reason when a write failed on the way.
  static std::string shut(File& f);
  // Closes an output file whose stream has been shut: complete when no write failed, else
  // left incomplete with a Stop naming it and the reason.
  void finish(const File& f, const std::string& failure);
};

}  // namespace dendro
