// The transformation statistics plot: for every series, its skewness and its spread-versus-
// level correlation before and after the data transformation, as four bar panels with the
// median and hinges of each.
#pragma once

#include <span>

#include "plots/plot_loop.h"
#include "plots/plot_style.h"
#include "series/store.h"

namespace dendro {

struct BarAxes {
  Axis x;  // the series, 1 to n
  Axis y;  // the statistic
};

// The axes of panel 1 to 4 over the values of its column, with their ticks (the ticks of
// `z` are chosen too, and not drawn). The first panel's axis always shows 0 and chooses its
// ticks again after every value; the others chose them once.
BarAxes power1_axes(std::span<const float> values, int panel, Axis z);

// Draws "DATA TRANSFORM STATISTICS" from rows 1..n of columns 1, 2, 4 and 5 of the
// chronology table (skewness and correlation before, skewness and correlation after the
// transformation) and runs its small plot options menu until the user continues.
void power1(PlotSession& session, const Tsi2& tsi2, int n);

}  // namespace dendro
