// The screen plots of a data file: the spaghetti plots of all series at their points of the
// pipeline (summary plots code 1 or 3), and the chronology, segment length and running rbar
// plots at its end (code 2 or 3, or the running rbar plot flag).
#pragma once

#include <string_view>

#include "kalder/run.h"
#include "plots/chronology_plot.h"

namespace dendro {

// The points of the pipeline with a spaghetti plot.
enum class SpaghettiPoint {
  gap_filled,       // measurements after gap filling, when no mean chronology is built
  transformed,      // after the transformation, when no mean chronology is built
  raw_mean,         // measurements with the raw chronology
  detrended,        // indices after a detrending pass, when no mean chronology is built
  standard_mean,    // indices with the standard chronology
  residuals,        // residuals of the series models, when no mean chronology is built
  rewhitened_mean,  // residuals with the rewhitened residual chronology
};

// Completes `page` (curves, points and years set by the caller) with the data file name and
// `texts`, and draws it; "[n]o more plots" clears the summary plot state.
void draw_driver_page(Run& run, ChronologyPlot page, const PageTexts& texts);

// Draws the spaghetti plot of `point` when the summary plots code and the point's own
// condition ask for it.
void spaghetti_plot(Run& run, SpaghettiPoint point);

// The end-of-pipeline plots, with the spectra of the chronologies between the chronology
// plots and the segment length plot. Sets the summary plot state from the summary plots
// code first, so that "[n]o more plots" never carries over to the next data file.
void summary_plots(Run& run);

}  // namespace dendro
