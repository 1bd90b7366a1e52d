#include "pelliform/startup.h"

#include "pelliform/dialogue.h"
#include "pelliform/file_names.h"
#include "pelliform/loader.h"
#include "series/blocks.h"
#include "series/files/file_system.h"
#include "series/files/forms.h"
#include "series/files/stop.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kNameField = 50;  // the data file name as the report file shows it

// The number of negative values of each series; each series that holds any is listed.
int count_missing(PelliformRun& run) {
  int total = 0;
  for (int s = 0; s < run.set.count(); ++s) {
    const auto k = static_cast<std::size_t>(s);
    int n = 0;
    for (float v : run.set.values[k]) n += v < 0.0f ? 1 : 0;
    if (n > 0) {
      run.con.say(
          Layout("('Series ',a8,' has',i4,' missing (negative) values')").write(run.set.ids[k], n));
    }
    total += n;
  }
  return total;
}

[[noreturn]] void abnormal_end(PelliformRun& run, int missing) {
  run.con.say(Layout("('Missing (negative) values encountered: ',i9)").write(missing));
  run.con.say("Run the data set through KALDER to fill the gaps and save the data.");
  run.con.say("");
  run.con.say(std::string("Abnormal termination of program Pelliform_Version ") +
              pelliform_names::kVersion);
  run.con.say("");
  run.con.pause("Hit RETURN to Quit");
  throw Stop("", kFailureStatus);
}

// Series without values have no years to place; the engine is not given them. The others
// keep their places among the data file's series, by which pith offsets are given.
void drop_empty_series(PelliformRun& run) {
  run.set.keep_if([&](std::size_t k) {
    if (run.set.rows[k].count > 0) return true;
    run.con.say(" *** series " + std::string(trim_right(run.set.ids[k])) +
                " holds no values: left out");
    return false;
  });
  run.set.summary = run.set.span_of_series();
}

// The report of a newly chosen data file replaces an earlier report of that name only
// now that the file has loaded: a run that ends before keeps the earlier report, and a
// retry that loads the same file again goes on writing the report already begun.
void open_report(PelliformRun& run) {
  if (run.report_opening.empty()) return;
  run.units.create(pelliform_unit::report, report_file_name(run.data_file));
  for (const std::string& line : run.report_opening) run.report(line);
  run.report_opening.clear();
}

constexpr std::string_view kDataFileHead = "DATA FILE TO PROCESS: ";

// The data file whose results the report of that name holds, as its opening names it;
// nothing when there is no such report or line.
std::string reported_data_file(FileSystem& fs, const std::string& report) {
  const std::string line =
      first_line(fs, report, [](const std::string& l) { return l.starts_with(kDataFileHead); });
  if (line.empty()) return "";
  const std::string_view rest = trim(std::string_view(line).substr(kDataFileHead.size()));
  return std::string(rest);
}

// What files of this run's names hold that another data file or kalder wrote, which the run
// replaces only when the user says so: two lines for each, what it holds and what this run
// does with it.
std::vector<std::string> results_to_replace(PelliformRun& run, const std::string& data_file) {
  FileSystem& fs = run.units.files().fs();
  std::vector<std::string> lines;
  const std::string report = report_file_name(data_file);
  const std::string other = reported_data_file(fs, report);
  if (!other.empty() && fs.identity(other) != fs.identity(data_file)) {
    lines.push_back(" *** " + report + " holds the results of " + other + ":");
    lines.push_back(" *** this run of " + data_file + " replaces them and the other " +
                    file_stem(data_file) + "_ files");
  }
  // The spectra are named by the name up to its first blank, of 40 characters at most: a
  // file of that name may be another data file's, or kalder's.
  const std::string spectra = spectra_stem(data_file) + kSpectraSuffix;
  const std::string head = first_line(fs, spectra, [](const std::string&) { return true; });
  const bool kalders = head.find("POWER_KLD_CRN") != std::string::npos;
  if (fs.exists(spectra) && (kalders || spectra_stem(data_file) != file_stem(data_file))) {
    lines.push_back(
        " *** " + spectra + " holds " +
        (kalders ? std::string("kalder's spectra of a data file of that name")
                 : "the spectra of a data file whose name begins " + spectra_stem(data_file)) +
        ":");
    lines.push_back(" *** this run of " + data_file + " replaces it with its own spectra");
  }
  return lines;
}

