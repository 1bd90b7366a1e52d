// What a run finds in a folder is checked before it is followed: a journal of a run cut
// short counts only where it is this program's own, whole and of its own folder, and its
// names are acted on only where they are names this program writes, not the run's inputs,
// and held by the run.
#include "series/files/journal.h"

#include <gtest/gtest.h>

#include "owner_fixture.h"
#include "tests/signal_status.h"

namespace dendro {
namespace {

const std::string kJournal = ".dendro.101.journal";
const std::string kData = "the data\n";

// A run that puts y.txt and z.txt in place, then a.txt, b.txt and a new c.txt over the
// earlier a.txt and b.txt, killed at the `kill`-th step of that second commit as `cut`
// says. The data file s.rwl and e.txt of no run lie beside them. Returns a later run's
// view of the folder.
std::unique_ptr<test::MemoryFiles> two_groups(int kill, bool& killed,
                                              test::Cut cut = test::Cut::process) {
  Folder f;
  f.disk->put("s.rwl", kData);
  f.disk->put("e.txt", "of no run\n");
  f.write(1, "y.txt", "new y\n");
  f.write(2, "z.txt", "new z\n");
  f.units->commit(Commit::with_data_file);
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  f.write(3, "c.txt", "new c\n");
  std::unique_ptr<test::MemoryFiles> later = f.disk->another_run();
  f.disk->kill_after(kill, cut);
  try {
    f.units->commit(Commit::with_data_file);
    f.disk->kill_after(-1);
  } catch (const test::Killed&) {
    killed = true;
  }
  return later;
}

// A later run of the data file s.rwl that holds the names of both groups and mends.
Mended mend_as_a_run_of_the_data_file(std::unique_ptr<test::MemoryFiles> disk) {
  Units run(std::move(disk), Commit::with_data_file, text_files);
  run.files().protect("s.rwl", "the data file");
  return hold_and_mend(run.files(), {"a.txt", "b.txt", "c.txt", "y.txt", "z.txt"});
}

// What mending said is what the folder holds.
void expect_words_true(const test::MemoryFiles& disk, const Mended& m, const std::string& where) {
  for (const std::string& name : m.put_back) {
    EXPECT_TRUE(disk.exists(name) && disk.text(name).starts_with("old")) << where << name;
  }
  for (const std::string& name : m.undone) EXPECT_FALSE(disk.exists(name)) << where << name;
  for (const std::string& name : m.finished) {
    EXPECT_FALSE(disk.exists(set_aside_name(name, 101))) << where << name;
  }
  for (const std::string& name : m.removed) EXPECT_FALSE(disk.exists(name)) << where << name;
}

TEST(Journal, a_journal_cut_at_any_byte_is_followed_only_as_far_as_it_is_whole) {
  int commits_killed = 0, cuts = 0;
  for (int kill = 0;; ++kill) {
    // What the disk surely holds of the journal: the characters of its last flush.
    bool killed = false;
    const std::unique_ptr<test::MemoryFiles> after_power =
        two_groups(kill, killed, test::Cut::characters);
    if (!killed) break;
    const std::size_t durable = after_power->text(kJournal).size();
    ++commits_killed;
    const std::size_t length = two_groups(kill, killed)->text(kJournal).size();
    for (std::size_t cut = 0; cut <= length; ++cut, ++cuts) {
      const std::string where = std::to_string(kill) + "/" + std::to_string(cut) + ": ";
      std::unique_ptr<test::MemoryFiles> disk = two_groups(kill, killed);
      const std::unique_ptr<test::MemoryFiles> later = disk->another_run();
      test::MemoryFiles& view = *later;
      view.put(kJournal, view.text(kJournal).substr(0, cut));
      // A file made by hand where the new c.txt had not taken its name yet.
      const bool by_hand = !view.exists("c.txt");
      if (by_hand) view.put("c.txt", "hand!\n");  // as long as the new c.txt
      const Mended m = mend_as_a_run_of_the_data_file(std::move(disk));
      const auto text = [&view](const std::string& name) {
        return view.exists(name) ? view.text(name) : "";
      };
      // Nothing outside the groups is touched, whatever the journal holds.
      EXPECT_EQ(text("s.rwl") + text("e.txt"), kData + "of no run\n") << where;
      EXPECT_TRUE(!by_hand || text("c.txt") == "hand!\n") << where;
      const std::string set = text("a.txt") + text("b.txt");
      const bool fresh = set == "new a\nnew b\n" && !view.exists(set_aside_name("a.txt", 101)) &&
                         !view.exists(set_aside_name("b.txt", 101));
      // Where the journal holds all that reached the disk, each set is whole.
      if (cut >= durable) {
        EXPECT_EQ(text("y.txt") + text("z.txt"), "new y\nnew z\n") << where;
        EXPECT_TRUE(fresh ||
                    (set == "old a\nold b\n" && !view.exists(set_aside_name("a.txt", 101)) &&
                     !view.exists(set_aside_name("b.txt", 101))))
            << where << set;
      }
      expect_words_true(view, m, where);
    }
  }
  EXPECT_GE(commits_killed, 12);
  EXPECT_GE(cuts, 3000);
}

// The journal of a run (the next process id of the folder) that then ended, holding one
// group of `moves`, decided "back", or nothing but its header. Its text.
std::string dead_journal(test::MemoryFiles& disk, const std::vector<Move>& moves = {}) {
  const std::unique_ptr<test::MemoryFiles> dead = disk.another_run();
  Journal journal(*dead, "/work");
  EXPECT_TRUE(moves.empty() || journal.begin_group(1, moves).ok());
  return disk.text(journal.path());
}

// A run that holds the folder and mends it, with the data file s.rwl its input.
std::vector<std::string> mend_lines_of_a_run(test::MemoryFiles& disk) {
  Folder f(disk.another_run());
  f.files().protect("s.rwl", "the data file");
  return mended_lines(hold_and_mend(f.files(), {"a.txt"}));
}

TEST(Journal, only_a_whole_journal_of_these_programs_that_names_their_files_is_followed) {
  const auto left = [](const std::string& journal, const std::string& why) {
    return std::vector<std::string>{
        " *** " + journal + " is no journal this program follows (" + why +
            "): it stays as it is, and this run writes none of the files it names;",
        " *** to get back the earlier files a run cut short set aside, rename each "
        "NAME.102.prev in its folder to NAME, then remove " +
            journal};
  };
  const std::string made = "made by hand\n";
  // A new file of a group rolled back is removed only as the journal's own, whole record
  // says: not by a record whose checksum does not hold, nor by one taken from another
  // journal.
  {
    Folder f;
    f.disk->put("c.txt", made);
    const FileId c = f.disk->status("c.txt").id;
    const std::string whole = dead_journal(*f.disk, {{"c.txt", false, false, c, 0}});
    f.disk->remove(".dendro.102.journal");
    const std::string forged =
        "move\t1\t0\t0\t" + std::to_string(c.inode) +
        "\t13\t0\t0\tc.txt\t0123456789abcdef\nback\t1\t1\t0123456789abcdef\n";
    f.disk->put(".dendro.103.journal", dead_journal(*f.disk) + forged);
    f.disk->put(".dendro.104.journal", dead_journal(*f.disk) + whole.substr(whole.find('\n') + 1));
    EXPECT_TRUE(mend_lines_of_a_run(*f.disk).empty());
    EXPECT_EQ(names(*f.disk), (Names{"a.txt", "b.txt", "c.txt"}));
    EXPECT_EQ(f.disk->text("c.txt"), made);
  }
  // Names with a folder part, the run's input, names neither program writes, a group short
  // of a move its decision counts: the journal stays as it is, named, nothing it names is
  // touched, and the run writes none of its names.
  for (const auto& [name, why] :
       {std::pair<std::string, std::string>{
            "sub/x.txt", "it names \"sub/x.txt\", which is no file of its own folder"},
        {"s.rwl", "it names s.rwl, which is the data file"},
        {"notes.doc", "it names notes.doc, which is no name these programs write"},
        {"", "the decision of its group 1 does not count the group's moves"},
        {"late", "a move of its group 1 stands after the group's decision"}}) {
    Folder f;
    f.disk->add_folder("sub");
    for (const std::string file : {"sub/x.txt", "s.rwl", "notes.doc"}) f.disk->put(file, made);
    const bool lost = name.empty(), late = name == "late";
    std::vector<Move> moves{{"a.txt", false, false, {}, 0}};
    if (!late) moves.push_back({lost ? "b.txt" : name, false, false, {}, 0});
    std::string text = dead_journal(*f.disk, moves);
    if (lost) {  // the line of the second move lost
      text.erase(text.rfind("move"), text.find('\n', text.rfind("move")) - text.rfind("move") + 1);
      f.disk->put(".dendro.102.journal", text);
    }
    if (late) {  // a whole record of a second move after the decision
      const std::string token = text.substr(text.find('\t', 17) + 1, 16);
      const std::string move = "move\t1\t0\t0\t0\t0\t0\t0\tb.txt";
      f.disk->put(".dendro.102.journal",
                  text + move + "\t" + checksum_of(token + "\n" + move) + "\n");
    }
    const std::string before = folder_state(*f.disk);
    Folder run(f.disk->another_run());
    run.files().protect("s.rwl", "the data file");
    EXPECT_EQ(mended_lines(hold_and_mend(run.files(), {"b.txt"})), left(".dendro.102.journal", why))
        << name;
    EXPECT_EQ(folder_state(*f.disk), before) << name;
    EXPECT_EQ(run.files().check({{"a.txt", "an output"}}),
              (Names{" *** a.txt is named by .dendro.102.journal, a journal this run leaves as it "
                     "is: this run does not write it"}));
    EXPECT_TRUE(holds(stop_message([&] { run.write(1, "a.txt", "x"); }),
                      "a.txt is named by .dendro.102.journal, a journal this run leaves as it is"));
  }
  // A temporary file named with a folder part is no file of the journal's folder either.
  Folder f;
  f.disk->add_folder("sub");
  f.disk->put("sub/x.txt.102.part", "?");
  const std::unique_ptr<test::MemoryFiles> dead = f.disk->another_run();
  Journal(*dead, "/work").record_temporary("sub/x.txt");
  EXPECT_EQ(
      mend_lines_of_a_run(*f.disk).front(),
      left(".dendro.102.journal", "it names \"sub/x.txt\", which is no file of its own folder")
          .front());
  EXPECT_TRUE(f.disk->exists("sub/x.txt.102.part"));
}

TEST(Journal, a_run_that_goes_back_on_its_decision_writes_it_first) {
  const std::string earlier = "a.txt=old a\n;b.txt=old b\n;";
  // The flush of "done" fails once; the run writes "back" again and undoes the group. Killed
  // at any step of that undo, the power going as each cut says, the next run rolls the
  // group back too.
  int undos_killed = 0;
  for (const test::Cut cut :
       {test::Cut::process, test::Cut::characters, test::Cut::names_but_last, test::Cut::names}) {
    for (int kill = 11;; ++kill) {
      Folder f;
      f.write(1, "a.txt", "new a\n");
      f.write(2, "b.txt", "new b\n");
      f.write(3, "c.txt", "new c\n");
      f.disk->fail(Op::flush, kJournal, 1, 1);
      std::unique_ptr<test::MemoryFiles> later = f.disk->another_run();
      f.disk->kill_after(kill, cut);
      bool killed = false;
      try {
        EXPECT_TRUE(holds(stop_message([&] { f.units->commit(Commit::with_data_file); }),
                          "*** could not put the new a.txt in place: cannot write the journal "
                          ".dendro.101.journal of this run: Input/output error; the earlier "
                          "files of its kind are kept as they were"));
        f.disk->kill_after(-1);
      } catch (const test::Killed&) {
        killed = true;
      }
      f.units.reset();
      Folder next(std::move(later));
      hold_and_mend(next.files(), {"a.txt", "b.txt", "c.txt"});
      EXPECT_EQ(folder_state(*next.disk), earlier) << kill;
      if (!killed) break;
      ++undos_killed;
    }
  }
  EXPECT_GE(undos_killed, 20);
  // Nor can "back" be written: nothing is undone, the console says where each file stands,
  // and the next run follows the last decision the journal holds.
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "c.txt", "new c\n");
  f.disk->fail(Op::flush, kJournal, 1);
  EXPECT_EQ(stop_message([&] { f.units->commit(Commit::with_data_file); }),
            "*** could not put the new a.txt in place: cannot write the journal "
            ".dendro.101.journal of this run: Input/output error\n"
            " *** nor could the journal take back its decision that the group had taken its "
            "names (cannot write the journal .dendro.101.journal of this run: Input/output "
            "error): the files stay as they are, and the next run of these "
            "files puts them in place or back, as the journal on the disk decides:\n"
            "       a.txt (the new file)\n"
            "       c.txt (the new file)\n"
            "       a.txt (the earlier file, as a.txt.101.prev)");
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("a.txt.101.prev") + f.disk->text("c.txt"),
            "new a\nold a\nnew c\n");
  f.disk->heal();
  Folder next(f.disk->another_run());
  f.units.reset();
  EXPECT_EQ(hold_and_mend(next.files(), {"a.txt", "c.txt"}).put_back, (Names{"a.txt"}));
  EXPECT_EQ(folder_state(*next.disk), earlier);
}

