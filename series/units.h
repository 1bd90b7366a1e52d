// The unit table: each numbered unit is one open text file, as the programs' files are
// known by their unit numbers.
#pragma once

#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace dendro {

class Units {
 public:
  Units() = default;
  Units(const Units&) = delete;
  Units& operator=(const Units&) = delete;
  ~Units();

  // Creates the file fresh (empty) on `unit`, closing what the unit held. Throws Stop when
  // the file cannot be created.
  std::ostream& create(int unit, const std::string& name);
  // Creates a new version of `name` on `unit` under a temporary name beside it (`name`
  // plus ".part"), so that an earlier file of that name stays as it is until the new one is
  // complete. A normal close (close, close_cut) moves the new version over `name` when it
  // holds something; a close with `remove`, close_all or a failed write drops it, and an
  // earlier `name` is left byte for byte. name() gives `name`. Throws Stop when the file
  // cannot be created.
  std::ostream& create_staged(int unit, const std::string& name);
  // Opens an existing file for appending on `unit`; false when it cannot be opened.
  bool open_append(int unit, const std::string& name);
  // Opens an existing file for reading on `unit`; false when it cannot be opened.
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

  // Closes the unit, deleting its file when `remove` is set. A write that failed on the
  // way (a full disk, say) throws Stop naming the file: output is never lost silently.
  void close(int unit, bool remove = false);
  // Closes every open unit (at the end of the program), keeping the files; new versions
  // of create_staged are dropped, as they may be incomplete.
  void close_all() noexcept;

  // The units open for writing, in unit order.
  std::vector<int> output_units() const;
  // How many characters an output unit's file holds so far (its buffer is flushed).
  std::streamoff written(int unit);
  // Closes an output unit and cuts its file back to its first `size` characters.
  void close_cut(int unit, std::streamoff size);
  // The names of the files created fresh since the last forget_created(), in order.
  const std::vector<std::string>& created() const { return created_; }
  void forget_created() { created_.clear(); }

 private:
  struct File {
    std::string name;
    std::string path;  // the file written: `name`, or its temporary name while staged
    std::fstream stream;
    bool output = false;
    bool staged = false;
  };
  std::map<int, std::unique_ptr<File>> files_;
  std::vector<std::string> created_;
  File& file(int unit);
  // Takes the unit's file out of the table (nothing when the unit is not open).
  std::unique_ptr<File> take(int unit);
  // Keeps a closed file: a staged one takes its name when it holds something, else goes.
  // A failed write throws Stop naming the file (a staged one goes first).
  static void keep(const File& f, bool whole);
  // Opens `name` on the unit (closing what it held) in `mode`; nothing when it cannot.
  File* open(int unit, const std::string& name, std::ios::openmode mode);
};

}  // namespace dendro
