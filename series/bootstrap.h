// Bootstrap confidence limits of a location estimate: the uniform generator that draws the
// resamples, and the normal, percentile, bias-corrected and BCa intervals from the sorted
// replicates with the acceleration estimated by the jackknife.
#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace dendro {

// Seeds that every mean chronology starts from, so that every chronology's bootstrap draws
// the same stream.
inline constexpr int kBootstrapSeed1 = 12848;
inline constexpr int kBootstrapSeed2 = 13079;
inline constexpr int kBootstrapSeed3 = 22085;

// Wichmann and Hill's generator (algorithm AS 183) on three seeds.
struct Rand {
  int s1 = kBootstrapSeed1;
  int s2 = kBootstrapSeed2;
  int s3 = kBootstrapSeed3;

  // A uniform number in [0, 1), in single precision; advances the seeds.
  float random();
  // A position 0 to n - 1 for a resample draw: trunc(u n) for a fresh u, kept below n
  // where rounding of u n would reach it.
  int pick(int n);
  // Moves the seeds on as `draws` calls of random() would, in a few steps: each seed is
  // multiplied by its multiplier to the power `draws`. Work that draws from one stream can
  // so start each of its parts where the stream would be.
  void skip(long long draws);
};

// The locations (of `kind`, as biwgt with tuning constant c) of samples of one set of
// values: bootstrap resamples and leave-one-out samples. Values that sort alike are sorted
// once; a resample is then put in order by counting how often each value was drawn, and a
// leave-one-out sample by leaving a place of the sorted values out, so that no sample is
// sorted again and every location is the one biwgt gives of the sample. Other values, and
// the arithmetic mean (whose sum runs in the order of the sample), take the samples as
// drawn.
class SampleLocations {
 public:
  SampleLocations(std::span<const float> values, float c, int kind);
  // The location of a resample of as many values as the set: one rand.pick per value, the
  // value drawn taking that place of the sample.
  float resample(Rand& rand);
  // The location of the values without value i (0-based).
  float without(std::size_t i);

 private:
  bool in_order() const { return !rank_.empty(); }
  float location_of(std::span<float> sample);

  std::span<const float> values_;
  float c_;
  int kind_;
  std::vector<float> sorted_;      // the values ascending, when they sort alike
  std::vector<std::size_t> rank_;  // each value's place among them (the first of equals)
  std::vector<int> drawn_;         // by place: how often a resample drew the value there
  std::vector<float> sample_;
};

// Marks the left-out value of a jackknife sample.
inline constexpr float kNoValue = -32368.0f;

// Every value other than the no-value marker, in order (a NaN included).
std::vector<float> update(std::span<const float> values);

// The jackknife acceleration of the estimate: S3 / (6 S2^1.5) over the pseudo-values
// (estimate - location without value i) (n - 1), with the location of `kind` (as biwgt); 0
// when the pseudo-values are all 0 or there are fewer than 2 values.
float jackknife_acceleration(std::span<const float> values, float estimate, int kind);

struct BiasRanks {
  int bc_lower = 0, bc_upper = 0;    // bias-corrected
  int bca_lower = 0, bca_upper = 0;  // bias-corrected and accelerated
  int fault = 0;  // 3 no replicate at or below the estimate, 4 all (but one equal) below it
};

// Ranks of the bias-corrected and BCa limits among B replicates, for the two-sided
// standard normal deviate z and the acceleration.
BiasRanks biasad(float estimate, std::span<const float> replicates, float acceleration, float z);

struct Interval {
  float lower = 0.0f;
  float upper = 0.0f;
};

struct BootstrapLimits {
  Interval normal;
  Interval percentile;
  Interval bias_corrected;
  Interval bca;
  // 0, or 3 and 4 (biasad), 5 too few replicates for the level, 6 a level of 100 or more,
  // 7 a level of 0 or less or a percentile interval of one rank. A limit that a fault
  // leaves uncomputed is the estimate itself, never an earlier call's value.
  int fault = 0;
};

// The eight limits at `level` percent from the replicates, which are sorted ascending in
// place.
BootstrapLimits monte(float estimate, float level, float acceleration, std::span<float> replicates);

// Limits of the location (of `kind`, as biwgt) of the values, whose estimate from all
// values is `estimate`, from the replicates drawn by the caller; the acceleration comes
// from the jackknife. The replicates are sorted; the values are not changed.
BootstrapLimits mccon(std::span<const float> values, float level, float estimate,
                      std::span<float> replicates, int kind);

}  // namespace dendro
