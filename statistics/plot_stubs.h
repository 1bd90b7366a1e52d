// Stand-ins for plots that this build does not draw yet. Each keeps its caller's call site
// and tells the user, in one console line, that the plot is not available.
#pragma once

#include "series/console.h"

namespace dendro {

struct SpectraTable;

// Stands in for the power spectra plot of the spectra table.
void plt6_unavailable(Console& con, const SpectraTable& table);

}  // namespace dendro
