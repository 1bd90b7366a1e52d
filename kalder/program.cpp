#include "kalder/program.h"

#include <algorithm>
#include <exception>

#include "kalder/file_list.h"
#include "kalder/file_setup.h"
#include "kalder/info.h"
#include "kalder/output_names.h"
#include "kalder/pipeline.h"
#include "kalder/stopped_run.h"
#include "options/log_creation.h"
#include "options/log_file.h"
#include "series/files/forms.h"
#include "series/files/interrupts.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

using kalder_names::kRunWideFiles;
using kalder_names::kTypedNamesFile;

constexpr int kMaxNames = 5000;  // records read from a file-names file
const char* const kBailout = " <=== bailout ===>";
constexpr int kFewMissing = 3;  // more missing data files: the file is no list of names
const char* const kListWanted =
    "*** the question wants a file that lists the data files, one name per line, "
    "or <ret> to type the names";

std::vector<std::string> run_wide_names() {
  std::vector<std::string> names;
  for (const auto& f : kRunWideFiles) names.emplace_back(f.name);
  return names;
}

[[noreturn]] void bail_out() { throw Stop(kBailout, 0); }
std::string framed(std::string_view text) {
  std::string inner(28, ' ');
  std::size_t start = text.size() >= 28 ? 0 : (28 - text.size()) / 2;
  inner.replace(start, std::min<std::size_t>(text.size(), 28), text.substr(0, 28));
  return "***" + inner + "***";
}

// Dialogue states; each question is one state, and "b" moves to an earlier one.
enum class Step {
  start1,
  start2,
  start3,
  file_names,
  count_line,
  title,
  batch_mode,
  same_commands,
  log_files,
  continue_run,
  process
};

// Shows the refusal of the names when two have one output prefix (true).
bool refused_names(Run& run, const std::vector<std::string>& names) {
  const std::vector<std::string> refusal = shared_prefix_refusal(run.units.files().fs(), names);
  if (refusal.empty()) return false;
  run.con.say("");
  for (const std::string& line : refusal) run.con.say(line);
  return true;
}

Step start_prompt(Run& run, int which) {
  const Layout first("(/t21,'<ret> to run, / to exit, ','h for more info: ')");
  const Layout again("(/t2,'<ret> to run, / to exit, ','h for more info: ')");
  run.con.prompt((which == 1 ? first : again).write());
  const Meaning m = run.con.read(1).meaning({.quit = true, .help = true});
  if (m == Meaning::blank) return Step::file_names;
  if (m == Meaning::quit) bail_out();
  run.con.again();  // an information page, then the prompt again
  if (which == 1) {
    if (m == Meaning::help) info(1, run.con);
    return Step::start2;
  }
  info(which, run.con);
  return which == 2 ? Step::start3 : Step::file_names;
}

// Says why `name`, an input, cannot be read: `head` and the name where nothing of that name
// can be read as data (no file, a folder, a device), and the system's reason where the name
// cannot be reached or read (never as not found).
void say_unreadable(Run& run, const std::string& head, const std::string& name) {
  FileSystem& fs = run.units.files().fs();
  const std::string why = unreadable_reason(fs, name);
  if (fs.target_status(name).failure.empty()) run.con.say(head + name);
  if (why != kNoSuchFile) run.con.say("*** " + name + ": " + why);
}

// Refuses a list that names a data file that does not exist, is no regular file (a folder,
// a device, a FIFO) or cannot be read, before any file is written, with the first such
// name, its line and what the question wants; true when every listed data file can be read.
bool listed_files_exist(Run& run, const std::string& list, const std::vector<std::string>& names) {
  FileSystem& fs = run.units.files().fs();
  int missing = 0, not_files = 0, unreachable = 0;
  std::size_t first = names.size();
  for (std::size_t k = 0; k < names.size(); ++k) {
    const std::string why = unreadable_reason(fs, names[k]);
    if (why.empty()) continue;
    ++(why == kNoSuchFile                           ? missing
       : fs.target_status(names[k]).failure.empty() ? not_files
                                                    : unreachable);
    first = std::min(first, k);
  }
  if (first == names.size()) return true;
  run.con.say("");
  say_unreadable(run, "*** data file not found:  ", names[first]);
  const std::string of_all = " of the " + std::to_string(names.size()) + " names listed ";
  std::string counts;
  for (const auto& [count, words] : {std::pair{missing, "do not exist"},
                                     {not_files, "are no regular file"},
                                     {unreachable, "cannot be read"}}) {
    if (count > 0) counts += (counts.empty() ? "" : ", ") + std::to_string(count) + of_all + words;
  }
  run.con.say("*** line " + std::to_string(first + 1) + " of " + list + ": " + counts);
  // Records of a series file hold blanks between their fields.
  if (missing > kFewMissing || names[first].find(' ') != std::string::npos) {
    run.con.say("*** " + list + " does not look like a list of data file names");
  }
  run.con.say(kListWanted);
  return false;
}