TEST(Journal, a_journal_under_the_runs_own_name_is_followed_and_said) {
  // Killed with a.txt set aside; the next run has the same process id and first writes a
  // file of the folder that it had not held before.
  bool killed = false;
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  std::unique_ptr<test::MemoryFiles> later = f.disk->same_pid_run();
  f.disk->kill_after(5);
  try {
    f.units->commit(Commit::with_data_file);
  } catch (const test::Killed&) {
    killed = true;
  }
  ASSERT_TRUE(killed);
  f.units.reset();
  Folder next(std::move(later));
  next.write(1, "z.txt", "z\n", false, Commit::on_close);
  EXPECT_EQ(
      next.files().take_notes(),
      (Names{" *** earlier files put back, which a run cut short had moved aside:", "       a.txt",
             "       b.txt", " *** temporary files of a run cut short, removed:",
             "       a.txt.101.part", "       b.txt.101.part"}));
  EXPECT_EQ(names(*next.disk), (Names{"a.txt", "b.txt", "z.txt"}));
  EXPECT_EQ(next.disk->text("a.txt") + next.disk->text("b.txt"), "old a\nold b\n");
}

// A run of a.txt and b.txt killed at its `kill`-th commit step: at 5 both earlier files are
// set aside; at 7 both new files have their names too, and the decision is still "back".
// The killed run's journal is .dendro.101.journal. Returns a later run's view.
std::unique_ptr<test::MemoryFiles> killed_at(int kill) {
  Folder f;
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  std::unique_ptr<test::MemoryFiles> later = f.disk->another_run();
  f.disk->kill_after(kill);
  EXPECT_THROW(f.units->commit(Commit::with_data_file), test::Killed);
  return later;
}

