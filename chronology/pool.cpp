#include "chronology/pool.h"

#include <cmath>
#include <cstddef>
#include <limits>
#include <stdexcept>
#include <string>

#include "plots/autoregression_plot.h"
#include "plots/plot_loop.h"
#include "series/blocks.h"
#include "series/console.h"
#include "series/files/units.h"
#include "series/index.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/store.h"

namespace dendro {
namespace {

// Rows (0-based, first and last) of series i in the matrix, or nothing when the series does
// not lie inside the matrix.
struct Span {
  int first = 0, last = -1;
};

Span span_of(const Tsi1& tsi1, int i, int first_year) {
  const SeriesYears& y = tsi1.years.at(at(i));
  Span s{y.ify - first_year, y.ily - first_year};
  if (s.first < 0 || s.last >= tsi1.rows || s.last < s.first) return Span{};
  return s;
}

const float* column_of(const Tsi1& tsi1, int i) {
  return tsi1.matrix.data() + at(i) * static_cast<std::size_t>(tsi1.rows);
}

}  // namespace

// For a lead series i and a partner j the products x_i(t) x_j(t + L) count when both series
// cover the years t .. t + L. Summing over the partners first, the pooled sum becomes
//   C_L = sum_t F_L(t) G_L(t),
//   F_L(t) = sum of x_i(t) over the lead series covering t .. t + L,
//   G_L(t) = sum of x_j(t + L) over all series covering t .. t + L,
// which is the sum over all ordered pairs of the lagged products over their common years,
// in time proportional to series x years x lags instead of series^2 x years x lags.
std::array<double, kPoolLags> pooled_cross_products(const Tsi1& tsi1, int first_year,
                                                    std::span<const int> lead) {
  const auto rows = static_cast<std::size_t>(tsi1.rows);
  std::vector<double> f(rows * kPoolLags, 0.0), g(rows * kPoolLags, 0.0);
  for (int i = 1; i <= tsi1.count; ++i) {
    const Span s = span_of(tsi1, i, first_year);
    const float* x = column_of(tsi1, i);
    const bool leads = static_cast<std::size_t>(i) <= lead.size() && lead[i - 1] != 0;
    for (int lag = 0; lag < kPoolLags; ++lag) {
      double* fl = f.data() + static_cast<std::size_t>(lag) * rows;
      double* gl = g.data() + static_cast<std::size_t>(lag) * rows;
      for (int t = s.first; t <= s.last - lag; ++t) {
        const float lagged = x[t + lag];
        if (!is_missing(lagged)) gl[t] += lagged;
        if (leads && !is_missing(x[t])) fl[t] += x[t];
      }
    }
  }
  std::array<double, kPoolLags> c{};
  for (int lag = 0; lag < kPoolLags; ++lag) {
    const double* fl = f.data() + static_cast<std::size_t>(lag) * rows;
    const double* gl = g.data() + static_cast<std::size_t>(lag) * rows;
    double sum = 0.0;
    for (std::size_t t = 0; t < rows; ++t) sum += fl[t] * gl[t];
    c[static_cast<std::size_t>(lag)] = sum;
  }
  return c;
}

namespace {

// Order selection at order p, after the criterion of order p is known. `row` holds the
// coefficients of order p.
struct Selection {
  int order = 0;
  float minimum = 0.0f;
  bool done = false;
  std::vector<float> coefficients;

  void select(int p, float aic, std::span<const float> row) {
    order = p;
    minimum = aic;
    coefficients.assign(row.begin(), row.begin() + p);
  }

