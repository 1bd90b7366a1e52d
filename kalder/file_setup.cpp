#include "kalder/file_setup.h"

#include "kalder/detail.h"
#include "kalder/file_list.h"
#include "kalder/program.h"
#include "options/labels.h"
#include "options/log_file.h"
#include "series/files/stop.h"
#include "series/fit_codes.h"
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

void write_out(Run& run, std::string_view text) { run.units.write(unit::out, text); }

void write_header(Run& run) {
  write_out(run, "");
  for (const auto& row : banner(true)) write_out(run, row);
  write_out(run, Layout("(/t2,'|',78('='),'|')").write());
  write_out(run, Layout("(/t2,'overall run title: ',a)").write(run.run_title));
  write_out(
      run,
      Layout("(/t2,'file names file processed: ',t35,a)").write(name_field(run.file_names_file)));
}

// Resets the series store rows for a new data file.
void reset_series_store(Run& run) {
  run.tsi1.years.assign(kMaxSeriesKalder + 2, SeriesYears{});
  for (int i = 1; i <= kMaxSeriesKalder; ++i) {
    SeriesYears& row = run.tsi1.year_row(i);
    row.itn = run.icommands[opt::transformation];
    row.icu = 1;
    row.ics = 1;
    row.cpa = i;
  }
  run.tsi1.ids.assign(kMaxSeriesKalder, std::string(8, ' '));
  run.tsi1.detail_rows = 0;
  run.rcs_series.assign(kMaxSeriesKalder, 0);
}

void set_kind_codes(Run& run) {
  static constexpr const char* kKinds[] = {"mr", "qz", "ir", "cd"};
  static constexpr const char* kWrites[] = {"iw", "qz", "iw", "iw"};
  int type = run.icommands[opt::data_type];
  if (type < 1 || type > 4) type = 1;  // the log file reader accepts 1 to 4 only
  run.commands.set_data_kind(kKinds[type - 1]);
  run.commands.set(Commands::kWriteModeFirst, Commands::kWriteModeLast, kWrites[type - 1]);
  run.commands.set(Commands::kSavedKindFirst, Commands::kSavedKindLast, kKinds[type - 1]);
}

}  // namespace

std::vector<std::string> option_record(const Icommands& c, const Commands& commands) {
  std::vector<std::string> lines{"                       opt          plt"};
  // The line of option item `item`: the values of `elements`, then the item's label.
  auto add = [&](std::string_view layout, std::initializer_list<OptionElement> elements, int item) {
    lines.push_back(option_line(layout, c, elements, option_label(item, c)));
  };
  add("(t2,'tree-ring data type',t21,i5,t42,a)", {opt::data_type}, 1);
  add("(t2,'missing data in gaps',t21,i5,i13,t42,a)", {opt::missing_data, opt::missing_data_plots},
      2);
  add("(t2,'data transformation',t21,i5,i13,t42,a)",
      {opt::transformation, opt::transformation_plots}, 3);
  add("(t2,'first detrending',t21,i5,i7,i6,t42,a)",
      {opt::first_detrending, opt::first_detrending_parameter, opt::first_detrending_plots}, 4);
  const bool rcs = c[opt::first_detrending] == fit::regional_curve;
  lines.push_back(option_line(
      "(t2,'second detrending',t21,i5,i7,i6,t42,a)", c,
      {opt::second_detrending, opt::second_detrending_parameter, opt::second_detrending_plots},
      detrending_label(5, c[opt::second_detrending], rcs ? "rcs-" : "2nd-")));
  add("(t2,'robust detrending',t21,i5,t42,a)", {opt::robust_detrending}, 6);
  add("(t2,'interactive detrend',t21,i5,t42,a)", {opt::interactive}, 7);
  add("(t2,'index calculation',t21,i5,t42,a)", {opt::index_calculation}, 8);
  add("(t2,'ar modeling method',t21,i5,i13,t42,a)", {opt::ar_method, opt::ar_method_plots}, 9);
  add("(t2,'pooled ar order',t21,i5,i13,t42,a39)", {opt::pooled_ar_order, opt::pooled_ar_plots},
      10);
  add("(t2,'series ar order',t21,i5,t42,a)", {opt::series_ar_order}, 11);
  add("(t2,'mean chronology',t22,i4,i4,i5,i4,t42,a)",
      {opt::mean_chronology, opt::bootstrap_limits, opt::bootstrap_spline, opt::bootstrap_plots},
      12);
  add("(t2,'stabilize variance',t21,i5,t42,a)", {opt::stabilisation}, 13);
  lines.push_back(common_period_line("common period years", 25, 42, c));
  lines.push_back(Layout("(t2,'site-tree-core mask',t28,a8,t42,a)")
                      .write(commands.get(Commands::kSavedMaskFirst, Commands::kSavedMaskLast),
                             option_label(15, c)));
  add("(t2,'running rbar',t25,2i5,i4,t42,a)",
      {opt::running_rbar_window, opt::running_rbar_overlap, opt::running_rbar_plots}, 16);
  add("(t2,'printout option',t21,i5,t42,a)", {opt::printout}, 17);
  add("(t2,'core series save',t21,i5,t42,a)", {opt::core_series_save}, 18);
  add("(t2,'summary plot displays',t24,i2,t42,a)", {opt::summary_plots}, 19);
  add("(/t2,'stand dynamics stuff',t21,i5,i13,t42,a)",
      {opt::stand_dynamics, opt::stand_dynamics_plots}, 20);
  add("(t2,'running mean window',t21,i5,t42,a)", {opt::release_window}, 21);
  // Thresholds run up to 200: three columns, ending where a two-digit one always has.
  add("(t2,'percent growth change',t23,i3,t42,a)", {opt::release_threshold}, 22);
  add("(t2,'std error threshold',t21,i5,t42,a)", {opt::release_error_limit}, 23);
  return lines;
}

