// Axis limits and tick spacings of the time-series and bar plots.
#pragma once

#include <optional>
#include <span>

#include "plots/plot_style.h"

namespace dendro {

// A scale of `n` marks at whole multiples of a preferred step.
struct Scale {
  float valmin = 0;
  float step = 0;
  float valmax = 0;
};

// Applied Statistics algorithm AS 96 (a simple scaling routine) over the extent fmin..fmax
// with n marks; nothing when fmin > fmax or n < 2.
std::optional<Scale> scale(float fmin, float fmax, int n);

// A row of a tick table: a span (in data units, truncated) up to `up_to` gets this major
// interval and minor count.
struct TickStep {
  int up_to;
  float major;
  int minor;
};

// Sets the ticks of the axis from the first row that takes the span; false when the span
// is beyond the table (the axis is left as it was).
bool ticks_by_span(Axis& a, int span, std::span<const TickStep> steps);

// Picks the major interval and the minor count of the year axis x and of the value axes y
// and z from their limits. The maxima of y and z are raised to the next half step; an axis
// whose span is too wide for the fixed steps is widened to a scale of 10 marks.
void ticit(Axis& x, Axis& y, Axis& z);

// Raises a maximum to the next half step of its modulus (remainder up to half the modulus:
// to the half step; above it: to the next multiple), so 3.2 gives 3.5 with modulus 1.
float raise_to_half_step(float v, float modulus);

// The year axis widened to whole decades: the start goes down to its decade, the end up to
// the next one (an end already on a decade gains ten years, so the last year never sits on
// the frame).
float decade_start(float first);
float decade_end(float last);

}  // namespace dendro
