// The few things the programs ask of the file system, behind one interface, so that the
// rules by which output files replace earlier ones can be tested in memory, failures and
// runs killed half-way included. Every operation that can fail hands back the system's own
// reason, which the programs show with the file's name.
#pragma once

#include <cstdint>
#include <ios>
#include <iosfwd>
#include <istream>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace dendro {

// What an operation did: nothing when it succeeded, else the system's reason for the
// failure ("No space left on device").
struct Outcome {
  std::string failure;

  bool ok() const { return failure.empty(); }
};

// What a name stands for on the disk.
enum class Node {
  none,    // nothing has the name
  file,    // a regular file
  folder,  // a folder
  other,   // a device, a FIFO or a socket: never read as data nor replaced by a file
};

// An open file. A write that fails leaves the stream failed, and its reason here.
class FileStream : public std::iostream {
 public:
  explicit FileStream(std::streambuf* buffer) : std::iostream(buffer) {}
  // The system's reason for the first write that failed; empty while none has.
  virtual std::string write_failure() const = 0;
};

struct Opened {
  std::unique_ptr<FileStream> stream;  // nothing when the file could not be opened
  std::string failure;                 // then the reason
};

struct Listing {
  std::vector<std::string> names;  // the files of the folder, without the folder
  std::string failure;             // the reason the folder could not be listed
};

// A name asked for that another run holds, and that run's process id.
struct Holder {
  std::string name;
  int pid = 0;
};

// The answer to a run asking to hold names: taken, or refused with the names other runs
// hold, or not asked at all (the folder's lock file cannot be used: `failure` says why and
// names it).
struct Claim {
  std::vector<Holder> held;
  std::string failure;
  int hold = 0;  // what let_go() takes back; 0 when nothing was taken

  bool taken() const { return held.empty() && failure.empty(); }
};

// What the other runs alive in a folder hold there, read without holding anything.
struct LiveRuns {
  std::unordered_map<std::string, int> names;  // each name held, by its holder's process id
  std::set<int> pids;                          // the runs that hold any
  std::string failure;  // why the folder's lock file cannot be read (it names the file)
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens `path` in `mode`.
  virtual Opened open(const std::string& path, std::ios::openmode mode) = 0;
  // What `path` is.
  virtual Node node(const std::string& path) const = 0;
  bool exists(const std::string& path) const { return node(path) != Node::none; }
  bool is_folder(const std::string& path) const { return node(path) == Node::folder; }
  // True when `path` names a regular file.
  bool is_file(const std::string& path) const { return node(path) == Node::file; }
  // Moves `from` to `to`, replacing a file `to`.
  virtual Outcome rename(const std::string& from, const std::string& to) = 0;
  // Removes the file; a file that is not there counts as removed.
  virtual Outcome remove(const std::string& path) = 0;
  // The size of the file in characters (0 when it cannot be read).
  virtual std::uintmax_t size(const std::string& path) const = 0;
  // Cuts the file to its first `size` characters.
  virtual Outcome resize(const std::string& path, std::uintmax_t size) = 0;
  // Writes what the system holds of the file out to the disk.
  virtual Outcome flush(const std::string& path) = 0;
  // Writes the folder's list of names out to the disk, so that a move into it lasts.
  virtual Outcome flush_folder(const std::string& folder) = 0;
  // The names of the files in `folder` ("" for the working folder), without the folder.
  virtual Listing files_in(const std::string& folder) const = 0;
  // What `path` is on the disk, however it is spelled: its full path with "." and ".."
  // resolved and every link followed, as far as the path exists. Two names of one file
  // have one identity.
  virtual std::string identity(const std::string& path) const = 0;

  // The id of this run's process, which its temporary files and journals carry: one file
  // owner a process.
  virtual int process_id() const = 0;
  // Holds the files `names` of the folder `folder` (an identity; the names have no folder
  // part) for this run, all of them or none: until let_go() or the run's end, however it
  // ends, no other run can hold them. Names this run holds already are no hindrance.
  virtual Claim hold(const std::string& folder, const std::vector<std::string>& names) = 0;
  // Gives back what the hold numbered `hold` took.
  virtual void let_go(const std::string& folder, int hold) = 0;
  // What the other live runs hold in `folder`: a question, which holds nothing.
  virtual LiveRuns live_runs(const std::string& folder) = 0;
};

// The real file system.
std::unique_ptr<FileSystem> disk_files();

// Sixteen hexadecimal digits of a checksum of `text` (64-bit FNV-1a), by which the journals
// and the lock files tell a record whole.
std::string checksum_of(std::string_view text);

// The path `full` as the console shows it: from the folder `here` when it lies there or
// below, else whole.
std::string shown_from(const std::string& here, const std::string& full);

// The folder part of `path` ("" for a name in the working folder).
std::string folder_of(const std::string& path);

// The reason an input `path` cannot be read as a file: that it does not exist, is a folder,
// or is a device, a FIFO or a socket; nothing when it is a regular file.
std::string unreadable_reason(const FileSystem& fs, const std::string& path);

// The first line of the file `path` that `keep` accepts, without its line end; empty when
// none does or the file cannot be read. `keep` is given each line without its line end.
std::string first_line(FileSystem& fs, const std::string& path,
                       bool (*keep)(const std::string& line));

}  // namespace dendro