TEST(Journal, a_journal_whose_files_this_user_cannot_move_is_left_whole) {
  for (const std::string foreign : {"a.txt.101.prev", "b.txt.101.part"}) {
    std::unique_ptr<test::MemoryFiles> disk = killed_at(5);
    disk->add_foreign(foreign);
    const std::string before = folder_state(*disk);
    Folder next(std::move(disk));
    EXPECT_EQ(mended_lines(hold_and_mend(next.files(), {"c.txt"})),
              (Names{" *** .dendro.101.journal, the journal of a run cut short, is not followed: " +
                         foreign +
                         ": it belongs to user other, and its folder lets only a file's owner "
                         "move or remove it;",
                     " *** it stays as it is, and this run writes none of the files it names: run "
                     "again as the user whose files they are, or in another folder"}));
    EXPECT_EQ(folder_state(*next.disk), before) << foreign;
    EXPECT_EQ(next.files().check({{"b.txt", "an output"}, {"c.txt", "an output"}}),
              (Names{" *** b.txt is named by .dendro.101.journal, a journal this run leaves as it "
                     "is: this run does not write it"}));
  }
}

TEST(Journal, a_put_back_never_replaces_a_file_written_since_which_supersedes_it) {
  // a.txt replaced by hand after the kill with a file as long as the new version: it is not
  // the file the journal recorded (another inode), so it stays, newer than the earlier file,
  // which goes; the journal ends.
  std::unique_ptr<test::MemoryFiles> disk = killed_at(7);
  ASSERT_EQ(disk->text("a.txt"), "new a\n");
  disk->put("a.txt", "hand!\n");
  Folder next(std::move(disk));
  const Mended m = hold_and_mend(next.files(), {"a.txt"});
  EXPECT_EQ(m.put_back, (Names{"b.txt"}));
  EXPECT_EQ(m.superseded, (Names{"a.txt"}));
  EXPECT_TRUE(m.failures.empty());
  EXPECT_EQ(folder_state(*next.disk), "a.txt=hand!\n;b.txt=old b\n;");
}

