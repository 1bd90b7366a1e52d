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

void ticit_year_axis(Axis& x) {
  const int span = static_cast<int>(x.max - x.min);
  if (span <= 50) {
    x.major = 10.0f, x.minor = 10;
  } else if (span <= 100) {
    x.major = 20.0f, x.minor = 5;
  } else if (span <= 200) {
    x.major = 20.0f, x.minor = 10;
  } else if (span <= 500) {
    x.major = 50.0f, x.minor = 5;
  } else if (span <= 1000) {
    x.major = 100.0f, x.minor = 10;
  } else if (span <= 2000) {
    x.major = 250.0f, x.minor = 5;
  } else {
    x.minor = 5;
    if (auto s = scale(x.min, x.max, kScaleMarks)) {
      x.min = s->valmin, x.major = s->step, x.max = s->valmax;
    }
  }
}

void ticit_value_axis(Axis& a) {
  // Raise the maximum to the next half step of its order of magnitude.
  if (a.max < 10) {
    a.max = raise_to_half_step(a.max, 1.0f);
  } else if (a.max < 100) {
    a.max = raise_to_half_step(a.max, 10.0f);
  } else {
    a.max = raise_to_half_step(a.max, 100.0f);
  }
  const int n = static_cast<int>(a.max - a.min);
  if (n <= 2) {
    a.major = 0.5f, a.minor = 4;
  } else if (n <= 4) {
    a.major = 1.0f, a.minor = 4;
  } else if (n <= 10) {
    a.major = 2.0f, a.minor = 4;
  } else if (n <= 50) {
    a.major = 5.0f, a.minor = 5;
  } else if (n <= 100) {
    a.major = 10.0f, a.minor = 2;
  } else if (n <= 500) {
    a.major = 100.0f, a.minor = 5;
  } else {
    a.minor = 5;
    if (auto s = scale(a.min, a.max, kScaleMarks)) {
      a.min = s->valmin, a.major = s->step, a.max = s->valmax;
    }
  }
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

void ticit(Axis& x, Axis& y, Axis& z) {
  ticit_year_axis(x);
  ticit_value_axis(y);
  ticit_value_axis(z);
}

// Whole decades by floor, so that a negative (BCE) first year is not cut off the frame.
float decade_start(float first) { return 10.0f * std::floor(first / 10.0f); }
float decade_end(float last) { return 10.0f * std::floor(last / 10.0f) + 10.0f; }

}  // namespace dendro
