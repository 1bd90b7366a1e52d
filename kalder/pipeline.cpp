#include "kalder/pipeline.h"

#include "kalder/detail.h"
#include "kalder/file_setup.h"
#include "kalder/rbar_stage.h"
#include "series/core_save.h"
#include "series/layout.h"
#include "series/text.h"
#include "series/trread.h"

namespace dendro {
namespace {

void banner_line(Run& run, std::string_view text) {
  run.units.write(unit::out, "");
  run.units.write(unit::out, " " + std::string(text));
}

// The first six characters of the chronology id come from the log file name, the output
// name that the set-up built last.
std::string id_stem(const Run& run) { return field(run.prefix + "_log.txt", 6); }

// Writes the series of the store to prefix + suffix in the format of option 18, with the
// three title records (the saved header lines tagged in place) for the tucson and mib pex
// formats.
void save_series(Run& run, std::string_view suffix, std::string_view title_tag, int tag_at,
                 std::string_view kind_tag) {
  if (run.opt.save <= 0) return;
  std::ostream& out = run.units.create(unit::series, run.prefix + std::string(suffix));
  if (run.opt.save <= 3) {
    for (auto& line : run.saved_headers) {
      line = field(line, 85);
      line.replace(static_cast<std::size_t>(tag_at - 1), title_tag.size(), title_tag);
      out << line << '\n';
    }
  }
  sis(out, run.tsi1, run.opt.save, kind_tag, run.con);
  run.units.close(unit::series);
}

// Series reading, the chronology's year axis and the alignment of every series on it.
void read_series(Run& run) {
  TrreadResult r = trread(run.units, run.tsi1, run.stats, run.commands, run.icommands, run.con);
  run.series_with_gaps = r.series_with_gaps;
  if (r.largest_mean) run.largest_mean = *r.largest_mean;
  run.presence = std::move(r.presence);
  run.data_title = r.title;
  run.chronology_id = field(id_stem(run), 6) + field(r.current_id, 8).substr(6, 2);

  const SeriesYears& span = run.tsi1.year_row(run.tsi1.count + 1);
  run.first_year = span.ify;
  run.last_year = span.ily;
  run.length = run.last_year - run.first_year + 1;
  run.tsi2.reshape(std::max(run.length, 0));
  for (int c = 1; c <= 12; ++c) {
    for (float& v : run.tsi2.column(c)) v = kMissing;
  }
  align_on_chronology(run.tsi1);
}

// A data title and header lines for files that carry none.
void fill_titles(Run& run) {
  if (run.data_title.substr(0, 6) == "      ") {
    run.data_title = field(run.prefix + " -- no data title --", 85);
  }
  header_line_checks(id_stem(run), run.chronology_id, run.data_title, run.commands);
  for (int h = 1; h <= 3; ++h) run.saved_headers[h - 1] = run.commands.header_line(h);
}

void end_line(Run& run) {
  banner_line(run, "|================ as wex vostrand would say, \"this is the end\" "
                   "================|");
}

}  // namespace

void process_data_file(Run& run) {
  read_series(run);
  fill_titles(run);
  save_series(run, "_raw.txt", "  raw", 81, "raw");
  rbar_stage(run, SeriesStage::raw);
  end_line(run);
  write_detail(run.units, run.prefix, run.tsi1, run.opt.detrend1, run.con);
}

}  // namespace dendro
