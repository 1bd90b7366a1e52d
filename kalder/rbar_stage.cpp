#include "kalder/rbar_stage.h"

#include <algorithm>

#include "series/layout.h"
#include "statistics/common_period.h"
#include "statistics/rbar.h"
#include "statistics/running_rbar.h"
#include "statistics/site_tree_core.h"

namespace dendro {
namespace {

struct StageText {
  const char* notice;   // console notice before the running rbar
  const char* suffix;   // running rbar file
  const char* heading;  // common period heading
};

StageText text_of(SeriesStage stage) {
  switch (stage) {
    case SeriesStage::raw:
      return {"calculate raw data chronology running rbar", "_raw_rbar.txt",
              "|======================= raw data common period analyses "
              "======================|"};
    case SeriesStage::transformed:
      return {"calculate transformed data running rbar", "_trn_rbar.txt",
              "|================= transformed raw data common period analyses "
              "================|"};
    case SeriesStage::detrended:
      return {"calculate standard chronology running rbar", "_ind_rbar.txt",
              "|==================== detrended data common period analyses "
              "===================|"};
    case SeriesStage::residual:
      break;
  }
  return {"calculate residual chronology running rbar", "_res_rbar.txt",
          "|=================== prewhitened data common period analyses "
          "==================|"};
}

void write_rbar_file(Run& run, const std::string& name, int first_column) {
  std::ostream& out = run.units.create(unit::series, name);
  out << "year\tcorrs\trbar\tsdev\tserr\teps \tcores\n";
  // A window holds up to 1,124,250 correlations (1500 series): a count that would fill its
  // field widens it and keeps a blank before it.
  const Layout row("(f7.0,a,f7.0+,4(a,f8.4),a,f7.2)");
  const std::string_view tab = "\t";
  for (int w = 0; w < run.window_count; ++w) {
    const auto& r = run.running_table[static_cast<std::size_t>(w)];
    auto c = [&](int k) { return r[static_cast<std::size_t>(first_column + k)]; };
    out << row.write(c(0), tab, c(1), tab, c(2), tab, c(3), tab, c(4), tab, c(5), tab, c(6))
        << '\n';
  }
  run.units.close(unit::series);
}

void running_rbar_step(Run& run, SeriesStage stage) {
  const int window = run.icommands[opt::running_rbar_window];
  const StageText text = text_of(stage);
  if (window <= 0 || run.length <= 2 * window) {
    const Layout file(
        "(/t15,'no running rbar segments calculated: total chronology'/"
        "t16,'length less then 2x the running window width: ',i4)");
    const Layout console(
        "(/t2,'no running rbar segments calculated: total chronology'/"
        "t3,'length less then 2x the running window width: ',i4)");
    run.units.write(unit::out, file.write(window));
    run.con.say(console.write(window));
    return;
  }
  run.con.say("");
  run.con.say(std::string(" ") + text.notice);
  auto rows = runr(run.tsi1, run.length, run.icommands, run.con, run.units, unit::out);
  const int first_column = 7 * (static_cast<int>(stage) - 1);
  if (run.running_table.size() < rows.size()) run.running_table.resize(rows.size());
  for (std::size_t w = 0; w < rows.size(); ++w) {
    const auto columns = rows[w].columns();
    for (int k = 0; k < 7; ++k) {
      run.running_table[w][static_cast<std::size_t>(first_column + k)] =
          columns[static_cast<std::size_t>(k)];
    }
  }
  run.window_count = static_cast<int>(rows.size());
  write_rbar_file(run, run.prefix + text.suffix, first_column);
}

// The common period analysis of the series that cover the common period option's years,
// grouped into trees by the site-tree-core mask; the residual stage keeps the trees of the
// stage before.
void common_period_step(Run& run, SeriesStage stage) {
  const int first = run.icommands[opt::common_period_first];
  const int last = run.icommands[opt::common_period_last];
  if (first == 0 || last == 0) return;
  if (stage != SeriesStage::residual) {
    run.commands.set_mask(run.commands.get(Commands::kSavedMaskFirst, Commands::kSavedMaskLast));
    stc(run.tsi1, run.commands.mask());
    const int n = last - first + 1;
    for (int i = 1; i <= run.tsi1.count; ++i) {
      SeriesYears& row = run.tsi1.year_row(i);
      if (std::min(row.ily, last) - std::max(row.ify, first) + 1 < n) row.cpa = 0;
    }
  }
  run.units.write(unit::out, "");
  run.units.write(unit::out, std::string(" ") + text_of(stage).heading);
  comper(run.tsi1, run.stats, static_cast<int>(stage), run.icommands, run.prefix, run.units,
         run.plots);
}

}  // namespace

void rbar_stage(Run& run, SeriesStage stage) {
  if (run.tsi1.count <= 1) return;
  run.all_series_rbar = rbar(run.tsi1, run.con, run.units, unit::out);
  common_period_step(run, stage);
  running_rbar_step(run, stage);
}

}  // namespace dendro
