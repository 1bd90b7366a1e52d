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
#include "series/layout.h"
#include "series/text.h"

namespace dendro {
namespace {

constexpr std::size_t kHeaderLength = 85;

std::size_t count(int n) { return static_cast<std::size_t>(std::max(n, 0)); }

// The index series by calendar year, with the data file's saved header lines for the
// tucson and mib pex formats.
void save_indices(Run& run) {
  if (run.opt.save <= 0) return;
  std::ostream& out = run.units.create(unit::series, run.prefix + "_rcs_ind2.txt");
  run.data_title = field(run.data_title, kHeaderLength);
  run.data_title.replace(72, 13, std::string(13, ' '));
  if (run.opt.save <= 3) {
    for (const std::string& line : run.saved_headers) out << field(line, kHeaderLength) << '\n';
  }
  sis(out, run.tsi1, run.opt.save, "ind", run.con);
  run.units.close(unit::series);
}

}  // namespace

void regional_curve_stage(Run& run, const RcsStageVectors& vectors, PlotSession& plots,
                          Rand& rand) {
  for (int h = 1; h <= 3; ++h) run.commands.set_header_line(h, run.saved_headers[h - 1]);

  RcsIo io{run.icommands, run.commands, run.units, run.con, {}, {}, {}};
  io.help = [&run](int number) { helpm(number, run.con); };
  io.mean_by_age = [&run, &plots, &rand](Tsi1& tsi1, const AgeMeanColumns& c) {
    const ChronologyColumns columns{c.depth,     c.segment_length, c.tree_age, c.mean,
                                    c.std_error, c.lower,          c.upper};
    store(robsum(tsi1, MeanKind::age_aligned, run.largest_mean, 0.0f, run.icommands,
                 {run.commands, run.units, plots}, rand),
          columns);
  };
  io.plots = stage_plot_layer(plots, run.icommands, run.commands);
  if (run.rcs_series.size() < count(run.tsi1.count))
    run.rcs_series.resize(count(run.tsi1.count), 0);
  const RcsVectors v{vectors.curve, vectors.depth, vectors.std_error, vectors.lower, vectors.upper};
  rcs(run.tsi1, run.tsi2, run.stats, v, run.rcs_series, run.data_title, io);

  for (int i = 1; i <= run.length; ++i) {
    vectors.depth[count(i - 1)] = static_cast<int>(run.tsi2.at(i, 1));
  }
  save_indices(run);
}

void symmetry_adjustment(Run& run, int column, std::span<const int> depth) {
  const std::size_t n = count(run.length);
  const std::span<float> chronology = run.tsi2.column(column).first(n);
  depth = depth.first(n);
  symmetry(chronology, depth);
  if (column == kKalderColumn) return;

  std::vector<float> values(chronology.begin(), chronology.end());
  const Moments m = moment1(values, depth);
  const int switch_years = column == kStandardColumn ? 1000 : 2000;
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
