// The adaptive power transformation of the measurements: for each series the slope of
// log spread (the absolute difference of successive values) against log level gives a
// power between 0 and 1 (0 meaning the natural logarithm), which makes the spread of the
// transformed series independent of its level; the transformed series is rescaled to its
// own old range.
#pragma once

#include <span>
#include <vector>

#include "detrending/growth_curves.h"
#include "pelliform/series_set.h"

namespace dendro {

// The line y = intercept + slope x through the pairs; a slope of 0 when x does not vary. No pairs
// give 0, 0.
Line trend2(std::span<const float> x, std::span<const float> y);

namespace sf {

// The spread-versus-level pairs of one series and the line fitted to them. The
// transformation stage of kalder has a type of the same name; this one lives in
// namespace sf.
struct SpreadLevel {
  std::vector<float> log_level;
  std::vector<float> log_spread;
  Line fit;
};

}  // namespace sf

struct PowerTransformResult {
  float mean_power = 0;
  std::vector<float> power;             // per series
  std::vector<sf::SpreadLevel> series;  // per series
  // All pairs together, with the correlation and line of log spread on log level.
  std::vector<float> pooled_level;
  std::vector<float> pooled_spread;
  float pooled_r = 0;
  Line pooled;
};

// Smallest value raised to a power: a missing (zero) ring would have no power.
inline constexpr float kPowerFloor = 0.01f;
// What a value of 0 or less becomes under the logarithm: the natural logarithm of 0.05.
inline constexpr float kLogOfNothing = -2.9957323f;

// Transforms every series of the set in place and returns the powers and the pairs. A
// series whose transformed values are all equal (nothing to rescale) is left as it was.
PowerTransformResult slpt1(SeriesSet& set);

}  // namespace dendro
