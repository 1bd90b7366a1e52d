#include "chronology/robar.h"

#include <cmath>
#include <stdexcept>

#include "chronology/ar_filters.h"
#include "chronology/qn.h"
#include "series/autoregression.h"

namespace dendro {
namespace {

struct Fit {
  int order = 0;
  std::vector<float> coefficients;
  float r_squared = 0.0f;
};

// Burg fit of the series as it stands; the series itself is not changed.
Fit burg_fit(std::span<const float> x, int m, int mode) {
  std::vector<float> copy(x.begin(), x.end());
  const BurgFit r = memcof(copy, m, mode);  // leaves the copy centred
  Fit fit;
  fit.order = r.order;
  fit.coefficients.assign(r.coefficients.begin(), r.coefficients.begin() + r.order);
  fit.r_squared = r.explained;
  return fit;
}

void subtract_mean(std::span<float> x) {
  if (x.empty()) return;
  float sum = 0.0f;
  for (float v : x) sum += v;
  const float mean = sum / static_cast<float>(x.size());
  for (float& v : x) v -= mean;
}

std::vector<float> plus_one(std::span<const float> x) {
  std::vector<float> y(x.begin(), x.end());
  for (float& v : y) v += 1.0f;
  return y;
}

}  // namespace

float robar_psi(float u) {
  if (!(std::fabs(u) < 1.0f)) return 0.0f;
  return u * std::exp(-std::exp(3.0f * (std::fabs(u) - 3.0f)));
}

RobarResult robar(std::span<float> x, int m, int mode, int method) {
  if (method < ar_kind::ordinary || method > ar_kind::robust_cleaned) {
    throw std::invalid_argument("robar: method must be 1, 2 or 3");
  }
  RobarResult result;
  result.saved.assign(x.begin(), x.end());
  const bool robust = robust_autoregression(method);
  for (int pass = 1; pass <= kRobustPasses; ++pass) {
    // Fit the model to x as it stands: the given series in pass 1, the cleaned series of the
    // previous pass afterwards.
    const Fit fit = burg_fit(x, m, mode);
    result.order = fit.order;
    result.coefficients = fit.coefficients;
    result.r_squared = fit.r_squared;

    // The series to prewhiten: the given one, except in the last pass of method 3, which
    // applies the robust model to the cleaned series. Method 2 keeps the prewhitened cleaned
    // series of its last pass as the robust residuals before taking the given series.
    if (method == ar_kind::robust && pass == kRobustPasses) {
      albino(x, fit.coefficients);
      result.robust_indices = plus_one(x);
    }
    if (!(method == ar_kind::robust_cleaned && pass == kRobustPasses)) {
      std::copy(result.saved.begin(), result.saved.end(), x.begin());
    }

    albino(x, fit.coefficients);
    subtract_mean(x);
    if (!robust) return result;
    if (pass == 1) result.first_pass.assign(x.begin(), x.end());
    if (pass == kRobustPasses) break;

    // Clean: residuals beyond three Qn go to zero. A scale of 0 (most residuals equal) puts
    // every residual at or beyond it, so all of them are cleaned to 0, as the limit of the
    // cleaning function gives, without dividing by the zero scale.
    const float c = 3.0f * qn(x);
    for (float& v : x) v = c > 0.0f ? c * robar_psi(v / c) : 0.0f;
    // Rebuild the cleaned series from the cleaned residuals.
    commie(x, fit.coefficients);
  }
  result.ordinary_indices = plus_one(result.first_pass);
  if (method == ar_kind::robust_cleaned) result.robust_indices = plus_one(x);
  result.outliers.resize(x.size());
  for (std::size_t t = 0; t < x.size(); ++t) {
    result.outliers[t] = result.ordinary_indices[t] - result.robust_indices[t] + 1.0f;
  }
  return result;
}

}  // namespace dendro
