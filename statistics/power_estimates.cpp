#include "statistics/power_estimates.h"

#include <cmath>
#include <stdexcept>

#include "plots/plot_loop.h"
#include "plots/power_plot.h"
#include "series/layout.h"
#include "series/option_values.h"
#include "series/text.h"

namespace dendro {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr int kMinLength = 4;  // shortest series with a spectrum
constexpr int kMinLag = 3;     // fewest lags of an estimate

// Raw estimate R(j) = (2 dt / pi) [c(0)/2 + sum_{k=1}^{M-1} c(k) cos(k w_j) + c(M)/2 cos(M w_j)],
// w_j = j pi / M. The angle is formed in single precision as k times w_j, as the chronology
// spectra have always been computed; the sum is in double precision.
std::vector<float> raw_estimate(std::span<const float> c, float time_step) {
  const int m = static_cast<int>(c.size()) - 1;
  const float scale = 2.0f * time_step / kPi;
  std::vector<float> raw(c.size());
  for (int j = 0; j <= m; ++j) {
    const float w = static_cast<float>(j) * kPi / static_cast<float>(m);
    double sum = 0.5 * c[0];
    for (int k = 1; k < m; ++k) {
      sum += static_cast<double>(c[k]) * std::cos(static_cast<float>(k) * w);
    }
    sum += 0.5 * c[m] * std::cos(static_cast<float>(m) * w);
    raw[j] = scale * static_cast<float>(sum);
  }
  return raw;
}

// Hamming weights 0.23, 0.54, 0.23 across frequencies; at each end the missing neighbour's
// weight goes to the one that exists, so the weights always sum to 1.
std::vector<float> hamming_smooth(std::span<const float> raw) {
  const std::size_t m = raw.size() - 1;
  std::vector<float> s(raw.size());
  s[0] = 0.54f * raw[0] + 0.46f * raw[1];
  for (std::size_t j = 1; j < m; ++j)
    s[j] = 0.23f * raw[j - 1] + 0.54f * raw[j] + 0.23f * raw[j + 1];
  s[m] = 0.46f * raw[m - 1] + 0.54f * raw[m];
  return s;
}

}  // namespace

FtautoMoments ftauto(std::span<const float> x) {
  FtautoMoments result;
  if (x.empty()) return result;
  const double n = static_cast<double>(x.size());
  double sum = 0;
  for (float v : x) sum += v;
  result.mean = static_cast<float>(sum / n);
  double squares = 0;
  for (float v : x) {
    const double d = static_cast<double>(v) - result.mean;
    squares += d * d;
  }
  result.variance = static_cast<float>(squares / n);
  return result;
}

std::vector<float> ftauto(std::span<const float> x, float mean, int max_lag) {
  const std::size_t n = x.size();
  std::vector<float> c(static_cast<std::size_t>(max_lag) + 1, 0.0f);
  for (std::size_t k = 0; k <= static_cast<std::size_t>(max_lag) && k < n; ++k) {
    double sum = 0;
    for (std::size_t t = 0; t + k < n; ++t) {
      sum += (static_cast<double>(x[t + k]) - mean) * (static_cast<double>(x[t]) - mean);
    }
    c[k] = static_cast<float>(sum / static_cast<double>(n));
  }
  return c;
}

FtfreqResult ftfreq(std::span<const float> x, int max_lag, float time_step) {
  FtfreqResult result;
  const int n = static_cast<int>(x.size());
  const int m = max_lag;

  // 1. The series must be long enough for the lags, and the step positive.
  if (n < kMinLength || m < kMinLag || m >= n) {
    result.status = kFtfreqBadLength;
    return result;
  }
  if (!(time_step > 0.0f)) {
    result.status = kFtfreqBadStep;
    return result;
  }

  // 2. Mean and variance c(0).
  const FtautoMoments moments = ftauto(x);
  result.mean = moments.mean;
  result.variance = moments.variance;

  // 3. Autocovariances of the centred series (a copy: the caller's series stays as it is).
  std::vector<float> centred(x.begin(), x.end());
  for (float& v : centred) v -= moments.mean;
  result.acov = ftauto(centred, 0.0f, m);
  result.acov[0] = moments.variance;

  // 4. Each lag's sum has n - k terms: rescale to the unbiased divisor.
  for (int k = 1; k <= m; ++k) {
    result.acov[k] = result.acov[k] * static_cast<float>(n) / static_cast<float>(n - k);
  }

  // 5. Frequencies.
  result.frequency.resize(static_cast<std::size_t>(m) + 1);
  for (int j = 0; j <= m; ++j) {
    result.frequency[j] = static_cast<float>(j) / (2.0f * static_cast<float>(m) * time_step);
  }

  // 6, 7. Raw estimate, then Hamming smoothing across frequencies.
  result.spectrum = hamming_smooth(raw_estimate(result.acov, time_step));
  return result;
}

SpectraTable spectra_table(const Tsi2& tsi2, int n, int count, int first_column) {
  if (count < 1 || first_column < 1 || first_column + count - 1 > 16 || n < 0 || n > tsi2.rows) {
    throw std::invalid_argument("spectra: chronology columns or length outside the table");
  }
  SpectraTable table;
  const int max_lag = n / 3;
  for (int c = 0; c < count; ++c) {
    const auto& column = tsi2.columns[static_cast<std::size_t>(first_column - 1 + c)];
    const FtfreqResult fit = ftfreq(std::span<const float>(column).first(n), max_lag);
    if (fit.status != kFtfreqOk) {
      if (table.status == kFtfreqOk) table.status = fit.status;
      table.power.emplace_back();
      continue;
    }
    table.frequency = fit.frequency;
    for (float p : fit.spectrum) {
      if (p <= 0.0f) table.log_switch = 0;
    }
    table.power.push_back(fit.spectrum);
  }
  return table;
}

void sfreq(const Tsi2& tsi2, int n, int count, int first_column, int plot_switch,
           const std::string& data_file, Units& units, int unit, PlotSession& plots) {
  Console& con = plots.console();
  if (count != 3) throw std::invalid_argument("sfreq: the spectra file holds three chronologies");
  const SpectraTable table = spectra_table(tsi2, n, count, first_column);
  const std::string name = output_prefix(data_file) + "_spectra.txt";
  units.create(unit, name);

  if (table.status != kFtfreqOk) {
    // No estimate exists below 9 years (3 lags); the file keeps only its header, so that an
    // older file of the same name cannot pass for this chronology's spectra.
    con.say(" *** chronology shorter than 9 years: no power spectra in " + name + " ***");
  } else if (various_summary_plots_on(plot_switch)) {
    plt6(plots, {table.frequency, {table.power[0], table.power[1], table.power[2]}},
         table.log_switch);
  }

  const Layout head("(' FREQUENCY   POWER_STD_CRN   POWER_RES_CRN   POWER_KLD_CRN')");
  const Layout row("(f9.5,f14.5,2(F16.5))");
  units.write(unit, head.write());
  if (table.status == kFtfreqOk) {
    for (std::size_t j = 0; j < table.frequency.size(); ++j) {
      units.write(unit, row.write(table.frequency[j], table.power[0][j], table.power[1][j],
                                  table.power[2][j]));
    }
  }
  units.close(unit);
}

}  // namespace dendro
