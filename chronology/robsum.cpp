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
#include "series/bootstrap.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/layout.h"
#include "series/store.h"
#include "series/text.h"
#include "series/units.h"

namespace dendro {

BarScale bar_scale(char code, float r) {
  if (code == 'n' || code == 'b') {
    if (r <= 0.2f) return {0.3f / 31.0f, 12, 22, "0-------0.1-------0.2--->"};
    if (r <= 0.5f) return {1.5f / 31.0f, 12, 22, "0----:---1/2---:----1--->"};
    if (r > 2.0f) return {6.0f / 31.0f, 4, 7, "0----1----2----3----4--->"};
  }
  return {3.0f / 31.0f, 12, 22, "0----:----1----:----2--->"};
}

std::array<char, 32> text_bar(float mean, int year, const BarScale& scale, char code) {
  std::array<char, 32> bar;
  bar.fill(' ');
  // Character k (1-based) stands for the value at bar position k.
  auto at = [&bar](int k) -> char& { return bar[static_cast<std::size_t>(k - 1)]; };
  const long p = std::lround(1.5f + mean / scale.step);  // halves away from zero
  const int q = static_cast<int>(std::clamp(p, 1L, 32L));
  const bool indices = code != 'n' && code != 'b';
  if (code != 'n') at(2) = at(scale.first_mark) = at(scale.second_mark) = ':';
  at(q) = static_cast<char>('0' + std::abs(year % 10));
  if (indices) {
    for (int k = std::min(q, scale.first_mark) + 1; k < std::max(q, scale.first_mark); ++k) {
      at(k) = '-';
    }
  } else if (q > 1) {
    for (int k = 2; k <= q - 1; ++k) at(k) = '-';
    if (q > 2) at(2) = ':';
  }
  return bar;
}

namespace {

constexpr float kBiweightConstant = 7.5f;
constexpr int kWeightsMinimumDepth = 6;  // fewer series in every year: no weights file
constexpr int kWeightDecimals = 4;

// The names of a chronology kind in titles, files and plots.
struct KindNames {
  const char* word;            // table title: "raw data", "standard", ...
  const char* console;         // console title
  const char* weights_suffix;  // weights file
  const char* tag;             // records of the weights file
  const char* plot;            // weights plot title
};

KindNames names_of(char kind) {
  switch (kind) {
    case 'n': return {"raw data", "raw data ", "_raw_wgts.txt", "raw", "raw"};
    case 's': return {"standard", "standard tree-ring ", "_ind_wgts.txt", "ind", "index"};
    case 'r': return {"residual", "residual tree-ring ", "_res_wgts.txt", "res", "residual"};
    default: return {"age-aligned", "age-aligned rcs ", "_rcs_wgts.txt", "rcs", "rcs"};
  }
}

void write_console_title(const RobsumSettings& s, Console& console) {
  const char* type_text = s.mean_type == 1 ? "gaussian " : s.mean_type == 2 ? "robust "
                        : s.mean_type < 0  ? "quantile " : nullptr;
  if (type_text == nullptr) return;
  console.say(Layout("(/1x,'calculate the ',a,a,'chronology')")
                  .write(type_text, names_of(s.kind).console));
}

void write_table_head(const RobsumSettings& s, const BarScale& scale, Units& units) {
  const std::string word = names_of(s.kind).word;
  if (s.mean_type == 1) {
    units.write(unit::out, Layout("(/t10,'gaussian mean ',a,' ','chronology')").write(word));
  } else if (s.mean_type == 2) {
    units.write(unit::out, Layout("(/t11,'robust mean ',a,' chronology')").write(word));
  } else if (s.mean_type < 0) {
    units.write(unit::out,
                Layout("(/t11,i3,'th quantile ',a,' chronology')").write(-s.mean_type, word));
  }
  if (s.kind == 'n' || s.kind == 'b') {
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

// The mean routine's view of one year.
struct YearMean {
  float mean = 0.0f, std_dev = 0.0f, std_error = 0.0f;
  float efficiency = 1.0f;  // kept from the last year with values through empty years
  int iterations = 0;
};

// The weights of the biweight, one matrix the size of the series matrix, rows by year; -9.99
// where a series has no value. It takes the series matrix's place in the weights pass.
class WeightsRecord {
 public:
  WeightsRecord(bool active, const Tsi1& tsi1)
      : active_(active),
        rows_(tsi1.rows),
        weights_(active ? tsi1.matrix.size() : 0, kMissing) {}
  bool active() const { return active_; }
  float& at(int row, int series) {
    return weights_[static_cast<std::size_t>(series - 1) * static_cast<std::size_t>(rows_) +
                    static_cast<std::size_t>(row - 1)];
  }
  std::vector<float>& matrix() { return weights_; }

 private:
  bool active_;
  int rows_;
  std::vector<float> weights_;
};

// The weights pass: with the weights in place of the series values, the weights file and
// the yearly summaries of the weights (median to the mean overlay vector) and their plot.
void weights_pass(Tsi1& tsi1, WeightsRecord& record, int n, int first_year,
                  const RobsumSettings& s, Commands& commands, Units& units, PlotSession& plots) {
  Console& console = plots.console();
  const KindNames names = names_of(s.kind);
  // The weights reach the file and the plot through one record per year of four decimals
  // per weight, (i6,1000f8.4): that is the precision they carry there (a compact save
  // scales them by it).
  for (float& w : record.matrix()) w = as_written(w, kWeightDecimals);
  std::swap(tsi1.matrix, record.matrix());
  if (s.save >= 1) {
    units.create(unit::series, output_prefix(commands.data_file) + names.weights_suffix);
    if (s.save < 4) {
      for (int h = 1; h <= 3; ++h) {
        const int first = Commands::kHeaderFirst[h - 1];
        commands.set(first + 80, first + 84, " wgts");
        units.write(unit::series, Layout("(a)").write(commands.header_line(h)));
      }
    }
    sis(units.out(unit::series), tsi1, s.save, names.tag, console);
    units.close(unit::series);
  }
  if (tsi1.overlay.size() < static_cast<std::size_t>(n)) {
    tsi1.overlay.resize(static_cast<std::size_t>(n), kMissing);
  }
  // The plot's title names the largest weight as its third curve, and that is what it gets.
  std::vector<float> lower_hinge(static_cast<std::size_t>(n), kMissing);
  std::vector<float> largest(static_cast<std::size_t>(n), kMissing);
  std::vector<float> row;
  for (int i = 1; i <= n; ++i) {
    tsi1.present_in_row(i, row);
    const auto at = static_cast<std::size_t>(i - 1);
    if (row.empty()) {
      tsi1.overlay[at] = kMissing;
      continue;
    }
    const FiveNumbers f = five_numbers(row);
    tsi1.overlay[at] = f.median;
    lower_hinge[at] = f.lower_hinge;
    largest[at] = f.maximum;
  }
  if (s.plots == 2 || s.plots == 3) {
    const std::string title =
        std::string(" ") + names.plot + " biweights (median,lower-hinge,maximum)";
    crnplt7(plots, std::span<const float>(tsi1.overlay).first(static_cast<std::size_t>(n)),
            lower_hinge, largest, first_year,
            commands.get(Commands::kNameFirst, Commands::kNameLast), title, "years", "weights");
  }
  std::swap(tsi1.matrix, record.matrix());
}

}  // namespace

void robsum(Tsi1& tsi1, const ChronologyColumns& out, float scale_reference, float rbar,
            char kind, const Icommands& icommands, Commands& commands, Units& units,
            PlotSession& plots, Rand& rand) {
  Console& console = plots.console();
  // Options, seeds and the year span.
  RobsumSettings s;
  s.mean_type = icommands.option(12);
  s.bootstrap = icommands.option(12, 2);
  s.stabilise = icommands.option(13);
  s.printout = icommands.option(17);
  s.save = icommands.option(18);
  s.plots = icommands.option(19);
  s.kind = kind;
  s.code = commands.at(Commands::kDataKindFirst);
  rand = Rand{};  // the three seeds
  const std::size_t span_row = static_cast<std::size_t>(tsi1.count) + (kind == 'b' ? 1 : 0);
  const SeriesYears& span = tsi1.years.at(span_row);
  const int first = span.ify;
  const int n = span.ily - span.ify + 1;
  if (n < 1) return;
  if (n > tsi1.rows || out.depth.size() < static_cast<std::size_t>(n) ||
      out.segment_length.size() < static_cast<std::size_t>(n) ||
      out.tree_age.size() < static_cast<std::size_t>(n) ||
      out.chronology.size() < static_cast<std::size_t>(n) ||
      out.std_error.size() < static_cast<std::size_t>(n) ||
      out.lower.size() < static_cast<std::size_t>(n) ||
      out.upper.size() < static_cast<std::size_t>(n)) {
    throw std::invalid_argument("robsum: vectors shorter than the chronology");
  }

  // Titles, table head and the bar scale.
  write_console_title(s, console);
  const BarScale scale = bar_scale(s.code, scale_reference);
  if (s.printout >= 3) write_table_head(s, scale, units);
  WeightsRecord record(s.mean_type == 2 && (s.plots == 2 || s.plots == 3 || s.save >= 1), tsi1);

  // The yearly means.
  std::vector<float> values, work, std_dev(static_cast<std::size_t>(n), 0.0f);
  std::vector<float> unstabilised(static_cast<std::size_t>(n), 0.0f);
  EfficiencyLists efficiency;
  YearMean m;
  int largest_depth = 0;
  const Layout progress("(t5,'year: ',i6)");
  const Layout table_row("(t2,i5,i7,f8.3,f9.3,f10.3,f8.3,i5,2x,32a1)");
  for (int i = 1; i <= n; ++i) {
    const int year = first + i - 1;
    const auto at = static_cast<std::size_t>(i - 1);
    if (progress_year(i, n, year)) console.say(progress.write(year));
    values.clear();
    double segment_sum = 0.0, age_sum = 0.0;
    for (int j = 1; j <= tsi1.count; ++j) {
      const float v = tsi1.at(i, j);
      if (is_missing(v)) continue;
      const SeriesYears& y = tsi1.years[static_cast<std::size_t>(j - 1)];
      values.push_back(v);
      segment_sum += y.ily - y.ify + 1;
      age_sum += year - y.ify + 1;
    }
    const int depth = static_cast<int>(values.size());
    out.depth[at] = depth;
    out.segment_length[at] = 0.0f;
    out.tree_age[at] = 0.0f;
    if (depth == 0) {
      m.mean = s.code == 'n' ? 0.0f : 1.0f;
      m.std_dev = m.std_error = 0.0f;
    } else {
      out.segment_length[at] = static_cast<float>(segment_sum / depth);
      out.tree_age[at] = static_cast<float>(age_sum / depth);
      work = values;
      const BiwgtResult b = biwgt(work, kBiweightConstant, s.mean_type);
      m = YearMean{b.location, b.scale, b.std_error, b.efficiency, b.iterations};
      if (s.bootstrap == 1) {
        const YearLimits limits = bootstrap_limits(values, m.mean, s.mean_type, rand);
        out.lower[at] = limits.lower;
        out.upper[at] = limits.upper;
      }
      largest_depth = std::max(largest_depth, depth);
      if (record.active()) {
        // The weights come in the order of the sorted values: each series takes the weight
        // of its own value (equal values have equal weights).
        for (int j = 1; j <= tsi1.count; ++j) {
          const float v = tsi1.at(i, j);
          if (is_missing(v)) continue;
          float w = 1.0f;
          if (tsi1.count >= kWeightsMinimumDepth) {
            const auto pos = std::lower_bound(work.begin(), work.end(), v) - work.begin();
            w = b.weights[static_cast<std::size_t>(pos)];
          }
          record.at(i, j) = w;
        }
      }
    }
    m.mean = std::max(m.mean, 0.0f);
    if (s.printout >= 3) {
      units.write(unit::out, table_row.write(year, depth, m.mean, m.std_dev, m.std_error,
                                             m.efficiency, m.iterations,
                                             text_bar(m.mean, year, scale, s.code)));
    }
    (m.efficiency > 1.0f ? efficiency.gains : efficiency.losses).push_back(m.efficiency);
    out.chronology[at] = m.mean;
    std_dev[at] = m.std_dev;
    out.std_error[at] = m.std_error;
    unstabilised[at] = m.mean;
  }

  const ChronologyView view{out.chronology.first(static_cast<std::size_t>(n)),
                            out.depth.first(static_cast<std::size_t>(n)), std_dev, first,
                            first + n - 1};
  stabilise_chronology(view, rbar, s, units, console);
  if (record.active() && largest_depth >= kWeightsMinimumDepth) {
    weights_pass(tsi1, record, n, first, s, commands, units, plots);
  }
  // The limits move with the stabilisation.
  for (std::size_t i = 0; i < static_cast<std::size_t>(n); ++i) {
    const float d = out.chronology[i] - unstabilised[i];
    if (d != 0.0f) {
      out.lower[i] += d;
      out.upper[i] += d;
    }
  }
  write_chronology_statistics(view, efficiency, tsi1, s, units);
}

}  // namespace dendro