void say_lines(Run& run, const std::vector<std::string>& lines) {
  for (const std::string& line : lines) run.con.say(line);
}

// Holds the folders of `names` for the run and says what mending them did; another run
// that holds one, or a folder that cannot be held, ends this run.
void hold_folders_of(Run& run, const std::vector<std::string>& names) {
  const Holding holding = run.units.files().hold(names);
  if (!holding.refusal.empty()) throw Stop(joined_lines(holding.refusal), kFailureStatus);
  say_lines(run, mended_lines(holding.mended));
}

// The run's inputs and the names it may write, once the list of data files is known and
// before the run puts any file in place: the folders it writes into are held for the run
// and what runs cut short left there is mended; then the names it writes whatever its
// options are checked against what it reads and against results of other data files.
// False, with the refusal said, when a name clashes (the list is asked for again).
bool claim_output_names(Run& run, const std::string& list, const std::vector<std::string>& names,
                        bool typed) {
  OutputFiles& files = run.units.files();
  if (!typed) files.protect(list, "the list of data files");
  std::vector<std::string> folders;  // a name in each folder the run writes into
  for (std::size_t k = 0; k < names.size(); ++k) {
    files.protect(names[k], "data file " + std::to_string(k + 1) + " of " + list);
    folders.push_back(output_prefix(names[k]) + "_");
  }
  // The run-wide set (one data file's run leaves it alone) and the typed list lie in the
  // working folder.
  if (names.size() > 1 || typed) folders.emplace_back(kTypedNamesFile);
  hold_folders_of(run, folders);
  std::vector<Wanted> wanted;
  std::vector<std::string> refusal;
  for (const std::string& name : names) {
    for (const std::string& out : fixed_outputs(name)) wanted.push_back({out, an_output_of(name)});
    const std::vector<std::string> others = results_not_written_over(files.fs(), name, nullptr);
    refusal.insert(refusal.end(), others.begin(), others.end());
    files.reserve_prefix(output_prefix(name) + "_");
  }
  for (const auto& f : kRunWideFiles) {
    files.reserve_name(f.name);
    if (names.size() > 1) wanted.push_back({f.name, "a run-wide chronology file"});
  }
  files.reserve_name(kTypedNamesFile);
  if (typed) wanted.push_back({kTypedNamesFile, "the list of the names typed"});
  const std::vector<std::string> clashes = files.check(wanted);
  refusal.insert(refusal.begin(), clashes.begin(), clashes.end());
  if (refusal.empty()) return true;
  run.con.say("");
  say_lines(run, refusal);
  return false;
}

// Reads the data file names from the file on unit 9; returns false when the file holds
// none before its first blank record, names a data file that does not exist, or two
// names of one output prefix.
bool read_file_names(Run& run, const std::string& list) {
  run.file_count = 0;
  std::vector<std::string> names;
  std::string record;
  for (int index = 1; index <= kMaxNames; ++index) {
    if (!run.units.read_record(unit::file_names, record) || field(record, 5) == "     ") break;
    names.emplace_back(trim_right(record));
  }
  if (names.empty()) {
    run.con.say("");
    run.con.say("*** no data file names found ***");
    return false;
  }
  if (!listed_files_exist(run, list, names)) return false;
  if (refused_names(run, names)) {
    run.con.say(" *** give each data file its own name in " + list);
    return false;
  }
  if (!claim_output_names(run, list, names, false)) return false;
  run.file_count = static_cast<int>(names.size());
  const Layout echo("(t2,i5,2x,a)");
  for (std::size_t k = 0; k < names.size(); ++k) {
    run.con.say(echo.write(static_cast<int>(k + 1), name_field(names[k])));
  }
  return true;
}

