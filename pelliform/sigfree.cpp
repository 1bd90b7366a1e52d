#include "pelliform/sigfree.h"

#include "series/stop.h"

namespace dendro {

void sigfree(EngineArgs&, SigfreeState&, EngineIo) {
  throw Stop("*** the signal-free engine is not built yet", kFailureStatus);
}

}  // namespace dendro
