#include "chronology/robsum.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "chronology/robsum_steps.h"
#include "plots/plot_loop.h"
#include "plots/weights_plot.h"
#include "series/biweight.h"
#include "series/blocks.h"
#include "series/bootstrap.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/files/interrupts.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/parallel.h"
#include "series/store.h"
#include "series/text.h"

namespace dendro {

BarScale bar_scale(MeanKind code, float r) {
  if (code == MeanKind::raw || code == MeanKind::age_aligned) {
    if (r <= 0.2f) return {0.3f / 31.0f, 12, 22, "0-------0.1-------0.2--->"};
    if (r <= 0.5f) return {1.5f / 31.0f, 12, 22, "0----:---1/2---:----1--->"};
    if (r > 2.0f) return {6.0f / 31.0f, 4, 7, "0----1----2----3----4--->"};
  }
  return {3.0f / 31.0f, 12, 22, "0----:----1----:----2--->"};
}

std::array<char, 32> text_bar(float mean, int year, const BarScale& scale, MeanKind code) {
  std::array<char, 32> bar;
  bar.fill(' ');
  // Character k (1-based) stands for the value at bar position k.
  auto cell = [&bar](int k) -> char& { return bar[at(k)]; };
  const long p = std::lround(1.5f + mean / scale.step);  // halves away from zero
  const int q = static_cast<int>(std::clamp(p, 1L, 32L));
  const bool indices = code != MeanKind::raw && code != MeanKind::age_aligned;
  if (code != MeanKind::raw) cell(2) = cell(scale.first_mark) = cell(scale.second_mark) = ':';
  cell(q) = static_cast<char>('0' + std::abs(year % 10));
  if (indices) {
    for (int k = std::min(q, scale.first_mark) + 1; k < std::max(q, scale.first_mark); ++k) {
      cell(k) = '-';
    }
  } else if (q > 1) {
    for (int k = 2; k <= q - 1; ++k) cell(k) = '-';
    if (q > 2) cell(2) = ':';
  }
  return bar;
}

void store(const MeanChronology& c, const ChronologyColumns& out) {
  const std::size_t n = c.years.size();
  if (out.depth.size() < n || out.segment_length.size() < n || out.tree_age.size() < n ||
      out.chronology.size() < n || out.std_error.size() < n || out.lower.size() < n ||
      out.upper.size() < n) {
    throw std::invalid_argument("robsum: vectors shorter than the chronology");
  }
  for (std::size_t i = 0; i < n; ++i) {
    const MeanYear& y = c.years[i];
    out.depth[i] = y.depth;
    out.segment_length[i] = y.segment_length;
    out.tree_age[i] = y.tree_age;
    out.chronology[i] = c.chronology[i];
    out.std_error[i] = y.std_error;
    if (y.limits) {
      out.lower[i] = y.limits->lower;
      out.upper[i] = y.limits->upper;
    }
    // The limits move with the stabilisation.
    const float d = c.stabilisation.applied() ? c.stabilisation.shift[i] : 0.0f;
    if (d != 0.0f) {
      out.lower[i] += d;
      out.upper[i] += d;
    }
  }
}

namespace {

constexpr int kWeightsMinimumDepth = 6;  // fewer series in every year: no weights pass
constexpr int kWeightDecimals = 4;
constexpr int kNoStabilisation = 0;

// The value of series j in row i of the store.
float value_at(const Tsi1& tsi1, int i, int j) {
  return tsi1.matrix[count(j - 1) * count(tsi1.rows) + at(i)];
}

// The weights of the biweight of row i go to the weights matrix. They come in the order of
// the sorted values: each series takes the weight of its own value (equal values have equal
// weights); with fewer than six series every weight is 1.
void keep_weights(const Tsi1& tsi1, int i, std::span<const float> sorted,
                  std::span<const float> weights, std::vector<float>& matrix) {
  for (int j = 1; j <= tsi1.count; ++j) {
    const float v = value_at(tsi1, i, j);
    if (is_missing(v)) continue;
    float w = 1.0f;
    if (tsi1.count >= kWeightsMinimumDepth) {
      const auto pos = std::lower_bound(sorted.begin(), sorted.end(), v) - sorted.begin();
      w = weights[static_cast<std::size_t>(pos)];
    }
    matrix[count(j - 1) * count(tsi1.rows) + at(i)] = w;
  }
}

// The values of row i (the year `year`) in series order into `values`, and the depth, mean
// segment length and mean tree age of their series into `y`.
void gather_year(const Tsi1& tsi1, int i, int year, std::vector<float>& values, MeanYear& y) {
  values.clear();
  double segment_sum = 0.0, age_sum = 0.0;
  for (int j = 1; j <= tsi1.count; ++j) {
    const float v = value_at(tsi1, i, j);
    if (is_missing(v)) continue;
    const SeriesYears& series = tsi1.years[at(j)];
    values.push_back(v);
    segment_sum += series.ily - series.ify + 1;
    age_sum += year - series.ify + 1;
  }
  y.depth = static_cast<int>(values.size());
  if (y.depth == 0) return;
  y.segment_length = static_cast<float>(segment_sum / y.depth);
  y.tree_age = static_cast<float>(age_sum / y.depth);
}

// The weights are kept for the weights file or the weights plot of the biweight.
bool weights_asked(const Icommands& o) {
  const int plots = o[opt::summary_plots];
  return o[opt::mean_chronology] == mean_kind::biweight &&
         (various_summary_plots_on(plots) || series_saved(o[opt::core_series_save]));
}

// The weights reach the file and the plot through one record per year of four decimals
// per weight, (i6,1000f8.4): that is the precision they carry there (a compact save
// scales them by it). Without a year of six series there is no weights pass.
void finish_weights(MeanChronology& c) {
  if (c.largest_depth < kWeightsMinimumDepth) c.weights.clear();
  for (float& w : c.weights) w = as_written(w, kWeightDecimals);
}

// Where each year's bootstrap starts in the generator's stream: the numbers drawn by the
// resamples of the years before it, each resample drawing one number per value. The last
// entry is the whole chronology's.
std::vector<long long> first_draws(const Tsi1& tsi1, int n) {
  std::vector<int> depth(count(n), 0);
  for (int j = 1; j <= tsi1.count; ++j) {
    for (int i = 1; i <= n; ++i) {
      if (!is_missing(value_at(tsi1, i, j))) ++depth[at(i)];
    }
  }
  std::vector<long long> first(count(n) + 1, 0);
  for (std::size_t i = 0; i < depth.size(); ++i) {
    first[i + 1] = first[i] + static_cast<long long>(depth[i]) * bootstrap_replicates(depth[i]);
  }
  return first;
}

// Row i of the span on its own: its depth, mean, spread, efficiency and iterations; its
// bootstrap limits drawn with `rand` when the options ask for them; its series' weights
// into `weights` unless that is empty.
void year_mean(const Tsi1& tsi1, int i, int year, const MeanRequest& request, Rand& rand,
               MeanYear& y, std::vector<float>& weights) {
  const Icommands& o = request.options;
  const int mean_type = o[opt::mean_chronology];
  std::vector<float> values;
  gather_year(tsi1, i, year, values, y);
  if (y.depth == 0) {
    y.mean = request.code == MeanKind::raw ? 0.0f : 1.0f;
    return;
  }
  std::vector<float> work = values;
  const BiwgtResult b = biwgt(work, kBiweightTuning, mean_type);
  y.mean = b.location;
  y.std_dev = b.scale;
  y.std_error = b.std_error;
  y.efficiency = b.efficiency;
  y.iterations = b.iterations;
  if (o[opt::bootstrap_limits] == 1) y.limits = bootstrap_limits(values, y.mean, mean_type, rand);
  y.mean = std::max(y.mean, 0.0f);
  if (!weights.empty()) keep_weights(tsi1, i, work, b.weights, weights);
}

// The efficiency and iterations of the last year with values carried through the empty
// years, the efficiency lists, the largest depth and the chronology of the yearly means.
void gather_years(MeanChronology& c) {
  float efficiency = 1.0f;
  int iterations = 0;
  for (MeanYear& y : c.years) {
    if (y.depth > 0) {
      efficiency = y.efficiency;
      iterations = y.iterations;
    }
    y.efficiency = efficiency;
    y.iterations = iterations;
    c.largest_depth = std::max(c.largest_depth, y.depth);
    (efficiency > 1.0f ? c.efficiency.gains : c.efficiency.losses).push_back(efficiency);
    c.chronology.push_back(y.mean);
  }
}

// The years of the chronology of `kind`: the whole set's row of the series year table, or
// for the age-aligned chronology the row after it.
const SeriesYears& chronology_span(const Tsi1& tsi1, MeanKind kind) {
  return tsi1.years.at(count(tsi1.count) + (kind == MeanKind::age_aligned ? 1 : 0));
}

}  // namespace

MeanChronology mean_chronology(const Tsi1& tsi1, const MeanRequest& request, float rbar,
                               Rand& rand) {
  const Icommands& o = request.options;
  const SeriesYears& span = chronology_span(tsi1, request.kind);
  MeanChronology c;
  c.first_year = span.ify;
  const int n = span.ily - span.ify + 1;
  if (n < 1) return c;
  if (n > tsi1.rows) {
    throw std::invalid_argument("robsum: series matrix shorter than the chronology");
  }
  if (weights_asked(o)) c.weights.assign(tsi1.matrix.size(), kMissing);

  // The years run in parallel, each drawing its bootstrap from the generator moved on to
  // where its draws begin, so that every year draws what it would one year after another.
  // Each year looks for a signal: a year's bootstrap takes a tenth of a second at the
  // limits, a chronology's minutes.
  const std::vector<long long> draws = o[opt::bootstrap_limits] == 1
                                           ? first_draws(tsi1, n)
                                           : std::vector<long long>(count(n) + 1, 0);
  c.years.resize(count(n));
  parallel_for(n, [&](int k) {
    stop_if_interrupted();
    Rand from_here = rand;
    from_here.skip(draws[count(k)]);
    year_mean(tsi1, k + 1, c.first_year + k, request, from_here, c.years[count(k)], c.weights);
  });
  rand.skip(draws.back());
  gather_years(c);
  finish_weights(c);

  const int method = o[opt::stabilisation];
  if (request.code != MeanKind::raw && method != kNoStabilisation) {
    std::vector<int> depth;
    for (const MeanYear& y : c.years) depth.push_back(y.depth);
    c.stabilisation = stabilise(c.chronology, depth, c.first_year, rbar, method);
  }
  return c;
}

namespace {

// The names of a chronology kind in titles, files and plots.
struct KindNames {
  const char* word;            // table title: "raw data", "standard", ...
  const char* console;         // console title
  const char* weights_suffix;  // weights file
  const char* tag;             // records of the weights file
  const char* plot;            // weights plot title
};

KindNames names_of(MeanKind kind) {
  switch (kind) {
    case MeanKind::raw:
      return {"raw data", "raw data ", "_raw_wgts.txt", "raw", "raw"};
    case MeanKind::standard:
      return {"standard", "standard tree-ring ", "_ind_wgts.txt", "ind", "index"};
    case MeanKind::residual:
      return {"residual", "residual tree-ring ", "_res_wgts.txt", "res", "residual"};
    default:
      return {"age-aligned", "age-aligned rcs ", "_rcs_wgts.txt", "rcs", "rcs"};
  }
}

void write_console_title(const MeanRequest& request, Console& console) {
  const int mean_type = request.options[opt::mean_chronology];
  const char* type_text = mean_type == mean_kind::arithmetic ? "gaussian "
                          : mean_type == mean_kind::biweight ? "robust "
                          : mean_type < 0                    ? "quantile "
                                                             : nullptr;
  if (type_text == nullptr) return;
  console.say(Layout("(/1x,'calculate the ',a,a,'chronology')")
                  .write(type_text, names_of(request.kind).console));
}

void write_table_head(const MeanRequest& request, const BarScale& scale, Units& units) {
  const std::string word = names_of(request.kind).word;
  const int mean_type = request.options[opt::mean_chronology];
  if (mean_type == mean_kind::arithmetic) {
    units.write(unit::out, Layout("(/t10,'gaussian mean ',a,' ','chronology')").write(word));
  } else if (mean_type == mean_kind::biweight) {
    units.write(unit::out, Layout("(/t11,'robust mean ',a,' chronology')").write(word));
  } else if (mean_type < 0) {
    units.write(unit::out,
                Layout("(/t11,i3,'th quantile ',a,' chronology')").write(-mean_type, word));
  }
  if (request.kind == MeanKind::raw || request.kind == MeanKind::age_aligned) {
    units.write(unit::out, Layout("(t57,'    measurement units')").write());
  } else {
    units.write(unit::out, Layout("(t57,'       indices')").write());
  }
  units.write(unit::out, Layout("(t2,' year   cores   mean   std dev   ',"
                                "'std err    eff  iter  ',a)")
                             .write(scale.header));
}

// Console progress: first and last year and round years, rounder for longer chronologies.
bool progress_year(int i, int n, int year) {
  if (i == 1 || i == n) return true;
  const int every = n <= 100 ? 10 : n <= 1000 ? 100 : n <= 2000 ? 200 : 500;
  return year % every == 0;
}

// The console progress and the chronology table.
void write_years(const MeanChronology& c, const MeanRequest& request, float scale_reference,
                 Units& units, Console& console) {
  const int printout = request.options[opt::printout];
  const BarScale scale = bar_scale(request.code, scale_reference);
  if (chronology_listed(printout)) write_table_head(request, scale, units);
  const Layout progress("(t5,'year: ',i6)");
  // The year takes column 1 too, which is blank for years after -10000.
  const Layout row("(t1,i6,i7,f8.3+,f9.3+,f10.3+,f8.3+,i5,2x,32a1)");
  const int n = c.length();
  for (int i = 1; i <= n; ++i) {
    const int year = c.first_year + i - 1;
    const MeanYear& y = c.years[at(i)];
    if (progress_year(i, n, year)) console.say(progress.write(year));
    if (chronology_listed(printout)) {
      units.write(unit::out, row.write(year, y.depth, y.mean, y.std_dev, y.std_error, y.efficiency,
                                       y.iterations, text_bar(y.mean, year, scale, request.code)));
    }
  }
}

// The weights pass: with the weights in place of the series values, the weights file and
// the yearly summaries of the weights (median to the mean overlay vector) and their plot.
void weights_pass(MeanChronology& c, Tsi1& tsi1, const MeanRequest& request,
                  const ChronologyReport& report) {
  Console& console = report.plots.console();
  Commands& commands = report.commands;
  Units& units = report.units;
  const KindNames names = names_of(request.kind);
  const int save = request.options[opt::core_series_save];
  const int plots = request.options[opt::summary_plots];
  const int n = c.length();
  std::swap(tsi1.matrix, c.weights);
  if (series_saved(save)) {
    units.create(unit::series, output_prefix(commands.data_file) + names.weights_suffix);
    if (saved_with_header_lines(save)) {
      for (int h = 1; h <= 3; ++h) {
        const int first = Commands::kHeaderFirst[h - 1];
        commands.set(first + 80, first + 84, " wgts");
        units.write(unit::series, Layout("(a)").write(commands.header_line(h)));
      }
    }
    sis(units.out(unit::series), tsi1, save, names.tag, console);
    units.close(unit::series);
  }
  if (tsi1.overlay.size() < count(n)) tsi1.overlay.resize(count(n), kMissing);
  // The plot's title names the largest weight as its third curve, and that is what it gets.
  std::vector<float> lower_hinge(count(n), kMissing);
  std::vector<float> largest(count(n), kMissing);
  std::vector<float> row;
  for (int i = 1; i <= n; ++i) {
    stop_if_interrupted();
    tsi1.present_in_row(i, row);
    if (row.empty()) {
      tsi1.overlay[at(i)] = kMissing;
      continue;
    }
    const FiveNumbers f = five_numbers(row);
    tsi1.overlay[at(i)] = f.median;
    lower_hinge[at(i)] = f.lower_hinge;
    largest[at(i)] = f.maximum;
  }
  if (various_summary_plots_on(plots)) {
    const std::string title =
        std::string(" ") + names.plot + " biweights (median,lower-hinge,maximum)";
    crnplt7(report.plots, std::span<const float>(tsi1.overlay).first(count(n)), lower_hinge,
            largest, c.first_year, commands.get(Commands::kNameFirst, Commands::kNameLast), title,
            "years", "weights");
  }
  std::swap(tsi1.matrix, c.weights);
}

}  // namespace

void report_mean_chronology(MeanChronology& c, Tsi1& tsi1, const MeanRequest& request,
                            float scale_reference, const ChronologyReport& report) {
  if (c.years.empty()) return;
  Console& console = report.plots.console();
  write_years(c, request, scale_reference, report.units, console);
  write_stabilisation(c, request, report.units, console);
  if (!c.weights.empty()) weights_pass(c, tsi1, request, report);
  write_chronology_statistics(c, tsi1, request, report.units);
}

MeanChronology robsum(Tsi1& tsi1, MeanKind kind, float scale_reference, float rbar,
                      const Icommands& icommands, const ChronologyReport& report, Rand& rand) {
  const MeanRequest request{
      kind, static_cast<MeanKind>(report.commands.at(Commands::kDataKindFirst)), icommands};
  rand = Rand{};  // the three seeds
  // The title goes out before the means are computed, which with bootstrap limits takes
  // minutes on a large set: the console shows what the run is doing meanwhile.
  const SeriesYears& span = chronology_span(tsi1, kind);
  if (span.ily >= span.ify) {
    Console& console = report.plots.console();
    write_console_title(request, console);
    console.out().flush();
  }
  MeanChronology c = mean_chronology(tsi1, request, rbar, rand);
  report_mean_chronology(c, tsi1, request, scale_reference, report);
  return c;
}

}  // namespace dendro
