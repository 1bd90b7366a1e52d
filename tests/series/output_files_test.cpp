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
  void write(int unit, const std::string& name, const std::string& text, bool open = false,
             Commit when = Commit::with_data_file) {
    units->create(unit, name, when, when != Commit::with_run) << text;
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
  // Outside a data file's processing, or kept on close, a file takes its name when closed;
  // a dropped one leaves the earlier file.
  f.write(1, "b.txt", "new b\n", true, Commit::on_close);
  f.units->drop(1);
  EXPECT_EQ(f.disk->text("b.txt"), "old b\n");
  f.write(1, "b.txt", "newer b\n");
  EXPECT_EQ(f.disk->text("b.txt"), "newer b\n");
}

TEST(OutputFiles, a_stopped_run_keeps_every_earlier_file_it_had_not_completed) {
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  f.write(3, "d.txt", "half of d", true);
  f.units->create(4, "b.txt");
  f.units->close(4, true);  // a run that ended normally would leave no b.txt
  const Settled s = f.units->settle();
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  EXPECT_EQ(
      settled_lines(s),
      (Names{" *** earlier files kept as they were, as this run did not complete them:",
             "       a.txt", "       b.txt",
             " *** files of this run kept, as no earlier file had their names:", "       c.txt",
             " *** files of this run removed, being incomplete:", "       d.txt"}));
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
  f.units->create(1, "a.txt") << "more\n";
  try {
    f.units->close(1);
    ADD_FAILURE() << "no Stop";
  } catch (const Stop& s) {
    EXPECT_STREQ(s.what(), "*** could not write file a.txt (disk full?)");
  }
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
}

TEST(OutputFiles, a_set_replaces_the_whole_earlier_set) {
  // A file of the set left empty takes the earlier one away.
  Folder f;
  f.write(1, "a.txt", "new a\n", false, Commit::with_run);
  f.write(2, "b.txt", "", false, Commit::with_run);
  EXPECT_EQ(f.disk->text("b.txt"), "old b\n");
  EXPECT_EQ(f.units->commit(Commit::with_run), (Names{"b.txt"}));
  EXPECT_EQ(f.disk->files_in(), (Names{"a.txt"}));
}

}  // namespace
}  // namespace dendro
