#include "plots/ticks.h"

#include <array>
#include <cmath>

namespace dendro {
namespace {

// AS 96 constants.
constexpr float kBias = 1.0e-4f;
constexpr float kTolerance = 5.0e-6f;
constexpr std::array<float, 11> kUnits{1.0f, 1.2f, 1.6f, 2.0f, 2.5f, 3.0f,
                                       4.0f, 5.0f, 6.0f, 8.0f, 10.0f};
constexpr int kScaleMarks = 10;
// The step of a positive float reaches [1, 10) within this many decades.
constexpr int kMaxDecades = 80;

// The fixed steps of the year axis and of the value axes; beyond the last row the axis
// is rescaled by AS 96.
constexpr std::array<TickStep, 6> kYearSteps{{
    {50, 10.0f, 10},
    {100, 20.0f, 5},
    {200, 20.0f, 10},
    {500, 50.0f, 5},
    {1000, 100.0f, 10},
    {2000, 250.0f, 5},
}};
constexpr std::array<TickStep, 6> kValueSteps{{
    {2, 0.5f, 4},
    {4, 1.0f, 4},
    {10, 2.0f, 4},
    {50, 5.0f, 5},
    {100, 10.0f, 2},
    {500, 100.0f, 5},
}};
constexpr int kWideMinor = 5;  // minor count of a rescaled axis

// Ticks of an axis by its span (truncated), or a scale of 10 marks for a wider one.
void ticks_or_scale(Axis& a, std::span<const TickStep> steps) {
  if (ticks_by_span(a, static_cast<int>(a.max - a.min), steps)) return;
  a.minor = kWideMinor;
  if (auto s = scale(a.min, a.max, kScaleMarks)) {
    a.min = s->valmin, a.major = s->step, a.max = s->valmax;
  }
}

// Raises the maximum to the next half step of its order of magnitude.
float raise_value_maximum(float max) {
  if (max < 10) return raise_to_half_step(max, 1.0f);
  if (max < 100) return raise_to_half_step(max, 10.0f);
  return raise_to_half_step(max, 100.0f);
}

}  // namespace

float raise_to_half_step(float v, float modulus) {
  const float half = modulus / 2;
  const float r = std::fmod(v, modulus);  // the sign of v, as the remainder of a real
  return r <= half ? v + (half - r) : v + (modulus - r);
}

std::optional<Scale> scale(float fmin, float fmax, int n) {
  // Refuse an empty extent or too few marks.
  if (fmin > fmax || n < 2) return std::nullopt;
  const float rn = static_cast<float>(n - 1);

  // Values too close to tell apart: open the scale from 0 (or up to 1).
  const float x = fmax == 0.0f ? 1.0f : std::fabs(fmax);
  if ((fmax - fmin) / x <= kTolerance) {
    if (fmax < 0) {
      fmax = 0;
    } else if (fmax == 0) {
      fmax = 1;
    } else {
      fmin = 0;
    }
  }

  // The raw step, brought into [1, 10) by powers of ten.
  float step = (fmax - fmin) / rn;
  float s = step;
  for (int k = 0; k < kMaxDecades && s < 1.0f; ++k) s *= 10.0f;
  for (int k = 0; k < kMaxDecades && s >= 10.0f; ++k) s /= 10.0f;

  // The first preferred unit at or above it.
  float unit = kUnits.back();
  for (float u : kUnits) {
    if (s - kBias <= u) {
      unit = u;
      break;
    }
  }
  step = step * unit / s;
  const float range = step * rn;

  // Centre the range on the data, at a whole multiple of the step.
  const float centre = 0.5f * (1.0f + (fmin + fmax - range) / step);
  int j = static_cast<int>(centre - kBias);
  if (centre < 0) j -= 1;
  Scale out;
  out.step = step;
  out.valmin = step * static_cast<float>(j);

  // Keep 0 as the end of a scale of one sign when the range allows it.
  if (fmin >= 0 && range >= fmax) out.valmin = 0;
  out.valmax = out.valmin + range;
  if (fmax <= 0 && range >= -fmin) {
    out.valmax = 0;
    out.valmin = -range;
  }
  return out;
}

bool ticks_by_span(Axis& a, int span, std::span<const TickStep> steps) {
  for (const TickStep& step : steps) {
    if (span <= step.up_to) {
      a.major = step.major;
      a.minor = step.minor;
      return true;
    }
  }
  return false;
}

void ticit(Axis& x, Axis& y, Axis& z) {
  ticks_or_scale(x, kYearSteps);
  for (Axis* a : {&y, &z}) {
    a->max = raise_value_maximum(a->max);
    ticks_or_scale(*a, kValueSteps);
  }
}

// Whole decades by floor, so that a negative (BCE) first year is not cut off the frame.
float decade_start(float first) { return 10.0f * std::floor(first / 10.0f); }
float decade_end(float last) { return 10.0f * std::floor(last / 10.0f) + 10.0f; }

}  // namespace dendro
