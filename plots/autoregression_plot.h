// The pooled autoregression plot: autocorrelations, partial autocorrelations, the model's
// coefficients and its impulse response, as four bar panels by lag.
#pragma once

#include <span>
#include <string_view>

#include "plots/plot_loop.h"

namespace dendro {

// Values of lags 0 to 10 in each of the four columns of the results table.
inline constexpr int kLagRows = 11;

// Draws the results table (44 values by column: autocorrelations, partial
// autocorrelations, model coefficients and impulse response weights, lags 0 to 10) of a
// chronology of n years, with the confidence limits of the first two columns, and runs the
// short menu (items 1 to 7) until the user continues.
void arhist1(PlotSession& session, std::span<const float> results, std::string_view data_file,
             int n);

// The limits at lags 1 to 10: two standard errors of an autocorrelation by Bartlett's
// formula from the autocorrelations of lags 0 to 10, or of a partial autocorrelation
// (2 / sqrt(n) at every lag). Empty for n below 1.
std::vector<double> bartlett_limits(std::span<const float> autocorrelations, int n);
std::vector<double> partial_limits(int n);

}  // namespace dendro
