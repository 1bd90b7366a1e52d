#include "series/normal.h"

#include <cmath>

namespace dendro {

NormalDeviate ppnd(float p) {
  // AS 111: a rational function in (p - 0.5)^2 for the central part, one in
  // sqrt(-ln(tail)) for the tails.
  constexpr float kSplit = 0.42f;
  constexpr float a0 = 2.50662823884f, a1 = -18.61500062529f, a2 = 41.39119773534f,
                  a3 = -25.44106049637f;
  constexpr float b1 = -8.47351093090f, b2 = 23.08336743743f, b3 = -21.06224101826f,
                  b4 = 3.13082909833f;
  constexpr float c0 = -2.78718931138f, c1 = -2.29796479134f, c2 = 4.85014127135f,
                  c3 = 2.32121276858f;
  constexpr float d1 = 3.54388924762f, d2 = 1.63706781897f;

  NormalDeviate result;
  if (!(p > 0.0f && p < 1.0f)) {  // NaN included
    result.fault = 1;
    return result;
  }
  const float q = p - 0.5f;
  if (std::fabs(q) <= kSplit) {
    const float r = q * q;
    result.z =
        q * (((a3 * r + a2) * r + a1) * r + a0) / ((((b4 * r + b3) * r + b2) * r + b1) * r + 1.0f);
    return result;
  }
  float r = q > 0.0f ? 1.0f - p : p;
  r = std::sqrt(-std::log(r));
  result.z = (((c3 * r + c2) * r + c1) * r + c0) / ((d2 * r + d1) * r + 1.0f);
  if (q < 0.0f) result.z = -result.z;
  return result;
}

float alnorm(float x, bool upper) {
  // AS 66: a series for |x| up to 1.28, a continued fraction beyond; the single-precision
  // cut-offs 7 and 18.66 mark where the areas become exactly 0 or 1.
  constexpr float kLowerIsOne = 7.0f;
  constexpr float kUpperIsZero = 18.66f;
  constexpr float kSeriesEnd = 1.28f;
  constexpr float p = 0.398942280444f, q = 0.39990348504f, r = 0.398942280385f;
  constexpr float a1 = 5.75885480458f, a2 = 2.62433121679f, a3 = 5.92885724438f;
  constexpr float b1 = -29.8213557807f, b2 = 48.6959930692f;
  constexpr float c1 = -3.8052e-8f, c2 = 3.98064794e-4f, c3 = -0.151679116635f, c4 = 4.8385912808f,
                  c5 = 0.742380924027f, c6 = 3.99019417011f;
  constexpr float d1 = 1.00000615302f, d2 = 1.98615381364f, d3 = 5.29330324926f,
                  d4 = -15.1508972451f, d5 = 30.789933034f;

  bool up = upper;
  float z = x;
  if (z < 0.0f) {
    up = !up;
    z = -z;
  }
  float area = 0.0f;
  if (z <= kLowerIsOne || (up && z <= kUpperIsZero)) {
    const float y = 0.5f * z * z;
    if (z > kSeriesEnd) {
      area =
          r * std::exp(-y) /
          (z + c1 + d1 / (z + c2 + d2 / (z + c3 + d3 / (z + c4 + d4 / (z + c5 + d5 / (z + c6))))));
    } else {
      area = 0.5f - z * (p - q * y / (y + a1 + b1 / (y + a2 + b2 / (y + a3))));
    }
  }
  return up ? area : 1.0f - area;
}

}  // namespace dendro