// A journal of version 1 of run 77 with `records`, each with its checksum.
std::string version_one(const Names& records) {
  const std::string token = "00000000000000ab";
  const std::string head = "dendro journal 1\t77\t" + token;
  std::string text = head + "\t" + checksum_of(head) + "\n";
  for (const std::string& r : records) text += r + "\t" + checksum_of(token + "\n" + r) + "\n";
  return text;
}

TEST(Journal, a_journal_left_under_the_runs_own_name_leaves_it_another_name) {
  Folder f;
  const std::string foreign = version_one({});  // of run 77, under this run's name
  f.disk->put(kJournal, foreign);
  f.write(1, "a.txt", "new a\n");
  f.write(2, "b.txt", "new b\n");
  f.units->commit(Commit::with_data_file);
  EXPECT_TRUE(f.disk->exists(".dendro.101-2.journal"));
  EXPECT_EQ(f.disk->text("a.txt") + f.disk->text("b.txt") + f.disk->text(kJournal),
            "new a\nnew b\n" + foreign);
}

TEST(Journal, a_set_aside_file_that_is_not_the_one_recorded_stays_and_so_does_the_journal) {
  // Killed with both earlier files set aside; a.txt's was replaced since by another file.
  std::unique_ptr<test::MemoryFiles> disk = killed_at(5);
  disk->put("a.txt.101.prev", "other\n");
  Folder next(std::move(disk));
  const Mended m = hold_and_mend(next.files(), {"a.txt"});
  EXPECT_EQ(m.put_back, (Names{"b.txt"}));
  EXPECT_EQ(m.failures, (Names{" *** could not put back or remove the earlier a.txt from "
                               "a.txt.101.prev: it is not the file its journal set aside"}));
  EXPECT_EQ(next.disk->text("a.txt.101.prev"), "other\n");
  EXPECT_TRUE(next.disk->exists(kJournal));
  EXPECT_EQ(next.files().check({{"a.txt", "an output"}}),
            (Names{" *** a.txt is named by .dendro.101.journal, a journal this run leaves as it "
                   "is: this run does not write it"}));
}

