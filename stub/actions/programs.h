// Programs of the package started during the installation run.
#pragma once

#include "engine/run_state.h"

namespace actions {

enum ProgramPhase : int { kBeforeFiles = 0, kAfterInstall = 1 };

// Starts the install-time programs of one phase, waiting for those that ask
// for it while the wizard stays responsive.
void RunPrograms(engine::RunState& run, ProgramPhase phase);

}  // namespace actions
