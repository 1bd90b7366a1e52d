#include "detrending/rcs.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "detrending/curve_fit.h"
#include "detrending/indices.h"
#include "detrending/rcs_pith.h"
#include "detrending/rcs_steps.h"
#include "plots/series_plot.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/core_save.h"
#include "series/descriptive.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/index_block.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/spline.h"
#include "series/store.h"
#include "series/text.h"
#include "series/tucson.h"

namespace dendro {
namespace {

constexpr int kBootstrapDepth = 5;  // ages with more series than this have bootstrap limits
constexpr std::size_t kTitleLength = 85;

// Header line h of the character block with `tag` from column 81.
std::string tagged_header(Commands& commands, int h, std::string_view tag) {
  std::string line = field(commands.header_line(h), kTitleLength);
  line.replace(80, tag.size(), tag);
  commands.set_header_line(h, line);
  return line;
}

// Smooths the first n values into `out` (cleared first); a spline that cannot be fitted
// (fewer than 4 values, say) leaves zeros, as rows without a smooth have.
void smooth_into(std::span<const float> values, int n, std::span<float> out, int years,
                 Console& con) {
  std::fill(out.begin(), out.end(), 0.0f);
  if (n < 1) return;
  if (spline(values.first(count(n)), out.first(count(n)), years, &con).status != SplineStatus::ok) {
    std::fill(out.begin(), out.end(), 0.0f);
  }
}

}  // namespace

RegionalCurve::RegionalCurve(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, const RcsVectors& vectors,
                             std::string& title, RcsIo& io)
    : tsi1_(tsi1),
      tsi2_(tsi2),
      stats_(stats),
      v_(vectors),
      title_(title),
      io_(io),
      option_(io.icommands[opt::second_detrending]),
      // The super smoother runs with alpha 0.
      parameter_(window_code(option_) ? io.icommands[opt::second_detrending_parameter] : 0),
      fit_plot_(io.icommands[opt::first_detrending_plots]) {}

void RegionalCurve::check_vectors() const {
  const std::size_t n = count(length_);
  if (v_.curve.size() < n || v_.depth.size() < n || v_.std_error.size() < n ||
      v_.lower.size() < n || v_.upper.size() < n) {
    throw std::length_error("rcs: the vectors are shorter than the age-aligned set");
  }
}

void RegionalCurve::run(std::span<const int> offsets) {
  const Icommands& options = io_.icommands;
  alignment_ = align_by_age(tsi1_, offsets, options[opt::first_detrending], io_.con);
  length_ = fit_length_ = alignment_.length;
  check_vectors();

  save_series("_rcs_raw.txt", "  rcs", "raw");
  mean_by_age();
  if (spaghetti_plots_on(options[opt::summary_plots])) {
    if (io_.plots.all_series) {
      io_.plots.all_series(tsi1_, "rcs-aligned data with mean", "years", "measurements",
                           series_kind::kRegionalCurve);
    } else {
      plot_not_available(io_.con);
    }
  }
  fill_age_columns();
  if (options[opt::bootstrap_limits] == 1) bootstrap_limits();
  name_title();
  write_chronology();

  fit_regional_curve();
  indices_by_age();
  save_series("_rcs_ind1.txt", " rcs ", "ind");
  back_to_calendar();
  sstat(tsi1_, stats_, io_.units, unit::out, options[opt::printout]);
}

// The aligned series (by cambial age) in the format of option 18, with the three header
// lines tagged from column 81 for the tucson and mib pex formats.
void RegionalCurve::save_series(const char* suffix, const char* tag, const char* kind) {
  const int save = io_.icommands[opt::core_series_save];
  if (!series_saved(save)) return;
  const std::string name = output_prefix(io_.commands.data_file) + suffix;
  std::ostream& out = io_.units.create(unit::series, name);
  if (saved_with_header_lines(save)) {
    for (int h = 1; h <= 3; ++h) out << tagged_header(io_.commands, h, tag) << '\n';
  }
  sis(out, tsi1_, save, kind, io_.con);
  io_.units.close(unit::series);
}

void RegionalCurve::mean_by_age() {
  if (!io_.mean_by_age) throw std::logic_error("rcs: no mean chronology builder");
  const std::size_t n = count(length_);
  // Limits left from the calendar-year chronologies would stand in the ages without series.
  std::fill(v_.lower.begin(), v_.lower.begin() + static_cast<std::ptrdiff_t>(n), 0.0f);
  std::fill(v_.upper.begin(), v_.upper.begin() + static_cast<std::ptrdiff_t>(n), 0.0f);
  mean_.assign(n, 0.0f);
  std::vector<float> segment_length(n, 0.0f), tree_age(n, 0.0f), sig(n, 0.0f);
  AgeMeanColumns columns;
  columns.depth = v_.depth.first(n);
  columns.segment_length = segment_length;
  columns.tree_age = tree_age;
  columns.mean = mean_;
  columns.std_dev = sig;
  columns.std_error = v_.std_error.first(n);
  columns.lower = v_.lower.first(n);
  columns.upper = v_.upper.first(n);
  io_.mean_by_age(tsi1_, columns);

  keep_in_table(tsi2col::segment_length, segment_length);
  keep_in_table(tsi2col::tree_age, tree_age);
  keep_in_table(tsi2col::rcs_mean, mean_);
  keep_in_table(tsi2col::rcs_spread, sig);
  tsi1_.overlay = mean_;
}

// The age axis may be longer than the chronology (large pith offsets, say): the regional
// curve's own columns grow to hold every age row, for the table file; the segment length
// and tree age are calendar columns, which keep the age rows within the chronology's years.
void RegionalCurve::keep_in_table(int column, std::span<const float> by_age) {
  std::vector<float>& rows = tsi2_.columns.at(at(column));
  if (column >= tsi2col::rcs_age && rows.size() < by_age.size()) {
    rows.resize(by_age.size(), kMissing);
  }
  std::copy_n(by_age.begin(), std::min(by_age.size(), rows.size()), rows.begin());
}

void RegionalCurve::fill_age_columns() {
  depth_above_5_ = 0;
  std::vector<float> age(count(length_)), depth_by_age(count(length_));
  for (int r = 1; r <= length_; ++r) {
    const int depth = v_.depth[at(r)];
    age[at(r)] = static_cast<float>(r);
    depth_by_age[at(r)] = static_cast<float>(depth);
    if (depth > kBootstrapDepth) ++depth_above_5_;
  }
  keep_in_table(tsi2col::rcs_age, age);
  keep_in_table(tsi2col::rcs_depth, depth_by_age);
}

void RegionalCurve::bootstrap_limits() {
  const std::size_t n = count(length_);
  const int k = depth_above_5_;
  const int years = io_.icommands[opt::bootstrap_spline];
  std::vector<float> smooth_mean(n), smooth_lower(n), smooth_upper(n);
  smooth_into(mean_, length_, smooth_mean, years, io_.con);
  smooth_into(v_.lower, k, smooth_lower, years, io_.con);
  smooth_into(v_.upper, k, smooth_upper, years, io_.con);
  // Ages without limits of their own (fewer than six series) get the mean for both.
  for (std::size_t r = 0; r < n; ++r) {
    if (v_.lower[r] != 0.0f) continue;
    v_.lower[r] = v_.upper[r] = mean_[r];
    smooth_lower[r] = smooth_upper[r] = smooth_mean[r];
  }
  const int plot_flag = io_.icommands[opt::bootstrap_plots];
  if (plot_flag > 0) {
    if (io_.plots.page) {
      const std::string name(
          trim_right(io_.commands.get(Commands::kNameFirst, Commands::kNameLast)));
      ChronologyPlot page =
          two_panels(mean_, v_.lower.first(n), smooth_mean, smooth_lower, length_, 1, name,
                     {" rcs ring width bootstrap", " splined rcs bootstrap", "ring widths (z)",
                      "ring widths (y)", 1, 9});
      page.c3 = v_.upper.first(n);
      page.c6 = smooth_upper;
      int flag = plot_flag;
      io_.plots.page(page, flag);
    } else {
      plot_not_available(io_.con);
    }
  }
  write_limit_file(smooth_mean, smooth_lower, smooth_upper);
}

void RegionalCurve::write_limit_file(std::span<const float> smooth_mean,
                                     std::span<const float> smooth_lower,
                                     std::span<const float> smooth_upper) {
  const std::string name = output_prefix(io_.commands.data_file) + "_rcs_95%cl.txt";
  io_.units.create(unit::series, name);
  io_.units.write(unit::series, Layout("(a60)").write("  year    nc     std    2.5%   97.5%     "
                                                      "spl    2.5%   97.5%"));
  const Layout row("(2i6,6f8.3)");
  for (int r = 1; r <= length_; ++r) {
    const std::size_t j = at(r);
    io_.units.write(unit::series, row.write(r, v_.depth[j], mean_[j], v_.lower[j], v_.upper[j],
                                            smooth_mean[j], smooth_lower[j], smooth_upper[j]));
  }
  io_.units.close(unit::series);
}

void RegionalCurve::name_title() {
  title_ = field(title_, kTitleLength);
  if (title_.substr(0, 6) == "      ") {
    title_ = field(std::string(own_name(trim_right(io_.commands.data_file))) +
                       " -- no data title line provided --",
                   kTitleLength);
  }
  title_.replace(53, 27, " age-aligned rcs chronology");
}

// The mean by age and its error series in the chronology, error and run-wide files, ages
// counted from 1, under the id of the data file's other chronology blocks.
void RegionalCurve::write_chronology() {
  const TucsonMode mode = tucson_mode(io_.commands.write_mode()).value_or(TucsonMode::iw);
  const std::size_t n = count(length_);
  IndexBlock block{"rcs chronology",
                   mode,
                   field(chronology_id_stem(io_.commands.data_file), 8),
                   1,
                   mean_,
                   v_.depth.first(n),
                   "rcs",
                   {}};
  for (int h = 1; h <= 3; ++h) {
    const std::string line = tagged_header(io_.commands, h, "  rcs");
    if (mode != TucsonMode::qz) block.titles.push_back(line);
  }
  const int chronology_files[] = {unit::crns, unit::crns_rcs};
  const int error_files[] = {unit::errs, unit::err_rcs};
  write_index_pair(io_.units, io_.con, unit::out,
                   {std::move(block), chronology_files, v_.std_error.first(n), error_files},
                   io_.notes);
}

void RegionalCurve::indices_by_age() {
  keep_in_table(tsi2col::rcs_curve, v_.curve.first(count(length_)));
  fit_length_ = length_;
  series_mean_.assign(count(tsi1_.count), 0.0f);
  series_sd_.assign(count(tsi1_.count), 0.0f);
  for (int i = 1; i <= tsi1_.count; ++i) {
    const int first = alignment_.first_row(i);
    const SeriesYears& y = tsi1_.years[at(i)];
    const int n = std::min(y.ily - y.ify + 1, length_);
    std::span<float> values = tsi1_.column(i).subspan(count(first - 1), count(n));
    if (io_.icommands[opt::index_calculation] == kResidualIndices) {
      const Moments m = moment(values);
      series_mean_[at(i)] = m.mean;
      series_sd_[at(i)] = m.std_dev;
    }
    calind(values, v_.curve.subspan(count(first - 1), count(n)),
           io_.icommands[opt::index_calculation]);
  }
}

void RegionalCurve::back_to_calendar() {
  restore_calendar(tsi1_, alignment_);
  if (fit_plot_ != 1) return;
  const int set_first = tsi1_.years[count(tsi1_.count)].ify;
  for (int i = 1; i <= tsi1_.count && fit_plot_ == 1; ++i) {
    const SeriesYears& y = tsi1_.years[at(i)];
    plot_series_indices(
        i, tsi1_.column(i).subspan(count(y.ify - set_first), count(y.ily - y.ify + 1)));
  }
}

// One series' indices on the calendar axis. Residual indices are shown on the scale of
// the series they came from: standardized, then given the series' mean and deviation.
void RegionalCurve::plot_series_indices(int i, std::span<const float> indices) {
  if (!io_.plots.page) {
    plot_not_available(io_.con);
    return;
  }
  std::vector<float> shown(indices.begin(), indices.end());
  if (io_.icommands[opt::index_calculation] == kResidualIndices) {
    std::vector<float> copy = shown;
    const Moments m = moment(copy);
    if (m.std_dev > 0.0f) {
      for (float& v : shown) {
        v = (v - m.mean) / m.std_dev * series_sd_[at(i)] + series_mean_[at(i)];
      }
    }
  }
  float level = 0.0f;
  for (float v : shown) level += v;
  if (!shown.empty()) level /= static_cast<float>(shown.size());
  const std::vector<float> mean_line(shown.size(), level);
  const std::vector<float> ones(indices.size(), 1.0f);
  const std::string name = plot_name(tsi1_.ids[at(i)]);
  const ChronologyPlot page = two_panels(
      shown, mean_line, indices, ones, static_cast<int>(indices.size()), tsi1_.years[at(i)].ify,
      name, {"", "", "measurements (y)", "rcs indices (z)", 2, 6});
  io_.plots.page(page, fit_plot_);
}

void rcs(Tsi1& tsi1, Tsi2& tsi2, StatsTable& stats, const RcsVectors& vectors,
         std::span<int> pith_offsets_out, std::string& title, RcsIo& io) {
  if (tsi1.count < 1) return;
  const std::vector<int> offsets = pith_offsets(tsi1, io);
  std::copy(offsets.begin(), offsets.begin() + std::min(offsets.size(), pith_offsets_out.size()),
            pith_offsets_out.begin());
  RegionalCurve(tsi1, tsi2, stats, vectors, title, io).run(offsets);
}

}  // namespace dendro
