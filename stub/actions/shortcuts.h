// Shortcuts of the package.
#pragma once

#include "engine/run_state.h"

namespace actions {

// One progress step per shortcut record, made or passed over.
void CreateShortcuts(engine::RunState& run);

}  // namespace actions
