// The end of a pelliform run: the final chronologies as a column table and as tucson
// index records, their power spectra (plotted and written to a file), and the closing
// message.
#pragma once

#include <vector>

#include "pelliform/run.h"

namespace dendro {

// The two chronologies whose spectra are computed: the stabilised ones when the running
// RBAR window is above 0, else the standard and signal-free ones, at the years with a
// sample depth of at least 5, in year order.
struct SpectrumInput {
  std::vector<float> first, second;
};

// Writes stem + "_crns_col.txt" and returns the spectrum input gathered on the way.
SpectrumInput write_column_file(PelliformRun& run);
// Writes stem + "_crns_tuc.txt": two chronologies, or four with the stabilised ones.
void write_tucson_file(PelliformRun& run);
// The lag count of the spectra: n / 3, or n / 5 above 1000 years.
int spectrum_lags(int n);
// Computes, plots and writes the spectra to the spectra file.
void write_spectra(PelliformRun& run, const SpectrumInput& input);

// All of the above, then the closing message and its pause.
void end_of_run(PelliformRun& run);

}  // namespace dendro
