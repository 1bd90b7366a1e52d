#include "pelliform/ar_extension.h"

#include <algorithm>
#include <cstddef>

#include "pelliform/yearly_mean.h"
#include "series/index.h"

namespace dendro::sf {
namespace {

constexpr float kPadFraction = 0.67f;  // the longest pad, as a fraction of the series

}  // namespace

// Burg's method as Press et al. give it (Numerical Recipes, 13.6), in double precision.
BurgModel memcof(std::span<const float> y, int m) {
  const int n = static_cast<int>(y.size());
  BurgModel model;
  if (m < 1 || n < 2) return model;
  model.d.assign(at(m + 1), 0.0);
  std::vector<double> wk1(at(n + 1), 0.0), wk2(at(n + 1), 0.0), wkm(at(m + 1), 0.0);
  double p = 0.0;
  for (int j = 1; j <= n; ++j) p += static_cast<double>(y[at(j)]) * y[at(j)];
  model.mean_square = p / n;
  wk1[at(1)] = y[at(1)];
  wk2[at(n - 1)] = y[at(n)];
  for (int j = 2; j <= n - 1; ++j) {
    wk1[at(j)] = y[at(j)];
    wk2[at(j - 1)] = y[at(j)];
  }
  for (int k = 1; k <= std::min(m, n - 1); ++k) {
    double num = 0.0, denom = 0.0;
    for (int j = 1; j <= n - k; ++j) {
      num += wk1[at(j)] * wk2[at(j)];
      denom += wk1[at(j)] * wk1[at(j)] + wk2[at(j)] * wk2[at(j)];
    }
    // A series without variance has no reflection coefficient: the model stops here.
    if (denom == 0.0) return model;
    model.d[at(k)] = 2.0 * num / denom;
    model.mean_square *= 1.0 - model.d[at(k)] * model.d[at(k)];
    for (int i = 1; i <= k - 1; ++i) model.d[at(i)] = wkm[at(i)] - model.d[at(k)] * wkm[at(k - i)];
    if (k == m) return model;
    for (int i = 1; i <= k; ++i) wkm[at(i)] = model.d[at(i)];
    for (int j = 1; j <= n - k - 1; ++j) {
      wk1[at(j)] -= wkm[at(k)] * wk2[at(j)];
      wk2[at(j)] = wk2[at(j + 1)] - wkm[at(k)] * wk1[at(j + 1)];
    }
  }
  return model;
}

void extend(std::span<float> y, int n, int npad, const BurgModel& model, int dir) {
  const int m = static_cast<int>(model.d.size());
  for (int j = 1; j <= npad; ++j) {
    if (dir == 0 || dir == 1) {
      double sum = 0.0;
      for (int k = 1; k <= m; ++k) sum += model.d[at(k)] * y[at(npad + n + j - k)];
      y[at(npad + n + j)] = static_cast<float>(sum);
    }
    if (dir == 0 || dir == -1) {
      double sum = 0.0;
      for (int k = 1; k <= m; ++k) sum += model.d[at(k)] * y[at(npad + 1 - j + k)];
      y[at(npad + 1 - j)] = static_cast<float>(sum);
    }
  }
}

Padded arpad(std::span<const float> x, int npad) {
  const int n = static_cast<int>(x.size());
  Padded p;
  p.npad = std::max(0, std::min(npad, static_cast<int>(kPadFraction * static_cast<float>(n))));
  p.values.assign(at(n + 2 * p.npad + 1), 0.0f);
  const float mean = mnsd(x).mean;
  for (int i = 1; i <= n; ++i) p.values[at(p.npad + i)] = x[at(i)] - mean;
  const BurgModel model =
      memcof(std::span<const float>(p.values).subspan(at(p.npad + 1), count(n)), p.npad);
  // Without a model the pads stay at the centred level 0, which is the mean below.
  if (!model.d.empty()) {
    BurgModel used = model;
    used.d.resize(count(p.npad));
    extend(p.values, n, p.npad, used, 0);
  }
  for (float& v : p.values) v += mean;
  return p;
}

}  // namespace dendro::sf
