#include "chronology/qn.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <stdexcept>

namespace dendro {

std::vector<float> sortq(std::span<const float> x) {
  std::vector<float> y(x.begin(), x.end());
  std::sort(y.begin(), y.end());
  return y;
}

float pull(std::span<const float> a, long long k) {
  if (k < 1 || k > static_cast<long long>(a.size())) {
    throw std::invalid_argument("pull: rank outside the values");
  }
  std::vector<float> b(a.begin(), a.end());
  const auto at = b.begin() + (k - 1);
  std::nth_element(b.begin(), at, b.end());
  return *at;
}

float whimed(std::span<const float> a, std::span<const long long> w) {
  if (a.empty() || w.size() < a.size()) throw std::invalid_argument("whimed: no values");
  std::vector<float> values(a.begin(), a.end());
  std::vector<long long> weights(w.begin(), w.begin() + static_cast<std::ptrdiff_t>(a.size()));
  long long wtotal = 0;
  for (long long x : weights) wtotal += x;
  long long wrest = 0;  // weight of the candidates dropped below
  // Every round drops at least the trial value itself, so there are at most n rounds.
  const std::size_t kMaxRounds = values.size() + 1;
  for (std::size_t round = 0; round < kMaxRounds; ++round) {
    const auto nn = static_cast<long long>(values.size());
    const float trial = pull(values, nn / 2 + 1);
    long long wleft = 0, wmid = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      if (values[i] < trial) wleft += weights[i];
      if (values[i] == trial) wmid += weights[i];
    }
    // Keep the candidates on the side where the weighted median lies, in their order.
    std::size_t kept = 0;
    if (2 * (wrest + wleft) > wtotal) {
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] < trial) {
          values[kept] = values[i];
          weights[kept++] = weights[i];
        }
      }
    } else if (2 * (wrest + wleft + wmid) > wtotal) {
      return trial;
    } else {
      for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] > trial) {
          values[kept] = values[i];
          weights[kept++] = weights[i];
        }
      }
      wrest += wleft + wmid;
    }
    values.resize(kept);
    weights.resize(kept);
    if (kept == 0) break;  // only with weights that are not positive
  }
  throw std::invalid_argument("whimed: weights must be positive");
}

namespace {

// Small-sample correction of Qn (Croux and Rousseeuw's factors) for n = 2 .. 9.
constexpr std::array<float, 8> kSmallSampleFactors = {0.399f, 0.994f, 0.512f, 0.844f,
                                                      0.611f, 0.857f, 0.669f, 0.872f};

float small_sample_factor(int n) {
  if (n <= 9) return kSmallSampleFactors[static_cast<std::size_t>(n - 2)];
  const float m = static_cast<float>(n);
  return n % 2 == 1 ? m / (m + 1.4f) : m / (m + 3.8f);
}

}  // namespace

float qn(std::span<const float> x) {
  const int n = static_cast<int>(x.size());
  if (n < 2) return 0.0f;
  const long long h = n / 2 + 1;
  const long long k = h * (h - 1) / 2;
  const std::vector<float> sorted = sortq(x);
  // 1-based views of the algorithm's arrays: y(i) is sorted[i - 1]; column j of row i of the
  // implicit matrix stands for the distance y(i) - y(n + 1 - j).
  auto y = [&](long long i) { return sorted[static_cast<std::size_t>(i - 1)]; };
  std::vector<long long> left(static_cast<std::size_t>(n) + 1), right(left.size());
  std::vector<long long> p(left.size()), q(left.size());
  for (long long i = 1; i <= n; ++i) {
    left[i] = n - i + 2;
    right[i] = n;
  }
  const long long jhelp = static_cast<long long>(n) * (n + 1) / 2;
  const long long knew = k + jhelp;
  long long nl = jhelp;
  long long nr = static_cast<long long>(n) * n;
  float raw = 0.0f;
  bool found = false;
  std::vector<float> work;
  std::vector<long long> weight;
  // Each round removes a fixed share of the candidates; the cap only guards the arithmetic
  // of ties, and the exact selection below finishes whatever is left.
  const int kMaxRounds = 200;
  for (int round = 0; round < kMaxRounds && nr - nl > n && !found; ++round) {
    // The weighted high median of the row medians is the trial distance.
    work.clear();
    weight.clear();
    for (long long i = 2; i <= n; ++i) {
      if (left[i] > right[i]) continue;
      const long long wi = right[i] - left[i] + 1;
      const long long mid = left[i] + wi / 2;
      work.push_back(y(i) - y(n + 1 - mid));
      weight.push_back(wi);
    }
    const float trial = whimed(work, weight);
    // P(i): the number of distances in row i below the trial.
    long long j = 0;
    for (long long i = n; i >= 1; --i) {
      while (j < n && y(i) - y(n - j) < trial) ++j;
      p[i] = j;
    }
    // Q(i) - 1: the number of distances in row i not above the trial.
    j = n + 1;
    for (long long i = 1; i <= n; ++i) {
      while (j > 1 && y(i) - y(n - j + 2) > trial) --j;
      q[i] = j;
    }
    long long sump = 0, sumq = 0;
    for (long long i = 1; i <= n; ++i) {
      sump += p[i];
      sumq += q[i] - 1;
    }
    if (knew <= sump) {
      for (long long i = 1; i <= n; ++i) right[i] = p[i];
      nr = sump;
    } else if (knew > sumq) {
      for (long long i = 1; i <= n; ++i) left[i] = q[i];
      nl = sumq;
    } else {
      raw = trial;
      found = true;
    }
  }
  if (!found) {
    work.clear();
    for (long long i = 2; i <= n; ++i) {
      for (long long jj = left[i]; jj <= right[i]; ++jj) work.push_back(y(i) - y(n - jj + 1));
    }
    raw = pull(work, knew - nl);
  }
  return small_sample_factor(n) * 2.2219f * raw;
}

}  // namespace dendro
