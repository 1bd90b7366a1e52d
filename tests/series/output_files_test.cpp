#include "series/output_files.h"

#include <gtest/gtest.h>

#include "memory_files.h"
#include "series/stop.h"
#include "series/units.h"

namespace dendro {
namespace {

using Names = std::vector<std::string>;
using Op = test::MemoryFiles::Op;

// A unit table whose files wait for their data file, over a file system in memory that
// holds earlier files a.txt and b.txt.
struct Folder {
  Folder() {
    auto fs = std::make_unique<test::MemoryFiles>();
    disk = fs.get();
    disk->put("a.txt", "old a\n");
    disk->put("b.txt", "old b\n");
    units = std::make_unique<Units>(std::move(fs), Commit::with_data_file);
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

TEST(OutputFiles, a_data_file_replaces_its_earlier_files_together_when_committed) {
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  // Complete, but waiting for the rest of the data file: read back as written, under any
  // spelling of the name.
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  std::string record;
  ASSERT_TRUE(f.units->open_old(3, "./a.txt") && f.units->read_record(3, record));
  EXPECT_EQ(record, "new a");
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "new a\n");
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(f.files().settle().replaced, (Names{"a.txt"}));
}

TEST(OutputFiles, a_commit_that_fails_at_any_step_leaves_every_earlier_file_as_it_was) {
  // The new b.txt not flushed, a.txt not moved aside, the new b.txt not moved into place,
  // the folder's names not flushed: each leaves the earlier files, and no new one.
  for (const auto& [op, path] : {std::pair{Op::flush, "b.txt.part"},
                                 {Op::rename, "a.txt"},
                                 {Op::rename, "b.txt.part"},
                                 {Op::flush_folder, ""}}) {
    Folder f;
    f.write(1, "a.txt", "new a\n");
    f.write(2, "b.txt", "new b\n");
    f.write(3, "c.txt", "new c\n");
    f.disk->fail(op, path);
    EXPECT_THROW(f.units->commit(Commit::with_data_file), Stop) << path;
    EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt"})) << path;
    EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt"), "old a\nold b\n") << path;
  }
  // A log file, put in place on its own when closed.
  Folder f;
  f.disk->fail(Op::rename, "a.txt.part");
  EXPECT_THROW(f.write(1, "a.txt", "new a\n", false, Commit::on_close), Stop);
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
}

TEST(OutputFiles, settling_keeps_earlier_files_and_complete_new_ones_and_names_each) {
  Folder f;
  f.write(1, "log.txt", "new log\n", false, Commit::on_close);  // no earlier file
  f.disk->put("log2.txt", "old log2\n");
  f.write(1, "log2.txt", "new log2\n", false, Commit::on_close);  // replaces it
  f.write(1, "a.txt", "new a\n");                                 // an earlier file has it
  f.write(2, "c.txt", "new c\n");                                 // complete and new
  f.write(3, "d.txt", "half of d", true);                         // still being written
  f.units->create(4, "e.txt");  // the run leaves no e.txt, and none was there
  f.units->close(4, true);
  f.disk->full = true;  // b.txt's new version fails to write
  EXPECT_THROW(f.write(5, "b.txt", "new b\n"), Stop);
  f.disk->full = false;
  const Settled s = f.units->settle();
  EXPECT_EQ(s.replaced, (Names{"log2.txt"}));
  EXPECT_EQ(s.kept_earlier, (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(s.kept_new, (Names{"c.txt"}));
  EXPECT_EQ(s.removed, (Names{"d.txt"}));
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt", "c.txt", "log.txt", "log2.txt"}));
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt") + f.disk->text("c.txt"),
            "old a\nold b\nnew c\n");
  // A complete new file that cannot take its name is removed, and said so.
  Folder g;
  g.write(1, "c.txt", "new c\n");
  g.disk->fail(Op::rename, "c.txt.part");
  EXPECT_EQ(g.units->settle().removed, (Names{"c.txt"}));
  EXPECT_EQ(g.disk->all(), (Names{"a.txt", "b.txt"}));
}

TEST(OutputFiles, a_file_is_known_by_what_it_is_however_its_name_is_spelled) {
  Folder f;
  f.disk->add_folder("sub");
  f.disk->link_folder("here", ".");
  f.files().protect("s.rwl");
  f.files().reserve_prefix("s.rwl_");
  f.write(1, "a.txt", "new a\n");                           // pending
  f.write(2, "log.txt", "log\n", false, Commit::on_close);  // written
  f.write(3, "page.ps", "page\n", false, Commit::on_save);  // a saved page
  for (const std::string spelling : {"", "./", "sub/../", "/work/", "here/"}) {
    for (const char* name :
         {"s.rwl", "a.txt", "log.txt", "s.rwl_spectra.txt", "a.txt.part", "b.txt.prev"}) {
      EXPECT_TRUE(f.files().of_this_run(spelling + name)) << spelling << name;
    }
    // A later save may replace a page; other files are no file of the run.
    EXPECT_FALSE(f.files().of_this_run(spelling + "page.ps")) << spelling;
    EXPECT_FALSE(f.files().of_this_run(spelling + "b.txt")) << spelling;
  }
  // A version begun under another spelling is the same file's: it replaces the first.
  f.write(4, "here/a.txt", "newer a\n");
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "newer a\n");
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt", "log.txt", "page.ps"}));
}

TEST(OutputFiles, mending_puts_back_earlier_files_of_a_move_cut_short_and_removes_the_rest) {
  // Cut short while the new files took their names: s.rwl_out.txt had stepped aside and
  // lost its name; s.rwl_tabs.txt had its new file in place already.
  Folder f;
  f.disk->put("s.rwl_out.txt.prev", "old out\n");
  f.disk->put("s.rwl_tabs.txt.prev", "old tabs\n");
  f.disk->put("s.rwl_tabs.txt", "new tabs\n");
  f.disk->put("s.rwl_crns.txt.part", "half");
  f.disk->put("crns_raw.txt.part", "half");
  f.disk->put("other.txt.part", "not ours");
  f.disk->put("list.txt.prev", "old list\n");
  f.write(1, "list.txt", "this run's list\n", false, Commit::on_close);
  f.files().reserve_prefix("s.rwl_");
  f.files().reserve_name("crns_raw.txt");
  f.files().reserve_name("list.txt");
  f.write(1, "s.rwl_errs.txt", "this run's\n", true);  // its own temporary file stays
  const Mended m = f.files().mend();
  EXPECT_EQ(m.put_back, (Names{"s.rwl_out.txt", "s.rwl_tabs.txt"}));
  EXPECT_EQ(m.removed, (Names{"crns_raw.txt.part", "list.txt.prev", "s.rwl_crns.txt.part"}));
  EXPECT_EQ(f.disk->text("s.rwl_out.txt") + f.disk->text("s.rwl_tabs.txt"), "old out\nold tabs\n");
  EXPECT_EQ(f.disk->text("list.txt"), "this run's list\n");  // written by this run
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt", "list.txt", "other.txt.part",
                                  "s.rwl_errs.txt.part", "s.rwl_out.txt", "s.rwl_tabs.txt"}));
  // Cut short after every new file had its name: the earlier ones go.
  Folder g;
  g.disk->put("s.rwl_tabs.txt.prev", "old tabs\n");
  g.disk->put("s.rwl_tabs.txt", "new tabs\n");
  g.files().reserve_prefix("s.rwl_");
  EXPECT_EQ(g.files().mend().removed, (Names{"s.rwl_tabs.txt.prev"}));
  EXPECT_EQ(g.disk->text("s.rwl_tabs.txt"), "new tabs\n");
}

}  // namespace
}  // namespace dendro
