// The few things the programs ask of the file system, behind one interface, so that the
// rules by which output files replace earlier ones can be tested in memory, failures and
// runs killed half-way included. An operation that can fail hands back the system's own
// reason, which the programs show with the file's name; the questions of what a name is
// (status aside) answer as far as the disk tells. docs/ARCHITECTURE.md ("Files") tells the
// whole protocol.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <istream>
#include <memory>
#include <string>
#include <string_view>
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
  link,    // a symbolic link (only where links are not followed)
  other,   // a device, a FIFO or a socket: never read as data nor replaced by a file
};

// Which file (or folder) a name holds: one written since under the same name is another.
struct FileId {
  std::uint64_t device = 0;
  std::uint64_t inode = 0;
  std::uint64_t size = 0;
  std::int64_t modified = 0;  // in nanoseconds; a move leaves it as it was

  bool operator==(const FileId&) const = default;
};

// What a name holds, the name itself looked at (a link is not followed).
struct Status {
  Node node = Node::none;
  FileId id;            // of a file
  std::string failure;  // the name could not be looked at (or, for an input, read): why
};

// The start of the names of the files by which runs keep out of each other's way: the lock
// file of a folder and the journals.
inline constexpr std::string_view kOwnFilesStart = ".dendro.";
// The lock file of a folder (see FileSystem::hold).
inline constexpr std::string_view kLockFileName = ".dendro.lock";

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

// How a file is opened.
enum class Open {
  read,           // an input: a link is followed
  read_own,       // a file the programs write (an earlier result, a journal): a link is not
  create,         // a new file, for writing: a name that exists (a link too) refuses it
  create_shared,  // the same, readable by every user whatever the umask: a journal, which
                  // another user's run must read to follow or name
  rewrite,        // a file of this run's own, emptied, for writing: a link refuses it
};

// Whether a move may replace a file that has the name it moves to.
enum class Replace { yes, no };

struct Listing {
  std::vector<std::string> names;  // the files of the folder, without the folder
  std::string failure;             // the reason the folder could not be listed
};

// A folder held for a run, or why not (see FileSystem::hold).
struct FolderHold {
  bool held = false;
  std::string holder;   // held by another run: who, as far as the lock file tells
  std::string shared;   // the lock file has other names (a copy made with hard links): how
                        // many, for the words; empty when it has one
  std::string failure;  // the folder cannot be held: the reason and what to do
};

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  virtual Opened open(const std::string& path, Open how) = 0;
  // What the name `path` itself stands for (a link is not followed).
  virtual Status status(const std::string& path) const = 0;
  Node node(const std::string& path) const { return status(path).node; }
  bool exists(const std::string& path) const { return node(path) != Node::none; }
  // What `path` names once every link is followed: an input is read there. A name this user
  // may not reach, or a file it may not read, carries the reason.
  virtual Status target_status(const std::string& path) const = 0;
  Node target_node(const std::string& path) const { return target_status(path).node; }
  // True when `path` names a regular file this user may read, through links.
  bool is_file(const std::string& path) const {
    const Status s = target_status(path);
    return s.node == Node::file && s.failure.empty();
  }
  // Moves `from` to `to`; with Replace::no a file that has the name `to` refuses it.
  virtual Outcome rename(const std::string& from, const std::string& to, Replace how) = 0;
  // Removes the file; a file that is not there counts as removed.
  virtual Outcome remove(const std::string& path) = 0;
  // Cuts the file to its first `size` characters.
  virtual Outcome resize(const std::string& path, std::uintmax_t size) = 0;
  // Writes what the system holds of the file out to the disk.
  virtual Outcome flush(const std::string& path) = 0;
  // Writes the folder's list of names out to the disk, so that a move into it lasts.
  virtual Outcome flush_folder(const std::string& folder) = 0;
  // The names of the files in `folder` ("" for the working folder), without the folder.
  virtual Listing files_in(const std::string& folder) const = 0;
  // Why this run cannot move or remove `path`: another user's file in a folder that lets
  // only a file's owner do so; empty when it can.
  virtual std::string why_not_movable(const std::string& path) const = 0;
  // The name of the user whose file `path` is; empty when it is this user's own or that
  // cannot be told.
  virtual std::string owner_of(const std::string& path) const = 0;
  // The file the name `path` is, however it is spelled: its folder's full path (links
  // followed, a folder known by its device and inode, so that two spellings of one folder
  // give one) and its own name, which is not followed. Two names of one file have one
  // identity; a link has its own.
  virtual std::string identity(const std::string& path) const = 0;
  // The same with every link followed: what an input's name reads.
  virtual std::string target(const std::string& path) const = 0;

  // The id of this run's process, which its temporary files and journals carry: one file
  // owner a process.
  virtual int process_id() const = 0;
  // Holds the folder `folder` (an identity) for this run by its lock file, ".dendro.lock",
  // until the run ends, however it ends: no other run, of either program, of any user,
  // in any pid namespace, holds it meanwhile. A folder this run holds already is held.
  virtual FolderHold hold(const std::string& folder) = 0;
  // Whether the run still holds `folder`: the file under its lock file's name is the one it
  // locked. The reason when it is not.
  virtual Outcome still_held(const std::string& folder) = 0;
  // Gives back the folder this run holds: another run may hold it now.
  virtual Outcome give_back(const std::string& folder) = 0;
  // How many files this run may have open at once.
  virtual std::uint64_t open_file_limit() const = 0;
};

// The real file system.
std::unique_ptr<FileSystem> disk_files();

// Raises this process's soft limit of open files to its hard limit, as far as the system
// lets it: a run keeps files open in each folder it writes into.
void raise_open_file_limit();

// The system's reason for the error `error` ("No space left on device"); running out of
// open files is said as the limit it is, with what to do.
std::string reason(int error);

// What a name that is no regular file is, for the console: "a folder", or "not a regular
// file (a device, a FIFO or a socket)".
std::string node_words(Node node);

// Sixteen hexadecimal digits of a checksum of `text` (64-bit FNV-1a), by which a journal
// tells a record whole.
std::string checksum_of(std::string_view text);

// The folder part of `path` ("" for a name in the working folder).
std::string folder_of(const std::string& path);
// The file `file` of the folder `folder` ("" is the working folder).
std::string in_folder(const std::string& folder, const std::string& file);

// A folder as the console shows it (`shown`, from shown()): "the working folder", or "the
// folder site".
std::string folder_named(const std::string& shown);

// The path `full` as the console shows it: from the folder `here` when it lies there or
// below, else whole.
std::string shown_from(const std::string& here, const std::string& full);
// A full path as the console shows it: from the working folder when it lies there or below.
std::string shown(const FileSystem& fs, const std::string& full);

// The reason an input `path` cannot be read as a file: that it does not exist
// (kNoSuchFile), is a folder, a device, a FIFO or a socket, or cannot be reached or read
// (the system's reason); nothing when it is a regular file this user may read.
inline constexpr std::string_view kNoSuchFile = "no such file";
std::string unreadable_reason(const FileSystem& fs, const std::string& path);

// The first line of the file `path`, a file the programs write (a link is not followed),
// that `keep` accepts, without its line end; empty when none does or the file cannot be
// read. `keep` is given each line without its line end.
std::string first_line(FileSystem& fs, const std::string& path,
                       bool (*keep)(const std::string& line));

}  // namespace dendro
