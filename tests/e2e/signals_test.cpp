// A run that a signal ends from outside (Ctrl-C, a kill, the terminal closed, Ctrl-\, a
// console whose reader has gone) ends as a stop does: every file settled, the lists on the
// console where it can still be written, and the status 128 + the signal's number. Each
// signal comes where the run waits: for an answer that does not come, or for a console
// that takes no more output.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>

#include "harness.h"

namespace dendro::e2e {
namespace {

using std::string;
using Console = Cut::Console;

const string kDefaults = "\nf.txt\nT\nn\n\n\n\n";    // interactive, one data file, to the end
const string kPlots = "\nf.txt\nT\nn\n19\n1\n\n\n";  // with summary plots, to the first menu
const Waiting kFirstPlotMenu{"enter option number >"};
const string kInterrupted = "\n *** interrupted: the run ends here\n";
const string kLists =
    "\n *** s.rwl was not processed to its end\n"
    " *** earlier files this run had replaced before it ended:\n       s.rwl_log.txt\n"
    " *** earlier files kept as they were, as this run did not complete them:\n"
    "       s.rwl_out.txt\n";

bool shows(const RunResult& r, const string& text) { return r.output.find(text) != string::npos; }

class Signals : public ::testing::Test {
 protected:
  void SetUp() override {
    box.write_file("s.rwl", similar_series("SITE", 8, 1850, 120));
    box.write_file("f.txt", "s.rwl\n");
    ASSERT_EQ(box.kalder(kDefaults).status, 0);
    earlier = results();
  }
  // The files of s.rwl but its log file, once no unfinished version (".part") is left.
  std::map<string, string> results() {
    for (const auto& [name, text] : box.files("")) EXPECT_FALSE(name.ends_with(".part")) << name;
    auto files = box.files("s.rwl_");
    files.erase("s.rwl_log.txt");
    return files;
  }
  Sandbox box;
  std::map<string, string> earlier;
};

TEST_F(Signals, every_signal_ends_the_run_as_a_stop_does) {
  // At the first plot menu: the general output file is half written.
  for (const int signal_number : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE}) {
    const RunResult r = box.cut_short(KALDER_PATH, kPlots, kFirstPlotMenu, {signal_number});
    EXPECT_EQ(r.status, 128 + signal_number);
    EXPECT_TRUE(shows(r, "enter option number > " + kInterrupted + kLists)) << r.output;
    EXPECT_TRUE(results() == earlier) << signal_number;
  }
  // The console gone, so that every write of the run fails: a terminal closed (SIGHUP), a
  // reader gone, which the run meets at its next write after one more answer (SIGPIPE).
  for (const Cut& cut : {Cut{SIGHUP, Console::closed, ""}, Cut{0, Console::closed, "c\n"}}) {
    const RunResult r = box.cut_short(KALDER_PATH, kPlots, kFirstPlotMenu, cut);
    EXPECT_EQ(r.status, cut.signal_number == SIGHUP ? 129 : 141) << r.output;
    EXPECT_TRUE(results() == earlier) << cut.signal_number;
  }
  // At the last pause the run's files are in place already; the status is still the
  // signal's.
  box.write_file("s.rwl_out.txt", "an earlier file\n");
  const RunResult last = box.cut_short(KALDER_PATH, kDefaults.substr(0, kDefaults.size() - 1),
                                       {" hit return to quit"}, {SIGTERM});
  EXPECT_EQ(last.status, 143);
  EXPECT_TRUE(shows(last, " hit return to quit" + kInterrupted +
                              "\n *** earlier files this run had replaced before it ended:\n"
                              "       s.rwl_log.txt\n       s.rwl_out.txt\n"))
      << last.output;
  EXPECT_TRUE(results() == earlier);
}

TEST(SignalledConsole, what_the_run_wrote_comes_out_whole_and_no_answer_is_read_after_it) {
  Sandbox box;
  // The console takes no more output at the first question, and two "h" come at once: the
  // run shows the first information page and waits to write it when the signal comes.
  const RunResult r =
      box.cut_short(KALDER_PATH, "", {"h for more info: "}, {SIGINT, Console::full, "h\nh\n"});
  EXPECT_EQ(r.status, 130);
  EXPECT_TRUE(
      r.output.ends_with(" your data file name(s) interactively. capeche?\n\n"
                         " <ret> to run, / to exit, h for more info: " +
                         kInterrupted))
      << r.output;
  EXPECT_EQ(count_of(r.output, "h for more info: "), 2u);
}

TEST_F(Signals, a_stop_and_a_signal_settle_the_run_wide_set_alike) {
  box.write_file("t.rwl", similar_series("TREE", 8, 1870, 120));
  box.write_file("u.rwl", similar_series("UNIT", 8, 1860, 120));
  box.write_file("f.txt", "s.rwl\nt.rwl\nu.rwl\n");
  ASSERT_EQ(box.kalder(kDefaults + "\n").status, 0);
  const auto before = box.files("");
  // With summary plots, four plot menus a data file: the input ends, or a signal comes, at
  // the first menu of the third data file.
  const string answers = "\nf.txt\nT\nn\n\n19\n1\n\n\n" + string(8, '\n');
  const RunResult stopped = box.kalder(answers);
  ASSERT_EQ(stopped.status, 3);
  const auto after_stop = box.files("crns_");
  for (const auto& [name, text] : before) box.write_file(name, text);
  const RunResult interrupted =
      box.cut_short(KALDER_PATH, answers, {"enter option number >", 9}, {SIGTERM});
  ASSERT_EQ(interrupted.status, 143);
  // The run-wide set holds the two data files processed to their end, either way.
  EXPECT_EQ(box.files("crns_"), after_stop);
  EXPECT_EQ(read_chronologies(box.read_file("crns_std.txt")).size(), 2u);
  const string lists = " *** u.rwl was not processed to its end\n";
  ASSERT_TRUE(shows(stopped, lists) && shows(interrupted, lists));
  EXPECT_EQ(interrupted.output.substr(interrupted.output.find(lists)),
            stopped.output.substr(stopped.output.find(lists)));
  EXPECT_TRUE(shows(interrupted, kInterrupted + "\n" + lists +
                                     " *** earlier files this run had replaced before it ended:\n"
                                     "       s.rwl_log.txt\n       t.rwl_log.txt\n"
                                     "       u.rwl_log.txt\n       s.rwl_out.txt\n"));
}

}  // namespace
}  // namespace dendro::e2e
