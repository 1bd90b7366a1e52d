// How a run holds each folder it writes into: one lock on the whole of the folder's
// ".dendro.lock", so that one run at a time writes there and every journal found in a held
// folder is a dead run's. docs/ARCHITECTURE.md ("Files") tells why.
//
// The lock is flock's: the kernel drops it when the run ends, however it ends, and no close
// of another descriptor of the file drops it; a descriptor opened for reading takes it, so
// a lock file another user made stands in no one's way. The file is never removed, and is
// used only when it is a regular file reached without a link. Its content is for the words
// of a refusal only, and nothing else depends on it: "dendro lock file 1", then
// "held by <whom>", read at most 512 characters. The holder vouches for the words it wrote
// by a read lock on byte 1; words no holder vouches for (one that could only read the file,
// another name of a file that does not begin so) are not shown. A run of the previous
// version of these programs holds byte locks (open file description locks) on the file
// instead: any of them means that run is alive, and its record at the locked bytes names
// its process; a read lock on byte 0 keeps that version's runs from the folder while this
// run holds it.
#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <string>
#include <utility>

#include "series/files/file_system.h"

namespace dendro {

// The name of the user `uid`, or "number <uid>" when the system knows none.
std::string user_name(uid_t uid);

class FolderLocks {
 public:
  // `shown` gives a path as the console shows it.
  explicit FolderLocks(std::function<std::string(const std::string&)> shown);
  FolderLocks(const FolderLocks&) = delete;
  FolderLocks& operator=(const FolderLocks&) = delete;
  // Closes the lock files: the folders are free again.
  ~FolderLocks();

  FolderHold hold(const std::string& folder);
  Outcome still_held(const std::string& folder) const;
  Outcome give_back(const std::string& folder);

 private:
  using Key = std::pair<dev_t, ino_t>;
  // A folder held, by the lock file under its own name: two folders may share one lock file
  // (a copy made with hard links), and removing one of its names leaves the other.
  struct Held {
    Key lock_file;
    std::string path;  // of the lock file, under the folder's own name
  };

  // The lock file `path` (`named` on the console) opened and checked: its descriptor, or -1
  // with `hold` saying why not.
  int open_lock_file(const std::string& path, const std::string& named, FolderHold& hold) const;
  // Takes the locks on the open lock file `fd` (`named` on the console); false with `hold`
  // saying who has it or why it cannot be locked.
  bool lock(int fd, const std::string& named, FolderHold& hold) const;

  std::function<std::string(const std::string&)> shown_;
  std::string whom_;                       // "process 12 of user ann on host h, since ..."
  std::map<Key, int> by_lock_file_;        // the descriptors of the lock files held
  std::map<std::string, Held> by_folder_;  // the folders held, by identity
};

}  // namespace dendro