  void consider(int p, float aic, std::span<const float> row, int ipp) {
    if (done) return;
    if (ipp == 0) {
      // First minimum: while order 0 is still the best, later orders keep being examined.
      if (order >= 1 && aic > minimum) {
        done = true;
      } else if (aic <= minimum) {
        select(p, aic, row);
      }
    } else if (ipp > 0 && p == ipp) {
      select(p, aic, row);
      done = true;
    } else if (aic <= minimum) {
      // Full minimum, and the orders below a fixed one; a tie goes to the higher order.
      select(p, aic, row);
    }
  }
};

// A prediction error that is not positive has no logarithm: such an order cannot be chosen.
float criterion(int p, int n, float v) {
  if (!(v > 0.0f)) return std::numeric_limits<float>::infinity();
  return static_cast<float>(n) * std::log(v) + 2.0f * static_cast<float>(p + 1);
}

}  // namespace

PooledFit fit_pooled(const std::array<double, kPoolLags>& sums, int n, int ipp) {
  PooledFit fit;
  for (int k = 0; k < kPoolLags; ++k) fit.c[k] = static_cast<float>(sums[k]);
  const auto& c = fit.c;
  // Series without any spread have no autocorrelation: nothing is fitted, order 0.
  if (!(c[0] > 0.0f)) {
    fit.r.fill(0.0f);
    fit.r[0] = 1.0f;
    fit.impulse[0] = 1.0f;
    return fit;
  }
  for (int k = 0; k < kPoolLags; ++k) fit.r[k] = c[k] / c[0];

  // Order 0 and order 1.
  Selection sel;
  fit.aic[0] = criterion(0, n, c[0]);
  sel.minimum = fit.aic[0];
  std::array<float, kPoolLags> row{};  // phi_{m,1..m}, rewritten in place
  row[0] = fit.r[1];
  fit.phi[1] = row;

  // Durbin-Levinson on the unnormalised sums, orders 2 to 11; the criterion of order m - 1
  // needs its prediction error, which is the denominator of order m.
  for (int m = 2; m <= kPoolLags - 1; ++m) {
    float v = c[0];
    float num = c[m];
    for (int k = 1; k <= m - 1; ++k) {
      v -= row[k - 1] * c[k];
      num -= row[k - 1] * c[m - k];
    }
    const float phimm = v > 0.0f ? num / v : 0.0f;
    fit.aic[m - 1] = criterion(m - 1, n, v);
    sel.consider(m - 1, fit.aic[m - 1], row, ipp);
    std::array<float, kPoolLags> next = row;
    for (int k = 1; k <= m - 1; ++k) next[k - 1] = row[k - 1] - phimm * row[m - k - 1];
    next[m - 1] = phimm;
    row = next;
    fit.phi[m] = row;
  }

  fit.order = sel.order;
  fit.coefficients = sel.coefficients;
  // Impulse response weights psi_j = sum_k phi_k psi_{j-k}.
  fit.impulse[0] = 1.0f;
  for (int j = 1; j < static_cast<int>(fit.impulse.size()); ++j) {
    float psi = 0.0f;
    for (int k = 1; k <= fit.order && k <= j; ++k)
      psi += fit.coefficients[k - 1] * fit.impulse[j - k];
    fit.impulse[j] = psi;
  }
  for (int k = 1; k <= fit.order; ++k) fit.r_squared += fit.coefficients[k - 1] * fit.r[k];
  return fit;
}

namespace {

// Subtracts each used series' mean over its own years from its values. A series that starts
// before the chronology's first year cannot be read: it is reported, and left out of the
// pooled sums (its use flag is cleared in the returned list).
std::vector<int> centre_series(Tsi1& tsi1, int first_year, std::span<const int> use,
                               Console& console) {
  std::vector<int> lead(static_cast<std::size_t>(tsi1.count), 0);
  for (int i = 1; i <= tsi1.count; ++i) {
    if (static_cast<std::size_t>(i) > use.size() || use[i - 1] != 1) continue;
    const SeriesYears& y = tsi1.years.at(at(i));
    const int iskp = y.ify - first_year;
    if (iskp < 0) {
      console.say(Layout("(1x,'error in pool: iskp = ',i4)").write(iskp));
      console.pause("");
      continue;
    }
    if (y.ily - first_year >= tsi1.rows) throw std::logic_error("pool: series beyond the matrix");
    std::span<float> x = tsi1.column(i).subspan(static_cast<std::size_t>(iskp),
                                                static_cast<std::size_t>(y.ily - y.ify + 1));
    float sum = 0.0f;
    int count = 0;
    for (float v : x) {
      if (is_missing(v)) continue;
      sum += v;
      ++count;
    }
    if (count > 0) {
      const float mean = sum / static_cast<float>(count);
      for (float& v : x) {
        if (!is_missing(v)) v -= mean;
      }
    }
    lead[at(i)] = 1;
  }
  return lead;
}

// Lags 0 to 10 of the four curves of the pooled autoregression page.
std::array<float, 44> plot_block(const PooledFit& fit) {
  std::array<float, 44> block{};
  for (int j = 0; j <= 10; ++j) {
    block[static_cast<std::size_t>(j)] = j == 0 ? 1.0f : fit.r[j];
    block[static_cast<std::size_t>(11 + j)] = j == 0 ? 1.0f : fit.phi[j][j - 1];
    block[static_cast<std::size_t>(22 + j)] =
        j == 0 ? 1.0f : (j <= fit.order ? fit.coefficients[j - 1] : 0.0f);
    block[static_cast<std::size_t>(33 + j)] = fit.impulse[j];  // 1 then zeros for order 0
  }
  return block;
}

std::vector<int> lags_minus_1_to_10() {
  std::vector<int> lags;
  for (int k = 1; k <= 10; ++k) lags.push_back(-k);
  return lags;
}

void write_report(Units& units, Console& console, const PooledFit& fit, int ipp, float inflation) {
  auto put = [&](const std::string& record) { units.write(unit::out, record); };
  const std::vector<int> lags = lags_minus_1_to_10();
  put(Layout("(/t2,'pooled autocorrelations:'/)").write());
  put(Layout("(t2,'lag   ',10('  t=',i3))").write(lags));
  put(Layout("(t8,10f7.3)").write(std::span<const float>(fit.r).subspan(1, 10)));
  put(Layout("(/t2,'yule-walker estimates of ', 'autoregression:'/)").write());
  put(Layout("(t2,'order ',10('  t=',i3))").write(lags));
  const Layout yw_row("(t2,i4,2x,10f7.3)");
  for (int m = 1; m <= kPoolMaxOrder; ++m) {
    put(yw_row.write(m, std::span<const float>(fit.phi[m]).first(static_cast<std::size_t>(m))));
  }
  put(Layout("(/t2,'last term in each row above equals the ',"
             "'partial autocorrelation coefficient')")
          .write());
  put(Layout("(/t2,'akaike information criterion:')").write());
  // An order whose prediction error is not positive has no criterion: it says so.
  std::vector<std::string> aic;
  for (float v : fit.aic) {
    aic.push_back(std::isfinite(v) ? Layout("(f12.2)").write(v) : "   undefined");
  }
  put(Layout("(/t3,6('    ar(',i2,')  ')/t1,6a12)")
          .write(0, 1, 2, 3, 4, 5, std::span<const std::string>(aic).first(6)));
  put(Layout("(/t3,5('    ar(',i2,')  ')/t1,5a12)")
          .write(6, 7, 8, 9, 10, std::span<const std::string>(aic).subspan(6, 5)));
  put(Layout("(/t2,'selected autoregression order:',i4)").write(fit.order));
  console.say(Layout("(/1x,'selected autoregression order:',i4)").write(fit.order));
  if (ipp == 0) {
    put(Layout("(/t2,'ar order selection criterion: ipp=0  ','first-minimum aic selection')")
            .write());
  } else if (ipp < 0) {
    put(Layout("(/t2,'ar order selection criterion: ipp<0  ','full-minimum aic selection')")
            .write());
  } else {
    put(Layout("(/t2,'ar order selection criterion: ipp>0  ',"
               "'constrained ar order selection = ipp')")
            .write());
  }
  put(Layout("(/t2,'the aic trace should be checked to see if ',"
             "'ar order selection criterion <ipp>'/"
             "t2,'is ','adequate. e.g. if ar-orders of the first-minimum ',"
             "'and the full-minimum aic'/"
             "t2,'are close, an ','kalder run with full-minimum aic order selection ',"
             "'might be tried')")
          .write());
  if (fit.order < 1) return;

  put(Layout("(/t2,'autoregression coefficients:'/)").write());
  put(Layout("(t3,10('t=',i3,'   '))").write(lags));
  put(Layout("(f7.3,9f8.3)").write(fit.coefficients));
  const Layout rsq("(t2,'r-squared due to pooled autoregression:',f8.2,' pct')");
  const Layout vif("(t2,'variance inflation from autoregression:',f8.2,' pct')");
  units.write(unit::out, "");
  put(rsq.write(100.0f * fit.r_squared));
  put(vif.write(100.0f * inflation));
  console.say(rsq.write(100.0f * fit.r_squared));
  console.say(vif.write(100.0f * inflation));
  put(Layout("(/t2,'impulse response function weights ',"
             "'for this ar (',i2,') process out to order 50:'/)")
          .write(fit.order));
  put(Layout("((t3,f6.4,9f8.3))").write(std::span<const float>(fit.impulse).first(50)));
}

}  // namespace

PoolResult pool(Tsi1& tsi1, int n, std::span<const int> use, const Icommands& icommands,
                const Commands& commands, Units& units, PlotSession& plots) {
  Console& console = plots.console();
  const int ipp = icommands[opt::pooled_ar_order];
  const char sw = commands.at(Commands::kPooledArSwitch);
  const bool reporting = sw == 'n' || sw == 'N';
  const int first_year = tsi1.years.at(count(tsi1.count)).ify;

  // Centring, then the pooled sums and the fit.
  if (reporting) console.say(Layout("(/1x,'computing pooled autoregression')").write());
  const std::vector<int> lead = centre_series(tsi1, first_year, use, console);
  const PooledFit fit = fit_pooled(pooled_cross_products(tsi1, first_year, lead), n, ipp);

  PoolResult result;
  result.order = fit.order;
  result.coefficients = fit.coefficients;
  result.r_squared = fit.r_squared;
  if (reporting) {
    const float inflation = fit.order >= 1 ? 1.0f / (1.0f - fit.r_squared) : 1.0f;
    result.variance_inflation = inflation;
    write_report(units, console, fit, ipp, inflation);
  }
  const int summary_option = icommands[opt::summary_plots];
  if (various_summary_plots_on(summary_option) ||
      icommands[opt::pooled_ar_plots] == plot_switch::on) {
    arhist1(plots, plot_block(fit), commands.get(Commands::kNameFirst, Commands::kNameLast), n);
  }
  return result;
}

}  // namespace dendro
