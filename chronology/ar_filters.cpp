#include "chronology/ar_filters.h"

#include <cstddef>
#include <stdexcept>
#include <vector>

#include "series/files/stop.h"
#include "series/index.h"
#include "series/layout.h"

namespace dendro {

void bckcst(std::span<float> w, int n, std::span<const float> phi, int s) {
  const int p = static_cast<int>(phi.size());
  if (p == 0) return;
  if (n < 0 || s < 0) throw std::invalid_argument("bckcst: negative length");
  if (static_cast<std::size_t>(n) + static_cast<std::size_t>(s) > w.size()) {
    throw Stop(Layout("(/1x,'*** no room in array for backcasts ***')").write(), kFailureStatus);
  }
  // 1-based positions as in the recursion: w(i) is w[i - 1].
  for (int i = n; i >= 1; --i) w[i + s - 1] = w[i - 1];
  for (int j = s; j >= 1; --j) {
    float sum = 0.0f;
    // A backcast reaches only as far as the extended array goes.
    for (int k = 1; k <= p && j + k <= n + s; ++k) sum += phi[k - 1] * w[j + k - 1];
    w[j - 1] = sum;
  }
}

namespace {

enum class Thin { none, depth_below_1, count_below_6 };

bool is_thin(Thin rule, std::span<const int> depth, std::size_t i) {
  switch (rule) {
    case Thin::none:
      return false;
    case Thin::depth_below_1:
      return depth[i] < 1;
    case Thin::count_below_6:
      return depth[i] < 6;
  }
  return false;
}

// The centring level: the mean over the years that are not thin (0 when every year is thin,
// where every result is the thin value anyway).
float level_of(std::span<const float> x, Thin rule, std::span<const int> depth) {
  float sum = 0.0f;
  int count = 0;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (is_thin(rule, depth, i)) continue;
    sum += x[i];
    ++count;
  }
  return count > 0 ? sum / static_cast<float>(count) : 0.0f;
}

void check_depth(std::span<const float> x, Thin rule, std::span<const int> depth) {
  if (rule != Thin::none && depth.size() < x.size()) {
    throw std::invalid_argument("AR filter: fewer depth values than series values");
  }
}

// The centred values followed by room for the backcasts: w holds n + p values.
std::vector<float> centred_work(std::span<const float> x, float level, Thin rule,
                                std::span<const int> depth, int p) {
  std::vector<float> w(x.size() + static_cast<std::size_t>(p), 0.0f);
  for (std::size_t i = 0; i < x.size(); ++i) w[i] = is_thin(rule, depth, i) ? 0.0f : x[i] - level;
  return w;
}

void prewhiten(std::span<float> x, std::span<const float> phi, Thin rule,
               std::span<const int> depth, float thin_result) {
  check_depth(x, rule, depth);
  const int n = static_cast<int>(x.size());
  const int p = static_cast<int>(phi.size());
  const float level = level_of(x, rule, depth);
  std::vector<float> w = centred_work(x, level, rule, depth, p);
  bckcst(w, n, phi, p);
  // Residuals from the unchanged centred values and backcasts: w(t) with t = p+1 .. p+n.
  for (int t = p + 1; t <= p + n; ++t) {
    float fitted = 0.0f;
    for (int k = 1; k <= p; ++k) fitted += phi[k - 1] * w[t - k - 1];
    x[t - p - 1] = w[t - 1] - fitted;
  }
  for (std::size_t i = 0; i < x.size(); ++i) {
    x[i] = is_thin(rule, depth, i) ? thin_result : x[i] + level;
  }
}

void persist(std::span<float> x, std::span<const float> phi, Thin rule, std::span<const int> depth,
             float level, float thin_result) {
  check_depth(x, rule, depth);
  const int n = static_cast<int>(x.size());
  const int p = static_cast<int>(phi.size());
  std::vector<float> w = centred_work(x, level, rule, depth, p);
  bckcst(w, n, phi, p);
  // In time order and in place, so that each rebuilt value feeds the later ones; a thin year
  // keeps its centred 0.
  for (int t = p + 1; t <= p + n; ++t) {
    if (is_thin(rule, depth, static_cast<std::size_t>(t - p - 1))) continue;
    float persistence = 0.0f;
    for (int k = 1; k <= p; ++k) persistence += phi[k - 1] * w[t - k - 1];
    w[t - 1] += persistence;
  }
  for (int i = 1; i <= n; ++i) {
    x[at(i)] = is_thin(rule, depth, at(i)) ? thin_result : w[i + p - 1] + level;
  }
}

}  // namespace

void albino(std::span<float> x, std::span<const float> phi) {
  prewhiten(x, phi, Thin::none, {}, 0.0f);
}

void albino1(std::span<float> x, std::span<const int> depth, std::span<const float> phi) {
  prewhiten(x, phi, Thin::depth_below_1, depth, 1.0f);
}

void commie(std::span<float> x, std::span<const float> phi) {
  persist(x, phi, Thin::none, {}, level_of(x, Thin::none, {}), 0.0f);
}

void commie1(std::span<float> x, std::span<const int> depth, std::span<const float> phi) {
  check_depth(x, Thin::depth_below_1, depth);
  persist(x, phi, Thin::depth_below_1, depth, level_of(x, Thin::depth_below_1, depth), 1.0f);
}

void commie2(std::span<float> x, std::span<const float> phi) {
  persist(x, phi, Thin::none, {}, 1.0f, 0.0f);
}

void commie3(std::span<float> x, std::span<const int> count, std::span<const float> phi) {
  check_depth(x, Thin::count_below_6, count);
  persist(x, phi, Thin::count_below_6, count, level_of(x, Thin::count_below_6, count), 0.0f);
}

}  // namespace dendro
