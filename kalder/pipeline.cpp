#include "kalder/pipeline.h"

#include <cmath>

#include "chronology/ar_filters.h"
#include "chronology/armod.h"
#include "chronology/pool.h"
#include "chronology/robsum.h"
#include "detrending/detrend.h"
#include "detrending/detrend_plots.h"
#include "detrending/stage_plots.h"
#include "detrending/transform.h"
#include "kalder/bootstrap_files.h"
#include "kalder/chronology_files.h"
#include "kalder/detail.h"
#include "kalder/file_setup.h"
#include "kalder/rbar_stage.h"
#include "kalder/rcs_stage.h"
#include "kalder/stand_dynamics.h"
#include "kalder/summary_plots.h"
#include "plots/gap_plot.h"
#include "series/autoregression.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/fit_codes.h"
#include "series/gap_filling.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"
#include "series/trread.h"

namespace dendro {
namespace {

// A stage banner of the general output file: an empty line, then the line from column 2.
void banner_line(Run& run, std::string_view text) {
  run.units.write(unit::out, "");
  run.units.write(unit::out, " " + std::string(text));
}

void write_out(Run& run, std::string_view text) { run.units.write(unit::out, text); }

// Writes the lines of a note, after an empty line, on the console and in the general
// output file; nothing for an empty note.
void note(Run& run, const std::vector<std::string>& lines) {
  if (lines.empty()) return;
  run.con.say("");
  write_out(run, "");
  for (const std::string& line : lines) {
    run.con.say(line);
    write_out(run, line);
  }
}

// The chronology id takes the first six characters of the output prefix, so that data
// files whose prefixes begin alike share one id in the run-wide chronology files. The id
// stays as it is; the second data file of such a pair says so when it gets the id.
void note_shared_chronology_id(Run& run) {
  const std::string id(trim_right(run.chronology_id.substr(0, 6)));
  const std::string name(trim_right(run.commands.data_file));
  const auto [first, fresh] = run.chronology_id_files.try_emplace(id, name);
  if (fresh || first->second == name) return;
  note(run, {" *** note: data files " + first->second + " and " + name +
                 " share the chronology id " + id,
             " *** (the first six characters of their output prefixes) in the run-wide files"});
}

// Fixes the chronology id and the data title, and builds the missing header lines.
void check_header_lines(Run& run) {
  const ChronologyIds ids = header_line_checks(chronology_id_stem(run.commands.data_file),
                                               {run.chronology_id, run.data_title}, run.commands);
  run.chronology_id = ids.chronology_id;
  run.data_title = ids.data_title;
}

void restore_headers(Run& run) {
  for (int h = 1; h <= 3; ++h) run.commands.set_header_line(h, run.saved_headers[h - 1]);
}

// Writes `tag` into the data title at `position` (1-based) to the end of its 85 characters.
void tag_title(Run& run, int position, std::string_view tag) {
  run.data_title = field(run.data_title, 85);
  run.data_title.replace(at(position), tag.size(), tag);
}

// Writes the series of the store to prefix + suffix in the format of option 18, with the
// three title records (the saved header lines tagged in place) for the tucson and mib pex
// formats.
void save_series(Run& run, std::string_view suffix, std::string_view title_tag, int tag_at,
                 std::string_view kind_tag) {
  const int format = run.icommands[opt::core_series_save];
  if (!series_saved(format)) return;
  std::ostream& out = run.units.create(unit::series, run.prefix + std::string(suffix));
  if (saved_with_header_lines(format)) {
    for (auto& line : run.saved_headers) {
      line = field(line, 85);
      line.replace(at(tag_at), title_tag.size(), title_tag);
      out << line << '\n';
    }
  }
  sis(out, run.tsi1, format, kind_tag, run.con);
  run.units.close(unit::series);
}

// Series reading, the chronology's year axis and the alignment of every series on it.
void read_series(Run& run) {
  TrreadResult r = trread(run.units, run.tsi1, run.stats, run.commands, run.icommands, run.con);
  note(run, detail_id_note(detail_file_name(run.prefix), r.detail_id_mismatches));
  run.series_with_gaps = r.series_with_gaps;
  if (r.largest_mean) run.largest_mean = *r.largest_mean;
  run.presence = std::move(r.presence);
  run.data_title = r.title;
  run.index_notes = {};
  run.chronology_id =
      chronology_id_stem(run.commands.data_file) + field(r.current_id, 8).substr(6, 2);
  note_shared_chronology_id(run);

  const SeriesYears& span = run.tsi1.year_row(run.tsi1.count + 1);
  run.first_year = span.ify;
  run.last_year = span.ily;
  run.length = std::max(run.last_year - run.first_year + 1, 0);
  run.tsi2.reshape(run.length);
  for (int c = tsi2col::depth; c <= tsi2col::rcs_curve; ++c) {
    for (float& v : run.tsi2.column(c)) v = kMissing;
  }
  const std::size_t n = count(run.length);
  run.depth.assign(n, 0);
  run.error.assign(n, 0.0f);
  run.lower.assign(n, 0.0f);
  run.upper.assign(n, 0.0f);
  run.tsi1.overlay.assign(n, kMissing);
  // A data file whose running rbar is not computed must not plot the previous file's.
  run.window_count = 0;
  align_on_chronology(run.tsi1);
}

// A data title and header lines for files that carry none.
void fill_titles(Run& run) {
  if (run.data_title.substr(0, 6) == "      ") {
    run.data_title = field(std::string(own_name(run.prefix)) + " -- no data title --", 85);
  }
  check_header_lines(run);
  for (int h = 1; h <= 3; ++h) run.saved_headers[h - 1] = run.commands.header_line(h);
}

// Builds the mean chronology of `mean_kind` into column `column` of the chronology table,
// with the latest sample depth, error series and limits of the run.
void build_chronology(Run& run, MeanKind mean_kind, int column) {
  const char kind = static_cast<char>(mean_kind);
  run.commands.set_data_kind(std::string(1, kind) + " ");
  restore_headers(run);
  ChronologyColumns out{run.depth,
                        run.tsi2.column(tsi2col::segment_length),
                        run.tsi2.column(tsi2col::tree_age),
                        run.tsi2.column(column),
                        run.error,
                        run.lower,
                        run.upper};
  store(robsum(run.tsi1, mean_kind, run.largest_mean, run.all_series_rbar, run.icommands,
               {run.commands, run.units, run.plots}, run.rand),
        out);
}

// Years without series hold 1.0 in an index chronology; the mean overlay follows it.
void fill_empty_years(Run& run, int column) {
  for (int j = 1; j <= run.length; ++j) {
    float& v = run.tsi2.at(j, column);
    if (run.depth[at(j)] == 0) v = 1.0f;
    run.tsi1.overlay[at(j)] = v;
  }
}

void copy_depth_to_table(Run& run) {
  for (int j = 1; j <= run.length; ++j) {
    run.tsi2.at(j, tsi2col::depth) = static_cast<float>(run.depth[at(j)]);
  }
}

void raw_chronology(Run& run) {
  banner_line(run,
              "|======================== raw data chronology statistics "
              "======================|");
  build_chronology(run, MeanKind::raw, tsi2col::raw);
  copy_depth_to_table(run);
  for (int j = 1; j <= run.length; ++j) run.tsi1.overlay[at(j)] = run.tsi2.at(j, tsi2col::raw);
  bootstrap_files(run, BootstrapPass::raw);
  spaghetti_plot(run, SpaghettiPoint::raw_mean);
  check_header_lines(run);
  tag_title(run, 78, " raw crn");
  write_chronology(run, ChronologyKind::raw, run.tsi2.column(tsi2col::raw), run.depth, run.error);
}

// Under the power transformation an index chronology is reshaped toward symmetry.
void adjust_symmetry(Run& run, int column) {
  if (run.icommands[opt::transformation] == transform_code::power) {
    symmetry_adjustment(run, column, run.depth);
  }
}

// The tag of the standard, residual and kalder chronologies in the data title.
void tag_index_chronology(Run& run, std::string_view kind) {
  if (run.icommands[opt::stabilisation] != 0) {
    tag_title(run, 73, " stab " + std::string(kind) + " crn");
  } else {
    tag_title(run, 78, " " + std::string(kind) + " crn");
  }
}

// Tells on the console and in the general output file which series a batch detail file
// gives a code of their own for a stage, in place of the log file's option.
void note_detail_codes(Run& run, std::string_view stage, std::string_view column, int option,
                       const std::vector<int>& codes) {
  note(run, detail_code_note(detail_file_name(run.prefix), stage, column, option, codes));
}

// The transformation of the measurements (option 3), with its series file.
void transform_series(Run& run) {
  if (run.icommands[opt::transformation] <= 0) return;
  banner_line(run,
              "|==================== transformed data statistical analyses "
              "===================|");
  if (run.commands.batch_run()) {
    // Above 3 the code is the power that the power transformation (option 4) fitted before.
    const int option = run.icommands[opt::transformation];
    std::vector<int> own;
    for (int i = 1; i <= run.tsi1.count; ++i) {
      const int code = run.tsi1.year_row(i).itn;
      if (code != option && !(option == transform_code::power && code > 3)) own.push_back(code);
    }
    note_detail_codes(run, "transformation", "itn", option, own);
  }
  trnfrm(run.tsi1, run.stats, run.tsi2, run.icommands, run.commands, run.units, run.con,
         stage_plot_layer(run.plots, run.icommands, run.commands));
  save_series(run, "_trn.txt", "  trn", 81, "trn");
  spaghetti_plot(run, SpaghettiPoint::transformed);
  rbar_stage(run, SeriesStage::transformed);
}

// Regional curve standardization in place of the detrending passes (first option -2).
void regional_curve(Run& run) {
  run.depth = regional_curve_stage(run, run.plots, run.rand).depth;
  run.tsi1.overlay.assign(count(run.length), kMissing);
}

// First differences start every series one year later: the chronology axis follows, and
// the raw chronology moves up one row to stay on it.
void first_differences_axis(Run& run) {
  run.first_year += 1;
  run.length -= 1;
  run.tsi1.year_row(run.tsi1.count + 1).ify = run.first_year;
  std::span<float> raw = run.tsi2.column(tsi2col::raw);
  for (int j = 1; j <= run.length; ++j) raw[at(j)] = raw[at(j + 1)];
}

// The detrending code of every series as the batch detail file gave it (nothing in an
// interactive run, whose rows hold the reset's 0).
std::vector<int> batch_detail_codes(Run& run) {
  std::vector<int> codes;
  if (!run.commands.batch_run()) return codes;
  for (int i = 1; i <= run.tsi1.count; ++i) codes.push_back(run.tsi1.year_row(i).idt);
  return codes;
}

// Both detrending passes; false when the first detrending option is 0 (no detrending).
bool detrend_series(Run& run) {
  const int first = run.icommands[opt::first_detrending];
  const int second = run.icommands[opt::second_detrending];
  if (first == fit::none) return false;
  banner_line(run,
              "|================== detrended data curve fits and statistics "
              "==================|");
  if (first == fit::regional_curve) {
    regional_curve(run);
    return true;
  }
  const DetrendPlots plots = plot_layer(run.plots, run.icommands, run.commands);
  // A batch run repeats the interactive run's fit of each series: the detail file's codes
  // (the last pass's) drive the last pass.
  const std::vector<int> detail_codes = batch_detail_codes(run);
  const int last_pass = second == fit::none ? 1 : 2;
  for (int pass = 1; pass <= last_pass; ++pass) {
    const int option = pass == 1 ? first : second;
    banner_line(run, pass == 1 ? "|------------------------ results of first detrending "
                                 "-------------------------|"
                               : "|------------------------ results of second detrending "
                                 "------------------------|");
    restore_headers(run);
    const std::vector<int> own =
        detrend(run.tsi1, run.icommands, run.commands, run.units, run.con, run.stats,
                pass == 1 ? DetrendingPass::first : DetrendingPass::second, plots, run.presence,
                pass == last_pass ? std::span<const int>(detail_codes) : std::span<const int>());
    note_detail_codes(run, pass == 1 ? "first detrending" : "second detrending", "idt", option,
                      own);
    if (option == fit::first_differences) first_differences_axis(run);
    spaghetti_plot(run, SpaghettiPoint::detrended);
    tag_title(run, 73, std::string(13, ' '));
    save_series(run, pass == 1 ? "_ind1.txt" : "_ind2.txt", pass == 1 ? " ind1 " : " ind2 ", 80,
                "ind");
  }
  return true;
}

void standard_chronology(Run& run) {
  banner_line(run,
              "|======================== standard chronology statistics "
              "======================|");
  build_chronology(run, MeanKind::standard, tsi2col::standard);
  copy_depth_to_table(run);
  fill_empty_years(run, tsi2col::standard);
  adjust_symmetry(run, tsi2col::standard);
  bootstrap_files(run, BootstrapPass::standard);
  spaghetti_plot(run, SpaghettiPoint::standard_mean);
  tag_index_chronology(run, "std");
  write_chronology(run, ChronologyKind::standard, run.tsi2.column(tsi2col::standard), run.depth,
                   run.error);
}

void autoregression(Run& run) {
  banner_line(run,
              "|======================= pooled autoregression analysis "
              "=======================|");
  std::vector<int> use(count(run.tsi1.count), 1);
  run.commands.at(Commands::kPooledArSwitch) = 'n';
  PoolResult p = pool(run.tsi1, run.length, use, run.icommands, run.commands, run.units, run.plots);
  run.pooled_order = p.order;
  run.pooled_coefficients = p.coefficients;
  if (p.variance_inflation) run.variance_inflation = *p.variance_inflation;
  banner_line(run,
              "|================== individual series autoregression analyses "
              "=================|");
  armod(run.tsi1, run.tsi2, run.stats, run.pooled_order, run.icommands, run.commands, run.units,
        run.plots);
  tag_title(run, 73, std::string(13, ' '));
  save_series(run, "_res.txt", "  res", 81, "res");
  spaghetti_plot(run, SpaghettiPoint::residuals);
  rbar_stage(run, SeriesStage::residual);
}

// The lag head and the autocorrelation lines of a chronology.
void write_autocorrelations(Run& run, const Autocorrelation& a) {
  write_out(run, "");
  write_out(run, Layout("(t2,'lag',t16,'t-1    t-2    t-3    t-4    ',"
                        "'t-5    t-6    t-7    t-8    t-9   t-10')")
                     .write());
  auto first10 = [](const std::vector<float>& v) {
    std::vector<float> out(v.begin(), v.begin() + std::min<std::size_t>(10, v.size()));
    return out;
  };
  write_out(run, Layout("(t2,'acf',t12,10f7.3)").write(first10(a.r)));
  write_out(run, Layout("(t2,'pacf',t12,10f7.3)").write(first10(a.partial)));
  write_out(run, Layout("(t2,'95% c.l.',t12,10f7.3)").write(first10(a.limits)));
}

// The order head and the model line of a chronology's autoregressive model.
void write_model(Run& run, const BurgFit& fit) {
  write_out(run, "");
  write_out(run, Layout("(t2,'ord    rsq    t-1    t-2    t-3    ',"
                        "'t-4    t-5    t-6    t-7    t-8    t-9   t-10')")
                     .write());
  write_out(run, Layout("(t2,i2,1x,11f7.3)").write(fit.order, fit.explained, fit.coefficients));
}

void residual_chronology(Run& run) {
  banner_line(run,
              "|======================== residual chronology statistics "
              "======================|");
  build_chronology(run, MeanKind::residual, tsi2col::residual);
  fill_empty_years(run, tsi2col::residual);
  adjust_symmetry(run, tsi2col::residual);
  bootstrap_files(run, BootstrapPass::residual);

  // Rewhitening: the residual chronology refitted with the pooled order.
  std::span<float> res = run.tsi2.column(tsi2col::residual);
  BurgFit fit = memcof1(res, run.depth, run.pooled_order + 1, 1);
  if (fit.order > 0) {
    albino1(res, run.depth, fit.coefficients);
    fill_empty_years(run, tsi2col::residual);
    spaghetti_plot(run, SpaghettiPoint::rewhitened_mean);
    const Autocorrelation a = acf1(res, run.depth, 10);
    banner_line(run,
                "|---------- rewhitened chronology auto and partial autocorrelations "
                "-----------|");
    write_autocorrelations(run, a);
    banner_line(run,
                "|----------------- rewhitened chronology autoregressive model "
                "-----------------|");
    write_model(run, memcof1(res, run.depth, run.pooled_order + 1, 1));
  }
  tag_index_chronology(run, "res");
  write_chronology(run, ChronologyKind::residual, res, run.depth, run.error);
  if (stand_dynamics_on(run.icommands[opt::stand_dynamics])) {
    endogenous_outliers(run);
    save_series(run, "_endo_outs.txt", " eout", 81, "out");
  }
}

void kalder_chronology(Run& run) {
  std::span<float> kld = run.tsi2.column(tsi2col::kalder);
  const std::span<const float> res = run.tsi2.column(tsi2col::residual);
  std::copy(res.begin(), res.end(), kld.begin());
  banner_line(run,
              "|========================= kalder chronology statistics "
              "=======================|");
  commie1(kld, run.depth, run.pooled_coefficients);
  fill_empty_years(run, tsi2col::kalder);
  adjust_symmetry(run, tsi2col::kalder);
  run.limit_scale = 1.0f + std::sqrt(std::max(run.variance_inflation - 1.0f, 0.0f));
  bootstrap_files(run, BootstrapPass::kalder);

  // Its statistics.
  const Moments m = moment1(kld, run.depth);
  const bool arithmetic_mean = run.icommands[opt::mean_chronology] == mean_kind::arithmetic;
  banner_line(run, arithmetic_mean ? "|---------------- gaussian mean kalder chronology "
                                     "statistics ------------------|"
                                   : "|----------------- robust mean kalder chronology "
                                     "statistics -------------------|");
  write_out(run, "");
  write_out(run, "");
  write_out(run, "  first    last    total    mean    stdrd    skew    kurtosis    mean    serial");
  write_out(run, "   year    year    years   index     dev     coeff     coeff     sens     corr");
  write_out(run, Layout("(i7,i8,i9,2f8.3,f9.3,f11.3,f9.3,f9.3)")
                     .write(run.first_year, run.last_year, run.length, m.mean, m.std_dev,
                            m.skewness, m.kurtosis, m.mean_sensitivity, m.autocorrelation));
  banner_line(run,
              "|------------ kalder chronology auto and partial autocorrelations "
              "-------------|");
  write_autocorrelations(run, acf1(kld, run.depth, 10));
  banner_line(run,
              "|------------------- kalder chronology autoregressive model "
              "-------------------|");
  write_model(run, memcof1(kld, run.depth, 11, kOrderByCriterion));

  // Its files: the depth stored last in the table, the residual errors scaled by the
  // pooled model's variance inflation.
  for (int j = 1; j <= run.length; ++j) {
    run.depth[at(j)] = static_cast<int>(run.tsi2.at(j, tsi2col::depth));
  }
  const float scale = std::sqrt(run.variance_inflation > 0 ? run.variance_inflation : 1.0f);
  for (float& e : run.error) e /= scale;
  tag_index_chronology(run, "kld");
  restore_headers(run);
  write_chronology(run, ChronologyKind::kalder, kld, run.depth, run.error);
}

// Gap filling, when the reader found missing values.
void fill_gaps(Run& run) {
  if (run.series_with_gaps <= 0) return;
  run.con.say("");
  run.con.say(" fill in missing data gaps now");
  fillin(run.tsi1, run.icommands, run.con, [&](const GapPlotPage& p, int& flag) {
    crnplt5(run.plots, p.values, p.curve, static_cast<int>(p.values.size()), p.first_year, p.id,
            p.title, p.x_label, p.y_label, p.marked_years, flag);
  });
  save_series(run, "_gap.txt", "  gap", 81, "gap");
}

void end_line(Run& run) {
  banner_line(run,
              "|================ as wex vostrand would say, \"this is the end\" "
              "================|");
}

}  // namespace

// A signal ends the run between the stages (stop_if_interrupted); within a stage every
// loop that runs long at the limits (each series, year, row of pairs or bootstrap year)
// looks too, so that well under a second passes between two looks and the run ends
// through the stop path.
void process_data_file(Run& run) {
  read_series(run);
  fill_titles(run);
  save_series(run, "_raw.txt", "  raw", 81, "raw");
  stop_if_interrupted();
  fill_gaps(run);
  release_detection(run);
  spaghetti_plot(run, SpaghettiPoint::gap_filled);
  stop_if_interrupted();
  rbar_stage(run, SeriesStage::raw);
  stop_if_interrupted();
  transform_series(run);

  const bool mean_chronologies = run.icommands[opt::mean_chronology] != mean_kind::none;
  if (mean_chronologies) raw_chronology(run);
  stop_if_interrupted();
  const bool detrended = detrend_series(run);
  stop_if_interrupted();
  if (detrended) rbar_stage(run, SeriesStage::detrended);
  if (detrended && mean_chronologies) standard_chronology(run);
  stop_if_interrupted();
  if (autoregression_on(run.icommands[opt::ar_method])) {
    autoregression(run);
    stop_if_interrupted();
    if (mean_chronologies) {
      residual_chronology(run);
      kalder_chronology(run);
    }
  }
  stop_if_interrupted();
  end_line(run);
  write_table(run);
  summary_plots(run);
  run.detail_file =
      write_detail(run.units, run.prefix, run.tsi1, run.icommands[opt::first_detrending]);
}

}  // namespace dendro
