// Stand-ins for services of other layers that the chronology routines call and that are not
// available yet: the decade-mean character plot.
// Each keeps its caller's call site with the data it would use and writes a one-line note
// on the console instead; plot flags are left as they are. They are to be replaced by the
// real routines as those land.
#pragma once

#include <span>
#include <string_view>

namespace dendro {

class Console;

namespace pending_plots {

// The note every stand-in writes: " *** not available yet: <what> ***".
void note(Console& console, std::string_view what);

// Decade-mean character plot of measurements, curve and indices on an output unit.
void pltdec1(Console& console, std::span<const float> measurements, std::span<const float> curve,
             std::span<const float> indices, int first_year, int step);

}  // namespace pending_plots

}  // namespace dendro
