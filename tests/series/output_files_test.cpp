#include "series/output_files.h"

#include <gtest/gtest.h>

#include "memory_files.h"
#include "series/stop.h"
#include "series/units.h"

namespace dendro {
namespace {

using test::MemoryFiles;

// A unit table over a file system in memory, holding earlier files a.txt and b.txt.
struct Folder {
  Folder() {
    auto fs = std::make_unique<MemoryFiles>();
    disk = fs.get();
    disk->put("a.txt", "old a\n");
    disk->put("b.txt", "old b\n");
    units = std::make_unique<Units>(std::move(fs));
  }
  void write(int unit, const std::string& name, const std::string& text,
             Commit when = Commit::with_data_file) {
    units->create(unit, name, when) << text;
  }
  MemoryFiles* disk;
  std::unique_ptr<Units> units;
};

TEST(OutputFiles, a_data_file_replaces_its_earlier_files_together_when_processed) {
  Folder f;
  f.units->files().start_data_file();
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  f.units->close(1);
  // Complete, but waiting for the rest of the data file: read back as written.
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  ASSERT_TRUE(f.units->open_old(3, "a.txt"));
  std::string record;
  EXPECT_TRUE(f.units->read_record(3, record));
  EXPECT_EQ(record, "new a");
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "new a\n");
  EXPECT_EQ(f.disk->text("c.txt"), "new c\n");
  EXPECT_EQ(f.disk->paths(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));

  // Outside a data file's processing, and for a file kept on close, the file takes its
  // name as it is closed; a dropped one leaves the earlier file.
  f.write(1, "b.txt", "new b\n", Commit::on_close);
  f.units->drop(1);
  EXPECT_EQ(f.disk->text("b.txt"), "old b\n");
  f.write(1, "b.txt", "newer b\n");
  f.units->close(1);
  EXPECT_EQ(f.disk->text("b.txt"), "newer b\n");
}

TEST(OutputFiles, a_stopped_run_keeps_every_earlier_file_it_had_not_completed) {
  Folder f;
  f.units->files().start_data_file();
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  f.write(3, "d.txt", "half of d");
  f.write(4, "b.txt", "");
  f.units->close(1);
  f.units->close(2);
  f.units->close(4, true);  // the run would leave no b.txt, had it ended normally
  const Settled s = f.units->settle();
  EXPECT_EQ(s.kept_earlier, (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(s.kept_new, (std::vector<std::string>{"c.txt"}));
  EXPECT_EQ(s.removed, (std::vector<std::string>{"d.txt"}));
  EXPECT_EQ(f.disk->paths(), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  EXPECT_EQ(settled_lines(s),
            (std::vector<std::string>{
                " *** earlier files kept as they were, as this run did not complete them:",
                "       a.txt", "       b.txt",
                " *** files of this run kept, as no earlier file had their names:", "       c.txt",
                " *** files of this run removed, being incomplete:", "       d.txt"}));
}

TEST(OutputFiles, a_failed_move_or_write_leaves_every_earlier_file_as_it_was) {
  Folder f;
  f.units->files().start_data_file();
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  f.write(3, "c.txt", "new c\n");
  f.disk->refused_moves = {"b.txt.part"};
  EXPECT_THROW(f.units->commit(Commit::with_data_file), Stop);
  EXPECT_EQ(f.disk->paths(), (std::vector<std::string>{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  EXPECT_EQ(f.disk->text("b.txt"), "old b\n");

  // A full disk: the write fails, the close says so, and the earlier file stays.
  f.disk->refused_moves.clear();
  f.disk->room = 4;
  f.write(1, "a.txt", "more than four characters\n");
  try {
    f.units->close(1);
    ADD_FAILURE() << "no Stop";
  } catch (const Stop& s) {
    EXPECT_STREQ(s.what(), "*** could not write file a.txt (disk full?)");
  }
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  EXPECT_EQ(f.disk->paths(), (std::vector<std::string>{"a.txt", "b.txt"}));
}

TEST(OutputFiles, a_set_replaces_the_whole_earlier_set) {
  // A file of the set left empty (or removed by the run) takes the earlier one away.
  Folder f;
  f.units->create(1, "a.txt", Commit::with_run, false) << "new a\n";
  f.units->create(2, "b.txt", Commit::with_run, false);
  f.units->close(1);
  f.units->close(2);
  EXPECT_EQ(f.disk->text("b.txt"), "old b\n");
  EXPECT_EQ(f.units->commit(Commit::with_run), (std::vector<std::string>{"b.txt"}));
  EXPECT_EQ(f.disk->paths(), (std::vector<std::string>{"a.txt"}));
}

TEST(OutputFiles, what_belongs_to_the_run) {
  OutputFiles files(std::make_unique<MemoryFiles>());
  auto& disk = static_cast<MemoryFiles&>(files.fs());
  for (const char* name : {"s_data.txt", "s_old.txt", "s_out.txt", "s_page.ps", "other.txt"}) {
    disk.put(name, "x");
  }
  files.protect("s_data.txt");
  for (const auto& [name, when] :
       {std::pair{"s_out.txt", Commit::on_close}, std::pair{"s_page.ps", Commit::on_save}}) {
    disk.open(files.begin(name, when), std::ios::out);
    files.complete(name);
  }
  files.begin("s_new.txt", Commit::with_run);
  EXPECT_TRUE(files.of_this_run("s_data.txt"));
  EXPECT_TRUE(files.of_this_run("./s_out.txt"));
  EXPECT_TRUE(files.of_this_run("s_new.txt"));
  EXPECT_FALSE(files.of_this_run("s_page.ps"));  // a later save may replace a saved page
  EXPECT_FALSE(files.of_this_run("s_old.txt"));
  EXPECT_EQ(files.left_from_earlier("s_"), (std::vector<std::string>{"s_old.txt"}));
}

}  // namespace
}  // namespace dendro
