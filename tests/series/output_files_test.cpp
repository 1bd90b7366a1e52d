#include "series/output_files.h"

#include <gtest/gtest.h>

#include "memory_files.h"
#include "series/stop.h"
#include "series/units.h"

namespace dendro {
namespace {

using Names = std::vector<std::string>;

// A unit table over a file system in memory that holds earlier files a.txt and b.txt,
// during the processing of a data file.
struct Folder {
  Folder() {
    auto fs = std::make_unique<test::MemoryFiles>();
    disk = fs.get();
    disk->put("a.txt", "old a\n");
    disk->put("b.txt", "old b\n");
    units = std::make_unique<Units>(std::move(fs));
    units->files().start_data_file();
  }
  // Writes `text` as a new version of `name` on `unit`, closed unless `open`.
  void write(int unit, const std::string& name, const std::string& text, bool open = false) {
    units->create(unit, name) << text;
    if (!open) units->close(unit);
  }
  test::MemoryFiles* disk;
  std::unique_ptr<Units> units;
};

TEST(OutputFiles, a_data_file_replaces_its_earlier_files_together_when_processed) {
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  // Complete, but waiting for the rest of the data file: read back as written.
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  std::string record;
  ASSERT_TRUE(f.units->open_old(3, "a.txt") && f.units->read_record(3, record));
  EXPECT_EQ(record, "new a");
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "new a\n");
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt", "b.txt", "c.txt"}));
}

TEST(OutputFiles, a_failed_move_or_write_leaves_every_earlier_file_as_it_was) {
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  f.write(3, "c.txt", "new c\n");
  f.disk->refused_moves = {"b.txt.part"};
  EXPECT_THROW(f.units->commit(Commit::with_data_file), Stop);
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt"), "old a\nold b\n");
  // A full disk: the close says so, and the earlier file stays.
  f.disk->full = true;
  EXPECT_THROW(f.write(1, "a.txt", "more\n"), Stop);  // "could not write file a.txt"
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
}

}  // namespace
}  // namespace dendro
