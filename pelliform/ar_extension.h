// Extension of a series at both ends by an autoregressive model of the series (Burg's
// maximum-entropy estimate), for smoothers that need values beyond the ends. kalder has a
// Burg routine of the same documented name with another interface; this one lives in
// namespace sf.
#pragma once

#include <span>
#include <vector>

namespace dendro::sf {

struct BurgModel {
  double mean_square = 0.0;
  std::vector<double> d;  // coefficients 1..m at d[0..m-1]
};

// Burg estimate of an order-m model of y (as given, not centred). m < 1 gives no model.
BurgModel memcof(std::span<const float> y, int m);

// Extends y, whose n series values stand at positions npad+1..npad+n (1-based), by npad
// predicted values forward (dir 0 or 1) and backward (dir 0 or -1).
void extend(std::span<float> y, int n, int npad, const BurgModel& model, int dir);

struct Padded {
  std::vector<float> values;  // n + 2 npad values
  int npad = 0;               // the pad used: at most 0.67 n
};

// The series padded at both ends with predictions of an AR model of order npad fitted to
// the centred series. A series without variance is padded with its mean.
Padded arpad(std::span<const float> x, int npad);

}  // namespace dendro::sf