Step file_names_question(Run& run) {
  run.commands.set_data_file("");
  run.con.say("");
  run.con.say("open the file listing the data file names");
  run.con.prompt(question_line("type h for help or <ret> to enter them"));
  const Answer a = run.con.read_name();
  const Meaning m = a.meaning({.quit = true, .help = true, .back = true, .whole_word = true});
  if (m == Meaning::quit) bail_out();
  if (m == Meaning::back || m == Meaning::help) run.con.again();
  if (m == Meaning::back) return Step::start1;
  if (m == Meaning::help) {
    helpm(2, run.con);
    return Step::file_names;
  }
  std::string name(trim_right(a.text));
  if (m == Meaning::blank) {
    run.commands.set_data_file(kTypedNamesFile);
    return Step::process;  // the caller runs the typed-names dialogue
  }
  run.commands.set_data_file(name);
  if (!run.units.open_old(unit::file_names, name)) {
    run.con.say("");
    say_unreadable(run, "*** file not found:  ", name);
    run.con.say(kListWanted);
    run.con.again();
    return Step::file_names;
  }
  run.con.say("");
  run.con.say(name_field(name) + " opened");
  if (read_file_names(run, name)) return Step::count_line;
  run.con.again();
  return Step::file_names;
}

// True when the typed name is a data file; otherwise says which file is missing.
bool typed_file_exists(Run& run, const std::string& typed) {
  const std::string name(trim_right(typed));
  if (run.units.files().fs().is_file(name)) return true;
  run.con.say("");
  say_unreadable(run, "*** data file not found:  ", name);
  run.con.say("*** type the name of an existing data file, or <ret> when done");
  return false;
}

// Names typed at the console, stored in "kalder_files.txt"; false sends the user back to
// the file-names question.
bool typed_names(Run& run) {
  run.con.say("");
  run.con.say("okay, so enter your data file name(s)");
  run.con.say("which will be stored in the new file: " + name_field(kTypedNamesFile));
  run.con.say("when done, hit <ret> to process the data file(s).");
  run.con.say("");
  std::vector<std::string> names;
  const Layout prompt("('file name #',i2,': ')");
  for (;;) {
    run.con.prompt(prompt.write(static_cast<int>(names.size()) + 1));
    const Answer a = run.con.read_name();
    const Meaning m = a.meaning({.back = true, .whole_word = true});
    if (m == Meaning::back) {
      if (names.empty()) {
        run.con.again();
        return false;
      }
      names.pop_back();  // the next name typed replaces the last one
      continue;
    }
    if (m == Meaning::blank) {
      if (!names.empty()) break;
      run.con.say("");
      run.con.say("*** no data file names entered ***");
      run.con.again();
      return false;
    }
    // A name that is no data file, or that shares its output prefix with one typed
    // before, is typed again, before any file of the run is written.
    if (!typed_file_exists(run, a.text)) {
      run.con.again();
      continue;
    }
    names.emplace_back(trim_right(a.text));
    if (refused_names(run, names)) {
      names.pop_back();
      run.con.again();
    }
  }
  // The list is written once its names are known: the run's inputs, and the folders it
  // writes into held, first.
  if (!claim_output_names(run, kTypedNamesFile, names, true)) {
    run.con.again();
    return false;
  }
  try {
    run.units.create(unit::file_names, kTypedNamesFile, Commit::on_close);
  } catch (const Stop& s) {
    run.con.say(stars_line(s.what()));
    return false;
  }
  for (const auto& n : names) run.units.write(unit::file_names, n);
  run.units.close(unit::file_names);
  run.units.open_old(unit::file_names, kTypedNamesFile);
  run.file_count = static_cast<int>(names.size());
  return true;
}

void count_line(Run& run) {
  run.units.rewind(unit::file_names);
  run.con.say("");
  run.con.say(Layout("('number of files to be processed: ',i5)").write(run.file_count));
}

Step title_question(Run& run) {
  run.run_title = std::string(80, ' ');
  run.con.say("");
  run.con.say("okay, enter your overall run title:");
  run.con.prompt("==> ");
  const Answer a = run.con.read(80);
  const Meaning m = a.meaning({.help = true, .back = true, .whole_word = true});
  if (m == Meaning::back || m == Meaning::help) run.con.again();
  if (m == Meaning::back) {
    run.units.close(unit::file_names);
    return Step::file_names;
  }
  if (m == Meaning::help) {
    helpm(3, run.con);
    return Step::count_line;
  }
  run.run_title = a.text;
  run.file_names_file = run.commands.data_file;
  return Step::batch_mode;
}

// One of the run's y/n questions, asked in the dialogue state `here`: a blank means
// `blank_means`, "b" goes back to the state `back`, "h" shows help page `help`.
struct YesNoQuestion {
  std::string_view text;
  Meaning blank_means;
  int help;
  Step here, back;
};

