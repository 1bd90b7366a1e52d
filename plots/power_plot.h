// The chronology spectra plot: the power spectra of the standard, residual and kalder
// chronologies on one page, with a menu of its own (save, continue, replot). A save writes
// the page to "PowerSpectra.ps" and the values drawn to "PowerSpectra.txt".
#pragma once

#include <array>
#include <span>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// The spectra of one chronology set: m frequencies (cycles per year) and the power of each
// of the three chronologies at them (at least m values each).
struct SpectraLines {
  std::span<const float> frequency;
  std::array<std::span<const float>, 3> power;  // standard, residual, kalder
  std::array<std::string_view, 3> legend{"STD", "RES", "KLD"};
};

// Draws the three spectra, on a log10 power axis when `log_flag` is not 0 (and every power
// is above 0; otherwise on a linear one), and runs the menu until the user answers anything
// but "s" or "r". Both files go to the current folder; each save replaces them.
void plt6(PlotSession& session, const SpectraLines& spectra, int log_flag);

}  // namespace dendro
