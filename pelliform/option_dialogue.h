// The option dialogue of pelliform: index mode and power transformation before the series
// processing menu; curve fit (with pith offsets for the regional curve), mean, running
// RBAR window, spline stabilisation, convergence threshold and tweaks after it. The
// answers go into the engine argument set, and each choice is recorded in the report.
#pragma once

#include "pelliform/run.h"

namespace dendro {

// Ratios or residuals, and for residuals whether to power-transform the data.
void index_question(PelliformRun& run);

// The general curve-fit menu; on a retry of the regional curve, its own menu.
void curve_fit_question(PelliformRun& run);

void mean_question(PelliformRun& run);
// The running-RBAR window, and the spline stabilisation when the window is not 0.
void window_questions(PelliformRun& run);
void convergence_questions(PelliformRun& run);

// Every question after the series processing menu, in order.
void options_after_menu(PelliformRun& run);

}  // namespace dendro