// The answer to one of the run's y/n questions: yes or no, or for any other answer the
// state the dialogue moves to. `letter` is the letter as typed (the default's for a blank),
// which the command block keeps.
struct YesNoAnswer {
  Meaning meaning;
  char letter;
  Step next;

  bool answered() const { return meaning == Meaning::yes || meaning == Meaning::no; }
};

// Asks a y/n question; "/" ends the run quietly.
YesNoAnswer ask_yes_no(Run& run, const YesNoQuestion& q) {
  const Answer a = run.con.ask(q.text, 1).or_quit();
  const Meaning m = a.meaning({.help = true, .back = true, .yes_no = true, .blank = q.blank_means});
  if (m == Meaning::help) helpm(q.help, run.con);
  if (m == Meaning::value) run.con.say(refusal(a, "enter y or n, h for help or b to go back"));
  if (m != Meaning::yes && m != Meaning::no) run.con.again();
  const char letter = a.blank() ? (q.blank_means == Meaning::yes ? 'y' : 'n') : a.first();
  return {m, letter, m == Meaning::back ? q.back : q.here};
}

Step batch_mode_question(Run& run) {
  run.commands.at(Commands::kBatchMode) = ' ';
  run.con.say("");
  const YesNoAnswer a = ask_yes_no(run, {"run in batch mode from log file? y/<n>/h", Meaning::no, 4,
                                         Step::batch_mode, Step::count_line});
  if (!a.answered()) return a.next;
  run.commands.at(Commands::kBatchMode) = a.letter;
  return run.commands.batch_run() ? Step::process : Step::same_commands;
}

Step same_commands_question(Run& run) {
  run.commands.at(Commands::kSameCommands) = ' ';
  if (run.file_count <= 1) {
    run.commands.at(Commands::kSameCommands) = 'y';
    return Step::log_files;
  }
  const YesNoAnswer a = ask_yes_no(run, {"use same commands for all runs? <y>/n/h ", Meaning::yes,
                                         5, Step::same_commands, Step::batch_mode});
  if (!a.answered()) return a.next;
  run.commands.at(Commands::kSameCommands) = a.letter;
  return Step::log_files;
}

Step continue_question(Run& run) {
  run.commands.at(Commands::kContinue) = ' ';
  run.con.say("");
  run.con.say("the log files have been created now.");
  const YesNoAnswer a = ask_yes_no(run, {"continue with run? <y>/n/h", Meaning::yes, 6,
                                         Step::continue_run, Step::same_commands});
  run.commands.at(Commands::kContinue) = a.letter;
  if (!a.answered()) return a.next;
  if (a.meaning == Meaning::no) stop_quietly();
  return Step::process;
}

}  // namespace

std::vector<std::string> banner(bool in_file) {
  const std::string stars(34, '*');
  const std::string empty = framed("");
  // In the general output file the rows from the program name to the date stand one
  // column to the right of the others.
  const std::string inset = in_file ? " " : "";
  std::vector<std::string> rows{stars, stars, empty};
  for (const std::string& r :
       {std::string("***    Program KALDER_45v1     ***"), empty,
        std::string("***       Creation Date:       ***"), framed("December 2026")}) {
    rows.push_back(inset + r);
  }
  rows.push_back(empty);
  rows.push_back(in_file ? "***       programmed by:       ***"
                         : "***       Programmed by:       ***");
  rows.push_back(framed(in_file ? "the dendro project team" : "The Dendro Project Team"));
  rows.push_back(empty);
  rows.push_back(stars);
  rows.push_back(stars);
  const std::string margin(in_file ? 24 : 25, ' ');
  for (auto& r : rows) r = margin + r;
  return rows;
}

void start_up(Run& run) {
  run.commands.at(Commands::kPooledArSwitch) = 'n';
  run.commands.set_mask("");
  run.commands.at(Commands::kPlotMode) = '2';
  run.con.say("");
  for (const auto& row : banner(false)) run.con.say(row);
  run.con.say("");
  run.con.say(Layout("(t18,'MAXIMUM tree-ring chronology length: ',t65,i5)").write(kMaxYears));
  run.con.say(
      Layout("(t18,'MAXIMUM number of tree-ring series:  ',t65,i5)").write(kMaxSeriesKalder));
}

