#include "series/bootstrap.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "series/biweight.h"
#include "series/index.h"
#include "series/normal.h"
#include "series/option_values.h"
#include "series/sorting.h"

namespace dendro {
namespace {

constexpr int kFewestLowerRank = 5;  // fewer replicates below the lower limit are too few

// Rank int((B + 1) prob + 0.5).
int rank_at(float prob, int b) { return static_cast<int>(static_cast<float>(b + 1) * prob + 0.5f); }

// The sorted replicate at a 1-based rank, ranks outside 1..B taken at the ends.
float at_rank(std::span<const float> sorted, int rank) {
  const int b = static_cast<int>(sorted.size());
  return sorted[static_cast<std::size_t>(std::clamp(rank, 1, b) - 1)];
}

// AS 183 step: s = a s mod m, with a remainder that stays non-negative for any seed.
int advance(int s, int a, int m) {
  const int r = static_cast<int>((static_cast<long long>(a) * s) % m);
  return r < 0 ? r + m : r;
}

}  // namespace

float Rand::random() {
  s1 = advance(s1, 171, 30269);
  s2 = advance(s2, 172, 30307);
  s3 = advance(s3, 170, 30323);
  const float sum = static_cast<float>(s1) / 30269.0f + static_cast<float>(s2) / 30307.0f +
                    static_cast<float>(s3) / 30323.0f;
  // The sum lies in [0, 3): taking its whole part off is exact (Sterbenz), so this is
  // fmod(sum, 1) without the library call, which took a tenth of a bootstrap's time.
  return sum - std::floor(sum);
}

void Rand::skip(long long draws) {
  if (draws <= 0) return;
  // a^draws mod m by squaring; then one step by that multiplier, as advance takes it.
  const auto power = [draws](long long a, long long m) {
    long long result = 1;
    for (long long e = draws; e > 0; e >>= 1, a = a * a % m) {
      if (e & 1) result = result * a % m;
    }
    return static_cast<int>(result);
  };
  s1 = advance(s1, power(171, 30269), 30269);
  s2 = advance(s2, power(172, 30307), 30307);
  s3 = advance(s3, power(170, 30323), 30323);
}

int Rand::pick(int n) {
  const int k = static_cast<int>(random() * static_cast<float>(n));
  return std::min(k, n - 1);
}

SampleLocations::SampleLocations(std::span<const float> values, float c, int kind)
    : values_(values), c_(c), kind_(kind), sample_(values.size()) {
  bool finite = true;
  for (float v : values) finite = finite && std::isfinite(v) && v != kNoValue;
  if (kind == mean_kind::arithmetic || !finite || !sorts_alike(values)) return;
  sorted_.assign(values.begin(), values.end());
  std::sort(sorted_.begin(), sorted_.end());
  for (float v : values) {
    rank_.push_back(static_cast<std::size_t>(std::lower_bound(sorted_.begin(), sorted_.end(), v) -
                                             sorted_.begin()));
  }
  drawn_.assign(values.size(), 0);
}

float SampleLocations::location_of(std::span<float> sample) {
  return in_order() ? sorted_location(sample, c_, kind_) : biwgt(sample, c_, kind_).location;
}

float SampleLocations::resample(Rand& rand) {
  const int n = static_cast<int>(values_.size());
  if (!in_order()) {
    for (float& v : sample_) v = values_[static_cast<std::size_t>(rand.pick(n))];
    return location_of(sample_);
  }
  for (int k = 0; k < n; ++k) ++drawn_[rank_[static_cast<std::size_t>(rand.pick(n))]];
  auto next = sample_.begin();
  for (std::size_t r = 0; r < sorted_.size(); ++r) {
    next = std::fill_n(next, drawn_[r], sorted_[r]);
    drawn_[r] = 0;
  }
  return location_of(sample_);
}

float SampleLocations::without(std::size_t i) {
  if (!in_order()) {
    std::vector<float> marked(values_.begin(), values_.end());
    marked[i] = kNoValue;
    std::vector<float> others = update(marked);
    return location_of(others);
  }
  const auto gap = sorted_.begin() + static_cast<std::ptrdiff_t>(rank_[i]);
  const auto end = std::copy(sorted_.begin(), gap, sample_.begin());
  std::copy(gap + 1, sorted_.end(), end);
  return location_of(std::span<float>(sample_).first(sorted_.size() - 1));
}

std::vector<float> update(std::span<const float> values) {
  std::vector<float> out;
  out.reserve(values.size());
  for (float v : values) {
    if (v != kNoValue) out.push_back(v);
  }
  return out;
}

float jackknife_acceleration(std::span<const float> values, float estimate, int kind) {
  const std::size_t n = values.size();
  if (n < 2) return 0.0f;
  SampleLocations samples(values, kBiweightTuning, kind);
  float s2 = 0.0f, s3 = 0.0f;
  for (std::size_t i = 0; i < n; ++i) {
    const float location = samples.without(i);
    const float pseudo = (estimate - location) * static_cast<float>(n - 1);
    s2 += pseudo * pseudo;
    s3 += pseudo * pseudo * pseudo;
  }
  // Every leave-one-out location equal to the estimate: nothing to correct for.
  if (!(s2 > 0.0f)) return 0.0f;
  return s3 / (6.0f * std::pow(s2, 1.5f));
}

BiasRanks biasad(float estimate, std::span<const float> replicates, float acceleration, float z) {
  BiasRanks ranks;
  const int b = static_cast<int>(replicates.size());
  int below = 0, at_or_below = 0;
  for (float r : replicates) {
    if (r < estimate) ++below;
    if (r <= estimate) ++at_or_below;
  }
  const int k = (below + at_or_below + 1) / 2;
  if (k == 0) ranks.fault = 3;
  if (k == b) ranks.fault = 4;
  if (ranks.fault != 0) return ranks;

  // Bias correction z0 from the share of replicates below the estimate.
  const float z0 = ppnd(static_cast<float>(k) / static_cast<float>(b)).z;
  ranks.bc_lower = rank_at(alnorm(2.0f * z0 - z, false), b);
  ranks.bc_upper = rank_at(alnorm(2.0f * z0 + z, false), b);
  const float zl = z0 + (z0 - z) / (1.0f - acceleration * (z0 - z));
  const float zu = z0 + (z0 + z) / (1.0f - acceleration * (z0 + z));
  ranks.bca_lower = rank_at(alnorm(zl, false), b);
  ranks.bca_upper = rank_at(alnorm(zu, false), b);
  return ranks;
}

BootstrapLimits monte(float estimate, float level, float acceleration,
                      std::span<float> replicates) {
  BootstrapLimits limits;
  limits.normal = limits.percentile = limits.bias_corrected = limits.bca = {estimate, estimate};
  if (level >= 100.0f) {
    limits.fault = 6;
    return limits;
  }
  if (level <= 0.0f) {
    limits.fault = 7;
    return limits;
  }
  const int b = static_cast<int>(replicates.size());

  // Mean and standard deviation of the replicates by the updating formulas.
  float mean = 0.0f, ss = 0.0f;
  for (int k = 1; k <= b; ++k) {
    const float x = replicates[at(k)];
    const float kf = static_cast<float>(k);
    ss += (x - mean) * (x - mean) * (kf - 1.0f) / kf;
    mean = ((kf - 1.0f) * mean + x) / kf;
  }
  const float sd = ss > 0.0f ? std::sqrt(ss / static_cast<float>(b - 1)) : 0.0f;

  const float p = (100.0f - level) * 0.5f / 100.0f;
  const NormalDeviate deviate = ppnd(p);
  if (deviate.fault != 0) {
    limits.fault = 6;
    return limits;
  }
  const float z = -deviate.z;
  limits.normal = {estimate - z * sd, estimate + z * sd};

  const BiasRanks ranks = biasad(estimate, replicates, acceleration, z);
  const int lower = rank_at(p, b);
  const int upper = rank_at(1.0f - p, b);
  if (lower < kFewestLowerRank) {
    limits.fault = 5;
  } else if (lower == upper) {
    limits.fault = 7;
  } else {
    limits.fault = ranks.fault;
  }
  if (limits.fault != 0) return limits;

  sort(replicates);
  limits.percentile = {at_rank(replicates, lower), at_rank(replicates, upper)};
  limits.bias_corrected = {at_rank(replicates, ranks.bc_lower),
                           at_rank(replicates, ranks.bc_upper)};
  limits.bca = {at_rank(replicates, ranks.bca_lower), at_rank(replicates, ranks.bca_upper)};
  return limits;
}

BootstrapLimits mccon(std::span<const float> values, float level, float estimate,
                      std::span<float> replicates, int kind) {
  const float a = jackknife_acceleration(values, estimate, kind);
  return monte(estimate, level, a, replicates);
}

}  // namespace dendro
