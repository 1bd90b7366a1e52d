#include "series/files/output_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <set>

#include "owner_fixture.h"

namespace dendro {
namespace {

using test::Cut;

const Cut kCuts[] = {Cut::process, Cut::characters, Cut::names_but_last, Cut::names};

const char* cut_name(Cut cut) {
  switch (cut) {
    case Cut::process:
      return "process";
    case Cut::characters:
      return "characters";
    case Cut::names_but_last:
      return "names_but_last";
    case Cut::names:
      return "names";
  }
  return "";
}

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
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt", "c.txt"}));
  EXPECT_EQ(f.files().settle().replaced, (Names{"a.txt"}));
  // The journal goes with the run.
  test::MemoryFiles* disk = f.disk;
  const std::unique_ptr<test::MemoryFiles> later = disk->another_run();
  f.units.reset();
  EXPECT_EQ(later->all(), (Names{"a.txt", "b.txt", "c.txt"}));
}

TEST(OutputFiles, a_file_put_in_place_alone_is_on_the_disk_before_it_has_its_name) {
  Folder f;
  f.write(1, "log.txt", "new log\n", false, Commit::on_close);
  // The power goes: the new name is on the disk, and so are the characters under it.
  f.disk->lose_power(Cut::characters);
  EXPECT_EQ(f.disk->text("log.txt"), "new log\n");
}

TEST(OutputFiles, a_journal_is_on_the_disk_before_the_first_temporary_file_of_its_folder) {
  Folder f;
  f.units->create(1, "a.txt");
  // The power goes: the temporary file's name is lost, the journal's name and header are not.
  f.disk->lose_power(Cut::names);
  EXPECT_FALSE(f.disk->exists("a.txt." + kPid + ".part"));
  EXPECT_TRUE(f.disk->text(".dendro.101.journal").starts_with("dendro journal 2\t101\t"));
}

TEST(OutputFiles, an_undo_during_the_run_acts_only_on_the_files_it_moved) {
  // A file written under a.txt by hand as the group is undone stays, and so does the
  // earlier a.txt set aside: neither is taken for the other.
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  f.disk->fail(Op::flush_folder, "", 0, 1, [&f] { f.disk->put("a.txt", "hand!\n"); });
  const std::string message = stop_message([&] { f.units->commit(Commit::with_data_file); });
  EXPECT_TRUE(holds(message, "a.txt (a new file: a file written since has its name)")) << message;
  EXPECT_TRUE(holds(message, "a.txt (left as a.txt.101.prev: File exists)")) << message;
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("a.txt.101.prev") + f.disk->text("b.txt"),
            "hand!\nold a\nold b\n");
}

