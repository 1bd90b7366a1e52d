// The few things the programs ask of the file system, behind one interface, so that the
// rules by which output files replace earlier ones can be tested in memory, failures
// included.
#pragma once

#include <cstdint>
#include <ios>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace dendro {

class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // Opens `path` in `mode`; nothing when it cannot be opened.
  virtual std::unique_ptr<std::iostream> open(const std::string& path, std::ios::openmode mode) = 0;
  // True when `path` names a file (or a folder) that exists.
  virtual bool exists(const std::string& path) const = 0;
  // True when `path` names a folder.
  virtual bool is_folder(const std::string& path) const = 0;
  // True when `path` names a file that is no folder.
  bool is_file(const std::string& path) const { return exists(path) && !is_folder(path); }
  // Moves `from` to `to`, replacing a file `to`; false when it cannot.
  virtual bool rename(const std::string& from, const std::string& to) = 0;
  // Removes the file; false when it cannot (or there was none).
  virtual bool remove(const std::string& path) = 0;
  // The size of the file in characters (0 when it cannot be read).
  virtual std::uintmax_t size(const std::string& path) const = 0;
  // Cuts the file to its first `size` characters; false when it cannot.
  virtual bool resize(const std::string& path, std::uintmax_t size) = 0;
  // Writes what the system holds of the file out to the disk; false when it cannot.
  virtual bool flush(const std::string& path) = 0;
  // Writes the folder's list of names out to the disk, so that a move into it lasts;
  // false when it cannot.
  virtual bool flush_folder(const std::string& folder) = 0;
  // The names of the files in `folder` ("" for the working folder), without the folder.
  virtual std::vector<std::string> files_in(const std::string& folder) const = 0;
  // What `path` is on the disk, however it is spelled: its full path with "." and ".."
  // resolved and every link followed, as far as the path exists. Two names of one file
  // have one identity.
  virtual std::string identity(const std::string& path) const = 0;
};

// The real file system.
std::unique_ptr<FileSystem> disk_files();

// The folder part of `path` ("" for a name in the working folder).
std::string folder_of(const std::string& path);

}  // namespace dendro
