// Autoregressive model of one series, ordinary or robust, leaving the series' prewhitened
// residuals in place.
//
// The robust fit makes five passes: each fits the model (Burg) to the current cleaned series,
// prewhitens the given series with it, measures the spread of the residuals with the Qn
// scale, shrinks residuals beyond three Qn to zero and rebuilds a cleaned series from the
// cleaned residuals with the model's persistence.
#pragma once

#include <span>
#include <vector>

#include "series/option_values.h"

namespace dendro {

inline constexpr int kRobustPasses = 5;

struct RobarResult {
  int order = 0;
  std::vector<float> coefficients;  // phi_1 .. phi_order of the last fit
  float r_squared = 0.0f;
  std::vector<float> saved;  // the series as given
  // Robust methods only (empty for the ordinary method):
  std::vector<float> ordinary_indices;  // first-pass residuals + 1.0
  std::vector<float> robust_indices;    // robust residuals + 1.0
  std::vector<float> outliers;          // ordinary minus robust residual + 1.0
  std::vector<float> first_pass;        // centred residuals of the first pass
};

// Fits the series x by `method` (option 9, `ar_kind`): ordinary; robust, the robust model
// applied to the given series (outliers kept in the residuals); robust_cleaned, applied to
// the cleaned series (outliers removed). `m` is one more than a fixed order, or the largest
// size of the Akaike search; `mode` 1 or above fixes the order m - 1, below 1 takes the
// first Akaike minimum. On return x holds the prewhitened residuals, centred to mean 0.
RobarResult robar(std::span<float> x, int m, int mode, int method);

// The cleaning function of the robust passes: u exp(-exp(3 (|u| - 3))) inside |u| < 1, and 0
// at or beyond 1 (and for a u that is not a number).
float robar_psi(float u);

}  // namespace dendro
