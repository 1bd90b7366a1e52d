#include "statistics/plot_stubs.h"

#include "statistics/spectra.h"

namespace dendro {

void plt6_unavailable(Console& con, const SpectraTable& /*table*/) {
  con.say(" power spectra: plot not available");
}

}  // namespace dendro
