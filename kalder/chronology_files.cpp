#include "kalder/chronology_files.h"

#include <algorithm>
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

// The table file's columns after the year and the sample depth, and its head.
struct TableColumns {
  std::vector<int> columns;  // chronology table columns
  std::string head;
  bool regional_curve = false;  // the regional curve's columns are among them
};

TableColumns table_columns(const Icommands& icommands) {
  TableColumns t;
  for (int c = tsi2col::segment_length; c <= tsi2col::kalder; ++c) t.columns.push_back(c);
  t.head = "year\tnum\tseg\tage\traw\tstd\tres\tkld";
  t.regional_curve = icommands[opt::first_detrending] == fit::regional_curve;
  if (t.regional_curve) {
    for (int c = tsi2col::rcs_age; c <= tsi2col::rcs_curve; ++c) t.columns.push_back(c);
    t.head += "\trcs yr\tnum\trcs\tsig\tcrv";
  }
  if (robust_autoregression(icommands[opt::ar_method])) {
    for (int c = tsi2col::negative_outliers; c <= tsi2col::positive_fraction; ++c) {
      t.columns.push_back(c);
    }
    t.head += "\tnabs\tpabs\tnpct\tppct";
  }
  return t;
}

bool by_age(int column) { return column >= tsi2col::rcs_age && column <= tsi2col::rcs_curve; }

// A row of the table: a blank, the year, the sample depth, then each column after a tab.
// A row of an age past the chronology's years leaves the calendar columns blank, in their
// widths, and fills the regional curve's.
std::string row_layout(const std::vector<int>& columns, bool calendar) {
  std::string text = calendar ? "1x,i6,a,f5.0" : "7x,a,5x";
  for (int c : columns) text += calendar || by_age(c) ? ",a,f8.3" : ",a,8x";
  return "(" + text + ")";
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
  const TableColumns t = table_columns(run.icommands);
  const Layout calendar_row(row_layout(t.columns, true));
  const Layout age_row(row_layout(t.columns, false));
  run.units.write(unit::tabs, t.head);
  std::vector<Value> values;
  const int rows = t.regional_curve ? std::max(run.length, run.tsi2.age_rows()) : run.length;
  for (int j = 1; j <= rows; ++j) {
    const bool calendar = j <= run.length;
    values.clear();
    if (calendar) values.emplace_back(static_cast<long long>(run.first_year + j - 1));
    values.emplace_back(std::string_view("\t"));
    if (calendar) values.emplace_back(static_cast<double>(run.tsi2.at(j, tsi2col::depth)));
    for (int c : t.columns) {
      values.emplace_back(std::string_view("\t"));
      if (calendar || by_age(c)) values.emplace_back(static_cast<double>(run.tsi2.at(j, c)));
    }
    run.units.write(unit::tabs, (calendar ? calendar_row : age_row).write_values(values));
  }
}

}  // namespace dendro
