// Power spectra of chronologies: a Blackman-Tukey estimate (the cosine transform of the
// sample autocovariances up to a maximum lag, smoothed across frequencies with Hamming
// weights), and the spectra file of the standard, residual and kalder chronologies.
#pragma once

#include <span>
#include <string>
#include <vector>

#include "series/console.h"
#include "series/files/units.h"
#include "series/store.h"

namespace dendro {

class PlotSession;

// Status codes of ftfreq.
inline constexpr int kFtfreqOk = 0;
inline constexpr int kFtfreqBadLength = 129;  // n below 4, maximum lag below 3 or not below n
inline constexpr int kFtfreqBadStep = 130;    // time step not above 0

struct FtautoMoments {
  float mean = 0;
  float variance = 0;  // divisor n
};

// Mean and variance of x, sums in double precision.
FtautoMoments ftauto(std::span<const float> x);
// Autocovariances of x about the given mean for lags 0 to max_lag (element k is lag k),
// each sum over the n - k pairs divided by n, sums in double precision.
std::vector<float> ftauto(std::span<const float> x, float mean, int max_lag);

struct FtfreqResult {
  int status = kFtfreqOk;
  float mean = 0;
  float variance = 0;            // c(0), divisor n
  std::vector<float> acov;       // c(0..M); lags 1..M rescaled by n / (n - k)
  std::vector<float> frequency;  // f(0..M) = j / (2 M dt), cycles per time step
  std::vector<float> spectrum;   // S(0..M), Hamming-smoothed
};

// Spectral estimate of x with maximum lag M and time step dt. x is not changed. On a
// status other than kFtfreqOk the vectors are empty.
FtfreqResult ftfreq(std::span<const float> x, int max_lag, float time_step = 1.0f);

// The spectra of `count` chronologies held in consecutive columns of the chronology
// table from `first_column`, rows 1..n, with maximum lag n / 3.
struct SpectraTable {
  int status = kFtfreqOk;                 // the first status other than kFtfreqOk, if any
  std::vector<float> frequency;           // rows 1..M + 1
  std::vector<std::vector<float>> power;  // power[c] is chronology c + 1's spectrum
  int log_switch = 1;                     // 0 when any power is at or below 0 (no log axis)
};
SpectraTable spectra_table(const Tsi2& tsi2, int n, int count, int first_column);

// Power spectra of the standard, residual and kalder chronologies (count 3 from column 5
// of tsi2, rows 1..n): writes the data file's output prefix + "_spectra.txt", created
// fresh on `unit` and closed when done, and shows the spectra plot when the plot switch
// (the summary plots option) is 2 or 3.
void sfreq(const Tsi2& tsi2, int n, int count, int first_column, int plot_switch,
           const std::string& data_file, Units& units, int unit, PlotSession& plots);

}  // namespace dendro
