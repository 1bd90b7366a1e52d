#include "kalder/chronology_files.h"

#include <utility>
#include <vector>

#include "series/fit_codes.h"
#include "series/index.h"
#include "series/index_block.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {
namespace {

struct KindFiles {
  const char* title_tag;  // positions 81-85 of the title records
  const char* tag;        // kind tag of the records
  int run_wide;           // run-wide chronology unit
  int run_wide_error;     // its error twin
  const char* name;       // the chronology's name in warnings
};

KindFiles files_of(ChronologyKind kind, int transformation) {
  switch (kind) {
    case ChronologyKind::raw:
      return {"  raw", transformation > 0 ? "trn" : "raw", unit::crns_raw, unit::err_raw, "raw"};
    case ChronologyKind::standard:
      return {"  std", "std", unit::crns_std, unit::err_std, "standard"};
    case ChronologyKind::residual:
      return {"  res", "res", unit::crns_res, unit::err_res, "residual"};
    case ChronologyKind::kalder:
      break;
  }
  return {"  kld", "kld", unit::crns_kld, unit::err_kld, "kalder"};
}

bool table_written(const Run& run) {
  return run.icommands[opt::mean_chronology] != mean_kind::none &&
         autoregression_on(run.icommands[opt::ar_method]);
}

}  // namespace

void write_chronology(Run& run, ChronologyKind kind, std::span<const float> values,
                      std::span<const int> depth, std::span<const float> error) {
  const KindFiles f = files_of(kind, run.icommands[opt::transformation]);
  const TucsonMode mode = tucson_mode(run.commands.write_mode()).value_or(TucsonMode::iw);
  const std::size_t n = count(run.length);
  values = values.first(n);
  depth = depth.first(n);
  error = error.first(n);
  IndexBlock block{std::string(f.name) + " chronology",
                   mode,
                   run.chronology_id,
                   run.first_year,
                   values,
                   depth,
                   f.tag,
                   {}};
  for (int h = 1; h <= 3; ++h) {
    std::string line = field(run.commands.header_line(h), 85);
    line.replace(80, 5, f.title_tag);
    run.commands.set_header_line(h, line);
    if (mode != TucsonMode::qz) block.titles.push_back(line);
  }
  // The table file keeps the chronology's values and true depths, not its errors.
  const std::string table = table_written(run) ? run.prefix + "_tabs.txt" : std::string();
  const int chronology_files[] = {unit::crns, f.run_wide};
  const int error_files[] = {unit::errs, f.run_wide_error};
  write_index_pair(run.units, run.con, unit::out,
                   {std::move(block), chronology_files, error, error_files}, run.index_notes,
                   table);
}

void write_table(Run& run) {
  if (!table_written(run)) return;
  const bool rcs = run.icommands[opt::first_detrending] == fit::regional_curve;
  const bool tallies = robust_autoregression(run.icommands[opt::ar_method]);
  std::vector<int> columns;
  for (int c = tsi2col::segment_length; c <= tsi2col::kalder; ++c) columns.push_back(c);
  std::string head = "year\tnum\tseg\tage\traw\tstd\tres\tkld";
  if (rcs) {
    for (int c = tsi2col::rcs_age; c <= tsi2col::rcs_curve; ++c) columns.push_back(c);
    head += "\trcs yr\tnum\trcs\tsig\tcrv";
  }
  if (tallies) {
    for (int c = tsi2col::negative_outliers; c <= tsi2col::positive_fraction; ++c) {
      columns.push_back(c);
    }
    head += "\tnabs\tpabs\tnpct\tppct";
  }
  const Layout row("(1x,i6,a,f5.0," + std::to_string(columns.size()) + "(a,f8.3))");
  run.units.write(unit::tabs, head);
  std::vector<Value> values;
  for (int j = 1; j <= run.length; ++j) {
    values.clear();
    values.emplace_back(static_cast<long long>(run.first_year + j - 1));
    values.emplace_back(std::string_view("\t"));
    values.emplace_back(static_cast<double>(run.tsi2.at(j, tsi2col::depth)));
    for (int c : columns) {
      values.emplace_back(std::string_view("\t"));
      values.emplace_back(static_cast<double>(run.tsi2.at(j, c)));
    }
    run.units.write(unit::tabs, row.write_values(values));
  }
}

}  // namespace dendro
