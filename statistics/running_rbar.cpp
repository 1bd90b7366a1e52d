#include "statistics/running_rbar.h"

#include <algorithm>
#include <cmath>

#include "series/files/interrupts.h"
#include "series/layout.h"
#include "statistics/pair_correlations.h"

namespace dendro {

namespace {

constexpr int kMaxTableWindows = 50;    // more windows go to the file only
constexpr int kBlockWindows = 10;       // windows per block of the report table
constexpr std::size_t kGramVector = 4;  // cells of a Gram row updated as one vector

// The base year of the second and later windows: the first decade after the first year
// (1653 and 1650 give 1660, 0 gives 10, -53 and -50 give -50).
int decade_after(int first_year) {
  int base = 10 * (first_year / 10);
  if (first_year < 0) base -= 10;
  return base + 10;
}

void write_table(Units& units, int report_unit, const std::vector<RunningRbarRow>& rows) {
  // Seven columns a window, more for middle years before -9999 (the year, its decimal point
  // and a blank before it): every row widens with the year row, so that the columns stay.
  const int earliest = rows.empty() ? 0 : static_cast<int>(rows.front().year);
  const int width = year_field(earliest, 6) + 1;
  const std::string f = "10f" + std::to_string(width);
  const Layout year_line("(/t5,'year',1x," + f + ".0)");
  // A window holds up to 1,124,250 correlations (1500 series): a count that would fill its
  // column widens it rather than join the count before.
  const Layout corr_line("(t5,'corr',1x," + f + ".0+)");
  const Layout rbar_line("(t5,'rbar'," + f + ".3)");
  const Layout sdev_line("(t5,'sdev'," + f + ".3)");
  const Layout serr_line("(t5,'serr'," + f + ".3)");
  // EPS may hold the undefined marker, which an F field would join to the value before it.
  const Layout eps_line("(t5,'eps '," + f + ".3+)");

  const Layout nss_line("(t5,'nss '," + f + ".1)");
  const Layout* lines[7] = {&year_line, &corr_line, &rbar_line, &sdev_line,
                            &serr_line, &eps_line,  &nss_line};
  for (std::size_t first = 0; first < rows.size(); first += kBlockWindows) {
    const std::size_t last = std::min(rows.size(), first + kBlockWindows);
    for (std::size_t c = 0; c < 7; ++c) {
      std::vector<float> values;
      for (std::size_t w = first; w < last; ++w) values.push_back(rows[w].columns()[c]);
      units.write(report_unit, lines[c]->write(values));
    }
  }
}

}  // namespace

// Every series that takes part holds every year of the window, so all pairs share one set
// of years. With z_i the deviations of series i from its window mean scaled to unit length,
// the pair's correlation is the dot product z_i . z_j, and the sums over all pairs follow
// from two sums over the series:
//   sum of r_ij (i < j)   = (|sum_i z_i|^2 - p) / 2
//   sum of r_ij^2 (i < j) = (|sum_i z_i z_i^T|_F^2 - p) / 2   (the window's w x w Gram matrix)
// which costs p w^2 per window instead of p^2 w / 2 for the pairs one by one.
namespace {

// Series whose normalised deviations go into the Gram matrix together.
constexpr std::size_t kGramBatch = 4;

// Adds z_b[t] z_b[u] of each series b of the batch (the m rows of z, w values each) to
// cell (t, u) of the lower triangle of the Gram matrix, series after series in each cell;
// the cells of a row are independent, so they go in vectors of a fixed size, the few left
// over one by one.
template <std::size_t M>
void add_products(std::vector<double>& gram, std::size_t w, const std::vector<double>& z) {
  const double* zs = z.data();
  for (std::size_t t = 0; t < w; ++t) {
    double* row = gram.data() + t * w;
    double zt[M];
    for (std::size_t b = 0; b < M; ++b) zt[b] = zs[b * w + t];
    std::size_t u = 0;
    for (; u + kGramVector <= t + 1; u += kGramVector) {
      double g[kGramVector];
      for (std::size_t k = 0; k < kGramVector; ++k) g[k] = row[u + k];
#pragma GCC unroll 4
      for (std::size_t b = 0; b < M; ++b) {
        for (std::size_t k = 0; k < kGramVector; ++k) g[k] += zt[b] * zs[b * w + u + k];
      }
      for (std::size_t k = 0; k < kGramVector; ++k) row[u + k] = g[k];
    }
    for (; u <= t; ++u) {
      for (std::size_t b = 0; b < M; ++b) row[u] += zt[b] * zs[b * w + u];
    }
  }
}

// The normalised deviations of the batch's series (deviations from the mean over the root
// of their sum of squares, each summed in year order) into the rows of z, and their sums
// into total, series after series; the series' sums run side by side.
void normalise(std::span<const std::span<const float>> batch, std::size_t w, std::vector<double>& z,
               std::vector<double>& total) {
  const std::size_t m = batch.size();
  double mean[kGramBatch] = {}, squares[kGramBatch] = {};
  for (std::size_t t = 0; t < w; ++t) {
    for (std::size_t b = 0; b < m; ++b) mean[b] += batch[b][t];
  }
  for (std::size_t b = 0; b < m; ++b) mean[b] /= static_cast<double>(w);
  for (std::size_t t = 0; t < w; ++t) {
    for (std::size_t b = 0; b < m; ++b) {
      const double d = batch[b][t] - mean[b];
      z[b * w + t] = d;
      squares[b] += d * d;
    }
  }
  for (std::size_t b = 0; b < m; ++b) {
    const double scale = 1.0 / std::sqrt(squares[b]);
    for (std::size_t t = 0; t < w; ++t) {
      z[b * w + t] *= scale;
      total[t] += z[b * w + t];
    }
  }
}

}  // namespace

WindowCorrelations rrbar(const SeriesView& view, int start, int window, int min_correlations) {
  WindowCorrelations result;
  const auto w = static_cast<std::size_t>(std::max(window, 0));
  std::vector<double> total(w, 0.0), gram(w * w, 0.0), z(kGramBatch * w);
  std::span<const float> batch[kGramBatch];
  std::size_t m = 0;
  int p = 0;
  for (int i = 1; i <= view.count(); ++i) {
    stop_if_interrupted();  // a long window takes a while for each series
    // The series that hold every year of the window and vary within it; the others have no
    // correlation in this window.
    if (start < view.first[i - 1] || view.last[i - 1] - start + 1 < window) continue;
    const auto x = view.values(i, start, window);
    if (!has_spread(x)) continue;
    batch[m++] = x;
    ++p;
    if (m < kGramBatch) continue;
    normalise(batch, w, z, total);
    add_products<kGramBatch>(gram, w, z);
    m = 0;
  }
  // The series left over, one at a time.
  for (std::size_t b = 0; b < m; ++b) {
    normalise(std::span(batch + b, 1), w, z, total);
    add_products<1>(gram, w, z);
  }
  double norm = 0, frobenius = 0;
  for (std::size_t t = 0; t < w; ++t) {
    norm += total[t] * total[t];
    for (std::size_t u = 0; u <= t; ++u) {
      const double g = gram[t * w + u];
      frobenius += (t == u ? 1.0 : 2.0) * g * g;
    }
  }
  const double pairs = 0.5 * p * (p - 1.0);
  result.count = static_cast<int>(pairs);
  const int c = result.count;
  if (c < std::max(min_correlations, 1)) return result;
  const double sum = 0.5 * (norm - p);
  const double sum_squares = 0.5 * (frobenius - p);
  result.rbar = static_cast<float>(std::clamp(sum / c, -1.0, 1.0));
  if (c == 1) {
    result.sd = result.se = 0.0f;
    return result;
  }
  const double mean = sum / c;
  result.sd =
      static_cast<float>(std::sqrt(std::max(0.0, (sum_squares - c * mean * mean) / (c - 1))));
  result.se = result.sd / std::sqrt(static_cast<float>(c));
  return result;
}

float eps(float r, float series, float undefined) {
  if (!(r >= 0.0f) || !(series >= 1.0f)) return undefined;
  return r / ((1.0f - r) / series + r);
}

std::vector<RunningRbarRow> running_rbar(const SeriesView& view, int first_year, int last_year,
                                         int length, int window, int overlap) {
  std::vector<RunningRbarRow> rows;
  const int step = window - overlap;
  if (window < 1 || step < 1) return rows;
  const int tried = (length + step - 1) / step;
  int base = first_year;
  for (int k = 1; k <= tried; ++k) {
    stop_if_interrupted();
    if (k == 2) base = decade_after(first_year);
    const int start = base + step * (k - 1);
    const int end = start + window - 1;
    if (end > last_year) continue;
    const WindowCorrelations w = rrbar(view, start, window);
    if (!w.defined()) continue;
    RunningRbarRow row;
    row.year = static_cast<float>(start + window / 2);
    row.corrs = static_cast<float>(w.count);
    row.rbar = w.rbar;
    row.sdev = w.sd;
    row.serr = w.se;
    // The mean series count takes every series with a value in the window's years, also
    // those that do not cover the whole window.
    row.cores =
        static_cast<float>(present_values(view, start, window)) / static_cast<float>(window);
    row.eps = eps(row.rbar, row.cores, kRbarUndefined);
    rows.push_back(row);
  }
  return rows;
}

std::vector<RunningRbarRow> runr(const Tsi1& tsi1, int length, const Icommands& icommands,
                                 Console& con, Units& units, int report_unit) {
  const int window = icommands[opt::running_rbar_window];
  const int overlap = icommands[opt::running_rbar_overlap];
  const Layout settings("(1x,'window length: ',t22,i5, /1x,'window overlap: ',t22,i5)");
  con.say(settings.write(window, overlap));
  if (window < 1 || overlap >= window) {
    // The windows would not move on: none is computed rather than an endless or undefined
    // sequence.
    con.say(" *** window overlap must be less than the window length: no running rbar ***");
  }

  const SeriesView view = series_view(tsi1);
  const SeriesYears& set = tsi1.years[static_cast<std::size_t>(tsi1.count)];
  std::vector<RunningRbarRow> rows = running_rbar(view, set.ify, set.ily, length, window, overlap);

  const Layout segments("(1x,'segments calculated: ',t22,i5)");
  con.say(segments.write(rows.size()));
  units.write(report_unit, Layout("(/t2,'|--------------------------- running rbar ', "
                                  "'statistics --------------------------|')")
                               .write());
  if (rows.size() > static_cast<std::size_t>(kMaxTableWindows)) {
    const Layout stored("(/10x,i6,' running rbar segments calculated and ', 'stored in file')");
    units.write(report_unit, stored.write(rows.size()));
  } else {
    write_table(units, report_unit, rows);
  }
  return rows;
}

}  // namespace dendro
