// The standard normal distribution in single precision: percentage points (AS 111) and
// tail areas (AS 66).
#pragma once

namespace dendro {

struct NormalDeviate {
  float z = 0.0f;
  int fault = 0;  // 1 when p is not strictly between 0 and 1 (z is then 0)
};

// The deviate with lower-tail area p (Beasley and Springer, algorithm AS 111).
NormalDeviate ppnd(float p);

// The area of the standard normal distribution above x (upper) or below it (Hill,
// algorithm AS 66). The lower-tail area is exactly 1 beyond x = 7 and the upper-tail
// area exactly 0 beyond x = 18.66.
float alnorm(float x, bool upper);

}  // namespace dendro