bool set_up_file(Run& run) {
  const std::string& name = run.commands.data_file;
  run.prefix = output_prefix(name);
  const std::string shown = name_field(name);

  // The inputs are opened and read first: a data file that cannot be set up leaves the
  // output files of an earlier run as they were.
  if (!run.units.open_old(unit::data, std::string(trim_right(name)))) {
    run.con.say("");
    run.con.say("data file not found:  " + shown);
    run.con.say("");
    run.con.say("check file names in:  " + name_field(run.file_names_file));
    return false;
  }
  const std::string log_name = log_file_name(name);
  if (!run.units.open_old(unit::log, log_name)) {
    say_missing_log_files(run.con, run.units.files().fs(), {log_name});
    return false;
  }
  run.batch_status = batch(run.units, run.icommands, run.commands, run.con, shown);
  if (run.batch_status > 0) return false;

  run.units.create(unit::out, run.prefix + "_out.txt");
  write_header(run);
  write_out(run, Layout("(t2,'data file processed: ',t35,a)").write(shown));
  write_out(run, Layout("(t2,'log file processed: ',t35,a/)").write(name_field(log_name)));
  run.units.create(unit::tabs, run.prefix + "_tabs.txt");
  run.units.create(unit::crns, run.prefix + "_crns.txt");
  run.units.create(unit::errs, run.prefix + "_errs.txt");

  run.commands.set(Commands::kSavedMaskFirst, Commands::kSavedMaskLast, run.commands.mask());
  ++run.file_count;
  reset_series_store(run);
  if (run.commands.batch_run()) read_detail(run.units, run.prefix, run.tsi1, run.con);
  set_kind_codes(run);
  run.summary_plots_state = run.icommands[opt::summary_plots];
  for (const auto& line : option_record(run.icommands, run.commands)) write_out(run, line);
  write_out(run, Layout("(/t2,'|======================== raw data ',"
                        "'statistical analyses =======================|')")
                     .write());
  return true;
}

ChronologyIds header_line_checks(std::string_view id_stem, const ChronologyIds& ids,
                                 Commands& commands) {
  ChronologyIds fixed{field(ids.chronology_id, 8), field(ids.data_title, 85)};
  fixed.chronology_id.replace(0, 6, field(id_stem, 6));
  auto blank6 = [](const std::string& line) { return line.substr(0, 6) == "      "; };
  std::string line1 = commands.header_line(1);
  if (blank6(line1)) {
    line1.replace(0, 80, field(fixed.data_title, 80));
    line1.replace(58, 22, "1st itrdb line missing");
    commands.set_header_line(1, line1);
  }
  const char* const tags[] = {"2nd itrdb line missing", "3rd itrdb line missing"};
  for (int h = 2; h <= 3; ++h) {
    std::string line = commands.header_line(h);
    if (!blank6(line)) continue;
    line.replace(0, 58, line1.substr(0, 58));
    line.replace(58, 22, tags[h - 2]);
    commands.set_header_line(h, line);
  }
  return fixed;
}

}  // namespace dendro