TEST(Journal, journals_of_the_earlier_versions_are_followed_in_their_own_folder) {
  // Run 77 killed with a.txt set aside and its new version in place, c.txt still temporary.
  // Version 1 knows the new a.txt by its size (6), version 0 takes whatever has the name.
  const auto killed_run = [](const std::string& journal) {
    auto disk = std::make_unique<test::MemoryFiles>();
    disk->put("a.txt", "new a\n");
    disk->put("a.txt.77.prev", "old a\n");
    disk->put("c.txt.77.part", "new c\n");
    disk->put(".dendro.77.journal", journal);
    return disk;
  };
  const std::string v0 =
      "part\t/work/a.txt\npart\t/work/c.txt\nmove\t1\t1\t0\t/work/a.txt\n"
      "move\t1\t0\t0\t/work/c.txt\nback\t1\n";
  for (const std::string& journal :
       {version_one({"part\ta.txt", "part\tc.txt", "move\t1\t1\t0\t6\ta.txt",
                     "move\t1\t0\t0\t6\tc.txt", "back\t1\t2"}),
        v0}) {
    Folder f(killed_run(journal));
    const Mended m = hold_and_mend(f.files(), {"a.txt"});
    EXPECT_EQ(m.put_back, (Names{"a.txt"})) << journal;
    EXPECT_EQ(m.removed, (Names{"c.txt.77.part"})) << journal;
    EXPECT_EQ(folder_state(*f.disk), "a.txt=old a\n;") << journal;
  }
  // The first version's full paths, of a folder since moved: the journal is left, and says
  // how to get the earlier files back by hand.
  std::string moved = v0;
  for (std::size_t at; (at = moved.find("/work/")) != std::string::npos;) {
    moved.replace(at, 6, "/old/");
  }
  Folder f(killed_run(moved));
  const Mended m = hold_and_mend(f.files(), {"a.txt"});
  EXPECT_EQ(m.left, (Names{" *** .dendro.77.journal is no journal this program follows (a journal "
                           "of an earlier version: it names "
                           "\"/old/a.txt\", which is no file of its own folder): it stays as it "
                           "is, and this run writes none of the files it names;",
                           " *** to get back the earlier files a run cut short set aside, rename "
                           "each NAME.77.prev in its folder to NAME, then remove "
                           ".dendro.77.journal"}));
  EXPECT_EQ(
      f.disk->text("a.txt") + f.disk->text("a.txt.77.prev") + f.disk->text(".dendro.77.journal"),
      "new a\nold a\n" + moved);
}

TEST(Journal, holding_and_mending_hear_a_signal) {
  Folder f;
  EXPECT_EQ(status_when_signalled(true, [&] { f.files().hold({"a.txt"}); }), 130);
}

}  // namespace
}  // namespace dendro
