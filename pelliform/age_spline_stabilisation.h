// Age-dependent spline stabilisation of a chronology's variance through time: each year's
// from the mean is divided by a smooth curve of the absolute deviations and the result is
// rescaled to the chronology's own mean and spread. kalder has a routine of the same
// documented name that works differently; this one lives in namespace sf.
#pragma once

#include <span>

namespace dendro {
class Console;
}

namespace dendro::sf {

// Depth from which a year carries the statistics, and the super smoother's bass control.
inline constexpr int kWellReplicated = 5;
inline constexpr float kStabiliseAlpha = 3.0f;
inline constexpr int kStabiliseSplineStart = 50;

// Stabilises x (one value per year, with its sample depth) into y; the smooth of the
// absolute deviations goes to `smooth`, and x is left holding the absolute deviations.
// The statistics come from the years of depth >= 5 when there are more than n/3 of them,
// else from every year with a series. Years without series keep their value in y. A
// chronology too short for the spline, or without deviations, comes back unchanged in y.
void stabit(std::span<float> x, std::span<float> smooth, std::span<float> y,
            std::span<const int> depth, Console& con);

}  // namespace dendro::sf
