// The engine runs of pelliform: each run starts from the saved (reduced) measurements plus
// a constant that grows with the restart count, optionally power-transformed; after a run
// the driver retries the whole dialogue, restarts with a larger constant, or goes on.
#pragma once

#include "pelliform/run.h"

namespace dendro {

// Curve floor of every series before a run.
inline constexpr float kCurveFloor = 0.02f;
// Added constant per restart.
inline constexpr float kConstantStep = 0.1f;

// Fills the measurements, year table, ids and the per-run members of the engine argument
// set from the saved set, transforms the measurements when the power transformation was
// chosen, and writes the added constant (and the mean power) to console and report.
void prepare_engine_run(PelliformRun& run);

enum class EngineEnd { retry, done };

// Runs the engine until it neither asks for a retry nor a restart. Returns retry when the
// user asked to try the regional curve again (the data are to be loaded afresh).
EngineEnd run_engine(PelliformRun& run);

}  // namespace dendro
