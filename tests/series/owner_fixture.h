// What the tests of the file owner share: a unit table over a file system in memory that
// holds the earlier files a.txt and b.txt, and ways to look at the folder.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "memory_files.h"
#include "series/files/output_files.h"
#include "series/files/stop.h"
#include "series/files/units.h"

namespace dendro {

using Names = std::vector<std::string>;
using Op = test::MemoryFiles::Op;
// The first run in a folder has the process id 101 (series/memory_files.h).
inline const std::string kPid = "101";

// The files of the folder but the runs' journals.
inline Names names(const test::MemoryFiles& disk) {
  Names all;
  for (const std::string& name : disk.all()) {
    if (!name.starts_with(".dendro.")) all.push_back(name);
  }
  return all;
}

// The message of the Stop that `work` throws.
template <class Work>
std::string stop_message(Work work) {
  try {
    work();
  } catch (const Stop& s) {
    return s.what();
  }
  return "no stop";
}

inline bool holds(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The forms of the names the tests' runs write: any name of a text file.
inline bool text_files(std::string_view file) { return file.ends_with(".txt"); }

// A unit table whose files wait for their data file, over a file system in memory that
// holds earlier files a.txt and b.txt.
struct Folder {
  // A new folder, or another run's view of one (`fs`).
  explicit Folder(std::unique_ptr<test::MemoryFiles> fs = nullptr) {
    if (!fs) {
      fs = std::make_unique<test::MemoryFiles>();
      fs->put("a.txt", "old a\n");
      fs->put("b.txt", "old b\n");
    }
    disk = fs.get();
    units = std::make_unique<Units>(std::move(fs), Commit::with_data_file, text_files);
  }
  // Writes `text` as a new version of `name` on `unit`, closed unless `open`.
  void write(int unit, const std::string& name, const std::string& text, bool open = false,
             std::optional<Commit> group = {}) {
    units->create(unit, name, group) << text;
    if (!open) units->close(unit);
  }
  OutputFiles& files() { return units->files(); }
  test::MemoryFiles* disk;
  std::unique_ptr<Units> units;
};

// Holds the folders of `names` for the run of `files`, as a driver does before it writes,
// and returns what mending them did; the test fails when the run is refused.
inline Mended hold_and_mend(OutputFiles& files, const Names& names) {
  const Holding holding = files.hold(names);
  EXPECT_TRUE(holding.refusal.empty()) << joined_lines(holding.refusal);
  return holding.mended;
}

inline std::string folder_state(const test::MemoryFiles& disk) {
  std::string state;
  for (const std::string& name : disk.all()) state += name + "=" + disk.text(name) + ";";
  return state;
}

}  // namespace dendro