// When files of the data file's names hold another data file's results (site.rwl, then
// site.txt) or kalder's, asks before this run replaces them; no, the default, ends the run
// with nothing replaced.
void confirm_replacing(PelliformRun& run, const std::string& data_file) {
  const std::vector<std::string> others = results_to_replace(run, data_file);
  if (others.empty()) return;
  run.con.say("");
  for (const std::string& line : others) run.con.say(line);
  for (;;) {
    const Answer a = ask50(run.con, "Replace them? y/<n>", 1);
    if (a.letter('y')) return;
    if (a.quit()) stop_quietly();
    if (a.blank() || a.letter('n')) {
      run.con.say(" *** nothing replaced: the run ends here");
      stop_quietly();
    }
    run.con.say(refusal(a, "answer y to replace them, or n or <ret> to end the run"));
    run.con.again();
  }
}

// The names the run may write for the data file, before it writes any: the folder they
// lie in is held for the run and what runs cut short left there is mended, before anything
// of them is read; then those it writes whatever its options are checked against the data
// file and for devices and FIFOs. False, with the refusal said, when a name clashes;
// another run that holds the folder ends this one.
bool claim_output_names(PelliformRun& run, const std::string& data_file) {
  OutputFiles& files = run.units.files();
  files.protect(data_file, "the data file");
  const Holding holding = files.hold(fixed_outputs(data_file));
  if (!holding.refusal.empty()) throw Stop(joined_lines(holding.refusal), kFailureStatus);
  for (const std::string& line : mended_lines(holding.mended)) run.con.say(line);
  // Every name the run may write is checked now, the engine's series files among them, so
  // that none is met as too long or as another user's only once the work is done.
  std::vector<Wanted> wanted;
  for (const std::string& name : possible_outputs(data_file)) {
    wanted.push_back({name, "an output of " + data_file});
  }
  if (const std::vector<std::string> clashes = files.check(wanted); !clashes.empty()) {
    run.con.say("");
    for (const std::string& line : clashes) run.con.say(line);
    files.give_back_folder_of(data_file);
    return false;
  }
  files.reserve_prefix(file_stem(data_file) + "_");
  files.reserve_prefix(spectra_stem(data_file) + "_");
  files.reserve_name(report_file_name(data_file));
  return true;
}

void size_summary(PelliformRun& run) {
  const SetSpan& s = run.set.summary;
  const std::string heading = size_heading(s);
  run.con.say(heading);
  run.con.say(size_row("Total series read in:", run.set.count(), s, ""));
  run.report(heading);
  run.report(size_row("TOTAL SERIES READ IN:", run.set.count(), s,
                      "  SERIES, FIRST YEAR, LAST YEAR, TOTAL YEARS"));
}

}  // namespace

std::vector<std::string> banner() {
  const std::string stars(34, '*'), empty = "***                            ***";
  std::vector<std::string> box{
      stars,
      stars,
      "***     Program  Pelliform     ***",
      empty,
      "***       Creation Date:       ***",
      "***         10/17/2013         ***",
      empty,
      Layout("('***     Max Series:  ',i4,'      ***')").write(kMaxSeriesPelliform),
      Layout("('***     Max Years :  ',i4,'      ***')").write(kMaxYears),
      empty,
      std::string("********* Version ") + pelliform_names::kVersion + " ********",
      stars};
  for (std::string& line : box) line = Layout("(t17,a)").write(line);
  return box;
}

