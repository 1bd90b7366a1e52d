// Runs the built programs in a fresh temporary folder with scripted console input.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "tests/count_of.h"

namespace dendro::e2e {

// The file by which a run holds a folder.
inline constexpr const char* kLockFile = ".dendro.lock";

struct RunResult {
  int status = -1;     // the program's exit status
  std::string output;  // what it wrote to the console
};

// Where a test cuts a run short: once the run has read every answer it was given and its
// console shows `shown` for the `times`-th time, with nothing after it but blanks, it waits
// for an answer that does not come.
struct Waiting {
  std::string shown;
  int times = 1;
};

// kalder's answers for the list f.txt, every option at its default: interactive to the end
// of the run; with the summary plots on, to the menu of the first plot page; "/" at the
// batch question, once the run holds its folders.
inline const std::string kDefaults = "\nf.txt\nT\nn\n\n\n\n";
inline const std::string kPlots = "\nf.txt\nT\nn\n19\n1\n\n\n";
inline const std::string kQuit = "\nf.txt\nT\n/\n";
inline const Waiting kFirstPlotMenu{"enter option number >"};

// What a test does to a run that waits.
struct Cut {
  enum class Console {
    open,    // read to the end of the run
    closed,  // reads no more, as a terminal closed or a reader gone: the run's writes fail
    full,    // takes no more output until the run has taken the signal
  };
  int signal_number = 0;  // sent once the run waits; 0 sends none
  Console console = Console::open;
  // Answers given at once (one read takes them all) once the console has changed. With a
  // full console the signal then waits until the run has read them and waits to write.
  std::string more = {};
};

// A program running in a folder with a pipe for its standard input and one for its
// console (standard output and error), so that a test can hold it at a question while it
// runs another program beside it. Its answers go one line to a packet (a pipe of packets,
// O_DIRECT), so that a read takes one answer at most: the pipe is empty once the program
// has read every answer. One still running at the end is killed.
class Child {
 public:
  Child(const std::filesystem::path& dir, const std::string& program, const std::string& input);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  pid_t pid() const { return pid_; }

  // Steps until the run waits at the question `at`; false when it ends first, and false
  // with a note when it passes the question or never gets there.
  bool wait_at(const Waiting& at);
  // Steps until the run, its console full, has read every answer and sleeps: it waits to
  // write. False when it ends first or never gets there.
  bool wait_to_write();
  void give(const std::string& answers);
  // Gives `answers` in one packet: one read takes them all.
  void give_at_once(const std::string& answers);
  void send(int signal_number);
  // The console reads no more: the run's writes fail from now on.
  void close_console();
  // The console takes no more output: its pipe, empty while the run waits, is filled with
  // NUL bytes (which the console never shows, and the reading drops) and no longer read.
  void fill_console();
  // Steps until the run ends; one still going after the limit is killed.
  RunResult finish();

 private:
  // Moves answers in and output out for a poll's time, and notes the end of the run.
  void step();
  template <class Done>
  bool step_until(Done done, std::chrono::steady_clock::duration limit);
  bool read_every_answer() const;
  void read_console();
  void kill_with_note(const std::string& note);

  pid_t pid_ = -1;
  int in_ = -1;     // the write end of the run's standard input
  int out_ = -1;    // the read end of its console
  int spare_ = -1;  // a write end of the console, to fill it (blocking, as the run's own)
  bool reading_ = true;
  bool ended_ = false;
  int raw_status_ = 0;
  std::deque<std::string> answers_;
  std::string output_;
};

class Sandbox {
 public:
  // A fresh folder under `base`: the process's own folder unless given.
  explicit Sandbox(const std::filesystem::path& base = std::filesystem::temp_directory_path());
  ~Sandbox();
  Sandbox(const Sandbox&) = delete;
  Sandbox& operator=(const Sandbox&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  // Copies tests/data/<name> into the folder (under `as` when given).
  void copy_data(const std::string& name, const std::string& as = "");
  void write_file(const std::string& name, const std::string& text);
  std::string read_file(const std::string& name) const;
  std::vector<std::string> read_lines(const std::string& name) const;
  bool exists(const std::string& name) const;
  // The contents of the files of the folder whose names start with `prefix`, by name.
  // The lock file by which runs hold a folder, which stays there, is none of them.
  std::map<std::string, std::string> files(const std::string& prefix) const;
  // Runs the program with `input` on its standard input (a time limit guards against a
  // program that waits forever).
  RunResult run(const std::string& program, const std::string& input);
  RunResult kalder(const std::string& input);
  // Runs the program as run() does but with its standard input kept open after `input`,
  // and sends it `signal_number` where it waits at the `times`-th `shown` (see Waiting).
  RunResult interrupt(const std::string& program, const std::string& input,
                      const std::string& shown, int signal_number, int times = 1);
  // Runs the program as interrupt() does, and cuts it short as `how` says where it waits
  // `at` a question (nothing is done when it ends first). A run that never waits there, or
  // is still going 30 seconds after the cut, is killed (status -1).
  RunResult cut_short(const std::string& program, const std::string& input, const Waiting& at,
                      const Cut& how);

 private:
  std::filesystem::path dir_;
};

// The lines of a text.
std::vector<std::string> split_lines(const std::string& text);

// The files of `dir` (not its lock file) by name, each by its text.
std::map<std::string, std::string> files_in(const std::filesystem::path& dir);

// The journals, temporary and set-aside files left in `dir`.
std::vector<std::string> leftovers(const std::filesystem::path& dir);

// The series of a space-delimited series file (the core series save in columns): per
// series, in the order of the head's ids, its values by year; "." (no value) is left out.
std::vector<std::map<int, double>> space_delimited_series(const std::string& text);

// The chronologies of an index file in file order: each series' values by year. With
// `ring_widths`, the series of a ring-width file, in millimetres.
std::vector<std::map<int, float>> read_chronologies(const std::string& text,
                                                    bool ring_widths = false);

// Ring widths of `count` series over [first, first + years), slightly different from each
// other, in 0.001 mm units and without title records; ids are `stem` and a 4-digit number.
std::string similar_series(const std::string& stem, int count, int first, int years);

// pelliform's answers after the data file's name as the demo gives them: tucson ring widths,
// ratios, every default, and "c" (continue) at every plot page.
std::string pelliform_defaults();

// Column `column` (0 = year) of the tab-separated table file, by year.
std::map<int, double> table_column(const std::string& text, int column);

// What a run killed as its group took its names leaves in `dir`, with a journal of format
// `version` (0, 1 or 2) whose run is this test's process (it holds no folder): each of
// `news` (name, text) written whole beside its name, every earlier file of their names set
// aside, the first `placed` new files in their names, and the group's `decision` ("back"
// or "done"; a journal of version 2 holds "back").
void killed_while_placing(const std::filesystem::path& dir, int version,
                          const std::vector<std::pair<std::string, std::string>>& news,
                          std::size_t placed, const std::string& decision);

}  // namespace dendro::e2e
