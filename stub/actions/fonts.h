// Fonts of the package, and component registration.
#pragma once

#include "engine/run_state.h"

namespace actions {

// Enters each font in the system's font list, loads it and tells every
// window; one progress step per font, whether its file exists or not.
void InstallFonts(engine::RunState& run);

}  // namespace actions