TEST(OutputFiles, a_commit_that_fails_at_any_step_says_what_the_folder_holds) {
  // The new b.txt not flushed, a.txt not moved aside, the new b.txt not moved into place,
  // the folder's names not flushed: each leaves the earlier files, and no new one.
  for (const auto& [op, path] : {std::pair{Op::flush, "b.txt." + kPid + ".part"},
                                 {Op::rename, "a.txt"},
                                 {Op::rename, "b.txt." + kPid + ".part"},
                                 {Op::flush_folder, ""}}) {
    Folder f;
    f.write(1, "a.txt", "new a\n");
    f.write(2, "b.txt", "new b\n");
    f.write(3, "c.txt", "new c\n");
    f.disk->fail(op, path);
    EXPECT_TRUE(holds(stop_message([&] { f.units->commit(Commit::with_data_file); }),
                      ": Input/output error; the earlier files of its kind are kept as they were"))
        << path;
    EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt"})) << path;
    EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt"), "old a\nold b\n") << path;
  }
  // A log file, put in place on its own when closed.
  Folder f;
  f.disk->fail(Op::rename, "a.txt." + kPid + ".part");
  EXPECT_EQ(stop_message([&] { f.write(1, "a.txt", "new a\n", false, Commit::on_close); }),
            "*** could not put the new a.txt in place: Input/output error; the earlier file is "
            "kept as it was");
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt"}));
  // b.txt cannot take its name, nor a.txt be put back: a.txt is named where it stays, and
  // the next run puts it back.
  Folder g;
  g.write(1, "a.txt", "new a\n");
  g.write(2, "b.txt", "new b\n");
  g.disk->fail(Op::rename, "b.txt." + kPid + ".part");
  g.disk->fail(Op::rename, "a.txt." + kPid + ".prev");
  EXPECT_EQ(stop_message([&] { g.units->commit(Commit::with_data_file); }),
            "*** could not put the new b.txt in place: Input/output error\n"
            " *** nor could every earlier file be put back: the next run of these files puts "
            "them back\n"
            "       a.txt (left as a.txt." +
                kPid + ".prev: Input/output error)");
  EXPECT_EQ(names(*g.disk), (Names{"a.txt." + kPid + ".prev", "b.txt"}));
  g.disk->heal();
  Folder next(g.disk->another_run());
  g.units.reset();
  EXPECT_EQ(hold_and_mend(next.files(), {"a.txt", "b.txt"}).put_back, (Names{"a.txt"}));
  EXPECT_EQ(next.disk->all(), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(next.disk->text("a.txt"), "old a\n");
}

TEST(OutputFiles, a_stopped_run_keeps_earlier_files_and_no_new_file_of_a_set_not_in_place) {
  Folder f;
  f.write(1, "log.txt", "new log\n", false, Commit::on_close);  // no earlier file
  f.disk->put("log2.txt", "old log2\n");
  f.write(1, "log2.txt", "new log2\n", false, Commit::on_close);  // replaces it
  f.write(1, "a.txt", "new a\n");                                 // an earlier file has it
  f.write(2, "c.txt", "new c\n");                                 // complete and new
  f.write(3, "d.txt", "half of d", true);                         // still being written
  f.write(4, "out.txt", "stopped here\n");                        // the general output file
  f.units->create(5, "e.txt");  // the run leaves no e.txt, and none was there
  f.units->close(5, true);
  f.disk->full = true;  // b.txt's new version fails to write
  EXPECT_EQ(stop_message([&] { f.write(6, "b.txt", "new b\n"); }),
            "*** could not write file b.txt: No space left on device");
  f.disk->full = false;
  const Settled s = f.units->settle("./out.txt");
  EXPECT_EQ(s.replaced, (Names{"log2.txt"}));
  EXPECT_EQ(s.kept_earlier, (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(s.kept_new, (Names{"out.txt"}));
  EXPECT_EQ(s.removed, (Names{"c.txt", "d.txt"}));
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt", "log.txt", "log2.txt", "out.txt"}));
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt") + f.disk->text("out.txt"),
            "old a\nold b\nstopped here\n");
  // A temporary file that cannot be removed is named, and left for the next run.
  Folder g;
  g.write(1, "a.txt", "new a\n");
  g.disk->fail(Op::remove, "a.txt." + kPid + ".part");
  const Settled t = g.units->settle();
  EXPECT_EQ(t.failures, (Names{" *** could not remove the temporary file a.txt." + kPid +
                               ".part: Operation not permitted; the next run in its folder "
                               "removes it"}));
}

TEST(OutputFiles, a_file_is_known_by_what_it_is_however_its_name_is_spelled) {
  Folder f;
  f.disk->add_folder("sub");
  f.disk->link_folder("here", ".");
  f.files().protect("s.rwl", "the data file");
  f.files().reserve_prefix("s.rwl_");
  f.files().reserve_name("crns_raw.txt");
  f.write(1, "a.txt", "new a\n");                           // pending
  f.write(2, "log.txt", "log\n", false, Commit::on_close);  // written
  f.write(3, "page.ps", "page\n", false, Commit::on_save);  // a saved page
  for (const std::string spelling : {"", "./", "sub/../", "/work/", "here/"}) {
    for (const char* name : {"s.rwl", "a.txt", "log.txt", "s.rwl_spectra.txt", "crns_raw.txt",
                             "a.txt.101.part", "b.txt.prev", ".dendro.101.journal"}) {
      EXPECT_TRUE(f.files().of_this_run(spelling + name)) << spelling << name;
    }
    // A later save may replace a page; other files are no file of the run, nor is a name
    // that only begins with a reserved whole name.
    for (const char* name : {"page.ps", "b.txt", "crns_raw.txt2"}) {
      EXPECT_FALSE(f.files().of_this_run(spelling + name)) << spelling << name;
    }
  }
  // A version begun under another spelling is the same file's: it replaces the first.
  f.write(4, "here/a.txt", "newer a\n");
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "newer a\n");
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt", "log.txt", "page.ps"}));
}

TEST(OutputFiles, no_input_device_or_name_of_another_run_is_written) {
  Folder f;
  f.files().protect("s.rwl", "data file 1 of f.txt");
  f.disk->add_device("dev");
  EXPECT_EQ(f.files().check({{"./s.rwl", "an output of t.rwl"},
                             {"x.txt", "an output of s.rwl"},
                             {"x.txt", "an output of t.rwl"},
                             {"dev", "an output of t.rwl"},
                             {"y.txt", "the run's list"}}),
            (Names{" *** ./s.rwl is data file 1 of f.txt, which this run would write over with an "
                   "output of t.rwl",
                   " *** rename or move ./s.rwl, then run again with its new name",
                   " *** x.txt would be written both as an output of s.rwl and as an output of "
                   "t.rwl: rename or move one of their data files",
                   " *** dev is not a regular file (a device, a FIFO or a socket), which this run "
                   "would write as an output of t.rwl: rename or move it"}));
  EXPECT_EQ(stop_message([&] { f.write(1, "s.rwl", "x"); }),
            "*** s.rwl is data file 1 of f.txt: this run does not write over it");
  EXPECT_EQ(stop_message([&] { f.write(1, "dev", "x"); }),
            "*** dev is not a regular file (a device, a FIFO or a socket): it is not written over");
  // Another run, with this one's process id too (another pid namespace), holds the folder
  // this one writes into: it is told who and what to do, and neither run's files are
  // touched; a folder of its own it holds.
  f.write(2, "a.txt", "new a\n");
  f.write(3, "d.txt", "new d\n");
  f.disk->add_folder("sub");
  const std::string holder = "another run (process " + std::to_string(::getpid()) + " of user ";
  for (const bool same_pid : {false, true}) {
    Folder other(same_pid ? f.disk->same_pid_run() : f.disk->another_run());
    const Names refusal = other.files().hold({"sub/x.txt", "b.txt"}).refusal;
    ASSERT_EQ(refusal.size(), 2u);
    EXPECT_TRUE(refusal[0].starts_with(" *** " + holder)) << refusal[0];
    EXPECT_TRUE(refusal[0].ends_with(
        ") is writing in the working folder: it holds the folder until it ends, at its last "
        "Return;"))
        << refusal[0];
    EXPECT_EQ(refusal[1],
              " *** wait until that run has ended, or run in another folder: this run ends here, "
              "before it writes any file but the lock files (.dendro.lock) of the folders it "
              "looked at");
    // A name given later is refused with the same words, for the question to be asked again.
    const std::string later = stop_message([&] { other.write(1, "./c.txt", "x"); });
    EXPECT_TRUE(later.starts_with("*** cannot create file: ./c.txt: " + holder)) << later;
    EXPECT_TRUE(
        later.ends_with(") is writing in the working folder: wait until that run has "
                        "ended, or use another folder"))
        << later;
    EXPECT_TRUE(other.files().hold({"sub/x.txt"}).refusal.empty());
  }
  f.units->commit(Commit::with_data_file);
  EXPECT_EQ(f.disk->text("a.txt"), "new a\n");
}

TEST(OutputFiles, a_run_writes_nothing_where_it_no_longer_holds_or_cannot_hold_the_folder) {
  // The lock file replaced by hand after the run held the folder: another run may hold it.
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  f.disk->replace_lock_file("");
  EXPECT_EQ(stop_message([&] { f.units->commit(Commit::with_data_file); }),
            "*** could not put the new a.txt in place: /work/.dendro.lock, the lock file by which "
            "this run holds its folder, was removed or replaced while the run held it; none of "
            "the files that would take their names with it is written");
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt"}));
  EXPECT_EQ(f.disk->text("a.txt"), "old a\n");
  // A folder that cannot be held is refused with the reason, never as another run's.
  Folder g;
  g.disk->fail(Op::hold, "");
  const std::string failure = "cannot lock /work/.dendro.lock: No locks available";
  EXPECT_EQ(g.files().hold({"a.txt"}).refusal, (Names{" *** " + failure}));
  EXPECT_EQ(stop_message([&] { g.write(1, "a.txt", "x"); }),
            "*** cannot create file: a.txt: " + failure);
  EXPECT_EQ(g.files().why_not_written("page.ps"), failure);
  EXPECT_EQ(folder_state(*g.disk), "a.txt=old a\n;b.txt=old b\n;");
}

TEST(OutputFiles, a_name_given_later_over_a_file_its_folder_keeps_for_another_user_is_refused) {
  Folder f;
  f.disk->put("page.ps", "another user's page\n");
  f.disk->add_foreign("page.ps");
  const std::string why =
      "page.ps: it belongs to user other, and its folder lets only a file's owner move or "
      "remove it; ask that user to move it, or use another name";
  EXPECT_EQ(f.files().why_not_written("page.ps"), why);
  EXPECT_EQ(stop_message([&] { f.write(1, "page.ps", "page\n", false, Commit::on_save); }),
            "*** cannot create file: page.ps: " + why);
  EXPECT_EQ(f.disk->text("page.ps"), "another user's page\n");
}

// Folders a and b, which a run takes in that order: b held by another run, or holding a
// journal whose first line cannot be read, refuses the run, which gives a back.
TEST(OutputFiles, a_run_refused_gives_back_the_folders_it_took) {
  const std::string journal = "b/.dendro.7.journal";
  for (const bool held : {true, false}) {
    Folder f;
    f.disk->add_folder("a");
    f.disk->add_folder("b");
    Folder other(f.disk->another_run());
    if (held) {
      hold_and_mend(other.files(), {"b/x.txt"});
    } else {
      f.disk->put(journal, "dendro journal 2\t7\n");
      f.disk->fail(Op::read, journal);
    }
    const Names refusal = f.files().hold({"a/x.txt", "b/x.txt"}).refusal;
    ASSERT_EQ(refusal.size(), 2u) << held;
    if (!held) {
      EXPECT_EQ(refusal[0], " *** " + journal +
                                ", the journal of a run cut short, cannot be read (its first line "
                                "could not be read): what it names cannot be known, so this run "
                                "writes nothing in the folder b;");
      EXPECT_TRUE(f.disk->exists(journal));
    }
    Folder later(f.disk->another_run());
    EXPECT_EQ(later.files().hold({"a/x.txt"}).refusal, Names{}) << held;
  }
}

TEST(OutputFiles, a_name_whose_temporary_file_cannot_be_made_is_refused_before_any_write) {
  // "<name>.101.part" takes 9 characters more: a name of 246 has a temporary name of 255.
  Folder f;
  const std::string longest = std::string(242, 'x') + ".txt";
  const std::string too_long = "y" + longest;
  EXPECT_TRUE(f.files().check({{longest, "an output"}}).empty());
  EXPECT_EQ(f.files().check({{too_long, "an output"}}),
            (Names{" *** " + too_long +
                   ", which this run would write as an output, is too long a name: its temporary "
                   "file's name would pass the 255 characters a file system takes; rename or "
                   "move its data file"}));
  EXPECT_TRUE(
      holds(stop_message([&] { f.write(1, too_long, "x"); }),
            "*** cannot create file: " + too_long + ": " + too_long + " is too long a name"));
  EXPECT_EQ(f.disk->all(), (Names{"a.txt", "b.txt"}));  // no journal either
  // A file put under the run's temporary name once the folder is held is not the run's:
  // it stays, and the version is refused.
  hold_and_mend(f.files(), {"a.txt"});
  f.disk->put("a.txt.101.part", "planted\n");
  EXPECT_EQ(stop_message([&] { f.write(1, "a.txt", "new a\n"); }),
            "*** cannot create file: a.txt: a.txt.101.part is in the way of its temporary file "
            "(File exists): remove it, then run again");
  EXPECT_EQ(f.disk->text("a.txt.101.part") + f.disk->text("a.txt"), "planted\nold a\n");
}

// The files a.txt, b.txt and d.txt of an earlier run, and e.txt of no run; a run puts a new
// set over them (a.txt, b.txt, a new c.txt, and no d.txt) and closes its journal, killed at
// its `kill`-th step of these as `cut` says (never when -1). A run that has fewer steps ends
// whole, and then the power goes as `cut` says. Returns a later run's view of the folder.
std::unique_ptr<test::MemoryFiles> after_commit(int kill, bool& killed, Cut cut = Cut::process) {
  std::unique_ptr<test::MemoryFiles> later;
  bool died = false;
  {
    Folder f;
    f.disk->put("d.txt", "old d\n");
    f.disk->put("e.txt", "of no run\n");
    f.write(1, "a.txt", "new a\n");
    f.write(2, "b.txt", "new b\n");
    f.write(3, "c.txt", "new c\n");
    f.units->create(4, "d.txt");
    f.units->close(4, true);
    later = f.disk->another_run();
    f.disk->kill_after(kill, cut);
    try {
      f.units->commit(Commit::with_data_file);
      EXPECT_TRUE(f.files().close_journals().empty());
      f.disk->kill_after(-1);  // a run that ends whole
    } catch (const test::Killed&) {
      died = true;
    }
  }
  if (!died) later->lose_power(cut);
  killed = killed || died;
  return later;
}

// A run that claims the four names and mends, killed at its `kill`-th step as `cut` says
// (never when -1); one that has fewer steps ends whole, and then the power goes as `cut`
// says. What it mended, and a later run's view of the folder.
std::unique_ptr<test::MemoryFiles> mend_once(std::unique_ptr<test::MemoryFiles> disk, int kill,
                                             bool& killed, Mended& mended, Cut cut = Cut::process) {
  std::unique_ptr<test::MemoryFiles> later = disk->another_run();
  bool died = false;
  {
    test::MemoryFiles& view = *disk;
    Units run(std::move(disk), Commit::with_data_file, text_files);
    view.kill_after(kill, cut);
    try {
      mended = hold_and_mend(run.files(), {"a.txt", "b.txt", "c.txt", "d.txt"});
      view.kill_after(-1);
    } catch (const test::Killed&) {
      died = true;
    }
  }
  if (!died) later->lose_power(cut);
  killed = killed || died;
  return later;
}

// The same, but for what a power cut may leave: temporary files whose notes were lost and
// journals that never held a record.
std::string state_but_leftovers(const test::MemoryFiles& disk) {
  std::string state;
  for (const std::string& name : disk.all()) {
    if (name.ends_with(".part") || (name.starts_with(".dendro.") && disk.text(name).empty())) {
      continue;
    }
    state += name + "=" + disk.text(name) + ";";
  }
  return state;
}

const std::string kEarlier = "a.txt=old a\n;b.txt=old b\n;d.txt=old d\n;e.txt=of no run\n;";
const std::string kFresh = "a.txt=new a\n;b.txt=new b\n;c.txt=new c\n;e.txt=of no run\n;";

TEST(OutputFiles, a_group_is_all_or_none_however_many_runs_are_killed) {
  // The commit killed at each step in each way, then a mending run killed at each of its
  // steps in each way, then a third run that mends: the group is the earlier set whole or
  // the new set whole, nothing is left aside, e.txt is as it was, and the third run names
  // what it did for what it was.
  std::map<Cut, std::set<int>> commit_deaths;
  std::map<Cut, int> mending_deaths;
  for (const Cut first_cut : kCuts) {
    for (int first = 0, first_killed = 1; first_killed; ++first) {
      for (const Cut second_cut : kCuts) {
        for (int second = 0, second_killed = 1; second_killed; ++second) {
          bool killed_first = false, killed_second = false, unused = false;
          Mended partly, mended;
          auto disk = mend_once(after_commit(first, killed_first, first_cut), second, killed_second,
                                partly, second_cut);
          disk = mend_once(std::move(disk), -1, unused, mended);
          const bool power = first_cut != Cut::process || second_cut != Cut::process;
          const std::string state = power ? state_but_leftovers(*disk) : folder_state(*disk);
          const std::string where = std::string(cut_name(first_cut)) + " at " +
                                    std::to_string(first) + ", then " + cut_name(second_cut) +
                                    " at " + std::to_string(second) + ": ";
          EXPECT_TRUE(state == kEarlier || state == kFresh) << where << state;
          for (const std::string& name : mended.removed) {
            EXPECT_TRUE(name.ends_with(".part")) << where << name;
          }
          for (const std::string& name : state == kEarlier ? mended.undone : mended.finished) {
            EXPECT_TRUE(name == "a.txt" || name == "b.txt" || name == "c.txt" || name == "d.txt")
                << where << name;
          }
          EXPECT_TRUE(mended.failures.empty()) << where;
          first_killed = killed_first;
          second_killed = killed_second;
          if (killed_first) commit_deaths[first_cut].insert(first);
          if (killed_second) ++mending_deaths[second_cut];
        }
      }
    }
  }
  // Every step of the commit (three flushes, the journal, six moves, the folder, the
  // decision, four removals, the folder, the journal's removal) and of mending was a place
  // to die, in every way.
  for (const Cut cut : kCuts) {
    EXPECT_GE(commit_deaths[cut].size(), 12u) << cut_name(cut);
    EXPECT_GE(mending_deaths[cut], 80) << cut_name(cut);
  }
  // A run that ends whole, and then the power goes keeping only its last change of names,
  // the journal's removal: the next run finds nothing set aside and the new set whole.
  bool killed = false;
  Mended mended;
  const auto disk = mend_once(after_commit(-1, killed, Cut::names_but_last), -1, killed, mended);
  EXPECT_FALSE(killed);
  EXPECT_EQ(folder_state(*disk), kFresh);
  EXPECT_EQ(folder_state(*after_commit(-1, killed)), kFresh);
}

TEST(OutputFiles, mending_touches_only_what_a_journal_of_a_dead_run_names_and_says_each_failure) {
  // Temporary files of dead runs whose journals lost their records, and files no run of
  // these programs wrote: only the temporary file of a name these programs write goes.
  Folder f;
  for (const std::string name : {"c.txt.99.part", "page.ps.99.part", "b.txt.prev", "b.part"}) {
    f.disk->put(name, "?");
  }
  EXPECT_EQ(mended_lines(hold_and_mend(f.files(), {"b.txt"})),
            (Names{" *** temporary files of a run cut short, removed:", "       c.txt.99.part",
                   " *** page.ps.99.part has the form of a temporary file, but no journal names "
                   "it: it stays as it is"}));
  EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.part", "b.txt", "b.txt.prev", "page.ps.99.part"}));
  // Killed with a.txt aside: a put-back that fails leaves it there, and says so; the
  // journal stays for a later run, which puts it back.
  bool killed = false;
  auto disk = after_commit(6, killed);
  ASSERT_TRUE(killed);
  disk->fail(Op::rename, "a.txt.101.prev");
  disk->fail(Op::list, "sub");
  Mended failed;
  disk = mend_once(std::move(disk), -1, killed, failed);
  EXPECT_EQ(failed.failures,
            (Names{" *** could not put back the earlier a.txt, which stays as a.txt.101.prev: "
                   "Input/output error"}));
  EXPECT_TRUE(disk->exists("a.txt.101.prev") && disk->exists(".dendro.101.journal"));
  disk->heal();
  Mended later;
  disk = mend_once(std::move(disk), -1, killed, later);
  EXPECT_EQ(later.put_back, (Names{"a.txt"}));
  EXPECT_EQ(folder_state(*disk), kEarlier);
  // A folder that cannot be listed may hold a journal: the run writes nothing there.
  Folder g;
  g.disk->add_folder("sub");
  g.disk->fail(Op::list, "sub");
  EXPECT_EQ(g.files().hold({"sub/x.txt"}).refusal,
            (Names{" *** cannot list the folder sub for what runs cut short left there: "
                   "Permission denied; make it readable, or run in another folder"}));
  // An earlier file that cannot be removed once the new ones have their names is named,
  // and the next run removes it.
  Folder h;
  h.write(1, "a.txt", "new a\n");
  h.write(2, "b.txt", "new b\n");
  h.disk->fail(Op::remove, "a.txt.101.prev");
  h.units->commit(Commit::with_data_file);
  EXPECT_EQ(h.files().take_notes(),
            (Names{" *** could not remove the earlier a.txt, left as a.txt.101.prev: Operation "
                   "not permitted; the next run of these files removes it"}));
  h.disk->heal();
  Folder next(h.disk->another_run());
  h.units.reset();
  EXPECT_EQ(hold_and_mend(next.files(), {"a.txt"}).finished, (Names{"a.txt"}));
  EXPECT_EQ(names(*next.disk), (Names{"a.txt", "b.txt"}));
}

}  // namespace
}  // namespace dendro