void run_dialogue(Run& run) {
  Step step = Step::start1;
  for (;;) {
    switch (step) {
      case Step::start1:
        step = start_prompt(run, 1);
        break;
      case Step::start2:
        step = start_prompt(run, 2);
        break;
      case Step::start3:
        step = start_prompt(run, 3);
        break;
      case Step::file_names:
        step = file_names_question(run);
        if (step == Step::process) step = typed_names(run) ? Step::count_line : Step::file_names;
        break;
      case Step::count_line:
        count_line(run);
        step = Step::title;
        break;
      case Step::title:
        step = title_question(run);
        break;
      case Step::batch_mode:
        step = batch_mode_question(run);
        break;
      case Step::same_commands:
        step = same_commands_question(run);
        break;
      case Step::log_files:
        mlf(run.units, run.icommands, run.commands, run.con);
        run.units.rewind(unit::file_names);
        step = Step::continue_run;
        break;
      case Step::continue_run:
        step = continue_question(run);
        break;
      case Step::process:
        return;
    }
  }
}

// Every log file of the list is read before any data file is processed: a missing one
// ends the run before a data file's file is written, naming all that are missing; so does
// an output that the options of a data file write over an input of the run, under a name
// of the run-wide set, or over results of another data file or program. The log files read
// are no file to save a plot page over.
bool log_files_found(Run& run) {
  const std::vector<std::string> names = names_left(run.units);
  run.units.rewind(unit::file_names);
  for (const std::string& name : names) run.units.files().mark_read(log_file_name(name));
  const std::vector<std::string> missing = missing_log_files(run.units.files().fs(), names);
  if (!missing.empty()) {
    say_missing_log_files(run.con, run.units.files().fs(), missing);
    return false;
  }
  const std::vector<std::string> refusal = outputs_by_options(run.units, names, run_wide_names());
  if (refusal.empty()) return true;
  run.con.say("");
  say_lines(run, refusal);
  return false;
}

void process_files(Run& run) {
  run.file_count = 0;
  if (!log_files_found(run)) {
    run.failed = true;
    return;
  }
  // The run-wide files replace an earlier run's only at the end of a run that keeps them,
  // as one set. A list of one data file never keeps them: they are written to memory only,
  // so that the run leaves the names alone, for other runs too.
  const bool run_wide_kept = names_left(run.units).size() > 1;
  run.units.rewind(unit::file_names);
  for (const auto& f : kRunWideFiles) {
    if (run_wide_kept) {
      run.units.create(f.unit, f.name, Commit::with_run);
    } else {
      run.units.create_in_memory(f.unit, f.name);
    }
  }
  for (std::string name; next_listed_name(run.units, name);) {
    stop_if_interrupted();
    run.commands.set_data_file(name);
    if (!set_up_file(run)) {
      run.failed = true;
      close_run_wide_files(run, true);
      report_unprocessed(run, name);
      return;
    }
    begin_data_file(run);
    process_data_file(run);
    finish_data_file(run);
  }
}

void end_of_run(Run& run) {
  for (int u : {unit::file_names, unit::data, unit::out, unit::spare, unit::log, unit::tabs,
                unit::crns, unit::errs}) {
    run.units.close(u);
  }
  close_run_wide_files(run, false);
  say_lines(run, run.units.files().close_journals());
  run.con.say("");
  run.con.say(" |====== as wex vostrand would say, \"this is the end.\" ======|");
  run.con.say("");
  try {
    run.con.pause(" hit return to quit");
  } catch (const Stop& s) {
    // End of input at the last pause is the normal end of a scripted run.
    if (interrupted(s)) throw;
  }
}

int kalder_main(std::istream& in, std::ostream& out) {
  Console con(in, out);
  // The files of a data file wait for each other until it has been processed to its end.
  Run run(con, PlotSession::Screen::detect, Commit::with_data_file);
  const CatchInterrupts interrupts;
  try {
    start_up(run);
    run_dialogue(run);
    process_files(run);
    end_of_run(run);
  } catch (const Stop& s) {
    if (!s.shown && !std::string(s.what()).empty()) con.say(s.what());
    settle_stopped_run(run, s.what());
    out.flush();
    return s.status;
  } catch (const std::exception& e) {
    // The program's outer boundary: a fault of our own (a broken invariant, no memory)
    // is said on the console, and the output files are settled as for a stop.
    const std::string message = std::string("*** internal error: ") + e.what();
    con.say(message);
    settle_stopped_run(run, message);
    out.flush();
    return 2;
  }
  out.flush();
  return run.failed ? kFailureStatus : 0;
}

}  // namespace dendro
