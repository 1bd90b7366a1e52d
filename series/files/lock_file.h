// How runs of these programs keep out of each other's files: through ".dendro.lock", one in
// each folder where a run holds names.
//
// The file begins with a mark line; after it, each hold of a run appends a block: the
// holder's process id and start time, the names, and a checksum of them all. Blocks of this
// process (another file owner in it) are no hindrance. The run keeps an open file
// description lock (F_OFD_SETLK) on its block's bytes for as long as it holds the names:
// the kernel drops it when the run ends, however it ends, and closing another descriptor of
// the file never drops it. A block whose bytes nobody locks holds nothing (its run has
// ended, or gave it back). A run takes one such lock a hold, not one a name, as the kernel
// looks through every lock held on a file at each new one. Byte 0 is the folder's latch: a
// run takes it while it reads the blocks and adds its own, so that two runs never take one
// name at once.
//
// Whatever is found under the name is input: it is opened without following a link and
// used only when it is a regular file with one name that begins with the mark (or is
// empty); a block cut short or damaged is passed over. The last run out removes the file.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <vector>

#include "series/files/file_system.h"

namespace dendro {

class LockFiles {
 public:
  explicit LockFiles(int pid);
  LockFiles(const LockFiles&) = delete;
  LockFiles& operator=(const LockFiles&) = delete;
  // Removes each lock file that no other run uses any more.
  ~LockFiles();

  Claim hold(const std::string& folder, const std::vector<std::string>& names);
  void let_go(const std::string& folder, int hold);
  LiveRuns live_runs(const std::string& folder);

 private:
  struct Block {
    off_t start = 0;
    off_t end = 0;
  };
  struct Folder {
    std::string path;  // of the lock file
    int fd = -1;
    bool marked = false;         // it begins with the mark: a lock file of these programs
    std::map<int, Block> holds;  // this run's, by number
    std::unordered_map<std::string, int> names;  // this run holds, and in how many holds
  };

  // The folder's lock file, open and checked; the reason when it cannot be used.
  std::string open(const std::string& folder, Folder*& opened);

  int pid_;
  long long start_;  // when the process started, which tells it from another of its id
  int holds_ = 0;
  std::map<std::string, Folder> folders_;
};

}  // namespace dendro