std::vector<std::string> gap_warning() {
  const std::string stars(67, '*');
  std::vector<std::string> box{
      stars,
      "*** WARNING: THERE IS NO GAP FILLING CAPACITY IN THIS PROGRAM.  ***",
      "*** SO IF YOU HAVE GAPS INDICATED BY NEGATIVE VALUES (NO -9999) ***",
      "*** RUN THE DATA THROUGH KALDER FIRST AND USE THE SAVE SERIES   ***",
      "*** OPTION 18 AND THE TUCSON RWL FORMAT SAVE OPTION TO PROVIDE  ***",
      "*** THE GAP-FILLED DATA FOR USING IN THIS PROGRAM. CLEVER, HUH? ***",
      stars};
  for (std::string& line : box) line = Layout("(t2,a)").write(line);
  return box;
}

void start_up(PelliformRun& run) {
  run.args.rcs_flag = 0;
  run.args.pith_offset_flag = false;
  run.args.retry_rcs = false;
  for (const std::string& line : banner()) run.con.say(line);
  for (const std::string& line : gap_warning()) run.con.say(line);
}

void choose_data_file(PelliformRun& run) {
  // Each pass reads an answer, so the end of the input ends the loop.
  for (;;) {
    // The name is read whole, so that a long path is not cut to the field.
    run.con.prompt(prompt_line50("Enter data file name to process (/ to exit)"));
    const std::string typed = run.con.read_line();
    const std::string name = field(typed, kNameField);
    if (quit_name(name)) stop_quietly();
    if (name.substr(0, 2) == "  ") {
      run.con.say("There was an error reading your entry.");
      run.con.pause("Hit return to enter a new file name or / to exit program.");
      run.con.again();
      continue;
    }
    const std::string as_typed(trim_right(typed));
    FileSystem& fs = run.units.files().fs();
    if (const std::string why = unreadable_reason(fs, as_typed); !why.empty()) {
      run.con.say("");
      // A name that cannot be reached or read is said with its reason only, never as not found.
      if (fs.target_status(as_typed).failure.empty()) {
        run.con.say("File > " + name.substr(0, 25) + " < not found");
      }
      if (why != kNoSuchFile) run.con.say(" *** " + as_typed + ": " + why);
      run.con.say("");
      run.con.pause("Hit return to enter a new file name or / exit program.");
      run.con.again();
      continue;
    }
    if (!claim_output_names(run, as_typed)) {
      run.con.again();
      continue;
    }
    confirm_replacing(run, as_typed);
    run.data_file = as_typed;
    run.stem = file_stem(as_typed);
    run.args.data_file_name = as_typed;
    run.report_opening = {
        "", "THE OFFICIAL SIGNAL FREE PROGRAM OUTPUT FILE",
        "DATA FILE TO PROCESS: " + field(as_typed, std::max(kNameField, as_typed.size()))};
    run.args.restart_counter = 0;
    return;
  }
}

bool load_data(PelliformRun& run) {
  if (!run.units.open_old(pelliform_unit::data, run.data_file)) {
    throw Stop("*** cannot open the data file " + run.data_file, kFailureStatus);
  }
  run.set = SeriesSet{};
  LoadStatus status = loaddat(run.con, run.units, pelliform_unit::data, run.set);

  // A load that failed has no set to test: the user chooses another file or quits below.
  if (status == LoadStatus::loaded) {
    run.con.say("Regardless of the warning, test for missing data flags:");
    const int missing = count_missing(run);
    if (missing > 0) abnormal_end(run, missing);
    run.con.say("No missing data flags (negative numbers) encountered. Proceed!");
  }
  run.units.close(pelliform_unit::data);

  if (status == LoadStatus::loaded) {
    drop_empty_series(run);
    if (run.set.count() == 0) {
      run.con.say(" *** no series were read from the data file");
      status = LoadStatus::failed;
    }
  }
  if (status == LoadStatus::failed) {
    const Answer a = ask50(run.con, "[T]ry again or [Q]uit the program now?", 1);
    if (a.letter('t')) return false;
    run.con.say("Program Terminating");
    throw Stop("", kFailureStatus);
  }
  open_report(run);
  size_summary(run);
  return true;
}

}  // namespace dendro
