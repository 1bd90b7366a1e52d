#include "kalder/rcs_stage.h"

#include <algorithm>

#include "chronology/robsum.h"
#include "detrending/rcs.h"
#include "detrending/symmetry.h"
#include "kalder/info.h"
#include "plots/plot_loop.h"
#include "series/bootstrap.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kHeaderLength = 85;

// The index series by calendar year, with the data file's saved header lines for the
// tucson and mib pex formats.
void save_indices(Run& run) {
  const int format = run.icommands[opt::core_series_save];
  if (!series_saved(format)) return;
  std::ostream& out = run.units.create(unit::series, run.prefix + "_rcs_ind2.txt");
  run.data_title = field(run.data_title, kHeaderLength);
  run.data_title.replace(72, 13, std::string(13, ' '));
  if (saved_with_header_lines(format)) {
    for (const std::string& line : run.saved_headers) out << field(line, kHeaderLength) << '\n';
  }
  sis(out, run.tsi1, format, "ind", run.con);
  run.units.close(unit::series);
}

}  // namespace

RcsStageResult regional_curve_stage(Run& run, PlotSession& plots, Rand& rand) {
  for (int h = 1; h <= 3; ++h) run.commands.set_header_line(h, run.saved_headers[h - 1]);

  RcsIo io{run.icommands, run.commands, run.units, run.con, run.index_notes, {}, {}, {}};
  io.help = [&run](int number) { helpm(number, run.con); };
  io.mean_by_age = [&run, &plots, &rand](Tsi1& tsi1, const AgeMeanColumns& c) {
    const ChronologyColumns columns{c.depth,     c.segment_length, c.tree_age, c.mean,
                                    c.std_error, c.lower,          c.upper};
    const MeanChronology m = robsum(tsi1, MeanKind::age_aligned, run.largest_mean, 0.0f,
                                    run.icommands, {run.commands, run.units, plots}, rand);
    store(m, columns);
    // The spread of each age's values, the table file's "sig" column.
    for (std::size_t r = 0; r < m.years.size() && r < c.std_dev.size(); ++r) {
      c.std_dev[r] = m.years[r].std_dev;
    }
  };
  io.plots = stage_plot_layer(plots, run.icommands, run.commands);
  if (run.rcs_series.size() < count(run.tsi1.count))
    run.rcs_series.resize(count(run.tsi1.count), 0);
  // The stage may work over an age axis longer than the chronology: its vectors hold the
  // full year limit, the depth starting from the run's.
  RcsStageResult result{std::vector<float>(kMaxYears, 0.0f), std::vector<int>(kMaxYears, 0)};
  std::vector<float> error(kMaxYears, 0.0f), lower(kMaxYears, 0.0f), upper(kMaxYears, 0.0f);
  std::copy_n(run.depth.begin(), std::min(run.depth.size(), result.depth.size()),
              result.depth.begin());
  const RcsVectors v{result.curve, result.depth, error, lower, upper};
  rcs(run.tsi1, run.tsi2, run.stats, v, run.rcs_series, run.data_title, io);

  result.depth.resize(count(run.length));
  for (int i = 1; i <= run.length; ++i) {
    result.depth[at(i)] = static_cast<int>(run.tsi2.at(i, tsi2col::depth));
  }
  save_indices(run);
  return result;
}

void symmetry_adjustment(Run& run, int column, std::span<const int> depth) {
  const std::size_t n = count(run.length);
  const std::span<float> chronology = run.tsi2.column(column).first(n);
  depth = depth.first(n);
  symmetry(chronology, depth);
  if (column == tsi2col::kalder) return;

  std::vector<float> values(chronology.begin(), chronology.end());
  const Moments m = moment1(values, depth);
  const int switch_years = column == tsi2col::standard ? 1000 : 2000;
  Units& u = run.units;
  u.write(unit::out, Layout("(/t2,'|-------------------- final adjusted ',"
                            "'chronology statistics --------------------|')")
                         .write());
  u.write(unit::out, Layout("(/t3,'first    last    total    mean    stdrd    skew    ',"
                            "'kurtosis    mean    serial')")
                         .write());
  u.write(unit::out, Layout("(t4,'year    year    years   index     dev     coeff     ',"
                            "'coeff     sens     corr')")
                         .write());
  const Layout row(run.length < switch_years ? "(i7,i8,i8,1x,2f8.3,f9.3,f11.3,f9.3,f9.3)"
                                             : "(i7,i8,i9,2f8.3,f9.3,f11.3,f9.3,f9.3)");
  u.write(unit::out, row.write(run.first_year, run.last_year, run.length, m.mean, m.std_dev,
                               m.skewness, m.kurtosis, m.mean_sensitivity, m.autocorrelation));
}

}  // namespace dendro
